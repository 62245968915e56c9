// The archive stream's byte layout, its object table and its failures; the
// committed corpus of corrupt streams (each file's name starts with the
// failure it must raise), every truncation of a valid stream, and seeded
// random byte flips, which under the sanitizer build also catch leaks,
// overflows and undefined behaviour in the reader.
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

using testing::ByteWriter;
using testing::Bytes;
using testing::Load;
using testing::Store;
using testing::TestFailing;
using testing::TestLeaf;
using testing::TestNode;
using testing::TestTransient;

using testing::LoadCause;

// Reads one owned object and destroys it, whatever it turns out to be.
void ReadAndDrop(CArchive& ar) {
  std::unique_ptr<CObject> object(ar.ReadOwnedObject());
  for (CObject* orphan : ar.TakeUnownedObjects()) delete orphan;
}

Bytes LeafBytes(int32_t value) {
  return ByteWriter().Word(0xFFFF).Class("TestLeaf").Dword(static_cast<uint32_t>(value)).bytes();
}

TEST(ArchiveScalars, AreLittleEndianWithFixedWidths) {
  Bytes bytes = Store([](CArchive& ar) {
    ar << uint8_t{0xAB} << uint16_t{0x1234} << int32_t{-2} << uint32_t{0xDEADBEEF} << 1.0f << 2.0;
  });
  Bytes expected = ByteWriter().Byte(0xAB).Word(0x1234).Dword(0xFFFFFFFE).Dword(0xDEADBEEF)
                       .Dword(0x3F800000).Dword(0).Dword(0x40000000).bytes();
  EXPECT_EQ(bytes, expected);

  Load(bytes, [](CArchive& ar) {
    uint8_t b; uint16_t w; int32_t i; uint32_t d; float f; double g;
    ar >> b >> w >> i >> d >> f >> g;
    EXPECT_EQ(b, 0xAB); EXPECT_EQ(w, 0x1234); EXPECT_EQ(i, -2);
    EXPECT_EQ(d, 0xDEADBEEF); EXPECT_EQ(f, 1.0f); EXPECT_EQ(g, 2.0);
  });
}

TEST(ArchiveStrings, UseTheShortestOfThreeLengthPrefixes) {
  struct Case { size_t length; Bytes prefix; };
  const Case cases[] = {
      {0, {0x00}},
      {254, {0xFE}},
      {255, {0xFF, 0xFF, 0x00}},
      {0xFFFD, {0xFF, 0xFD, 0xFF}},
      {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
      {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
  };
  for (const Case& c : cases) {
    std::string s(c.length, 'q');
    Bytes bytes = Store([&](CArchive& ar) { ar << s; });
    ASSERT_EQ(bytes.size(), c.prefix.size() + c.length) << c.length;
    EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), bytes.begin())) << c.length;
    Load(bytes, [&](CArchive& ar) { EXPECT_EQ(ar.ReadString(), s) << c.length; });
  }
}

