// Render jobs in the foreground and the background: messages, snapshot, pause and stop.
#include "render/background_render.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "material/random_source.h"
#include "render/octree.h"
#include "render/render_document.h"
#include "render/render_job.h"
#include "render/render_progress.h"
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
  progress.Begin(0);
  progress.Phase(1000);
  progress.Position(500);
  EXPECT_EQ(ProgressPercentText(progress.Fraction()), "50.0%");
  EXPECT_EQ(ProgressElapsedText(60), "1.00m");
  EXPECT_EQ(ProgressRemainingText(progress.Fraction(), 60), "1.00m");
  // 23.33 s left is cut to whole seconds before it becomes minutes.
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
  // The render's random sequence is its own.
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

  // Only the close message comes from the calling thread.
  std::vector<std::pair<int, int>> expected = {{WM_RENDER_CLOSEDOC, 0}};
  for (auto m : ExpectedSequence(2)) expected.push_back(m);
  expected.emplace_back(WM_RENDER_SHOWIMAGE, 0);
  expected.emplace_back(WM_RENDER_STATISTICS, 0);
  EXPECT_EQ(receiver_.Sequence(), expected);
  const auto received = receiver_.Received();
  EXPECT_EQ(received.front().message.userDocument, &userDocument);
  EXPECT_EQ(received.front().thread, std::this_thread::get_id());
  for (size_t i = 1; i < received.size(); ++i) EXPECT_NE(received[i].thread, std::this_thread::get_id());
  EXPECT_EQ(received.back().message.statistics.counters.primaryRays, 4u);
  EXPECT_EQ(received.back().message.statistics.outputPath, store_.StoreFile("RENDERED/scene.JPG"));
  EXPECT_TRUE(finishedBeforeStatistics);
  EXPECT_EQ(firstState.load(), RandomSource::kStartState + 1);
  EXPECT_TRUE(Eventually([&] { return renderer.RunningCount() == 0; }));
}

TEST_F(RenderJobTest, SnapshotKeepsTheSceneAsItWasAtTheStart) {
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
  EXPECT_TRUE(rays[0].origin.IsNear({-10, -10, 10}, 1e-12));
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
  }
  EXPECT_TRUE(receiver.Has(WM_RENDER_END));
  EXPECT_TRUE(receiver.Has(WM_RENDER_STATISTICS));
  EXPECT_TRUE(store_.Temporaries().empty());
}

}  // namespace
}  // namespace brevoxa
