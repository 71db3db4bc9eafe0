#include "worker_threads.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace audio {

namespace {

std::mutex workers_lock; // guards running_workers
std::condition_variable workers_changed;
int running_workers = 0;
thread_local bool on_worker_thread = false;

} // namespace

void start_worker(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> guard(workers_lock);
        ++running_workers;
    }
    try {
        std::thread([work = std::move(work)] {
            on_worker_thread = true;
            work();
            std::lock_guard<std::mutex> guard(workers_lock);
            --running_workers;
            workers_changed.notify_all();
        }).detach();
    } catch (...) {
        std::lock_guard<std::mutex> guard(workers_lock);
        --running_workers;
        throw;
    }
}

void wait_for_workers() {
    const int own = on_worker_thread ? 1 : 0;
#ifdef _WIN32
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(workers_lock);
            if (running_workers <= own)
                return;
        }
        // Serve synchronous messages sent to this thread while waiting.
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
#else
    std::unique_lock<std::mutex> guard(workers_lock);
    workers_changed.wait(guard, [&] { return running_workers <= own; });
#endif
}

} // namespace audio
