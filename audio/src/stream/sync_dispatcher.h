// A stream's sync registry and the loop of its sync thread: the procedures set on the
// stream, the events posted for them, and the calls, one event at a time in posting order,
// never under a lock (a procedure may set syncs or free its stream).
//
// Threads: add, post and stop from any thread; run on the stream's sync thread.
#pragma once

#include "brevora_audio.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

namespace audio {

// The events a stream announces to its sync procedures; the API's BASS_SYNC_* names map
// onto these (api/).
enum class sync_type { end, meta, ogg_change, wma_change, wma_meta };

class sync_dispatcher {
  public:
    void add(HSYNC sync, sync_type type, SYNCPROC *proc, void *user);
    void post(sync_type type);
    void post_noexcept(sync_type type) noexcept; // an event lost when memory has run out
    // Ends run() and stops every call not yet begun.
    void stop();

    struct hooks {
        uint32_t channel = 0;                               // the handle the procedures are told
        std::function<void()> after_end;                    // after the END procedures
        std::function<void(const std::exception &)> failed; // an event could not be dispatched
    };
    // Sync thread: dispatches events until stop().
    void run(const hooks &on);

  private:
    void dispatch(sync_type type, const hooks &on);

    struct entry {
        HSYNC handle;
        sync_type type;
        SYNCPROC *proc;
        void *user;
    };
    std::atomic<bool> stopped_{false};
    std::mutex lock_; // guards entries_ and pending_
    std::condition_variable posted_;
    std::vector<entry> entries_;
    std::deque<sync_type> pending_;
};

} // namespace audio
