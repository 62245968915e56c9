// `brevoxa-cli info` against golden texts in tests/data/cli (rewritten with
// BREVOXA_REGENERATE=1 and reviewed by eye), and `brevoxa-cli new-form`.
#include "cli/info_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/new_form_command.h"
#include "cli/trace_printer.h"
#include "cli_run.h"
#include "material/texture_check.h"
#include "support/bytes.h"
#include "support/render_scene.h"
#include "support/sample_workspace.h"
#include "support/test_classes.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::Capture;
using testing::CommandRun;
using testing::ReadText;
using testing::RunProgram;
using testing::SaveSettingsFile;

CommandRun Info(const std::vector<std::string>& args) {
  return Capture([&](std::ostream& out, std::ostream& err) { return cli::RunInfo(args, out, err); });
}
CommandRun NewForm(const std::vector<std::string>& args) {
  return Capture([&](std::ostream& out, std::ostream& err) { return cli::RunNewForm(args, out, err); });
}

void ExpectGolden(const std::string& name, const std::string& text) {
  const std::filesystem::path path = std::filesystem::path(BREVOXA_TEST_DATA) / "cli" / name;
  if (const char* flag = std::getenv("BREVOXA_REGENERATE"); flag && std::string(flag) == "1") {
    std::ofstream(path, std::ios::binary) << text;
    return;
  }
  EXPECT_EQ(text, ReadText(path)) << name << " differs; regenerate with BREVOXA_REGENERATE=1 and review";
}

class InfoCommand : public ::testing::Test {
 protected:
  std::string SaveSample() {
    ScopedObjectStore store(dir_.path().string());
    Workspace ws;
    testing::PopulateSample(ws);
    RecordingUi ui;
    EXPECT_TRUE(ws.Save(Path("scene.wsp"), ui));
    return Path("scene.wsp");
  }

  // TILES.MAT, NIGHT.ENV and FAST.RDR with values off their defaults.
  void SaveSettingsFiles() {
    CMaterialDoc material;
    auto check = std::make_unique<ICheckTexture>();
    ICheckTexture::Values values = check->GetValues();
    values.horizontalRepetitions = 8;
    values.firstColor = CVector(200, 30, 30);
    check->SetValues(values);
    material.AddTexture(std::move(check));
    SaveSettingsFile(Path("TILES.MAT"), material);
    CEnvironment environment;
    EnvironmentSettings sky = environment.Settings();
    sky.shadows = true;
    sky.stars = 2.5;
    ASSERT_TRUE(environment.SetSettings(sky));
    SaveSettingsFile(Path("NIGHT.ENV"), environment);
    CRenderDoc settings;
    RenderSettings output = settings.Settings();
    output.width = 640;
    output.height = 480;
    output.name = "Preview";
    output.supersampling = Supersampling::medium;
    ASSERT_TRUE(settings.SetSettings(output));
    SaveSettingsFile(Path("FAST.RDR"), settings);
  }

  std::string CutShort(const std::string& name, size_t keep, const std::string& cutName) {
    std::ofstream(Path(cutName), std::ios::binary) << ReadText(Path(name)).substr(0, keep);
    return Path(cutName);
  }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  // The folder varies from run to run.
  std::string WithoutFolder(std::string text) const {
    const std::string folder = dir_.path().string();
    for (auto at = text.find(folder); at != std::string::npos; at = text.find(folder, at))
      text.replace(at, folder.size(), "$DIR");
    return text;
  }
  testing::TempDir dir_;
};

TEST_F(InfoCommand, ShowsEveryFieldOfEachKindOfFile) {
  SaveSample();
  SaveSettingsFiles();
  const std::pair<std::vector<std::string>, std::string> runs[] = {
      {{Path("scene.wsp"), "--store", dir_.path().string()}, "info_workspace.txt"},
      {{Path("PIER.FRM")}, "info_form.txt"},
      {{Path("TILES.MAT")}, "info_TILES.MAT.txt"},
      {{Path("NIGHT.ENV")}, "info_NIGHT.ENV.txt"},
      {{Path("FAST.RDR")}, "info_FAST.RDR.txt"},
  };
  for (const auto& [args, golden] : runs) {
    SCOPED_TRACE(golden);
    CommandRun run = Info(args);
    EXPECT_EQ(run.code, cli::kExitOk);
    EXPECT_EQ(run.err, "");
    ExpectGolden(golden, WithoutFolder(run.out));
  }
}

TEST_F(InfoCommand, ACutShortFileShowsWhatWasReadThenTheMessage) {
  const size_t workspaceSize = ReadText(SaveSample()).size();
  SaveSettingsFiles();
  CommandRun workspace =
      Info({CutShort("scene.wsp", workspaceSize * 2 / 3, "cut.wsp"), "--store=" + dir_.path().string()});
  ExpectGolden("info_workspace_cut.txt", workspace.out);
  CommandRun form = Info({CutShort("PIER.FRM", ReadText(Path("PIER.FRM")).size() - 10, "CUT.FRM")});
  EXPECT_EQ(form.out.rfind("body {\n  version = 1\n", 0), 0u) << form.out;
  for (const CommandRun& run : {workspace, form, Info({CutShort("FAST.RDR", 9, "CUT.RDR")})}) {
    EXPECT_EQ(run.code, cli::kExitFailed);
    EXPECT_EQ(run.err, "brevoxa: Unexpected file format.\n");
  }
  // Without its form file the workspace reads to its end; master and clone
  // each say the body is missing.
  testing::TempDir empty;
  CommandRun missing = Info({Path("scene.wsp"), "--store", empty.path().string()});
  EXPECT_EQ(missing.code, cli::kExitOk);
  const std::string unable = "brevoxa: Unable to load the external form object\n";
  EXPECT_EQ(missing.err, unable + unable);
}

