// The workspace file at the document boundary: round trips, missing form
// files, unclaimed cameras and masters, corrupt files and failed saves; and
// the view record's older versions and the placement's units.
#include "scene/workspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <limits>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/object_store.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/point.h"
#include "scene/view_record.h"
#include "support/bytes.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddSampleLight;
using testing::ByteWriter;
using testing::Bytes;
using testing::MakeSampleClone;
using testing::MakeSampleForm;
using testing::PopulateSample;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// An item whose record fails half-way through being written, after more
// than a buffer's worth of bytes, as a full disk would.
class TestDiskFullItem : public IRoot {
  DECLARE_SERIAL(TestDiskFullItem)
 public:
  void Serialize(CArchive& ar) override {
    if (ar.IsLoading()) return;
    std::vector<uint8_t> filler(3 * Workspace::kFileBufferSize, 0xAA);
    ar.Write(filler.data(), filler.size());
    throw CFileException(CFileException::diskFull, "", "no space left");
  }
};
IMPLEMENT_SERIAL(TestDiskFullItem, IRoot, 0)

void ExpectDefaults(const Workspace& ws) {
  EXPECT_EQ(ws.GetName() + ws.GetDescription(), "");
  EXPECT_EQ(ws.GetViewCount() + ws.GetItems().GetCount(), 0u);
  EXPECT_EQ(ws.GetRenderLink().GetFileName(), "RENDER.RDR");
  EXPECT_EQ(ws.GetEnvironmentLink().GetFileName(), "ENVIRONM.ENV");
}

const IObject* FormNamed(const Workspace& ws, const std::string& name) {
  for (const IDrawable* item : ws.GetItems())
    if (item->IsKindOf(RUNTIME_CLASS(IObject)) && item->GetName() == name) return static_cast<const IObject*>(item);
  return nullptr;
}

class WorkspaceFile : public ::testing::Test {
 protected:
  std::string Path(const std::string& name = "scene.wsp") const { return dir_.File(name); }
  void SaveSample() {
    Workspace ws;
    PopulateSample(ws);
    ASSERT_TRUE(ws.Save(Path(), ui_));
  }
  // Loading into a full workspace must fail and leave only the defaults.
  void ExpectCorrupt(const std::string& name, const std::string& message = "Unexpected file format.") {
    ui_.Clear();
    Workspace ws;
    PopulateSample(ws);
    EXPECT_FALSE(ws.Load(Path(name), ui_));
    EXPECT_EQ(ui_.Messages(), std::vector<std::string>{message});
    ExpectDefaults(ws);
  }
  TempDir dir_;
  ScopedObjectStore store_{dir_.path().string()};
  RecordingUi ui_;
};

// The layout is pinned by the corpus; what was read must save to the same
// bytes, which catches a lost value, and the links between objects return.
TEST_F(WorkspaceFile, RoundTripKeepsViewsCamerasLightsFormsAndLinks) {
  SaveSample();
  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  EXPECT_TRUE(ui_.Messages().empty());
  ASSERT_EQ(loaded.GetViewCount(), 2u);
  EXPECT_TRUE(loaded.GetView(0).GetViewTran().HasOwnCamera());
  // The camera view's camera is read inside its view record and then claimed
  // by the item list: one object, owned by the list.
  ASSERT_EQ(loaded.GetItems().GetCount(), 5u);
  EXPECT_EQ(loaded.GetView(1).GetViewTran().GetCamera(), *std::next(loaded.GetItems().begin()));
  // Only the master has a form file; its clone reads it in its own place.
  EXPECT_FALSE(std::filesystem::exists(Path("FORM.FRM")));
  const IObject* master = FormNamed(loaded, "Pier");
  const IObject* clone = FormNamed(loaded, "Pier copy");
  ASSERT_TRUE(master && clone);
  EXPECT_EQ(clone->GetCloneMaster(), master);
  EXPECT_EQ(master->GetCloneCount(), 1);
  EXPECT_EQ(static_cast<const IPoint*>(clone->GetPoints().GetHead())->world, CVector(100, 40, 0));

  const Bytes formFile = ReadFile(Path("PIER.FRM"));
  ASSERT_TRUE(loaded.Save(Path("again.wsp"), ui_));
  EXPECT_EQ(ReadFile(Path()), ReadFile(Path("again.wsp")));
  EXPECT_EQ(ReadFile(Path("PIER.FRM")), formFile);
}