TEST(ArchiveStrings, ReadsTheSixteenBitForm) {
  Bytes bytes = ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(3).Word('a').Word('b').Word(0x263A).bytes();
  Load(bytes, [](CArchive& ar) { EXPECT_EQ(ar.ReadString(), "ab?"); });

  Bytes longer = ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(300).bytes();
  longer.resize(longer.size() + 600, 'x');  // 'x', 0x78: "ｸ" pairs, still valid 16-bit characters
  Load(longer, [](CArchive& ar) { EXPECT_EQ(ar.ReadString().size(), 300u); });

  // A second 16-bit mark, and lengths beyond the data, which must fail
  // before anything is allocated.
  const std::pair<Bytes, CArchiveException::Cause> bad[] = {
      {ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(0xFFFE).bytes(), CArchiveException::generic},
      {ByteWriter().Byte(0xFF).Word(0xFFFF).Dword(0xFFFFFFF0).Chars("abc").bytes(), CArchiveException::endOfFile},
      {ByteWriter().Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(0xFFFF).Dword(0x80000000).bytes(),
       CArchiveException::endOfFile},
  };
  for (const auto& [bytes, cause] : bad) EXPECT_EQ(LoadCause(bytes, [](CArchive& ar) { ar.ReadString(); }), cause);
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
  Bytes expected = ByteWriter().Word(0).Word(0xFFFF).Class("TestLeaf").Dword(7)
                       .Word(2).Word(0x8001).Dword(9).Word(3).bytes();
  EXPECT_EQ(bytes, expected);

  Load(bytes, [](CArchive& ar) {
    EXPECT_EQ(ar.ReadObject(), nullptr);
    std::unique_ptr<CObject> first(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
    EXPECT_EQ(ar.ReadObject(), first.get());
    std::unique_ptr<CObject> second(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
    EXPECT_EQ(ar.ReadObject(RUNTIME_CLASS(TestLeaf)), second.get());
    EXPECT_EQ(static_cast<TestLeaf*>(first.get())->value, 7);
    EXPECT_EQ(static_cast<TestLeaf*>(second.get())->value, 9);
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
  // class 1 TestNode, object 2 parent, object 3 child whose reference is WORD 2.
  Bytes expected = ByteWriter().Word(0xFFFF).Class("TestNode").Byte(4).Chars("root").Word(1)
                       .Word(0x8001).Byte(5).Chars("child").Word(0).Word(2).Word(0).bytes();
  EXPECT_EQ(bytes, expected);

  Load(bytes, [](CArchive& ar) {
    std::unique_ptr<CObject> object(ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)));
    auto* root = static_cast<TestNode*>(object.get());
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(static_cast<TestNode*>(root->children[0])->ref, root);
  });
}

TEST(ArchiveObjects, CountsAndEmptyLists) {
  EXPECT_EQ(Store([](CArchive& ar) { ar.WriteCount(0); }), (Bytes{0x00, 0x00}));
  EXPECT_EQ(Store([](CArchive& ar) { ar.WriteCount(65534); }), (Bytes{0xFE, 0xFF}));
  EXPECT_EQ(Store([](CArchive& ar) { ar.WriteCount(65535); }), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
  // A count the remaining bytes cannot hold is refused before any element is read.
  Bytes tooMany = ByteWriter().Word(3).Word(0).Word(0).bytes();
  EXPECT_EQ(LoadCause(tooMany, [](CArchive& ar) { ar.ReadCount(); }), CArchiveException::endOfFile);
  Bytes huge = ByteWriter().Word(0xFFFF).Dword(0xFFFFFFFF).bytes();
  EXPECT_EQ(LoadCause(huge, [](CArchive& ar) { ar.ReadCount(); }), CArchiveException::endOfFile);
}

// Unknown classes, names of 64 characters, big-form references beyond the
// table and class entries that are objects are in the archive corpus.
TEST(ArchiveFailures, NameTheirCause) {
  struct Case { const char* what; Bytes bytes; CArchiveException::Cause cause; };
  const Case cases[] = {
      {"class name differs in case", ByteWriter().Word(0xFFFF).Class("testleaf").Dword(1).bytes(), CArchiveException::badClass},
      {"non-persistent class", ByteWriter().Word(0xFFFF).Class("TestTransient").bytes(), CArchiveException::badClass},
      {"wrong schema", ByteWriter().Word(0xFFFF).Class("TestLeaf", 1).Dword(1).bytes(), CArchiveException::badSchema},
      {"back-reference beyond the table", ByteWriter().Word(5).bytes(), CArchiveException::badIndex},
      {"back-reference to a class entry", ByteWriter().Word(0xFFFF).Class("TestLeaf").Dword(1).Word(1).bytes(), CArchiveException::badIndex},
      {"new object of an undescribed class", ByteWriter().Word(0x8001).bytes(), CArchiveException::badIndex},
      {"new object of class index 0", ByteWriter().Word(0x8000).bytes(), CArchiveException::badIndex},
      {"empty data", Bytes{}, CArchiveException::endOfFile},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadCause(c.bytes, [](CArchive& ar) { std::unique_ptr<CObject> o(ar.ReadObject()); ar.ReadObject(); }), c.cause) << c.what;
  }
}

// A leaf, then a back-reference to it.
Bytes LeafTwice() { return ByteWriter().Word(0xFFFF).Class("TestLeaf").Dword(1).Word(2).bytes(); }

TEST(ArchiveFailures, ExpectedClassIsChecked) {
  Bytes leaf = LeafBytes(1);
  EXPECT_EQ(LoadCause(leaf, [](CArchive& ar) { ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)); }), CArchiveException::badClass);
  EXPECT_EQ(LoadCause(LeafTwice(), [](CArchive& ar) {
              std::unique_ptr<CObject> first(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
              ar.ReadObject(RUNTIME_CLASS(TestNode));
            }),
            CArchiveException::badClass);
  EXPECT_THROW(Load(leaf, [](CArchive& ar) { ar.ReadObject(RUNTIME_CLASS(TestTransient)); }), CNotSupportedException);
  TestTransient transient;
  EXPECT_THROW(Store([&](CArchive& ar) { ar.WriteObject(&transient); }), CNotSupportedException);
}

TEST(ArchiveFailures, AnObjectCannotBeOwnedTwice) {
  const Bytes bytes = LeafTwice();
  EXPECT_EQ(LoadCause(bytes, [](CArchive& ar) {
              std::unique_ptr<CObject> first(ar.ReadOwnedObject());
              std::unique_ptr<CObject> second(ar.ReadOwnedObject());
            }),
            CArchiveException::badIndex);
  // A plain reference first, then one owner: fine.
  Load(bytes, [](CArchive& ar) {
    CObject* created = ar.ReadObject();
    std::unique_ptr<CObject> owner(ar.ReadOwnedObject());
    EXPECT_EQ(owner.get(), created);
    EXPECT_TRUE(ar.TakeUnownedObjects().empty());
  });
}

TEST(ArchiveFailures, AnObjectWhoseFieldsFailIsDestroyed) {
  TestNode parent;
  parent.children.push_back(new TestLeaf);
  parent.children.push_back(new TestFailing);
  Bytes bytes = Store([&](CArchive& ar) { ar.WriteObject(&parent); });
  // The sanitizer build reports a leak if the partly read node survives.
  EXPECT_EQ(LoadCause(bytes, ReadAndDrop), CArchiveException::badSchema);
}

TEST(ArchiveFailures, NestingIsBounded) {
  // Each node holds the next as its only child, far deeper than any file.
  ByteWriter w;
  w.Word(0xFFFF).Class("TestNode");
  const int depth = 100000;
  for (int i = 0; i < depth; ++i) {
    w.Byte(0).Word(1);
    if (i + 1 < depth) w.Word(0x8001);
  }
  EXPECT_EQ(LoadCause(w.bytes(), ReadAndDrop), CArchiveException::badIndex);
}

TEST(ArchiveBigIndices, SwitchToTheBigFormPastTheWordRange) {
  // Class TestLeaf takes index 1, so leaf k takes index k + 2; leaf 0x7FFC is
  // the last with an index that fits a WORD.
  const size_t count = 0x7FFE;
  std::vector<TestLeaf> leaves(count);
  for (size_t i = 0; i < count; ++i) leaves[i].value = static_cast<int32_t>(i);
  TestNode late;  // a class described after the switch
  TestNode late2;
  Bytes bytes = Store([&](CArchive& ar) {
    for (auto& leaf : leaves) ar.WriteObject(&leaf);
    ar.WriteObject(&leaves[0x7FFC]);  // index 0x7FFE: small form
    ar.WriteObject(&leaves[0x7FFD]);  // index 0x7FFF: big form
    ar.WriteObject(&late);            // class index 0x8000, object 0x8001
    ar.WriteObject(&late2);           // second object of a big class index
    ar.WriteCount(70000);
  });
  const size_t leafBytes = 2 + 4;
  size_t pos = (2 + 4 + 8 + 4) + (count - 1) * leafBytes;
  Bytes tail(bytes.begin() + static_cast<std::ptrdiff_t>(pos), bytes.end());
  Bytes expected = ByteWriter().Word(0x7FFE).Word(0x7FFF).Dword(0x7FFF)
                       .Word(0xFFFF).Class("TestNode").Byte(0).Word(0).Word(0)
                       .Word(0x7FFF).Dword(0x80008000).Byte(0).Word(0).Word(0)
                       .Word(0xFFFF).Dword(70000).bytes();
  EXPECT_EQ(tail, expected);

  Load(bytes, [&](CArchive& ar) {
    std::vector<std::unique_ptr<CObject>> read;
    for (size_t i = 0; i < count; ++i) read.emplace_back(ar.ReadOwnedObject(RUNTIME_CLASS(TestLeaf)));
    EXPECT_EQ(ar.ReadObject(), read[0x7FFC].get());
    EXPECT_EQ(ar.ReadObject(), read[0x7FFD].get());
    EXPECT_EQ(static_cast<TestLeaf*>(read[0x7FFD].get())->value, 0x7FFD);
    std::unique_ptr<CObject> a(ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)));
    std::unique_ptr<CObject> b(ar.ReadOwnedObject(RUNTIME_CLASS(TestNode)));
    EXPECT_NE(a.get(), b.get());
    uint16_t w;
    uint32_t d;
    ar >> w >> d;
    EXPECT_EQ(d, 70000u);
  });
}

