// stations.ini read in one pass, then looked up as often as needed: every value comes out as
// the platform's profile functions give it, without their cost of searching (or reading) the
// whole file again for each key. Pure: the file's bytes and the code page's conversions are
// handed in, so the native tests use stand-ins; any thread may read a loaded file.
//
// The rules the profile functions follow, which this reader keeps:
// - A line ends at a carriage return or a line feed; the last one needs neither.
// - Blanks (space, tab, vertical tab, form feed) around a line, a name and a value do not count.
// - A line that starts with "[" and has a "]" names a section: the text up to its last "]".
//   Lines before the first such line belong to a section without a name.
// - Any other line is a key: its name up to the first "=", its value after it. A line
//   without "=" is a key without a value, which reads as missing.
// - Names compare without case. Of two sections with one name only the first counts (the
//   keys of the second are never found); of two keys in a section the first counts.
// - A name or value ends at a NUL byte, but the line still ends only at its line break.
// - A value between a pair of the same quotes (" or ') loses them when it is read.
// - A file that starts with a UTF-8 or UTF-16 byte order mark holds Unicode text, given in
//   the code page (a character it lacks becomes its best fit or "?"); any other file holds
//   the code page's own bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// The system's ANSI code page, as the reader needs it.
struct ansi_code_page {
    // UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
    std::function<std::u16string(std::string_view utf8)> utf16_from_utf8;
    // UTF-16 to the code page: a character it lacks becomes its best fit, else "?".
    std::function<std::string(std::u16string_view utf16)> ansi_from_utf16;
    // True for a byte that starts a character of two bytes (never, in a single-byte code page).
    std::function<bool(unsigned char byte)> is_lead_byte;
};

class station_file_contents {
  public:
    // A missing or unreadable file: every key reads as missing.
    station_file_contents() = default;
    station_file_contents(std::string_view bytes, const ansi_code_page &code_page);

    // What a profile read with a buffer of buffer_size bytes gives: the value, or
    // default_value when the key is missing, cut to buffer_size - 1 bytes at a character
    // boundary ("" for a buffer_size of 0).
    std::string text(std::string_view section, std::string_view key, std::string_view default_value,
                     size_t buffer_size) const;
    // What a profile read of a number gives: the value read as text (with a buffer of 30
    // bytes) as a decimal, "0x" hex, "0o" octal or "0b" binary number with an optional sign,
    // up to its first other character and wrapped to 32 bits; default_value when the text is
    // empty.
    int number(std::string_view section, std::string_view key, int default_value) const;
    // Every key of section (named without blanks around it) that has a name and a value,
    // with the value as the file holds it (quotes kept, blanks around it left out), in file
    // order, duplicates included.
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;

  private:
    struct key_entry {
        std::string name;
        std::string value; // as in the file: the code page's bytes, or UTF-8 in a Unicode file
        bool has_value;
    };
    struct section_entry {
        std::string name;
        std::vector<key_entry> keys;
        std::unordered_map<std::string, size_t> first_key; // by name without case
    };

    void read_lines(std::string_view text);
    void add_line(std::string_view line, size_t &section);
    const key_entry *find(std::string_view section, std::string_view key) const;
    std::string in_code_page(std::string_view stored) const;
    std::string cut_to_buffer(std::string_view value, size_t buffer_size) const;

    std::vector<section_entry> sections_;
    std::unordered_map<std::string, size_t> first_section_; // by name without case
    bool unicode_ = false;
    ansi_code_page code_page_;
};
