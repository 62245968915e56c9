// The two ways a render runs: on the interface thread, which it holds until
// the picture is written, or on a thread of its own over a snapshot of the
// workspace, so that the user can go on editing and start more renders.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>

namespace brevoxa {

class ICamera;
class IUserInterface;
class RenderDocument;
class RenderJob;
class Workspace;

inline constexpr const char* kRenderingStatus = "Rendering...";
inline constexpr const char* kDoneRenderingStatus = "Done Rendering";
inline constexpr const char* kSettingUpBackgroundStatus = "Setting up background thread for rendering...";
inline constexpr const char* kSentToBackgroundStatus = "Rendering sent to background thread";

// Renders job.document on the calling thread with the wait cursor shown,
// every message sent synchronously; then runs onFinished, posts 1030 (when
// closeDocument is set) and 1031 with the statistics. The caller frees the
// job afterwards.
void RenderInForeground(RenderJob& job, IUserInterface& ui);

// Runs background renders, one thread per job, and owns each job with its
// snapshot until the job's thread has finished with them. Start, Release
// and the destructor are called on the interface thread.
class BackgroundRenderer {
 public:
  BackgroundRenderer();
  // Stops every render still running, lets go of its job and waits for its
  // thread. The receivers and user interfaces of those jobs must still be
  // there, and a question a render thread is asking must get its answer
  // without the interface thread.
  ~BackgroundRenderer();
  BackgroundRenderer(const BackgroundRenderer&) = delete;
  BackgroundRenderer& operator=(const BackgroundRenderer&) = delete;

  // Replaces the job's document by a snapshot of the workspace seen
  // through viewCamera, posts 1030 with job.userDocument when closeDocument
  // is set (the user's document may close while the snapshot renders), and
  // starts the job's thread. That thread renders, waits for Release, runs
  // onFinished, posts 1031 and frees the snapshot and the job. ui is used
  // from that thread until then. Returns the job, which the receiver may
  // use until it released it. Passes on a failure to make the snapshot.
  RenderJob* Start(std::unique_ptr<RenderJob> job, const Workspace& workspace, const ICamera& viewCamera,
                   const std::string& title, IUserInterface& ui);

  // The receiver has dropped the job (after WM_RENDER_END) and will not
  // touch it again. A job this renderer no longer holds is ignored.
  void Release(RenderJob* job);

  // Renders whose threads have not ended yet.
  size_t RunningCount();

 private:
  struct Worker;

  void Work(Worker* worker, IUserInterface* ui);
  // Joins the threads that have ended. Caller holds mutex_.
  void JoinEnded();

  std::mutex mutex_;
  std::list<std::unique_ptr<Worker>> workers_;
};

}  // namespace brevoxa
