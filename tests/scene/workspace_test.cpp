// The workspace file: round trips with views, cameras, lights, forms and
// clones, the defaults an unknown version leaves, corrupt and cut-short files
// at the document boundary, saves that fail, missing form files, cameras and
// masters that no item claims; and the view record with its older versions
// and the placement's stored units (cut-short records are covered by the
// workspace corpus's truncations).
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
#include "scene/light.h"
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
  EXPECT_EQ(ws.GetName(), "");
  EXPECT_EQ(ws.GetDescription(), "");
  EXPECT_EQ(ws.GetViewCount(), 0u);
  EXPECT_EQ(ws.GetItems().GetCount(), 0u);
  EXPECT_EQ(ws.GetRenderLink().GetFileName(), "RENDER.RDR");
  EXPECT_EQ(ws.GetEnvironmentLink().GetFileName(), "ENVIRONM.ENV");
}

const IObject* FormNamed(const Workspace& ws, const std::string& name) {
  for (const IDrawable* item : ws.GetItems())
    if (item->IsKindOf(RUNTIME_CLASS(IObject)) && item->GetName() == name) return static_cast<const IObject*>(item);
  return nullptr;
}

// The files of each test, and its form files, live in a folder of its own.
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

// The writer's layout is pinned by the corpus's resaved sample; here the
// values must come back, and what was read must save to the same bytes.
TEST_F(WorkspaceFile, RoundTripKeepsViewsCamerasLightsFormsAndLinks) {
  SaveSample();
  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_EQ(loaded.GetDescription(), "Night scene\nwith two cameras");
  ASSERT_EQ(loaded.GetViewCount(), 2u);
  const IViewTran& plan = loaded.GetView(0).GetViewTran();
  EXPECT_EQ(loaded.GetView(0).GetGridSize(), 25.0);
  EXPECT_EQ(plan.GetViewType(), IViewTran::top);
  EXPECT_EQ(plan.GetCentreH(), 12.0);
  EXPECT_TRUE(plan.HasOwnCamera());
  EXPECT_EQ(loaded.GetView(1).Placement().normal, (PixelRect{5000, 0, 10000, 5000}));
  EXPECT_TRUE(loaded.GetView(1).GetViewTran().GetRemoveBackFaces());
  // The camera view's camera is read inside its view record and then claimed
  // by the item list: one object, owned by the list.
  ASSERT_EQ(loaded.GetItems().GetCount(), 5u);
  auto* tower = static_cast<const ICamera*>(*std::next(loaded.GetItems().begin()));
  EXPECT_EQ(loaded.GetView(1).GetViewTran().GetCamera(), tower);
  EXPECT_EQ(tower->GetViewPlaneDistance(), 7.25);
  EXPECT_EQ(static_cast<const ILight*>(*std::next(loaded.GetItems().begin(), 2))->GetColour(), CVector(255, 200, 100));
  // Only the master has a form file; its clone reads it in its own place.
  EXPECT_FALSE(std::filesystem::exists(Path("FORM.FRM")));
  const IObject* master = FormNamed(loaded, "Pier");
  const IObject* clone = FormNamed(loaded, "Pier copy");
  ASSERT_TRUE(master && clone);
  EXPECT_EQ(clone->GetCloneMaster(), master);
  EXPECT_EQ(master->GetCloneCount(), 1);
  EXPECT_EQ(static_cast<const IPoint*>(clone->GetPoints().GetHead())->world, CVector(100, 40, 0));
  EXPECT_EQ(loaded.GetEnvironmentLink().GetFileName(), "D:\\SKIES\\NIGHT.ENV");

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
  EXPECT_EQ(loaded.GetRenderLink().GetFileName(), "FAST.RDR");
  const IObject* master = FormNamed(loaded, "Pier");
  ASSERT_NE(master, nullptr);
  EXPECT_EQ(master->GetPosition(), CVector(100, 0, 0));
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
  ASSERT_EQ(loaded.GetItems().GetCount(), 1u);
  const IObject* clone = FormNamed(loaded, "Orphaned copy");
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetCloneMaster(), nullptr);
  // It read the master's file while the master was still there.
  EXPECT_EQ(clone->GetPoints().GetCount(), 5u);
}

