// brevoxa-cli: renders and inspects Brevoxa files without a window.
#include <iostream>
#include <string>
#include <vector>

#include "cli/info_command.h"
#include "cli/new_form_command.h"
#include "cli/render_command.h"

namespace {

void PrintUsage(std::ostream& out) {
  out << "Usage: brevoxa-cli COMMAND [OPTIONS]\n"
         "\n"
         "Renders and inspects Brevoxa workspaces and settings files.\n"
         "\n"
         "Commands:\n"
         "  info FILE [--store DIR]   print a workspace (.wsp) or form (.frm) file\n"
         "                            as a tree of every field it holds\n"
         "  new-form OUT.FRM SHAPE... write a form file of primitives, e.g.\n"
         "                            --sphere RADIUS HORIZONTAL VERTICAL\n"
         "                            (new-form --help lists every shape)\n"
         "  render WORKSPACE.wsp      render a camera of the workspace to\n"
         "                            OBJSTORE/RENDERED, optionally also to\n"
         "                            --output FILE (render --help for more)\n"
         "\n"
         "Options:\n"
         "  --help       show this help and exit\n"
         "  --version    show the version and exit\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(std::cerr);
    return brevoxa::cli::kExitUsage;
  }
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(std::cout);
    return brevoxa::cli::kExitOk;
  }
  if (command == "--version") {
    std::cout << "brevoxa-cli " << BREVOXA_VERSION << "\n";
    return brevoxa::cli::kExitOk;
  }
  if (command == "info") {
    std::vector<std::string> args(argv + 2, argv + argc);
    return brevoxa::cli::RunInfo(args, std::cout, std::cerr);
  }
  if (command == "new-form") {
    std::vector<std::string> args(argv + 2, argv + argc);
    return brevoxa::cli::RunNewForm(args, std::cout, std::cerr);
  }
  if (command == "render") {
    std::vector<std::string> args(argv + 2, argv + argc);
    return brevoxa::cli::RunRender(args, std::cout, std::cerr);
  }
  std::cerr << "brevoxa-cli: unknown command '" << command << "'\n";
  PrintUsage(std::cerr);
  return brevoxa::cli::kExitUsage;
}
