// The one place where FFmpeg's AVERROR values become the library's BASS_ERROR_* codes.
#pragma once

namespace audio {

int error_from_averror(int averror);

} // namespace audio
