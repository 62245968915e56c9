// The workspace file: round trips with views, cameras, lights, forms and
// clones, the defaults an unknown version leaves, corrupt and cut-short files
// at the document boundary, saves that fail, missing form files, and cameras
// and masters that no item claims.
#include "scene/workspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "math/view_tran.h"
#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/point.h"
#include "scene/polygon.h"
#include "support/bytes.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::ByteWriter;
using testing::Bytes;
using testing::ReadFile;
using testing::WriteFile;
using testing::TempDir;

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

using testing::AddSampleLight;
using testing::MakeSampleClone;
using testing::MakeSampleForm;
using testing::PopulateSample;

// Counts the objects of each class a read creates.
class CountingTrace : public IArchiveTrace {
 public:
  std::map<std::string, int> objects;
  void Value(std::string_view, const std::string&) override {}
  void BeginObject(std::string_view, uint32_t, std::string_view cls) override { ++objects[std::string(cls)]; }
  void EndObject() override {}
  void Reference(std::string_view, uint32_t, std::string_view) override {}
  void BeginGroup(std::string_view, uint32_t) override {}
  void EndGroup() override {}
};

// The position of an item in the list, or -1 for a camera that is none.
int ItemIndex(const Workspace& ws, const CObject* object) {
  int i = 0;
  for (const IDrawable* item : ws.GetItems()) {
    if (item == object) return i;
    ++i;
  }
  return -1;
}

void ExpectDefaults(const Workspace& ws) {
  EXPECT_EQ(ws.GetName(), "");
  EXPECT_EQ(ws.GetDescription(), "");
  EXPECT_EQ(ws.GetViewCount(), 0u);
  EXPECT_EQ(ws.GetItems().GetCount(), 0u);
  EXPECT_EQ(ws.GetRenderLink().GetFileName(), "RENDER.RDR");
  EXPECT_EQ(ws.GetEnvironmentLink().GetFileName(), "ENVIRONM.ENV");
}

// Geometry by value: points by local position, polygons by the positions of
// their points in the form's points list.
void ExpectSameGeometry(const IObject& a, const IObject& b) {
  EXPECT_EQ(a.GetDescription(), b.GetDescription());
  EXPECT_EQ(a.GetExternalName(), b.GetExternalName());
  ASSERT_EQ(a.GetPoints().GetCount(), b.GetPoints().GetCount());
  for (auto pa = a.GetPoints().begin(), pb = b.GetPoints().begin(); pa != a.GetPoints().end(); ++pa, ++pb)
    EXPECT_EQ(static_cast<const IPoint*>(*pa)->local, static_cast<const IPoint*>(*pb)->local);
  auto indexIn = [](const IObject& form, const IDrawable* point) {
    return std::distance(form.GetPoints().begin(), form.GetPoints().Find(point));
  };
  ASSERT_EQ(a.GetLayers().GetCount(), b.GetLayers().GetCount());
  for (auto la = a.GetLayers().begin(), lb = b.GetLayers().begin(); la != a.GetLayers().end(); ++la, ++lb) {
    const auto* layerA = static_cast<const ILayer*>(*la);
    const auto* layerB = static_cast<const ILayer*>(*lb);
    EXPECT_EQ(layerA->GetName(), layerB->GetName());
    EXPECT_EQ(layerA->GetMaterial().GetFileName(), layerB->GetMaterial().GetFileName());
    ASSERT_EQ(layerA->GetPolygons().GetCount(), layerB->GetPolygons().GetCount());
    for (auto qa = layerA->GetPolygons().begin(), qb = layerB->GetPolygons().begin();
         qa != layerA->GetPolygons().end(); ++qa, ++qb) {
      const IObList& va = static_cast<const IPolygon*>(*qa)->GetPoints();
      const IObList& vb = static_cast<const IPolygon*>(*qb)->GetPoints();
      ASSERT_EQ(va.GetCount(), vb.GetCount());
      for (auto pa = va.begin(), pb = vb.begin(); pa != va.end(); ++pa, ++pb)
        EXPECT_EQ(indexIn(a, *pa), indexIn(b, *pb));
    }
  }
}

void ExpectSameForm(const Workspace& wa, const IObject& a, const Workspace& wb, const IObject& b) {
  EXPECT_EQ(a.GetFileName(), b.GetFileName());
  EXPECT_EQ(a.GetCloneCount(), b.GetCloneCount());
  EXPECT_EQ(a.GetQuickDraw(), b.GetQuickDraw());
  EXPECT_EQ(ItemIndex(wa, a.GetCloneMaster()), ItemIndex(wb, b.GetCloneMaster()));
  ExpectSameGeometry(a, b);
}

