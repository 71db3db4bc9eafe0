// Feeds arbitrary bytes to the station directory's answer reader as a search answer, and
// the stations it takes to the stations.ini fitting, checking every bound on the way.
#include "fuzz_require.h"
#include "directory/ansi_fit.h"
#include "directory/directory_stations.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

std::string latin1_encode(char32_t character) {
    return character < 0x100 ? std::string(1, static_cast<char>(character)) : "?";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view body(reinterpret_cast<const char *>(data), size);
    std::vector<directory_station> stations;
    if (!read_directory_stations(body, 7, stations)) {
        require(stations.empty());
        return 0;
    }
    require(stations.size() <= 7);
    for (const directory_station &station : stations) {
        require(!station.url.empty());
        for (const std::string *text :
             {&station.name, &station.url, &station.codec, &station.country, &station.uuid})
            require(text->size() <= directory_field_limit);
        auto row = station_row(station, latin1_encode);
        if (!row)
            continue;
        require(row->name.size() <= stored_text_limit && !row->name.empty());
        require(row->url.size() <= stored_text_limit && row->url != "null");
        require(row->name.find_first_of("\r\n") == std::string::npos);
        require(row->url.find_first_of(" \r\n") == std::string::npos);
    }
    return 0;
}
