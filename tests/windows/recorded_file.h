// A recording as another program reads it: the MP3 file decoded by FFmpeg's libraries (left
// channel at 44.1 kHz) and the tags FFmpeg finds in it. For the Windows recording tests.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

struct recorded_file {
    bool read = false; // the file opened and decoded
    std::vector<float> left;
    std::map<std::string, std::string> tags; // "title", "artist", "album", "comment"
    double seconds() const { return left.size() / 44100.0; }
};

// The shipped FFmpeg has no file protocol: the file is read into memory and handed over.
struct memory_source {
    std::vector<uint8_t> bytes;
    size_t read = 0;
    static int next(void *opaque, uint8_t *buffer, int size) {
        auto *source = static_cast<memory_source *>(opaque);
        const size_t count = std::min<size_t>(size, source->bytes.size() - source->read);
        if (count == 0)
            return AVERROR_EOF;
        std::memcpy(buffer, source->bytes.data() + source->read, count);
        source->read += count;
        return static_cast<int>(count);
    }
};

inline recorded_file read_recording(const std::wstring &path) {
    recorded_file file;
    memory_source source;
    if (FILE *in = _wfopen(path.c_str(), L"rb")) {
        uint8_t block[65536];
        for (size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;)
            source.bytes.insert(source.bytes.end(), block, block + got);
        std::fclose(in);
    }
    if (source.bytes.empty())
        return file;
    const int buffer_size = 65536;
    auto *buffer = static_cast<unsigned char *>(av_malloc(buffer_size));
    AVIOContext *io =
        avio_alloc_context(buffer, buffer_size, 0, &source, memory_source::next, nullptr, nullptr);
    AVFormatContext *format = avformat_alloc_context();
    format->pb = io;
    if (avformat_open_input(&format, nullptr, av_find_input_format("mp3"), nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
        avformat_close_input(&format);
        av_freep(&io->buffer);
        avio_context_free(&io);
        return file;
    }
    const AVCodec *codec = nullptr;
    int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext *context = index >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    if (context && avcodec_parameters_to_context(context, format->streams[index]->codecpar) >= 0 &&
        avcodec_open2(context, codec, nullptr) >= 0) {
        for (const AVDictionaryEntry *tag = nullptr;
             (tag = av_dict_get(format->metadata, "", tag, AV_DICT_IGNORE_SUFFIX));)
            file.tags[tag->key] = tag->value;
        AVPacket *packet = av_packet_alloc();
        AVFrame *frame = av_frame_alloc();
        auto take_frames = [&] {
            while (avcodec_receive_frame(context, frame) >= 0) {
                // lame's MP3 decodes to planar floats.
                const float *left = reinterpret_cast<const float *>(frame->extended_data[0]);
                file.left.insert(file.left.end(), left, left + frame->nb_samples);
            }
        };
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(context, packet) >= 0)
                take_frames();
            av_packet_unref(packet);
        }
        avcodec_send_packet(context, nullptr);
        take_frames();
        file.read = context->sample_fmt == AV_SAMPLE_FMT_FLTP && context->sample_rate == 44100;
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
    avcodec_free_context(&context);
    avformat_close_input(&format);
    av_freep(&io->buffer);
    avio_context_free(&io);
    return file;
}
