// The archive stream's byte layout, object table and failures; corrupt streams.
#include "persist/archive.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "persist/file.h"
#include "support/bytes.h"
#include "support/corpus_replay.h"
#include "support/test_classes.h"

namespace brevoxa {
namespace {

using namespace testing;  // the byte helpers and the test classes
using Reader = void (*)(CArchive&);

// Reads one owned object and destroys it, whatever it turns out to be.
void ReadAndDrop(CArchive& ar) {
  std::unique_ptr<CObject> object(ar.ReadOwnedObject());
  for (CObject* orphan : ar.TakeUnownedObjects()) delete orphan;
}

TEST(ArchiveScalars, AreLittleEndianWithFixedWidths) {
  Bytes bytes = Store([](CArchive& ar) {
    ar << uint8_t{0xAB} << uint16_t{0x1234} << int32_t{-2} << uint32_t{0xDEADBEEF} << 1.0f << 2.0;
  });
  EXPECT_EQ(bytes, ByteWriter().Byte(0xAB).Word(0x1234).Dword(0xFFFFFFFE).Dword(0xDEADBEEF)
                       .Dword(0x3F800000).Dword(0).Dword(0x40000000).bytes());
  Load(bytes, [](CArchive& ar) {
    uint8_t b; uint16_t w; int32_t i; uint32_t d; float f; double g;
    ar >> b >> w >> i >> d >> f >> g;
    EXPECT_TRUE(b == 0xAB && w == 0x1234 && i == -2 && d == 0xDEADBEEF && f == 1.0f && g == 2.0);
  });
  EXPECT_EQ(Store([](CArchive& ar) { ar.WriteCount(65534); }), (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(Store([](CArchive& ar) { ar.WriteCount(65535); }), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
}

TEST(ArchiveStrings, UseTheShortestOfThreeLengthPrefixes) {
  const std::pair<size_t, Bytes> cases[] = {
      {0, {0x00}}, {254, {0xFE}}, {255, {0xFF, 0xFF, 0x00}}, {0xFFFD, {0xFF, 0xFD, 0xFF}},
      {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}}, {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
  };
  for (const auto& [length, prefix] : cases) {
    SCOPED_TRACE(length);
    const std::string s(length, 'q');
    const Bytes bytes = Store([&](CArchive& ar) { ar << s; });
    EXPECT_EQ(bytes, testing::Concat(prefix, Bytes(length, 'q')));
    Load(bytes, [&](CArchive& ar) { EXPECT_EQ(ar.ReadString(), s); });
  }
  // The sixteen-bit form, read only; characters beyond eight bits become '?'.
  Load(ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(3).Word('a').Word('b').Word(0x263A).bytes(),
       [](CArchive& ar) { EXPECT_EQ(ar.ReadString(), "ab?"); });
  Bytes longer = ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(300).bytes();
  longer.resize(longer.size() + 600, 'x');
  Load(longer, [](CArchive& ar) { EXPECT_EQ(ar.ReadString().size(), 300u); });
}

TEST(ArchiveObjects, NullNewBackReferenceAndSecondOfAClass) {
  TestLeaf a, b;
  a.value = 7;
  b.value = 9;
  Bytes bytes = Store([&](CArchive& ar) {
    ar.WriteObject(nullptr);
    ar.WriteObject(&a);  // class 1, object 2
    ar.WriteObject(&a);
    ar.WriteObject(&b);  // object 3
    ar.WriteObject(&b);
  });
  EXPECT_EQ(bytes, ByteWriter().Word(0).Word(0xFFFF).Class("TestLeaf").Dword(7).Word(2).Word(0x8001).Dword(9)
                       .Word(3).bytes());
  Load(bytes, [](CArchive& ar) {
    EXPECT_EQ(ar.ReadObject(), nullptr);
    std::unique_ptr<CObject> first(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
    EXPECT_EQ(ar.ReadObject(), first.get());
    std::unique_ptr<CObject> second(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
    EXPECT_EQ(ar.ReadObject(RUNTIME_CLASS(TestLeaf)), second.get());
    EXPECT_EQ(static_cast<TestLeaf*>(second.get())->value, 9);
  });
  // A plain reference first, then its one owner: fine.
  Load(testing::Concat(ByteWriter().Word(0xFFFF).Class("TestLeaf").Dword(1).bytes(), {2, 0}), [](CArchive& ar) {
    CObject* created = ar.ReadObject();
    std::unique_ptr<CObject> owner(ar.ReadOwnedObject());
    EXPECT_EQ(owner.get(), created);
    EXPECT_TRUE(ar.TakeUnownedObjects().empty());
  });
}

TEST(ArchiveObjects, AnObjectIsIndexedBeforeItsFieldsSoChildrenCanReferToIt) {
  TestNode parent;
  parent.name = "root";
  auto* child = new TestNode;
  child->name = "child";
  child->ref = &parent;
  parent.children.push_back(child);
  Bytes bytes = Store([&](CArchive& ar) { ar.WriteObject(&parent); });
  EXPECT_EQ(bytes, ByteWriter().Word(0xFFFF).Class("TestNode").Byte(4).Chars("root").Word(1).Word(0x8001).Byte(5)
                       .Chars("child").Word(0).Word(2).Word(0).bytes());
  Load(bytes, [](CArchive& ar) {
    std::unique_ptr<CObject> object(ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)));
    auto* root = static_cast<TestNode*>(object.get());
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(static_cast<TestNode*>(root->children[0])->ref, root);
  });
}

// Unknown classes, long names, owners twice over, counts and strings longer
// than the data, and big references beyond the table are in the corpus.
TEST(ArchiveFailures, NameTheirCause) {
  using A = CArchiveException;
  const Reader two = [](CArchive& ar) { std::unique_ptr<CObject> o(ar.ReadObject()); ar.ReadObject(); };
  const Reader string = [](CArchive& ar) { ar.ReadString(); };
  auto described = [](const char* name, uint16_t schema = 0) { return ByteWriter().Word(0xFFFF).Class(name, schema); };
  const Bytes leafTwice = described("TestLeaf").Dword(1).Word(2).bytes();
  TestNode parent;
  parent.children = {new TestLeaf, new TestFailing};
  ByteWriter deep = described("TestNode");  // each node owns the next, far deeper than any file
  for (int i = 0; i < 100000; ++i) (i ? deep.Word(0x8001) : deep).Byte(0).Word(1);
  const struct {
    const char* what;
    Bytes bytes;
    Reader read;
    A::Cause cause;
  } cases[] = {
      {"name differs in case", described("testleaf").Dword(1).bytes(), two, A::badClass},
      {"not persistent", described("TestTransient").bytes(), two, A::badClass},
      {"wrong schema", described("TestLeaf", 1).Dword(1).bytes(), two, A::badSchema},
      {"reference beyond the table", ByteWriter().Word(5).bytes(), two, A::badIndex},
      {"reference to a class", described("TestLeaf").Dword(1).Word(1).bytes(), two, A::badIndex},
      {"new object of no class", ByteWriter().Word(0x8001).bytes(), two, A::badIndex},
      {"new object of class 0", ByteWriter().Word(0x8000).bytes(), two, A::badIndex},
      {"empty", Bytes{}, two, A::endOfFile},
      {"unexpected class", leafTwice, [](CArchive& ar) { ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)); }, A::badClass},
      {"reference of an unexpected class", leafTwice,
       [](CArchive& ar) {
         std::unique_ptr<CObject> first(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
         ar.ReadObject(RUNTIME_CLASS(TestNode));
       },
       A::badClass},
      // The sanitizer build reports a leak if the partly read node survives.
      {"fields fail", Store([&](CArchive& ar) { ar.WriteObject(&parent); }), ReadAndDrop, A::badSchema},
      {"nesting", deep.bytes(), ReadAndDrop, A::badIndex},
      {"second 16-bit mark", ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(0xFFFE).bytes(), string, A::generic},
      {"16-bit length too long", ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(0xFFFF).Dword(1u << 31).bytes(),
       string, A::endOfFile},
  };
  for (const auto& c : cases) EXPECT_EQ(LoadCause(c.bytes, c.read), c.cause) << c.what;
  EXPECT_THROW(Load(leafTwice, [](CArchive& a) { a.ReadObject(RUNTIME_CLASS(TestTransient)); }), CNotSupportedException);
  TestTransient transient;
  EXPECT_THROW(Store([&](CArchive& ar) { ar.WriteObject(&transient); }), CNotSupportedException);
  CMemFile file;
  CArchive storing(&file, CArchive::store);
  uint8_t b;
  EXPECT_EQ(LoadCause({}, [&](CArchive&) { storing >> b; }), A::writeOnly);  // reading a storing archive
}

TEST(ArchiveBigIndices, SwitchToTheBigFormPastTheWordRange) {
  // Class TestLeaf takes index 1, so leaf k takes k + 2; leaf 0x7FFC is the
  // last whose index fits a WORD.
  const size_t count = 0x7FFE;
  std::vector<TestLeaf> leaves(count);
  for (size_t i = 0; i < count; ++i) leaves[i].value = static_cast<int32_t>(i);
  TestNode late, late2;
  Bytes bytes = Store([&](CArchive& ar) {
    for (auto& leaf : leaves) ar.WriteObject(&leaf);
    ar.WriteObject(&leaves[0x7FFC]);  // index 0x7FFE: small form
    ar.WriteObject(&leaves[0x7FFD]);  // index 0x7FFF: big form
    ar.WriteObject(&late);            // class index 0x8000, object 0x8001
    ar.WriteObject(&late2);           // second object of a big class index
    ar.WriteCount(70000);
  });
  const size_t pos = (2 + 4 + 8 + 4) + (count - 1) * (2 + 4);
  EXPECT_EQ(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(pos), bytes.end()),
            ByteWriter().Word(0x7FFE).Word(0x7FFF).Dword(0x7FFF).Word(0xFFFF).Class("TestNode").Byte(0).Word(0).Word(0)
                .Word(0x7FFF).Dword(0x80008000).Byte(0).Word(0).Word(0).Word(0xFFFF).Dword(70000).bytes());
  Load(bytes, [&](CArchive& ar) {
    std::vector<std::unique_ptr<CObject>> read;
    for (size_t i = 0; i < count; ++i) read.emplace_back(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
    EXPECT_EQ(ar.ReadObject(), read[0x7FFC].get());
    EXPECT_EQ(ar.ReadObject(), read[0x7FFD].get());
    std::unique_ptr<CObject> a(ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)));
    std::unique_ptr<CObject> b(ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)));
    EXPECT_NE(a.get(), b.get());
    uint16_t w;
    uint32_t d;
    ar >> w >> d;
    EXPECT_EQ(d, 70000u);
  });
  // The reader also takes the big form for small indices.
  Load(ByteWriter().Word(0xFFFF).Class("TestLeaf").Dword(5).Word(0x7FFF).Dword(2).Word(0x7FFF).Dword(0x80000001)
           .Dword(6).bytes(), [](CArchive& ar) {
    std::unique_ptr<CObject> first(ar.ReadOwnedObject());
    EXPECT_EQ(ar.ReadObject(), first.get());
    std::unique_ptr<CObject> second(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
    EXPECT_EQ(static_cast<TestLeaf*>(second.get())->value, 6);
  });
}

TEST(ArchiveBuffering, SmallBuffersGiveTheSameBytes) {
  TestNode root;
  root.name = std::string(1000, 'z');
  for (int i = 0; i < 50; ++i) root.children.push_back(new TestLeaf);
  CMemFile big, small;
  for (auto [file, size] : {std::pair{&big, 4096u}, {&small, 1u}}) {  // 1 is raised to the 128-byte minimum
    CArchive ar(file, CArchive::store, size);
    ar.WriteObject(&root);
    ar.Close();
  }
  EXPECT_EQ(big.Bytes(), small.Bytes());
  small.SeekToBegin();
  CArchive in(&small, CArchive::load, 128);
  std::unique_ptr<CObject> copy(in.ReadOwnedObject(RUNTIME_CLASS(TestNode)));
  EXPECT_EQ(static_cast<TestNode*>(copy.get())->children.size(), 50u);
  EXPECT_EQ(in.BytesRemaining(), 0u);
}

// --- Corpus, truncations and random flips ---

TEST(ArchiveCorpus, EachFileRaisesTheFailureItsNameGives) {
  testing::ExpectOutcomesByName(BREVOXA_TEST_DATA "/corpus/archive", FuzzArchive, 10);
}

Bytes ValidStream() {
  TestNode root;
  root.name = std::string(260, 'r');
  for (int i = 0; i < 3; ++i) {
    auto* child = new TestNode;
    child->name = "child";
    child->ref = &root;
    child->children.push_back(new TestLeaf);
    root.children.push_back(child);
  }
  root.ref = root.children[1];
  return Store([&](CArchive& ar) {
    ar.WriteObject(&root);
    ar << std::string("between");
    ar.WriteCount(2);
    ar.WriteObject(root.children[0]);  // a second owner, which a reader must refuse
    ar.WriteObject(nullptr);
  });
}

TEST(ArchiveCorpus, TruncationsEndCleanlyAndFlipsFailOnlyWithArchiveFailures) {
  const Bytes full = ValidStream();
  const FuzzOutcome whole = FuzzArchive(full.data(), full.size());
  EXPECT_EQ(whole.cause, CArchiveException::badIndex);
  // Only a cut between two whole items reads to its end.
  size_t complete = 0;
  for (size_t cut = 1; cut < full.size(); ++cut) {
    const FuzzOutcome outcome = FuzzArchive(full.data(), cut);
    complete += outcome.kind == FuzzOutcome::complete;
    ASSERT_TRUE(outcome.kind == FuzzOutcome::complete || outcome.cause == CArchiveException::endOfFile) << cut;
  }
  EXPECT_LE(complete, 2u);
  std::mt19937 random(20261206);
  testing::ExpectFlipsStaySound(full, FuzzArchive, random, 4000, 4);
}

}  // namespace
}  // namespace brevoxa
