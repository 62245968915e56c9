// The default OBJSTORE as the build writes it, loaded back and checked.
#include "tools/store_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "material/environment.h"
#include "material/image_reader.h"
#include "material/material_doc.h"
#include "math/view_tran.h"
#include "persist/object_store.h"
#include "render/render_doc.h"
#include "scene/camera.h"
#include "scene/form_object.h"
#include "scene/layer.h"
#include "scene/light.h"
#include "scene/polygon.h"
#include "scene/workspace.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

const char* const kWorkspaces[] = {"PREVSPH.WSP", "PREVBOX.WSP", "PREVCPX.WSP", "DEMO.WSP"};

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

template <class T>
std::vector<T*> Items(const auto& list) {
  std::vector<T*> items;
  for (IDrawable* item : list)
    if (auto* t = dynamic_cast<T*>(item)) items.push_back(t);
  return items;
}

// Closed when two polygons share each edge (by position: caps have own points); volume > 0 faces out.
bool IsClosed(IObject& form, double& volume) {
  using Key = std::tuple<long long, long long, long long>;
  auto key = [](const CVector& v) {
    return Key{std::llround(v.x * 1e6), std::llround(v.y * 1e6), std::llround(v.z * 1e6)};
  };
  std::map<std::pair<Key, Key>, int> edges;
  volume = 0;
  for (ILayer* layer : Items<ILayer>(form.GetLayers())) {
    for (IPolygon* polygon : Items<IPolygon>(layer->GetPolygons())) {
      std::vector<CVector> p;
      for (IPoint* point : Items<IPoint>(polygon->GetPoints())) p.push_back(point->local);
      for (size_t i = 0; i < p.size(); ++i) {
        const Key a = key(p[i]), b = key(p[(i + 1) % p.size()]);
        ++edges[{std::min(a, b), std::max(a, b)}];
        if (i > 0 && i + 1 < p.size()) volume += p[0].Dot((p[i + 1] - p[i]).Cross(p[i] - p[0])) / 6;
      }
    }
  }
  for (const auto& [edge, count] : edges)
    if (count != 2) return false;
  return !edges.empty();
}

// One store for the whole suite: no test changes it.
class DefaultStore : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    RecordingUi ui;
    built_ = store::BuildStore(dir_->path().string(), ui) && ui.Messages().empty();
  }
  static void TearDownTestSuite() { delete dir_; }
  void SetUp() override { ASSERT_TRUE(built_); }

  static std::string Path(const std::string& name) { return dir_->File(name); }

  static std::unique_ptr<Workspace> LoadWorkspace(const std::string& name) {
    ScopedObjectStore store(dir_->path().string());  // forms read their bodies from it
    auto ws = std::make_unique<Workspace>();
    RecordingUi ui;
    EXPECT_TRUE(ws->Load(Path(name), ui) && ui.Messages().empty()) << name;
    return ws;
  }

  // The whole file must be the document's record.
  template <class Document>
  static std::unique_ptr<Document> LoadDocument(const std::string& name) {
    auto doc = std::make_unique<Document>();
    EXPECT_EQ(testing::LoadInto(*doc, ReadFile(Path(name))), 0u) << name;
    return doc;
  }

  static inline TempDir* dir_ = nullptr;
  static inline bool built_ = false;
};

TEST_F(DefaultStore, HoldsWhatTheProgramsAndWorkspacesNameAndNothingElse) {
  std::set<std::string> expected = {"RENDER.RDR",  "ENVIRONM.ENV", "MATERIAL.MAT", "PLAIN.JPG", "PREVBLK.ENV",
                                    "PREVWHT.ENV", "PREVCLR.ENV",  "RENDERED"};
  std::set<std::string> formFiles;
  for (const char* name : kWorkspaces) {
    expected.insert(name);
    auto ws = LoadWorkspace(name);
    expected.insert({ws->GetRenderLink().GetFileName(), ws->GetEnvironmentLink().GetFileName()});
    for (IObject* form : Items<IObject>(ws->GetItems())) {
      EXPECT_TRUE(formFiles.insert(form->GetFileName()).second);  // a shared one would be overwritten
      for (ILayer* layer : Items<ILayer>(form->GetLayers())) expected.insert(layer->GetMaterial().GetFileName());
    }
  }
  expected.insert(formFiles.begin(), formFiles.end());
  for (const char* scratch : {"PREVIEW.MAT", "PREV.ENV"}) expected.erase(scratch);  // written by a preview
  EXPECT_EQ(Listing(dir_->path()), expected);
}

