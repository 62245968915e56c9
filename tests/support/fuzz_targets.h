// Entry points that feed arbitrary bytes to the readers. The fuzzers call
// them, and the corpus replays in the test suites call them too, so both
// exercise the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace brevoxa::testing {

// What became of one input: read to its end, or the failure it raised.
struct FuzzOutcome {
  enum Kind {
    complete = 0,
    archiveFailure = 1,
    notSupported = 2,
    // Read (or failed) but left the document in a state its users cannot
    // trust: a dangling camera, a failed load that kept data.
    inconsistent = 3,
  } kind = complete;
  int cause = 0;  // the archive cause, for archive failures
};

// Reads the bytes as a stream of objects, strings and counts, in turn, until
// the data ends or a read fails. Anything but an archive or not-supported
// failure escapes (and fails the replay tests).
FuzzOutcome FuzzArchive(const uint8_t* data, size_t size);

// Reads the bytes as a workspace file. Form files are looked up in a folder
// that does not exist, and messages go nowhere.
FuzzOutcome FuzzWorkspace(const uint8_t* data, size_t size);

// Reads the bytes as the body of a form file into a new form.
FuzzOutcome FuzzFormBody(const uint8_t* data, size_t size);

}  // namespace brevoxa::testing
