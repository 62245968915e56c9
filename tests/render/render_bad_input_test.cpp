// Scenes with missing or damaged files, or coordinates that are not numbers, still render.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "render/render_document.h"
#include "render/render_job.h"
#include "render/render_workspace.h"
#include "render/sample_file.h"
#include "support/render_scene.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddCamera;
using testing::AddLight;
using testing::AddQuad;
using testing::RecordingReceiver;
using testing::RenderStore;
using testing::SettingsOfSize;

class RenderBadInput : public ::testing::Test {
 protected:
  // Through the workspace's first camera; returns the reduced picture.
  SampleImage Render(Workspace& workspace) {
    ScopedUserInterface scoped(ui_);
    RenderDocument document(workspace, "bad.wsp");
    for (IDrawable* item : workspace.GetItems())
      if (auto* camera = dynamic_cast<ICamera*>(item)) {
        document.SetRenderCamera(*camera);
        break;
      }
    RecordingReceiver receiver;
    RenderJob job(receiver);
    job.document = &document;
    SampleImage picture;
    job.onImageReduced = [&](const std::string& path) { picture = ReadSampleImage(path); };
    RenderWorkspace(document, job, ui_);
    EXPECT_TRUE(job.imageWritten);
    EXPECT_TRUE(receiver.Has(WM_RENDER_END));
    EXPECT_TRUE(store_.Temporaries().empty());
    return picture;
  }

  size_t MessagesContaining(const std::string& part) const {
    size_t n = 0;
    for (const std::string& m : ui_.Messages()) n += m.find(part) != std::string::npos;
    return n;
  }

  RenderStore store_{SettingsOfSize(8, 6)};
  RecordingUi ui_;
};

TEST_F(RenderBadInput, MissingSettingsFilesRenderWithTheDefaultsAfterTheirMessages) {
  Workspace workspace;
  AddCamera(workspace);
  AddQuad(workspace, -20, 5);
  AddLight(workspace);
  for (const char* name : {"RENDER.RDR", "ENVIRONM.ENV", "MATERIAL.MAT"}) std::filesystem::remove(store_.StoreFile(name));

  const SampleImage picture = Render(workspace);
  EXPECT_EQ(MessagesContaining("Unable to load"), 3u);
  EXPECT_EQ(MessagesContaining("Using defaults."), 3u);
  const RenderSettings defaults;
  EXPECT_EQ(picture.header.width, defaults.width);
  EXPECT_EQ(picture.header.height, defaults.height);
}

TEST_F(RenderBadInput, AFormWhoseFileIsMissingOrDamagedLeavesTheRestOfTheScene) {
  // Two quads in form files of their own; one file goes or is cut short.
  for (const bool damage : {false, true}) {
    SCOPED_TRACE(damage ? "damaged form file" : "missing form file");
    const std::string path = store_.StoreFile("SCENE.WSP");
    {
      Workspace workspace;
      AddCamera(workspace);
      IObject* left = AddQuad(workspace, -20, 4);
      left->SetFileName("LEFT.FRM");
      IObject* right = AddQuad(workspace, -20, 4);
      right->SetFileName("RIGHT.FRM");
      right->GetFrame().SetPosition({0, 6, 0});
      left->GetFrame().SetPosition({0, -6, 0});
      left->UpdateWorldGeometry();
      right->UpdateWorldGeometry();
      AddLight(workspace);
      ASSERT_TRUE(workspace.Save(path, ui_));
    }
    if (damage) {
      std::filesystem::resize_file(store_.StoreFile("RIGHT.FRM"), 20);
    } else {
      std::filesystem::remove(store_.StoreFile("LEFT.FRM"));
    }

    Workspace loaded;
    ui_.Clear();
    loaded.Load(path, ui_);
    EXPECT_FALSE(ui_.Messages().empty());
    const SampleImage picture = Render(loaded);
    ASSERT_EQ(picture.header.width, 8);
    // The intact quad shows black (the default material), the lost one the sky.
    EXPECT_EQ(picture.Pixel(damage ? 1 : 6, 3)[2], 0);
    EXPECT_EQ(picture.Pixel(damage ? 6 : 1, 3)[2], 30);
  }
}

TEST_F(RenderBadInput, CoordinatesThatAreNotNumbersNeitherHangNorCrash) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const CVector& bad : {CVector(nan, 0, 0), CVector(inf, 0, 0), CVector(-inf, inf, nan)}) {
    Workspace workspace;
    AddCamera(workspace);
    AddQuad(workspace, -20, 5);
    IObject* broken = AddQuad(workspace, -30, 5);
    static_cast<IPoint*>(broken->GetPoints().GetHead())->local = bad;
    broken->UpdateWorldGeometry();
    AddLight(workspace);
    const SampleImage picture = Render(workspace);
    EXPECT_EQ(picture.header.width, 8);
  }
}

}  // namespace
}  // namespace brevoxa
