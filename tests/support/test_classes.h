// Small persistent classes that the stream tests write and read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "persist/archive.h"
#include "persist/object.h"

namespace brevoxa::testing {

// One field; the smallest object a stream can hold.
class TestLeaf : public CObject {
  DECLARE_SERIAL(TestLeaf)
 public:
  int32_t value = 0;
  void Serialize(CArchive& ar) override { ar.Transfer("value", value); }
};

// A name, owned children, and a reference to another object.
class TestNode : public CObject {
  DECLARE_SERIAL(TestNode)
 public:
  ~TestNode() override;
  std::string name;
  std::vector<CObject*> children;  // owned
  CObject* ref = nullptr;          // not owned
  void Serialize(CArchive& ar) override;
};

// Reads its version word and then fails, as a class with a broken record.
class TestFailing : public CObject {
  DECLARE_SERIAL(TestFailing)
 public:
  void Serialize(CArchive& ar) override;
};

// Known to the program but not persistent.
class TestTransient : public CObject {
  DECLARE_DYNAMIC(TestTransient)
};

}  // namespace brevoxa::testing
