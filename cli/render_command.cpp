// The render command: arguments, the camera choice, the render thread's
// messages turned into a progress bar, Ctrl+C, and the closing report.
#include "cli/render_command.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>

#include "cli/info_command.h"
#include "persist/object_store.h"
#include "render/background_render.h"
#include "render/image_output.h"
#include "render/render_job.h"
#include "render/render_statistics.h"
#include "render/row_tracer.h"
#include "scene/camera.h"
#include "scene/workspace.h"
#include "math/view_tran.h"
#include "ui/console_ui.h"

namespace brevoxa::cli {

const char* const kRenderUsage =
    "Usage: brevoxa-cli render WORKSPACE.wsp [--store DIR] [--output FILE] [--yes] [--quiet] [--camera NAME] "
    "[--threads N] [--stats]";

RenderTerminal ProcessTerminal() {
  RenderTerminal terminal;
  terminal.input = &std::cin;
  terminal.inputIsTerminal = isatty(STDIN_FILENO) == 1;
  terminal.errorIsTerminal = isatty(STDERR_FILENO) == 1;
  return terminal;
}

namespace {

// --- Arguments ---

enum class ExtraKind { none = 0, jpeg = 1, png = 2, ppm = 3 };

struct Options {
  std::string workspace;
  std::optional<std::string> store;
  std::optional<std::string> output;
  std::optional<std::string> camera;
  std::optional<std::string> threads;
  bool yes = false;
  bool quiet = false;
  bool stats = false;
  bool help = false;
};

int UsageError(std::ostream& err, const std::string& problem) {
  err << "brevoxa-cli render: " << problem << "\n" << kRenderUsage << "\n";
  return kExitUsage;
}

// Takes the value of "--name VALUE" or "--name=VALUE"; false when there is
// none.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name,
               std::optional<std::string>& value, bool& matched) {
  const std::string& arg = args[i];
  matched = false;
  if (arg == name) {
    matched = true;
    if (i + 1 >= args.size()) return false;
    value = args[++i];
  } else if (arg.rfind(name + "=", 0) == 0) {
    matched = true;
    value = arg.substr(name.size() + 1);
  } else {
    return true;
  }
  return !value->empty();
}

// Empty when the arguments are fine, else the problem.
std::optional<std::string> Parse(const std::vector<std::string>& args, Options& options) {
  bool haveFile = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return std::nullopt;
    }
    if (arg == "--yes" || arg == "-y") {
      options.yes = true;
      continue;
    }
    if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
      continue;
    }
    if (arg == "--stats") {
      options.stats = true;
      continue;
    }
    bool matched = false;
    for (auto [name, value] : {std::pair{"--store", &options.store}, std::pair{"--output", &options.output},
                               std::pair{"--camera", &options.camera}, std::pair{"--threads", &options.threads}}) {
      if (!TakeValue(args, i, name, *value, matched)) return std::string(name) + " needs a value";
      if (matched) break;
    }
    if (matched) continue;
    if (arg.size() > 1 && arg[0] == '-') return "unknown option '" + arg + "'";
    if (haveFile) return std::string("more than one workspace given");
    options.workspace = arg;
    haveFile = true;
  }
  if (!haveFile) return std::string("no workspace given");
  return std::nullopt;
}

// The thread count of --threads: a whole number from 1 to the most a
// render traces with.
std::optional<int> ParseThreads(const std::string& text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < 1 || value > kMaxTracingThreads) return std::nullopt;
  return value;
}

ExtraKind KindOfOutput(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".jpg" || ext == ".jpeg") return ExtraKind::jpeg;
  if (ext == ".png") return ExtraKind::png;
  if (ext == ".ppm") return ExtraKind::ppm;
  return ExtraKind::none;
}

// --- The camera ---

