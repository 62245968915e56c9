// The tree printer: indentation, lists merged into their owner's line,
// empty groups, references, and what a failed read leaves open.
#include "cli/trace_printer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "persist/archive.h"
#include "support/bytes.h"
#include "support/test_classes.h"

namespace brevoxa {
namespace {

using cli::TracePrinter;

TEST(TracePrinter, IndentsObjectsAndGroupsAndMergesAListIntoItsRecord) {
  std::ostringstream out;
  TracePrinter p(out);
  p.Value("version", "1");
  p.BeginGroup("items", 0);
  p.BeginGroup("list", 2);
  p.BeginObject("[0]", 3, "ICamera");
  p.Value("name", "\"Quay\"");
  p.EndObject();
  p.Reference("[1]", 3, "ICamera");
  p.EndGroup();
  p.EndGroup();
  p.Reference("camera", 0, "");
  p.Finish();
  EXPECT_EQ(out.str(),
            "version = 1\n"
            "items [2] {\n"
            "  [0] #3 ICamera {\n"
            "    name = \"Quay\"\n"
            "  }\n"
            "  [1] -> #3 ICamera\n"
            "}\n"
            "camera -> null\n");
}

TEST(TracePrinter, EmptyGroupsTakeOneLineAndAListAloneKeepsItsName) {
  std::ostringstream out;
  TracePrinter p(out);
  p.BeginGroup("extra", 0);
  p.BeginGroup("list", 0);
  p.EndGroup();
  p.EndGroup();
  p.BeginGroup("list", 1);  // no record around it: shown as it is
  p.BeginObject("[0]", 2, "IPoint");
  p.BeginGroup("IDrawable", 0);
  p.EndGroup();
  p.EndObject();
  p.EndGroup();
  p.Finish();
  EXPECT_EQ(out.str(),
            "extra {}\n"
            "list [1] {\n"
            "  [0] #2 IPoint {\n"
            "    IDrawable {}\n"
            "  }\n"
            "}\n");
}

TEST(TracePrinter, AGroupAroundSeveralListsDoesNotMerge) {
  std::ostringstream out;
  TracePrinter p(out);
  p.BeginGroup("body", 0);
  p.Value("version", "1");
  p.BeginGroup("list", 0);
  p.EndGroup();
  p.EndGroup();
  p.Finish();
  EXPECT_EQ(out.str(),
            "body {\n"
            "  version = 1\n"
            "  list {}\n"
            "}\n");
}

TEST(TracePrinter, AFailedReadClosesTheObjectsItLeftOpen) {
  // A real stream cut inside a child's fields: the archive ends the groups
  // as it unwinds but never the objects.
  testing::TestNode root;
  root.name = "root";
  auto* leaf = new testing::TestLeaf;
  leaf->value = 5;
  root.children.push_back(leaf);
  testing::Bytes bytes = testing::Store([&](CArchive& ar) { ar.WriteObject(&root); });
  bytes.resize(bytes.size() - 4);  // into the leaf's value

  std::ostringstream out;
  TracePrinter p(out);
  try {
    testing::Load(bytes, [&](CArchive& ar) {
      ar.SetTrace(&p);
      ar.Label("root");
      delete ar.ReadOwnedObject();
    });
    FAIL() << "the cut stream was read";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.cause(), CArchiveException::endOfFile);
  }
  p.Finish();
  EXPECT_EQ(out.str(),
            "root #2 TestNode {\n"
            "  name = \"root\"\n"
            "  children [1] {\n"
            "    #4 TestLeaf {\n"
            "    } (incomplete)\n"
            "  }\n"
            "} (incomplete)\n");
}

}  // namespace
}  // namespace brevoxa