TEST_F(DefaultStore, EveryFileLoadsBackWhole) {
  for (const std::string& name : Listing(dir_->path())) {
    SCOPED_TRACE(name);
    const std::string ext = fs::path(name).extension().string();
    if (ext == ".WSP") {
      EXPECT_GE(LoadWorkspace(name)->GetViewCount(), 1u);
    } else if (ext == ".FRM") {
      IObject form;
      testing::Load(ReadFile(Path(name)), [&](CArchive& ar) {
        form.SerializeBody(ar);
        EXPECT_EQ(ar.BytesRemaining(), 0u);
      });
      EXPECT_GT(form.GetPolygonCount(), 0u);
    } else if (ext == ".MAT") {
      LoadDocument<CMaterialDoc>(name);
    } else if (ext == ".ENV") {
      LoadDocument<CEnvironment>(name);
    } else if (ext == ".RDR") {
      LoadDocument<CRenderDoc>(name);
    } else if (ext == ".JPG") {
      ImageReadResult image = ReadImageFile(Path(name));
      ASSERT_TRUE(image.ok());
      EXPECT_EQ(image.bitmap.width * image.bitmap.height, 64 * 64);
      EXPECT_NEAR(image.bitmap.Texel(32, 32)[1], 128, 2);  // plain grey
    } else if (name != "RENDERED") {
      ADD_FAILURE() << "unexpected file";
    }
  }
  // Exactly a new document's values, so a link that falls back renders alike.
  EXPECT_EQ(LoadDocument<CRenderDoc>("RENDER.RDR")->Settings(), RenderSettings{});
  EXPECT_EQ(LoadDocument<CEnvironment>("ENVIRONM.ENV")->Settings(), EnvironmentSettings{});
}

TEST_F(DefaultStore, PreviewsRenderTheScratchMaterialUnderTheScratchSky) {
  for (const char* name : {"PREVSPH.WSP", "PREVBOX.WSP", "PREVCPX.WSP"}) {
    SCOPED_TRACE(name);
    auto ws = LoadWorkspace(name);
    const IViewTran& view = ws->GetView(0).GetViewTran();
    ASSERT_FALSE(view.HasOwnCamera());
    EXPECT_TRUE(ws->GetItems().Contains(view.GetCamera()));
    EXPECT_FALSE(Items<ILight>(ws->GetItems()).empty());
    EXPECT_EQ(ws->GetEnvironmentLink().GetFileName(), "PREV.ENV");
    EXPECT_EQ(ws->GetRenderLink().GetFileName(), "PREVIEW.RDR");
    for (IObject* form : Items<IObject>(ws->GetItems()))
      for (ILayer* l : Items<ILayer>(form->GetLayers())) EXPECT_EQ(l->GetMaterial().GetFileName(), "PREVIEW.MAT");
  }
  EXPECT_EQ(LoadDocument<CEnvironment>("PREVBLK.ENV")->Settings().horizon, CVector(0, 0, 0));
  EXPECT_EQ(LoadDocument<CEnvironment>("PREVWHT.ENV")->Settings().horizon, CVector(255, 255, 255));
  EXPECT_TRUE(LoadDocument<CEnvironment>("PREVCLR.ENV")->Settings().enablePoles);
}