TEST(InfoAndNewForm, RefusedArgumentsNameTheProblem) {
  struct Case {
    bool info;
    std::vector<std::string> args;
    int code;
    std::string err;
  };
  const std::string i = "brevoxa-cli info: ", n = "brevoxa-cli new-form: ";
  const std::string iu = std::string("\n") + cli::kInfoUsage + "\n", nu = std::string("\n") + cli::kNewFormUsage + "\n";
  const std::string missing = testing::TempDir().File("none.wsp");
  const Case cases[] = {
      {true, {missing}, cli::kExitFailed,
       "brevoxa: " + missing + "\nCannot find this file.\nPlease verify that the correct path and file name are given.\n"},
      {true, {"notes.txt"}, cli::kExitUsage, i + "unsupported file type '.txt'\n"},
      {true, {"x.wsp.bak"}, cli::kExitUsage, i + "unsupported file type '.bak'\n"},
      {true, {}, cli::kExitUsage, i + "no file given" + iu},
      {true, {"a.wsp", "b.wsp"}, cli::kExitUsage, i + "more than one file given" + iu},
      {true, {"a.wsp", "--store"}, cli::kExitUsage, i + "--store needs a folder" + iu},
      {true, {"a.wsp", "--store="}, cli::kExitUsage, i + "--store needs a folder" + iu},
      {true, {"--verbose", "a.wsp"}, cli::kExitUsage, i + "unknown option '--verbose'" + iu},
      {false, {}, cli::kExitUsage, n + "no output file given" + nu},
      {false, {"A.FRM"}, cli::kExitUsage, n + "no shape given" + nu},
      {false, {"a.wsp", "--sphere", "1", "4", "3"}, cli::kExitUsage, n + "the output must be a form file (.frm)" + nu},
      {false, {"A.FRM", "b.frm", "--disk", "1", "3"}, cli::kExitUsage, n + "more than one output file given" + nu},
      {false, {"A.FRM", "--cube", "1"}, cli::kExitUsage, n + "unknown option '--cube'" + nu},
      {false, {"A.FRM", "--sphere", "1", "4"}, cli::kExitUsage, n + "--sphere needs 3 values" + nu},
      {false, {"A.FRM", "--open-top", "--cylinder", "1", "1", "1", "3"}, cli::kExitUsage,
       n + "'--open-top' does not belong to the shape before it" + nu},
      {false, {"A.FRM", "--sphere", "1", "4", "3", "--open-bottom"}, cli::kExitUsage,
       n + "'--open-bottom' does not belong to the shape before it" + nu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    CommandRun run = c.info ? Info(c.args) : NewForm(c.args);
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists("A.FRM"));
  EXPECT_EQ(Info({"--help"}).out.rfind(cli::kInfoUsage, 0), 0u);
  EXPECT_EQ(NewForm({"--help"}).out.rfind(cli::kNewFormUsage, 0), 0u);
}

TEST(TracePrinter, AFailedReadClosesTheObjectsItLeftOpen) {
  // Cut inside a child's fields: the archive ends the groups as it unwinds
  // but never the objects.
  testing::TestNode root;
  root.name = "root";
  auto* leaf = new testing::TestLeaf;
  leaf->value = 5;
  root.children.push_back(leaf);
  testing::Bytes bytes = testing::Store([&](CArchive& ar) { ar.WriteObject(&root); });
  bytes.resize(bytes.size() - 4);
  std::ostringstream out;
  cli::TracePrinter p(out);
  EXPECT_EQ(testing::LoadCause(bytes,
                               [&](CArchive& ar) {
                                 ar.SetTrace(&p);
                                 ar.Label("root");
                                 delete ar.ReadOwnedObject();
                               }),
            CArchiveException::endOfFile);
  p.Finish();
  EXPECT_EQ(out.str(),
            "root #2 TestNode {\n  name = \"root\"\n  children [1] {\n    #4 TestLeaf {\n    } (incomplete)\n  }\n"
            "} (incomplete)\n");
}

using NewFormCommand = InfoCommand;

TEST_F(NewFormCommand, ShapesStackAsLayersWithTheirCheckBoxes) {
  CommandRun run = NewForm({"--cone", "1", "2", "5", "--open-bottom", Path("MIX.FRM"), "--cylinder", "1", "1", "1", "4",
                            "--open-top", "--disk", "3", "6", "--center-point", "--plane", "0.001", "2", "1", "1000"});
  ASSERT_EQ(run.code, cli::kExitOk) << run.err;
  EXPECT_EQ(run.out, "Added Layer Cone Group\nAdded Layer Cylinder Group\nAdded Layer Cone Group\n"
                     "Added Layer Plane Group\n" + Path("MIX.FRM") + ": 4 layers, 2027 points, 1016 polygons\n");
  auto form = std::make_unique<IObject>();
  CDiskFile file(Path("MIX.FRM"), CDiskFile::modeRead);
  CArchive ar(&file, CArchive::load, 4096);
  form->SerializeBody(ar);
  // The centred disk is a flat cone. Points: cone 6 + cylinder 12 + disk 7 + plane 2 x 1001.
  std::vector<std::string> names;
  for (const IDrawable* layer : form->GetLayers()) names.push_back(layer->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{"Cone Group", "Cylinder Group", "Cone Group", "Plane Group"}));
  EXPECT_EQ(form->GetPoints().GetCount(), 6u + 12u + 7u + 2002u);
}

