// The material document, its textures and how they combine; the environment document.
#include "material/material_doc.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "material/environment.h"
#include "material/texture_bitmap.h"
#include "material/texture_bumps.h"
#include "material/texture_check.h"
#include "material/texture_solid.h"
#include "persist/link.h"
#include "scene/axis.h"
#include "support/settings_doc_suite.h"

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
using testing::LoadInto;
using testing::StoreOf;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The record up to and including the texture count.
ByteWriter Head(uint16_t version, const MaterialSettings& s, uint16_t textures) {
  ByteWriter w;
  w.Word(version).Word(s.phong).Double(s.indexOfRefraction).Double(s.hardness);
  w.Byte(static_cast<uint8_t>(s.name.size())).Chars(s.name);
  w.Vector(s.specular).Vector(s.reflect).Vector(s.filter).Vector(s.color);
  w.Word(textures);
  return w;
}

struct MaterialTraits {
  using Doc = CMaterialDoc;
  using Settings = MaterialSettings;
  using Link = IMaterialLink;
  static constexpr uint16_t kVersion = 1;
  static constexpr const char* kDefaultFile = "MATERIAL.MAT";

  static Settings Custom() { return {42.5, 1.33, false, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, "Glass"}; }
  static Bytes Record(uint16_t version, const Settings& s) { return Head(version, s, 0).bytes(); }
  static std::vector<uint16_t> UnknownVersions() { return {0, 2, 0xFFFF}; }
  static std::vector<void (*)(Settings&)> Refused() {
    return {[](Settings& s) { s.hardness = 0.0; }, [](Settings& s) { s.hardness = 30001.0; },
            [](Settings& s) { s.hardness = kNaN; }, [](Settings& s) { s.indexOfRefraction = 100.5; },
            [](Settings& s) { s.filter.y = -0.5; }};
  }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Material, SettingsDocTest, MaterialTraits);

MaterialSettings Custom() { return MaterialTraits::Custom(); }
ByteWriter CustomHead(uint16_t textures) { return Head(1, Custom(), textures); }

std::vector<std::string> Names(const CMaterialDoc& doc) {
  std::vector<std::string> names;
  for (size_t i = 0; i < doc.GetTextureCount(); ++i) names.push_back(doc.GetTexture(i)->GetName());
  return names;
}

// A checkerboard of one colour in the channels its flags select.
std::unique_ptr<ICheckTexture> Flat(const CVector& color, bool c, bool f, bool r) {
  auto check = std::make_unique<ICheckTexture>();
  check->SetValues({kMapPlane, 1, 1, color, color, c, f, r, 0.0});
  return check;
}

SurfacePoint Evaluate(const CMaterialDoc& doc, const CVector& normal = {0, 0, 1}) {
  SurfacePoint s{{0.3, 0.2, 0.1}, normal, {}, {}, {}, {}};
  doc.EvaluateSurface(IAxis(), s);
  return s;
}

// The command-line tool's info_TILES.MAT.txt pins the field names too.
TEST(MaterialDoc, StoredFieldsAndTexturesWithTheirClass) {
  ByteWriter w = CustomHead(2);
  w.Word(0xFFFF).Class("IGraniteTexture").Word(1).Vector({9, 8, 7});
  w.Word(0x8001).Word(1).Vector({1, 1, 1});  // the same class again, by index
  CMaterialDoc doc;
  EXPECT_EQ(LoadInto(doc, w.bytes()), 0u);
  EXPECT_EQ(doc.Settings(), Custom());
  EXPECT_EQ(Names(doc), (std::vector<std::string>{"Granite", "Granite"}));
  EXPECT_EQ(StoreOf(doc), w.bytes());
  // Any non-zero Phong word is on, and is written back as 1.
  Bytes bytes = CustomHead(0).bytes();
  bytes[3] = 2;
  LoadInto(doc, bytes);
  EXPECT_TRUE(doc.GetPhong());
  EXPECT_EQ(StoreOf(doc)[2] + 256 * StoreOf(doc)[3], 1);
}

