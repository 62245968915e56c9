// `brevoxa-cli new-form`: the form files it writes (read back by the form's
// own reader and by `info`), the dialogs' range messages, usage errors and a
// failed write; the last group runs the real program for its exit codes.
#include "cli/new_form_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/info_command.h"
#include "persist/archive.h"
#include "persist/file.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/point.h"
#include "support/temp_dir.h"

namespace brevoxa {
namespace {

using testing::TempDir;

struct CommandRun {
  int code;
  std::string out;
  std::string err;
};

CommandRun NewForm(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = cli::RunNewForm(args, out, err);
  return {code, out.str(), err.str()};
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
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

class NewFormCommand : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.File(name); }
  TempDir dir_;
};

TEST_F(NewFormCommand, WritesTheSphereThatTheGeneratorMakes) {
  CommandRun run = NewForm({Path("BALL.FRM"), "--sphere", "1", "4", "3"});
  ASSERT_EQ(run.code, cli::kExitOk) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "Added Layer Sphere Group\n" + Path("BALL.FRM") + ": 1 layer, 10 points, 12 polygons\n");

  auto loaded = LoadForm(Path("BALL.FRM"));
  IObject made;
  ASSERT_NE(made.AddSphere(1, 4, 3), nullptr);
  EXPECT_EQ(LayerNames(*loaded), std::vector<std::string>{"Sphere Group"});
  ASSERT_EQ(loaded->GetPoints().GetCount(), made.GetPoints().GetCount());
  auto a = loaded->GetPoints().begin();
  for (const IDrawable* p : made.GetPoints())
    EXPECT_EQ(static_cast<const IPoint*>(*a++)->local, static_cast<const IPoint*>(p)->local);
  EXPECT_EQ(loaded->GetPolygonCount(), 12u);

  std::ostringstream tree, err;
  EXPECT_EQ(cli::RunInfo({Path("BALL.FRM")}, tree, err), cli::kExitOk);
  EXPECT_EQ(err.str(), "");
  EXPECT_NE(tree.str().find("name = \"Sphere Group\""), std::string::npos);
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

// --- The real program ---

CommandRun RunProgram(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  std::string command = "'";
  command += BREVOXA_CLI_PATH;
  command += "' ";
  command += args;
  command += " >'";
  command += out;
  command += "' 2>'";
  command += err;
  command += "'";
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
}

TEST_F(NewFormCommand, TheProgramWritesAFileThatItsInfoReads) {
  const std::string path = Path("PLANE.FRM");
  CommandRun made = RunProgram(dir_, "new-form '" + path + "' --plane 2 2 2 2");
  EXPECT_EQ(made.code, 0);
  EXPECT_EQ(made.err, "");
  EXPECT_EQ(made.out, "Added Layer Plane Group\n" + path + ": 1 layer, 9 points, 4 polygons\n");
  CommandRun shown = RunProgram(dir_, "info '" + path + "'");
  EXPECT_EQ(shown.code, 0);
  EXPECT_EQ(shown.err, "");
  EXPECT_NE(shown.out.find("local = (1, 1, 0)"), std::string::npos);

  CommandRun refused = RunProgram(dir_, "new-form '" + Path("X.FRM") + "' --sphere 50 12 30001");
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(refused.err,
            "brevoxa-cli new-form: Sphere Definition, Vertical Divisions: Please enter an integer between 3 and "
            "30000.\n");
  CommandRun usage = RunProgram(dir_, "new-form");
  EXPECT_EQ(usage.code, 2);
  CommandRun listed = RunProgram(dir_, "--help");
  EXPECT_NE(listed.out.find("new-form OUT.FRM"), std::string::npos);
}

}  // namespace
}  // namespace brevoxa
