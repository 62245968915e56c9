// The material document: defaults, the stored field order, its textures
// stored in name order and read back whole, refusal of damaged records,
// how texture outputs combine at a point, and opening through a link.
#include "material/material_doc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "material/texture_bitmap.h"
#include "material/texture_bumps.h"
#include "material/texture_check.h"
#include "material/texture_solid.h"
#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/link.h"
#include "persist/object_store.h"
#include "scene/axis.h"
#include "support/bytes.h"
#include "support/temp_dir.h"
#include "ui/recording_ui.h"

namespace brevoxa {

// A texture that notes when it is prepared and released, under its name.
class RecordingTexture : public ITexture {
  DECLARE_SERIAL(RecordingTexture)
 public:
  static std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
  }
  std::string name;

  void Serialize(CArchive& ar) override { ar.Transfer("name", name); }
  std::string GetName() const override { return name; }
  void Prepare() override { Log().push_back("prepare " + name); }
  void Release() override { Log().push_back("release " + name); }
};
IMPLEMENT_SERIAL(RecordingTexture, ITexture, 0)

namespace {

using testing::ByteWriter;
using testing::Bytes;

MaterialSettings Custom() {
  MaterialSettings s;
  s.hardness = 42.5;
  s.indexOfRefraction = 1.33;
  s.phong = false;
  s.specular = {1, 2, 3};
  s.reflect = {4, 5, 6};
  s.filter = {7, 8, 9};
  s.color = {10, 11, 12};
  s.name = "Glass";
  return s;
}

// The record of Custom() up to the texture count, as the file holds it.
ByteWriter CustomHead(uint16_t version = 1, double hardness = 42.5) {
  ByteWriter w;
  w.Word(version).Word(0);  // Phong off
  w.Double(1.33);          // index of refraction
  w.Double(hardness);
  w.Byte(5).Chars("Glass");
  w.Vector({1, 2, 3});     // specular
  w.Vector({4, 5, 6});     // reflect
  w.Vector({7, 8, 9});     // filter
  w.Vector({10, 11, 12});  // colour
  return w;
}

uint64_t LoadInto(CMaterialDoc& doc, const Bytes& bytes) {
  uint64_t left = 0;
  testing::Load(bytes, [&](CArchive& ar) {
    doc.Serialize(ar);
    left = ar.BytesRemaining();
  });
  return left;
}

Bytes StoreOf(CMaterialDoc& doc) {
  return testing::Store([&](CArchive& ar) { doc.Serialize(ar); });
}

std::vector<std::string> Names(const CMaterialDoc& doc) {
  std::vector<std::string> names;
  for (size_t i = 0; i < doc.GetTextureCount(); ++i) names.push_back(doc.GetTexture(i)->GetName());
  return names;
}

// A checkerboard whose two colours are the same: one flat colour in the
// channels its flags select.
std::unique_ptr<ICheckTexture> Flat(const CVector& color, bool c, bool f, bool r) {
  auto check = std::make_unique<ICheckTexture>();
  ICheckTexture::Values v = check->GetValues();
  v.firstColor = v.secondColor = color;
  v.color = c;
  v.filter = f;
  v.reflect = r;
  check->SetValues(v);
  return check;
}

SurfacePoint Evaluate(const CMaterialDoc& doc, const CVector& point, const CVector& normal = {0, 0, 1}) {
  SurfacePoint s{point, normal, {}, {}, {}, {}};
  doc.EvaluateSurface(IAxis(), s);
  return s;
}

// --- Values and record ---

TEST(MaterialDoc, StartsWithTheDocumentedDefaults) {
  const CMaterialDoc doc;
  const MaterialSettings& s = doc.Settings();
  EXPECT_EQ(s.hardness, 10.0);
  EXPECT_EQ(s.indexOfRefraction, 1.0);
  EXPECT_TRUE(s.phong);
  for (const CVector& c : {doc.GetSpecular(), doc.GetReflect(), doc.GetFilter(), doc.GetColor()}) {
    EXPECT_EQ(c, CVector(0, 0, 0));
  }
  EXPECT_EQ(s.name, "");
  EXPECT_EQ(doc.GetTextureCount(), 0u);
  EXPECT_EQ(doc.GetPreviewBackground(), CMaterialDoc::kPreviewBlack);
  EXPECT_EQ(doc.GetTexture(0), nullptr);
}

TEST(MaterialDoc, ReadsAndWritesTheFieldsInStoredOrder) {
  ByteWriter w = CustomHead();
  w.Word(0);  // no textures
  CMaterialDoc doc;
  EXPECT_EQ(LoadInto(doc, w.bytes()), 0u);
  EXPECT_EQ(doc.Settings(), Custom());
  EXPECT_EQ(StoreOf(doc), w.bytes());

  // Any non-zero Phong word is on, and is written back as 1.
  Bytes bytes = w.bytes();
  bytes[3] = 2;
  CMaterialDoc on;
  LoadInto(on, bytes);
  EXPECT_TRUE(on.GetPhong());
  EXPECT_EQ(StoreOf(on)[2], 1);
  EXPECT_EQ(StoreOf(on)[3], 0);
}

TEST(MaterialDoc, TexturesAreObjectsWithTheirClassInTheList) {
  ByteWriter w = CustomHead();
  w.Word(2);
  w.Word(0xFFFF).Class("IGraniteTexture").Word(1);
  w.Vector({9, 8, 7});
  // The second texture of the same class refers to the class by index 1.
  w.Word(0x8001).Word(1);
  w.Vector({1, 1, 1});
  CMaterialDoc doc;
  EXPECT_EQ(LoadInto(doc, w.bytes()), 0u);
  ASSERT_EQ(doc.GetTextureCount(), 2u);
  auto* first = dynamic_cast<IGraniteTexture*>(doc.GetTexture(0));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetValues().color, CVector(9, 8, 7));
  EXPECT_EQ(StoreOf(doc), w.bytes());
}

