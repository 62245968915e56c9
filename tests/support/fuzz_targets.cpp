// Fuzz entry points shared by the fuzzers and the corpus replays.
#include "support/fuzz_targets.h"

#include <memory>
#include <vector>

#include "persist/archive.h"
#include "persist/file.h"

namespace brevoxa::testing {

FuzzOutcome FuzzArchive(const uint8_t* data, size_t size) {
  CMemFile file(std::vector<uint8_t>(data, data + size));
  CArchive ar(&file, CArchive::load, 128);
  std::vector<std::unique_ptr<CObject>> owned;
  FuzzOutcome outcome;
  try {
    while (ar.BytesRemaining() > 0) {
      owned.emplace_back(ar.ReadOwnedObject());
      if (ar.BytesRemaining() == 0) break;
      ar.ReadString();
      if (ar.BytesRemaining() == 0) break;
      uint32_t count = ar.ReadCount();
      for (uint32_t i = 0; i < count; ++i) owned.emplace_back(ar.ReadOwnedObject());
    }
  } catch (const CArchiveException& e) {
    outcome = {FuzzOutcome::archiveFailure, e.cause()};
  } catch (const CNotSupportedException&) {
    outcome = {FuzzOutcome::notSupported, 0};
  }
  for (CObject* orphan : ar.TakeUnownedObjects()) owned.emplace_back(orphan);
  return outcome;
}

}  // namespace brevoxa::testing