TEST(ArchiveBigIndices, ReaderAcceptsTheBigFormForSmallIndices) {
  Bytes bytes = testing::Concat(LeafBytes(5), ByteWriter().Word(0x7FFF).Dword(2).Word(0x7FFF).Dword(0x80000001).Dword(6).bytes());
  Load(bytes, [](CArchive& ar) {
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
  {
    CArchive ar(&big, CArchive::store, 4096);
    ar.WriteObject(&root);
    ar.Close();
  }
  {
    CArchive ar(&small, CArchive::store, 1);  // raised to the 128-byte minimum
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

TEST(ArchiveDirection, ReadingAStoringArchiveFails) {
  CMemFile file;
  CArchive ar(&file, CArchive::store);
  uint8_t b;
  try {
    ar >> b;
    FAIL();
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.cause(), CArchiveException::writeOnly);
  }
}

// --- Corpus, truncations and random flips ---

using testing::FuzzArchive;
using testing::FuzzOutcome;

FuzzOutcome Replay(const Bytes& bytes) { return FuzzArchive(bytes.data(), bytes.size()); }

Bytes ValidStream() {
  testing::TestNode root;
  root.name = std::string(260, 'r');
  for (int i = 0; i < 3; ++i) {
    auto* child = new testing::TestNode;
    child->name = "child";
    child->ref = &root;
    auto* leaf = new testing::TestLeaf;
    leaf->value = i;
    child->children.push_back(leaf);
    root.children.push_back(child);
  }
  root.ref = root.children[1];
  return testing::Store([&](CArchive& ar) {
    ar.WriteObject(&root);
    ar << std::string("between");
    ar.WriteCount(2);
    ar.WriteObject(root.children[0]);  // already owned by root: a reader must refuse a second owner
    ar.WriteObject(nullptr);
  });
}

TEST(ArchiveCorpus, EachFileRaisesTheFailureItsNameGives) {
  testing::ExpectOutcomesByName(BREVOXA_TEST_DATA "/corpus/archive", FuzzArchive, 10);
}

TEST(ArchiveCorpus, TruncationsOfAValidStreamEndCleanly) {
  Bytes full = ValidStream();
  FuzzOutcome whole = Replay(full);
  EXPECT_EQ(whole.kind, FuzzOutcome::archiveFailure);
  EXPECT_EQ(whole.cause, CArchiveException::badIndex);  // the second owner
  // A cut that falls between two whole items reads to its end; any other
  // cut must fail.
  size_t complete = 0;
  for (size_t cut = 1; cut < full.size(); ++cut) {
    FuzzOutcome outcome = Replay(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
    if (outcome.kind == FuzzOutcome::complete) {
      ++complete;
    } else {
      ASSERT_EQ(outcome.kind, FuzzOutcome::archiveFailure) << "cut at " << cut;
      ASSERT_EQ(outcome.cause, CArchiveException::endOfFile) << "cut at " << cut;
    }
  }
  EXPECT_LE(complete, 2u);
}

TEST(ArchiveCorpus, RandomFlipsFailOnlyWithArchiveFailures) {
  std::mt19937 random(20261206);
  testing::ExpectFlipsStaySound(ValidStream(), FuzzArchive, random, 4000, 4);
}

}  // namespace
}  // namespace brevoxa