// Every kind with values other than its defaults.
void AddEveryKind(CMaterialDoc& doc) {
  ColorMap map;
  map.SetSegment(3, ColorMapSegment::solid, CVector(1, 2, 3));
  map.SetSegment(17, ColorMapSegment::linear, CVector(200, 100, 50));

  auto wood = std::make_unique<IWoodTexture>();
  wood->SetValues({{1, 2, 3}, {4, 5, 6}, 2.0, 3.0, 0.4, 0.5});
  doc.AddTexture(std::move(wood));
  auto bitmap = std::make_unique<IBitmapTexture>();
  bitmap->SetValues({"STONE.TGA", kMapCylinder, 3, 4, 2.5, false, true, true, true});
  doc.AddTexture(std::move(bitmap));
  auto rolling = std::make_unique<IRollingBumpsTexture>();
  rolling->SetValues({0.1, 0.2, 0.3, 0.4, kMapSphere});
  doc.AddTexture(std::move(rolling));
  auto radial = std::make_unique<IRadialWaveTexture>();
  radial->SetValues({0.5, 0.6, 0.7, 0.8, kMapCylinder});
  doc.AddTexture(std::move(radial));
  auto check = std::make_unique<ICheckTexture>();
  check->SetValues({kMapPlane, 3, 5, {9, 9, 9}, {8, 8, 8}, false, true, false, 33.0});
  doc.AddTexture(std::move(check));
  auto marble = std::make_unique<IMarbleTexture>();
  marble->SetValues({2.5, map});
  doc.AddTexture(std::move(marble));
  auto clouds = std::make_unique<ICloudsTexture>();
  clouds->SetValues({0.25, map});
  doc.AddTexture(std::move(clouds));
  auto granite = std::make_unique<IGraniteTexture>();
  granite->SetValues({{30, 60, 90}});
  doc.AddTexture(std::move(granite));
  auto woodRange = std::make_unique<IWoodRangeTexture>();
  woodRange->SetValues({0.75, map});
  doc.AddTexture(std::move(woodRange));
  auto rough = std::make_unique<IRoughnessTexture>();
  rough->SetValues({0.125, IRoughnessTexture::kUseTurbulence});
  doc.AddTexture(std::move(rough));
  auto range = std::make_unique<IColorRangeTexture>();
  range->SetValues({0.3, map, IColorRangeTexture::kSpheresAtOrigin});
  doc.AddTexture(std::move(range));
}

