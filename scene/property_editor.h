// The property dialogs as the scene model sees them. The editor implements
// one method per dialog with its toolkit and tests answer with fakes, so no
// element ever needs a widget to offer its properties.
#pragma once

namespace brevoxa {

class IPropertyEditor {
 public:
  virtual ~IPropertyEditor() = default;
};

}  // namespace brevoxa
