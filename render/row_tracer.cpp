// Row-by-row tracing on one thread or several.
//
// With several threads, the calling thread and its workers trace rows into
// the slots of a window of rows; between its own rows the calling thread
// hands over, in order, the rows that are complete. No row is taken beyond
// the window, so memory stays flat in the size of the picture.
//
// The window is cut into bands of rows, one for each thread, which each
// thread traces top down, so that the threads work apart. Two threads
// tracing neighbouring rows at once (each taking the next row in turn)
// spent about 3 % more processor time on the rows than one thread alone;
// in bands of their own, as much as one. A thread whose band is done
// starts the next band when all of it fits into the window, and otherwise
// takes rows from the far end of the band that holds up the hand-over, so
// that no thread waits while rows remain.
//
// Stars draw from one random sequence in the order a render on one thread
// meets background rays, which a worker cannot know while earlier rows are
// still being traced. The number of background rays a sample meets does not
// depend on the draws (a star changes a colour, never which rays are
// traced), so workers trace with the draws deferred: every background ray
// shows the sky and is counted. Handing rows over in order, the calling
// thread replays the sequence for those counts, which tells each sample's
// starting state and whether any of its rays makes a star. Only those
// samples are traced again, from their own state; all the others already
// have the colour a render on one thread gives them.
#include "render/row_tracer.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <vector>

#include "material/random_source.h"
#include "render/camera_sampling.h"
#include "render/large_array.h"
#include "render/render_job.h"
#include "render/render_threads.h"

namespace brevoxa {

namespace {

// Shading clamps what it shades, but a miss returns the background as the
// environment holds it; a byte is taken only from a value within 0 ... 255.
uint8_t SampleByte(double v) {
  if (!(v > 0.0)) return 0;  // NaN too
  if (v >= 255.0) return 255;
  return static_cast<uint8_t>(v);
}

void PutSample(uint8_t* rgb, const CVector& colour) {
  rgb[0] = SampleByte(colour.x);
  rgb[1] = SampleByte(colour.y);
  rgb[2] = SampleByte(colour.z);
}

CVector TraceSample(const RowTraceSetup& setup, const TraceContext& context, int32_t column, int32_t row) {
  const Ray ray = setup.sampling->PrimaryRay(column, row);
  return setup.primaryTracer ? setup.primaryTracer(context, ray) : TraceRay(context, ray, 1);
}

// Traces one row into rgb, counting into context's counters. starRays,
// when given, receives each sample's deferred background rays.
void TraceRow(const RowTraceSetup& setup, TraceContext& context, int32_t row, uint8_t* rgb, uint32_t* starRays) {
  for (int32_t column = 0; column < setup.width; ++column) {
    if (setup.job != nullptr) setup.job->WaitWhilePaused();
    if (starRays != nullptr) {
      starRays[column] = 0;
      context.deferredStarRays = &starRays[column];
    }
    PutSample(rgb + static_cast<size_t>(column) * 3, TraceSample(setup, context, column, row));
    ++context.counters->primaryRays;
  }
}

void TraceOnCallingThread(const RowTraceSetup& setup, const RowHandler& takeRow) {
  std::vector<uint8_t> rgb(static_cast<size_t>(setup.width) * 3);
  RenderCounters counters;
  TraceContext context = setup.context;
  context.counters = &counters;
  context.random = setup.random;
  context.deferredStarRays = nullptr;
  for (int32_t row = 0; row < setup.height; ++row) {
    counters = {};
    TraceRow(setup, context, row, rgb.data(), nullptr);
    if (!takeRow(row, rgb, counters)) return;
  }
}

// --- Several threads ---

// The window holds this many rows a thread (within the set-up's bytes), a
// band for each. Bands of 16 rows took about 1 % longer on two threads,
// bands of half the picture no less; a long band also holds back the
// progress, which counts the rows handed over.
constexpr size_t kWindowRowsPerThread = 64;

class ParallelRows {
 public:
  ParallelRows(const RowTraceSetup& setup, int threads)
      : setup_(setup), threads_(threads), stars_(DrawsStars(*setup.context.environment)) {
    const size_t n = static_cast<size_t>(threads);
    const size_t width = static_cast<size_t>(setup.width);
    const size_t rowBytes = width * (3 + (stars_ ? sizeof(uint32_t) : 0));
    const size_t affordable = std::clamp<size_t>(setup.windowBytes / rowBytes, n + 1, kWindowRowsPerThread * n);
    const size_t rows = std::min<size_t>(affordable, static_cast<size_t>(setup.height));
    slots_.resize(rows);
    // One block each, so that a large window's pages come in few faults.
    rgb_.resize(rows * width * 3);
    if (stars_) starRays_.resize(rows * width);
    window_ = static_cast<int32_t>(rows);
    bandLength_ = std::max<int32_t>(window_ / threads, 1);
    bands_.resize(n);
  }

