// The persistent object root, its run-time record and the class registry.
#include "persist/object.h"

#include "persist/archive.h"
#include "persist/class_registry.h"

namespace brevoxa {

const CRuntimeClass CObject::classCObject = {"CObject", kNotPersistentSchema, nullptr, nullptr};

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c != nullptr; c = c->baseClass)
    if (c == base) return true;
  return false;
}

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

ClassRegistrar::ClassRegistrar(const CRuntimeClass* cls) { ClassRegistry::Instance().Register(cls); }

ClassRegistry& ClassRegistry::Instance() {
  // Built on first use so that registrars in any translation unit find it.
  static ClassRegistry registry;
  return registry;
}

void ClassRegistry::Register(const CRuntimeClass* cls) { classes_.emplace(cls->className, cls); }

const CRuntimeClass* ClassRegistry::Find(std::string_view name) const {
  auto it = classes_.find(name);
  return it == classes_.end() ? nullptr : it->second;
}

}  // namespace brevoxa
