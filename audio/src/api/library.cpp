#include "library.h"

#include "brevora_audio.h"
#include "core/handle_table.h"
#include "core/worker_threads.h"
#include "encode/encoder.h"
#include "output/output_device.h"
#include "stream/stream.h"

#include <mutex>

namespace audio {

namespace {

// Each kind of handle has its own number space, so a handle given to a call for another
// kind finds nothing.
constexpr uint32_t stream_handle_kind = 1;
constexpr uint32_t encoder_handle_kind = 2;

std::mutex library_lock; // guards initialised, output, rate
bool initialised = false;
std::unique_ptr<output_device> output;
int rate = 44100;

handle_table<stream> &streams() {
    static handle_table<stream> table(stream_handle_kind);
    return table;
}

handle_table<encoder> &encoders() {
    static handle_table<encoder> table(encoder_handle_kind);
    return table;
}

void forget_encoders_of(uint32_t stream_handle) {
    encoders().remove_where(
        [stream_handle](const encoder &each) { return each.channel() == stream_handle; });
}

} // namespace

bool library_initialised() {
    std::lock_guard<std::mutex> guard(library_lock);
    return initialised;
}

int start_library(int device, int output_rate) {
    std::lock_guard<std::mutex> guard(library_lock);
    if (initialised)
        return BASS_ERROR_ALREADY;
    output = device == 0 ? open_silent_output(library_mixer(), output_rate)
                         : open_default_output(library_mixer(), output_rate);
    if (!output)
        return BASS_ERROR_DEVICE;
    rate = output_rate;
    initialised = true;
    return BASS_OK;
}

bool stop_library() {
    std::vector<std::shared_ptr<stream>> stopped;
    std::unique_ptr<output_device> stopped_output;
    {
        std::lock_guard<std::mutex> guard(library_lock);
        if (!initialised)
            return false;
        stopped = streams().remove_all(); // first: it is what may run out of memory
        initialised = false;
        stopped_output = std::move(output);
    }
    for (const auto &each : stopped)
        each->shut_down();
    encoders().remove_all();
    library_mixer().remove_all();
    stopped.clear();
    wait_for_workers();
    stopped_output.reset(); // joins the output thread, which runs no user code
    return true;
}

int output_rate() {
    std::lock_guard<std::mutex> guard(library_lock);
    return rate;
}

std::string output_name() {
    std::lock_guard<std::mutex> guard(library_lock);
    return output ? output->name() : "";
}

uint32_t register_stream(std::shared_ptr<stream> created) {
    // Under the library lock, so that a concurrent stop_library sees every stream.
    std::lock_guard<std::mutex> guard(library_lock);
    if (!initialised)
        return 0;
    // An ended stream with AUTOFREE set asks to be freed from its sync thread.
    created->set_free_after_end([](uint32_t handle) { free_stream(handle); });
    return streams().add(std::move(created));
}

std::shared_ptr<stream> find_stream(uint32_t handle) {
    return streams().find(handle);
}

bool free_stream(uint32_t handle) {
    // The stream's encoder handles die with it, before its recordings are finished. First,
    // as it is what may run out of memory: then nothing has changed. (An encoder started
    // in between is stopped by the shut-down; its handle then reports it stopped.)
    forget_encoders_of(handle);
    std::shared_ptr<stream> freed = streams().remove(handle);
    if (!freed)
        return false;
    freed->shut_down();
    return true;
}

uint32_t register_encoder(std::shared_ptr<encoder> started) {
    return encoders().add(std::move(started));
}

std::shared_ptr<encoder> find_encoder(uint32_t handle) {
    return encoders().find(handle);
}

std::shared_ptr<encoder> forget_encoder(uint32_t handle) {
    return encoders().remove(handle);
}

} // namespace audio