TEST_F(WorkspaceFile, UnknownVersionReadsNothingAndLeavesDefaults) {
  for (uint16_t version : {uint16_t{0}, uint16_t{2}, uint16_t{0xFFFF}}) {
    WriteFile(Path(), ByteWriter().Word(version).Byte(3).Chars("abc").Byte(0).Word(0).Word(0).bytes());
    Workspace ws;
    PopulateSample(ws);
    EXPECT_TRUE(ws.Load(Path(), ui_)) << version;
    ExpectDefaults(ws);
  }
  EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(WorkspaceFile, CorruptCutAndMissingFilesAreReportedAndLeaveAnEmptyWorkspace) {
  SaveSample();
  const Bytes full = ReadFile(Path());
  // Inside the second view record, after its camera was read, and just
  // before the last byte.
  for (size_t cut : {full.size() / 2, full.size() - 1}) {
    SCOPED_TRACE(cut);
    WriteFile(Path("cut.wsp"), Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
    ExpectCorrupt("cut.wsp");
  }
  ExpectCorrupt("none.wsp",
                Path("none.wsp") + "\nCannot find this file.\nPlease verify that the correct path and file name are given.");

  // An element that is no scene item in the items list.
  Workspace odd;
  AddSampleLight(odd, "Lamp", {}, {1, 2, 3});
  odd.GetItems().AddTail(new IPoint({1, 2, 3}));
  ASSERT_TRUE(odd.Save(Path("odd.wsp"), ui_));
  ExpectCorrupt("odd.wsp");
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
  // No temporary is left beside it.
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();

  ui_.Clear();
  EXPECT_FALSE(ws.Save(Path("no/such/folder.wsp"), ui_));
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Invalid filename."});
}

TEST_F(WorkspaceFile, ACameraNoItemClaimsLeavesItsViewsOnTheirOwnCamera) {
  // Views attached to a camera that is not in the scene write it inside the
  // first view record; nothing in the items list claims it.
  Workspace ws;
  ICamera stray;
  AddSampleLight(ws, "Lamp", {}, {1, 2, 3});
  for (int i = 0; i < 2; ++i) {
    CViewRecord& view = ws.AddView();
    view.GetViewTran().SetViewType(IViewTran::camera);
    view.GetViewTran().SetCamera(&stray);
  }
  ASSERT_TRUE(ws.Save(Path(), ui_));
  ws.GetView(0).GetViewTran().SetCamera(nullptr);
  ws.GetView(1).GetViewTran().SetCamera(nullptr);

  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  ASSERT_EQ(loaded.GetViewCount(), 2u);
  EXPECT_TRUE(loaded.GetView(0).GetViewTran().HasOwnCamera());
  EXPECT_TRUE(loaded.GetView(1).GetViewTran().HasOwnCamera());
  EXPECT_EQ(loaded.GetItems().GetCount(), 1u);
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
using testing::Load;
using testing::Store;

// The bytes of a view transformation's record, from its own writer.
Bytes ViewTranBytes(int viewType, double viewWidth) {
  IViewTran tran;
  tran.SetViewType(viewType);
  tran.SetViewWidth(viewWidth);
  tran.SetClientRect(0, 0, 320, 200);
  return Store([&](CArchive& ar) { tran.Serialize(ar); });
}

void ExpectLoadsToEnd(const Bytes& bytes, CViewRecord& record) {
  Load(bytes, [&](CArchive& ar) {
    record.Serialize(ar);
    EXPECT_EQ(ar.BytesRemaining(), 0u);
  });
}

TEST(ViewRecord, StoresVersionTransformationGridNameAndPlacementInOrder) {
  CViewRecord record;
  record.GetViewTran().SetViewType(IViewTran::right);
  record.GetViewTran().SetViewWidth(250.0);
  record.GetViewTran().SetClientRect(0, 0, 320, 200);
  record.SetGridSize(2.5);
  record.SetName("Right 2");
  // The writer states the record's own size whatever the length says.
  record.Placement() = {12, 2, 3, -1, -2, 40, 50, {0, 5000, 5000, 10000}};

  Bytes bytes = Store([&](CArchive& ar) { record.Serialize(ar); });
  Bytes expected = Concat(ByteWriter().Word(3).bytes(), ViewTranBytes(IViewTran::right, 250.0));
  expected = Concat(expected, Store([](CArchive& ar) { ar << 2.5 << std::string("Right 2"); }));
  expected = Concat(expected, ByteWriter().Dword(44).Dword(2).Dword(3).Dword(0xFFFFFFFF).Dword(0xFFFFFFFE)
                                  .Dword(40).Dword(50).Dword(0).Dword(5000).Dword(5000).Dword(10000).bytes());
  EXPECT_EQ(bytes, expected);

  CViewRecord back;
  ExpectLoadsToEnd(bytes, back);
  EXPECT_EQ(Store([&](CArchive& ar) { back.Serialize(ar); }), bytes);
}

TEST(ViewRecord, ReadsVersionOneWithSixteenBitPlacementAndNoName) {
  Bytes bytes = Concat(ByteWriter().Word(1).bytes(), ViewTranBytes(IViewTran::top, 80.0));
  bytes = Concat(bytes, Store([](CArchive& ar) { ar << 5.0; }));
  // length, flags, show command unsigned; the positions signed.
  bytes = Concat(bytes, ByteWriter().Word(22).Word(1).Word(0x8001).Word(0xFFFF).Word(0xFFFE)
                            .Word(7).Word(8).Word(0xFFF6).Word(2500).Word(5000).Word(10000).bytes());
  CViewRecord record;
  record.SetName("kept");
  ExpectLoadsToEnd(bytes, record);
  EXPECT_EQ(record.GetViewTran().GetViewType(), IViewTran::top);
  EXPECT_EQ(record.GetViewTran().GetViewWidth(), 80.0);
  EXPECT_EQ(record.GetGridSize(), 5.0);
  EXPECT_EQ(record.GetName(), "kept");
  EXPECT_EQ(record.Placement(), (CWindowPlacement{22, 1, 0x8001, -1, -2, 7, 8, {-10, 2500, 5000, 10000}}));
}

TEST(ViewRecord, ReadsVersionTwoWithTheNameBeforeTheWidePlacement) {
  Bytes bytes = Concat(ByteWriter().Word(2).bytes(), ViewTranBytes(IViewTran::front, 120.0));
  bytes = Concat(bytes, Store([](CArchive& ar) { ar << 0.0 << std::string("Old front"); }));
  bytes = Concat(bytes, ByteWriter().Dword(44).Dword(0).Dword(1).Dword(0).Dword(0).Dword(0).Dword(0)
                            .Dword(100).Dword(200).Dword(300).Dword(400).bytes());
  CViewRecord record;
  ExpectLoadsToEnd(bytes, record);
  EXPECT_EQ(record.GetViewTran().GetViewWidth(), 120.0);
  EXPECT_EQ(record.GetGridSize(), 0.0);
  EXPECT_EQ(record.GetName(), "Old front");
  EXPECT_EQ(record.Placement().normal, (PixelRect{100, 200, 300, 400}));
}

TEST(ViewRecord, UnknownVersionsReadOnlyTheirWordAndKeepTheDefaults) {
  for (uint16_t version : {uint16_t{0}, uint16_t{4}, uint16_t{0xFFFF}}) {
    Bytes bytes = Concat(ByteWriter().Word(version).bytes(), ViewTranBytes(IViewTran::top, 80.0));
    CViewRecord record;
    Load(bytes, [&](CArchive& ar) {
      record.Serialize(ar);
      EXPECT_EQ(ar.BytesRemaining(), bytes.size() - 2) << version;
    });
    EXPECT_EQ(record.GetViewTran().GetViewType(), IViewTran::front) << version;
    EXPECT_EQ(record.GetGridSize(), CViewRecord::kDefaultGridSize);
    EXPECT_EQ(record.Placement(), CWindowPlacement());
  }
}

TEST(WindowPlacement, ConvertsBetweenPixelsAndTenThousandthsByTruncation) {
  // 250 of 1000 pixels is a quarter: 2500 units; and back.
  EXPECT_EQ(CWindowPlacement::ToStored({250, 200, 750, 600}, 1000, 800), (PixelRect{2500, 2500, 7500, 7500}));
  EXPECT_EQ(CWindowPlacement::ToPixels({2500, 2500, 7500, 7500}, 1000, 800), (PixelRect{250, 200, 750, 600}));
  // 333 / 0.0999 = 3333.33 is cut to 3333, which reads back as 332.97: 332.
  PixelRect stored = CWindowPlacement::ToStored({333, 0, 0, 0}, 999, 1);
  EXPECT_EQ(stored.left, 3333);
  EXPECT_EQ(CWindowPlacement::ToPixels(stored, 999, 1).left, 332);
  // Negative positions truncate toward zero too.
  EXPECT_EQ(CWindowPlacement::ToStored({-5, 0, 0, 0}, 3, 1).left, -16666);

  CWindowPlacement p;
  p.SetNormalPixels({10, 20, 30, 40}, 100, 100);
  EXPECT_EQ(p.normal, (PixelRect{1000, 2000, 3000, 4000}));
  EXPECT_EQ(p.NormalPixels(200, 50), (PixelRect{20, 10, 60, 20}));
}

TEST(WindowPlacement, AClientAreaWithoutExtentOrHugeValuesStayFinite) {
  // A minimised main window has no client area to divide by.
  EXPECT_EQ(CWindowPlacement::ToStored({10, 20, 30, 40}, 0, 0), PixelRect{});
  EXPECT_EQ(CWindowPlacement::ToStored({10, 20, 30, 40}, 100, -5), (PixelRect{1000, 0, 3000, 0}));
  EXPECT_EQ(CWindowPlacement::ToPixels({10, 20, 30, 40}, 0, 10000), (PixelRect{0, 20, 0, 40}));
  // A single pixel of client area makes every window position enormous.
  const int32_t big = std::numeric_limits<int32_t>::max();
  const int32_t small = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(CWindowPlacement::ToStored({big, small, 0, 0}, 1, 1), (PixelRect{big, small, 0, 0}));
  EXPECT_EQ(CWindowPlacement::ToPixels({big, small, 0, 0}, 30000, 30000), (PixelRect{big, small, 0, 0}));
}

}  // namespace
}  // namespace brevoxa