template <class T>
const T* Find(const CMaterialDoc& doc) {
  for (size_t i = 0; i < doc.GetTextureCount(); ++i) {
    if (const T* t = dynamic_cast<const T*>(doc.GetTexture(i))) return t;
  }
  return nullptr;
}

template <class T>
void ExpectSameValues(const CMaterialDoc& a, const CMaterialDoc& b) {
  const T* x = Find<T>(a);
  const T* y = Find<T>(b);
  ASSERT_NE(x, nullptr);
  ASSERT_NE(y, nullptr);
  EXPECT_TRUE(x->GetValues() == y->GetValues()) << x->GetName();
}

TEST(MaterialDoc, EveryTextureKindSurvivesARoundTripInNameOrder) {
  CMaterialDoc doc;
  ASSERT_TRUE(doc.SetSettings(Custom()));
  AddEveryKind(doc);
  const Bytes bytes = StoreOf(doc);
  const std::vector<std::string> sorted = {"Bitmap STONE.TGA", "Checkerboard", "Clouds",       "Color Range",
                                           "Granite",          "Marble",       "Radial Wave",  "Rolling Bumps",
                                           "Roughness",        "Wood",         "Wood - Range"};
  // Storing sorted the document's own list as well.
  EXPECT_EQ(Names(doc), sorted);

  CMaterialDoc back;
  EXPECT_EQ(LoadInto(back, bytes), 0u);
  EXPECT_EQ(back.Settings(), Custom());
  EXPECT_EQ(Names(back), sorted);
  ExpectSameValues<IBitmapTexture>(doc, back);
  ExpectSameValues<IRollingBumpsTexture>(doc, back);
  ExpectSameValues<IRadialWaveTexture>(doc, back);
  ExpectSameValues<IWoodTexture>(doc, back);
  ExpectSameValues<ICheckTexture>(doc, back);
  ExpectSameValues<IMarbleTexture>(doc, back);
  ExpectSameValues<ICloudsTexture>(doc, back);
  ExpectSameValues<IGraniteTexture>(doc, back);
  ExpectSameValues<IWoodRangeTexture>(doc, back);
  ExpectSameValues<IRoughnessTexture>(doc, back);
  ExpectSameValues<IColorRangeTexture>(doc, back);
  EXPECT_EQ(StoreOf(back), bytes);
}

TEST(MaterialDoc, SavingPutsTexturesInAlphabeticalOrder) {
  CMaterialDoc doc;
  doc.AddTexture(std::make_unique<IWoodTexture>());
  doc.AddTexture(std::make_unique<ICloudsTexture>());
  CMaterialDoc back;
  LoadInto(back, StoreOf(doc));
  EXPECT_EQ(Names(back), (std::vector<std::string>{"Clouds", "Wood"}));

  // Letter case does not count; equal names keep their order.
  EXPECT_TRUE(CMaterialDoc::TextureNameLess("bitmap z.bmp", "Checkerboard"));
  EXPECT_FALSE(CMaterialDoc::TextureNameLess("WOOD", "wood"));
  EXPECT_FALSE(CMaterialDoc::TextureNameLess("wood", "WOOD"));
  CMaterialDoc twins;
  ITexture* a = twins.AddTexture(std::make_unique<IWoodTexture>());
  twins.AddTexture(std::make_unique<IMarbleTexture>());
  ITexture* b = twins.AddTexture(std::make_unique<IWoodTexture>());
  twins.SortTexturesByName();
  EXPECT_EQ(twins.GetTexture(1), a);
  EXPECT_EQ(twins.GetTexture(2), b);
}

TEST(MaterialDoc, OtherVersionsReadNothingMoreAndKeepTheDefaults) {
  for (uint16_t version : {0, 2, 0xFFFF}) {
    ByteWriter w = CustomHead(version);
    w.Word(1).Word(0xFFFF).Class("IGraniteTexture").Word(1);
    w.Vector({9, 8, 7});
    CMaterialDoc doc;
    EXPECT_EQ(LoadInto(doc, w.bytes()), w.bytes().size() - 2) << version;
    EXPECT_EQ(doc.Settings(), MaterialSettings{}) << version;
    EXPECT_EQ(doc.GetTextureCount(), 0u) << version;
  }
}

