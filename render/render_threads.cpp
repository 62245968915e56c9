#include "render/render_threads.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "render/thread_start.h"

namespace brevoxa {

namespace {

// Waits up to 0.3 ms for ready() without sleeping; true when it came.
// Yields meanwhile, so that a thread with work on the same processor goes
// first.
template <class Ready>
bool SpinFor(Ready ready) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(300);
  do {
    if (ready()) return true;
    std::this_thread::yield();
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

}  // namespace

RenderThreads::RenderThreads(int threads) {
  const int helpers = std::max(threads, 1) - 1;
  helpers_.reserve(static_cast<size_t>(helpers));
  try {
    for (int k = 1; k <= helpers; ++k) helpers_.push_back(StartThreadElsewhere([this, k] { Serve(k); }));
  } catch (const std::system_error&) {
    // The render goes on with the helpers it has.
  }
}

RenderThreads::~RenderThreads() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  stepBegun_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

void RenderThreads::Run(const std::function<void(int worker)>& work) {
  {
    std::lock_guard lock(mutex_);
    work_ = &work;
    running_ = static_cast<int>(helpers_.size());
    failure_ = nullptr;
    ++step_;
  }
  stepBegun_.notify_all();
  std::exception_ptr own;
  try {
    work(0);
  } catch (...) {
    own = std::current_exception();
  }
  SpinFor([this] { return running_.load() == 0; });
  std::unique_lock lock(mutex_);
  stepEnded_.wait(lock, [this] { return running_ == 0; });
  work_ = nullptr;
  if (own) std::rethrow_exception(own);
  if (failure_) std::rethrow_exception(failure_);
}

void RenderThreads::Serve(int worker) {
  uint64_t done = 0;
  for (;;) {
    SpinFor([&] { return step_.load() != done || closing_.load(); });
    std::unique_lock lock(mutex_);
    stepBegun_.wait(lock, [&] { return closing_ || step_ != done; });
    if (step_ == done) return;  // closing, and no step left
    done = step_;
    const std::function<void(int)>& work = *work_;
    lock.unlock();
    std::exception_ptr thrown;
    try {
      work(worker);
    } catch (...) {
      thrown = std::current_exception();
    }
    lock.lock();
    if (thrown && !failure_) failure_ = thrown;
    if (--running_ == 0) stepEnded_.notify_one();
  }
}

}  // namespace brevoxa
