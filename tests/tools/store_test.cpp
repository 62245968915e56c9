// The default OBJSTORE as the build writes it: the files the programs look
// for and nothing else, each loading back cleanly; previews that name the
// scratch files a material preview writes; a demonstration that has what it
// is meant to show; cameras that frame their scenes; closed forms that face
// outward; and a second build that writes the same bytes.
#include "tools/store_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
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
#include "scene/point.h"
#include "scene/polygon.h"
#include "scene/workspace.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::TempDir;

const char* const kWorkspaces[] = {"PREVSPH.WSP", "PREVBOX.WSP", "PREVCPX.WSP", "DEMO.WSP"};
const char* const kPreviews[] = {"PREVSPH.WSP", "PREVBOX.WSP", "PREVCPX.WSP"};

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

std::vector<IObject*> Forms(Workspace& ws) {
  std::vector<IObject*> forms;
  for (IDrawable* item : ws.GetItems())
    if (auto* form = dynamic_cast<IObject*>(item)) forms.push_back(form);
  return forms;
}

std::vector<ILayer*> Layers(IObject& form) {
  std::vector<ILayer*> layers;
  for (IDrawable* layer : form.GetLayers()) layers.push_back(static_cast<ILayer*>(layer));
  return layers;
}

size_t CountLights(Workspace& ws) {
  return static_cast<size_t>(std::count_if(ws.GetItems().begin(), ws.GetItems().end(),
                       [](IDrawable* item) { return dynamic_cast<ILight*>(item) != nullptr; }));
}

// Every edge, keyed by its end points' rounded local positions, must be
// shared by exactly two polygons: generators give caps points of their own,
// so sharing is by position, not by point.
bool IsClosed(IObject& form) {
  using Key = std::tuple<long long, long long, long long>;
  auto key = [](const IPoint* p) {
    return Key{std::llround(p->local.x * 1e6), std::llround(p->local.y * 1e6), std::llround(p->local.z * 1e6)};
  };
  std::map<std::pair<Key, Key>, int> edges;
  for (ILayer* layer : Layers(form)) {
    for (IDrawable* element : layer->GetPolygons()) {
      std::vector<const IPoint*> points;
      for (IDrawable* p : static_cast<IPolygon*>(element)->GetPoints()) points.push_back(static_cast<IPoint*>(p));
      for (size_t i = 0; i < points.size(); ++i) {
        Key a = key(points[i]), b = key(points[(i + 1) % points.size()]);
        if (b < a) std::swap(a, b);
        ++edges[{a, b}];
      }
    }
  }
  if (edges.empty()) return false;
  for (const auto& [edge, count] : edges)
    if (count != 2) return false;
  return true;
}

// The enclosed volume by the divergence theorem over the polygons' fans,
// with each triangle's normal as the polygons compute theirs: positive
// exactly when the faces point out of the solid.
double SignedVolume(IObject& form) {
  double volume = 0;
  for (ILayer* layer : Layers(form)) {
    for (IDrawable* element : layer->GetPolygons()) {
      std::vector<CVector> p;
      for (IDrawable* point : static_cast<IPolygon*>(element)->GetPoints()) p.push_back(static_cast<IPoint*>(point)->local);
      for (size_t k = 1; k + 1 < p.size(); ++k) volume += p[0].Dot((p[k + 1] - p[k]).Cross(p[k] - p[0])) / 6;
    }
  }
  return volume;
}

