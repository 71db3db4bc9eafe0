#include "station_save.h"

#include "station_file.h"

#include <windows.h>

#include <string_view>
#include <vector>

namespace {

void add_line(std::string &text, std::string_view key, std::string_view value) {
    text.append(key).append("=").append(value).append("\r\n");
}

bool same_name(std::string_view first, std::string_view second) {
    if (first.size() != second.size())
        return false;
    for (size_t at = 0; at < first.size(); at++) {
        char a = first[at], b = second[at];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// Settings the editor does not know (a user's or a newer version's) go back as they were,
// after the three it writes itself. Names compare without case, as the file's reader does.
void add_other_settings(std::string &text, const station_file_contents &old_file) {
    std::vector<std::string> written = {use_proxy_key, proxy_key, lame_options_key};
    for (const auto &[key, value] : old_file.entries(config_section)) {
        bool known = false;
        for (const std::string &done : written)
            known = known || same_name(done, key);
        if (known)
            continue;
        add_line(text, key, value);
        written.push_back(key);
    }
}

} // namespace

std::string station_file_text(const station_file_contents &old_file, const station_node *head,
                              int count) {
    std::string text = "[" + std::string(config_section) + "]\r\n";
    add_line(
        text, use_proxy_key,
        old_file.text(config_section, use_proxy_key, unset_setting_value, setting_buffer_size));
    add_line(text, proxy_key,
             old_file.text(config_section, proxy_key, unset_setting_value, setting_buffer_size));
    add_line(
        text, lame_options_key,
        old_file.text(config_section, lame_options_key, default_lame_options, lame_options_size));
    add_other_settings(text, old_file);
    text += "[" + std::string(stations_section) + "]\r\n";
    add_line(text, station_count_key, std::to_string(count));
    const station_node *node = head;
    for (int row = 1; row <= count && node; row++, node = node->next) {
        const std::string number = std::to_string(row);
        add_line(text, station_name_prefix + number, node->name);
        add_line(text, station_url_prefix + number, node->url);
    }
    return text;
}

bool write_whole_file(const char *path, const std::string &text) {
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    size_t written = 0;
    DWORD wrote = 0;
    while (written < text.size() &&
           WriteFile(file, text.data() + written, static_cast<DWORD>(text.size() - written), &wrote,
                     nullptr) &&
           wrote > 0)
        written += wrote;
    bool complete = written == text.size() && FlushFileBuffers(file);
    return CloseHandle(file) && complete;
}
