// The process-wide registry of persistent classes, looked up by the exact,
// case-sensitive class name that a stream's class description carries.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "persist/object.h"

namespace brevoxa {

class ClassRegistry {
 public:
  static ClassRegistry& Instance();

  // Adds a class; a second class under a name already taken is ignored.
  void Register(const CRuntimeClass* cls);
  const CRuntimeClass* Find(std::string_view name) const;

 private:
  std::map<std::string, const CRuntimeClass*, std::less<>> classes_;
};

}  // namespace brevoxa
