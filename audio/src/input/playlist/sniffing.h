// Telling what an answer's body is from its Content-Type and its first bytes: a stream, a
// web page, or a playlist (see playlist.h). Pure; any thread.
#pragma once

#include <cstddef>
#include <string>

namespace audio {

// Enough of a body's start to recognise a playlist or a web page.
constexpr size_t sniff_size = 1024;

// A Content-Type that does not say what the body is, so its first bytes must.
bool is_generic_content_type(const std::string &type);

// The start of an HTML document.
bool looks_like_html(const std::string &start);

} // namespace audio
