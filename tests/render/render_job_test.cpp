// Render jobs on both paths: the progress arithmetic, the foreground
// render's statuses and closing messages, and background renders: the
// snapshot, messages from the render thread, the release before the
// statistics, pause and stop, and a renderer that goes away mid-render.
#include "render/background_render.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "material/random_source.h"
#include "render/octree.h"
#include "render/render_document.h"
#include "render/render_job.h"
#include "render/render_progress.h"
#include "render/sample_file.h"
#include "render/shading.h"
#include "support/render_scene.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddCamera;
using testing::AddLight;
using testing::AddQuad;
using testing::Eventually;
using testing::ExpectedSequence;
using testing::RecordingReceiver;
using testing::RenderStore;
using testing::SettingsOfSize;

TEST(RenderProgress, PhasesAddUpToTheWholeAndTheBarTexts) {
  RenderProgress progress;
  progress.Begin(100);
  for (int weight : {10, 20, 940, 10, 20}) {
    progress.Phase(weight);
    progress.Position(1000);
  }
  EXPECT_EQ(progress.Fraction(), 1.0);
  EXPECT_EQ(progress.progressStart, 100);

  progress.Begin(0);
  progress.Phase(1000);
  progress.Position(500);
  EXPECT_EQ(ProgressPercentText(progress.Fraction()), "50.0%");
  EXPECT_EQ(ProgressElapsedText(60), "1.00m");
  EXPECT_EQ(ProgressRemainingText(progress.Fraction(), 60), "1.00m");
  // Remaining seconds are whole before they become minutes: 0.3 of the way
  // after 10 s leaves 23.33 s, shown as 23 s.
  EXPECT_EQ(ProgressRemainingText(0.3, 10), "0.38m");
  EXPECT_EQ(ProgressRemainingText(0.0, 60), "");
  EXPECT_EQ(ProgressRemainingText(1e-300, 60), "");
}

class RenderJobTest : public ::testing::Test {
 protected:
  RenderJobTest() : store_(SettingsOfSize(2, 2)) {
    camera_ = AddCamera(workspace_);
    AddLight(workspace_);
  }

  // One tracing thread: the hooks below count and record in sample order.
  std::unique_ptr<RenderJob> MakeJob() {
    auto job = std::make_unique<RenderJob>(receiver_);
    job->threads = 1;
    return job;
  }

  RenderStore store_;
  Workspace workspace_;
  ICamera* camera_ = nullptr;
  RecordingReceiver receiver_;
  RecordingUi ui_;
};

TEST_F(RenderJobTest, ForegroundRendersInPlaceAndPostsCloseAndStatistics) {
  RenderDocument document(workspace_, "scene.wsp");
  document.SetRenderCamera(*camera_);
  int userDocument = 0;
  RenderJob job(receiver_, 1, [&](const RenderJob& finished) {
    // Before the closing messages.
    EXPECT_TRUE(receiver_.Has(WM_RENDER_END));
    EXPECT_FALSE(receiver_.Has(WM_RENDER_CLOSEDOC));
    EXPECT_TRUE(finished.imageWritten);
  });
  job.document = &document;
  job.userDocument = &userDocument;
  RenderInForeground(job, ui_);

  EXPECT_EQ(ui_.StatusTexts(), (std::vector<std::string>{"Rendering...", "Done Rendering"}));
  EXPECT_EQ(ui_.MaxWaitCursorDepth(), 1);
  EXPECT_EQ(ui_.WaitCursorDepth(), 0);
  const auto received = receiver_.Received();
  ASSERT_GE(received.size(), 3u);
  const RenderMessage& close = received[received.size() - 2].message;
  const RenderMessage& statistics = received.back().message;
  EXPECT_EQ(received[received.size() - 3].message.id, WM_RENDER_SHOWIMAGE);
  EXPECT_EQ(close.id, WM_RENDER_CLOSEDOC);
  EXPECT_EQ(close.userDocument, &userDocument);
  EXPECT_EQ(statistics.id, WM_RENDER_STATISTICS);
  EXPECT_EQ(statistics.statistics, job.statistics);
  EXPECT_EQ(statistics.statistics.counters.primaryRays, 4u);
  for (const auto& r : received) EXPECT_EQ(r.thread, std::this_thread::get_id());
}

