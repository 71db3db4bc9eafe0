#include "worker_threads.h"

#include "debug_log.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace audio {

namespace {

// Workers are joined once they have ended rather than detached: MinGW's thread library can
// hand one thread record to two threads when a detach races with the thread's own end,
// which lost a worker (its count never dropped) or started one with no work at all.
std::mutex workers_lock; // guards the three below
std::condition_variable workers_changed;
// Never destroyed: a worker may still run while the process exits.
std::map<uint64_t, std::thread> &workers = *new std::map<uint64_t, std::thread>;
std::vector<uint64_t> ended_workers; // in `workers`, past their work, not yet joined
uint64_t last_worker_id = 0;
thread_local bool on_worker_thread = false;

int running_workers() {
    return static_cast<int>(workers.size() - ended_workers.size());
}

// Takes the threads of ended workers out of the table; called with workers_lock held.
std::vector<std::thread> take_ended_workers() {
    std::vector<std::thread> ended;
    for (uint64_t id : ended_workers) {
        auto found = workers.find(id);
        ended.push_back(std::move(found->second));
        workers.erase(found);
    }
    ended_workers.clear();
    return ended;
}

// Without workers_lock: an ended worker has only to return, so each join is short.
void join_all(std::vector<std::thread> &ended) {
    for (std::thread &each : ended)
        each.join();
}

// The last guard of a worker's body (each owner ends its own work as failed before this):
// an exception is logged and the thread ends, never the process.
void run_caught(const std::function<void()> &work) noexcept {
    try {
        work();
    } catch (const std::exception &failure) {
        log_thread_failure("worker", failure.what());
    } catch (...) {
        log_thread_failure("worker", "unknown exception");
    }
}

} // namespace

void start_worker(std::function<void()> work) {
    std::vector<std::thread> ended;
    {
        std::lock_guard<std::mutex> guard(workers_lock);
        ended = take_ended_workers();
        const uint64_t id = ++last_worker_id;
        // The slot exists before the thread, so the thread always finds it when it ends.
        auto slot = workers.emplace(id, std::thread()).first;
        try {
            slot->second = std::thread([id, work = std::move(work)] {
                on_worker_thread = true;
                run_caught(work);
                std::lock_guard<std::mutex> guard(workers_lock);
                ended_workers.push_back(id);
                workers_changed.notify_all();
            });
        } catch (...) {
            workers.erase(slot);
            join_all(ended); // cannot throw: these threads have ended
            throw;
        }
    }
    join_all(ended);
}

void wait_for_workers() {
    const int own = on_worker_thread ? 1 : 0;
    std::vector<std::thread> ended;
#ifdef _WIN32
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(workers_lock);
            if (running_workers() <= own) {
                ended = take_ended_workers();
                break;
            }
        }
        // Serve synchronous messages sent to this thread while waiting.
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
#else
    {
        std::unique_lock<std::mutex> guard(workers_lock);
        workers_changed.wait(guard, [&] { return running_workers() <= own; });
        ended = take_ended_workers();
    }
#endif
    join_all(ended);
}

} // namespace audio
