// Threads that nobody joins: work that may outlive the call that started it (an address
// look-up that cannot be interrupted) and cleans up after itself.
#pragma once

#include <functional>

namespace audio {

// Starts `work` on a thread of its own. Throws std::system_error when no thread can be
// started (the work is then dropped). On Windows a plain CRT thread: MinGW's std::thread
// can hand one thread record to two threads when a detach races with the thread's own end,
// which leaves another library thread without its work (worker_threads.cpp joins its
// threads instead, for the same reason).
void start_unjoined_thread(std::function<void()> work);

} // namespace audio
