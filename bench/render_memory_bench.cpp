// The peak resident memory of a large supersampled render, which streams
// its samples through temporary files and so must not grow with the
// picture. The render runs in brevoxa-cli, a process of its own, so that the
// peak is the render's and not that of the benchmarks before it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/render_scenes.h"

namespace brevoxa::bench {
namespace {

// Runs a program with its standard streams on /dev/null and waits for it;
// its resource use comes back through usage. The exit status, or -1 when it
// could not be run or did not exit normally.
int RunProgram(const std::vector<std::string>& args, rusage& usage) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

size_t TemporariesIn(const std::filesystem::path& folder) {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("dms", 0) == 0 || name.rfind("dmp", 0) == 0) ++count;
  }
  return count;
}

// Arguments: the picture's width and height and the tracing threads.
// peak_MiB is the program's peak resident memory; temporaries counts the
// sample files it left behind.
void BM_RenderHighPeakMemory(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const std::string threads = std::to_string(state.range(2));
  BenchStore store;
  const std::string workspace = store.Ok() ? WriteHighScene(store, width, height) : std::string();
  if (workspace.empty()) {
    state.SkipWithError("the scene could not be written");
    return;
  }
  const double samples = 25.0 * width * height;
  // The raw samples, then the reduced picture beside them.
  const double diskBytes = 12 + samples * 3 + 12 + 3.0 * width * height;
  if (static_cast<double>(std::filesystem::space(store.Folder()).available) < diskBytes * 1.1) {
    state.SkipWithError("not enough disk space for the sample files");
    return;
  }
  long peakKiB = 0;
  bool failed = false;
  for (auto _ : state) {
    rusage usage{};
    const int status = RunProgram(
        {BREVOXA_CLI_PATH, "render", workspace, "--store", store.StoreDir(), "--yes", "--quiet", "--threads", threads},
        usage);
    if (status != 0) {
      state.SkipWithError("brevoxa-cli render failed");
      failed = true;
      break;
    }
    // Linux gives it in KiB.
    peakKiB = std::max(peakKiB, usage.ru_maxrss);
  }
  if (failed) return;
  state.counters["samples"] = samples;
  state.counters["raw_MB"] = (12 + samples * 3) / 1e6;
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
  state.counters["temporaries"] = static_cast<double>(TemporariesIn(store.Folder()));
}
BENCHMARK(BM_RenderHighPeakMemory)
    ->ArgNames({"width", "height", "threads"})
    ->Args({400, 300, 1})
    ->Args({4000, 3000, 1})
    ->Args({4000, 3000, 2})
    ->Args({4000, 3000, 8})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
}  // namespace brevoxa::bench
