// The render driver, step by step in the order the progress display and
// the settings files expect.
#include "render/render_workspace.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>

#include "material/environment.h"
#include "material/random_source.h"
#include "render/camera_sampling.h"
#include "render/image_output.h"
#include "render/octree.h"
#include "render/picture_stream.h"
#include "render/render_document.h"
#include "render/render_job.h"
#include "render/render_threads.h"
#include "render/row_tracer.h"
#include "render/scene_normals.h"
#include "render/sample_file.h"
#include "render/shading.h"
#include "scene/workspace.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

// A cell that holds at most this many polygons is not divided further.
constexpr int kOctreeLeafLimit = 4;

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

bool Confirmed(IUserInterface& ui, const char* question) {
  return ui.Ask(question, Buttons::okCancel) == Answer::ok;
}

// The links a render opens, closed again at the render's own steps or, when
// a step fails, on the way out, so that no settings or material document
// outlives the render.
class OpenedLinks {
 public:
  explicit OpenedLinks(Workspace& workspace) : workspace_(workspace) {}
  ~OpenedLinks() {
    CloseItemLinks();
    CloseSettingsLinks();
  }
  OpenedLinks(const OpenedLinks&) = delete;
  OpenedLinks& operator=(const OpenedLinks&) = delete;

  RenderSettings OpenRenderLink() {
    settingsOpen_ = true;
    workspace_.GetRenderLink().Open();
    const auto* document = dynamic_cast<const CRenderDoc*>(workspace_.GetRenderLink().GetDocument());
    return document ? document->Settings() : RenderSettings{};
  }
  EnvironmentSettings OpenEnvironmentLink() {
    settingsOpen_ = true;
    workspace_.GetEnvironmentLink().Open();
    const auto* document = dynamic_cast<const CEnvironment*>(workspace_.GetEnvironmentLink().GetDocument());
    return document ? document->Settings() : EnvironmentSettings{};
  }
  void OpenItemLinks() {
    itemsOpen_ = true;
    for (IDrawable* item : workspace_.GetItems()) item->OpenLinks();
  }
  void CloseItemLinks() {
    if (!itemsOpen_) return;
    itemsOpen_ = false;
    for (IDrawable* item : workspace_.GetItems()) item->CloseLinks();
  }
  void CloseSettingsLinks() {
    if (!settingsOpen_) return;
    settingsOpen_ = false;
    workspace_.GetRenderLink().Close();
    workspace_.GetEnvironmentLink().Close();
  }

 private:
  Workspace& workspace_;
  bool settingsOpen_ = false;
  bool itemsOpen_ = false;
};

class Driver {
 public:
  Driver(RenderDocument& document, RenderJob& job, IUserInterface& ui)
      : document_(document), job_(job), ui_(ui), links_(document.GetWorkspace()) {}

  // Everything after the render was registered, up to WM_RENDER_END.
  void Run(const std::string& outputPath);
  void CloseLinks() {
    links_.CloseItemLinks();
    links_.CloseSettingsLinks();
  }
  bool EndSent() const { return endSent_; }
  void SendEnd() {
    endSent_ = true;
    job_.SendProgress(WM_RENDER_END, 0);
  }

 private:
  void Phase(int weight) { job_.SendProgress(WM_RENDER_PHASE, weight); }
  void Position(int position) { job_.SendProgress(WM_RENDER_POSITION, position); }
  void TraceSamples(const Octree& octree, const EnvironmentSettings& environment, SampleFileWriter& writer,
                    PictureStream& picture, RenderThreads& threads, int32_t W, int32_t H);

  RenderDocument& document_;
  RenderJob& job_;
  IUserInterface& ui_;
  OpenedLinks links_;
  bool endSent_ = false;
};

void Driver::Run(const std::string& outputPath) {
  Workspace& workspace = document_.GetWorkspace();
  Phase(10);
  job_.statistics.startTime = Now();
  // Started first, so that the helpers are up by the time the links are
  // open; they wait between the steps that use them, and end with tracing.
  std::optional<RenderThreads> threads(std::in_place, job_.TracingThreads());

  job_.settings = links_.OpenRenderLink();
  const RenderSettings& settings = job_.settings;
  Position(200);
  const EnvironmentSettings environment = links_.OpenEnvironmentLink();
  Position(400);
  links_.OpenItemLinks();
  Position(600);

  const int32_t f = settings.SupersamplingFactor();
  const int32_t W = static_cast<int32_t>(settings.width) * f;
  const int32_t H = static_cast<int32_t>(settings.height) * f;
  Position(800);
  ComputePolygonNormals(workspace.GetItems(), *threads);

  const std::string folder = ProgramFolder();
  TemporaryFile raw(folder, "dms");
  TemporaryFile reduced(folder, "dmp");
  SampleFileWriter writer(raw.Path(), SampleHeader{W, H, f}, kSampleStreamBuffer);
  // The folder may be new; when it cannot be made the picture is written
  // the usual way at the end, which fails and says so.
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(outputPath).parent_path(), ignored);
  PictureStream picture(outputPath, settings.jpegQuality, writer.Header(), reduced.Path());

  Position(1000);
  Phase(20);
  OctreeBuildHooks hooks;
  hooks.stopRequested = [this] {
    job_.WaitWhilePaused();
    return job_.StopRequested();
  };
  hooks.reportPosition = [this](int position) { Position(position); };
  hooks.renderThreads = &*threads;
  hooks.alongside = [&workspace] { SumPointNormals(workspace.GetItems()); };
  HoldBuildOnPause(job_, hooks);
  Octree octree = BuildOctree(workspace.GetItems(), settings.octreeLimit, kOctreeLeafLimit,
                              job_.statistics.counters, hooks);
  Position(1000);
  Phase(940);
  TraceSamples(octree, environment, writer, picture, *threads, W, H);
  threads.reset();

  Phase(10);
  writer.Close();
  picture.Finish();
  if (job_.onRawSamples) job_.onRawSamples(raw.Path());
  Position(330);
  links_.CloseItemLinks();
  Position(660);
  octree = Octree();
  Position(1000);

  Phase(20);
  if (picture.ReducedWritten()) {
    raw.Remove();
  } else {
    ReduceSupersampled(raw.Path(), reduced.Path());
  }
  Position(500);
  job_.imageWritten = picture.Commit() || WriteJpegFile(outputPath, settings.jpegQuality, reduced.Path(), ui_);
  if (job_.onImageReduced) job_.onImageReduced(reduced.Path());
  job_.statistics.outputPath = outputPath;
  reduced.Remove();
  job_.statistics.endTime = Now();
  Position(1000);
  SendEnd();
}

