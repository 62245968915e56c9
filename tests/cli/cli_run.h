// A command's exit code and output, run in-process or as the real program.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>

namespace brevoxa::testing {

struct CommandRun {
  int code;
  std::string out;
  std::string err;
};

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A command run in-process: run(out, err) returns the exit code.
template <class Run>
CommandRun Capture(Run run) {
  std::ostringstream out, err;
  const int code = run(out, err);
  return {code, out.str(), err.str()};
}

// brevoxa-cli run by the shell (arguments quoted for it), without input.
inline CommandRun RunProgram(const std::filesystem::path& folder, const std::string& args,
                             const std::string& environment = "") {
  const std::string out = (folder / "stdout.txt").string(), err = (folder / "stderr.txt").string();
  const std::string command =
      environment + "'" + BREVOXA_CLI_PATH + "' " + args + " </dev/null >'" + out + "' 2>'" + err + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
}

}  // namespace brevoxa::testing