  // The calling thread is one of the tracing threads; between its rows it
  // hands over whatever rows are ready, so no thread is woken per row. The
  // helpers of `threads` numbered up to threads_ - 1 trace too.
  void Run(RenderThreads& threads, const RowHandler& takeRow) {
    const int helpers = threads_ - 1;
    if (setup_.job != nullptr) setup_.job->AddRenderThreads(helpers);
    threads.Run([&](int worker) {
      if (worker == 0) {
        // However the hand-over ends, the workers stop after their rows.
        struct Stopping {
          ParallelRows& rows;
          ~Stopping() { rows.Stop(); }
        } stopping{*this};
        TraceAndHandOver(takeRow);
      } else if (worker <= helpers) {
        Work(worker);
      }
    });
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  struct Slot {
    bool traced = false;
    RenderCounters counters;
  };

  // Rows [front, back) of a band are still to be taken: its thread takes
  // them from the front, others from the back.
  struct Band {
    int32_t front = 0;
    int32_t back = 0;
    bool Empty() const { return front >= back; }
  };

  // What one tracing thread keeps. The counters are copied into the slot
  // when a row is done: the slots lie side by side, and threads bumping
  // counters in neighbouring slots would fight over their cache lines.
  struct Tracer {
    explicit Tracer(const TraceContext& base) : context(base) {
      context.counters = &counters;
      context.random = nullptr;
      context.deferredStarRays = nullptr;
    }
    TraceContext context;
    RenderCounters counters;
  };

  size_t SlotIndex(int32_t row) const { return static_cast<size_t>(row % window_); }
  Slot& SlotOf(int32_t row) { return slots_[SlotIndex(row)]; }
  uint8_t* RgbOf(int32_t row) { return rgb_.data() + SlotIndex(row) * static_cast<size_t>(setup_.width) * 3; }
  uint32_t* StarRaysOf(int32_t row) {
    return stars_ ? starRays_.data() + SlotIndex(row) * static_cast<size_t>(setup_.width) : nullptr;
  }

  // Caller holds mutex_. Every row has been taken.
  bool AllTaken() const {
    if (next_ < setup_.height) return false;
    return std::all_of(bands_.begin(), bands_.end(), [](const Band& band) { return band.Empty(); });
  }

  // Caller holds mutex_. The next row for the thread, or -1 when it has to
  // wait (or stop). A band is started only when all of it fits into the
  // window, so every row taken from it fits too.
  int32_t TakeRow(int worker) {
    if (stopping_) return -1;
    Band& own = bands_[static_cast<size_t>(worker)];
    if (!own.Empty()) return own.front++;
    const int32_t end = std::min(next_ + bandLength_, setup_.height);
    if (next_ < setup_.height && end <= handedOver_ + window_) {
      own = {next_, end};
      next_ = end;
      return own.front++;
    }
    Band* first = nullptr;
    for (Band& band : bands_) {
      if (!band.Empty() && (first == nullptr || band.front < first->front)) first = &band;
    }
    return first != nullptr ? --first->back : -1;
  }

  // The workers take no further row.
  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    workFreed_.notify_all();
  }

  // A wait for another thread, which counts as held while the job is paused.
  template <class Predicate>
  void Await(std::unique_lock<std::mutex>& lock, std::condition_variable& signal, Predicate ready) {
    if (ready()) return;
    if (setup_.job != nullptr) setup_.job->BeginIdle();
    signal.wait(lock, ready);
    if (setup_.job != nullptr) setup_.job->EndIdle();
  }

  // Traces the row taken into its slot; the lock is released meanwhile.
  void TraceTakenRow(std::unique_lock<std::mutex>& lock, Tracer& tracer, int32_t row) {
    Slot& slot = SlotOf(row);
    lock.unlock();
    tracer.counters = {};
    TraceRow(setup_, tracer.context, row, RgbOf(row), StarRaysOf(row));
    lock.lock();
    slot.counters = tracer.counters;
    slot.traced = true;
  }

