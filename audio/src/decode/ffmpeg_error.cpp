#include "ffmpeg_error.h"

#include "brevora_audio.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cerrno>

namespace audio {

int error_from_averror(int averror) {
    switch (averror) {
    case 0:
        return BASS_OK;
    case AVERROR(ENOMEM):
        return BASS_ERROR_MEM;
    case AVERROR_DECODER_NOT_FOUND:
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_PATCHWELCOME:
        return BASS_ERROR_CODEC;
    case AVERROR_INVALIDDATA:
        return BASS_ERROR_FILEFORM;
    case AVERROR_EOF:
        return BASS_ERROR_ENDED;
    case AVERROR_EXIT:
        return BASS_ERROR_INIT; // interrupted because the library is being released
    default:
        return BASS_ERROR_UNKNOWN;
    }
}

int open_error_from_averror(int averror) {
    int error = error_from_averror(averror);
    return error == BASS_ERROR_UNKNOWN ? BASS_ERROR_FILEFORM : error;
}

} // namespace audio
