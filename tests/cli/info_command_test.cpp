// `brevoxa-cli info` and `new-form`. Info: the tree of files the tests write
// (golden texts in tests/data/cli, rewritten with BREVOXA_REGENERATE=1 and
// reviewed by eye), corrupt and missing files, the choice of reader by
// extension, the usage errors, the tree printer's rules. New-form: the form
// files it writes, the dialogs' range messages, usage errors and a failed
// write. Both also run as the real program for their exit codes.
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
#include "persist/archive.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "support/bytes.h"
#include "support/render_scene.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "support/test_classes.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using cli::FileKind;
using cli::KindOfPath;
using testing::Capture;
using testing::CommandRun;
using testing::ReadText;
using testing::RunProgram;
using testing::SaveSettingsFile;
using testing::TempDir;

CommandRun Info(const std::vector<std::string>& args) {
  return Capture([&](std::ostream& out, std::ostream& err) { return cli::RunInfo(args, out, err); });
}

bool Regenerating() {
  const char* flag = std::getenv("BREVOXA_REGENERATE");
  return flag != nullptr && std::string(flag) == "1";
}

// Paths of the test's own folder vary from run to run.
std::string WithoutFolder(std::string text, const TempDir& dir) {
  const std::string folder = dir.path().string();
  for (auto at = text.find(folder); at != std::string::npos; at = text.find(folder, at))
    text.replace(at, folder.size(), "$DIR");
  return text;
}

void ExpectGolden(const std::string& name, const std::string& text) {
  const std::filesystem::path path = std::filesystem::path(BREVOXA_TEST_DATA) / "cli" / name;
  if (Regenerating()) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(path)) << path << ": run with BREVOXA_REGENERATE=1";
  EXPECT_EQ(text, ReadText(path)) << name << " differs; if the change is meant, regenerate with "
                                  << "BREVOXA_REGENERATE=1 and review the diff";
}

class InfoCommand : public ::testing::Test {
 protected:
  // The sample workspace, saved by the real writer, with its form file.
  std::string SaveSample() {
    ScopedObjectStore store(dir_.path().string());
    Workspace ws;
    testing::PopulateSample(ws);
    RecordingUi ui;
    EXPECT_TRUE(ws.Save(dir_.File("scene.wsp"), ui));
    return dir_.File("scene.wsp");
  }

  // TILES.MAT, NIGHT.ENV and FAST.RDR, each with values off its defaults,
  // written through its document's own record as its editor saves it.
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

  // The first bytes of a file in a file of their own.
  std::string CutShort(const std::string& name, size_t keep, const std::string& cutName) {
    std::ofstream(Path(cutName), std::ios::binary) << ReadText(Path(name)).substr(0, keep);
    return Path(cutName);
  }

  std::string Path(const std::string& name) const { return dir_.File(name); }
  TempDir dir_;
};

const std::string kUnableToLoadForm = "brevoxa: Unable to load the external form object\n";

// Every field of every kind of file, in golden texts; the camera view's
// camera is object #n where the view reads it, and the items list refers
// back to it.
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
    CommandRun run = Info(args);
    EXPECT_EQ(run.code, cli::kExitOk) << golden;
    EXPECT_EQ(run.err, "") << golden;
    ExpectGolden(golden, WithoutFolder(run.out, dir_));
  }
  const std::string workspace = ReadText(std::filesystem::path(BREVOXA_TEST_DATA) / "cli" / "info_workspace.txt");
  EXPECT_NE(workspace.find("camera #"), std::string::npos);
  EXPECT_NE(workspace.find("[1] -> #"), std::string::npos);
}