// One store for the whole suite: no test changes it.
class DefaultStore : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    RecordingUi ui;
    built_ = store::BuildStore(dir_->path().string(), ui);
    messages_ = ui.Messages();
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(built_) << (messages_.empty() ? "" : messages_.front());
    EXPECT_TRUE(messages_.empty());
  }

  static std::string Path(const std::string& name) { return dir_->File(name); }

  // Forms read their bodies from OBJSTORE while the workspace loads.
  static std::unique_ptr<Workspace> LoadWorkspace(const std::string& name) {
    ScopedObjectStore store(dir_->path().string());
    auto ws = std::make_unique<Workspace>();
    RecordingUi ui;
    EXPECT_TRUE(ws->Load(Path(name), ui)) << name;
    EXPECT_TRUE(ui.Messages().empty()) << name << ": " << ui.Messages().front();
    return ws;
  }

  // The whole file must be the document's record.
  template <class Document>
  static std::unique_ptr<Document> LoadDocument(const std::string& name) {
    auto doc = std::make_unique<Document>();
    const Bytes bytes = testing::ReadFile(Path(name));
    EXPECT_FALSE(bytes.empty()) << name;
    EXPECT_EQ(testing::LoadInto(*doc, bytes), 0u) << name;
    return doc;
  }

  static TempDir* dir_;
  static bool built_;
  static std::vector<std::string> messages_;
};

TempDir* DefaultStore::dir_ = nullptr;
bool DefaultStore::built_ = false;
std::vector<std::string> DefaultStore::messages_;

TEST_F(DefaultStore, HoldsWhatTheProgramsAndWorkspacesNameAndNothingElse) {
  std::set<std::string> expected = {"RENDER.RDR",  "ENVIRONM.ENV", "MATERIAL.MAT", "PLAIN.JPG", "PREVBLK.ENV",
                                    "PREVWHT.ENV", "PREVCLR.ENV",  "RENDERED"};
  std::vector<std::string> formFiles;
  for (const char* name : kWorkspaces) {
    expected.insert(name);
    auto ws = LoadWorkspace(name);
    expected.insert(ws->GetRenderLink().GetFileName());
    expected.insert(ws->GetEnvironmentLink().GetFileName());
    for (IObject* form : Forms(*ws)) {
      formFiles.push_back(form->GetFileName());
      expected.insert(form->GetFileName());
      for (ILayer* layer : Layers(*form)) expected.insert(layer->GetMaterial().GetFileName());
    }
  }
  // A material preview writes these two just before it renders.
  expected.erase("PREVIEW.MAT");
  expected.erase("PREV.ENV");
  EXPECT_EQ(Listing(dir_->path()), expected);
  // Two forms on one file would overwrite each other's geometry.
  EXPECT_EQ(std::set<std::string>(formFiles.begin(), formFiles.end()).size(), formFiles.size());
  EXPECT_TRUE(fs::is_directory(Path("RENDERED")));
  EXPECT_TRUE(fs::is_empty(Path("RENDERED")));
}

TEST_F(DefaultStore, EveryFileLoadsBackWhole) {
  for (const std::string& name : Listing(dir_->path())) {
    SCOPED_TRACE(name);
    const std::string ext = fs::path(name).extension().string();
    if (ext == ".WSP") {
      EXPECT_GE(LoadWorkspace(name)->GetViewCount(), 1u);
    } else if (ext == ".FRM") {
      IObject form;
      uint64_t left = 1;
      testing::Load(testing::ReadFile(Path(name)), [&](CArchive& ar) {
        form.SerializeBody(ar);
        left = ar.BytesRemaining();
      });
      EXPECT_EQ(left, 0u);
      EXPECT_GT(form.GetPolygonCount(), 0u);
    } else if (ext == ".MAT") {
      LoadDocument<CMaterialDoc>(name);
    } else if (ext == ".ENV") {
      LoadDocument<CEnvironment>(name);
    } else if (ext == ".RDR") {
      LoadDocument<CRenderDoc>(name);
    } else if (ext == ".JPG") {
      ImageReadResult image = ReadImageFile(Path(name));
      ASSERT_TRUE(image.ok()) << image.message;
      EXPECT_EQ(image.bitmap.width, 64);
      EXPECT_EQ(image.bitmap.height, 64);
      for (int j = 0; j < 64; j += 9)
        for (int i = 0; i < 64; i += 9)
          for (int c = 0; c < 3; ++c) EXPECT_NEAR(image.bitmap.Texel(i, j)[c], 128, 2);
    } else if (name != "RENDERED") {
      ADD_FAILURE() << "unexpected file";
    }
  }
  // A link that cannot read its file falls back to a new document's values:
  // the delivered defaults are exactly those, so both render alike.
  EXPECT_EQ(LoadDocument<CRenderDoc>("RENDER.RDR")->Settings(), RenderSettings{});
  EXPECT_EQ(LoadDocument<CEnvironment>("ENVIRONM.ENV")->Settings(), EnvironmentSettings{});
}

