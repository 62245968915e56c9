// Row-by-row tracing on one thread or several.
//
// With several threads, the calling thread and its workers take rows in
// order and trace them into the slots of a window of rows; between its own
// rows the calling thread hands over, in order, the rows that are complete.
// A worker waits while its next row would fall outside the window, so
// memory stays flat in the size of the picture.
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

// The window holds up to 16 rows a thread, so that no thread waits while
// the calling thread traces a row before its next hand-over, but no more
// than about this many bytes, unless even one row a thread (and one more)
// would take more.
constexpr size_t kWindowBytes = size_t{16} << 20;

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

class ParallelRows {
 public:
  ParallelRows(const RowTraceSetup& setup, int threads)
      : setup_(setup), threads_(threads), stars_(DrawsStars(*setup.context.environment)) {
    const size_t n = static_cast<size_t>(threads);
    const size_t rowBytes = static_cast<size_t>(setup.width) * (3 + (stars_ ? sizeof(uint32_t) : 0));
    const size_t affordable = std::clamp<size_t>(kWindowBytes / rowBytes, n + 1, 16 * n);
    slots_.resize(std::min<size_t>(affordable, static_cast<size_t>(setup.height)));
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
        Work();
      }
    });
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  struct Slot {
    bool traced = false;
    std::vector<uint8_t> rgb;
    std::vector<uint32_t> starRays;
    RenderCounters counters;
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

  Slot& SlotOf(int32_t row) { return slots_[static_cast<size_t>(row) % slots_.size()]; }
  // Caller holds mutex_.
  bool CanTakeRow() const {
    return !stopping_ && next_ < setup_.height && next_ < handedOver_ + static_cast<int32_t>(slots_.size());
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

  // Takes the next row and traces it into its slot; the lock is released
  // meanwhile. Caller holds the lock and has checked CanTakeRow.
  void TraceNextRow(std::unique_lock<std::mutex>& lock, Tracer& tracer) {
    const int32_t row = next_++;
    Slot& slot = SlotOf(row);
    lock.unlock();
    const size_t width = static_cast<size_t>(setup_.width);
    slot.rgb.resize(width * 3);
    if (stars_) slot.starRays.resize(width);
    tracer.counters = {};
    TraceRow(setup_, tracer.context, row, slot.rgb.data(), stars_ ? slot.starRays.data() : nullptr);
    lock.lock();
    slot.counters = tracer.counters;
    slot.traced = true;
  }

  void Work() {
    Tracer tracer(setup_.context);
    try {
      std::unique_lock lock(mutex_);
      for (;;) {
        Await(lock, workFreed_, [this] { return stopping_ || next_ >= setup_.height || CanTakeRow(); });
        if (!CanTakeRow()) break;
        TraceNextRow(lock, tracer);
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
        if (stars_) PlaceStars(row, slot);
        const bool goOn = takeRow(row, slot.rgb, slot.counters);
        lock.lock();
        slot.traced = false;
        handedOver_ = row + 1;
        if (!goOn) stopping_ = true;
        workFreed_.notify_all();
        if (!goOn) return;
      } else if (CanTakeRow()) {
        TraceNextRow(lock, tracer);
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
  void PlaceStars(int32_t row, Slot& slot) {
    const EnvironmentSettings& environment = *setup_.context.environment;
    RandomSource& random = *setup_.random;
    for (int32_t column = 0; column < setup_.width; ++column) {
      const RandomSource start = random;
      const uint32_t deferred = slot.starRays[static_cast<size_t>(column)];
      bool star = false;
      for (uint32_t i = 0; i < (deferred & ~kPrimaryRayMissed); ++i) star = TakeStarDraws(environment, random) || star;
      if (!star) continue;
      RandomSource own = start;
      uint8_t* rgb = slot.rgb.data() + static_cast<size_t>(column) * 3;
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

  std::mutex mutex_;
  std::condition_variable workFreed_;  // a slot came free, or stop
  std::condition_variable rowDone_;    // a row was traced, or a worker failed
  int32_t next_ = 0;                   // the next row a worker takes
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
