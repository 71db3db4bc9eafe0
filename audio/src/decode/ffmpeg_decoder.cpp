// The FFmpeg decoder: libavformat reads from the stream's buffer through a custom
// AVIOContext (not seekable, small reads), libavcodec decodes, libswresample converts.
#include "decoder.h"

#include "brevora_audio.h"
#include "ffmpeg_error.h"
#include "vorbis_comment.h"
#include "input/wms/asf_header.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>

namespace audio {

namespace {

// RAII owners of the FFmpeg objects, each released with its own free function.
struct io_context_deleter {
    void operator()(AVIOContext *io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct format_context_deleter {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
struct codec_context_deleter {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};
struct frame_deleter {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct packet_deleter {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct resampler_deleter {
    void operator()(SwrContext *resampler) const { swr_free(&resampler); }
};
using io_context_ptr = std::unique_ptr<AVIOContext, io_context_deleter>;
using format_context_ptr = std::unique_ptr<AVFormatContext, format_context_deleter>;
using codec_context_ptr = std::unique_ptr<AVCodecContext, codec_context_deleter>;
using frame_ptr = std::unique_ptr<AVFrame, frame_deleter>;
using packet_ptr = std::unique_ptr<AVPacket, packet_deleter>;
using resampler_ptr = std::unique_ptr<SwrContext, resampler_deleter>;

constexpr int io_buffer_size = 4096;
// Far above any one allocation an audio stream needs (an MP4 index of a long file is a few
// MiB); a hostile header that asks for more is refused rather than given the memory.
constexpr size_t largest_ffmpeg_allocation = 64u << 20;
constexpr int output_channels = 2;

// Common bitrates; an estimate within 12 % of one is shown as that one.
uint32_t nearest_common_bitrate(double kbps) {
    static const uint32_t common[] = {8,  16,  24,  32,  40,  48,  56,  64, 80,
                                      96, 112, 128, 160, 192, 224, 256, 320};
    for (uint32_t rate : common)
        if (std::fabs(kbps - rate) <= rate * 0.12)
            return rate;
    return static_cast<uint32_t>(kbps + 0.5);
}

std::vector<std::string> dictionary_lines(const AVDictionary *dictionary) {
    std::vector<std::string> lines;
    const AVDictionaryEntry *entry = nullptr;
    while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)))
        lines.push_back(std::string(entry->key) + "=" + entry->value);
    return lines;
}

class ffmpeg_decoder final : public decoder {
  public:
    ffmpeg_decoder(byte_source source, int output_rate)
        : source_(std::move(source)), output_rate_(output_rate) {}

    int open(const stream_format &format) {
        static std::once_flag configured;
        std::call_once(configured, [] {
            // Damaged frames are normal on the radio and are skipped; FFmpeg need not say so.
            av_log_set_level(AV_LOG_QUIET);
            av_max_alloc(largest_ffmpeg_allocation);
        });
        const AVInputFormat *input_format = av_find_input_format(format.demuxer);
        if (!input_format)
            return AVERROR_DEMUXER_NOT_FOUND;
        auto *io_buffer = static_cast<unsigned char *>(av_malloc(io_buffer_size));
        if (!io_buffer)
            return AVERROR(ENOMEM);
        io_.reset(
            avio_alloc_context(io_buffer, io_buffer_size, 0, this, read_packet, nullptr, nullptr));
        if (!io_) {
            av_free(io_buffer);
            return AVERROR(ENOMEM);
        }
        AVFormatContext *context = avformat_alloc_context();
        if (!context)
            return AVERROR(ENOMEM);
        context->pb = io_.get();
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
        context->probesize = 32;
        // Demuxers index every key frame for seeking, by default up to a megabyte a stream:
        // about 50 KiB a minute of MP3 kept for hours of playing. Nothing here seeks, so
        // the index is kept to a few entries.
        context->max_index_size = 4096;
        // avformat_open_input frees the context when it fails.
        int result = avformat_open_input(&context, nullptr, input_format, nullptr);
        if (result < 0)
            return result;
        format_.reset(context);

        // The first audio stream. (av_find_best_stream skips streams whose rate is not
        // known yet, which is every raw MP3 or ADTS stream before its first frame.)
        for (unsigned i = 0; i < context->nb_streams && stream_index_ < 0; ++i)
            if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
                stream_index_ = static_cast<int>(i);
        // ASF script commands travel in a data stream of their own.
        for (unsigned i = 0; i < context->nb_streams && format.tags == tag_source::asf_header; ++i)
            if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_DATA)
                command_index_ = static_cast<int>(i);
        if (stream_index_ < 0)
            return AVERROR_INVALIDDATA;
        AVStream *stream = context->streams[stream_index_];
        decoder_name_ = format.decoder;
        ogg_flac_ = format.ctype == BASS_CTYPE_STREAM_OGG_FLAC;
        comments_ = dictionary_lines(stream->metadata);
        if (comments_.empty()) // native FLAC keeps its Vorbis comments in the file's metadata
            comments_ = dictionary_lines(context->metadata);
        forget_stream_comments();
        if (stream->codecpar->bit_rate > 0)
            header_kbps_ = nearest_common_bitrate(stream->codecpar->bit_rate / 1000.0);
        return open_codec(stream->codecpar);
    }

    bool decode(chunk &out) override {
        out.samples.clear();
        out.new_bitstream = false;
        out.new_header = false;
        out.script_commands.clear();
        for (;;) {
            int result = avcodec_receive_frame(codec_.get(), frame_.get());
            if (result == 0) {
                bool converted = convert(out.samples);
                av_frame_unref(frame_.get());
                if (converted) {
                    in_error_run_ = false;
                    return true;
                }
                continue;
            }
            if (result == AVERROR_EOF)
                return false; // drained
            if (result != AVERROR(EAGAIN) && !error_is_skipped())
                return false;
            if (!send_next_packet(out))
                return false;
        }
    }

    int sample_rate() const override { return source_rate_; }
    int channels() const override { return source_channels_; }
    uint32_t bitrate_kbps() const override {
        if (header_kbps_)
            return header_kbps_;
        // Packet durations count the encoder's delay that decoding drops at the start.
        double seconds = packet_seconds_ > 0 ? packet_seconds_ : decoded_seconds_;
        if (packet_count_ < 3 || seconds <= 0)
            return 0;
        return nearest_common_bitrate(packet_bytes_ * 8 / 1000.0 / seconds);
    }
    std::vector<std::string> comments() const override { return comments_; }
    uint64_t held_bytes() const override {
        return last_packet_pos_ >= 0 && static_cast<uint64_t>(last_packet_pos_) <= source_bytes_
                   ? source_bytes_ - static_cast<uint64_t>(last_packet_pos_)
                   : 0;
    }

  private:
    static int read_packet(void *opaque, uint8_t *buffer, int size) {
        auto *self = static_cast<ffmpeg_decoder *>(opaque);
        long count = self->source_(buffer, static_cast<size_t>(size));
        if (count < 0)
            return AVERROR_EXIT;
        self->source_bytes_ += static_cast<uint64_t>(count);
        return count == 0 ? AVERROR_EOF : static_cast<int>(count);
    }

    int open_codec(const AVCodecParameters *parameters) {
        const AVCodec *codec =
            decoder_name_ ? avcodec_find_decoder_by_name(decoder_name_) : nullptr;
        if (!codec)
            codec = avcodec_find_decoder(parameters->codec_id);
        if (!codec)
            return AVERROR_DECODER_NOT_FOUND;
        codec_context_ptr context(avcodec_alloc_context3(codec));
        if (!context)
            return AVERROR(ENOMEM);
        int result = avcodec_parameters_to_context(context.get(), parameters);
        if (result < 0)
            return result;
        context->codec_id = codec->id; // the demuxer may have guessed another MPEG layer
        result = avcodec_open2(context.get(), codec, nullptr);
        if (result < 0)
            return result;
        codec_ = std::move(context);
        if (!frame_)
            frame_.reset(av_frame_alloc());
        if (!packet_)
            packet_.reset(av_packet_alloc());
        return frame_ && packet_ ? 0 : AVERROR(ENOMEM);
    }

    // Reads packets until one of our stream reaches the codec. False at the end.
    bool send_next_packet(chunk &out) {
        if (draining_)
            return false;
        for (;;) {
            int result = av_read_frame(format_.get(), packet_.get());
            if (result < 0 && !at_end_of_data(result) && error_is_skipped())
                continue; // the demuxer resynchronises on the next page or frame
            if (result < 0) {
                // End of data (or cancelled): let the codec give out what it holds.
                draining_ = true;
                avcodec_send_packet(codec_.get(), nullptr);
                return true;
            }
            if (packet_->stream_index != stream_index_) {
                if (packet_->stream_index == command_index_ && command_index_ >= 0)
                    if (auto text =
                            script_command_text(packet_->data, static_cast<size_t>(packet_->size)))
                        out.script_commands.push_back(*text);
                av_packet_unref(packet_.get());
                continue;
            }
            if (!take_ogg_flac_headers(out)) {
                av_packet_unref(packet_.get());
                continue;
            }
            take_stream_changes(out);
            ++packet_count_;
            packet_bytes_ += packet_->size;
            if (packet_->pos >= 0)
                last_packet_pos_ = packet_->pos;
            if (packet_->duration > 0)
                packet_seconds_ +=
                    packet_->duration * av_q2d(format_->streams[stream_index_]->time_base);
            result = avcodec_send_packet(codec_.get(), packet_.get());
            av_packet_unref(packet_.get());
            // A damaged packet is skipped; the next one may decode.
            return result == 0 || error_is_skipped();
        }
    }

    // The source ended or was cancelled: no later byte can mend the error.
    bool at_end_of_data(int result) const {
        return result == AVERROR_EOF || result == AVERROR_EXIT || format_->pb->eof_reached;
    }

    // Live streams carry damaged pages and frames (and Liquidsoap ends each Ogg Opus link
    // with an empty packet the demuxer refuses): each is skipped, until a run of them has
    // given no audio for the error time-out.
    bool error_is_skipped() {
        auto now = std::chrono::steady_clock::now();
        if (!in_error_run_) {
            in_error_run_ = true;
            error_run_start_ = now;
        }
        return now - error_run_start_ < error_time_out_;
    }

    // A chained Ogg stream announces each new logical bitstream with its comments, and
    // with new codec headers when they differ.
    void take_stream_changes(chunk &out) {
        size_t size = 0;
        const uint8_t *data =
            av_packet_get_side_data(packet_.get(), AV_PKT_DATA_METADATA_UPDATE, &size);
        if (data) {
            AVDictionary *dictionary = nullptr;
            if (av_packet_unpack_dictionary(data, size, &dictionary) == 0)
                comments_ = dictionary_lines(dictionary);
            av_dict_free(&dictionary);
            // The first bitstream's comments arrive with the first packet: not a change.
            if (packet_count_ > 0)
                out.new_bitstream = true;
        }
        // A chained Opus link updates the comments in place and only flags the stream.
        AVStream *stream = format_->streams[stream_index_];
        if (!data && (stream->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED) &&
            packet_count_ > 0) {
            comments_ = dictionary_lines(stream->metadata);
            out.new_bitstream = true;
        }
        stream->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
        forget_stream_comments();
        data = av_packet_get_side_data(packet_.get(), AV_PKT_DATA_NEW_EXTRADATA, &size);
        if (data && packet_count_ > 0) {
            AVCodecParameters *parameters = avcodec_parameters_alloc();
            if (parameters && avcodec_parameters_copy(
                                  parameters, format_->streams[stream_index_]->codecpar) == 0) {
                av_freep(&parameters->extradata);
                parameters->extradata =
                    static_cast<uint8_t *>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
                if (parameters->extradata) {
                    std::copy(data, data + size, parameters->extradata);
                    parameters->extradata_size = static_cast<int>(size);
                    open_codec(parameters); // on failure the old codec goes on
                }
            }
            avcodec_parameters_free(&parameters);
        }
    }

    // A chained Ogg FLAC link's header packets reach us as data: its comments are taken
    // from them and none of them goes to the codec. False for such a packet.
    bool take_ogg_flac_headers(chunk &out) {
        if (!ogg_flac_)
            return true;
        switch (classify_ogg_flac_packet(packet_->data, static_cast<size_t>(packet_->size))) {
        case ogg_flac_packet::audio:
            return true;
        case ogg_flac_packet::comments:
            comments_ =
                parse_vorbis_comment(packet_->data + 4, static_cast<size_t>(packet_->size) - 4);
            out.new_bitstream = true;
            return false;
        default:
            return false;
        }
    }

    // The Ogg demuxer adds a new link's Opus comments to the old ones (repeated names are
    // joined): once read, they are dropped, so the next link's stand alone.
    void forget_stream_comments() {
        if (format_->streams[stream_index_]->codecpar->codec_id == AV_CODEC_ID_OPUS)
            av_dict_free(&format_->streams[stream_index_]->metadata);
    }

    // Appends the frame in the output format. False when it cannot be converted.
    bool convert(std::vector<float> &out) {
        AVFrame *frame = frame_.get();
        // Zeroed: av_channel_layout_copy releases what its destination held before.
        AVChannelLayout layout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
            av_channel_layout_default(
                &layout, frame->ch_layout.nb_channels > 0 ? frame->ch_layout.nb_channels : 2);
        else if (av_channel_layout_copy(&layout, &frame->ch_layout) < 0)
            return false;
        bool changed = !resampler_ || frame->sample_rate != source_rate_ ||
                       frame->format != source_sample_format_ ||
                       av_channel_layout_compare(&layout, &resampler_layout_) != 0;
        if (changed) {
            SwrContext *resampler = nullptr;
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            if (swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_FLT, output_rate_, &layout,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                                    0, nullptr) < 0 ||
                swr_init(resampler) < 0) {
                swr_free(&resampler);
                av_channel_layout_uninit(&layout);
                return false;
            }
            resampler_.reset(resampler);
            av_channel_layout_uninit(&resampler_layout_);
            av_channel_layout_copy(&resampler_layout_, &layout);
            source_rate_ = frame->sample_rate;
            source_channels_ = layout.nb_channels;
            source_sample_format_ = frame->format;
        }
        av_channel_layout_uninit(&layout);
        decoded_seconds_ += static_cast<double>(frame->nb_samples) / frame->sample_rate;

        int capacity = swr_get_out_samples(resampler_.get(), frame->nb_samples);
        if (capacity <= 0)
            return true;
        size_t before = out.size();
        out.resize(before + static_cast<size_t>(capacity) * output_channels);
        auto *target = reinterpret_cast<uint8_t *>(out.data() + before);
        int produced =
            swr_convert(resampler_.get(), &target, capacity,
                        const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
        out.resize(before + static_cast<size_t>(std::max(produced, 0)) * output_channels);
        return true;
    }

    byte_source source_;
    const int output_rate_;
    const char *decoder_name_ = nullptr;
    io_context_ptr io_; // must outlive format_, declared first so it is destroyed last
    format_context_ptr format_;
    codec_context_ptr codec_;
    frame_ptr frame_;
    packet_ptr packet_;
    resampler_ptr resampler_;
    AVChannelLayout resampler_layout_{};
    int stream_index_ = -1;
    int command_index_ = -1;
    bool ogg_flac_ = false;
    bool draining_ = false;
    bool in_error_run_ = false; // errors since the last decoded frame
    std::chrono::steady_clock::time_point error_run_start_;
    int source_rate_ = 0;
    int source_channels_ = 0;
    int source_sample_format_ = -1;
    uint32_t header_kbps_ = 0;
    uint64_t packet_count_ = 0;
    uint64_t source_bytes_ = 0;    // taken from the source
    int64_t last_packet_pos_ = -1; // where the packet last given to the codec began
    double packet_bytes_ = 0;
    double packet_seconds_ = 0;
    double decoded_seconds_ = 0;
    std::vector<std::string> comments_;

  public:
    ~ffmpeg_decoder() override { av_channel_layout_uninit(&resampler_layout_); }
};

} // namespace

std::unique_ptr<decoder> decoder::open(const stream_format &format, byte_source source,
                                       int output_rate, int *error) {
    if (format.tags == tag_source::asf_header)
        return open_asf_decoder(format, std::move(source), output_rate, error);
    return open_ffmpeg_decoder(format, std::move(source), output_rate, error);
}

std::unique_ptr<decoder> open_ffmpeg_decoder(const stream_format &format, byte_source source,
                                             int output_rate, int *error) {
    auto opened = std::make_unique<ffmpeg_decoder>(std::move(source), output_rate);
    int result = opened->open(format);
    if (result < 0) {
        *error = open_error_from_averror(result);
        return nullptr;
    }
    *error = BASS_OK;
    return opened;
}

} // namespace audio
