// Persistent classes for stream tests.
#include "support/test_classes.h"

namespace brevoxa::testing {

IMPLEMENT_SERIAL(TestLeaf, CObject, 0)
IMPLEMENT_SERIAL(TestNode, CObject, 0)
IMPLEMENT_SERIAL(TestFailing, CObject, 0)
IMPLEMENT_DYNAMIC(TestTransient, CObject)

TestNode::~TestNode() {
  for (CObject* child : children) delete child;
}

void TestNode::Serialize(CArchive& ar) {
  ar.Transfer("name", name);
  if (ar.IsStoring()) {
    ar.WriteCount(static_cast<uint32_t>(children.size()));
    for (CObject* child : children) ar.WriteObject(child);
    ar.WriteObject(ref);
  } else {
    uint32_t count = ar.ReadCount();
    {
      CArchive::Group group(ar, "children", count);
      for (uint32_t i = 0; i < count; ++i) children.push_back(ar.ReadOwnedObject());
    }
    ar.Label("ref");
    ref = ar.ReadObject();
  }
}

void TestFailing::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << static_cast<uint16_t>(1);
    return;
  }
  uint16_t version = 0;
  ar >> version;
  throw CArchiveException(CArchiveException::badSchema, "broken record");
}

}  // namespace brevoxa::testing
