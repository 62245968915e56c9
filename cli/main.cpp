// brevoxa-cli: renders and inspects Brevoxa files without a window.
#include <cstring>
#include <iostream>
#include <string>

namespace {

void PrintUsage(std::ostream& out) {
  out << "Usage: brevoxa-cli COMMAND [OPTIONS]\n"
         "\n"
         "Renders and inspects Brevoxa workspaces and settings files.\n"
         "\n"
         "Options:\n"
         "  --help       show this help and exit\n"
         "  --version    show the version and exit\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(std::cerr);
    return 2;
  }
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(std::cout);
    return 0;
  }
  if (command == "--version") {
    std::cout << "brevoxa-cli " << BREVOXA_VERSION << "\n";
    return 0;
  }
  std::cerr << "brevoxa-cli: unknown command '" << command << "'\n";
  PrintUsage(std::cerr);
  return 2;
}
