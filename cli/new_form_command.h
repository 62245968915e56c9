// `brevoxa-cli new-form OUT.FRM SHAPE...`: builds a form from the primitive
// generators with the values of their definition dialogs, in the dialogs'
// order and ranges, and writes it as a form file, so that scenes can be
// scripted.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace brevoxa::cli {

extern const char* const kNewFormUsage;

// args are the words after "new-form". The status lines and the summary
// (path and counts) go to out; usage errors, refused values (the dialogs'
// range messages, exit status 2) and a failed write (1) go to err.
int RunNewForm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace brevoxa::cli
