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

// Reads the bytes as a settings file into a new document of the kind. A
// failed read must leave the document's defaults untouched.
enum class SettingsKind { material = 1, environment = 2, renderSettings = 3 };
FuzzOutcome FuzzSettings(SettingsKind kind, const uint8_t* data, size_t size);

// Decodes the bytes as an image file named with the extension. The result
// is complete for a decoded image and an archive-free failure otherwise;
// anything inconsistent (a decoded image whose buffer does not match its
// size) is reported as such.
FuzzOutcome FuzzImage(const uint8_t* data, size_t size, const std::string& extension);

}  // namespace brevoxa::testing
