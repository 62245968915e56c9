// `brevoxa-cli render`: the pictures, camera, statistics and failures.
#include "cli/render_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cli/info_command.h"
#include "cli_run.h"
#include "material/image_reader.h"
#include "math/view_tran.h"
#include "render/render_statistics.h"
#include "support/render_scene.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddCamera;
using testing::AddLight;
using testing::Capture;
using testing::CommandRun;
using testing::ReadText;
using testing::RenderStore;
using testing::SettingsOfSize;

class RenderCommand : public ::testing::Test {
 protected:
  RenderCommand() : store_(SettingsOfSize(4, 3)) {
    // Two cameras; the camera view shows the second.
    Workspace ws;
    AddCamera(ws, "Quay");
    ICamera* tower = AddCamera(ws, "Tower");
    AddLight(ws);
    CViewRecord& view = ws.AddView();
    view.GetViewTran().SetViewType(IViewTran::camera);
    view.GetViewTran().SetCamera(tower);
    RecordingUi ui;
    if (!ws.Save(scene_, ui)) throw std::runtime_error("cannot save the scene");
  }

  CommandRun Render(std::vector<std::string> args) {
    args.insert(args.begin(), {scene_, "--store", store_.StoreDir()});
    // Neither stream is a terminal: questions are printed and answered OK.
    return Capture([&](std::ostream& out, std::ostream& err) {
      return cli::RunRender(args, out, err, cli::RenderTerminal{});
    });
  }
  std::string Path(const std::string& name) const { return (store_.Folder() / name).string(); }

  RenderStore store_;
  std::string scene_ = Path("scene.wsp");
};

TEST_F(RenderCommand, WritesTheRenderedPictureAndTheOutputFiles) {
  CommandRun run = Render({"--yes", "--quiet", "--output", Path("out.ppm")});
  ASSERT_EQ(run.code, cli::kExitOk) << run.err;
  EXPECT_EQ(run.err, "brevoxa: Ok To Proceed With Rendering? [ok/cancel] ok\n");
  // The empty scene shows the environment's horizon, (10, 20, 30).
  std::string pixels;
  for (int i = 0; i < 12; ++i) pixels += "\x0A\x14\x1E";
  EXPECT_EQ(ReadText(Path("out.ppm")), "P6\n4 3\n255\n" + pixels);
  const std::string jpeg = store_.StoreFile("RENDERED/scene.JPG");
  EXPECT_TRUE(std::filesystem::is_regular_file(jpeg));
  EXPECT_NE(run.out.find("Camera Tower\nRendered " + jpeg + "\nWrote " + Path("out.ppm") + "\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\nRendering          " + jpeg + "\n"), std::string::npos) << run.out;
  const RenderStatistics kept = LoadStatistics(Path("RENSTAT.DAT"));
  EXPECT_EQ(kept.counters.primaryRays, 12u);
  EXPECT_EQ(kept.outputPath, jpeg);
  EXPECT_TRUE(store_.Temporaries().empty());

  ASSERT_EQ(Render({"--yes", "--quiet", "--output", Path("out.png")}).code, cli::kExitOk);
  ImageReadResult png = ReadImageFile(Path("out.png"));
  ASSERT_TRUE(png.ok()) << png.message;
  EXPECT_EQ(png.bitmap.TopDownRgb(), std::vector<uint8_t>(pixels.begin(), pixels.end()));
}