// Whatever its kind, a file cut short shows what was read, then the message.
TEST_F(InfoCommand, ACutShortFileShowsWhatWasReadThenTheMessage) {
  const size_t workspaceSize = ReadText(SaveSample()).size();
  SaveSettingsFiles();
  CommandRun workspace =
      Info({CutShort("scene.wsp", workspaceSize * 2 / 3, "cut.wsp"), "--store=" + dir_.path().string()});
  ExpectGolden("info_workspace_cut.txt", workspace.out);
  CommandRun form = Info({CutShort("PIER.FRM", ReadText(Path("PIER.FRM")).size() - 10, "CUT.FRM")});
  EXPECT_EQ(form.out.rfind("body {\n  version = 1\n", 0), 0u) << form.out;
  CommandRun settings = Info({CutShort("FAST.RDR", 9, "CUT.RDR")});
  for (const CommandRun& run : {workspace, form, settings}) {
    EXPECT_EQ(run.code, cli::kExitFailed);
    EXPECT_EQ(run.err, "brevoxa: Unexpected file format.\n");
  }
}

TEST_F(InfoCommand, FormFilesAreLookedUpInTheStoreGiven) {
  const std::string path = SaveSample();
  TempDir empty;
  // Without its form file the workspace still reads to its end; the master
  // and its clone each say that the body is missing.
  CommandRun missing = Info({path, "--store", empty.path().string()});
  EXPECT_EQ(missing.code, cli::kExitOk);
  EXPECT_EQ(missing.err, kUnableToLoadForm + kUnableToLoadForm);
}

TEST_F(InfoCommand, AMissingFileIsReportedWithItsPath) {
  CommandRun run = Info({dir_.File("none.wsp")});
  EXPECT_EQ(run.code, cli::kExitFailed);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "brevoxa: " + dir_.File("none.wsp") +
                         "\nCannot find this file.\nPlease verify that the correct path and file name are given.\n");
}

TEST(InfoKinds, ChoosesTheReaderByExtensionInAnyCaseAndRefusesOthers) {
  EXPECT_EQ(KindOfPath("a/b/SCENE.WSP"), FileKind::workspace);
  EXPECT_EQ(KindOfPath("cube.Frm"), FileKind::form);
  EXPECT_EQ(KindOfPath("x.mat"), FileKind::material);
  EXPECT_EQ(KindOfPath("x.ENV"), FileKind::environment);
  EXPECT_EQ(KindOfPath("x.rdr"), FileKind::renderSettings);
  EXPECT_EQ(KindOfPath("x.wsp.bak"), FileKind::unknown);
  EXPECT_EQ(KindOfPath("wsp"), FileKind::unknown);
  CommandRun other = Info({"notes.txt"});
  EXPECT_EQ(other.code, cli::kExitUsage);
  EXPECT_EQ(other.err, "brevoxa-cli info: unsupported file type '.txt'\n");
}

TEST_F(InfoCommand, UsageErrorsNameTheProblemAndShowTheUsageLine) {
  struct Case {
    std::vector<std::string> args;
    std::string problem;
  };
  const Case cases[] = {
      {{}, "no file given"},
      {{"a.wsp", "b.wsp"}, "more than one file given"},
      {{"a.wsp", "--store"}, "--store needs a folder"},
      {{"a.wsp", "--store="}, "--store needs a folder"},
      {{"--verbose", "a.wsp"}, "unknown option '--verbose'"},
  };
  for (const Case& c : cases) {
    CommandRun run = Info(c.args);
    EXPECT_EQ(run.code, cli::kExitUsage) << c.problem;
    EXPECT_EQ(run.err, "brevoxa-cli info: " + c.problem + "\n" + cli::kInfoUsage + "\n");
    EXPECT_EQ(run.out, "");
  }
  CommandRun help = Info({"--help"});
  EXPECT_EQ(help.code, cli::kExitOk);
  EXPECT_EQ(help.out.rfind(cli::kInfoUsage, 0), 0u);
}

// --- The real program ---