TEST(MaterialDoc, EveryTextureKindSurvivesARoundTripInNameOrder) {
  CMaterialDoc doc;
  ASSERT_TRUE(doc.SetSettings(Custom()));
  ColorMap map;
  map.SetSegment(3, ColorMapSegment::solid, CVector(1, 2, 3));
  map.SetSegment(17, ColorMapSegment::linear, CVector(200, 100, 50));
  auto add = [&](auto texture, const auto& values) {
    texture->SetValues(values);
    doc.AddTexture(std::move(texture));
  };
  add(std::make_unique<IWoodTexture>(), IWoodTexture::Values{{1, 2, 3}, {4, 5, 6}, 2.0, 3.0, 0.4, 0.5});
  add(std::make_unique<IBitmapTexture>(),
      IBitmapTexture::Values{"STONE.TGA", kMapCylinder, 3, 4, 2.5, false, true, true, true});
  add(std::make_unique<IRollingBumpsTexture>(), IRollingBumpsTexture::Values{0.1, 0.2, 0.3, 0.4, kMapSphere});
  add(std::make_unique<IRadialWaveTexture>(), IRadialWaveTexture::Values{0.5, 0.6, 0.7, 0.8, kMapCylinder});
  add(std::make_unique<ICheckTexture>(),
      ICheckTexture::Values{kMapPlane, 3, 5, {9, 9, 9}, {8, 8, 8}, false, true, false, 33.0});
  add(std::make_unique<IMarbleTexture>(), IColorMapTexture::Values{2.5, map});
  add(std::make_unique<ICloudsTexture>(), IColorMapTexture::Values{0.25, map});
  add(std::make_unique<IGraniteTexture>(), IGraniteTexture::Values{{30, 60, 90}});
  add(std::make_unique<IWoodRangeTexture>(), IColorMapTexture::Values{0.75, map});
  add(std::make_unique<IRoughnessTexture>(), IRoughnessTexture::Values{0.125, IRoughnessTexture::kUseTurbulence});
  add(std::make_unique<IColorRangeTexture>(),
      IColorRangeTexture::Values{0.3, map, IColorRangeTexture::kSpheresAtOrigin});
  const Bytes bytes = StoreOf(doc);
  const std::vector<std::string> sorted = {"Bitmap STONE.TGA", "Checkerboard", "Clouds",       "Color Range",
                                           "Granite",          "Marble",       "Radial Wave",  "Rolling Bumps",
                                           "Roughness",        "Wood",         "Wood - Range"};
  EXPECT_EQ(Names(doc), sorted);  // storing sorted the document's own list too
  CMaterialDoc back;
  EXPECT_EQ(LoadInto(back, bytes), 0u);
  EXPECT_EQ(back.Settings(), Custom());
  EXPECT_EQ(Names(back), sorted);
  EXPECT_EQ(StoreOf(back), bytes);
}

TEST(MaterialDoc, TextureOrderIgnoresLetterCaseKeepsTiesAndTakesOnlyPermutations) {
  EXPECT_TRUE(CMaterialDoc::TextureNameLess("bitmap z.bmp", "Checkerboard"));
  EXPECT_FALSE(CMaterialDoc::TextureNameLess("WOOD", "wood") || CMaterialDoc::TextureNameLess("wood", "WOOD"));
  CMaterialDoc doc;
  ITexture* a = doc.AddTexture(std::make_unique<IWoodTexture>());
  ITexture* m = doc.AddTexture(std::make_unique<IMarbleTexture>());
  ITexture* b = doc.AddTexture(std::make_unique<IWoodTexture>());
  doc.SortTexturesByName();
  EXPECT_EQ(doc.GetTexture(1), a);
  EXPECT_EQ(doc.GetTexture(2), b);
  IWoodTexture stranger;
  EXPECT_FALSE(doc.DropTexture(&stranger));
  for (const std::vector<const ITexture*>& wrong : {std::vector<const ITexture*>{a, m}, {a, a, m}, {a, m, &stranger}}) {
    EXPECT_FALSE(doc.ReorderTextures(wrong));
    EXPECT_EQ(doc.GetTexture(0), m);
  }
  EXPECT_TRUE(doc.DropTexture(m));
  EXPECT_TRUE(doc.ReorderTextures({b, a}));
  EXPECT_EQ(doc.GetTexture(0), b);
}