TEST(MaterialDoc, ADamagedRecordChangesNothing) {
  // A document with values and a texture of its own, which must survive.
  auto loaded = [] {
    auto doc = std::make_unique<CMaterialDoc>();
    doc->SetSettings(Custom());
    doc->AddTexture(std::make_unique<IWoodTexture>());
    return doc;
  };
  ByteWriter good = CustomHead();
  good.Word(2).Word(0xFFFF).Class("IGraniteTexture").Word(1);
  good.Vector({9, 8, 7});
  good.Word(0xFFFF).Class("IMarbleTexture").Word(1);
  good.Double(1.0);
  const Bytes full = good.bytes();

  struct Case {
    const char* what;
    Bytes bytes;
    CArchiveException::Cause cause;
  };
  std::vector<Case> cases;
  for (size_t length : {size_t{1}, size_t{40}, full.size() - 1}) {
    cases.push_back({"cut short", Bytes(full.begin(), full.begin() + length), CArchiveException::endOfFile});
  }
  {
    ByteWriter w = CustomHead();
    w.Word(60000);  // more textures than bytes
    cases.push_back({"count", w.bytes(), CArchiveException::endOfFile});
  }
  {
    ByteWriter w = CustomHead();
    w.Word(1).Word(0xFFFF).Class("ColorMap").Word(1);
    cases.push_back({"not a texture", w.bytes(), CArchiveException::badClass});
  }
  {
    ByteWriter w = CustomHead();
    w.Word(2).Word(0xFFFF).Class("IGraniteTexture").Word(1);
    w.Vector({9, 8, 7});
    w.Word(2);  // the same texture again
    cases.push_back({"owned twice", w.bytes(), CArchiveException::badIndex});
  }
  for (double hardness : {0.0, 30001.0, std::numeric_limits<double>::quiet_NaN()}) {
    ByteWriter w = CustomHead(1, hardness);
    w.Word(0);
    cases.push_back({"hardness", w.bytes(), CArchiveException::generic});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto doc = loaded();
    const ITexture* own = doc->GetTexture(0);
    try {
      LoadInto(*doc, c.bytes);
      FAIL();
    } catch (const CArchiveException& e) {
      EXPECT_EQ(e.cause(), c.cause) << e.what();
    }
    EXPECT_EQ(doc->Settings(), Custom());
    ASSERT_EQ(doc->GetTextureCount(), 1u);
    EXPECT_EQ(doc->GetTexture(0), own);
  }
}

TEST(MaterialDoc, FormRangesAndTheViewExchange) {
  MaterialSettings s = Custom();
  EXPECT_EQ(s.Check(), std::nullopt);
  s.indexOfRefraction = 100.5;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.01 and 100.");
  s.hardness = 0.001;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.01 and 30000.");
  CMaterialDoc doc;
  EXPECT_FALSE(doc.SetSettings(s));
  EXPECT_EQ(doc.Settings(), MaterialSettings{});

  // The view's values and list order are taken before anything is written.
  ITexture* wood = doc.AddTexture(std::make_unique<IWoodTexture>());
  ITexture* clouds = doc.AddTexture(std::make_unique<ICloudsTexture>());
  doc.SetViewExchange([&] { return doc.SetSettings(Custom()) && doc.ReorderTextures({clouds, wood}); });
  CMaterialDoc back;
  LoadInto(back, StoreOf(doc));
  EXPECT_EQ(back.Settings(), Custom());
  EXPECT_EQ(Names(back), (std::vector<std::string>{"Clouds", "Wood"}));

  doc.SetViewExchange([] { return false; });
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  EXPECT_THROW(doc.Serialize(ar), CUserException);
  ar.Close();
  EXPECT_EQ(file.GetLength(), 0u);
}

