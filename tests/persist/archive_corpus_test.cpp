// Corrupt streams: the committed corpus (each file's name starts with the
// failure it must raise), every truncation of a valid stream, and seeded
// random byte flips. Run under the sanitizer build these also catch leaks,
// overflows and undefined behaviour in the reader.
#include <gtest/gtest.h>

#include <random>

#include "support/bytes.h"
#include "support/corpus_replay.h"
#include "support/test_classes.h"

namespace brevoxa {
namespace {

using testing::Bytes;
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