TEST(MaterialDoc, ADamagedTextureListChangesNothing) {
  ByteWriter good = CustomHead(2);
  good.Word(0xFFFF).Class("IGraniteTexture").Word(1).Vector({9, 8, 7});
  good.Word(0xFFFF).Class("IMarbleTexture").Word(1).Double(1.0);
  MaterialSettings zero = Custom();
  zero.hardness = 0.0;
  const struct {
    const char* what;
    Bytes bytes;
    CArchiveException::Cause cause;
  } cases[] = {
      {"cut inside the list", Bytes(good.bytes().begin(), good.bytes().end() - 1), CArchiveException::endOfFile},
      {"more textures than bytes", CustomHead(60000).bytes(), CArchiveException::endOfFile},
      {"not a texture", CustomHead(1).Word(0xFFFF).Class("ColorMap").Word(1).bytes(), CArchiveException::badClass},
      {"owned twice", CustomHead(2).Word(0xFFFF).Class("IGraniteTexture").Word(1).Vector({9, 8, 7}).Word(2).bytes(),
       CArchiveException::badIndex},
      {"refused values after good textures",
       Head(1, zero, 1).Word(0xFFFF).Class("IGraniteTexture").Word(1).Vector({9, 8, 7}).bytes(),
       CArchiveException::generic},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CMaterialDoc doc;
    doc.SetSettings(Custom());
    const ITexture* own = doc.AddTexture(std::make_unique<IWoodTexture>());
    EXPECT_EQ(testing::LoadCause(doc, c.bytes), c.cause);
    EXPECT_EQ(doc.Settings(), Custom());
    EXPECT_EQ(Names(doc), std::vector<std::string>{"Wood"});
    EXPECT_EQ(doc.GetTexture(0), own);
  }
}

TEST(MaterialDoc, FormMessagesAndTheViewsTextureOrder) {
  MaterialSettings s = Custom();
  s.indexOfRefraction = 100.5;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.01 and 100.");
  s.hardness = 0.001;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.01 and 30000.");
  // The view's values and list order are taken before anything is written.
  CMaterialDoc doc;
  ITexture* wood = doc.AddTexture(std::make_unique<IWoodTexture>());
  ITexture* clouds = doc.AddTexture(std::make_unique<ICloudsTexture>());
  doc.SetViewExchange([&] { return doc.SetSettings(Custom()) && doc.ReorderTextures({clouds, wood}); });
  CMaterialDoc back;
  LoadInto(back, StoreOf(doc));
  EXPECT_EQ(back.Settings(), Custom());
  EXPECT_EQ(Names(back), (std::vector<std::string>{"Clouds", "Wood"}));
}

TEST(MaterialSurface, EachChannelSumsItsTexturesClampedOrKeepsTheMaterialsValue) {
  CMaterialDoc doc;
  doc.SetSettings(Custom());
  SurfacePoint s = Evaluate(doc, {0, 1, 0});
  EXPECT_EQ(s.color, CVector(10, 11, 12));
  EXPECT_EQ(s.filter, CVector(7, 8, 9));
  EXPECT_EQ(s.reflect, CVector(4, 5, 6));
  EXPECT_EQ(s.shadingNormal, CVector(0, 1, 0));
  // The material's own colour is not part of the sum.
  doc.AddTexture(Flat({255, 0, 0}, true, false, false));
  doc.AddTexture(Flat({255, 255, 0}, true, false, false));
  doc.AddTexture(Flat({200, 100, 50}, false, false, true));
  doc.AddTexture(std::make_unique<IRoughnessTexture>());
  s = Evaluate(doc);
  EXPECT_EQ(s.color, CVector(255, 255, 0));
  EXPECT_EQ(s.filter, CVector(7, 8, 9));
  EXPECT_EQ(s.reflect, CVector(200, 100, 50));
  EXPECT_NE(s.shadingNormal, CVector(0, 0, 1));

  // A colour that is no number never reaches the renderer as one.
  ColorMap broken;
  for (int i : {0, 20}) broken.SetSegment(i, ColorMapSegment::solid, {kNaN, 300, -5});
  auto range = std::make_unique<IColorRangeTexture>();
  range->SetValues({0.0, broken, IColorRangeTexture::kXYPlanes});
  CMaterialDoc nan;
  nan.AddTexture(std::move(range));
  EXPECT_EQ(Evaluate(nan).color, CVector(0, 255, 0));
}

TEST(MaterialSurface, TransparencyFromTheFilterOrAFilterTexture) {
  CMaterialDoc doc;
  doc.AddTexture(Flat({1, 1, 1}, true, false, true));
  EXPECT_FALSE(doc.IsTransparent());
  doc.SetSettings({10.0, 1.0, true, {}, {}, {0, 0, 1}, {}, ""});
  EXPECT_TRUE(doc.IsTransparent());
  CMaterialDoc textured;
  textured.AddTexture(Flat({0, 0, 0}, false, true, false));
  EXPECT_TRUE(textured.IsTransparent());
  // For a shadow ray only the filter counts; the zero normal stays zero.
  const SurfacePoint shadow = Evaluate(textured, {0, 0, 0});
  EXPECT_EQ(shadow.filter, CVector(0, 0, 0));
  EXPECT_EQ(shadow.shadingNormal, CVector(0, 0, 0));
}

