// Form files: header and body, clones in a cycle, damaged files, safe saving,
// new file names; and the clipboard records of points and polygons.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <unordered_set>

#include "form_fixtures.h"
#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/object_store.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

using testing::AddPoint;
using testing::Bytes;
using testing::ReadFile;
using testing::WriteFile;
using testing::LayersOf;
using testing::MakeCube;
using testing::PointsOf;
using testing::PolygonsOf;
using testing::TempDir;
using testing::VerticesOf;

// Known to the program but not persistent: a body holding one cannot be
// written.
class FrmUnwritable : public IDrawable {
  DECLARE_DYNAMIC(FrmUnwritable)
};
IMPLEMENT_DYNAMIC(FrmUnwritable, IDrawable)

Bytes SaveHeader(IObject& form) {
  return testing::Store([&](CArchive& ar) { form.Serialize(ar); });
}

std::unique_ptr<IObject> LoadHeader(const Bytes& header) {
  auto form = std::make_unique<IObject>();
  testing::Load(header, [&](CArchive& ar) { form->Serialize(ar); });
  return form;
}

class FormFileTest : public ::testing::Test {
 protected:
  FormFileTest() : store_(dir_.path().string()), scopedUi_(ui_) {}
  std::string Path(const std::string& name) const { return dir_.File(name); }

  TempDir dir_;
  ScopedObjectStore store_;
  RecordingUi ui_;
  ScopedUserInterface scopedUi_;
};

TEST_F(FormFileTest, BodyGoesToTheFormFileAndComesBack) {
  auto cube = MakeCube();
  cube->SetQuickDraw(true);
  Bytes header = SaveHeader(*cube);
  ASSERT_TRUE(std::filesystem::exists(Path("CUBE.FRM")));
  EXPECT_EQ(cube->GetFilePath(), Path("CUBE.FRM"));

  // Saving the loaded form writes the same header and file.
  const Bytes first = ReadFile(Path("CUBE.FRM"));
  auto loaded = LoadHeader(header);
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_TRUE(loaded->GetQuickDraw());
  auto after = PointsOf(*loaded);
  ASSERT_EQ(after.size(), 8u);
  EXPECT_EQ(after[7]->world, PointsOf(*cube)[7]->world);
  auto layers = LayersOf(*loaded);
  ASSERT_EQ(layers.size(), 2u);
  // Point 0 stands in a cap and in two sides: one object for all three.
  EXPECT_EQ(VerticesOf(*PolygonsOf(*layers[0])[0])[0], after[0]);
  EXPECT_EQ(VerticesOf(*PolygonsOf(*layers[1])[0])[0], after[0]);
  EXPECT_EQ(VerticesOf(*PolygonsOf(*layers[1])[3])[1], after[0]);
  EXPECT_FALSE(loaded->AreBoundsValid());
  EXPECT_EQ(SaveHeader(*loaded), header);
  EXPECT_EQ(ReadFile(Path("CUBE.FRM")), first);
}

TEST_F(FormFileTest, ClonesInACycleLeaveOneMasterThatWritesTheBody) {
  auto a = std::make_unique<IObject>();
  auto b = std::make_unique<IObject>();
  a->SetFileName("A.FRM");
  b->SetFileName("B.FRM");
  a->SetCloneMaster(b.get());
  b->SetCloneMaster(a.get());
  IObList items;
  items.AddTail(a.get());
  items.AddTail(b.get());
  Bytes workspace = testing::Store([&](CArchive& ar) { items.Serialize(ar); });
  items.RemoveAll();

  IObList loaded;
  testing::Load(workspace, [&](CArchive& ar) { loaded.Serialize(ar); });
  ASSERT_EQ(loaded.GetCount(), 2u);
  auto* la = static_cast<IObject*>(loaded.GetHead());
  auto* lb = static_cast<IObject*>(loaded.GetTail());
  EXPECT_FALSE(la->IsClone());
  EXPECT_EQ(lb->GetCloneMaster(), la);
  loaded.DeleteAll();
}

TEST_F(FormFileTest, DamagedFileKeepsTheHeader) {
  auto cube = MakeCube();
  Bytes header = SaveHeader(*cube);
  const Bytes body = ReadFile(Path("CUBE.FRM"));
  // Cut files: the message, and no half-read geometry.
  for (size_t n : {size_t{0}, body.size() / 3, body.size() - 1}) {
    ui_.Clear();
    WriteFile(Path("CUBE.FRM"), Bytes(body.begin(), body.begin() + static_cast<ptrdiff_t>(n)));
    auto damaged = LoadHeader(header);
    ASSERT_EQ(ui_.Messages().size(), 1u) << "cut at " << n;
    EXPECT_TRUE(damaged->GetPoints().IsEmpty());
    EXPECT_TRUE(damaged->GetLayers().IsEmpty());
    EXPECT_EQ(damaged->GetName(), "Cube");
  }
  // Every cut of a body read over an existing one leaves that one whole.
  for (size_t n = 0; n < body.size(); ++n) {
    auto form = MakeCube();
    testing::Load(Bytes(body.begin(), body.begin() + static_cast<ptrdiff_t>(n)), [&](CArchive& ar) {
      EXPECT_THROW(form->SerializeBody(ar), CArchiveException) << "cut at " << n;
      EXPECT_TRUE(ar.TakeUnownedObjects().empty());
    });
    ASSERT_EQ(form->GetPoints().GetCount(), 8u);
    EXPECT_EQ(form->GetPolygonCount(), 6u);
    EXPECT_EQ(form->GetDescription(), "A unit cube");
  }
}