TEST_F(RenderJobTest, BackgroundRenderPostsFromItsThreadAndWaitsForTheRelease) {
  BackgroundRenderer renderer;
  auto job = MakeJob();
  int userDocument = 0;
  job->closeDocument = 1;
  job->userDocument = &userDocument;
  std::atomic<uint32_t> firstState{0};
  job->primaryTracer = [&](const TraceContext& context, const Ray&) {
    uint32_t none = 0;
    firstState.compare_exchange_strong(none, context.random->GetState() + 1);
    return CVector(7, 8, 9);
  };
  std::atomic<bool> finishedBeforeStatistics{false};
  job->onFinished = [&](const RenderJob&) { finishedBeforeStatistics = !receiver_.Has(WM_RENDER_STATISTICS); };
  // The interface thread's own sequence has moved on; the render's must not care.
  DrawRandom();
  RenderJob* running = renderer.Start(std::move(job), workspace_, *camera_, "scene.wsp", ui_);
  EXPECT_EQ(ui_.StatusTexts(), (std::vector<std::string>{"Setting up background thread for rendering...",
                                                         "Rendering sent to background thread"}));
  EXPECT_EQ(ui_.WaitCursorDepth(), 0);

  ASSERT_TRUE(receiver_.WaitFor(WM_RENDER_END));
  ASSERT_TRUE(Eventually([&] { return running->GetState() == RenderJobState::awaitingRelease; }));
  EXPECT_FALSE(receiver_.Has(WM_RENDER_STATISTICS));
  EXPECT_EQ(running->label, "scene");
  renderer.Release(running);
  ASSERT_TRUE(receiver_.WaitFor(WM_RENDER_STATISTICS));

  // 1030 went out from Start, before the thread began; everything else came
  // from the render thread, in order.
  std::vector<std::pair<int, int>> expected = {{WM_RENDER_CLOSEDOC, 0}};
  for (auto m : ExpectedSequence(2)) expected.push_back(m);
  expected.emplace_back(WM_RENDER_SHOWIMAGE, 0);
  expected.emplace_back(WM_RENDER_STATISTICS, 0);
  EXPECT_EQ(receiver_.Sequence(), expected);
  const auto received = receiver_.Received();
  EXPECT_EQ(received.front().message.userDocument, &userDocument);
  EXPECT_EQ(received.front().thread, std::this_thread::get_id());
  for (size_t i = 1; i < received.size(); ++i) EXPECT_NE(received[i].thread, std::this_thread::get_id()) << i;
  EXPECT_EQ(received.back().message.statistics.counters.primaryRays, 4u);
  EXPECT_EQ(received.back().message.statistics.outputPath, store_.StoreFile("RENDERED/scene.JPG"));
  EXPECT_TRUE(finishedBeforeStatistics);
  EXPECT_EQ(firstState.load(), RandomSource::kStartState + 1);
  EXPECT_TRUE(Eventually([&] { return renderer.RunningCount() == 0; }));
}

TEST_F(RenderJobTest, SnapshotKeepsTheSceneAsItWasAtTheStart) {
  // The workspace, its camera and its links are gone once Start returns.
  auto doomed = std::make_unique<Workspace>();
  ICamera* camera = AddCamera(*doomed);
  camera->SetViewPlaneWidth(20.0);
  AddLight(*doomed);
  AddQuad(*doomed, -20, 12);
  doomed->GetEnvironmentLink().SetFileName("NIGHT.ENV");
  EnvironmentSettings night;
  night.horizon = {1, 1, 1};
  CEnvironment environment;
  ASSERT_TRUE(environment.SetSettings(night));
  testing::SaveSettingsFile(store_.StoreFile("NIGHT.ENV"), environment);

  BackgroundRenderer renderer;
  auto job = MakeJob();
  RenderJob* jobAddress = job.get();
  std::vector<Ray> rays;
  size_t lights = 0, polygons = 0;
  CVector horizon;
  job->primaryTracer = [&](const TraceContext& context, const Ray& ray) {
    rays.push_back(ray);
    lights = context.lights.size();
    polygons = context.octree->GetEntries().size();
    horizon = context.environment->horizon;
    return CVector();
  };
  renderer.Start(std::move(job), *doomed, *camera, "doomed.wsp", ui_);
  doomed.reset();
  ASSERT_TRUE(receiver_.WaitFor(WM_RENDER_END));
  renderer.Release(jobAddress);
  ASSERT_TRUE(receiver_.WaitFor(WM_RENDER_STATISTICS));

  EXPECT_EQ(lights, 1u);
  EXPECT_EQ(polygons, 1u);
  EXPECT_EQ(horizon, CVector(1, 1, 1));
  ASSERT_EQ(rays.size(), 4u);
  EXPECT_TRUE(rays[0].origin.IsNear({-10, -10, 10}, 1e-12)) << TraceText(rays[0].origin);
}

