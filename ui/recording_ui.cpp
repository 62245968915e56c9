// RecordingUi: the recording fake behind the core's tests.
#include "ui/recording_ui.h"

#include <algorithm>

#include "ui/console_ui.h"

namespace brevoxa {

RecordingUi::RecordingUi(Answer defaultAnswer) : defaultAnswer_(defaultAnswer) {}

void RecordingUi::Message(const std::string& text) {
  std::lock_guard lock(mutex_);
  messages_.push_back(text);
}

Answer RecordingUi::Ask(const std::string& text, Buttons buttons) {
  std::lock_guard lock(mutex_);
  Answer answer;
  if (!script_.empty()) {
    answer = script_.front();
    script_.pop_front();
  } else {
    answer = AnswerWithin(buttons, defaultAnswer_);
  }
  questions_.push_back({text, buttons, answer});
  return answer;
}

void RecordingUi::Status(const std::string& text) {
  std::lock_guard lock(mutex_);
  statusTexts_.push_back(text);
}

void RecordingUi::BeginWaitCursor() {
  std::lock_guard lock(mutex_);
  ++waitDepth_;
  maxWaitDepth_ = std::max(maxWaitDepth_, waitDepth_);
}

void RecordingUi::EndWaitCursor() {
  std::lock_guard lock(mutex_);
  --waitDepth_;
}

void RecordingUi::QueueAnswer(Answer answer) {
  std::lock_guard lock(mutex_);
  script_.push_back(answer);
}

void RecordingUi::SetDefaultAnswer(Answer answer) {
  std::lock_guard lock(mutex_);
  defaultAnswer_ = answer;
}

size_t RecordingUi::PendingAnswers() const {
  std::lock_guard lock(mutex_);
  return script_.size();
}

std::vector<std::string> RecordingUi::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<RecordedQuestion> RecordingUi::Questions() const {
  std::lock_guard lock(mutex_);
  return questions_;
}

std::vector<std::string> RecordingUi::StatusTexts() const {
  std::lock_guard lock(mutex_);
  return statusTexts_;
}

std::string RecordingUi::LastStatus() const {
  std::lock_guard lock(mutex_);
  return statusTexts_.empty() ? std::string() : statusTexts_.back();
}

int RecordingUi::WaitCursorDepth() const {
  std::lock_guard lock(mutex_);
  return waitDepth_;
}

int RecordingUi::MaxWaitCursorDepth() const {
  std::lock_guard lock(mutex_);
  return maxWaitDepth_;
}

void RecordingUi::Clear() {
  std::lock_guard lock(mutex_);
  script_.clear();
  messages_.clear();
  questions_.clear();
  statusTexts_.clear();
  waitDepth_ = 0;
  maxWaitDepth_ = 0;
}

}  // namespace brevoxa
