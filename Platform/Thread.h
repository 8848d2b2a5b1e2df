// Worker threads.
#pragma once

#include <cstddef>
#include <functional>

namespace platform {

// What a thread runs: a callable that carries its own job.
using ThreadProcedure = std::function<void()>;

// Runs `procedure` on a new detached thread; its handle is not kept and
// nothing can wait for it. False when the thread could not be made. A
// `stackBytes` of 0 gives the system's default stack.
bool StartThread(ThreadProcedure procedure, size_t stackBytes = 0);

}  // namespace platform
