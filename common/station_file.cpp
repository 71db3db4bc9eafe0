#include "station_file.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <mutex>
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

namespace {

std::u16string utf16_from_utf8(std::string_view utf8) {
    int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::u16string utf16(length > 0 ? length : 0, u'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                            reinterpret_cast<wchar_t *>(utf16.data()), length);
    return utf16;
}

std::string ansi_from_utf16(std::u16string_view utf16) {
    const wchar_t *wide = reinterpret_cast<const wchar_t *>(utf16.data());
    int length = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(utf16.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string ansi(length > 0 ? length : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(utf16.size()), ansi.data(), length,
                            nullptr, nullptr);
    return ansi;
}

bool is_lead_byte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

// What tells a changed file from the one read last: a replaced file has other times.
struct file_stamp {
    bool exists = false;
    DWORD attributes = 0;
    FILETIME created = {}, written = {};
    DWORD size_high = 0, size_low = 0;

    bool operator==(const file_stamp &other) const {
        return exists == other.exists && attributes == other.attributes &&
               CompareFileTime(&created, &other.created) == 0 &&
               CompareFileTime(&written, &other.written) == 0 && size_high == other.size_high &&
               size_low == other.size_low;
    }
};

file_stamp stamp_of(const char *path) {
    file_stamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return stamp;
    stamp.exists = true;
    stamp.attributes = data.dwFileAttributes;
    stamp.created = data.ftCreationTime;
    stamp.written = data.ftLastWriteTime;
    stamp.size_high = data.nFileSizeHigh;
    stamp.size_low = data.nFileSizeLow;
    return stamp;
}

// The file read last, shared by every thread that reads settings.
struct loaded_station_file {
    std::mutex lock;
    std::string path;                                      // guarded by lock
    file_stamp stamp;                                      // guarded by lock
    std::shared_ptr<const station_file_contents> contents; // guarded by lock
};
loaded_station_file loaded;

} // namespace

const ansi_code_page &system_code_page() {
    static const ansi_code_page code_page{utf16_from_utf8, ansi_from_utf16, is_lead_byte};
    return code_page;
}

station_file_contents read_station_file(const char *path) {
    // Others may write or replace the file meanwhile; this reads what it holds now.
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    LARGE_INTEGER size;
    bool complete = GetFileSizeEx(file, &size) && size.QuadPart >= 0 &&
                    static_cast<unsigned long long>(size.QuadPart) <= station_file_size_limit;
    if (complete) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        size_t filled = 0;
        DWORD got = 0;
        while (filled < bytes.size() &&
               ReadFile(file, bytes.data() + filled, static_cast<DWORD>(bytes.size() - filled),
                        &got, nullptr) &&
               got > 0)
            filled += got;
        bytes.resize(filled); // a file that shrank meanwhile: what it still held
    }
    CloseHandle(file);
    if (!complete)
        return {};
    return station_file_contents(bytes, system_code_page());
}

std::shared_ptr<const station_file_contents> current_station_file() {
    // Taken before the file is read: a change while it is read shows on the next call.
    const file_stamp stamp = stamp_of(ini_path);
    {
        std::lock_guard<std::mutex> hold(loaded.lock);
        if (loaded.contents && loaded.path == ini_path && loaded.stamp == stamp)
            return loaded.contents;
    }
    auto contents = std::make_shared<const station_file_contents>(
        stamp.exists ? read_station_file(ini_path) : station_file_contents());
    std::lock_guard<std::mutex> hold(loaded.lock);
    loaded.path = ini_path;
    loaded.stamp = stamp;
    loaded.contents = contents;
    return contents;
}

int read_setting_int(const char *section, const char *key, int default_value) {
    return current_station_file()->number(section, key, default_value);
}

void read_setting_text(const char *section, const char *key, const char *default_value,
                       char *buffer, size_t buffer_size) {
    if (buffer_size == 0)
        return;
    std::string value = current_station_file()->text(section, key, default_value, buffer_size);
    std::memcpy(buffer, value.c_str(), value.size() + 1);
}
#endif