TEST_F(FormFileTest, FailedSaveLeavesThePreviousFileAsItWas) {
  auto cube = MakeCube();
  SaveHeader(*cube);
  const Bytes good = ReadFile(Path("CUBE.FRM"));

  // The body fails half-way, after the layers have been written.
  auto* unwritable = new FrmUnwritable;
  cube->GetExtra().AddTail(unwritable);
  EXPECT_THROW(SaveHeader(*cube), CNotSupportedException);
  EXPECT_EQ(ReadFile(Path("CUBE.FRM")), good);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) ++files;
  EXPECT_EQ(files, 1u);
  cube->GetExtra().DeleteAll();

  cube->SetFileName("NOWHERE\\CUBE.FRM");
  EXPECT_THROW(SaveHeader(*cube), CFileException);
}

// New names count from the start given past the files that exist, with a
// letter by kind (kind 3 keeps the name), cutting the base to fit the number
// and keeping the folder; kinds 4 and 5 stand for a form already open.
TEST_F(FormFileTest, MakeFileNameTable) {
  WriteFile(Path("FORMX1.FRM"), {1});
  WriteFile(Path("FORX9999.FRM"), {1});
  // again: the form of the row before; file and name null: refused, unchanged.
  const struct { bool again; const char* fileName; int start, kind; const char* file; const char* name; } rows[] = {
      {false, nullptr, 0, 0, "FORMX2.FRM", "Vase X2"},
      {true, nullptr, 8, 0, "FORMX10.FRM", "Vase X10"},
      {false, nullptr, 0, 1, "FORMC1.FRM", "Vase C1"},
      {false, nullptr, 0, 2, "FORMA1.FRM", "Vase A1"},
      {false, nullptr, 0, 3, "FORMP1.FRM", "Vase"},
      {false, nullptr, 0, 6, "FORMX2.FRM", "Vase X2"},
      {false, "MODELS\\LONGNAME.FRM", 0, 2, "MODELS\\LONGNAA1.FRM", "Vase A1"},
      {true, nullptr, 9, 2, "MODELS\\LONGNA10.FRM", "Vase A10"},
      {true, nullptr, 999, 2, "MODELS\\LONA1000.FRM", "Vase A1000"},
      {false, "D:\\A.B\\CUBE.OLD.FRM", 0, 0, "D:\\A.B\\CUBEX1.FRM", "Vase X1"},
      // 9999 is the last number; when it is taken there is none left.
      {false, nullptr, 0, 0, "FORMX2.FRM", "Vase X2"},
      {true, nullptr, 9998, 0, nullptr, nullptr},
      {true, nullptr, 20000, 0, nullptr, nullptr},
      {false, nullptr, 0, 4, nullptr, nullptr},
      {false, nullptr, 0, 5, nullptr, nullptr},
  };
  std::unique_ptr<IObject> form;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.start) + " kind " + std::to_string(row.kind));
    if (!row.again) {
      form = std::make_unique<IObject>();
      form->SetName("Vase");
    }
    if (row.fileName) form->SetFileName(row.fileName);
    const std::string file = form->GetFileName(), name = form->GetName();
    EXPECT_EQ(form->MakeFileName(row.start, row.kind), row.file != nullptr);
    EXPECT_EQ(form->GetFileName(), row.file ? row.file : file);
    EXPECT_EQ(form->GetName(), row.name ? row.name : name);
  }
  EXPECT_EQ(ui_.Messages(),
            (std::vector<std::string>{
                "This form is already open in this workspace.  Use the clipboard or clonening to add multiple copies.",
                "This form is already open in this workspace.  You may not overwrite it while it is open."}));
}

// --- Clipboard records ---

Bytes Copy(IObject& form, int level, int& kind) {
  return testing::Store([&](CArchive& ar) { EXPECT_TRUE(form.SerializeSelection(level, ar, kind)); });
}

bool Paste(IObject& form, int level, int kind, const Bytes& bytes) {
  bool accepted = false;
  testing::Load(bytes, [&](CArchive& ar) {
    accepted = form.SerializeSelection(level, ar, kind);
    EXPECT_TRUE(ar.TakeUnownedObjects().empty());
  });
  return accepted;
}

// Every polygon uses only points its form owns.
void ExpectClosed(const IObject& form) {
  auto points = PointsOf(form);
  std::unordered_set<IPoint*> owned(points.begin(), points.end());
  for (ILayer* layer : LayersOf(form))
    for (IPolygon* polygon : PolygonsOf(*layer))
      for (IPoint* p : VerticesOf(*polygon)) EXPECT_TRUE(owned.count(p));
}

