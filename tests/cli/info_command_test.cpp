// `brevoxa-cli info`: the tree of files the tests write (golden texts in
// tests/data/cli, rewritten with BREVOXA_REGENERATE=1 and reviewed by eye),
// corrupt and missing files, the choice of reader by extension, and the
// usage errors; the last group runs the real program for its exit codes.
#include "cli/info_command.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "material/environment.h"
#include "material/material_doc.h"
#include "material/texture_check.h"
#include "persist/archive.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "render/render_doc.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using cli::FileKind;
using cli::KindOfPath;
using testing::TempDir;

struct InfoRun {
  int code;
  std::string out;
  std::string err;
};

InfoRun Info(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = cli::RunInfo(args, out, err);
  return {code, out.str(), err.str()};
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
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
  std::string SaveSample(const std::string& name = "scene.wsp") {
    ScopedObjectStore store(dir_.path().string());
    Workspace ws;
    testing::PopulateSample(ws);
    RecordingUi ui;
    EXPECT_TRUE(ws.Save(dir_.File(name), ui));
    return dir_.File(name);
  }

  TempDir dir_;
};

const std::string kUnableToLoadForm = "brevoxa: Unable to load the external form object\n";

TEST_F(InfoCommand, ShowsEveryFieldOfAWorkspace) {
  InfoRun run = Info({SaveSample(), "--store", dir_.path().string()});
  EXPECT_EQ(run.code, cli::kExitOk);
  EXPECT_EQ(run.err, "");
  // The camera view's camera is object #n where the view reads it; the items
  // list refers back to it.
  EXPECT_NE(run.out.find("camera #"), std::string::npos);
  EXPECT_NE(run.out.find("[1] -> #"), std::string::npos);
  ExpectGolden("info_workspace.txt", WithoutFolder(run.out, dir_));
}

TEST_F(InfoCommand, ACutShortWorkspaceShowsWhatWasReadThenTheMessage) {
  std::string path = SaveSample();
  std::string bytes = ReadText(path);
  std::ofstream(dir_.File("cut.wsp"), std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
  InfoRun run = Info({dir_.File("cut.wsp"), "--store=" + dir_.path().string()});
  EXPECT_EQ(run.code, cli::kExitFailed);
  EXPECT_EQ(run.err, "brevoxa: Unexpected file format.\n");
  // What was read is the start of the whole file's tree.
  InfoRun whole = Info({path, "--store", dir_.path().string()});
  const std::string firstLines = whole.out.substr(0, whole.out.find("items"));
  EXPECT_EQ(run.out.substr(0, firstLines.size()), firstLines);
  ExpectGolden("info_workspace_cut.txt", run.out);
}

TEST_F(InfoCommand, ShowsEveryFieldOfAFormFile) {
  SaveSample();
  InfoRun run = Info({dir_.File("PIER.FRM")});
  EXPECT_EQ(run.code, cli::kExitOk);
  EXPECT_EQ(run.err, "");
  ExpectGolden("info_form.txt", run.out);
}

TEST_F(InfoCommand, FormFilesAreLookedUpInTheStoreGiven) {
  const std::string path = SaveSample();
  TempDir empty;
  InfoRun found = Info({path, "--store", dir_.path().string()});
  EXPECT_EQ(found.code, cli::kExitOk);
  EXPECT_EQ(found.err, "");
  // Without its form file the workspace still reads to its end; the master
  // and its clone each say that the body is missing.
  InfoRun missing = Info({path, "--store", empty.path().string()});
  EXPECT_EQ(missing.code, cli::kExitOk);
  EXPECT_EQ(missing.err, kUnableToLoadForm + kUnableToLoadForm);
}

TEST_F(InfoCommand, ACorruptFormFileShowsWhatWasReadThenTheMessage) {
  SaveSample();
  std::string bytes = ReadText(dir_.File("PIER.FRM"));
  std::ofstream(dir_.File("CUT.FRM"), std::ios::binary) << bytes.substr(0, bytes.size() - 10);
  InfoRun run = Info({dir_.File("CUT.FRM")});
  EXPECT_EQ(run.code, cli::kExitFailed);
  EXPECT_EQ(run.err, "brevoxa: Unexpected file format.\n");
  EXPECT_EQ(run.out.rfind("body {\n  version = 1\n", 0), 0u) << run.out;
}

TEST_F(InfoCommand, AMissingFileIsReportedWithItsPath) {
  InfoRun run = Info({dir_.File("none.wsp")});
  EXPECT_EQ(run.code, cli::kExitFailed);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "brevoxa: " + dir_.File("none.wsp") +
                         "\nCannot find this file.\nPlease verify that the correct path and file name are given.\n");
}

