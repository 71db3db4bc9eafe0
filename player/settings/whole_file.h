// Files the player owns (brevora.ini, history.csv), read and written whole, and the UTF-8 they
// hold. A write goes to
// PATH.tmp first and replaces PATH only once every byte is on disk, so a crash leaves either
// the old file or the new one. Any thread; callers keep one writer per file.
#pragma once

#include <windows.h>

#include <string>

// The file beside the running program with this name.
std::wstring path_beside_program(const wchar_t *file_name);

enum class file_reading { read, missing, unreadable, too_large };
// Reads at most `limit` bytes; too_large (text empty) when the file holds more.
file_reading read_whole_file(const std::wstring &path, size_t limit, std::string &text);

// False, with PATH unchanged and no PATH.tmp left, when it could not.
bool write_whole_file(const std::wstring &path, const std::string &text);
// Adds text at the end of PATH (made when missing) and has it on disk before returning true.
bool append_to_file(const std::wstring &path, const std::string &text);

// UTF-8 from and to the window's UTF-16 (a lone surrogate or a bad byte becomes U+FFFD).
std::string utf8_from_wide(const std::wstring &text);
std::wstring wide_from_utf8(const std::string &utf8);