TEST_F(InfoCommand, TheProgramExitsWithTheCodeOfTheOutcome) {
  std::string path = SaveSample();
  // The store comes from the environment when no --store is given.
  CommandRun good = RunProgram(dir_.path(), "info '" + path + "'", "BREVOXA_STORE='" + dir_.path().string() + "' ");
  EXPECT_EQ(good.code, 0);
  EXPECT_EQ(good.err, "");
  EXPECT_EQ(good.out, Info({path, "--store", dir_.path().string()}).out);

  std::ofstream(dir_.File("junk.wsp"), std::ios::binary) << std::string("\x01\x00\x05hello", 8);
  CommandRun corrupt = RunProgram(dir_.path(), "info '" + dir_.File("junk.wsp") + "'");
  EXPECT_EQ(corrupt.code, 1);
  EXPECT_EQ(corrupt.err, "brevoxa: Unexpected file format.\n");
  EXPECT_EQ(corrupt.out, "version = 1\nname = \"hello\"\n");

  CommandRun usage = RunProgram(dir_.path(), "info");
  EXPECT_EQ(usage.code, 2);
  EXPECT_NE(usage.err.find(cli::kInfoUsage), std::string::npos);

  CommandRun unknown = RunProgram(dir_.path(), "frobnicate");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("Usage: brevoxa-cli"), std::string::npos);
}

// --- The tree printer ---

using cli::TracePrinter;

// The goldens of the info tests show whole files; these are the rules.
TEST(TracePrinter, IndentsAndMergesAListIntoItsRecordButNotIntoAGroupOfSeveral) {
  std::ostringstream out;
  TracePrinter p(out);
  p.Value("version", "1");
  p.BeginGroup("items", 0);
  p.BeginGroup("list", 2);
  p.BeginObject("[0]", 3, "ICamera");
  p.Value("name", "\"Quay\"");
  p.BeginGroup("IDrawable", 0);
  p.EndGroup();
  p.EndObject();
  p.Reference("[1]", 3, "ICamera");
  p.EndGroup();
  p.EndGroup();
  p.Reference("camera", 0, "");
  p.BeginGroup("body", 0);  // more than the list inside: no merging
  p.Value("version", "1");
  p.BeginGroup("list", 0);
  p.EndGroup();
  p.EndGroup();
  p.BeginGroup("list", 1);  // no record around it: shown as it is
  p.Reference("[0]", 3, "ICamera");
  p.EndGroup();
  p.Finish();
  EXPECT_EQ(out.str(),
            "version = 1\n"
            "items [2] {\n"
            "  [0] #3 ICamera {\n"
            "    name = \"Quay\"\n"
            "    IDrawable {}\n"
            "  }\n"
            "  [1] -> #3 ICamera\n"
            "}\n"
            "camera -> null\n"
            "body {\n"
            "  version = 1\n"
            "  list {}\n"
            "}\n"
            "list [1] {\n"
            "  [0] -> #3 ICamera\n"
            "}\n");
}

TEST(TracePrinter, AFailedReadClosesTheObjectsItLeftOpen) {
  // A real stream cut inside a child's fields: the archive ends the groups
  // as it unwinds but never the objects.
  testing::TestNode root;
  root.name = "root";
  auto* leaf = new testing::TestLeaf;
  leaf->value = 5;
  root.children.push_back(leaf);
  testing::Bytes bytes = testing::Store([&](CArchive& ar) { ar.WriteObject(&root); });
  bytes.resize(bytes.size() - 4);  // into the leaf's value

  std::ostringstream out;
  TracePrinter p(out);
  EXPECT_EQ(testing::LoadCause(bytes,
                               [&](CArchive& ar) {
                                 ar.SetTrace(&p);
                                 ar.Label("root");
                                 delete ar.ReadOwnedObject();
                               }),
            CArchiveException::endOfFile);
  p.Finish();
  EXPECT_EQ(out.str(),
            "root #2 TestNode {\n"
            "  name = \"root\"\n"
            "  children [1] {\n"
            "    #4 TestLeaf {\n"
            "    } (incomplete)\n"
            "  }\n"
            "} (incomplete)\n");
}

// --- `brevoxa-cli new-form` ---

CommandRun NewForm(const std::vector<std::string>& args) {
  return Capture([&](std::ostream& out, std::ostream& err) { return cli::RunNewForm(args, out, err); });
}

