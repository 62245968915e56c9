// The render driver on the calling thread: questions, messages, rays and failures.
#include "render/render_workspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "render/octree.h"
#include "render/render_document.h"
#include "render/render_job.h"
#include "render/sample_file.h"
#include "render/shading.h"
#include "support/render_scene.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddCamera;
using testing::AddLight;
using testing::AddQuad;
using testing::ExpectedSequence;
using testing::RecordingReceiver;
using testing::RenderStore;
using testing::SettingsOfSize;

const CVector kRed(255, 0, 0);
const CVector kBlue(0, 0, 255);

class RenderWorkspaceTest : public ::testing::Test {
 protected:
  RenderWorkspaceTest() : camera_(AddCamera(workspace_)), document_(workspace_, "scene.wsp*"), job_(receiver_) {
    document_.SetRenderCamera(*camera_);
    job_.document = &document_;
    job_.threads = 1;
  }

  void Render() { RenderWorkspace(document_, job_, ui_); }

  void KeepRawSamples() {
    job_.onRawSamples = [this](const std::string& path) { raw_ = ReadSampleImage(path); };
  }
  std::vector<uint8_t> RawRow(int row) const {
    const size_t bytes = raw_.header.RowBytes();
    return {raw_.rgb.begin() + bytes * row, raw_.rgb.begin() + bytes * (row + 1)};
  }

  RenderStore store_;
  Workspace workspace_;
  ICamera* camera_;
  RenderDocument document_;
  RecordingReceiver receiver_;
  RenderJob job_;
  RecordingUi ui_;
  SampleImage raw_;
};

TEST_F(RenderWorkspaceTest, CancelAtEitherQuestionSendsAndWritesNothing) {
  ui_.QueueAnswer(Answer::cancel);
  Render();
  ASSERT_EQ(ui_.Questions().size(), 1u);
  EXPECT_EQ(ui_.Questions()[0].text, "Ok To Proceed With Rendering?");
  EXPECT_EQ(ui_.Questions()[0].buttons, Buttons::okCancel);
  EXPECT_TRUE(job_.cancelled);

  ui_.Clear();
  ui_.QueueAnswer(Answer::ok);
  ui_.QueueAnswer(Answer::cancel);
  Render();
  ASSERT_EQ(ui_.Questions().size(), 2u);
  EXPECT_EQ(ui_.Questions()[1].text,
            "Warning: There are no lights in this workspace.  Ok To Proceed With Rendering?");
  EXPECT_TRUE(job_.cancelled);

  EXPECT_TRUE(receiver_.Received().empty());
  EXPECT_FALSE(std::filesystem::exists(store_.StoreFile("RENDERED")));
  EXPECT_TRUE(store_.Temporaries().empty());

  AddLight(workspace_);
  ui_.Clear();
  Render();
  EXPECT_EQ(ui_.Questions().size(), 1u);
  EXPECT_FALSE(job_.cancelled);
}

TEST_F(RenderWorkspaceTest, TinyRenderSendsTheExactMessagesAndWritesTheLabelledPicture) {
  AddLight(workspace_);
  store_.WriteSettings(SettingsOfSize(2, 3));
  Render();

  std::vector<std::pair<int, int>> expected = ExpectedSequence(3);
  expected.emplace_back(WM_RENDER_SHOWIMAGE, 0);
  EXPECT_EQ(receiver_.Sequence(), expected);
  const std::string picture = store_.StoreFile("RENDERED/scene.JPG");
  const auto received = receiver_.Received();
  EXPECT_EQ(received.back().message.imagePath, picture);
  EXPECT_EQ(received.back().message.job, nullptr);
  EXPECT_EQ(received.front().message.job, &job_);

  EXPECT_EQ(job_.label, "scene");
  EXPECT_TRUE(job_.imageWritten);
  EXPECT_TRUE(std::filesystem::is_regular_file(picture));
  EXPECT_EQ(job_.statistics.outputPath, picture);
  EXPECT_EQ(job_.statistics.counters.primaryRays, 6u);
  EXPECT_EQ(job_.statistics.counters.octreeSize, 8u);
  EXPECT_GT(job_.statistics.startTime, 0);
  EXPECT_LE(job_.statistics.startTime, job_.statistics.endTime);
  EXPECT_TRUE(store_.Temporaries().empty());
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_FALSE(workspace_.GetRenderLink().IsOpen());
  EXPECT_FALSE(workspace_.GetEnvironmentLink().IsOpen());

  // The counters start afresh; without auto display the picture is not shown.
  RenderSettings quiet = SettingsOfSize(2, 3);
  quiet.autoDisplay = false;
  store_.WriteSettings(quiet);
  Render();
  EXPECT_EQ(job_.statistics.counters.primaryRays, 6u);
  EXPECT_EQ(receiver_.Received().back().message.id, WM_RENDER_END);
}