TEST_F(DefaultStore, DemoShowsOffTheRenderer) {
  auto ws = LoadWorkspace("DEMO.WSP");
  EXPECT_GE(Items<ILight>(ws->GetItems()).size(), 2u);
  EXPECT_TRUE(LoadDocument<CEnvironment>(ws->GetEnvironmentLink().GetFileName())->Settings().shadows);
  // Into a glass ball, out of it and on to what lies behind.
  EXPECT_GE(LoadDocument<CRenderDoc>(ws->GetRenderLink().GetFileName())->Settings().depthLimit, 4);
  bool textured = false, mirrored = false, glass = false;
  size_t polygons = 0;
  for (IObject* form : Items<IObject>(ws->GetItems())) {
    polygons += form->GetPolygonCount();
    for (ILayer* layer : Items<ILayer>(form->GetLayers())) {
      auto material = LoadDocument<CMaterialDoc>(layer->GetMaterial().GetFileName());
      textured |= material->GetTextureCount() > 0;
      mirrored |= material->GetReflect().Length() > 200;
      glass |= material->IsTransparent() && std::abs(material->GetIndexOfRefraction() - 1.5) < 0.1;
    }
  }
  EXPECT_TRUE(textured && mirrored && glass);
  EXPECT_LE(polygons, 4000u);  // quick to render
}

// Every form lies in its scene's first view; closed ones face outward, as
// refraction tells entering from leaving by the faces, and glass is closed.
TEST_F(DefaultStore, FormsAreFramedAndClosedOnesFaceOutward) {
  size_t closed = 0;
  for (const char* name : kWorkspaces) {
    auto ws = LoadWorkspace(name);
    const IViewTran& view = ws->GetView(0).GetViewTran();
    ASSERT_TRUE(view.IsCameraView()) << name;
    const ICamera& camera = *view.GetCamera();
    const RenderSettings settings = LoadDocument<CRenderDoc>(ws->GetRenderLink().GetFileName())->Settings();
    const double d = camera.GetViewPlaneDistance(), halfWidth = camera.GetViewPlaneWidth() / 2;
    const double halfHeight = halfWidth * settings.height / (settings.pixelRatio * settings.width);
    for (IObject* form : Items<IObject>(ws->GetItems())) {
      SCOPED_TRACE(std::string(name) + " " + form->GetName());
      CBoundingBox box;
      for (IPoint* point : Items<IPoint>(form->GetPoints())) box.Add(point->world);
      const CVector c = camera.ToCamera((box.min + box.max) * 0.5);
      ASSERT_GT(c.z, d);
      EXPECT_LT(std::abs(c.x / c.z * d), halfWidth);
      EXPECT_LT(std::abs(c.y / c.z * d), halfHeight);

      bool transparent = false;
      for (ILayer* layer : Items<ILayer>(form->GetLayers())) {
        const std::string& file = layer->GetMaterial().GetFileName();
        if (fs::exists(Path(file))) transparent |= LoadDocument<CMaterialDoc>(file)->IsTransparent();
      }
      double volume = 0;
      const bool isClosed = IsClosed(*form, volume);
      EXPECT_TRUE(isClosed || !transparent);
      closed += isClosed;
      EXPECT_TRUE(!isClosed || volume > 0.0);
    }
  }
  EXPECT_GE(closed, 9u);  // spheres, rings, cones, the column and the box
}

TEST_F(DefaultStore, RebuildingWritesTheSameBytesAndLeavesOtherFilesAlone) {
  TempDir again;
  testing::WriteFile(again.path() / "MINE.MAT", {1, 2, 3});
  testing::WriteFile(again.path() / "DEMO.WSP", {9, 9});
  RecordingUi ui;
  ASSERT_TRUE(store::BuildStore(again.path().string(), ui));
  std::set<std::string> names = Listing(again.path());
  EXPECT_EQ(names.erase("MINE.MAT"), 1u);
  EXPECT_EQ(ReadFile(again.path() / "MINE.MAT"), (testing::Bytes{1, 2, 3}));
  ASSERT_EQ(names, Listing(dir_->path()));
  names.erase("RENDERED");
  for (const std::string& name : names) EXPECT_EQ(ReadFile(again.path() / name), ReadFile(Path(name))) << name;
}

TEST(StoreBuilder, ReportsAFolderItCannotMake) {
  TempDir dir;
  testing::WriteFile(dir.path() / "file", {0});
  RecordingUi ui;
  EXPECT_FALSE(store::BuildStore((dir.path() / "file" / "OBJSTORE").string(), ui));
  EXPECT_NE(ui.Messages().at(0).find("file/OBJSTORE"), std::string::npos);
}

}  // namespace
}  // namespace brevoxa
