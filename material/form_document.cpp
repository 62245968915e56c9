// The checks and the stored flag that the settings documents share.
#include "material/form_document.h"

#include "persist/archive.h"

namespace brevoxa {

std::optional<std::string> CheckFields(std::initializer_list<std::pair<const FormField*, double>> fields) {
  for (auto [field, value] : fields) {
    if (auto message = field->range.Check(value)) return message;
  }
  return std::nullopt;
}

std::optional<std::string> CheckComponents(const NumberRange& range, std::initializer_list<const CVector*> colors) {
  for (const CVector* color : colors) {
    for (double component : {color->x, color->y, color->z}) {
      if (auto message = range.Check(component)) return message;
    }
  }
  return std::nullopt;
}

void TransferWordFlag(CArchive& ar, std::string_view name, bool& flag) {
  uint16_t word = flag ? 1 : 0;
  ar.Transfer(name, word);
  flag = word != 0;
}

}  // namespace brevoxa