  void Work(int worker) {
    Tracer tracer(setup_.context);
    try {
      std::unique_lock lock(mutex_);
      for (;;) {
        int32_t row = -1;
        Await(lock, workFreed_, [&] {
          row = TakeRow(worker);
          return row >= 0 || stopping_ || AllTaken();
        });
        if (row < 0) break;
        TraceTakenRow(lock, tracer, row);
        rowDone_.notify_all();
      }
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      stopping_ = true;
      rowDone_.notify_all();
      workFreed_.notify_all();
    }
    if (setup_.job != nullptr) setup_.job->RemoveRenderThreads(1);
  }

  void TraceAndHandOver(const RowHandler& takeRow) {
    Tracer tracer(setup_.context);
    std::unique_lock lock(mutex_);
    while (handedOver_ < setup_.height && failure_ == nullptr) {
      Slot& slot = SlotOf(handedOver_);
      if (slot.traced) {
        const int32_t row = handedOver_;
        lock.unlock();
        // A row that finished as the pause began waits for the resume.
        if (setup_.job != nullptr) setup_.job->WaitWhilePaused();
        const std::span<uint8_t> rgb(RgbOf(row), static_cast<size_t>(setup_.width) * 3);
        if (stars_) PlaceStars(row, rgb.data(), StarRaysOf(row));
        const bool goOn = takeRow(row, rgb, slot.counters);
        lock.lock();
        slot.traced = false;
        handedOver_ = row + 1;
        if (!goOn) stopping_ = true;
        workFreed_.notify_all();
        if (!goOn) return;
      } else if (const int32_t next = TakeRow(0); next >= 0) {
        TraceTakenRow(lock, tracer, next);
      } else {
        Await(lock, rowDone_, [&] { return slot.traced || failure_ != nullptr; });
      }
    }
  }

  // Replays the random sequence over the row's background rays and traces
  // again, from its own starting state, every sample that shows a star.
  // The second trace meets the same rays and was counted the first time;
  // a primary ray that met nothing meets nothing again and shows only the
  // background, which is all that is needed of it (two in three of the
  // samples traced again in a scene of a mirror sphere under the stars,
  // where the walk out of the scene was most of their cost).
  void PlaceStars(int32_t row, uint8_t* rowRgb, const uint32_t* starRays) {
    const EnvironmentSettings& environment = *setup_.context.environment;
    RandomSource& random = *setup_.random;
    for (int32_t column = 0; column < setup_.width; ++column) {
      const RandomSource start = random;
      const uint32_t deferred = starRays[column];
      bool star = false;
      for (uint32_t i = 0; i < (deferred & ~kPrimaryRayMissed); ++i) star = TakeStarDraws(environment, random) || star;
      if (!star) continue;
      RandomSource own = start;
      uint8_t* rgb = rowRgb + static_cast<size_t>(column) * 3;
      if ((deferred & kPrimaryRayMissed) != 0 && !setup_.primaryTracer) {
        PutSample(rgb, BackgroundColor(environment, setup_.sampling->PrimaryRay(column, row), own));
        continue;
      }
      RenderCounters discarded;
      TraceContext context = setup_.context;
      context.counters = &discarded;
      context.random = &own;
      context.deferredStarRays = nullptr;
      PutSample(rgb, TraceSample(setup_, context, column, row));
    }
  }

  const RowTraceSetup& setup_;
  const int threads_;
  const bool stars_;
  std::vector<Slot> slots_;
  LargeVector<uint8_t> rgb_;
  LargeVector<uint32_t> starRays_;
  int32_t window_ = 1;     // rows the window holds
  int32_t bandLength_ = 1;  // rows of a band

  std::mutex mutex_;
  std::condition_variable workFreed_;  // a slot came free, or stop
  std::condition_variable rowDone_;    // a row was traced, or a worker failed
  int32_t next_ = 0;                   // the first row of the next band
  std::vector<Band> bands_;            // each thread's band
  int32_t handedOver_ = 0;             // rows handed over so far
  bool stopping_ = false;
  std::exception_ptr failure_;
};

}  // namespace

void TraceRows(const RowTraceSetup& setup, const RowHandler& takeRow) {
  if (setup.width < 1 || setup.height < 1) return;
  const int running = setup.threads != nullptr
                          ? std::clamp(std::min(setup.threads->Count(), setup.height), 1, kMaxTracingThreads)
                          : 1;
  if (running == 1) {
    TraceOnCallingThread(setup, takeRow);
    return;
  }
  ParallelRows(setup, running).Run(*setup.threads, takeRow);
}

}  // namespace brevoxa
