// The render-settings document: its record, its ranges, and its place as
// the document that render links open.
#include "render/render_doc.h"

#include <iterator>

#include "persist/archive.h"
#include "persist/link.h"

namespace brevoxa {

IMPLEMENT_SERIAL(CRenderDoc, CObject, 0)

namespace {

constexpr uint16_t kVersionWithoutSupersampling = 1;
constexpr int kSupersamplingFactors[] = {1, 2, 3, 5};

const LinkedDocumentRegistrar<IRenderLink, CRenderDoc> renderLinkRegistrar;

}  // namespace

int RenderSettings::SupersamplingFactor() const {
  auto code = static_cast<uint16_t>(supersampling);
  // Unreachable for a document (it refuses such codes); a plain value passed
  // around on its own still samples once rather than reading past the table.
  return code < std::size(kSupersamplingFactors) ? kSupersamplingFactors[code] : 1;
}

std::optional<std::string> RenderSettings::Check() const {
  if (auto message = CheckFields({{&kWidth, double(width)},
                                  {&kHeight, double(height)},
                                  {&kDepthLimit, double(depthLimit)},
                                  {&kPixelRatio, pixelRatio},
                                  {&kOctreeLimit, double(octreeLimit)},
                                  {&kJpegQuality, double(jpegQuality)}})) {
    return message;
  }
  // The radio group cannot show any other code.
  constexpr NumberRange kSupersamplingCodes{0.0, 3.0, true};
  return kSupersamplingCodes.Check(static_cast<uint16_t>(supersampling));
}

void CRenderDoc::Serialize(CArchive& ar) {
  if (ar.IsStoring()) TakeViewValues();

  // Loading fills a copy, so that a short or refused record leaves the
  // document whole instead of half old, half new.
  RenderSettings s = settings_;
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion && version != kVersionWithoutSupersampling) return;
  ar.Transfer("width", s.width);
  ar.Transfer("height", s.height);
  ar.Transfer("depthLimit", s.depthLimit);
  ar.Transfer("pixelRatio", s.pixelRatio);
  ar.Transfer("octreeLimit", s.octreeLimit);
  ar.Transfer("jpegQuality", s.jpegQuality);
  uint8_t autoDisplay = s.autoDisplay ? 1 : 0;
  ar.Transfer("autoDisplay", autoDisplay);
  ar.Transfer("name", s.name);
  auto supersampling = static_cast<uint16_t>(s.supersampling);
  if (version == kVersion) {
    ar.Transfer("supersampling", supersampling);
  } else {
    supersampling = static_cast<uint16_t>(Supersampling::none);
  }
  if (ar.IsStoring()) return;

  s.autoDisplay = autoDisplay != 0;
  s.supersampling = static_cast<Supersampling>(supersampling);
  TakeLoaded(s, "render settings");
}

}  // namespace brevoxa
