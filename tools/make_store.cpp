// brevoxa-make-store: writes the default OBJSTORE into a folder. The build
// runs it to put the store beside the programs.
#include <iostream>
#include <string>

#include "tools/store_builder.h"
#include "ui/console_ui.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
  out << "Usage: brevoxa-make-store OUTDIR\n"
         "\n"
         "Writes the default settings files, the material preview scenes and the\n"
         "demonstration workspace into OUTDIR (created when missing). Files of the\n"
         "same names are replaced; nothing else in OUTDIR is touched.\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    PrintUsage(std::cout);
    return kExitOk;
  }
  if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
    PrintUsage(std::cerr);
    return kExitUsage;
  }
  brevoxa::ConsoleUiOptions options;
  options.showStatus = false;
  brevoxa::ConsoleUi ui(std::cerr, options);
  return brevoxa::store::BuildStore(argv[1], ui) ? kExitOk : kExitFailed;
}
