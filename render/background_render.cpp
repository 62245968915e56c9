// Foreground and background renders.
#include "render/background_render.h"

#include <exception>
#include <stdexcept>
#include <thread>

#include "render/render_document.h"
#include "render/render_job.h"
#include "render/render_workspace.h"
#include "ui/user_interface.h"

namespace brevoxa {

namespace {

void PostStatistics(RenderJob& job) {
  RenderMessage message;
  message.id = WM_RENDER_STATISTICS;
  message.statistics = job.statistics;
  job.Receiver().Post(std::move(message));
}

void PostCloseDocument(RenderJob& job) {
  RenderMessage message;
  message.id = WM_RENDER_CLOSEDOC;
  message.userDocument = job.userDocument;
  job.Receiver().Post(std::move(message));
}

void Finish(RenderJob& job, IUserInterface& ui) {
  if (!job.onFinished) return;
  try {
    job.onFinished(job);
  } catch (const std::exception& e) {
    ui.Message(e.what());
  }
}

}  // namespace

// --- Foreground ---

void RenderInForeground(RenderJob& job, IUserInterface& ui) {
  if (job.document == nullptr) throw std::invalid_argument("a render job without a document");
  job.path = RenderPath::foreground;
  ui.Status(kRenderingStatus);
  {
    WaitCursor wait(ui);
    RenderWorkspace(*job.document, job, ui);
    job.SetState(RenderJobState::finished);
    Finish(job, ui);
    if (job.closeDocument != 0) PostCloseDocument(job);
    PostStatistics(job);
  }
  ui.Status(kDoneRenderingStatus);
}

// --- Background ---

struct BackgroundRenderer::Worker {
  // Both null once the thread has freed them.
  std::unique_ptr<RenderJob> job;
  std::unique_ptr<RenderDocument> snapshot;
  std::thread thread;
  bool ended = false;
};

BackgroundRenderer::BackgroundRenderer() = default;

BackgroundRenderer::~BackgroundRenderer() {
  std::list<std::unique_ptr<Worker>> workers;
  {
    std::lock_guard lock(mutex_);
    for (auto& worker : workers_)
      if (worker->job) worker->job->Abandon();
    workers.swap(workers_);
  }
  for (auto& worker : workers)
    if (worker->thread.joinable()) worker->thread.join();
}

RenderJob* BackgroundRenderer::Start(std::unique_ptr<RenderJob> job, const Workspace& workspace,
                                     const ICamera& viewCamera, const std::string& title, IUserInterface& ui) {
  if (!job) throw std::invalid_argument("no render job");
  ui.Status(kSettingUpBackgroundStatus);
  RenderJob* started = job.get();
  {
    WaitCursor wait(ui);
    auto worker = std::make_unique<Worker>();
    worker->snapshot = RenderDocument::Snapshot(workspace, viewCamera, title);
    job->document = worker->snapshot.get();
    job->path = RenderPath::background;
    if (job->closeDocument != 0) PostCloseDocument(*job);
    worker->job = std::move(job);

    std::lock_guard lock(mutex_);
    JoinEnded();
    Worker* w = worker.get();
    workers_.push_back(std::move(worker));
    // The thread's first look at the list waits for this lock, so it always
    // finds its own entry in place.
    w->thread = std::thread(&BackgroundRenderer::Work, this, w, &ui);
  }
  ui.Status(kSentToBackgroundStatus);
  return started;
}

void BackgroundRenderer::Work(Worker* worker, IUserInterface* ui) {
  RenderJob* job;
  RenderDocument* snapshot;
  {
    std::lock_guard lock(mutex_);
    job = worker->job.get();
    snapshot = worker->snapshot.get();
  }
  try {
    RenderWorkspace(*snapshot, *job, *ui);
  } catch (const std::exception& e) {
    // The driver reports its own failures; this is one of the questions.
    ui->Message(e.what());
  }
  job->WaitForRelease();
  job->SetState(RenderJobState::finished);
  Finish(*job, *ui);
  PostStatistics(*job);

  std::unique_ptr<RenderJob> ownedJob;
  std::unique_ptr<RenderDocument> ownedSnapshot;
  {
    std::lock_guard lock(mutex_);
    ownedJob = std::move(worker->job);
    ownedSnapshot = std::move(worker->snapshot);
  }
  ownedJob.reset();
  ownedSnapshot.reset();
  std::lock_guard lock(mutex_);
  worker->ended = true;
}

void BackgroundRenderer::Release(RenderJob* job) {
  std::lock_guard lock(mutex_);
  for (auto& worker : workers_) {
    if (worker->job.get() == job && job != nullptr) {
      job->Release();
      return;
    }
  }
}

size_t BackgroundRenderer::RunningCount() {
  std::lock_guard lock(mutex_);
  JoinEnded();
  return workers_.size();
}

void BackgroundRenderer::JoinEnded() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->ended) {
      // Its last step was to mark itself; the join returns at once.
      if ((*it)->thread.joinable()) (*it)->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace brevoxa
