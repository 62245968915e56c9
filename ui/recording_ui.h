// A user interface that records what the core shows and asks, and answers
// from a script: the fake that tests install.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "ui/user_interface.h"

namespace brevoxa {

struct RecordedQuestion {
  std::string text;
  Buttons buttons;
  Answer answer;  // what the recorder replied
};

// Safe to call from any thread; the accessors return copies.
class RecordingUi : public IUserInterface {
 public:
  // Questions with no scripted answer left get defaultAnswer, or the button
  // of their set that agrees or declines as it does when they do not offer it.
  explicit RecordingUi(Answer defaultAnswer = Answer::yes);

  void Message(const std::string& text) override;
  Answer Ask(const std::string& text, Buttons buttons) override;
  void Status(const std::string& text) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

  // Scripted answers are given out in order, exactly as queued.
  void QueueAnswer(Answer answer);
  void SetDefaultAnswer(Answer answer);
  size_t PendingAnswers() const;

  std::vector<std::string> Messages() const;
  std::vector<RecordedQuestion> Questions() const;
  std::vector<std::string> StatusTexts() const;
  // The latest status text; empty when there was none.
  std::string LastStatus() const;
  // Current nesting of the wait cursor; negative after an unmatched end.
  int WaitCursorDepth() const;
  int MaxWaitCursorDepth() const;

  // Forgets everything recorded and scripted; the default answer stays.
  void Clear();

 private:
  mutable std::mutex mutex_;
  Answer defaultAnswer_;
  std::deque<Answer> script_;
  std::vector<std::string> messages_;
  std::vector<RecordedQuestion> questions_;
  std::vector<std::string> statusTexts_;
  int waitDepth_ = 0;
  int maxWaitDepth_ = 0;
};

}  // namespace brevoxa
