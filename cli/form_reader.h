// Reading a form file on its own: the body of one form, as the form reads it
// from its file while a workspace loads.
#pragma once

#include <string>

namespace brevoxa {
class IArchiveTrace;
class IUserInterface;
}  // namespace brevoxa

namespace brevoxa::cli {

// Loads the form file into a scratch form with the trace attached. A
// failure is reported through ui with the document boundary's message;
// false then.
bool ReadFormFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace);

}  // namespace brevoxa::cli
