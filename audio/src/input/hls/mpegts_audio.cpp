// Transport stream demultiplexing for audio-only HLS: PAT, PMT, then PES reassembly of one
// audio and one ID3 track. Everything else (video, other programs) is skipped.
#include "input/hls/mpegts_audio.h"

#include <tuple>
#include <utility>

namespace audio {

namespace {

constexpr size_t packet_size = 188;
constexpr unsigned no_pid = 0x2000; // outside the 13-bit range
// ID3 PES payloads beyond this are not titles; they are dropped.
constexpr size_t max_id3_payload = 64 * 1024;

bool is_audio_stream_type(uint8_t type) {
    return type == 0x0F || type == 0x03 || type == 0x04; // ADTS AAC, MPEG-1/2 audio
}

// The section that starts in a payload that begins one (pointer field first); empty if cut.
std::pair<const uint8_t *, size_t> section_in(const uint8_t *payload, size_t size) {
    if (size < 1 || payload[0] >= size - 1)
        return {nullptr, 0};
    const uint8_t *section = payload + 1 + payload[0];
    size_t left = size - 1 - payload[0];
    if (left < 3)
        return {nullptr, 0};
    size_t length = 3 + ((section[1] & 0x0F) << 8 | section[2]);
    if (length > left || length < 12)
        return {nullptr, 0};
    return {section, length - 4}; // without the CRC
}

struct demuxer {
    unsigned pmt_pid = no_pid;
    unsigned audio_pid = no_pid;
    unsigned id3_pid = no_pid;
    std::string id3_pes; // the metadata PES packet being gathered
    bool audio_started = false;
    mpegts_contents contents;

    void read_pat(const uint8_t *payload, size_t size) {
        auto [section, length] = section_in(payload, size);
        if (!section || section[0] != 0x00)
            return;
        for (size_t at = 8; at + 4 <= length; at += 4) {
            unsigned program = section[at] << 8 | section[at + 1];
            if (program != 0) {
                pmt_pid = (section[at + 2] & 0x1F) << 8 | section[at + 3];
                return;
            }
        }
    }

    void read_pmt(const uint8_t *payload, size_t size) {
        auto [section, length] = section_in(payload, size);
        if (!section || section[0] != 0x02)
            return;
        size_t at = 12 + ((section[10] & 0x0F) << 8 | section[11]);
        while (at + 5 <= length) {
            const uint8_t type = section[at];
            const unsigned pid = (section[at + 1] & 0x1F) << 8 | section[at + 2];
            if (is_audio_stream_type(type) && audio_pid == no_pid)
                audio_pid = pid;
            else if (type == 0x15 && id3_pid == no_pid)
                id3_pid = pid;
            at += 5 + ((section[at + 3] & 0x0F) << 8 | section[at + 4]);
        }
    }

    // The PES payload in a packet payload that starts a PES packet; null if malformed.
    static std::pair<const uint8_t *, size_t> pes_payload(const uint8_t *payload, size_t size) {
        if (size < 9 || payload[0] != 0 || payload[1] != 0 || payload[2] != 1)
            return {nullptr, 0};
        size_t header = 9 + payload[8];
        if (header > size)
            return {nullptr, 0};
        return {payload + header, size - header};
    }

    void finish_id3() {
        if (!id3_pes.empty())
            contents.id3.push_back(std::move(id3_pes));
        id3_pes.clear();
    }

    void read_packet(const uint8_t *packet) {
        const bool unit_start = packet[1] & 0x40;
        const unsigned pid = (packet[1] & 0x1F) << 8 | packet[2];
        const int adaptation = packet[3] >> 4 & 3;
        size_t at = 4;
        if (adaptation == 2 || adaptation == 0)
            return; // no payload
        if (adaptation == 3)
            at += 1 + packet[4];
        if (at >= packet_size)
            return;
        const uint8_t *payload = packet + at;
        size_t size = packet_size - at;
        if (pid == 0 && unit_start) {
            read_pat(payload, size);
        } else if (pid == pmt_pid && unit_start) {
            read_pmt(payload, size);
        } else if (pid == audio_pid) {
            if (unit_start) {
                std::tie(payload, size) = pes_payload(payload, size);
                audio_started = payload != nullptr;
            }
            if (audio_started)
                contents.audio.append(reinterpret_cast<const char *>(payload), size);
        } else if (pid == id3_pid) {
            if (unit_start) {
                finish_id3();
                std::tie(payload, size) = pes_payload(payload, size);
                if (!payload)
                    return;
                id3_pes.assign(reinterpret_cast<const char *>(payload), size);
            } else if (!id3_pes.empty() && id3_pes.size() + size <= max_id3_payload) {
                id3_pes.append(reinterpret_cast<const char *>(payload), size);
            }
        }
    }
};

} // namespace

bool looks_like_mpegts(const uint8_t *data, size_t size) {
    return size >= 2 * packet_size && data[0] == 0x47 && data[packet_size] == 0x47;
}

mpegts_contents extract_mpegts_audio(const uint8_t *data, size_t size) {
    demuxer reader;
    size_t at = 0;
    while (at + packet_size <= size) {
        if (data[at] != 0x47) {
            ++at; // lost sync: look for the next packet
            continue;
        }
        reader.read_packet(data + at);
        at += packet_size;
    }
    reader.finish_id3();
    return std::move(reader.contents);
}

} // namespace audio
