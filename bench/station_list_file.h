// The stations.ini the list benchmarks load: a list as users keep it, a group heading every
// 32 rows and the others with an address of a realistic length.
#pragma once

#include <string>

inline std::string station_list_file(int rows) {
    std::string list = "[config]\r\nuse_proxy=off\r\nproxy=null\r\nlame_options=-b 128\r\n"
                       "[stations]\r\nstation_count=" +
                       std::to_string(rows) + "\r\n";
    for (int row = 1; row <= rows; ++row) {
        const bool group = row % 32 == 1;
        list += "station_name_" + std::to_string(row) + "=" +
                (group ? "Group " : "Station number ") + std::to_string(row) + "\r\n" +
                "station_url_" + std::to_string(row) + "=" +
                (group ? std::string("null")
                       : "https://stream.example.org:8443/mount-" + std::to_string(row) + ".mp3") +
                "\r\n";
    }
    return list;
}
