#include "sync_dispatcher.h"

namespace audio {

void sync_dispatcher::add(HSYNC sync, sync_type type, SYNCPROC *proc, void *user) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back({sync, type, proc, user});
}

void sync_dispatcher::post(sync_type type) {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.push_back(type);
    posted_.notify_all();
}

void sync_dispatcher::post_noexcept(sync_type type) noexcept {
    try {
        post(type);
    } catch (...) {
        // No memory for the queue entry: nothing can announce the event.
    }
}

void sync_dispatcher::stop() {
    stopped_ = true;
    std::lock_guard<std::mutex> guard(lock_);
    posted_.notify_all();
}

void sync_dispatcher::run(const hooks &on) {
    for (;;) {
        sync_type type;
        {
            std::unique_lock<std::mutex> guard(lock_);
            posted_.wait(guard, [&] { return stopped_ || !pending_.empty(); });
            if (stopped_)
                return;
            type = pending_.front();
            pending_.pop_front();
        }
        // An event that fails is reported; those posted after it still go out.
        try {
            dispatch(type, on);
        } catch (const std::exception &failure) {
            on.failed(failure);
        }
    }
}

void sync_dispatcher::dispatch(sync_type type, const hooks &on) {
    std::vector<entry> due;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const auto &each : entries_)
            if (each.type == type)
                due.push_back(each);
    }
    // Without the lock: a procedure may set syncs or free the stream.
    for (const auto &each : due)
        if (!stopped_)
            each.proc(each.handle, on.channel, 0, each.user);
    if (type == sync_type::end && on.after_end)
        on.after_end();
}

} // namespace audio
