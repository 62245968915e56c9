// The per-thread state of the pseudo-random source.
#include "material/random_source.h"

namespace brevoxa {

RandomSource& ThreadRandomSource() {
  // Constant-initialised, so a new thread pays nothing until its first draw.
  thread_local RandomSource source;
  return source;
}

}  // namespace brevoxa
