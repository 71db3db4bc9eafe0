// The library's debug log: one line per event, for whoever has to find out why a station
// does not play. On Windows every line goes to OutputDebugStringA (a debugger or DebugView
// shows it). Elsewhere lines go to standard error, and only when the environment variable
// BREVORA_AUDIO_LOG is set to anything non-empty (read once, at the first use).
//
// Threads: any thread may call these (each stream's download thread does). A line goes out
// in one call, so lines from two streams never interleave.
#pragma once

#include <string>

namespace audio {

// Callers check this before building a line, so a disabled log costs one atomic load.
bool debug_log_enabled();

// Writes `line` (without a line ending) when the log is enabled.
void debug_log_line(const std::string &line);

// "<who> thread failed: <what>", for a thread that caught an exception. Never throws: when
// memory has run out the line is lost, not the thread's clean-up.
void log_thread_failure(const std::string &who, const char *what) noexcept;

// Tests: every line goes to `sink` instead, whatever the environment says; null restores
// the usual behaviour. The sink is called on the logging thread.
using debug_log_sink = void (*)(const std::string &line);
void set_debug_log_sink(debug_log_sink sink);

} // namespace audio
