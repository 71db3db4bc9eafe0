#include "input/hls/hls_variant_choice.h"

#include "brevora_audio.h"

namespace audio {

connect_failure open_first_variant(const url &playlist_url, const std::string &master_text,
                                   const hls_fetcher &fetcher, const hls_variant_opener &open) {
    std::vector<hls_variant> variants = parse_hls_master_playlist(master_text);
    connect_failure failure{BASS_ERROR_FILEOPEN, "a master playlist with no playable variant"};
    for (size_t index : hls_variant_order(variants, max_hls_variant_bandwidth)) {
        if (fetcher.stopped())
            return {BASS_ERROR_TIMEOUT, "stopped"};
        std::optional<url> media_url = resolve_reference(playlist_url, variants[index].uri);
        if (!media_url)
            continue;
        response_head media_head;
        url final_url;
        std::optional<std::string> media_text =
            fetcher.body(*media_url, max_hls_playlist_size, 0, &media_head, &failure, &final_url);
        if (!media_text)
            continue;
        failure = open(variants[index], final_url, *media_text, media_head);
        if (failure.error == 0)
            return failure;
    }
    log_failure(playlist_url, failure);
    return failure;
}

} // namespace audio