TEST_F(NewFormCommand, RefusedValuesOrAFailedWriteLeaveTheFileAlone) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--sphere", "0.05", "12", "12"}, "Sphere Definition, Radius: Please enter a number between 0.1 and 30000."},
      {{"--sphere", "50", "12.5", "12"},
       "Sphere Definition, Horizontal Divisions: Please enter an integer between 3 and 30000."},
      {{"--disk", "nan", "12"}, "Disk Definition, Radius: Please enter a number between 0.1 and 30000."},
      {{"--disk", "1e999", "12"}, "Disk Definition, Radius: Please enter a number between 0.1 and 30000."},
      {{"--cylinder", "50", "30001", "1", "3"},
       "Cylinder Definition, Bottom Radius: Please enter a number between 0.1 and 30000."},
      {{"--plane", "0.0009", "1", "1", "1"}, "Plane Definition, Width: Please enter a number between 0.001 and 30000."},
      {{"--plane", "1", "1", "1", "1001"},
       "Plane Definition, Vertical Divisions: Please enter an integer between 1 and 1000."},
      {{"--plane", "wide", "1", "1", "1"}, "Plane Definition, Width: Please enter a number."},
      {{"--sphere", "1", "2000", "1500", "--sphere", "1", "2000", "1500"},
       "The new layer would have too many points and polygons; at most 8000000 can be made at once."},
  };
  std::ofstream(Path("OLD.FRM")) << "previous";
  for (const auto& [shape, message] : cases) {
    std::vector<std::string> args{Path("OLD.FRM")};
    args.insert(args.end(), shape.begin(), shape.end());
    CommandRun run = NewForm(args);
    EXPECT_EQ(run.code, cli::kExitUsage) << message;
    EXPECT_EQ(run.err, "brevoxa-cli new-form: " + message + "\n");
  }
  EXPECT_EQ(ReadText(Path("OLD.FRM")), "previous");

  CommandRun failed = NewForm({Path("missing/BALL.FRM"), "--sphere", "1", "4", "3"});
  EXPECT_EQ(failed.code, cli::kExitFailed);
  EXPECT_EQ(failed.err.rfind("brevoxa: ", 0), 0u) << failed.err;
  EXPECT_FALSE(std::filesystem::exists(Path("missing/BALL.FRM")));
}

TEST_F(InfoCommand, TheProgramExitsWithTheCodeOfTheOutcome) {
  const std::string path = SaveSample();
  // The store comes from the environment when no --store is given.
  CommandRun good = RunProgram(dir_.path(), "info '" + path + "'", "BREVOXA_STORE='" + dir_.path().string() + "' ");
  EXPECT_EQ(good.code, 0);
  EXPECT_EQ(good.out, Info({path, "--store", dir_.path().string()}).out);
  std::ofstream(Path("junk.wsp"), std::ios::binary) << std::string("\x01\x00\x05hello", 8);
  CommandRun corrupt = RunProgram(dir_.path(), "info '" + Path("junk.wsp") + "'");
  EXPECT_EQ(corrupt.code, 1);
  EXPECT_EQ(corrupt.out + corrupt.err, "version = 1\nname = \"hello\"\nbrevoxa: Unexpected file format.\n");
  EXPECT_EQ(RunProgram(dir_.path(), "info").code, 2);
  EXPECT_NE(RunProgram(dir_.path(), "frobnicate").err.find("Usage: brevoxa-cli"), std::string::npos);

  CommandRun made = RunProgram(dir_.path(), "new-form '" + Path("PLANE.FRM") + "' --plane 2 2 2 2");
  EXPECT_EQ(made.code, 0);
  EXPECT_EQ(made.out, "Added Layer Plane Group\n" + Path("PLANE.FRM") + ": 1 layer, 9 points, 4 polygons\n");
  EXPECT_NE(RunProgram(dir_.path(), "info '" + Path("PLANE.FRM") + "'").out.find("local = (1, 1, 0)"), std::string::npos);
  EXPECT_EQ(RunProgram(dir_.path(), "new-form '" + Path("X.FRM") + "' --sphere 50 12 30001").code, 2);
}

}  // namespace
}  // namespace brevoxa
