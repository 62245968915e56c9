// The process-wide user interface that core code reports through.
#include "ui/user_interface.h"

#include <atomic>

#include "ui/console_ui.h"

namespace brevoxa {

namespace {

// Until the application installs its own interface, messages go to stderr
// and questions take the affirmative answer without waiting for input.
// Never destroyed: static destructors elsewhere may still report through it.
IUserInterface& DefaultUserInterface() {
  static ConsoleUi* const console = new ConsoleUi;
  return *console;
}

// Null means the default; an atomic so that render workers can read it while
// the interface thread swaps it.
std::atomic<IUserInterface*> current{nullptr};

}  // namespace

IUserInterface& CurrentUserInterface() {
  IUserInterface* ui = current.load(std::memory_order_acquire);
  return ui ? *ui : DefaultUserInterface();
}

IUserInterface* SetCurrentUserInterface(IUserInterface* ui) {
  if (ui == &DefaultUserInterface()) ui = nullptr;
  IUserInterface* previous = current.exchange(ui, std::memory_order_acq_rel);
  return previous ? previous : &DefaultUserInterface();
}

}  // namespace brevoxa