TEST(RenderLabel, KeepsTheFileNameWithoutFolderExtensionOrMark) {
  EXPECT_EQ(RenderLabel("scene.wsp*"), "scene");
  EXPECT_EQ(RenderLabel("Untitled*"), "Untitled");
  EXPECT_EQ(RenderLabel("C:\\WORK\\Harbour.WSP"), "Harbour");
  EXPECT_EQ(RenderLabel("/home/ann/night.v2.wsp"), "night.v2");
}

TEST_F(RenderWorkspaceTest, TheViewedCamerasViewPlaneFramesThePicture) {
  AddLight(workspace_);
  AddQuad(workspace_, -20, 12);
  store_.WriteSettings(SettingsOfSize(8, 8));
  job_.primaryTracer = [](const TraceContext& context, const Ray& ray) {
    HitRecord hit;
    return context.octree->FindNearestHit(ray, Octree::kMaxHitDistance, hit, *context.counters) ? kRed : kBlue;
  };
  KeepRawSamples();
  auto redCount = [&] {
    int n = 0;
    for (size_t i = 0; i < raw_.rgb.size(); i += 3) n += raw_.rgb[i] == 255;
    return n;
  };

  Render();
  EXPECT_EQ(redCount(), 64);

  // The viewed camera, twice as wide, frames the render.
  ICamera wide;
  wide.CopyFrom(*camera_);
  wide.SetViewPlaneWidth(20.0);
  document_.SetRenderCamera(wide);
  Render();
  EXPECT_EQ(document_.GetCamera().GetViewPlaneWidth(), 20.0);
  EXPECT_EQ(redCount(), 16);
  EXPECT_EQ(raw_.Pixel(0, 0)[2], 255);
  EXPECT_EQ(raw_.Pixel(4, 4)[0], 255);
}

TEST_F(RenderWorkspaceTest, StopDuringTheOctreeBuildEndsItAndThePixelLoop) {
  AddLight(workspace_);
  IObject* plane = static_cast<IObject*>(workspace_.AddItem(std::make_unique<IObject>()));
  ASSERT_NE(plane->AddPlane(24, 24, 10, 10), nullptr);
  plane->UpdateWorldGeometry();
  store_.WriteSettings(SettingsOfSize(2, 3));
  job_.primaryTracer = [](const TraceContext&, const Ray&) { return CVector(1, 2, 3); };

  Render();
  const uint64_t fullSize = job_.statistics.counters.octreeSize;
  EXPECT_GT(fullSize, 8u);

  // One key press, seen by the build's poll (the driver discards the first).
  int polls = 0;
  job_.SetStopPoll([&] { return ++polls == 2; });
  KeepRawSamples();
  Render();
  EXPECT_EQ(job_.statistics.counters.octreeSize, 8u);
  EXPECT_EQ(job_.statistics.counters.primaryRays, 2u);
  EXPECT_EQ(RawRow(1), std::vector<uint8_t>(6, 255));
  EXPECT_EQ(RawRow(2), std::vector<uint8_t>(6, 255));
}

TEST_F(RenderWorkspaceTest, FailuresAreReportedAndStillEndTheRender) {
  AddLight(workspace_);
  std::ofstream(store_.StoreFile("RENDERED")) << "not a folder";
  Render();
  const std::string picture = store_.StoreFile("RENDERED/scene.JPG");
  EXPECT_FALSE(job_.imageWritten);
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Can't open " + picture + " to write image to."});
  EXPECT_EQ(job_.statistics.outputPath, picture);
  EXPECT_TRUE(store_.Temporaries().empty());
  EXPECT_EQ(receiver_.Sequence().back(), (std::pair{WM_RENDER_END, 0}));

  // A program folder that does not exist cannot take the temporary files.
  ui_.Clear();
  ScopedObjectStore missing((store_.Folder() / "missing" / "OBJSTORE").string());
  ScopedUserInterface current(ui_);
  Render();
  ASSERT_FALSE(ui_.Messages().empty());
  EXPECT_EQ(ui_.Messages().back().rfind("Can't complete the rendering: ", 0), 0u);
  EXPECT_FALSE(job_.imageWritten);
  EXPECT_EQ(receiver_.Sequence().back(), (std::pair{WM_RENDER_END, 0}));
  EXPECT_FALSE(workspace_.GetRenderLink().IsOpen());
  EXPECT_FALSE(workspace_.GetEnvironmentLink().IsOpen());
}

}  // namespace
}  // namespace brevoxa