TEST_F(DefaultStore, PreviewsRenderTheScratchMaterialUnderTheScratchSky) {
  for (const char* name : kPreviews) {
    SCOPED_TRACE(name);
    auto ws = LoadWorkspace(name);
    ASSERT_GE(ws->GetViewCount(), 1u);
    const IViewTran& view = ws->GetView(0).GetViewTran();
    EXPECT_TRUE(view.IsCameraView());
    ASSERT_FALSE(view.HasOwnCamera());
    EXPECT_TRUE(ws->GetItems().Contains(view.GetCamera()));
    EXPECT_GE(CountLights(*ws), 1u);
    EXPECT_EQ(ws->GetEnvironmentLink().GetFileName(), "PREV.ENV");
    EXPECT_EQ(ws->GetRenderLink().GetFileName(), "PREVIEW.RDR");
    ASSERT_FALSE(Forms(*ws).empty());
    for (IObject* form : Forms(*ws))
      for (ILayer* layer : Layers(*form)) EXPECT_EQ(layer->GetMaterial().GetFileName(), "PREVIEW.MAT");
  }
  // The preview's black, white and gradient skies.
  EXPECT_EQ(LoadDocument<CEnvironment>("PREVBLK.ENV")->Settings().horizon, CVector(0, 0, 0));
  EXPECT_EQ(LoadDocument<CEnvironment>("PREVWHT.ENV")->Settings().horizon, CVector(255, 255, 255));
  const EnvironmentSettings gradient = LoadDocument<CEnvironment>("PREVCLR.ENV")->Settings();
  EXPECT_TRUE(gradient.enablePoles);
  EXPECT_GT(gradient.positivePole.z, gradient.positivePole.x);  // a blue zenith
  EXPECT_GT(gradient.horizon.Length(), gradient.negativePole.Length() + 100);
}

TEST_F(DefaultStore, DemoShowsOffTheRenderer) {
  auto ws = LoadWorkspace("DEMO.WSP");
  EXPECT_GE(CountLights(*ws), 2u);
  ASSERT_EQ(ws->GetEnvironmentLink().GetFileName().rfind("DEMO", 0), 0u);
  const EnvironmentSettings sky = LoadDocument<CEnvironment>(ws->GetEnvironmentLink().GetFileName())->Settings();
  EXPECT_TRUE(sky.shadows);
  EXPECT_TRUE(sky.enablePoles);
  EXPECT_GT(sky.ambientLight.Length(), 0);
  ASSERT_EQ(ws->GetRenderLink().GetFileName().rfind("DEMO", 0), 0u);
  // Into a glass ball, out of it and on to what lies behind.
  EXPECT_GE(LoadDocument<CRenderDoc>(ws->GetRenderLink().GetFileName())->Settings().depthLimit, 4);

  bool textured = false, mirrored = false, glass = false;
  size_t polygons = 0;
  std::set<std::string> shapes;
  for (IObject* form : Forms(*ws)) {
    EXPECT_EQ(form->GetFileName().rfind("DEMO", 0), 0u) << form->GetFileName();
    polygons += form->GetPolygonCount();
    for (ILayer* layer : Layers(*form)) {
      shapes.insert(layer->GetName());
      const std::string& file = layer->GetMaterial().GetFileName();
      EXPECT_EQ(file.rfind("DEMO", 0), 0u) << file;
      auto material = LoadDocument<CMaterialDoc>(file);
      textured |= material->GetTextureCount() > 0;
      mirrored |= material->GetReflect().Length() > 200;
      glass |= material->IsTransparent() && std::abs(material->GetIndexOfRefraction() - 1.5) < 0.1;
    }
  }
  EXPECT_TRUE(textured);
  EXPECT_TRUE(mirrored);
  EXPECT_TRUE(glass);
  EXPECT_GE(shapes.size(), 4u);
  // The budget that keeps the demonstration quick to render.
  EXPECT_LE(polygons, 4000u);
}

