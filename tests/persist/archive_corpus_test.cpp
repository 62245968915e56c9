// Corrupt streams: the committed corpus (each file's name starts with the
// failure it must raise), every truncation of a valid stream, and seeded
// random byte flips. Run under the sanitizer build these also catch leaks,
// overflows and undefined behaviour in the reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "support/bytes.h"
#include "support/fuzz_targets.h"
#include "support/test_classes.h"

namespace brevoxa {
namespace {

using testing::Bytes;
using testing::FuzzArchive;
using testing::FuzzOutcome;

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

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
  const std::map<std::string, FuzzOutcome> expected = {
      {"ok", {FuzzOutcome::complete, 0}},
      {"eof", {FuzzOutcome::archiveFailure, CArchiveException::endOfFile}},
      {"badclass", {FuzzOutcome::archiveFailure, CArchiveException::badClass}},
      {"badschema", {FuzzOutcome::archiveFailure, CArchiveException::badSchema}},
      {"badindex", {FuzzOutcome::archiveFailure, CArchiveException::badIndex}},
  };
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(BREVOXA_TEST_DATA "/corpus/archive")) {
    std::string name = entry.path().filename().string();
    auto it = expected.find(name.substr(0, name.find('-')));
    ASSERT_NE(it, expected.end()) << name << ": the name must start with the expected outcome";
    FuzzOutcome outcome = Replay(ReadFile(entry.path()));
    EXPECT_EQ(outcome.kind, it->second.kind) << name;
    EXPECT_EQ(outcome.cause, it->second.cause) << name;
    ++files;
  }
  EXPECT_GE(files, 10);
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
  const Bytes full = ValidStream();
  std::mt19937 random(20261206);
  std::uniform_int_distribution<size_t> position(0, full.size() - 1);
  std::uniform_int_distribution<int> value(0, 255), flips(1, 4);
  int failures = 0;
  for (int round = 0; round < 4000; ++round) {
    Bytes bytes = full;
    for (int i = flips(random); i > 0; --i) bytes[position(random)] = static_cast<uint8_t>(value(random));
    // Anything but an archive or not-supported failure escapes and fails the test.
    FuzzOutcome outcome = Replay(bytes);
    failures += outcome.kind != FuzzOutcome::complete;
  }
  EXPECT_GT(failures, 0);
}

}  // namespace
}  // namespace brevoxa
