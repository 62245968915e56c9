// Turns a failure that stopped a document from opening or saving into the
// text the user is shown. Every document boundary goes through here, so the
// texts are the same whichever document failed.
#pragma once

#include <exception>
#include <optional>
#include <string>

namespace brevoxa {

class IUserInterface;

enum class DocumentOperation { open = 1, save = 2 };

// The message for a failure while opening or saving the document at path;
// empty when no message is to be shown (already reported, or no failure).
std::optional<std::string> FailureMessage(std::exception_ptr failure, DocumentOperation op,
                                          const std::string& path);

// Shows that message (if any) through ui.Message.
void ReportFailure(IUserInterface& ui, std::exception_ptr failure, DocumentOperation op,
                   const std::string& path);

}  // namespace brevoxa
