// Feeds arbitrary bytes to the one-pass stations.ini reader and checks that every answer fits
// the buffer it was asked for, whatever the file holds.
#include "fuzz_require.h"
#include "../native/stand_in_code_page.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const station_file_contents file(std::string_view(reinterpret_cast<const char *>(data), size),
                                     stand_in_code_page);
    for (const char *section : {"stations", "config", "", "s"})
        for (const char *key : {"station_count", "station_name_1", "station_url_1", "proxy", "a"})
            for (size_t buffer_size : {1, 2, 8, 30, 200}) {
                std::string value = file.text(section, key, "null", buffer_size);
                require(value.size() < buffer_size);
                file.number(section, key, 0);
            }
    for (const auto &[key, value] : file.entries("config"))
        require(!key.empty() && key.find('\n') == std::string::npos &&
                value.find('\r') == std::string::npos);
    return 0;
}
