// The environment document: its record, its ranges, and its place as the
// document that environment links open.
#include "material/environment.h"

#include <memory>
#include <utility>

#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/link.h"

namespace brevoxa {

IMPLEMENT_SERIAL(CEnvironment, CObject, 0)

namespace {

std::unique_ptr<CObject> MakeEnvironment() { return std::make_unique<CEnvironment>(); }

struct EnvironmentLinkRegistrar {
  EnvironmentLinkRegistrar() { IEnvironmentLink::SetDocumentFactory(&MakeEnvironment); }
};
const EnvironmentLinkRegistrar environmentLinkRegistrar;

// Stored flags are WORDs; anything but 0 counts as on, as a check box shows it.
void TransferFlag(CArchive& ar, std::string_view name, bool& flag) {
  uint16_t word = flag ? 1 : 0;
  ar.Transfer(name, word);
  flag = word != 0;
}

}  // namespace

std::optional<std::string> EnvironmentSettings::Check() const {
  for (auto [field, value] : {std::pair{&kShellSize, shellSize},
                              {&kStars, stars},
                              {&kPoleTension, poleTension},
                              {&kFogOccluded, fogOccludedPerUnit}}) {
    if (auto message = field->range.Check(value)) return message;
  }
  // NaN fails every comparison, so it is refused here as well.
  for (const CVector* color : {&positivePole, &horizon, &negativePole, &fogColor, &ambientLight}) {
    for (double component : {color->x, color->y, color->z}) {
      if (auto message = kColorRange.Check(component)) return message;
    }
  }
  return std::nullopt;
}

bool CEnvironment::SetSettings(const EnvironmentSettings& settings) {
  if (settings.Check()) return false;
  settings_ = settings;
  return true;
}

void CEnvironment::Serialize(CArchive& ar) {
  if (ar.IsStoring() && viewExchange_ && !viewExchange_()) throw CUserException();

  // Loading fills a copy, so that a short or refused record leaves the
  // document whole instead of half old, half new.
  EnvironmentSettings s = settings_;
  uint16_t version = kVersion;
  ar.Transfer("version", version);
  if (version != kVersion) return;
  TransferFlag(ar, "shadows", s.shadows);
  ar.Transfer("fogOccludedPerUnit", s.fogOccludedPerUnit);
  ar.Transfer("stars", s.stars);
  TransferFlag(ar, "enablePoles", s.enablePoles);
  ar.Transfer("poleTension", s.poleTension);
  ar.Transfer("shellSize", s.shellSize);
  ar.Transfer("name", s.name);
  ar.Transfer("positivePole", s.positivePole);
  ar.Transfer("negativePole", s.negativePole);
  ar.Transfer("horizon", s.horizon);
  ar.Transfer("fogColor", s.fogColor);
  ar.Transfer("ambientLight", s.ambientLight);
  if (ar.IsStoring()) return;

  // The form never stores such values; a damaged file must not hand the
  // renderer a shell of radius 0 or colours that are not numbers.
  if (auto refused = s.Check()) {
    throw CArchiveException(CArchiveException::generic, "environment: " + *refused);
  }
  settings_ = s;
}

}  // namespace brevoxa
