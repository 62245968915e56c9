// Corrupt and old workspace and form files: the corpus (each name starts
// with the outcome it must give; BREVOXA_REGENERATE=1 rewrites it from the
// generators below), every truncation, and seeded random byte flips.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/point.h"
#include "scene/workspace.h"
#include "support/bytes.h"
#include "support/corpus_replay.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::Concat;
using testing::ReadFile;
using testing::FuzzFormBody;
using testing::FuzzWorkspace;

const std::filesystem::path kCorpus = std::filesystem::path(BREVOXA_TEST_DATA) / "corpus" / "workspace";
const std::filesystem::path kFormCorpus = std::filesystem::path(BREVOXA_TEST_DATA) / "corpus" / "form";

bool Regenerating() {
  const char* flag = std::getenv("BREVOXA_REGENERATE");
  return flag != nullptr && std::string(flag) == "1";
}

// Storing a workspace writes its form files to a folder of their own.
Bytes Stored(Workspace& ws) {
  testing::TempDir store;
  ScopedObjectStore scope(store.path().string());
  return testing::Store([&](CArchive& ar) { ws.Serialize(ar); });
}

Bytes SampleBytes() {
  Workspace ws;
  testing::PopulateSample(ws);
  return Stored(ws);
}

Bytes BodyBytes(IObject& form) {
  return testing::Store([&](CArchive& ar) { form.SerializeBody(ar); });
}

Bytes SampleBodyBytes() { return BodyBytes(*testing::MakeSampleForm("Pier", "PIER.FRM", {})); }

// Version, empty name and description, and the view count.
ByteWriter Header(uint16_t viewCount) { return std::move(ByteWriter().Word(1).Byte(0).Byte(0).Word(viewCount)); }

const Bytes kDefaultLinks = ByteWriter().Byte(10).Chars("RENDER.RDR").Byte(12).Chars("ENVIRONM.ENV").bytes();

// A view record of the given version around a version-3 transformation
// with no camera.
Bytes ViewRecord(uint16_t version) {
  ByteWriter w;
  w.Word(version).Word(3).Byte(IViewTran::right).Word(0).Double(1).Double(2).Double(50).Double(500);
  w.Byte(1).Word(0).Word(0).Word(300).Word(200).Byte(0).Double(10);
  if (version >= 2) w.Byte(4).Chars("Side");
  for (int i = 0; i < 11; ++i) {
    if (version == 1) w.Word(static_cast<uint16_t>(i == 0 ? 22 : 100 * i));
    else w.Dword(static_cast<uint32_t>(i == 0 ? 44 : 100 * i));
  }
  return w.bytes();
}

// The files of the committed corpus, by name.
std::map<std::string, Bytes> GenerateCorpus() {
  std::map<std::string, Bytes> files;
  const Bytes sample = SampleBytes();

  files["ok-current-sample.wsp"] = sample;
  files["ok-unknown-version.wsp"] = ByteWriter().Word(7).Chars("anything at all").bytes();
  files["ok-old-view-records.wsp"] =
      Concat(Concat(Concat(Header(2).bytes(), ViewRecord(1)), ViewRecord(2)), Concat(ByteWriter().Word(0).bytes(), kDefaultLinks));
  files["ok-view-record-version-9.wsp"] = Concat(Header(1).Word(9).Word(0).bytes(), kDefaultLinks);
  {
    // A view on a camera that no item claims.
    Workspace ws;
    ICamera stray;
    CViewRecord& view = ws.AddView();
    view.GetViewTran().SetViewType(IViewTran::camera);
    view.GetViewTran().SetCamera(&stray);
    files["ok-unclaimed-camera.wsp"] = Stored(ws);
    view.GetViewTran().SetCamera(nullptr);
  }

  files["eof-empty.wsp"] = {};
  files["eof-cut-at-half.wsp"] = Bytes(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 2));
  files["eof-view-count-beyond-data.wsp"] = Header(5000).Word(3).bytes();
  files["eof-item-count-beyond-data.wsp"] = Header(0).Word(40000).Word(0).bytes();

  files["badclass-unknown-item.wsp"] = Header(0).Word(1).Word(0xFFFF).Class("IGizmo").Word(1).bytes();
  {
    // An element that is no scene item in the items list.
    Workspace ws;
    ws.GetItems().AddTail(new IPoint({1, 2, 3}));
    files["badclass-point-as-item.wsp"] = Stored(ws);
  }
  files["badclass-light-as-view-camera.wsp"] =
      Header(1).Word(3).Word(3).Byte(IViewTran::camera).Word(0xFFFF).Class("ILight").Word(1).bytes();
  files["badschema-camera.wsp"] = Header(1).Word(3).Word(3).Byte(IViewTran::camera).Word(0xFFFF).Class("ICamera", 1).bytes();
  files["badindex-reference-ahead.wsp"] = Header(1).Word(3).Word(3).Byte(IViewTran::camera).Word(0x40).bytes();
  {
    // The same camera listed twice: two owners.
    Workspace ws;
    ICamera* camera = testing::AddSampleCamera(ws, "Twice", {1, 1, 1});
    ws.GetItems().AddTail(camera);
    files["badindex-camera-owned-twice.wsp"] = Stored(ws);
    ws.GetItems().RemoveAt(std::prev(ws.GetItems().end()));
  }
  return files;
}

