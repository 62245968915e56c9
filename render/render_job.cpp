// The render job's messages and its stop, pause and release gates.
#include "render/render_job.h"

#include <algorithm>
#include <thread>

namespace brevoxa {

RenderJob::RenderJob(IRenderReceiver& receiver, int closeDocument, std::function<void(const RenderJob&)> onFinished)
    : closeDocument(closeDocument), onFinished(std::move(onFinished)), receiver_(receiver) {}

void RenderJob::SendProgress(int message, int wParam) {
  RenderMessage m;
  m.id = message;
  m.wParam = wParam;
  m.job = this;
  Deliver(std::move(m));
}

void RenderJob::Deliver(RenderMessage message) {
  if (path == RenderPath::background) {
    receiver_.Post(std::move(message));
  } else {
    receiver_.Send(std::move(message));
  }
}

int RenderJob::TracingThreads() const {
  if (threads > 0) return threads;
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// --- Stop ---

bool RenderJob::StopRequested() {
  if (stop_.load()) return true;
  // The poll answers a key press once; the stop must outlast it, since the
  // octree build and the pixel loop both ask.
  if (stopPoll_ && stopPoll_()) {
    stop_.store(true);
    return true;
  }
  return false;
}

void RenderJob::DiscardPendingStop() {
  if (stopPoll_) stopPoll_();
}

void RenderJob::RequestStop() {
  stop_.store(true);
  Resume();
}

// --- Pause ---

void RenderJob::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
  pauseRequested_.store(true);
}

void RenderJob::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
    pauseRequested_.store(false);
    // Not held from here on, even before the render thread wakes up.
    if (state_.load() == RenderJobState::held) state_.store(RenderJobState::rendering);
  }
  wake_.notify_all();
}

void RenderJob::WaitWhilePaused() {
  // Asked at every sample, so the common case takes no lock.
  if (!pauseRequested_.load()) return;
  std::unique_lock lock(mutex_);
  ++stillThreads_;
  // Paused again before this thread woke up: held again.
  while (paused_) {
    HeldWhenAllStill();
    wake_.wait(lock);
  }
  --stillThreads_;
}

void RenderJob::AddRenderThreads(int count) {
  std::lock_guard lock(mutex_);
  renderThreads_ += count;
}

void RenderJob::RemoveRenderThreads(int count) {
  std::lock_guard lock(mutex_);
  renderThreads_ -= count;
  // The threads that remain may all be still already.
  HeldWhenAllStill();
}

void RenderJob::BeginIdle() {
  std::lock_guard lock(mutex_);
  ++stillThreads_;
  HeldWhenAllStill();
}

void RenderJob::HeldWhenAllStill() {
  if (paused_ && stillThreads_ >= renderThreads_) state_.store(RenderJobState::held);
}

void RenderJob::EndIdle() {
  std::lock_guard lock(mutex_);
  --stillThreads_;
  if (state_.load() == RenderJobState::held) state_.store(RenderJobState::rendering);
}

// --- Release ---

void RenderJob::Release() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  wake_.notify_all();
}

void RenderJob::ExpectRelease() {
  std::lock_guard lock(mutex_);
  released_ = false;
}

void RenderJob::WaitForRelease() {
  std::unique_lock lock(mutex_);
  state_.store(RenderJobState::awaitingRelease);
  wake_.wait(lock, [this] { return released_ || abandoned_; });
}

void RenderJob::Abandon() {
  stop_.store(true);
  {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    paused_ = false;
    pauseRequested_.store(false);
    if (state_.load() == RenderJobState::held) state_.store(RenderJobState::rendering);
  }
  wake_.notify_all();
}

}  // namespace brevoxa