// The body as a workspace reads it from a form file.
std::unique_ptr<IObject> LoadForm(const std::string& path) {
  auto form = std::make_unique<IObject>();
  CDiskFile file(path, CDiskFile::modeRead);
  CArchive ar(&file, CArchive::load, 4096);
  form->SerializeBody(ar);
  return form;
}

std::vector<std::string> LayerNames(const IObject& form) {
  std::vector<std::string> names;
  for (const IDrawable* layer : form.GetLayers()) names.push_back(layer->GetName());
  return names;
}

using NewFormCommand = InfoCommand;

TEST_F(NewFormCommand, WritesTheSphereThatTheGeneratorMakes) {
  CommandRun run = NewForm({Path("BALL.FRM"), "--sphere", "1", "4", "3"});
  ASSERT_EQ(run.code, cli::kExitOk) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "Added Layer Sphere Group\n" + Path("BALL.FRM") + ": 1 layer, 10 points, 12 polygons\n");

  // The generator tests pin the shape; here the values must reach it: the
  // north pole sits at the radius.
  auto loaded = LoadForm(Path("BALL.FRM"));
  EXPECT_EQ(LayerNames(*loaded), std::vector<std::string>{"Sphere Group"});
  ASSERT_EQ(loaded->GetPoints().GetCount(), 10u);
  EXPECT_EQ(static_cast<const IPoint*>(loaded->GetPoints().GetHead())->local, CVector(0, 0, 1));
  EXPECT_EQ(loaded->GetPolygonCount(), 12u);
}

TEST_F(NewFormCommand, ShapesStackAsLayersWithTheirCheckBoxes) {
  CommandRun run = NewForm({"--cone", "1", "2", "5", "--open-bottom", Path("MIX.FRM"), "--cylinder", "1", "1", "1", "4",
                     "--open-top", "--disk", "3", "6", "--center-point", "--plane", "0.001", "2", "1", "1000"});
  ASSERT_EQ(run.code, cli::kExitOk) << run.err;
  auto form = LoadForm(Path("MIX.FRM"));
  // The centred disk is a flat cone and is named like one.
  EXPECT_EQ(LayerNames(*form),
            (std::vector<std::string>{"Cone Group", "Cylinder Group", "Cone Group", "Plane Group"}));
  // Cone 6 + cylinder 12 + disk 7 + plane 2 x 1001.
  EXPECT_EQ(form->GetPoints().GetCount(), 6u + 12u + 7u + 2002u);
  // Cone 5 + cylinder 4 and its bottom + disk 6 + plane 1000.
  EXPECT_EQ(form->GetPolygonCount(), 5u + 5u + 6u + 1000u);
  EXPECT_NE(run.out.find("Added Layer Cylinder Group\nAdded Layer Cone Group\nAdded Layer Plane Group\n"),
            std::string::npos);
  EXPECT_NE(run.out.find(": 4 layers, 2027 points, 1016 polygons\n"), std::string::npos);
}

