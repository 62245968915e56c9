// ConsoleUi: messages and status texts as prefixed lines, questions answered
// by policy or from the terminal.
#include "ui/console_ui.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>

namespace brevoxa {

bool Offers(Buttons buttons, Answer answer) {
  switch (buttons) {
    case Buttons::ok: return answer == Answer::ok;
    case Buttons::okCancel: return answer == Answer::ok || answer == Answer::cancel;
    case Buttons::yesNo: return answer == Answer::yes || answer == Answer::no;
    case Buttons::yesNoCancel:
      return answer == Answer::yes || answer == Answer::no || answer == Answer::cancel;
  }
  return false;
}

Answer AffirmativeAnswer(Buttons buttons) {
  return buttons == Buttons::yesNo || buttons == Buttons::yesNoCancel ? Answer::yes : Answer::ok;
}

Answer NegativeAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::ok: return Answer::ok;
    case Buttons::okCancel: return Answer::cancel;
    case Buttons::yesNo:
    case Buttons::yesNoCancel: return Answer::no;
  }
  return Answer::cancel;
}

Answer AnswerWithin(Buttons buttons, Answer answer) {
  if (Offers(buttons, answer)) return answer;
  const bool agrees = answer == Answer::yes || answer == Answer::ok;
  return agrees ? AffirmativeAnswer(buttons) : NegativeAnswer(buttons);
}

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

namespace {

const char* Choices(Buttons buttons) {
  switch (buttons) {
    case Buttons::ok: return "[ok]";
    case Buttons::okCancel: return "[ok/cancel]";
    case Buttons::yesNo: return "[y/n]";
    case Buttons::yesNoCancel: return "[y/n/c]";
  }
  return "";
}

const char* AnswerName(Answer answer) {
  switch (answer) {
    case Answer::ok: return "ok";
    case Answer::cancel: return "cancel";
    case Answer::yes: return "yes";
    case Answer::no: return "no";
  }
  return "";
}

// The answer a typed word names, if the set offers it; "y" and "n" also stand
// for ok and cancel so that one habit works for every question.
bool ParseAnswer(std::string word, Buttons buttons, Answer& answer) {
  std::transform(word.begin(), word.end(), word.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const bool yesSet = buttons == Buttons::yesNo || buttons == Buttons::yesNoCancel;
  Answer parsed;
  if (word == "y" || word == "yes") parsed = yesSet ? Answer::yes : Answer::ok;
  else if (word == "n" || word == "no") parsed = yesSet ? Answer::no : Answer::cancel;
  else if (word == "o" || word == "ok") parsed = Answer::ok;
  else if (word == "c" || word == "cancel") parsed = Answer::cancel;
  else return false;
  if (!Offers(buttons, parsed)) return false;
  answer = parsed;
  return true;
}

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

}  // namespace

ConsoleUi::ConsoleUi() : ConsoleUi(std::cerr) {}

ConsoleUi::ConsoleUi(std::ostream& out, ConsoleUiOptions options) : out_(out), options_(options) {}

void ConsoleUi::Message(const std::string& text) {
  std::lock_guard lock(mutex_);
  out_ << "brevoxa: " << text << '\n' << std::flush;
}

void ConsoleUi::Status(const std::string& text) {
  if (!options_.showStatus) return;
  std::lock_guard lock(mutex_);
  out_ << "brevoxa: [status] " << text << '\n' << std::flush;
}

Answer ConsoleUi::Ask(const std::string& text, Buttons buttons) {
  std::lock_guard lock(mutex_);
  out_ << "brevoxa: " << text << ' ' << Choices(buttons) << ' ';
  Answer answer;
  if (buttons == Buttons::ok) {
    answer = Answer::ok;
  } else if (options_.policy == AnswerPolicy::negative) {
    answer = NegativeAnswer(buttons);
  } else if (options_.policy == AnswerPolicy::ask && options_.interactive && options_.input) {
    out_ << std::flush;
    return ReadAnswer(buttons);
  } else {
    answer = AffirmativeAnswer(buttons);
  }
  // Echo the answer taken, so that a log shows what was decided.
  out_ << AnswerName(answer) << '\n' << std::flush;
  return answer;
}

Answer ConsoleUi::ReadAnswer(Buttons buttons) {
  std::string line;
  while (std::getline(*options_.input, line)) {
    Answer answer;
    if (ParseAnswer(Trimmed(line), buttons, answer)) return answer;
    out_ << "Please answer " << Choices(buttons) << ' ' << std::flush;
  }
  // The input ended without an answer: back out rather than guess.
  const Answer answer = Offers(buttons, Answer::cancel) ? Answer::cancel : NegativeAnswer(buttons);
  out_ << AnswerName(answer) << '\n' << std::flush;
  return answer;
}

}  // namespace brevoxa
