// The two requests of a Windows Media HTTP streaming session, as Microsoft's published
// protocol document lays them out: the server learns the client's GUID from both and hands
// out a client id in the first answer, which the second repeats.
#include "input/wms/wmsp_session.h"

#include "input/text/text.h"
#include "input/wms/wmsp_framing.h"

#include "brevora_audio.h"

#include <cstdio>
#include <random>

namespace audio {

namespace {

const char player_agent[] = "NSPlayer/12.00.19041.1";
const char common_pragma[] = "Pragma: no-cache,rate=1.000000,stream-time=0,";

std::string client_guid() {
    std::random_device random;
    unsigned part[4] = {random(), random(), random(), random()};
    char text[64];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%04X%08X}", part[0], part[1] >> 16,
                  part[1] & 0xffff, part[2] >> 16, part[2] & 0xffff, part[3]);
    return text;
}

// A directive of any Pragma header ("name=value", comma-separated), its value.
std::optional<std::string> pragma_directive(const response_head &head, const std::string &name) {
    for (const std::string &line : head.header_lines) {
        size_t colon = line.find(':');
        if (colon == std::string::npos || to_lower(trim(line.substr(0, colon), " \t")) != "pragma")
            continue;
        std::string rest = line.substr(colon + 1);
        size_t start = 0;
        while (start <= rest.size()) {
            size_t comma = rest.find(',', start);
            std::string directive = trim(rest.substr(start, comma - start), " \t");
            size_t equals = directive.find('=');
            if (to_lower(directive.substr(0, equals)) == name)
                return equals == std::string::npos ? "" : directive.substr(equals + 1);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    return std::nullopt;
}

// Reads the header answer's body until its framed ASF header is complete.
std::optional<asf_header> read_framed_header(body_reader &body, clock_type::time_point deadline) {
    wmsp_deframer deframer;
    body.read_blocks(deadline, clock_type::duration::max(),
                     [&deframer](const uint8_t *block, size_t size) {
                         deframer.feed(block, size);
                         return !deframer.header() && !deframer.failed() && !deframer.ended();
                     });
    if (!deframer.header())
        return std::nullopt;
    return *deframer.header();
}

} // namespace

bool is_windows_media_answer(const response_head &head) {
    std::string type = head.content_type();
    return type == "application/vnd.ms.wms-hdr.asfv1" || type == "application/x-mms-framed" ||
           pragma_directive(head, "client-id") || pragma_directive(head, "features");
}

std::optional<std::string> windows_media_http_url(const std::string &text) {
    std::string lower = to_lower(text.substr(0, 7));
    for (const char *scheme : {"mms://", "mmsh://"}) {
        std::string prefix = scheme;
        if (lower.compare(0, prefix.size(), prefix) == 0)
            return "http://" + text.substr(prefix.size());
    }
    return std::nullopt;
}

std::optional<http_answer> open_windows_media(const url &target, const connect_options &options,
                                              clock_type::time_point deadline,
                                              const stop_signal &stop, connect_failure *failure) {
    std::string guid = client_guid();
    std::vector<std::string> describe = {
        std::string("User-Agent: ") + player_agent,
        std::string(common_pragma) + "stream-offset=0:0,request-context=1,max-duration=0",
        "Pragma: xClientGUID=" + guid,
        "Supported: com.microsoft.wm.srvppair, com.microsoft.wm.sswitch, "
        "com.microsoft.wm.predstrm, com.microsoft.wm.startupprofile"};
    std::optional<http_answer> header_answer =
        fetch(target, options, deadline, stop, failure, describe);
    if (!header_answer)
        return std::nullopt;
    if (!is_windows_media_answer(header_answer->head))
        return header_answer; // an ordinary server behind an mms:// URL: its answer plays
    std::optional<asf_header> header = read_framed_header(*header_answer->body, deadline);
    if (!header) {
        *failure = {BASS_ERROR_FILEFORM, "no Windows Media header in the answer",
                    header_answer->head.status_line};
        log_failure(header_answer->final_url, *failure);
        return std::nullopt;
    }

    std::string entries;
    for (int stream : header->streams)
        entries +=
            (entries.empty() ? "" : " ") + std::string("ffff:") + std::to_string(stream) + ":0";
    std::vector<std::string> play = {
        std::string("User-Agent: ") + player_agent,
        std::string(common_pragma) +
            "stream-offset=4294967295:4294967295,request-context=2,max-duration=0",
        "Pragma: xPlayStrm=1",
        "Pragma: xClientGUID=" + guid,
        "Pragma: client-id=" + pragma_directive(header_answer->head, "client-id").value_or("0"),
        "Pragma: stream-switch-count=" + std::to_string(header->streams.size()),
        "Pragma: stream-switch-entry=" + entries};
    // The session goes on where the header answer ended up (after its redirects).
    return fetch(header_answer->final_url, options, deadline, stop, failure, play);
}

} // namespace audio
