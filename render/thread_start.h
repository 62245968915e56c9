// Starting a helper thread on another processor than its creator's.
#pragma once

#include <functional>
#include <thread>

namespace brevoxa {

// Linux queues a new thread on its creator's processor. While the creator
// keeps busy there, the thread waits for the scheduler's balancer to move
// it, which took up to a tick (4 ms) on the machines we render on: a
// render on two threads traced its first 30 rows on both threads of one
// processor now and then. So the thread starts on another of the
// processors the creator may use, where there is one, and may go to any of
// them once it runs. Throws what std::thread's constructor throws.
std::thread StartThreadElsewhere(std::function<void()> work);

}  // namespace brevoxa