TEST(MaterialLink, PreparesEveryTextureInOrderAndReleasesThemAndACorruptFileGivesTheDefaults) {
  testing::TempDir dir;
  ScopedObjectStore store(dir.path().string());
  RecordingUi ui;
  ScopedUserInterface scoped(ui);
  RecordingTexture::Log().clear();
  ByteWriter w = CustomHead(2);
  w.Word(0xFFFF).Class("RecordingTexture").Byte(1).Chars("B");
  testing::WriteFile(dir.File("BROKEN.MAT"), w.bytes());  // two textures promised, one there
  w.Word(0x8001).Byte(1).Chars("A");
  testing::WriteFile(dir.File("MATERIAL.MAT"), w.bytes());
  {
    IMaterialLink link;
    link.Open();
    EXPECT_EQ(dynamic_cast<CMaterialDoc&>(*link.GetLinkedDocument()).Settings(), Custom());
    EXPECT_EQ(RecordingTexture::Log(), (std::vector<std::string>{"prepare B", "prepare A"}));
    link.Open();  // opening again releases, as destroying an open link does
  }
  EXPECT_TRUE(ui.Messages().empty());
  EXPECT_EQ(RecordingTexture::Log(), (std::vector<std::string>{"prepare B", "prepare A", "release B", "release A",
                                                               "prepare B", "prepare A", "release B", "release A"}));
  RecordingTexture::Log().clear();
  IMaterialLink link;
  link.SetFileName("BROKEN.MAT");
  link.Open();
  EXPECT_EQ(dynamic_cast<CMaterialDoc&>(*link.GetLinkedDocument()).GetTextureCount(), 0u);
  EXPECT_TRUE(RecordingTexture::Log().empty());  // the texture read before the failure was never prepared
  link.Close();
}

// --- The environment document ---

// Record() is the stored order, which is not the form's; the command-line
// tool's info_NIGHT.ENV.txt pins it by name too.
struct EnvironmentTraits {
  using Doc = CEnvironment;
  using Settings = EnvironmentSettings;
  using Link = IEnvironmentLink;
  static constexpr uint16_t kVersion = 1;
  static constexpr const char* kDefaultFile = "ENVIRONM.ENV";

  static Settings Custom() {
    return {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, true, false, 2.5, 12.0, 0.75, 500.0, "Dusk"};
  }
  static Bytes Record(uint16_t version, const Settings& s) {
    ByteWriter w;
    w.Word(version).Word(s.shadows).Double(s.fogOccludedPerUnit).Double(s.stars).Word(s.enablePoles);
    w.Double(s.poleTension).Double(s.shellSize);
    w.Byte(static_cast<uint8_t>(s.name.size())).Chars(s.name);
    for (const CVector& v : {s.positivePole, s.negativePole, s.horizon, s.fogColor, s.ambientLight}) w.Vector(v);
    return w.bytes();
  }
  static std::vector<uint16_t> UnknownVersions() { return {0, 2, 0xFFFF}; }
  static std::vector<void (*)(Settings&)> Refused() {
    return {[](Settings& s) { s.shellSize = 0.0; },         [](Settings& s) { s.stars = 100.5; },
            [](Settings& s) { s.poleTension = 0.0; },       [](Settings& s) { s.fogOccludedPerUnit = kNaN; },
            [](Settings& s) { s.ambientLight.y = kNaN; },   [](Settings& s) { s.negativePole.z = 256.0; },
            [](Settings& s) { s.horizon.x = -1.0; }};
  }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Environment, SettingsDocTest, EnvironmentTraits);

TEST(Environment, AnyNonZeroFlagWordIsOnAndTheFirstRefusedFieldIsReported) {
  Bytes bytes = EnvironmentTraits::Record(1, EnvironmentTraits::Custom());
  bytes[2] = 7;   // shadows
  bytes[20] = 0;  // enable poles = 256
  bytes[21] = 1;
  CEnvironment env;
  testing::LoadInto(env, bytes);
  EXPECT_TRUE(env.Settings().shadows && env.Settings().enablePoles);
  EnvironmentSettings s;
  s.poleTension = 0.005;
  EXPECT_EQ(s.Check(), "Please enter a number between 0.01 and 100.");
  s.shellSize = 0.5;  // earlier in the form
  EXPECT_EQ(s.Check(), "Please enter a number between 1 and 30000.");
}

}  // namespace
}  // namespace brevoxa