TEST_F(DefaultStore, ClosedFormsFaceOutwardAndTransparentOnesAreClosed) {
  size_t closed = 0;
  for (const char* name : kWorkspaces) {
    auto ws = LoadWorkspace(name);
    for (IObject* form : Forms(*ws)) {
      SCOPED_TRACE(std::string(name) + " " + form->GetName());
      bool transparent = false;
      for (ILayer* layer : Layers(*form)) {
        const std::string& file = layer->GetMaterial().GetFileName();
        if (fs::exists(Path(file))) transparent |= LoadDocument<CMaterialDoc>(file)->IsTransparent();
      }
      // Refraction tells entering from leaving by the faces' direction.
      if (transparent) {
        EXPECT_TRUE(IsClosed(*form));
      }
      if (!IsClosed(*form)) continue;
      ++closed;
      EXPECT_GT(SignedVolume(*form), 0.0);
    }
  }
  // Spheres, rings, cones, the column and the box.
  EXPECT_GE(closed, 9u);
}

TEST_F(DefaultStore, FirstViewsFrameEveryFormOfTheirScenes) {
  for (const char* name : kWorkspaces) {
    auto ws = LoadWorkspace(name);
    const IViewTran& view = ws->GetView(0).GetViewTran();
    ASSERT_TRUE(view.IsCameraView()) << name;
    const ICamera& camera = *view.GetCamera();
    const RenderSettings settings = LoadDocument<CRenderDoc>(ws->GetRenderLink().GetFileName())->Settings();
    const double d = camera.GetViewPlaneDistance();
    const double halfWidth = camera.GetViewPlaneWidth() / 2;
    const double halfHeight = halfWidth * settings.height / (settings.pixelRatio * settings.width);
    for (IObject* form : Forms(*ws)) {
      SCOPED_TRACE(std::string(name) + " " + form->GetName());
      CBoundingBox box;
      for (IDrawable* point : form->GetPoints()) box.Add(static_cast<IPoint*>(point)->world);
      const CVector c = camera.ToCamera((box.min + box.max) * 0.5);
      ASSERT_GT(c.z, d);
      EXPECT_LT(std::abs(c.x / c.z * d), halfWidth);
      EXPECT_LT(std::abs(c.y / c.z * d), halfHeight);
    }
  }
}

TEST_F(DefaultStore, RebuildingWritesTheSameBytesAndLeavesOtherFilesAlone) {
  TempDir again;
  testing::WriteFile(again.path() / "MINE.MAT", {1, 2, 3});
  testing::WriteFile(again.path() / "DEMO.WSP", {9, 9});
  RecordingUi ui;
  ASSERT_TRUE(store::BuildStore(again.path().string(), ui));
  std::set<std::string> names = Listing(again.path());
  EXPECT_EQ(names.erase("MINE.MAT"), 1u);
  EXPECT_EQ(testing::ReadFile(again.path() / "MINE.MAT"), (Bytes{1, 2, 3}));
  ASSERT_EQ(names, Listing(dir_->path()));
  for (const std::string& name : names) {
    if (name == "RENDERED") continue;
    EXPECT_EQ(testing::ReadFile(again.path() / name), testing::ReadFile(Path(name))) << name;
  }
}

TEST(StoreBuilder, ReportsAFolderItCannotMake) {
  TempDir dir;
  testing::WriteFile(dir.path() / "file", {0});
  RecordingUi ui;
  EXPECT_FALSE(store::BuildStore((dir.path() / "file" / "OBJSTORE").string(), ui));
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_NE(ui.Messages()[0].find("file/OBJSTORE"), std::string::npos) << ui.Messages()[0];
}

}  // namespace
}  // namespace brevoxa