TEST(FormClipboard, PointsArePlacedInTheTargetFrame) {
  auto cube = MakeCube();
  auto points = PointsOf(*cube);
  cube->GetPoints().SelectItem(points[7], true);
  cube->GetPoints().SelectItem(points[1], true);
  int kind = 0;
  Bytes bytes = Copy(*cube, kPointLevel, kind);
  EXPECT_EQ(kind, kClipPoints);

  IObject target;  // a record of another kind is refused unread
  target.GetFrame().SetPosition({0, 0, -1});
  EXPECT_FALSE(Paste(target, kPointLevel, kClipPolygons, bytes));
  EXPECT_FALSE(Paste(target, 7, kClipPoints, bytes));
  target.UpdateLocalBounds();
  ASSERT_TRUE(Paste(target, kPointLevel, kClipPoints, bytes));
  auto pasted = PointsOf(target);
  ASSERT_EQ(pasted.size(), 2u);
  EXPECT_EQ(pasted[0]->local, CVector(1, 0, 0));
  EXPECT_EQ(pasted[0]->world, CVector(1, 0, -1));
  EXPECT_EQ(pasted[1]->local, CVector(1, 1, 1));
  EXPECT_FALSE(target.AreBoundsValid());
}

TEST(FormClipboard, PolygonsComeWithTheirPointsOnly) {
  auto cube = MakeCube();
  IObList& polygons = cube->GetFirstLayer()->GetPolygons();
  polygons.SelectItem(polygons.GetTail(), true);
  int kind = 0;
  const Bytes bytes = Copy(*cube, kPolygonLevel, kind);
  EXPECT_EQ(kind, kClipPolygons);
  EXPECT_EQ(cube->GetPoints().GetSelectedCount(), 4);
  auto target = MakeCube();
  ASSERT_TRUE(Paste(*target, kPolygonLevel, kClipPolygons, bytes));
  EXPECT_EQ(target->GetFirstLayer()->GetPolygons().GetCount(), 3u);
  EXPECT_EQ(target->GetPoints().GetCount(), 12u);
  ExpectClosed(*target);

  // Into a form without layers, a layer is made for them.
  IObject bare;
  ASSERT_TRUE(Paste(bare, kPolygonLevel, kClipPolygons, bytes));
  EXPECT_EQ(bare.GetLayers().GetCount(), 1u);
  EXPECT_EQ(VerticesOf(*PolygonsOf(*bare.GetFirstLayer())[0])[2]->local, CVector(1, 1, 1));
}

TEST(FormClipboard, EveryTruncatedRecordFailsAndChangesNothing) {
  auto cube = MakeCube();
  for (int level : {kRootLevel, kPointLevel, kLayerLevel, kPolygonLevel}) {
    if (level == kPolygonLevel) {
      IObList& polygons = cube->GetFirstLayer()->GetPolygons();
      polygons.SelectItem(polygons.GetHead(), true);
    }
    int kind = 0;
    Bytes bytes = Copy(*cube, level, kind);
    for (size_t n = 0; n < bytes.size(); ++n) {
      SCOPED_TRACE(::testing::PrintToString(level) + " cut at " + ::testing::PrintToString(n));
      IObject target;
      AddPoint(target, {1, 2, 3});
      Bytes cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(n));
      EXPECT_THROW(Paste(target, level, kind, cut), CArchiveException);
      EXPECT_EQ(target.GetPoints().GetCount(), 1u);
      EXPECT_TRUE(target.GetLayers().IsEmpty());
    }
  }
}

TEST(FormClipboard, PolygonPointsOutsideTheRecordAreAdoptedOrRefused) {
  // Points written only inside a polygon: the form receiving it takes them.
  IPoint a({1, 0, 0}), b({0, 1, 0}), c({0, 0, 1});
  IPolygon triangle;
  for (IPoint* p : {&a, &b, &c}) triangle.AddPoint(p);
  Bytes orphans = testing::Store([&](CArchive& ar) {
    ar << uint32_t{0} << uint32_t{1};
    ar.WriteObject(&triangle);
  });
  IObject target;
  ASSERT_TRUE(Paste(target, kPolygonLevel, kClipPolygons, orphans));
  EXPECT_EQ(target.GetPoints().GetCount(), 3u);
  ExpectClosed(target);

  // A point owned earlier in the stream cannot become the form's.
  Bytes foreign = testing::Store([&](CArchive& ar) {
    ar.WriteObject(&a);
    ar << uint32_t{0} << uint32_t{1};
    ar.WriteObject(&triangle);
  });
  IObject other;
  testing::Load(foreign, [&](CArchive& ar) {
    std::unique_ptr<CObject> owner(ar.ReadOwnedObject(RUNTIME_CLASS(IPoint)));
    int kind = kClipPolygons;
    try {
      other.SerializeSelection(kPolygonLevel, ar, kind);
      ADD_FAILURE() << "a foreign point was accepted";
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), CArchiveException::badIndex);
    }
    EXPECT_TRUE(ar.TakeUnownedObjects().empty());
  });
  EXPECT_TRUE(other.GetPoints().IsEmpty());
  EXPECT_EQ(other.GetPolygonCount(), 0u);
}

}  // namespace
}  // namespace brevoxa
