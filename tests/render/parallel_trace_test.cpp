// Several tracing threads: a stop, a pause and a failure leave what one thread leaves.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "render/background_render.h"
#include "render/octree.h"
#include "render/render_document.h"
#include "render/render_job.h"
#include "render/render_workspace.h"
#include "render/sample_file.h"
#include "render/shading.h"
#include "support/render_scene.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddAimedCamera;
using testing::AddGeneratedForm;
using testing::AddLightAt;
using testing::Eventually;
using testing::RecordingReceiver;
using testing::RenderStore;
using testing::SaveMaterial;
using testing::SettingsOfSize;

constexpr int kWidth = 24;
constexpr int kHeight = 20;
constexpr int kTracingPhase = 940;

// Presses Stop when the position of the chosen row arrives.
class StoppingReceiver : public RecordingReceiver {
 public:
  explicit StoppingReceiver(int stopAfterRow) : stopAfterRow_(stopAfterRow) {}

  void Post(RenderMessage message) override {
    if (message.id == WM_RENDER_PHASE) tracing_ = message.wParam == kTracingPhase;
    const int position = static_cast<int>((stopAfterRow_ + 1.0) / kHeight * 1000.0);
    if (tracing_ && message.id == WM_RENDER_POSITION && message.wParam == position) message.job->RequestStop();
    RecordingReceiver::Post(std::move(message));
  }

 private:
  int stopAfterRow_;
  bool tracing_ = false;
};

// A function of the ray alone, whichever thread traces it.
CVector ColourOf(const Ray& ray) {
  return {std::fabs(ray.direction.x) * 200, std::fabs(ray.direction.y) * 200, std::fabs(ray.direction.z) * 200};
}

class ParallelTraceTest : public ::testing::Test {
 protected:
  ParallelTraceTest() : store_(SettingsOfSize(kWidth, kHeight)) {
    EnvironmentSettings sky;
    sky.horizon = {60, 70, 90};
    sky.ambientLight = {40, 40, 40};
    sky.shadows = true;
    sky.stars = 20;
    store_.WriteEnvironment(sky);
    MaterialSettings mirror;
    mirror.color = {120, 30, 30};
    mirror.reflect = {150, 150, 150};
    SaveMaterial(store_, "MIRROR.MAT", mirror);
    AddGeneratedForm(workspace_, {0, 0, 0}, "MIRROR.MAT", [](IObject& form) { form.AddSphere(1, 12, 6); });
    AddLightAt(workspace_, {4, -3, 5}, {230, 230, 230});
    camera_ = AddAimedCamera(workspace_, {4, 0, 0.5}, {0, 0, 0});
  }

  struct Result {
    SampleImage raw;
    RenderCounters counters;
    std::vector<std::pair<int, int>> messages;
  };

  // On a thread of its own, so the stars start from the same state every time.
  Result Render(int threads, RecordingReceiver& receiver,
                std::function<CVector(const TraceContext&, const Ray&)> tracer = {}) {
    RenderDocument document(workspace_, "parallel.wsp");
    document.SetRenderCamera(*camera_);
    RenderJob job(receiver);
    job.document = &document;
    job.threads = threads;
    job.primaryTracer = std::move(tracer);
    Result result;
    job.onRawSamples = [&](const std::string& path) { result.raw = ReadSampleImage(path); };
    RecordingUi ui;
    std::thread([&] { RenderInForeground(job, ui); }).join();
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{});
    result.counters = job.statistics.counters;
    result.messages = receiver.Sequence();
    return result;
  }

  RenderStore store_;
  Workspace workspace_;
  ICamera* camera_ = nullptr;
};

TEST_F(ParallelTraceTest, StopAfterAChosenRowLeavesTheSameFileAtEveryThreadCount) {
  constexpr int kStopRow = 6;
  RecordingReceiver whole;
  const Result full = Render(1, whole);
  StoppingReceiver first(kStopRow);
  const Result one = Render(1, first);
  const size_t rowBytes = one.raw.header.RowBytes();
  ASSERT_EQ(one.raw.rgb.size(), rowBytes * kHeight);
  // The rows up to the stop are the whole render's, the rest white.
  EXPECT_TRUE(std::equal(one.raw.rgb.begin(), one.raw.rgb.begin() + rowBytes * (kStopRow + 1), full.raw.rgb.begin()));
  EXPECT_TRUE(std::all_of(one.raw.rgb.begin() + rowBytes * (kStopRow + 1), one.raw.rgb.end(),
                          [](uint8_t b) { return b == 255; }));
  EXPECT_EQ(one.counters.primaryRays, static_cast<uint64_t>(kWidth * (kStopRow + 1)));

  for (int threads : {2, 3, 8}) {
    StoppingReceiver receiver(kStopRow);
    const Result many = Render(threads, receiver);
    SCOPED_TRACE(threads);
    EXPECT_TRUE(many.raw.rgb == one.raw.rgb);
    EXPECT_EQ(many.counters, one.counters);
    EXPECT_EQ(many.messages, one.messages);
  }
}