TEST_F(RenderJobTest, PauseHoldsTheRenderAndStopResumesIt) {
  store_.WriteSettings(SettingsOfSize(2, 4));
  BackgroundRenderer renderer;
  auto job = MakeJob();
  RenderJob* jobAddress = job.get();
  int samples = 0;
  job->primaryTracer = [&](const TraceContext&, const Ray&) {
    // Pause during the first sample of rows 1 and 2: the render stops at
    // the next sample, within the row, before that row's position.
    if (samples == 2 || samples == 4) jobAddress->Pause();
    ++samples;
    return CVector(5, 5, 5);
  };
  SampleImage raw;
  job->onRawSamples = [&](const std::string& path) { raw = ReadSampleImage(path); };
  renderer.Start(std::move(job), workspace_, *camera_, "scene.wsp", ui_);

  auto lastPosition = [&] {
    const auto sequence = receiver_.Sequence();
    return sequence.back();
  };
  ASSERT_TRUE(Eventually([&] { return jobAddress->GetState() == RenderJobState::held; }));
  EXPECT_TRUE(jobAddress->IsPaused());
  EXPECT_EQ(lastPosition(), (std::pair{WM_RENDER_POSITION, 250}));
  jobAddress->Resume();

  ASSERT_TRUE(Eventually([&] { return jobAddress->GetState() == RenderJobState::held; }));
  EXPECT_EQ(lastPosition(), (std::pair{WM_RENDER_POSITION, 500}));
  const size_t whilePaused = receiver_.Received().size();
  jobAddress->RequestStop();
  EXPECT_FALSE(jobAddress->IsPaused());
  ASSERT_TRUE(receiver_.WaitFor(WM_RENDER_END));
  renderer.Release(jobAddress);
  ASSERT_TRUE(receiver_.WaitFor(WM_RENDER_STATISTICS));

  // The stopped render finished its row, then went through its usual end.
  const auto sequence = receiver_.Sequence();
  EXPECT_EQ(sequence[whilePaused], (std::pair{WM_RENDER_POSITION, 750}));
  EXPECT_EQ(sequence[whilePaused + 1], (std::pair{WM_RENDER_PHASE, 10}));
  EXPECT_EQ(samples, 6);
  ASSERT_EQ(raw.header.height, 4);
  EXPECT_EQ(raw.Pixel(1, 2)[0], 5);
  EXPECT_EQ(raw.Pixel(0, 3)[0], 255);
}

TEST_F(RenderJobTest, RendererGoingAwayStopsARunningRender) {
  RecordingReceiver receiver;
  RenderJob* jobAddress = nullptr;
  {
    BackgroundRenderer renderer;
    auto job = std::make_unique<RenderJob>(receiver);
    jobAddress = job.get();
    job->Pause();
    renderer.Start(std::move(job), workspace_, *camera_, "scene.wsp", ui_);
    ASSERT_TRUE(Eventually([&] { return jobAddress->GetState() == RenderJobState::held; }));
    // Nobody will release it: the destructor must not wait for that.
  }
  EXPECT_TRUE(receiver.Has(WM_RENDER_END));
  EXPECT_TRUE(receiver.Has(WM_RENDER_STATISTICS));
  EXPECT_TRUE(store_.Temporaries().empty());
}

}  // namespace
}  // namespace brevoxa