TEST_F(RenderCommand, WithoutATerminalTheQuestionsAreShownAndTheProgressIsLines) {
  CommandRun run = Render({});
  ASSERT_EQ(run.code, cli::kExitOk) << run.err;
  EXPECT_NE(run.err.find("brevoxa: Ok To Proceed With Rendering? [ok/cancel] ok\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("rendering 0.2%  elapsed 0.00m"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("rendering 100.0%  elapsed "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
}

// The times vary; their form and column, and the rates of the empty scene
// (primary rays only), do not.
TEST_F(RenderCommand, StatsAddTimesRatesAndPeakMemory) {
  CommandRun plain = Render({"--yes", "--quiet"});
  ASSERT_EQ(plain.code, cli::kExitOk) << plain.err;
  EXPECT_EQ(plain.out.find("Rays/s"), std::string::npos) << plain.out;
  CommandRun run = Render({"--yes", "--quiet", "--stats", "--threads", "3"});
  ASSERT_EQ(run.code, cli::kExitOk) << run.err;
  // The lines after the octree's size with each number masked, and the numbers.
  std::string shape;
  std::vector<std::string> n;
  const std::string tail = run.out.substr(run.out.find("\nWall Time"));
  for (size_t i = 0; i < tail.size();) {
    const size_t end = std::min(tail.size(), tail.find_first_not_of("0123456789", i));
    if (end == i) {
      shape += tail[i++];
      continue;
    }
    n.push_back(tail.substr(i, end - i));
    shape += '#';
    i = end;
  }
  EXPECT_EQ(shape, "\nWall Time           #.# s\nOctree Time         #.# s\nTracing Time        #.# s\n"
                   "Threads             #\nPrimary Rays/s      #\nReflected Rays/s    #\nTransmitted Rays/s  #\n"
                   "Shadow Rays/s       #\nAll Rays/s          #\nPeak Memory         #.# MiB (# KiB)\n");
  ASSERT_EQ(n.size(), 15u) << run.out;
  for (int i : {1, 3, 5}) EXPECT_EQ(n[i].size(), 3u) << run.out;
  EXPECT_EQ(std::vector<std::string>(n.begin() + 6, n.end() - 3),
            (std::vector<std::string>{"3", n[7], "0", "0", "0", n[7]}));
  EXPECT_NE(n[7], "0");
  EXPECT_NEAR(std::stod(n[12] + "." + n[13]), std::stod(n[14]) / 1024.0, 0.05) << run.out;
}

TEST_F(RenderCommand, CameraByNameAndMissingCameras) {
  CommandRun quay = Render({"--yes", "--quiet", "--camera", "Quay"});
  EXPECT_EQ(quay.code, cli::kExitOk) << quay.err;
  EXPECT_EQ(quay.out.rfind("Camera Quay\n", 0), 0u) << quay.out;
  CommandRun unknown = Render({"--yes", "--camera=Pier"});
  EXPECT_EQ(unknown.code, cli::kExitUsage);
  EXPECT_NE(unknown.err.find("no camera named 'Pier' in " + scene_), std::string::npos) << unknown.err;
  Workspace empty;
  AddLight(empty);
  RecordingUi ui;
  ASSERT_TRUE(empty.Save(scene_, ui));
  CommandRun none = Render({"--yes"});
  EXPECT_EQ(none.code, cli::kExitUsage);
  EXPECT_NE(none.err.find("has no camera to render"), std::string::npos) << none.err;
  EXPECT_EQ(none.err.find("Ok To Proceed"), std::string::npos) << none.err;
}

TEST_F(RenderCommand, UsageErrorsRenderNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--output", Path("out.gif")}, {"--output"}, {"--fast"}, {"second.wsp"},
        {"--threads", "0"}, {"--threads=257"}, {"--threads", "two"}, {"--threads"}}) {
    CommandRun run = Render(args);
    EXPECT_EQ(run.code, cli::kExitUsage) << args[0];
    EXPECT_NE(run.err.find(cli::kRenderUsage), std::string::npos) << args[0];
  }
  EXPECT_FALSE(std::filesystem::exists(store_.StoreFile("RENDERED")));
}

TEST_F(RenderCommand, OutputThatCannotBeWrittenFailsAndLeavesNoTemporaries) {
  const std::string output = Path("missing/out.ppm");
  CommandRun run = Render({"--yes", "--quiet", "--output", output});
  EXPECT_EQ(run.code, cli::kExitFailed);
  EXPECT_NE(run.err.find("brevoxa: Can't open " + output + " to write image to."), std::string::npos) << run.err;
  EXPECT_TRUE(store_.Temporaries().empty());
  // The same when the rendered picture itself cannot be written.
  std::filesystem::remove_all(store_.StoreFile("RENDERED"));
  std::ofstream(store_.StoreFile("RENDERED")) << "not a folder";
  run = Render({"--yes", "--quiet"});
  EXPECT_EQ(run.code, cli::kExitFailed);
  EXPECT_NE(run.err.find("Can't open " + store_.StoreFile("RENDERED/scene.JPG")), std::string::npos) << run.err;
  EXPECT_TRUE(store_.Temporaries().empty());
}

TEST_F(RenderCommand, TheProgramRendersAndExitsWithTheStatus) {
  const std::string render = "render '" + scene_ + "' --store '" + store_.StoreDir() + "' ";
  CommandRun run = testing::RunProgram(store_.Folder(), render + "--quiet --threads 3 --output '" + Path("cli.ppm") + "'");
  EXPECT_EQ(run.code, cli::kExitOk) << run.err;
  ASSERT_EQ(Render({"--yes", "--quiet", "--output", Path("in.ppm")}).code, cli::kExitOk);
  EXPECT_EQ(ReadText(Path("cli.ppm")), ReadText(Path("in.ppm")));
  EXPECT_EQ(testing::RunProgram(store_.Folder(), render + "--output x.bmp").code, cli::kExitUsage);
}

}  // namespace
}  // namespace brevoxa
