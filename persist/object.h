// The persistent object root and the run-time class records that let an
// archive stream name a class and recreate an object of it.
#pragma once

#include <cstdint>

namespace brevoxa {

class CArchive;
class CObject;

// Schema of a class that cannot be written to or read from a stream.
inline constexpr uint16_t kNotPersistentSchema = 0xFFFF;

struct CRuntimeClass {
  const char* className;
  uint16_t schema;                 // kNotPersistentSchema when not persistent
  CObject* (*createObject)();      // null for classes that cannot be created
  const CRuntimeClass* baseClass;  // null for the root

  bool IsPersistent() const { return schema != kNotPersistentSchema && createObject != nullptr; }
  bool IsDerivedFrom(const CRuntimeClass* base) const;
  CObject* CreateObject() const { return createObject ? createObject() : nullptr; }
};

class CObject {
 public:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
  virtual ~CObject() = default;

  virtual const CRuntimeClass* GetRuntimeClass() const;
  // Reads or writes the object's fields, as the archive's direction says.
  virtual void Serialize(CArchive& ar);

  bool IsKindOf(const CRuntimeClass* cls) const;

  static const CRuntimeClass classCObject;
};

// Enters a class into the process-wide registry during static initialisation.
struct ClassRegistrar {
  explicit ClassRegistrar(const CRuntimeClass* cls);
};

}  // namespace brevoxa

#define RUNTIME_CLASS(cls) (&cls::class##cls)

// A class with a run-time record but no factory: it can be tested with
// IsKindOf but never written to a stream.
#define DECLARE_DYNAMIC(cls)                                 \
 public:                                                     \
  static const ::brevoxa::CRuntimeClass class##cls;          \
  const ::brevoxa::CRuntimeClass* GetRuntimeClass() const override;

#define IMPLEMENT_DYNAMIC(cls, base)                                                    \
  const ::brevoxa::CRuntimeClass cls::class##cls = {#cls, ::brevoxa::kNotPersistentSchema, \
                                                    nullptr, RUNTIME_CLASS(base)};      \
  const ::brevoxa::CRuntimeClass* cls::GetRuntimeClass() const { return &class##cls; }

// A persistent class: registered by name with its schema and a factory that
// makes an empty object for the archive to fill.
#define DECLARE_SERIAL(cls)                                  \
 public:                                                     \
  static const ::brevoxa::CRuntimeClass class##cls;          \
  const ::brevoxa::CRuntimeClass* GetRuntimeClass() const override; \
  static ::brevoxa::CObject* CreateObject();

#define IMPLEMENT_SERIAL(cls, base, schema)                                                  \
  ::brevoxa::CObject* cls::CreateObject() { return new cls; }                                \
  const ::brevoxa::CRuntimeClass cls::class##cls = {#cls, schema, &cls::CreateObject,        \
                                                    RUNTIME_CLASS(base)};                    \
  const ::brevoxa::CRuntimeClass* cls::GetRuntimeClass() const { return &class##cls; }       \
  static const ::brevoxa::ClassRegistrar registrar_##cls(RUNTIME_CLASS(cls));
