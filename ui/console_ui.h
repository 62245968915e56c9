// A user interface on text streams, for the command-line tool and for core
// code that runs before any window exists.
#pragma once

#include <iosfwd>
#include <mutex>
#include <string>

#include "ui/user_interface.h"

namespace brevoxa {

// Whether the button set contains the answer.
bool Offers(Buttons buttons, Answer answer);
// The button that agrees: yes, or ok where there is no yes.
Answer AffirmativeAnswer(Buttons buttons);
// The button that declines: no, else cancel; ok when it is the only button.
Answer NegativeAnswer(Buttons buttons);
// The answer itself when the set offers it, else the set's button that
// agrees or declines as it does (yes and ok agree, no and cancel decline).
Answer AnswerWithin(Buttons buttons, Answer answer);

enum class AnswerPolicy {
  affirmative = 1,  // every question is answered yes (or ok)
  negative = 2,     // every question is answered no (or cancel)
  ask = 3,          // read the answer when the input is interactive
};

struct ConsoleUiOptions {
  AnswerPolicy policy = AnswerPolicy::affirmative;
  // Read only with the ask policy, and only when interactive is set; without
  // a terminal the question is printed and answered affirmatively.
  std::istream* input = nullptr;
  bool interactive = false;
  bool showStatus = true;
};

// True when standard input is a terminal.
bool StandardInputIsTerminal();

class ConsoleUi : public IUserInterface {
 public:
  ConsoleUi();
  explicit ConsoleUi(std::ostream& out, ConsoleUiOptions options = {});

  void Message(const std::string& text) override;
  Answer Ask(const std::string& text, Buttons buttons) override;
  void Status(const std::string& text) override;
  // A console has no cursor to change.
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

 private:
  Answer ReadAnswer(Buttons buttons);

  std::ostream& out_;
  ConsoleUiOptions options_;
  // Lines from render workers and the main thread must not interleave.
  std::mutex mutex_;
};

}  // namespace brevoxa
