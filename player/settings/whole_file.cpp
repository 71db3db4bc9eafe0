#include "settings/whole_file.h"

namespace {

// Writes all of text and has it on disk before returning true.
bool write_flushed(HANDLE file, const std::string &text) {
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(file);
}

} // namespace

std::wstring path_beside_program(const wchar_t *file_name) {
    wchar_t module_path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module_path, MAX_PATH);
    std::wstring path(module_path, length < MAX_PATH ? length : 0);
    const size_t last_backslash = path.find_last_of(L'\\');
    path.erase(last_backslash == std::wstring::npos ? 0 : last_backslash + 1);
    return path + file_name;
}

file_reading read_whole_file(const std::wstring &path, size_t limit, std::string &text) {
    text.clear();
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? file_reading::missing
                                                      : file_reading::unreadable;
    LARGE_INTEGER size = {};
    file_reading result = file_reading::unreadable;
    const bool sized = GetFileSizeEx(file, &size);
    if (sized && static_cast<unsigned long long>(size.QuadPart) > limit) {
        result = file_reading::too_large;
    } else if (sized) {
        text.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        if (ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
            text.resize(read);
            result = file_reading::read;
        }
    }
    CloseHandle(file);
    if (result != file_reading::read)
        text.clear();
    return result;
}

bool write_whole_file(const std::wstring &path, const std::string &text) {
    const std::wstring temporary = path + L".tmp";
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool complete = write_flushed(file, text);
    CloseHandle(file);
    if (complete && MoveFileExW(temporary.c_str(), path.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.c_str());
    return false;
}

bool append_to_file(const std::wstring &path, const std::string &text) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool complete = write_flushed(file, text);
    CloseHandle(file);
    return complete;
}

std::string utf8_from_wide(const std::wstring &text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                            size, nullptr, nullptr);
    return utf8;
}

std::wstring wide_from_utf8(const std::string &utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            size);
    return wide;
}
