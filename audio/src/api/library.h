// The library's owner: whether BASS_Init has run, the output it opened, and the tables of
// streams and encoders the API hands out handles for. Every function may be called from any
// thread.
#pragma once

#include "stream/tag_store.h"

#include <cstdint>
#include <memory>
#include <string>

namespace audio {

class encoder;
class stream;

bool library_initialised();
// Opens the output (device -1 or 1: default device; 0: silent). Returns a BASS_ERROR_*.
int start_library(int device, int rate);
// Frees every stream and stops the output; waits for the library's threads (see
// worker_threads.h). False when the library was not started.
bool stop_library();
int output_rate();
// The output in use ("waveOut", "silent"); empty when the library is not started.
std::string output_name();

// 0 when the library is not started (or the table is full): the stream is not kept.
uint32_t register_stream(std::shared_ptr<stream> created);
std::shared_ptr<stream> find_stream(uint32_t handle);
// Forgets the handle and the handles of the stream's encoders, and stops the stream (which
// finishes its recordings). False when the handle named no stream.
bool free_stream(uint32_t handle);

// 0 when every encoder handle is taken.
uint32_t register_encoder(std::shared_ptr<encoder> started);
std::shared_ptr<encoder> find_encoder(uint32_t handle);
// Forgets the handle and returns its encoder (null when the handle named no encoder).
std::shared_ptr<encoder> forget_encoder(uint32_t handle);

// The API's name (BASS_TAG_*) of one of a stream's tags.
uint32_t api_tag_of(tag_type type);

} // namespace audio