void Driver::TraceSamples(const Octree& octree, const EnvironmentSettings& environment, SampleFileWriter& writer,
                          PictureStream& picture, RenderThreads& threads, int32_t W, int32_t H) {
  const CameraSampling sampling(document_.GetCamera(), W, H, job_.settings.pixelRatio);
  RowTraceSetup setup;
  setup.context.octree = &octree;
  setup.context.environment = &environment;
  setup.context.lights = document_.GetLights();
  setup.context.depthLimit = job_.settings.depthLimit;
  setup.sampling = &sampling;
  setup.width = W;
  setup.height = H;
  setup.threads = &threads;
  setup.random = &ThreadRandomSource();
  setup.primaryTracer = job_.primaryTracer;
  setup.job = &job_;
  // The rows not traced are completed in white when the writer closes.
  TraceRows(setup, [&](int32_t row, std::span<const uint8_t> rgb, const RenderCounters& counters) {
    writer.WriteRow(rgb.data());
    picture.AddSampleRow(rgb.data());
    job_.statistics.counters += counters;
    Position(static_cast<int>(std::trunc((static_cast<double>(row + 1) / static_cast<double>(H)) * 1000.0)));
    return !job_.StopRequested();
  });
}

}  // namespace

void HoldBuildOnPause(RenderJob& job, OctreeBuildHooks& hooks) {
  hooks.waitWhilePaused = [&job] { job.WaitWhilePaused(); };
  hooks.changeThreads = [&job](int change) {
    if (change > 0) {
      job.AddRenderThreads(change);
    } else {
      job.RemoveRenderThreads(-change);
    }
  };
  hooks.beginIdle = [&job] { job.BeginIdle(); };
  hooks.endIdle = [&job] { job.EndIdle(); };
}

std::string RenderLabel(const std::string& title) {
  std::string name = title;
  if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
  const auto slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  if (!name.empty() && name.back() == '*') name.pop_back();
  return name;
}

void RenderWorkspace(RenderDocument& document, RenderJob& job, IUserInterface& ui) {
  job.cancelled = false;
  job.imageWritten = false;
  if (!Confirmed(ui, kProceedQuestion)) {
    job.cancelled = true;
    return;
  }
  document.GatherLights();
  if (document.GetLights().empty() && !Confirmed(ui, kNoLightsQuestion)) {
    job.cancelled = true;
    return;
  }
  if (job.path == RenderPath::foreground) job.DiscardPendingStop();
  job.statistics.ZeroCounters();
  job.label = RenderLabel(document.GetTitle());
  const std::string outputPath = RenderedImagePath(job.label);

  // From here on the receiver knows the job and must let go of it before a
  // background render may free it. Armed before the message goes out, so
  // that a render quicker than the receiver cannot slip past the wait.
  if (job.path == RenderPath::background) job.ExpectRelease();
  job.SetState(RenderJobState::rendering);
  job.SendProgress(WM_RENDER_BEGIN, 0);

  Driver driver(document, job, ui);
  try {
    driver.Run(outputPath);
  } catch (const std::exception& e) {
    std::string text = "Can't complete the rendering: ";
    text += e.what();
    ui.Message(text);
  }
  if (!driver.EndSent()) {
    // Whatever failed was reported; the receiver still has to drop the job.
    job.statistics.endTime = Now();
    driver.SendEnd();
  }
  driver.CloseLinks();

  // An image that was not written is not shown: an older picture of the
  // same name would pass for this render's.
  if (job.settings.autoDisplay && job.imageWritten) {
    RenderMessage show;
    show.id = WM_RENDER_SHOWIMAGE;
    show.imagePath = outputPath;
    job.Deliver(std::move(show));
  }
}

}  // namespace brevoxa