TEST(MaterialDoc, ReorderingTakesOnlyAPermutationOfItsOwnTextures) {
  CMaterialDoc doc;
  ITexture* a = doc.AddTexture(std::make_unique<IWoodTexture>());
  ITexture* b = doc.AddTexture(std::make_unique<IGraniteTexture>());
  IWoodTexture stranger;
  EXPECT_FALSE(doc.DropTexture(&stranger));
  for (const std::vector<const ITexture*>& wrong :
       {std::vector<const ITexture*>{a}, {a, a}, {a, &stranger}}) {
    EXPECT_FALSE(doc.ReorderTextures(wrong));
    EXPECT_EQ(doc.GetTexture(0), a);
  }
  EXPECT_TRUE(doc.ReorderTextures({b, a}));
  EXPECT_EQ(doc.GetTexture(0), b);
  EXPECT_TRUE(doc.DropTexture(b));
  EXPECT_EQ(doc.GetTextureCount(), 1u);
}

// --- Combining texture outputs ---

TEST(MaterialSurface, ColoursAddUpAndClamp) {
  CMaterialDoc doc;
  doc.SetSettings(Custom());
  SurfacePoint s = Evaluate(doc, {1, 2, 3}, {0, 1, 0});
  EXPECT_EQ(s.color, CVector(10, 11, 12));
  EXPECT_EQ(s.filter, CVector(7, 8, 9));
  EXPECT_EQ(s.reflect, CVector(4, 5, 6));
  EXPECT_EQ(s.shadingNormal, CVector(0, 1, 0));

  doc.AddTexture(Flat({255, 0, 0}, true, false, false));
  doc.AddTexture(Flat({0, 255, 0}, true, false, false));
  // The material's own colour is not part of the sum.
  s = Evaluate(doc, {0.3, 0.2, 0.1});
  EXPECT_EQ(s.color, CVector(255, 255, 0));
  EXPECT_EQ(s.filter, CVector(7, 8, 9));

  CMaterialDoc reds;
  reds.AddTexture(Flat({255, 0, 0}, true, false, false));
  reds.AddTexture(Flat({255, 0, 0}, true, false, false));
  EXPECT_EQ(Evaluate(reds, {0.3, 0.2, 0.1}).color, CVector(255, 0, 0));
}

TEST(MaterialSurface, EachChannelOnlyFromTheTexturesThatAffectIt) {
  CMaterialDoc doc;
  doc.SetSettings(Custom());
  doc.AddTexture(Flat({200, 100, 50}, false, false, true));
  SurfacePoint s = Evaluate(doc, {0.3, 0.2, 0.1});
  EXPECT_EQ(s.reflect, CVector(200, 100, 50));
  EXPECT_EQ(s.color, CVector(10, 11, 12));
  EXPECT_EQ(s.filter, CVector(7, 8, 9));

  // Roughness alone: the colours stay, the normal turns and stays unit.
  CMaterialDoc rough;
  rough.SetSettings(Custom());
  rough.AddTexture(std::make_unique<IRoughnessTexture>());
  s = Evaluate(rough, {0.3, 0.2, 0.1});
  EXPECT_EQ(s.color, CVector(10, 11, 12));
  EXPECT_EQ(s.filter, CVector(7, 8, 9));
  EXPECT_EQ(s.reflect, CVector(4, 5, 6));
  EXPECT_NE(s.shadingNormal, CVector(0, 0, 1));
  EXPECT_NEAR(s.shadingNormal.Length(), 1.0, 1e-12);

  // A colour map that holds a colour that is no number never reaches the
  // renderer as one.
  ColorMap broken;
  broken.SetSegment(0, ColorMapSegment::solid, CVector(std::numeric_limits<double>::quiet_NaN(), 300, -5));
  broken.SetSegment(20, ColorMapSegment::solid, CVector(std::numeric_limits<double>::quiet_NaN(), 300, -5));
  auto range = std::make_unique<IColorRangeTexture>();
  range->SetValues({0.0, broken, IColorRangeTexture::kXYPlanes});
  CMaterialDoc nan;
  nan.AddTexture(std::move(range));
  EXPECT_EQ(Evaluate(nan, {0, 0, 0.5}).color, CVector(0, 255, 0));
}

