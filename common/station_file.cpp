#include "station_file.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

const char stations_section[] = "stations";
const char config_section[] = "config";
const char station_count_key[] = "station_count";
const char station_name_prefix[] = "station_name_";
const char station_url_prefix[] = "station_url_";
const char use_proxy_key[] = "use_proxy";
const char proxy_key[] = "proxy";
const char lame_options_key[] = "lame_options";
const char record_history_key[] = "record_history";
const char record_split_key[] = "record_split";
const char group_marker[] = "null";
const char unset_setting_value[] = "null";
const char default_lame_options[] = "-b 128";

char ini_path[ini_path_size];

void station_file_for_module(const char *module_path, char *result, size_t result_size) {
    if (result_size == 0)
        return;
    const char *last_backslash = std::strrchr(module_path, '\\');
    size_t directory_length =
        last_backslash ? static_cast<size_t>(last_backslash - module_path) : 0;
    std::snprintf(result, result_size, "%.*s\\stations.ini", static_cast<int>(directory_length),
                  module_path);
}

void row_key(char *key, size_t key_size, const char *prefix, int row_number) {
    std::snprintf(key, key_size, "%s%d", prefix, row_number);
}

bool is_group_url(const char *url) {
    return std::strcmp(url, group_marker) == 0;
}

#ifdef _WIN32
void locate_station_file() {
    char module_path[path_buffer_size] = "";
    GetModuleFileNameA(nullptr, module_path, sizeof module_path);
    station_file_for_module(module_path, ini_path, sizeof ini_path);
}

int read_setting_int(const char *section, const char *key, int default_value) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, default_value, ini_path));
}

void read_setting_text(const char *section, const char *key, const char *default_value,
                       char *buffer, size_t buffer_size) {
    GetPrivateProfileStringA(section, key, default_value, buffer, static_cast<DWORD>(buffer_size),
                             ini_path);
}

std::vector<std::pair<std::string, std::string>> read_setting_section(const char *section) {
    // The call reports a full buffer as its size minus 2; grow until the section fits.
    std::vector<char> buffer(4096);
    DWORD length;
    while ((length = GetPrivateProfileSectionA(section, buffer.data(),
                                               static_cast<DWORD>(buffer.size()), ini_path)) ==
               buffer.size() - 2 &&
           buffer.size() < (64u << 20))
        buffer.resize(buffer.size() * 2);
    std::vector<std::pair<std::string, std::string>> entries;
    for (const char *line = buffer.data(); line < buffer.data() + length && *line;
         line += std::strlen(line) + 1) {
        const char *equals = std::strchr(line, '=');
        if (equals && equals != line)
            entries.emplace_back(std::string(line, equals), std::string(equals + 1));
    }
    return entries;
}
#endif