// The camera of the first camera view that shows one of the workspace's
// cameras, else the first camera; by name when one is asked for.
const ICamera* ChooseCamera(const Workspace& workspace, const std::optional<std::string>& name) {
  const ICamera* first = nullptr;
  for (const IDrawable* item : workspace.GetItems()) {
    if (!item->IsKindOf(RUNTIME_CLASS(ICamera))) continue;
    const auto* camera = static_cast<const ICamera*>(item);
    if (name) {
      if (camera->GetName() == *name) return camera;
    } else if (first == nullptr) {
      first = camera;
    }
  }
  if (name) return nullptr;
  for (size_t i = 0; i < workspace.GetViewCount(); ++i) {
    const IViewTran& view = workspace.GetView(i).GetViewTran();
    if (!view.IsCameraView() || view.HasOwnCamera() || view.GetCamera() == nullptr) continue;
    if (workspace.GetItems().Contains(view.GetCamera())) return view.GetCamera();
  }
  return first;
}

// --- The console ---

// Draws the render's overall fraction on one line of err: redrawn in place
// on a terminal, otherwise a line at every tenth. Callers hold the console's
// lock.
class ProgressBar {
 public:
  ProgressBar(std::ostream& err, bool terminal, bool hidden) : err_(err), terminal_(terminal), hidden_(hidden) {}

  void Show(const RenderProgress& progress, int64_t now) {
    if (hidden_) return;
    const double fraction = std::clamp(progress.Fraction(), 0.0, 1.0);
    const int64_t elapsed = std::max<int64_t>(0, now - progress.progressStart);
    std::string text = ProgressPercentText(fraction);
    text += "  elapsed ";
    text += ProgressElapsedText(elapsed);
    const std::string remaining = ProgressRemainingText(fraction, elapsed);
    if (!remaining.empty()) {
      text += "  remaining ";
      text += remaining;
    }
    if (terminal_) {
      if (text == shown_) return;
      shown_ = text;
      constexpr int kCells = 30;
      const int filled = static_cast<int>(fraction * kCells);
      std::string bar = "\r[";
      bar.append(static_cast<size_t>(filled), '#');
      bar.append(static_cast<size_t>(kCells - filled), ' ');
      bar += "] ";
      bar += text;
      bar += "   ";
      err_ << bar << std::flush;
      lineOpen_ = true;
    } else {
      const int tenth = static_cast<int>(fraction * 10.0);
      if (tenth <= lastTenth_) return;
      lastTenth_ = tenth;
      err_ << "rendering " << text << '\n' << std::flush;
    }
  }

  // Ends the bar's line, so that a message starts on a line of its own.
  void BreakLine() {
    if (!lineOpen_) return;
    err_ << '\n' << std::flush;
    lineOpen_ = false;
    shown_.clear();
  }

 private:
  std::ostream& err_;
  bool terminal_;
  bool hidden_;
  bool lineOpen_ = false;
  std::string shown_;
  int lastTenth_ = -1;
};

// The console interface the render thread talks through. It shares one
// lock with the progress bar, which the main thread draws, so that the two
// never write to err at the same time.
class RenderConsole : public IUserInterface {
 public:
  RenderConsole(std::ostream& err, ConsoleUiOptions options, ProgressBar& bar) : console_(err, options), bar_(bar) {}

  void Message(const std::string& text) override {
    std::lock_guard lock(mutex_);
    bar_.BreakLine();
    console_.Message(text);
  }
  Answer Ask(const std::string& text, Buttons buttons) override {
    std::lock_guard lock(mutex_);
    bar_.BreakLine();
    return console_.Ask(text, buttons);
  }
  void Status(const std::string& text) override {
    std::lock_guard lock(mutex_);
    bar_.BreakLine();
    console_.Status(text);
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

  void ShowProgress(const RenderProgress& progress, int64_t now) {
    std::lock_guard lock(mutex_);
    bar_.Show(progress, now);
  }
  void EndProgress() {
    std::lock_guard lock(mutex_);
    bar_.BreakLine();
  }

 private:
  std::mutex mutex_;
  ConsoleUi console_;
  ProgressBar& bar_;
};

// --- Messages from the render thread ---

using Clock = std::chrono::steady_clock;

// A message and when the render thread posted it: the render's own moment,
// however late the main thread gets round to it.
struct StampedMessage {
  RenderMessage message;
  Clock::time_point posted;
};

class MessageQueue : public IRenderReceiver {
 public:
  void Post(RenderMessage message) override {
    const Clock::time_point now = Clock::now();
    {
      std::lock_guard lock(mutex_);
      queue_.push_back({std::move(message), now});
    }
    ready_.notify_one();
  }