TEST_F(InfoCommand, ChoosesTheReaderByExtensionInAnyCase) {
  EXPECT_EQ(KindOfPath("a/b/SCENE.WSP"), FileKind::workspace);
  EXPECT_EQ(KindOfPath("cube.Frm"), FileKind::form);
  EXPECT_EQ(KindOfPath("x.mat"), FileKind::material);
  EXPECT_EQ(KindOfPath("x.ENV"), FileKind::environment);
  EXPECT_EQ(KindOfPath("x.rdr"), FileKind::renderSettings);
  EXPECT_EQ(KindOfPath("x.wsp.bak"), FileKind::unknown);
  EXPECT_EQ(KindOfPath("wsp"), FileKind::unknown);

  const std::string store = "--store=" + dir_.path().string();
  InfoRun upper = Info({SaveSample("SCENE.WSP"), store});
  EXPECT_EQ(upper.code, cli::kExitOk);
  EXPECT_EQ(upper.out, Info({SaveSample(), store}).out);
}

// Writes a settings document through its own record, as its editor saves it.
void SaveDocument(CObject& document, const std::string& path) {
  CDiskFile file(path, CDiskFile::modeCreate);
  CArchive ar(&file, CArchive::store);
  document.Serialize(ar);
  ar.Close();
  file.Close();
}

TEST_F(InfoCommand, ShowsSettingsFiles) {
  CMaterialDoc material;
  auto check = std::make_unique<ICheckTexture>();
  ICheckTexture::Values values = check->GetValues();
  values.horizontalRepetitions = 8;
  values.firstColor = CVector(200, 30, 30);
  check->SetValues(values);
  material.AddTexture(std::move(check));
  SaveDocument(material, dir_.File("TILES.MAT"));

  CEnvironment environment;
  EnvironmentSettings sky = environment.Settings();
  sky.shadows = true;
  sky.stars = 2.5;
  ASSERT_TRUE(environment.SetSettings(sky));
  SaveDocument(environment, dir_.File("NIGHT.ENV"));

  CRenderDoc settings;
  RenderSettings output = settings.Settings();
  output.width = 640;
  output.height = 480;
  output.name = "Preview";
  output.supersampling = Supersampling::medium;
  ASSERT_TRUE(settings.SetSettings(output));
  SaveDocument(settings, dir_.File("FAST.RDR"));

  for (const char* name : {"TILES.MAT", "NIGHT.ENV", "FAST.RDR"}) {
    InfoRun run = Info({dir_.File(name)});
    EXPECT_EQ(run.code, cli::kExitOk) << name;
    EXPECT_EQ(run.err, "") << name;
    ExpectGolden(std::string("info_") + name + ".txt", run.out);
  }
  // A settings file cut short shows the message like any other file.
  std::string bytes = ReadText(dir_.File("FAST.RDR"));
  std::ofstream(dir_.File("CUT.RDR"), std::ios::binary) << bytes.substr(0, 9);
  InfoRun cut = Info({dir_.File("CUT.RDR")});
  EXPECT_EQ(cut.code, cli::kExitFailed);
  EXPECT_NE(cut.err.find("Unexpected file format."), std::string::npos);
}

TEST_F(InfoCommand, UnknownKindsAreRefused) {
  InfoRun other = Info({dir_.File("notes.txt")});
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
    InfoRun run = Info(c.args);
    EXPECT_EQ(run.code, cli::kExitUsage) << c.problem;
    EXPECT_EQ(run.err, "brevoxa-cli info: " + c.problem + "\n" + cli::kInfoUsage + "\n");
    EXPECT_EQ(run.out, "");
  }
  InfoRun help = Info({"--help"});
  EXPECT_EQ(help.code, cli::kExitOk);
  EXPECT_EQ(help.out.rfind(cli::kInfoUsage, 0), 0u);
}

// --- The real program ---

struct ProcessRun {
  int code;
  std::string out;
  std::string err;
};

ProcessRun RunProgram(const TempDir& dir, const std::string& args, const std::string& environment = "") {
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  const std::string command =
      environment + "'" + BREVOXA_CLI_PATH + "' " + args + " >'" + out + "' 2>'" + err + "'";
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
}

TEST_F(InfoCommand, TheProgramExitsWithTheCodeOfTheOutcome) {
  std::string path = SaveSample();
  // The store comes from the environment when no --store is given.
  ProcessRun good = RunProgram(dir_, "info '" + path + "'", "BREVOXA_STORE='" + dir_.path().string() + "' ");
  EXPECT_EQ(good.code, 0);
  EXPECT_EQ(good.err, "");
  EXPECT_EQ(good.out, Info({path, "--store", dir_.path().string()}).out);

  std::ofstream(dir_.File("junk.wsp"), std::ios::binary) << std::string("\x01\x00\x05hello", 8);
  ProcessRun corrupt = RunProgram(dir_, "info '" + dir_.File("junk.wsp") + "'");
  EXPECT_EQ(corrupt.code, 1);
  EXPECT_EQ(corrupt.err, "brevoxa: Unexpected file format.\n");
  EXPECT_EQ(corrupt.out, "version = 1\nname = \"hello\"\n");

  ProcessRun usage = RunProgram(dir_, "info");
  EXPECT_EQ(usage.code, 2);
  EXPECT_NE(usage.err.find(cli::kInfoUsage), std::string::npos);

  ProcessRun unknown = RunProgram(dir_, "frobnicate");
  EXPECT_EQ(unknown.code, 2);
  EXPECT_NE(unknown.err.find("Usage: brevoxa-cli"), std::string::npos);
}

}  // namespace
}  // namespace brevoxa
