// What the core needs from a user interface: message boxes, yes/no
// questions, status-bar texts and the wait cursor. The editor implements it
// with its toolkit, the command-line tool prints, tests record.
#pragma once

#include <string>

namespace brevoxa {

enum class Buttons { ok = 1, okCancel = 2, yesNo = 3, yesNoCancel = 4 };
enum class Answer { ok = 1, cancel = 2, yes = 3, no = 4 };

class IUserInterface {
 public:
  virtual ~IUserInterface() = default;

  // A message box with an OK button.
  virtual void Message(const std::string& text) = 0;
  // A question; returns the button chosen.
  virtual Answer Ask(const std::string& text, Buttons buttons) = 0;
  // A one-line text in the status bar.
  virtual void Status(const std::string& text) = 0;
  // Wait cursor nesting: shown while the count is above zero.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
};

// Shows the wait cursor for the lifetime of the scope.
class WaitCursor {
 public:
  explicit WaitCursor(IUserInterface& ui) : ui_(ui) { ui_.BeginWaitCursor(); }
  ~WaitCursor() { ui_.EndWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  IUserInterface& ui_;
};

// The interface that core code deep inside an operation reports through
// (a texture that cannot load its image, a form file that is missing). The
// application installs its own at start-up; until then messages go to stderr.
// Implementations must accept calls from any thread.
IUserInterface& CurrentUserInterface();
// Installs ui (or the stderr default for null) and returns the previous one.
IUserInterface* SetCurrentUserInterface(IUserInterface* ui);

// Installs an interface for the lifetime of the scope (tests, the CLI).
class ScopedUserInterface {
 public:
  explicit ScopedUserInterface(IUserInterface& ui) : previous_(SetCurrentUserInterface(&ui)) {}
  ~ScopedUserInterface() { SetCurrentUserInterface(previous_); }
  ScopedUserInterface(const ScopedUserInterface&) = delete;
  ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;

 private:
  IUserInterface* previous_;
};

}  // namespace brevoxa