  // The next message, or nothing when none came within the interval.
  std::optional<StampedMessage> Next(std::chrono::milliseconds interval) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, interval, [this] { return !queue_.empty(); })) return std::nullopt;
    StampedMessage message = std::move(queue_.front());
    queue_.pop_front();
    return message;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<StampedMessage> queue_;
};

// --- Timing for --stats ---

// The driver's phases of the octree build and of the primary rays.
constexpr int kOctreePhase = 20;
constexpr int kTracingPhase = 940;

// The render from its registration to its end, and the octree and tracing
// phases: each from its phase message to the next one.
class RenderTimes {
 public:
  void Note(const StampedMessage& stamped) {
    const RenderMessage& message = stamped.message;
    if (message.id == WM_RENDER_BEGIN) begin_ = stamped.posted;
    if (message.id == WM_RENDER_END) end_ = stamped.posted;
    if (message.id != WM_RENDER_PHASE) return;
    if (tracingStart_ && !tracingEnd_) tracingEnd_ = stamped.posted;
    if (message.wParam == kTracingPhase) {
      tracingStart_ = stamped.posted;
      if (octreeStart_) octreeEnd_ = stamped.posted;
    }
    // The reduction at the end has the same weight as the octree build.
    if (message.wParam == kOctreePhase && !octreeStart_) octreeStart_ = stamped.posted;
  }
  double WallSeconds() const { return Seconds(begin_, end_); }
  double OctreeSeconds() const { return Seconds(octreeStart_, octreeEnd_); }
  double TracingSeconds() const { return Seconds(tracingStart_, tracingEnd_); }

 private:
  static double Seconds(const std::optional<Clock::time_point>& from, const std::optional<Clock::time_point>& to) {
    if (!from || !to) return 0.0;
    return std::chrono::duration<double>(*to - *from).count();
  }

  std::optional<Clock::time_point> begin_, end_, octreeStart_, octreeEnd_, tracingStart_, tracingEnd_;
};

// --- Ctrl+C ---

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

// Turns Ctrl+C into a stop request for the lifetime of the scope.
class InterruptGuard {
 public:
  InterruptGuard() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    installed_ = sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~InterruptGuard() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
  bool installed_ = false;
};

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The lines --stats adds, label and value parted by a tab as in the
// statistics dialog. The rates are per second of tracing; a render too
// short to time shows 0.
std::vector<std::string> TimingLines(const RenderCounters& counters, const RenderTimes& times, int threads) {
  const double tracing = times.TracingSeconds();
  auto rate = [tracing](uint64_t count) {
    return tracing > 0.0 ? Fixed(static_cast<double>(count) / tracing, 0) : std::string("0");
  };
  const uint64_t all = counters.primaryRays + counters.reflectedRays + counters.transmittedRays + counters.shadowRays;
  // Linux gives the peak resident set of the process in KiB.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const long peakKiB = usage.ru_maxrss;
  return {
      "Wall Time\t" + Fixed(times.WallSeconds(), 3) + " s",
      "Octree Time\t" + Fixed(times.OctreeSeconds(), 3) + " s",
      "Tracing Time\t" + Fixed(tracing, 3) + " s",
      "Threads\t" + std::to_string(threads),
      "Primary Rays/s\t" + rate(counters.primaryRays),
      "Reflected Rays/s\t" + rate(counters.reflectedRays),
      "Transmitted Rays/s\t" + rate(counters.transmittedRays),
      "Shadow Rays/s\t" + rate(counters.shadowRays),
      "All Rays/s\t" + rate(all),
      "Peak Memory\t" + Fixed(static_cast<double>(peakKiB) / 1024.0, 1) + " MiB (" + std::to_string(peakKiB) +
          " KiB)",
  };
}