TEST_F(NewFormCommand, RefusedValuesGiveTheDialogsMessagesAndWriteNothing) {
  struct Case {
    std::vector<std::string> shape;
    std::string message;
  };
  const Case cases[] = {
      {{"--sphere", "0.05", "12", "12"}, "Sphere Definition, Radius: Please enter a number between 0.1 and 30000."},
      {{"--sphere", "50", "12.5", "12"},
       "Sphere Definition, Horizontal Divisions: Please enter an integer between 3 and 30000."},
      {{"--disk", "nan", "12"}, "Disk Definition, Radius: Please enter a number between 0.1 and 30000."},
      {{"--disk", "1e999", "12"}, "Disk Definition, Radius: Please enter a number between 0.1 and 30000."},
      {{"--cone", "50", "-1", "12"}, "Cone Definition, Height: Please enter a number between 0.1 and 30000."},
      {{"--cylinder", "50", "30001", "1", "3"},
       "Cylinder Definition, Bottom Radius: Please enter a number between 0.1 and 30000."},
      {{"--plane", "0.0009", "1", "1", "1"}, "Plane Definition, Width: Please enter a number between 0.001 and 30000."},
      {{"--plane", "1", "1", "1", "1001"},
       "Plane Definition, Vertical Divisions: Please enter an integer between 1 and 1000."},
      {{"--plane", "wide", "1", "1", "1"}, "Plane Definition, Width: Please enter a number."},
      // Each shape is within the limit, but not the form of both.
      {{"--sphere", "1", "2000", "1500", "--sphere", "1", "2000", "1500"},
       "The new layer would have too many points and polygons; at most 8000000 can be made at once."},
  };
  std::ofstream(Path("OLD.FRM")) << "previous";
  for (const Case& c : cases) {
    std::vector<std::string> args{Path("OLD.FRM")};
    args.insert(args.end(), c.shape.begin(), c.shape.end());
    CommandRun run = NewForm(args);
    EXPECT_EQ(run.code, cli::kExitUsage) << c.message;
    EXPECT_EQ(run.err, "brevoxa-cli new-form: " + c.message + "\n");
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(ReadText(Path("OLD.FRM")), "previous");
}

TEST_F(NewFormCommand, UsageErrorsNameTheProblemAndShowTheUsageLine) {
  struct Case {
    std::vector<std::string> args;
    std::string problem;
  };
  const std::string out = dir_.File("A.FRM");
  const Case cases[] = {
      {{}, "no output file given"},
      {{out}, "no shape given"},
      {{dir_.File("a.wsp"), "--sphere", "1", "4", "3"}, "the output must be a form file (.frm)"},
      {{out, "b.frm", "--disk", "1", "3"}, "more than one output file given"},
      {{out, "--cube", "1"}, "unknown option '--cube'"},
      {{out, "--sphere", "1", "4"}, "--sphere needs 3 values"},
      {{out, "--open-top", "--cylinder", "1", "1", "1", "3"}, "'--open-top' does not belong to the shape before it"},
      {{out, "--sphere", "1", "4", "3", "--open-bottom"}, "'--open-bottom' does not belong to the shape before it"},
  };
  for (const Case& c : cases) {
    CommandRun run = NewForm(c.args);
    EXPECT_EQ(run.code, cli::kExitUsage) << c.problem;
    EXPECT_EQ(run.err, "brevoxa-cli new-form: " + c.problem + "\n" + cli::kNewFormUsage + "\n");
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(out));

  CommandRun help = NewForm({"--help"});
  EXPECT_EQ(help.code, cli::kExitOk);
  EXPECT_EQ(help.out.rfind(cli::kNewFormUsage, 0), 0u);
}

TEST_F(NewFormCommand, AFailedWriteIsReportedAndLeavesNoFile) {
  const std::string path = dir_.File("missing/BALL.FRM");
  CommandRun run = NewForm({path, "--sphere", "1", "4", "3"});
  EXPECT_EQ(run.code, cli::kExitFailed);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind("brevoxa: ", 0), 0u) << run.err;
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(NewFormCommand, TheProgramWritesAFileThatItsInfoReads) {
  const std::string path = Path("PLANE.FRM");
  CommandRun made = RunProgram(dir_.path(), "new-form '" + path + "' --plane 2 2 2 2");
  EXPECT_EQ(made.code, 0);
  EXPECT_EQ(made.err, "");
  EXPECT_EQ(made.out, "Added Layer Plane Group\n" + path + ": 1 layer, 9 points, 4 polygons\n");
  CommandRun shown = RunProgram(dir_.path(), "info '" + path + "'");
  EXPECT_EQ(shown.code, 0);
  EXPECT_NE(shown.out.find("local = (1, 1, 0)"), std::string::npos);
  EXPECT_EQ(RunProgram(dir_.path(), "new-form '" + Path("X.FRM") + "' --sphere 50 12 30001").code, 2);
  CommandRun listed = RunProgram(dir_.path(), "--help");
  EXPECT_NE(listed.out.find("new-form OUT.FRM"), std::string::npos);
}

}  // namespace
}  // namespace brevoxa