// The IRoot record that every body holds after its version word.
ByteWriter BodyHeader() { return std::move(ByteWriter().Word(1).Word(1).Word(1).Byte(0).Byte(0)); }

std::map<std::string, Bytes> GenerateFormCorpus() {
  std::map<std::string, Bytes> files;
  const Bytes pier = SampleBodyBytes();
  files["ok-current-pier.frm"] = pier;
  files["ok-unknown-body-version.frm"] = ByteWriter().Word(2).Chars("rest is never read").bytes();
  {
    // A point that a polygon uses but the points list lacks: the form adopts it.
    std::unique_ptr<IObject> form = testing::MakeSampleForm("Pier", "PIER.FRM", {});
    IDrawable* point = *std::next(form->GetPoints().begin(), 3);
    form->GetPoints().Remove(point);
    files["ok-point-only-in-a-polygon.frm"] = BodyBytes(*form);
    form->GetPoints().AddTail(point);
  }

  files["eof-empty.frm"] = {};
  files["eof-cut-in-layers.frm"] = Bytes(pier.begin(), pier.begin() + static_cast<std::ptrdiff_t>(pier.size() / 2));
  files["eof-layer-count-beyond-data.frm"] = BodyHeader().Word(5000).bytes();

  files["badclass-point-as-layer.frm"] = BodyHeader().Word(1).Word(0xFFFF).Class("IPoint").Word(1).bytes();
  files["badclass-unknown-class.frm"] = BodyHeader().Word(1).Word(0xFFFF).Class("ISpline").bytes();
  files["badschema-layer.frm"] = BodyHeader().Word(1).Word(0xFFFF).Class("ILayer", 3).bytes();
  {
    // A polygon point owned by the extra list instead of the points list.
    std::unique_ptr<IObject> form = testing::MakeSampleForm("Pier", "PIER.FRM", {});
    IDrawable* point = *std::next(form->GetPoints().begin(), 3);
    form->GetPoints().Remove(point);
    form->GetExtra().AddTail(point);
    files["badindex-polygon-uses-a-point-of-extra.frm"] = BodyBytes(*form);
  }
  {
    std::unique_ptr<IObject> form = testing::MakeSampleForm("Pier", "PIER.FRM", {});
    form->GetPoints().AddTail(form->GetPoints().GetHead());
    files["badindex-point-owned-twice.frm"] = BodyBytes(*form);
    form->GetPoints().RemoveAt(std::prev(form->GetPoints().end()));
  }
  return files;
}

void WriteCorpus(const std::filesystem::path& dir, const std::map<std::string, Bytes>& files) {
  std::filesystem::create_directories(dir);
  for (const auto& [name, bytes] : files) testing::WriteFile(dir / name, bytes);
}

// Each committed "ok-current-" fixture reads and saves back to its own bytes.
void ExpectCurrentFixturesResave(const std::filesystem::path& dir, const std::function<Bytes(const Bytes&)>& resave) {
  int fixtures = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind("ok-current-", 0) != 0) continue;
    const Bytes bytes = ReadFile(entry.path());
    EXPECT_EQ(resave(bytes), bytes) << entry.path().filename();
    ++fixtures;
  }
  EXPECT_GE(fixtures, 1);
}

TEST(SceneCorpus, EachFileGivesTheOutcomeItsNameStates) {
  if (Regenerating()) {
    WriteCorpus(kCorpus, GenerateCorpus());
    WriteCorpus(kFormCorpus, GenerateFormCorpus());
  }
  testing::ExpectOutcomesByName(kCorpus, FuzzWorkspace, 15);
  testing::ExpectOutcomesByName(kFormCorpus, FuzzFormBody, 10);
  // The form the corpus read adopted the point only a polygon names.
  IObject form;
  testing::Load(ReadFile(kFormCorpus / "ok-point-only-in-a-polygon.frm"), [&](CArchive& ar) { form.SerializeBody(ar); });
  EXPECT_EQ(form.GetPoints().GetCount(), 5u);
}

TEST(SceneCorpus, CurrentFixturesResaveByteForByte) {
  ExpectCurrentFixturesResave(kCorpus, [](const Bytes& bytes) {
    // Its form file is not there: the forms keep their headers, quietly.
    testing::TempDir store;
    ScopedObjectStore scope(store.path().string());
    RecordingUi ui;
    ScopedUserInterface quiet(ui);
    Workspace ws;
    testing::Load(bytes, [&](CArchive& ar) { ws.Serialize(ar); });
    return Stored(ws);
  });
  ExpectCurrentFixturesResave(kFormCorpus, [](const Bytes& bytes) {
    IObject form;
    testing::Load(bytes, [&](CArchive& ar) { form.SerializeBody(ar); });
    return BodyBytes(form);
  });
}

TEST(SceneCorpus, EveryTruncationOfAValidFileFailsWithEndOfFile) {
  testing::ExpectEveryCutFails(SampleBytes(), FuzzWorkspace);
  testing::ExpectEveryCutFails(SampleBodyBytes(), FuzzFormBody);
}

TEST(SceneCorpus, RandomFlipsNeverLeaveAnInconsistentWorkspaceOrForm) {
  std::mt19937 random(20261207);
  testing::ExpectFlipsStaySound(SampleBytes(), FuzzWorkspace, random, 3000, 4);
  random.seed(20261208);
  testing::ExpectFlipsStaySound(SampleBodyBytes(), FuzzFormBody, random, 3000, 4);
}

}  // namespace
}  // namespace brevoxa