// The lines with the tab replaced by aligned spaces.
void PrintAligned(std::ostream& out, const std::vector<std::string>& lines) {
  size_t width = 0;
  for (const std::string& line : lines) width = std::max(width, line.find('\t'));
  for (const std::string& line : lines) {
    const size_t tab = line.find('\t');
    std::string label = line.substr(0, tab);
    label.resize(width + 2, ' ');
    out << label << line.substr(tab + 1) << '\n';
  }
}

bool WriteExtra(ExtraKind kind, const std::string& path, int quality, const std::string& reduced,
                IUserInterface& ui) {
  switch (kind) {
    case ExtraKind::jpeg: return WriteJpegFile(path, quality, reduced, ui);
    case ExtraKind::png: return WritePngFile(path, reduced, ui);
    case ExtraKind::ppm: return WritePpmFile(path, reduced, ui);
    case ExtraKind::none: break;
  }
  return false;
}

// What the render thread leaves for the main thread; read only after the
// statistics message, which the render thread posts after filling it.
struct Outcome {
  int threads = 0;
  bool cancelled = false;
  bool imageWritten = false;
  bool extraWritten = false;
};

}  // namespace

int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunRender(args, out, err, ProcessTerminal());
}

int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const RenderTerminal& terminal) {
  Options options;
  if (auto problem = Parse(args, options)) return UsageError(err, *problem);
  if (options.help) {
    out << kRenderUsage << "\n"
        << "\n"
        << "Renders a camera of the workspace to OBJSTORE/RENDERED/<name>.JPG with the\n"
        << "workspace's render settings and environment.\n"
        << "\n"
        << "  --store DIR    the OBJSTORE folder (default: $BREVOXA_STORE, else OBJSTORE\n"
        << "                 beside the program); RENSTAT.DAT is written beside it\n"
        << "  --output FILE  also write the picture to FILE (.jpg, .png or .ppm)\n"
        << "  --camera NAME  render this camera (default: the camera of the first\n"
        << "                 camera view, else the first camera)\n"
        << "  --threads N    trace on N threads (1 to 256; default: one per hardware\n"
        << "                 thread); the picture is the same for every N\n"
        << "  --yes          answer the questions before rendering with OK\n"
        << "  --quiet        no progress bar and no status lines\n"
        << "  --stats        also print the wall time, the octree build and tracing\n"
        << "                 times, the rays traced per second of each kind and the\n"
        << "                 peak memory of the process\n"
        << "\n"
        << "Ctrl+C stops the render; the rest of the picture is left white.\n";
    return kExitOk;
  }
  const ExtraKind extraKind = options.output ? KindOfOutput(*options.output) : ExtraKind::none;
  if (options.output && extraKind == ExtraKind::none) {
    return UsageError(err, "--output must end in .jpg, .png or .ppm: '" + *options.output + "'");
  }
  std::optional<int> threads;
  if (options.threads) {
    threads = ParseThreads(*options.threads);
    if (!threads) return UsageError(err, "--threads must be a whole number from 1 to 256: '" + *options.threads + "'");
  }

  std::unique_ptr<ScopedObjectStore> storeScope;
  if (options.store) storeScope = std::make_unique<ScopedObjectStore>(*options.store);

  ProgressBar bar(err, terminal.errorIsTerminal, options.quiet);
  ConsoleUiOptions consoleOptions;
  consoleOptions.policy = options.yes ? AnswerPolicy::affirmative : AnswerPolicy::ask;
  consoleOptions.input = terminal.input;
  consoleOptions.interactive = terminal.inputIsTerminal;
  consoleOptions.showStatus = !options.quiet;
  RenderConsole ui(err, consoleOptions, bar);
  ScopedUserInterface scopedUi(ui);

  Workspace workspace;
  if (!workspace.Load(options.workspace, ui)) return kExitFailed;
  const ICamera* camera = ChooseCamera(workspace, options.camera);
  if (camera == nullptr) {
    if (options.camera) return UsageError(err, "no camera named '" + *options.camera + "' in " + options.workspace);
    err << "brevoxa-cli render: " << options.workspace << " has no camera to render\n";
    return kExitUsage;
  }
  out << "Camera " << camera->GetName() << '\n' << std::flush;

  Outcome outcome;
  RenderStatistics statistics;
  RenderTimes times;
  bool stopped = false;
  {
    MessageQueue receiver;
    // After the receiver, so that its threads are gone before the queue is.
    BackgroundRenderer renderer;
    auto job = std::make_unique<RenderJob>(receiver);
    RenderJob* jobAddress = job.get();
    if (threads) job->threads = *threads;
    job->onFinished = [&outcome](const RenderJob& finished) {
      outcome.threads = finished.TracingThreads();
      outcome.cancelled = finished.cancelled;
      outcome.imageWritten = finished.imageWritten;
    };
    if (options.output) {
      job->onImageReduced = [&, jobAddress](const std::string& reduced) {
        outcome.extraWritten = WriteExtra(extraKind, *options.output, jobAddress->settings.jpegQuality, reduced, ui);
      };
    }

    InterruptGuard interrupt;
    try {
      renderer.Start(std::move(job), workspace, *camera, options.workspace, ui);
    } catch (const std::exception& e) {
      ui.Message(e.what());
      return kExitFailed;
    }
    // The job may be touched from its registration (1025) until it is
    // released after 1028; a declined render is never registered and its
    // thread frees the job on its own.
    RenderJob* registered = nullptr;
    bool interruptSeen = false;
    for (;;) {
      if (interrupted && !interruptSeen) {
        interruptSeen = true;
        ui.Message("Stopping after the current row; the rest of the picture stays white.");
      }
      if (interruptSeen && registered != nullptr && !stopped) {
        stopped = true;
        registered->RequestStop();
      }
      std::optional<StampedMessage> stamped = receiver.Next(std::chrono::milliseconds(100));
      if (!stamped) continue;
      times.Note(*stamped);
      RenderMessage* message = &stamped->message;
      if (message->id == WM_RENDER_STATISTICS) {
        statistics = message->statistics;
        break;
      }
      switch (message->id) {
        case WM_RENDER_BEGIN:
          registered = message->job;
          registered->progress.Begin(Now());
          break;
        case WM_RENDER_PHASE: message->job->progress.Phase(message->wParam); break;
        case WM_RENDER_POSITION:
          message->job->progress.Position(message->wParam);
          ui.ShowProgress(message->job->progress, Now());
          break;
        case WM_RENDER_END:
          ui.EndProgress();
          registered = nullptr;
          renderer.Release(message->job);
          break;
        default: break;  // there is no window to show the picture in
      }
    }
  }

  if (outcome.cancelled) {
    err << "brevoxa-cli render: cancelled; nothing was rendered\n";
    return kExitFailed;
  }
  if (outcome.imageWritten) out << "Rendered " << statistics.outputPath << (stopped ? " (stopped)" : "") << '\n';
  if (options.output && outcome.extraWritten) out << "Wrote " << *options.output << '\n';
  std::vector<std::string> lines = StatisticsLines(statistics);
  if (options.stats) {
    const std::vector<std::string> timing = TimingLines(statistics.counters, times, outcome.threads);
    lines.insert(lines.end(), timing.begin(), timing.end());
  }
  PrintAligned(out, lines);
  try {
    SaveStatistics(statistics);
  } catch (const std::exception& e) {
    ui.Message(std::string("Can't save the statistics: ") + e.what());
  }
  const bool written = outcome.imageWritten && (!options.output || outcome.extraWritten);
  return written ? kExitOk : kExitFailed;
}

}  // namespace brevoxa::cli
