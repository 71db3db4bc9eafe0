// Library threads that run user callbacks (download and sync procedures). They are never
// waited for by the call that frees their stream: a callback may be blocked waiting for that
// very thread (a synchronous window message, or a free from inside the callback). Each one
// holds a reference to what it works on, so the last one to finish cleans up. A worker that
// has ended is joined by the next start_worker or wait_for_workers, never detached.
#pragma once

#include <functional>

namespace audio {

// Runs `work` on a new thread counted until it returns.
void start_worker(std::function<void()> work);

// Blocks until every worker other than the calling thread has returned. On Windows the
// wait keeps serving messages sent to the calling thread, so a worker blocked in a
// synchronous SendMessage to it can finish.
void wait_for_workers();

} // namespace audio
