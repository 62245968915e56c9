// The environment document: its record, its ranges, and its place as the
// document that environment links open.
#include "material/environment.h"

#include "persist/archive.h"
#include "persist/link.h"

namespace brevoxa {

IMPLEMENT_SERIAL(CEnvironment, CObject, 0)

namespace {
const LinkedDocumentRegistrar<IEnvironmentLink, CEnvironment> environmentLinkRegistrar;
}  // namespace

std::optional<std::string> EnvironmentSettings::Check() const {
  if (auto message = CheckFields({{&kShellSize, shellSize},
                                  {&kStars, stars},
                                  {&kPoleTension, poleTension},
                                  {&kFogOccluded, fogOccludedPerUnit}})) {
    return message;
  }
  return CheckComponents(kColorRange, {&positivePole, &horizon, &negativePole, &fogColor, &ambientLight});
}

void CEnvironment::Serialize(CArchive& ar) {
  if (ar.IsStoring()) TakeViewValues();

  // Loading fills a copy, so that a short or refused record leaves the
  // document whole instead of half old, half new.
  EnvironmentSettings s = settings_;
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  TransferWordFlag(ar, "shadows", s.shadows);
  ar.Transfer("fogOccludedPerUnit", s.fogOccludedPerUnit);
  ar.Transfer("stars", s.stars);
  TransferWordFlag(ar, "enablePoles", s.enablePoles);
  ar.Transfer("poleTension", s.poleTension);
  ar.Transfer("shellSize", s.shellSize);
  ar.Transfer("name", s.name);
  ar.Transfer("positivePole", s.positivePole);
  ar.Transfer("negativePole", s.negativePole);
  ar.Transfer("horizon", s.horizon);
  ar.Transfer("fogColor", s.fogColor);
  ar.Transfer("ambientLight", s.ambientLight);
  if (ar.IsLoading()) TakeLoaded(s, "environment");
}

}  // namespace brevoxa
