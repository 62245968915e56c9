#include "render/thread_start.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <memory>
#include <utility>

namespace brevoxa {

std::thread StartThreadElsewhere(std::function<void()> work) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  const int here = sched_getcpu();
  if (here < 0 || here >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0 ||
      !CPU_ISSET(here, &allowed) || CPU_COUNT(&allowed) < 2) {
    return std::thread(std::move(work));
  }
  // The thread widens its processors again only once it has been placed,
  // and waits for that by blocking, so that if it runs first, here, it
  // hands this processor straight back.
  auto placed = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([work = std::move(work), placed, allowed] {
    placed->wait(false);
    sched_setaffinity(0, sizeof allowed, &allowed);
    work();
  });
  cpu_set_t elsewhere = allowed;
  CPU_CLR(here, &elsewhere);
  // Should this fail, the thread merely starts where the scheduler puts it.
  pthread_setaffinity_np(thread.native_handle(), sizeof elsewhere, &elsewhere);
  placed->store(true);
  placed->notify_one();
  return thread;
}

}  // namespace brevoxa
