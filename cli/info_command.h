// `brevoxa-cli info FILE [--store DIR]`: prints a file as the indented tree
// of everything its loader reads (see trace_printer.h), by running the same
// code that loads the file into the program.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace brevoxa::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the file could not be read
inline constexpr int kExitUsage = 2;   // bad arguments, or a kind of file it does not read

// The kinds of file the program keeps, by extension (any letter case).
enum class FileKind { unknown = 0, workspace = 1, form = 2, material = 3, environment = 4, renderSettings = 5 };
FileKind KindOfPath(const std::string& path);

extern const char* const kInfoUsage;

// args are the words after "info". The tree goes to out; usage errors and
// the messages of a failed or partial load go to err.
int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace brevoxa::cli