void ExpectSame(const Workspace& a, const Workspace& b) {
  EXPECT_EQ(a.GetName(), b.GetName());
  EXPECT_EQ(a.GetDescription(), b.GetDescription());
  ASSERT_EQ(a.GetViewCount(), b.GetViewCount());
  for (size_t i = 0; i < a.GetViewCount(); ++i) {
    const CViewRecord& va = a.GetView(i);
    const CViewRecord& vb = b.GetView(i);
    EXPECT_EQ(va.GetName(), vb.GetName()) << i;
    EXPECT_EQ(va.GetGridSize(), vb.GetGridSize()) << i;
    EXPECT_EQ(va.Placement(), vb.Placement()) << i;
    const IViewTran& ta = va.GetViewTran();
    const IViewTran& tb = vb.GetViewTran();
    EXPECT_EQ(ta.GetViewType(), tb.GetViewType()) << i;
    EXPECT_EQ(ta.GetCentreH(), tb.GetCentreH()) << i;
    EXPECT_EQ(ta.GetViewWidth(), tb.GetViewWidth()) << i;
    EXPECT_EQ(ta.GetWidth(), tb.GetWidth()) << i;
    EXPECT_EQ(ta.GetRemoveBackFaces(), tb.GetRemoveBackFaces()) << i;
    EXPECT_EQ(ta.HasOwnCamera(), tb.HasOwnCamera()) << i;
    // The same item of each list, not merely an equal camera.
    EXPECT_EQ(ItemIndex(a, ta.GetCamera()), ItemIndex(b, tb.GetCamera())) << i;
  }
  ASSERT_EQ(a.GetItems().GetCount(), b.GetItems().GetCount());
  auto ib = b.GetItems().begin();
  for (const IDrawable* ia : a.GetItems()) {
    const IDrawable* other = *ib++;
    ASSERT_EQ(std::string(ia->GetRuntimeClass()->className), other->GetRuntimeClass()->className);
    EXPECT_EQ(ia->GetName(), other->GetName());
    EXPECT_EQ(ia->GetPosition(), other->GetPosition());
    if (auto* ca = dynamic_cast<const ICamera*>(ia)) {
      auto* cb = static_cast<const ICamera*>(other);
      EXPECT_EQ(ca->GetTarget(), cb->GetTarget());
      EXPECT_EQ(ca->GetUpPoint(), cb->GetUpPoint());
      EXPECT_EQ(ca->GetViewPlaneWidth(), cb->GetViewPlaneWidth());
      EXPECT_EQ(ca->GetViewPlaneDistance(), cb->GetViewPlaneDistance());
    }
    if (auto* la = dynamic_cast<const ILight*>(ia)) {
      EXPECT_EQ(la->GetColour(), static_cast<const ILight*>(other)->GetColour());
    }
    if (auto* fa = dynamic_cast<const IObject*>(ia)) {
      ExpectSameForm(a, *fa, b, *static_cast<const IObject*>(other));
    }
  }
  EXPECT_EQ(a.GetRenderLink().GetFileName(), b.GetRenderLink().GetFileName());
  EXPECT_EQ(a.GetEnvironmentLink().GetFileName(), b.GetEnvironmentLink().GetFileName());
}

// The files of each test, and its form files, live in a folder of its own.
class WorkspaceFile : public ::testing::Test {
 protected:
  std::string Path(const std::string& name = "scene.wsp") const { return dir_.File(name); }
  TempDir dir_;
  ScopedObjectStore store_{dir_.path().string()};
  RecordingUi ui_;
};

const IObject* FormNamed(const Workspace& ws, const std::string& name) {
  for (const IDrawable* item : ws.GetItems())
    if (item->IsKindOf(RUNTIME_CLASS(IObject)) && item->GetName() == name) return static_cast<const IObject*>(item);
  return nullptr;
}

