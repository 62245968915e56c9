// Form files: the header in the workspace stream and the body in a file of
// its own, clones reading their master's file, damaged and missing files,
// safe saving, new file names, and forms too large for small indices.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

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

using testing::AddLayer;
using testing::AddPoint;
using testing::AddPolygon;
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

// Counts the new objects of each class that a stream reads.
class ClassCounter : public IArchiveTrace {
 public:
  void Value(std::string_view, const std::string&) override {}
  void BeginObject(std::string_view, uint32_t, std::string_view className) override { ++counts[std::string(className)]; }
  void EndObject() override {}
  void Reference(std::string_view, uint32_t, std::string_view) override {}
  void BeginGroup(std::string_view, uint32_t) override {}
  void EndGroup() override {}
  std::map<std::string, int> counts;
};

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

  auto loaded = LoadHeader(header);
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_EQ(loaded->GetName(), "Cube");
  EXPECT_TRUE(loaded->GetQuickDraw());
  EXPECT_EQ(loaded->GetDescription(), "A unit cube");
  EXPECT_EQ(loaded->GetExternalName(), "Cube body");
  EXPECT_EQ(loaded->GetRotation(), cube->GetRotation());
  ASSERT_EQ(loaded->GetPoints().GetCount(), 8u);
  auto after = PointsOf(*loaded);
  EXPECT_EQ(after[7]->world, PointsOf(*cube)[7]->world);
  auto layers = LayersOf(*loaded);
  ASSERT_EQ(layers.size(), 2u);
  EXPECT_EQ(layers[0]->GetName(), "Caps");
  EXPECT_EQ(layers[1]->GetMaterial().GetFileName(), "GLASS.MAT");
  EXPECT_EQ(layers[1]->GetPosition(), cube->GetPosition());
  // Point 0 stands in a cap and in two sides: one object for all three.
  EXPECT_EQ(VerticesOf(*PolygonsOf(*layers[0])[0])[0], after[0]);
  EXPECT_EQ(VerticesOf(*PolygonsOf(*layers[1])[0])[0], after[0]);
  EXPECT_EQ(VerticesOf(*PolygonsOf(*layers[1])[3])[1], after[0]);
  EXPECT_FALSE(loaded->AreBoundsValid());

  // Saving the loaded form writes the same file.
  Bytes first = ReadFile(Path("CUBE.FRM"));
  SaveHeader(*loaded);
  EXPECT_EQ(ReadFile(Path("CUBE.FRM")), first);
}

TEST_F(FormFileTest, BodyLayoutAndSharedPointsStoredOnce) {
  IObject empty;
  empty.SetDescription("ab");
  SaveHeader(empty);
  EXPECT_EQ(ReadFile(Path("FORM.FRM")),
            (Bytes{1, 0, 1, 0, 1, 0, 2, 'a', 'b', 0, 0, 0, 0, 0, 0, 0}));

  auto cube = MakeCube();
  SaveHeader(*cube);
  ClassCounter counter;
  IObject body;
  CDiskFile file(Path("CUBE.FRM"), CDiskFile::modeRead);
  CArchive ar(&file, CArchive::load);
  ar.SetTrace(&counter);
  body.SerializeBody(ar);
  EXPECT_EQ(counter.counts["IPoint"], 8);
  EXPECT_EQ(counter.counts["IPolygon"], 6);
  EXPECT_EQ(counter.counts["ILayer"], 2);
  EXPECT_EQ(body.GetPoints().GetCount(), 8u);
}

TEST_F(FormFileTest, LayerRecordOrder) {
  ILayer layer;
  layer.SetName("L");
  layer.GetMaterial().SetFileName("M.MAT");
  layer.SetLocalPosition({7, 0, 0});
  Bytes bytes = testing::Store([&](CArchive& ar) { layer.Serialize(ar); });
  // Version, name, the frame record, the element record, no polygons, the
  // material file name.
  const Bytes head{1, 0, 1, 'L', 1, 0, 1, 0};
  const Bytes tail{1, 0, 0, 0, 5, 'M', '.', 'M', 'A', 'T'};
  ASSERT_EQ(bytes.size(), 4u + 148u + tail.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - static_cast<ptrdiff_t>(tail.size())));

  ILayer loaded;
  testing::Load(bytes, [&](CArchive& ar) { loaded.Serialize(ar); });
  EXPECT_EQ(loaded.GetName(), "L");
  EXPECT_EQ(loaded.GetMaterial().GetFileName(), "M.MAT");
  EXPECT_EQ(loaded.GetLocalPosition(), CVector(7, 0, 0));
}