TEST_F(ParallelTraceTest, PauseHoldsEveryThreadUntilResumed) {
  RecordingReceiver receiver;
  BackgroundRenderer renderer;
  auto job = std::make_unique<RenderJob>(receiver);
  RenderJob* running = job.get();
  job->threads = 3;
  std::atomic<int> samples{0};
  job->primaryTracer = [&](const TraceContext&, const Ray& ray) {
    if (++samples == kWidth * 5) running->Pause();
    return ColourOf(ray);
  };
  SampleImage raw;
  job->onRawSamples = [&](const std::string& path) { raw = ReadSampleImage(path); };
  RecordingUi ui;
  renderer.Start(std::move(job), workspace_, *camera_, "paused.wsp", ui);

  ASSERT_TRUE(Eventually([&] { return running->GetState() == RenderJobState::held; }));
  const int samplesWhenHeld = samples.load();
  const size_t messagesWhenHeld = receiver.Received().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(samples.load(), samplesWhenHeld);
  EXPECT_EQ(receiver.Received().size(), messagesWhenHeld);
  EXPECT_LT(samplesWhenHeld, kWidth * kHeight);

  running->Resume();
  ASSERT_TRUE(receiver.WaitFor(WM_RENDER_END));
  renderer.Release(running);
  ASSERT_TRUE(receiver.WaitFor(WM_RENDER_STATISTICS));
  EXPECT_EQ(samples.load(), kWidth * kHeight);
  RecordingReceiver unpaused;
  EXPECT_TRUE(raw.rgb == Render(1, unpaused, [](const TraceContext&, const Ray& ray) { return ColourOf(ray); }).raw.rgb);
}

// The job is not held while the render thread still divides cells.
TEST_F(ParallelTraceTest, PauseDuringTheOctreeBuildWaitsForEveryThread) {
  RecordingReceiver receiver;
  RenderJob job(receiver);
  job.Pause();
  OctreeBuildHooks hooks;
  hooks.threads = 2;
  hooks.threadsFrom = 0;
  HoldBuildOnPause(job, hooks);
  std::atomic<bool> helperStill{false};
  hooks.waitWhilePaused = [&, wait = hooks.waitWhilePaused] {
    helperStill = true;
    wait();
  };
  std::vector<RenderJobState> whileBuilding;
  hooks.stopRequested = [&] {
    if (whileBuilding.empty()) {
      EXPECT_TRUE(Eventually([&] { return helperStill.load(); }));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      whileBuilding.push_back(job.GetState());
      job.Resume();
    }
    return false;
  };
  RenderCounters counters;
  BuildOctree(workspace_.GetItems(), 6, 4, counters, hooks);
  ASSERT_EQ(whileBuilding.size(), 1u);
  EXPECT_NE(whileBuilding[0], RenderJobState::held);

  RenderCounters alone;
  BuildOctree(workspace_.GetItems(), 6, 4, alone);
  EXPECT_EQ(counters.octreeSize, alone.octreeSize);
}

TEST_F(ParallelTraceTest, AFailingThreadEndsTheRenderWithAMessage) {
  RecordingReceiver receiver;
  RenderDocument document(workspace_, "failing.wsp");
  document.SetRenderCamera(*camera_);
  RenderJob job(receiver);
  job.document = &document;
  job.threads = 4;
  std::atomic<int> samples{0};
  job.primaryTracer = [&](const TraceContext&, const Ray& ray) {
    if (++samples == 100) throw std::runtime_error("out of memory");
    return ColourOf(ray);
  };
  RecordingUi ui;
  std::thread([&] { RenderInForeground(job, ui); }).join();
  EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Can't complete the rendering: out of memory"});
  EXPECT_TRUE(receiver.Has(WM_RENDER_END));
  EXPECT_FALSE(job.imageWritten);
  EXPECT_TRUE(store_.Temporaries().empty());
}

}  // namespace
}  // namespace brevoxa