TEST_F(WorkspaceFile, RoundTripKeepsViewsCamerasLightsAndLinks) {
  Workspace original;
  PopulateSample(original);
  ASSERT_TRUE(original.Save(Path(), ui_));

  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  EXPECT_TRUE(ui_.Messages().empty());
  ExpectSame(original, loaded);
  // The camera view's camera is read inside its view record and then claimed
  // by the item list: one object, owned by the list.
  EXPECT_EQ(loaded.GetView(1).GetViewTran().GetCamera(), *std::next(loaded.GetItems().begin()));
  EXPECT_TRUE(loaded.GetView(0).GetViewTran().HasOwnCamera());

  // Saving what was read gives the same bytes, the form file included.
  const Bytes formFile = ReadFile(Path("PIER.FRM"));
  ASSERT_TRUE(loaded.Save(Path("again.wsp"), ui_));
  EXPECT_EQ(ReadFile(Path()), ReadFile(Path("again.wsp")));
  EXPECT_EQ(ReadFile(Path("PIER.FRM")), formFile);
}

TEST_F(WorkspaceFile, AFormAndItsCloneShareOneFormFile) {
  Workspace original;
  PopulateSample(original);
  ASSERT_TRUE(original.Save(Path(), ui_));
  // Only the master has a form file; the clone writes none.
  EXPECT_TRUE(std::filesystem::exists(Path("PIER.FRM")));
  EXPECT_FALSE(std::filesystem::exists(Path("FORM.FRM")));

  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  const IObject* master = FormNamed(loaded, "Pier");
  const IObject* clone = FormNamed(loaded, "Pier copy");
  ASSERT_TRUE(master && clone);
  EXPECT_EQ(clone->GetCloneMaster(), master);
  EXPECT_EQ(master->GetCloneCount(), 1);
  // The clone read the master's form file: the same geometry in its own place.
  ExpectSameGeometry(*master, *clone);
  EXPECT_EQ(clone->GetPosition(), CVector(100, 40, 0));
  const IPoint* corner = static_cast<const IPoint*>(clone->GetPoints().GetHead());
  EXPECT_EQ(corner->world, CVector(100, 40, 0));
}

TEST_F(WorkspaceFile, PointsSharedByPolygonsOfTwoLayersAreWrittenOnce) {
  Workspace ws;
  ws.AddItem(MakeSampleForm("Pier", "PIER.FRM", {}));
  ASSERT_TRUE(ws.Save(Path(), ui_));

  CountingTrace trace;
  IObject form;
  CDiskFile file(Path("PIER.FRM"), CDiskFile::modeRead);
  CArchive ar(&file, CArchive::load);
  ar.SetTrace(&trace);
  form.SerializeBody(ar);
  EXPECT_EQ(ar.BytesRemaining(), 0u);
  EXPECT_EQ(trace.objects["IPoint"], 5);
  EXPECT_EQ(trace.objects["IPolygon"], 2);
  // Both triangles use the very same first two points.
  auto* floor = static_cast<ILayer*>(form.GetLayers().GetHead());
  auto* wall = static_cast<ILayer*>(form.GetLayers().GetTail());
  const IObList& a = static_cast<IPolygon*>(floor->GetPolygons().GetHead())->GetPoints();
  const IObList& b = static_cast<IPolygon*>(wall->GetPolygons().GetHead())->GetPoints();
  EXPECT_EQ(*a.begin(), *b.begin());
  EXPECT_EQ(*std::next(a.begin()), *std::next(b.begin()));
  EXPECT_EQ(*a.begin(), form.GetPoints().GetHead());
}

TEST_F(WorkspaceFile, AMissingFormFileKeepsTheOtherItemsAndBothLinks) {
  Workspace original;
  PopulateSample(original);
  ASSERT_TRUE(original.Save(Path(), ui_));
  std::filesystem::remove(Path("PIER.FRM"));

  Workspace loaded;
  ASSERT_TRUE(loaded.Load(Path(), ui_));
  // The master and its clone each tried the file.
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>(2, "Unable to load the external form object"));
  ASSERT_EQ(loaded.GetItems().GetCount(), 5u);
  EXPECT_EQ(loaded.GetItems().GetHead()->GetName(), "Quay");
  EXPECT_EQ(loaded.GetRenderLink().GetFileName(), "FAST.RDR");
  EXPECT_EQ(loaded.GetEnvironmentLink().GetFileName(), "D:\\SKIES\\NIGHT.ENV");
  const IObject* master = FormNamed(loaded, "Pier");
  ASSERT_NE(master, nullptr);
  // The header is kept, the body is empty.
  EXPECT_EQ(master->GetPosition(), CVector(100, 0, 0));
  EXPECT_EQ(master->GetFileName(), "PIER.FRM");
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

