// What the documents edited through one settings form share: numeric fields
// with their ranges, the checks that refuse what the form refuses, the hook
// through which an open view hands its values over before a save, and the
// registration that makes a link open the document.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "math/vector.h"
#include "persist/exceptions.h"
#include "persist/object.h"
#include "ui/field_range.h"

namespace brevoxa {

class CArchive;

// A numeric field of a settings form: its label and the values it accepts.
struct FormField {
  const char* label;
  NumberRange range;
};

// The range message of the first value its field refuses, in list order.
std::optional<std::string> CheckFields(std::initializer_list<std::pair<const FormField*, double>> fields);
// The range message of the first colour component outside the range. NaN
// fails every comparison, so it is refused as well.
std::optional<std::string> CheckComponents(const NumberRange& range, std::initializer_list<const CVector*> colors);
// A flag stored as a WORD; anything but 0 counts as on, as a check box shows
// it, and it is written back as 1.
void TransferWordFlag(CArchive& ar, std::string_view name, bool& flag);

// The values one form edits (S::Check gives the form's refusal), held by a
// document that takes them over only when the form would accept them.
template <class S>
class FormDocument {
 public:
  const S& Settings() const { return settings_; }
  // Takes over values the form accepts; otherwise changes nothing and
  // answers false.
  bool SetSettings(const S& settings) {
    if (settings.Check()) return false;
    settings_ = settings;
    return true;
  }

  // Before the document is stored it takes the form's values: the open view
  // installs a function that copies them in (through SetSettings and the
  // like) and answers false, having shown the range message, when a field
  // is refused. Storing then fails with CUserException, so nothing is
  // written.
  void SetViewExchange(std::function<bool()> exchange) { viewExchange_ = std::move(exchange); }

 protected:
  void TakeViewValues() const {
    if (viewExchange_ && !viewExchange_()) throw CUserException();
  }

  // The form never stores refused values; a damaged file must not hand the
  // renderer a zero-sized image or colours that are not numbers, so such a
  // record fails as a whole ("what: message").
  void TakeLoaded(const S& loaded, std::string_view what) {
    if (auto refused = loaded.Check()) {
      std::string detail(what);
      detail += ": ";
      detail += *refused;
      throw CArchiveException(CArchiveException::generic, detail);
    }
    settings_ = loaded;
  }

  S settings_;

 private:
  std::function<bool()> viewExchange_;
};

// A static one of these makes Doc the document that every Link opens.
template <class Link, class Doc>
struct LinkedDocumentRegistrar {
  LinkedDocumentRegistrar() {
    Link::SetDocumentFactory([]() -> std::unique_ptr<CObject> { return std::make_unique<Doc>(); });
  }
};

}  // namespace brevoxa