TEST_F(FormFileTest, CloneWritesNoFileAndReadsItsMasters) {
  auto master = MakeCube();
  auto* clone = new IObject;
  clone->SetName("Twin");
  clone->SetFileName("TWIN.FRM");
  clone->GetFrame().SetPosition({-10, 0, 0});
  clone->SetCloneMaster(master.get());
  master->AddClone();
  IObList items;
  items.AddTail(master.release());
  items.AddTail(clone);
  Bytes workspace = testing::Store([&](CArchive& ar) { items.Serialize(ar); });
  items.DeleteAll();
  EXPECT_TRUE(std::filesystem::exists(Path("CUBE.FRM")));
  EXPECT_FALSE(std::filesystem::exists(Path("TWIN.FRM")));

  IObList loaded;
  testing::Load(workspace, [&](CArchive& ar) { loaded.Serialize(ar); });
  ASSERT_EQ(loaded.GetCount(), 2u);
  auto* m = static_cast<IObject*>(loaded.GetHead());
  auto* c = static_cast<IObject*>(loaded.GetTail());
  EXPECT_EQ(c->GetCloneMaster(), m);
  EXPECT_EQ(m->GetCloneCount(), 1);
  EXPECT_EQ(c->GetPolygonCount(), 6u);
  EXPECT_EQ(PointsOf(*c)[0]->world, CVector(-10, 0, 0));
  EXPECT_EQ(c->GetFileName(), "TWIN.FRM");
  EXPECT_TRUE(ui_.Messages().empty());
  loaded.DeleteAll();
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

TEST_F(FormFileTest, MissingOrDamagedFileKeepsTheHeader) {
  auto cube = MakeCube();
  Bytes header = SaveHeader(*cube);
  const Bytes body = ReadFile(Path("CUBE.FRM"));
  std::filesystem::remove(Path("CUBE.FRM"));

  auto loaded = LoadHeader(header);
  EXPECT_EQ(ui_.Messages(), (std::vector<std::string>{"Unable to load the external form object"}));
  EXPECT_EQ(loaded->GetName(), "Cube");
  EXPECT_EQ(loaded->GetPosition(), CVector(10, 20, 30));
  EXPECT_TRUE(loaded->GetPoints().IsEmpty());

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

  // A folder that does not exist.
  cube->SetFileName("NOWHERE\\CUBE.FRM");
  EXPECT_THROW(SaveHeader(*cube), CFileException);
}

TEST_F(FormFileTest, MakeFileNameFindsTheFirstFreeNumber) {
  IObject form;
  form.SetName("Vase");
  ASSERT_TRUE(form.MakeFileName(0, 0));
  EXPECT_EQ(form.GetFileName(), "FORMX1.FRM");
  EXPECT_EQ(form.GetName(), "Vase X1");

  IObject second;
  second.SetName("Vase");
  WriteFile(Path("FORMX1.FRM"), {1});
  ASSERT_TRUE(second.MakeFileName(0, 0));
  EXPECT_EQ(second.GetFileName(), "FORMX2.FRM");
  EXPECT_EQ(second.GetName(), "Vase X2");
  // Counting on from a later start keeps the attempts made so far.
  ASSERT_TRUE(second.MakeFileName(8, 0));
  EXPECT_EQ(second.GetFileName(), "FORMX10.FRM");

  // Letters by kind; kind 3 keeps the name.
  struct { int kind; const char* file; const char* name; } kinds[] = {
      {1, "FORMC1.FRM", "Vase C1"}, {2, "FORMA1.FRM", "Vase A1"}, {3, "FORMP1.FRM", "Vase"}, {6, "FORMX2.FRM", "Vase X2"}};
  for (const auto& k : kinds) {
    IObject f;
    f.SetName("Vase");
    ASSERT_TRUE(f.MakeFileName(0, k.kind));
    EXPECT_EQ(f.GetFileName(), k.file);
    EXPECT_EQ(f.GetName(), k.name);
  }
}

TEST_F(FormFileTest, MakeFileNameCutsTheBaseAndKeepsTheFolder) {
  IObject form;
  form.SetFileName("MODELS\\LONGNAME.FRM");
  ASSERT_TRUE(form.MakeFileName(0, 2));
  EXPECT_EQ(form.GetFileName(), "MODELS\\LONGNAA1.FRM");
  ASSERT_TRUE(form.MakeFileName(9, 2));
  EXPECT_EQ(form.GetFileName(), "MODELS\\LONGNA10.FRM");
  ASSERT_TRUE(form.MakeFileName(999, 2));
  EXPECT_EQ(form.GetFileName(), "MODELS\\LONA1000.FRM");
  form.SetFileName("D:\\A.B\\CUBE.OLD.FRM");
  ASSERT_TRUE(form.MakeFileName(0, 0));
  EXPECT_EQ(form.GetFileName(), "D:\\A.B\\CUBEX1.FRM");
}

TEST_F(FormFileTest, MakeFileNameRefusesOpenFormsAndRunsOut) {
  IObject form;
  form.SetName("Vase");
  EXPECT_FALSE(form.MakeFileName(0, 4));
  EXPECT_FALSE(form.MakeFileName(0, 5));
  EXPECT_EQ(ui_.Messages(),
            (std::vector<std::string>{
                "This form is already open in this workspace.  Use the clipboard or clonening to add multiple copies.",
                "This form is already open in this workspace.  You may not overwrite it while it is open."}));
  EXPECT_EQ(form.GetFileName(), "FORM.FRM");

  // 9999 is the last number; when it is taken there is none left, and the
  // name that exists is not kept.
  ASSERT_TRUE(form.MakeFileName(0, 0));
  WriteFile(Path("FORX9999.FRM"), {1});
  EXPECT_FALSE(form.MakeFileName(9998, 0));
  EXPECT_EQ(form.GetFileName(), "FORMX1.FRM");
  EXPECT_EQ(form.GetName(), "Vase X1");
  EXPECT_FALSE(form.MakeFileName(20000, 0));
}

}  // namespace
}  // namespace brevoxa