TEST_F(WorkspaceFile, HeaderHoldsVersionNameDescriptionAndViewCount) {
  Workspace ws;
  PopulateSample(ws);
  ASSERT_TRUE(ws.Save(Path(), ui_));
  Bytes bytes = ReadFile(Path());
  const std::string description = ws.GetDescription();
  Bytes header = ByteWriter().Word(1).Byte(7).Chars("Harbour").Byte(static_cast<uint8_t>(description.size()))
                     .Chars(description).Word(2).Word(CViewRecord::kVersion).bytes();
  ASSERT_GE(bytes.size(), header.size());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(header.size())), header);
  // The file ends with the two link names.
  Bytes tail = ByteWriter().Byte(8).Chars("FAST.RDR").Byte(18).Chars("D:\\SKIES\\NIGHT.ENV").bytes();
  EXPECT_EQ(Bytes(bytes.end() - static_cast<std::ptrdiff_t>(tail.size()), bytes.end()), tail);
}

TEST_F(WorkspaceFile, ANewWorkspaceWritesAnEmptyRecord) {
  Workspace ws;
  ASSERT_TRUE(ws.Save(Path(), ui_));
  EXPECT_EQ(ReadFile(Path()), ByteWriter().Word(1).Byte(0).Byte(0).Word(0).Word(0)
                                  .Byte(10).Chars("RENDER.RDR").Byte(12).Chars("ENVIRONM.ENV").bytes());
}

TEST_F(WorkspaceFile, UnknownVersionReadsNothingAndLeavesDefaults) {
  for (uint16_t version : {uint16_t{0}, uint16_t{2}, uint16_t{0xFFFF}}) {
    Bytes bytes = ByteWriter().Word(version).Byte(3).Chars("abc").Byte(0).Word(0).Word(0).bytes();
    WriteFile(Path(), bytes);
    Workspace ws;
    PopulateSample(ws);
    EXPECT_TRUE(ws.Load(Path(), ui_)) << version;
    ExpectDefaults(ws);
  }
  EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(WorkspaceFile, ACutShortFileIsReportedAndLeavesAnEmptyWorkspace) {
  Workspace original;
  PopulateSample(original);
  ASSERT_TRUE(original.Save(Path(), ui_));
  Bytes full = ReadFile(Path());
  ui_.Clear();
  // Inside the second view record, after its camera was read, and just
  // before the last byte.
  for (size_t cut : {full.size() / 2, full.size() - 1}) {
    WriteFile(Path("cut.wsp"), Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
    ui_.Clear();
    Workspace ws;
    PopulateSample(ws);
    EXPECT_FALSE(ws.Load(Path("cut.wsp"), ui_)) << cut;
    EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Unexpected file format."}) << cut;
    ExpectDefaults(ws);
  }
}

TEST_F(WorkspaceFile, AMissingFileNamesItsPath) {
  Workspace ws;
  PopulateSample(ws);
  EXPECT_FALSE(ws.Load(Path("none.wsp"), ui_));
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>{
                                Path("none.wsp") +
                                "\nCannot find this file.\nPlease verify that the correct path and file name are given."});
  ExpectDefaults(ws);
}

TEST_F(WorkspaceFile, AnElementThatIsNoSceneItemMakesTheFileCorrupt) {
  Workspace ws;
  AddSampleLight(ws, "Lamp", {}, {1, 2, 3});
  ws.GetItems().AddTail(new IPoint({1, 2, 3}));
  ASSERT_TRUE(ws.Save(Path(), ui_));
  Workspace loaded;
  EXPECT_FALSE(loaded.Load(Path(), ui_));
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Unexpected file format."});
  ExpectDefaults(loaded);
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
}

TEST_F(WorkspaceFile, SavingIntoAMissingFolderIsAnInvalidFilename) {
  Workspace ws;
  EXPECT_FALSE(ws.Save(Path("no/such/folder.wsp"), ui_));
  EXPECT_EQ(ui_.Messages(), std::vector<std::string>{"Invalid filename."});
}

TEST_F(WorkspaceFile, ACameraNoItemClaimsLeavesItsViewsOnTheirOwnCamera) {
  // Views attached to a camera that is not in the scene write it inside the
  // first view record; nothing in the items list claims it.
  Workspace ws;
  ICamera stray;
  stray.SetName("Stray");
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
  ASSERT_TRUE(small.Save(Path(), ui_));
  Workspace ws;
  PopulateSample(ws);
  ASSERT_TRUE(ws.Load(Path(), ui_));
  ExpectSame(small, ws);
}

}  // namespace
}  // namespace brevoxa
