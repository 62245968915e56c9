// The helper threads of one render. They are started once, as the render
// begins, and each step that can use them (the polygons' normals, the
// octree build, tracing) hands them its work in turn. On the machines we
// render on a new thread ran 0.1–0.3 ms after it was asked for, and a
// thread asleep on a condition took 25–70 µs to wake; so after each step
// the helpers look for the next one for a moment before they sleep, and
// the steps of a render, which follow each other closely, reach them in
// about a microsecond.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace brevoxa {

class RenderThreads {
 public:
  // threads: the calling thread included. Fewer helpers are started when
  // the system has no more threads to give.
  explicit RenderThreads(int threads);
  ~RenderThreads();
  RenderThreads(const RenderThreads&) = delete;
  RenderThreads& operator=(const RenderThreads&) = delete;

  // The calling thread included.
  int Count() const { return static_cast<int>(helpers_.size()) + 1; }

  // Calls work(k) on helper k, k = 1 ... Count() - 1, and work(0) on the
  // calling thread, and returns once every call has returned; then passes
  // on the first exception any of them threw. One step at a time, from the
  // thread that made the helpers.
  void Run(const std::function<void(int worker)>& work);

 private:
  void Serve(int worker);

  std::vector<std::thread> helpers_;
  std::mutex mutex_;
  std::condition_variable stepBegun_;
  std::condition_variable stepEnded_;
  const std::function<void(int)>* work_ = nullptr;  // under mutex_
  std::atomic<uint64_t> step_{0};                   // written under mutex_
  std::atomic<int> running_{0};                     // written under mutex_: helpers in the step
  std::atomic<bool> closing_{false};                // written under mutex_
  std::exception_ptr failure_;                      // under mutex_
};

}  // namespace brevoxa
