// The one place where FFmpeg's AVERROR values become the library's BASS_ERROR_* codes.
#pragma once

namespace audio {

int error_from_averror(int averror);

// As error_from_averror, for a decoder that could not open: a reason FFmpeg does not name
// means the bytes are not a format it reads (BASS_ERROR_FILEFORM).
int open_error_from_averror(int averror);

} // namespace audio