TEST(MaterialSurface, TransparencyFromTheFilterOrAFilterTexture) {
  CMaterialDoc doc;
  doc.AddTexture(Flat({1, 1, 1}, true, false, true));
  EXPECT_FALSE(doc.IsTransparent());
  MaterialSettings s;
  s.filter = {0, 0, 1};
  doc.SetSettings(s);
  EXPECT_TRUE(doc.IsTransparent());

  CMaterialDoc textured;
  textured.AddTexture(Flat({0, 0, 0}, false, true, false));
  EXPECT_TRUE(textured.IsTransparent());
  // For a shadow ray only the filter counts; the zero normal stays zero.
  const SurfacePoint shadow = Evaluate(textured, {0.1, 0.2, 0.3}, {0, 0, 0});
  EXPECT_EQ(shadow.filter, CVector(0, 0, 0));
  EXPECT_EQ(shadow.shadingNormal, CVector(0, 0, 0));
}

// --- Links ---

class MaterialLinkTest : public ::testing::Test {
 protected:
  MaterialLinkTest() : store_(dir_.path().string()), scoped_(ui_) { RecordingTexture::Log().clear(); }

  void Write(const std::string& name, const Bytes& bytes) {
    CDiskFile file(dir_.File(name), CDiskFile::modeCreate);
    file.Write(bytes.data(), bytes.size());
    file.Close();
  }

  testing::TempDir dir_;
  ScopedObjectStore store_;
  RecordingUi ui_;
  ScopedUserInterface scoped_;
};

TEST_F(MaterialLinkTest, OpeningPreparesEveryTextureInOrderAndClosingReleasesThem) {
  ByteWriter w = CustomHead();
  w.Word(2).Word(0xFFFF).Class("RecordingTexture").Byte(1).Chars("B");
  w.Word(0x8001).Byte(1).Chars("A");
  Write("MATERIAL.MAT", w.bytes());

  IMaterialLink link;
  link.Open();
  auto* doc = dynamic_cast<CMaterialDoc*>(link.GetLinkedDocument());
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Settings(), Custom());
  EXPECT_TRUE(ui_.Messages().empty());
  EXPECT_EQ(RecordingTexture::Log(), (std::vector<std::string>{"prepare B", "prepare A"}));
  link.Close();
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(RecordingTexture::Log(),
            (std::vector<std::string>{"prepare B", "prepare A", "release B", "release A"}));

  // Opening again without closing, and destroying an open link, release too.
  RecordingTexture::Log().clear();
  {
    IMaterialLink again;
    again.Open();
    again.Open();
  }
  EXPECT_EQ(RecordingTexture::Log(), (std::vector<std::string>{"prepare B", "prepare A", "release B", "release A",
                                                               "prepare B", "prepare A", "release B", "release A"}));
}

TEST_F(MaterialLinkTest, ACorruptFileGivesTheDefaultsWithAMessage) {
  ByteWriter w = CustomHead();
  w.Word(3).Word(0xFFFF).Class("RecordingTexture").Byte(1).Chars("B");  // then nothing
  Write("BROKEN.MAT", w.bytes());
  IMaterialLink link;
  link.SetFileName("BROKEN.MAT");
  link.Open();
  auto* doc = dynamic_cast<CMaterialDoc*>(link.GetLinkedDocument());
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->Settings(), MaterialSettings{});
  EXPECT_EQ(doc->GetTextureCount(), 0u);
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.Messages()[0], "Unable to load" + dir_.File("BROKEN.MAT") + ".  Using defaults.");
  // The texture read before the failure was destroyed, never prepared.
  EXPECT_TRUE(RecordingTexture::Log().empty());
  link.Close();
}

TEST_F(MaterialLinkTest, ABitmapThatCannotLoadSaysSoWhenTheLinkOpens) {
  CMaterialDoc doc;
  auto bitmap = std::make_unique<IBitmapTexture>();
  bitmap->SetValues({"GONE.JPG", kMapPlane, 1, 1, 15.0, true, false, false, false});
  doc.AddTexture(std::move(bitmap));
  Write("MATERIAL.MAT", StoreOf(doc));

  IMaterialLink link;
  link.Open();
  ASSERT_EQ(ui_.Messages().size(), 1u);
  EXPECT_EQ(ui_.Messages()[0], "Unable to load bitmap " + dir_.File("GONE.JPG") + " for texture.");
  // Inert: the material's own colour shows.
  auto* opened = dynamic_cast<CMaterialDoc*>(link.GetLinkedDocument());
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(Evaluate(*opened, {0, 0, 0}).color, CVector(0, 0, 0));
  link.Close();
}

}  // namespace
}  // namespace brevoxa