TEST_F(WorkspaceFile, AMissingFormFileKeepsTheOtherItemsAndTheHeaders) {
  SaveSample();
  std::filesystem::remove(Path("PIER.FRM"));
  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  // The master and its clone each tried the file.
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>(2, "Unable to load the external form object"));
  ASSERT_EQ(loaded.GetItems().GetCount(), 5u);
  const IObject* master = FormNamed(loaded, "Pier");
  ASSERT_NE(master, nullptr);
  EXPECT_TRUE(master->GetLayers().IsEmpty());
  EXPECT_EQ(FormNamed(loaded, "Pier copy")->GetCloneMaster(), master);
}

TEST_F(WorkspaceFile, AMasterNoItemClaimsIsDroppedAndItsCloneStandsAlone) {
  // The clone's header writes the master in full; the list never names it.
  Workspace ws;
  std::unique_ptr<IObject> master = MakeSampleForm("Lost", "LOST.FRM", {});
  ws.AddItem(MakeSampleClone(*master, "Orphaned copy", {1, 2, 3}));
  ASSERT_TRUE(ws.Save(Path(), ui_));
  static_cast<IObject*>(ws.GetItems().GetHead())->SetCloneMaster(nullptr);

  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  const IObject* clone = FormNamed(loaded, "Orphaned copy");
  ASSERT_TRUE(clone && loaded.GetItems().GetCount() == 1u);
  EXPECT_EQ(clone->GetCloneMaster(), nullptr);
  // It read the master's file while the master was still there.
  EXPECT_EQ(clone->GetPoints().GetCount(), 5u);
}

