// Replays of corrupt inputs through the fuzz entry points: a committed
// corpus whose file names state their outcome, every truncation of a valid
// input, and seeded random byte flips.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "persist/exceptions.h"
#include "support/bytes.h"
#include "support/fuzz_targets.h"

namespace brevoxa::testing {

using Replayer = std::function<FuzzOutcome(const uint8_t*, size_t)>;

// Each file's name starts with the outcome it must give ("eof-...").
inline void ExpectOutcomesByName(const std::filesystem::path& dir, const Replayer& replay, int minimumFiles) {
  const std::map<std::string, FuzzOutcome> expected = {
      {"ok", {FuzzOutcome::complete, 0}},
      {"eof", {FuzzOutcome::archiveFailure, CArchiveException::endOfFile}},
      {"badclass", {FuzzOutcome::archiveFailure, CArchiveException::badClass}},
      {"badschema", {FuzzOutcome::archiveFailure, CArchiveException::badSchema}},
      {"badindex", {FuzzOutcome::archiveFailure, CArchiveException::badIndex}},
  };
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    auto it = expected.find(name.substr(0, name.find('-')));
    ASSERT_NE(it, expected.end()) << name << ": the name must start with the expected outcome";
    const Bytes bytes = ReadFile(entry.path());
    const FuzzOutcome outcome = replay(bytes.data(), bytes.size());
    EXPECT_EQ(outcome.kind, it->second.kind) << name;
    EXPECT_EQ(outcome.cause, it->second.cause) << name;
    ++files;
  }
  EXPECT_GE(files, minimumFiles);
}

// The whole input reads to its end; every shorter prefix fails at its end.
inline void ExpectEveryCutFails(const Bytes& full, const Replayer& replay) {
  ASSERT_EQ(replay(full.data(), full.size()).kind, FuzzOutcome::complete);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    const FuzzOutcome outcome = replay(full.data(), cut);
    ASSERT_EQ(outcome.kind, FuzzOutcome::archiveFailure) << "cut at " << cut;
    ASSERT_EQ(outcome.cause, CArchiveException::endOfFile) << "cut at " << cut;
  }
}

// Up to maxFlips random bytes changed per round: some rounds must fail, and
// none may leave an inconsistent document (anything but the readers' own
// failures escapes and fails the test).
inline void ExpectFlipsStaySound(const Bytes& full, const Replayer& replay, std::mt19937& random, int rounds,
                                 int maxFlips) {
  std::uniform_int_distribution<size_t> position(0, full.size() - 1);
  std::uniform_int_distribution<int> value(0, 255), flips(1, maxFlips);
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    Bytes bytes = full;
    for (int i = flips(random); i > 0; --i) bytes[position(random)] = static_cast<uint8_t>(value(random));
    const FuzzOutcome outcome = replay(bytes.data(), bytes.size());
    ASSERT_NE(outcome.kind, FuzzOutcome::inconsistent) << "round " << round;
    failures += outcome.kind != FuzzOutcome::complete;
  }
  EXPECT_GT(failures, 0);
}

}  // namespace brevoxa::testing
