// The array settings and the Array command.
#include "editor/model/arrays.h"

#include <memory>

#include "editor/model/editor_dialogs.h"
#include "editor/model/workspace_doc.h"
#include "material/random_source.h"
#include "scene/form_object.h"
#include "scene/generator_settings.h"
#include "scene/layer.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {
// The file-name letter of array copies.
constexpr int kArrayNameKind = 2;

std::optional<std::string> CheckVector(const NumberRange& range, const CVector& v) {
  for (double c : {v.x, v.y, v.z})
    if (auto message = range.Check(c)) return message;
  return std::nullopt;
}

// Points, layers and polygons one copy of the form adds.
uint64_t ElementsPerCopy(const IObject& form) {
  uint64_t elements = 1 + form.GetPoints().GetCount() + form.GetLayers().GetCount();
  for (const IDrawable* layer : form.GetLayers()) elements += static_cast<const ILayer*>(layer)->GetPolygons().GetCount();
  return elements;
}
}  // namespace

std::optional<std::string> ArraySettings::Check() const {
  for (int32_t n : number)
    if (auto message = kNumberRange.Check(n)) return message;
  if (auto message = CheckVector(kSpacingRange, spacing)) return message;
  if (auto message = CheckVector(kPositionJitterRange, positionJitter)) return message;
  return CheckVector(kRotationJitterRange, rotationJitter);
}

std::string TooManyArrayElementsMessage() {
  std::string text = "The array would make too many points and polygons; at most ";
  text += std::to_string(kMaxGeneratedElements);
  text += " can be made at once.";
  return text;
}

CVector DrawJitter(const CVector& jitter) {
  constexpr double kMax = RandomSource::kMaxDraw;
  CVector v;
  v.z = DrawRandom() * jitter.z / kMax;
  v.y = DrawRandom() * jitter.y / kMax;
  v.x = DrawRandom() * jitter.x / kMax;
  return v;
}

void CWorkspaceDoc::Array() {
  if (!IsEnabled(*this, Command::array)) return;
  ArraySettings settings;
  if (!services_.dialogs.EditArray(settings) || settings.Check()) return;
  auto* source = static_cast<IObject*>(GetFirstItem());
  // The dialog allows 30000 copies along each axis; copies beyond what a
  // single generator request may make would only exhaust memory.
  const uint64_t copiesAsked = static_cast<uint64_t>(settings.number[0]) * static_cast<uint64_t>(settings.number[1]) *
                                   static_cast<uint64_t>(settings.number[2]) - 1;
  if (copiesAsked > kMaxGeneratedElements / ElementsPerCopy(*source)) {
    services_.ui.Message(TooManyArrayElementsMessage());
    return;
  }
  services_.ui.Status("Generating Array");
  WaitCursor wait(services_.ui);
  const bool positional = settings.kind == ArrayKind::positional;
  const CVector base = positional ? source->GetPosition() : source->GetRotation();
  // Copies of a clone are clones of its master too (see clones.cpp).
  IObject* master = source->GetCloneMaster();
  int copies = 0;
  for (int32_t i = 0; i < settings.number[0]; ++i) {
    for (int32_t j = 0; j < settings.number[1]; ++j) {
      for (int32_t k = 0; k < settings.number[2]; ++k) {
        if (i == 0 && j == 0 && k == 0) continue;  // the source itself
        const CVector offset =
            base + CVector(i * settings.spacing.x, j * settings.spacing.y, k * settings.spacing.z);
        std::unique_ptr<IRoot> copy = source->Duplicate();
        auto* form = static_cast<IObject*>(copy.get());
        if (positional) {
          form->SetPosition(offset + DrawJitter(settings.positionJitter));
          form->SetRotation(source->GetRotation() + DrawJitter(settings.rotationJitter));
        } else {
          form->SetRotation(offset + DrawJitter(settings.rotationJitter));
          form->SetPosition(source->GetPosition() + DrawJitter(settings.positionJitter));
        }
        form->UpdateWorldGeometry();
        if (master == nullptr || !AttachClone(*form, *master)) form->SetCloneMaster(nullptr);
        AppendItem(std::move(copy), true);
        // A fresh copy does not know the source's names until it is asked
        // for a first name (start 0); only then can it count on from there.
        form->MakeFileName(0, kArrayNameKind);
        if (copies > 0) form->MakeFileName(copies, kArrayNameKind);
        ++copies;
        if (!MakeUniqueFileName(*form, copies, kArrayNameKind)) {
          RemoveItem(*form);
          SetModified();
          return;
        }
        objectList_.Renew(*form);
      }
    }
  }
  SetModified();
  services_.ui.Status("Array Generated");
}

}  // namespace brevoxa