TEST_F(WorkspaceFile, CorruptCutAndMissingFilesAreReportedAndLeaveAnEmptyWorkspace) {
  SaveSample();
  const Bytes full = ReadFile(Path());
  // Inside the second view record, after its camera, and before the last byte.
  for (size_t cut : {full.size() / 2, full.size() - 1}) {
    SCOPED_TRACE(cut);
    WriteFile(Path("cut.wsp"), Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
    ExpectCorrupt("cut.wsp");
  }
  ExpectCorrupt("none.wsp",
                Path("none.wsp") + "\nCannot find this file.\nPlease verify that the correct path and file name are given.");
}

TEST_F(WorkspaceFile, AFailedSaveLeavesTheOldFileAsItWas) {
  Workspace ws;
  PopulateSample(ws);
  ASSERT_TRUE(ws.Save(Path(), ui_));
  const Bytes before = ReadFile(Path());

  ws.AddItem(std::make_unique<TestDiskFullItem>());
  EXPECT_FALSE(ws.Save(Path(), ui_));
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Destination disk drive is full."});
  EXPECT_EQ(ReadFile(Path()), before);
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();

  ui_.Clear();
  EXPECT_FALSE(ws.Save(Path("no/such/folder.wsp"), ui_));
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Invalid filename."});
}

TEST_F(WorkspaceFile, ACameraNoItemClaimsLeavesItsViewsOnTheirOwnCamera) {
  // A camera not in the scene is written inside the first view record.
  Workspace ws;
  ICamera stray;
  for (int i = 0; i < 2; ++i) {
    CViewRecord& view = ws.AddView();
    view.GetViewTran().SetViewType(IViewTran::camera);
    view.GetViewTran().SetCamera(&stray);
  }
  ASSERT_TRUE(ws.Save(Path(), ui_));
  for (int i = 0; i < 2; ++i) ws.GetView(i).GetViewTran().SetCamera(nullptr);

  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  ASSERT_EQ(loaded.GetViewCount(), 2u);
  EXPECT_TRUE(loaded.GetView(0).GetViewTran().HasOwnCamera());
  EXPECT_TRUE(loaded.GetView(1).GetViewTran().HasOwnCamera());
  EXPECT_TRUE(loaded.GetItems().IsEmpty());
  // Closing the first view leaves nothing dangling in the second.
  loaded.RemoveView(0);
  EXPECT_EQ(loaded.GetView(0).GetViewTran().GetCamera()->GetName(), "No Camera");
}

TEST_F(WorkspaceFile, LoadingReplacesWhatTheWorkspaceHeld) {
  Workspace small;
  AddSampleLight(small, "Only", {1, 1, 1}, {9, 9, 9});
  ASSERT_TRUE(small.Save(Path("small.wsp"), ui_));
  Workspace ws;
  PopulateSample(ws);
  ASSERT_TRUE(ws.Load(Path("small.wsp"), ui_));
  ASSERT_TRUE(ws.Save(Path(), ui_));
  EXPECT_EQ(ReadFile(Path()), ReadFile(Path("small.wsp")));
}

// --- View records ---

using testing::Concat;

// Version 1: 16-bit placement (length, flags and show command unsigned, the
// positions signed) and no name; version 2: the name before a wide placement.
// The current layout is pinned by the corpus's resaved sample.
TEST(ViewRecord, ReadsVersionsOneAndTwo) {
  auto load = [](CViewRecord& record, uint16_t version, int type, const Bytes& rest) {
    IViewTran tran;
    tran.SetViewType(type);
    tran.SetViewWidth(80);
    record.SetName("kept");
    testing::Load(Concat(Concat(ByteWriter().Word(version).bytes(), testing::StoreOf(tran)), rest), [&](CArchive& ar) {
      record.Serialize(ar);
      EXPECT_EQ(ar.BytesRemaining(), 0u);
    });
    EXPECT_EQ(record.GetViewTran().GetViewType(), type);
  };
  CViewRecord v1, v2;
  load(v1, 1, IViewTran::top, Concat(testing::Store([](CArchive& ar) { ar << 5.0; }),
      ByteWriter().Word(22).Word(1).Word(0x8001).Word(0xFFFF).Word(0xFFFE).Word(7).Word(8).Word(0xFFF6)
          .Word(2500).Word(5000).Word(10000).bytes()));
  EXPECT_EQ(v1.GetGridSize(), 5.0);
  EXPECT_EQ(v1.GetName(), "kept");
  EXPECT_EQ(v1.Placement(), (CWindowPlacement{22, 1, 0x8001, -1, -2, 7, 8, {-10, 2500, 5000, 10000}}));

  load(v2, 2, IViewTran::front, Concat(testing::Store([](CArchive& ar) { ar << 0.0 << std::string("Old"); }),
      ByteWriter().Dword(44).Dword(0).Dword(1).Dword(0).Dword(0).Dword(0).Dword(0).Dword(100).Dword(200)
          .Dword(300).Dword(400).bytes()));
  EXPECT_EQ(v2.GetName(), "Old");
  EXPECT_EQ(v2.Placement().normal, (PixelRect{100, 200, 300, 400}));
}

TEST(WindowPlacement, ConvertsByTruncationAndStaysFiniteWithoutAClientArea) {
  EXPECT_EQ(CWindowPlacement::ToStored({250, 200, 750, 600}, 1000, 800), (PixelRect{2500, 2500, 7500, 7500}));
  EXPECT_EQ(CWindowPlacement::ToPixels({2500, 2500, 7500, 7500}, 1000, 800), (PixelRect{250, 200, 750, 600}));
  // 333 / 0.0999 = 3333.33 is cut to 3333, which reads back as 332.97: 332.
  EXPECT_EQ(CWindowPlacement::ToStored({333, 0, 0, 0}, 999, 1).left, 3333);
  EXPECT_EQ(CWindowPlacement::ToPixels({3333, 0, 0, 0}, 999, 1).left, 332);
  EXPECT_EQ(CWindowPlacement::ToStored({-5, 0, 0, 0}, 3, 1).left, -16666);
  // A minimised main window has no client area to divide by.
  EXPECT_EQ(CWindowPlacement::ToStored({10, 20, 30, 40}, 100, -5), (PixelRect{1000, 0, 3000, 0}));
  EXPECT_EQ(CWindowPlacement::ToPixels({10, 20, 30, 40}, 0, 10000), (PixelRect{0, 20, 0, 40}));
  const int32_t big = std::numeric_limits<int32_t>::max(), small = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(CWindowPlacement::ToStored({big, small, 0, 0}, 1, 1), (PixelRect{big, small, 0, 0}));
}

}  // namespace
}  // namespace brevoxa
