// RenderJob: one render request, from the moment a camera view asks for a
// picture until its statistics have reached the main window. The render
// reports through numbered messages to a receiver (the main window, or the
// command-line tool) and is steered back through the job: stop, pause and
// the release that tells a background render nobody refers to it any more.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "math/vector.h"
#include "render/render_doc.h"
#include "render/render_progress.h"
#include "render/render_statistics.h"

namespace brevoxa {

class RenderDocument;
class RenderJob;
struct Ray;
struct TraceContext;

// The messages a render sends; the numbers are the ones the main window has
// always dispatched on.
inline constexpr int WM_RENDER_BEGIN = 1025;       // register the job
inline constexpr int WM_RENDER_PHASE = 1026;       // wParam: the phase's weight in thousandths
inline constexpr int WM_RENDER_POSITION = 1027;    // wParam: 0 ... 1000 within the phase
inline constexpr int WM_RENDER_END = 1028;         // drop the job, then Release it
inline constexpr int WM_RENDER_SHOWIMAGE = 1029;   // imagePath: open the picture
inline constexpr int WM_RENDER_CLOSEDOC = 1030;    // userDocument: close it
inline constexpr int WM_RENDER_STATISTICS = 1031;  // statistics: the last render's record

struct RenderMessage {
  int id = 0;
  int wParam = 0;
  // The job for 1025 ... 1028. Null for 1029 ... 1031: those may be handled
  // after the job is gone.
  RenderJob* job = nullptr;
  std::string imagePath;
  void* userDocument = nullptr;
  RenderStatistics statistics;
};

// The main window's side. A background render posts from its own thread,
// so Post must be safe to call from any thread and must not wait for the
// interface thread. A foreground render sends on the interface thread and
// expects the message handled before Send returns.
class IRenderReceiver {
 public:
  virtual ~IRenderReceiver() = default;
  virtual void Post(RenderMessage message) = 0;
  virtual void Send(RenderMessage message) { Post(std::move(message)); }
};

enum class RenderPath {
  foreground = 1,  // on the interface thread, messages sent synchronously
  background = 2,  // on a thread of its own, messages posted
};

// Where the job is; for the progress display and for tests.
enum class RenderJobState {
  created = 1,
  rendering = 2,
  held = 3,              // paused, and the render thread has stopped
  awaitingRelease = 4,   // rendered; waiting for the receiver's Release
  finished = 5,
};

class RenderJob {
 public:
  explicit RenderJob(IRenderReceiver& receiver, int closeDocument = 0,
                     std::function<void(const RenderJob&)> onFinished = {});
  RenderJob(const RenderJob&) = delete;
  RenderJob& operator=(const RenderJob&) = delete;

  // --- The request ---

  // What the render reads; the background path replaces it by a snapshot.
  RenderDocument* document = nullptr;
  // When non-zero, the receiver is asked to close userDocument (1030) once
  // the render no longer needs it.
  int closeDocument = 0;
  void* userDocument = nullptr;
  // Runs once after the render, before the statistics are posted: on the
  // render thread on the background path.
  std::function<void(const RenderJob&)> onFinished;
  RenderPath path = RenderPath::foreground;

  // Called on the render thread with the reduced picture (a sample file of
  // factor 1) after the JPEG was written and before the file is deleted,
  // so that a caller can write it in another format too.
  std::function<void(const std::string& reducedPath)> onImageReduced;
  // Called with the raw samples once they are complete, before the
  // reduction removes them.
  std::function<void(const std::string& rawPath)> onRawSamples;
  // Traces the primary rays instead of the shading, when set: the camera's
  // rays and the sample file can then be checked apart from the shading.
  // Called on every tracing thread at once unless threads is 1.
  std::function<CVector(const TraceContext&, const Ray&)> primaryTracer;
  // How many threads trace the samples; 0 takes one per hardware thread.
  // The picture, the statistics and the progress messages are the same for
  // every count.
  int threads = 0;
  // threads with 0 resolved, at least 1.
  int TracingThreads() const;

  // --- What the render left (render thread; read after WM_RENDER_END) ---

  std::string label;
  RenderStatistics statistics;
  // The render settings it used.
  RenderSettings settings;
  // Whether the user declined one of the two questions: nothing was sent
  // or written then.
  bool cancelled = false;
  bool imageWritten = false;

  // --- The progress display's own state (interface thread only) ---

  RenderProgress progress;

  // --- Messages ---

  // Both post on the background path and send on the foreground path.
  // SendProgress carries the job; Deliver passes the message as it is.
  void SendProgress(int message, int wParam);
  void Deliver(RenderMessage message);
  IRenderReceiver& Receiver() const { return receiver_; }

  // --- Stop, pause and release (any thread) ---

  // Once true, stays true. The foreground path also asks the poll function
  // installed with SetStopPoll (the editor polls the Escape key there).
  bool StopRequested();
  // Lets a key pressed before the render began go unnoticed.
  void DiscardPendingStop();
  void SetStopPoll(std::function<bool()> poll) { stopPoll_ = std::move(poll); }
  // Ends the render after its current row; also resumes a paused one.
  void RequestStop();

  // A thread cannot be suspended safely here, so a paused render stops at
  // its next sample and waits there. The job is held once every one of its
  // threads has stopped, so that nothing moves while it is paused.
  void Pause();
  void Resume();
  bool IsPaused() const { return pauseRequested_.load(); }
  // Render threads: waits while the job is paused.
  void WaitWhilePaused();
  // The render's threads besides the one that runs the driver, which
  // always counts: octree-building and tracing threads join while they
  // run.
  void AddRenderThreads(int count);
  void RemoveRenderThreads(int count);
  // Around a render thread's wait for another render thread: a thread
  // waiting for one that is held is as still as a held one.
  void BeginIdle();
  void EndIdle();

  // The receiver lets go of the job after it dropped it on WM_RENDER_END;
  // a background render frees the job only after that.
  void Release();
  // Render thread: from registration on, the receiver must Release the job.
  void ExpectRelease();
  void WaitForRelease();
  // The owner is going away: stops the render, resumes it, and lets it
  // finish without waiting for a Release that will never come.
  void Abandon();

  RenderJobState GetState() const { return state_.load(); }
  void SetState(RenderJobState state) { state_.store(state); }

 private:
  // Caller holds mutex_.
  void HeldWhenAllStill();

  IRenderReceiver& receiver_;
  std::function<bool()> stopPoll_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> pauseRequested_{false};
  std::atomic<RenderJobState> state_{RenderJobState::created};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool paused_ = false;     // under mutex_
  int renderThreads_ = 1;   // under mutex_
  int stillThreads_ = 0;    // under mutex_: held or idle
  bool released_ = true;    // under mutex_
  bool abandoned_ = false;  // under mutex_
};

}  // namespace brevoxa
