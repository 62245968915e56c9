// Truncated and flipped settings files and images: refused whole or read whole.
#include <gtest/gtest.h>

#include <Magick++.h>

#include <random>

#include "material/environment.h"
#include "material/image_reader.h"
#include "material/material_doc.h"
#include "material/texture_catalog.h"
#include "render/render_doc.h"
#include "support/bytes.h"
#include "support/corpus_replay.h"

namespace brevoxa {
namespace {

using testing::Bytes;
using testing::FuzzImage;
using testing::FuzzOutcome;
using testing::FuzzSettings;
using testing::SettingsKind;

struct SettingsCase {
  const char* what;
  SettingsKind kind;
  Bytes bytes;
};

std::vector<SettingsCase> SettingsCases() {
  CMaterialDoc material;
  for (const TextureChoice& choice : add_texture_dialog::kChoices) material.AddTexture(MakeTexture(choice.kind));
  CEnvironment environment;
  EnvironmentSettings sky = environment.Settings();
  sky.shadows = true;
  sky.stars = 12.5;
  environment.SetSettings(sky);
  CRenderDoc render;
  RenderSettings output = render.Settings();
  output.name = "Final";
  output.supersampling = Supersampling::high;
  render.SetSettings(output);
  return {{"material", SettingsKind::material, testing::StoreOf(material)},
          {"environment", SettingsKind::environment, testing::StoreOf(environment)},
          {"render settings", SettingsKind::renderSettings, testing::StoreOf(render)}};
}

testing::Replayer ReplayAs(SettingsKind kind) {
  return [kind](const uint8_t* data, size_t size) { return FuzzSettings(kind, data, size); };
}

TEST(SettingsCorpus, EveryTruncationFailsAndKeepsTheDefaults) {
  for (const SettingsCase& c : SettingsCases()) {
    SCOPED_TRACE(c.what);
    testing::ExpectEveryCutFails(c.bytes, ReplayAs(c.kind));
  }
}

TEST(SettingsCorpus, RandomFlipsNeverLeaveAHalfReadDocument) {
  std::mt19937 random(1206);
  for (const SettingsCase& c : SettingsCases()) {
    SCOPED_TRACE(c.what);
    testing::ExpectFlipsStaySound(c.bytes, ReplayAs(c.kind), random, 1500, 3);
  }
}

// A small picture in the format the extension names.
Bytes ImageBytes(const std::string& extension) {
  InitializeImageLibrary();
  const int width = 7, height = 5;
  std::vector<uint8_t> rgb;
  for (int i = 0; i < width * height * 3; ++i) rgb.push_back(static_cast<uint8_t>(37 * i));
  Magick::Image image(width, height, "RGB", Magick::CharPixel, rgb.data());
  image.magick(extension);
  Magick::Blob blob;
  image.write(&blob);
  const auto* data = static_cast<const uint8_t*>(blob.data());
  return Bytes(data, data + blob.length());
}

TEST(ImageCorpus, TruncatedAndFlippedImagesAreRefusedOrWhole) {
  std::mt19937 random(61206);
  for (const char* extension : {"BMP", "PNG", "TGA", "TIF", "PCX", "JPG"}) {
    const Bytes whole = ImageBytes(extension);
    SCOPED_TRACE(extension);
    const std::string name = std::string(".") + extension;
    auto replay = [&](const uint8_t* data, size_t size) { return FuzzImage(data, size, name); };
    ASSERT_EQ(replay(whole.data(), whole.size()).kind, FuzzOutcome::complete);
    // Each cut and flip either decodes whole-sized or is refused.
    for (size_t cut = 0; cut < whole.size(); cut += std::max<size_t>(1, whole.size() / 97))
      ASSERT_NE(replay(whole.data(), cut).kind, FuzzOutcome::inconsistent) << cut;
    testing::ExpectFlipsStaySound(whole, replay, random, 150, 3);
  }
}

}  // namespace
}  // namespace brevoxa
