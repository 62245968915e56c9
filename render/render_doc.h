// CRenderDoc: the render-settings document (.rdr files). A workspace names
// one through its render link; the renderer reads the output size, the
// sampling and the limits from the document that link opens.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "material/form_document.h"
#include "persist/object.h"

namespace brevoxa {

// Samples per pixel along each axis: 1, 2, 3 or 5 (1, 4, 9 or 25 samples).
enum class Supersampling : uint16_t { none = 0, low = 1, medium = 2, high = 3 };

using RenderFormField = FormField;

// The settings, with the defaults of a new document, in stored order.
struct RenderSettings {
  static constexpr RenderFormField kWidth{"&Width:", {2.0, 30000.0, true}};
  static constexpr RenderFormField kHeight{"&Height:", {2.0, 30000.0, true}};
  static constexpr RenderFormField kDepthLimit{"&Depth Limit:", {1.0, 20.0, true}};
  static constexpr RenderFormField kPixelRatio{"&Pixel Ratio:", {0.1, 10.0, false}};
  static constexpr RenderFormField kOctreeLimit{"&Octree Limit:", {1.0, 20.0, true}};
  static constexpr RenderFormField kJpegQuality{"&JPeg Quality:", {25.0, 100.0, true}};

  uint16_t width = 160;
  uint16_t height = 120;
  uint16_t depthLimit = 3;
  double pixelRatio = 1.0;
  uint16_t octreeLimit = 6;
  uint16_t jpegQuality = 80;
  bool autoDisplay = true;
  std::string name;
  Supersampling supersampling = Supersampling::none;

  // Per-axis sample count of the supersampling choice.
  int SupersamplingFactor() const;
  // The range message of the first numeric field (in the order above) that
  // the form would refuse, or nothing when every field is accepted. A
  // supersampling code outside the four choices counts as refused too.
  std::optional<std::string> Check() const;

  bool operator==(const RenderSettings&) const = default;
};

// The texts of the settings form that are not numeric fields.
namespace render_form {
inline constexpr const char* kOutputImageGroup = "Output Image";
inline constexpr const char* kProcessGroup = "Process";
inline constexpr const char* kNameLabel = "&Name:";
inline constexpr const char* kAutoDisplayLabel = "&Auto Display Render";
inline constexpr const char* kSupersamplingLabel = "&Supersampling";
// Indexed by the stored supersampling code.
inline constexpr const char* kSupersamplingChoices[] = {"None", "Low", "Medium", "High"};
}  // namespace render_form

class CRenderDoc : public CObject, public FormDocument<RenderSettings> {
  DECLARE_SERIAL(CRenderDoc)
 public:
  static constexpr uint16_t kVersion = 2;

  CRenderDoc() = default;

  // record: WORD version (2), width, height, depth limit (WORDs), pixel
  // ratio (double), octree limit, JPEG quality (WORDs), auto display (BYTE),
  // name (string), supersampling (WORD). Version 1 lacks the last field and
  // loads as "None"; other versions read nothing more and keep the values.
  // A record is taken over whole or not at all: one that ends early, or
  // holds a value the form would refuse, fails with CArchiveException and
  // leaves the document as it was.
  void Serialize(CArchive& ar) override;
};

}  // namespace brevoxa
