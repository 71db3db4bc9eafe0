#include "station_file_reader.h"

#include "utf8.h"

#include <cstdint>

namespace {

// The buffer a number is read into as text, before it is parsed.
constexpr size_t number_buffer_size = 30;
// The lines of a second section of a name already seen belong to none.
constexpr size_t ignored_section = SIZE_MAX;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view before_nul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Names compare without case: the key of a name in the look-up tables.
std::string folded(std::string_view name) {
    std::string key(name);
    for (char &c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

// A name as the caller gives it is read as a name in the file is.
std::string folded_query(std::string_view name) {
    return folded(before_nul(trimmed(name)));
}

std::string utf8_from_utf16(std::string_view bytes, bool big_endian) {
    std::string text;
    text.reserve(bytes.size() / 2);
    auto unit_at = [&](size_t at) {
        unsigned char first = static_cast<unsigned char>(bytes[at]);
        unsigned char second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(big_endian ? first << 8 | second : second << 8 | first);
    };
    // An odd last byte is no character.
    for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
        char32_t unit = unit_at(at);
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 3 < bytes.size()) {
            char32_t low = unit_at(at + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append_utf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        append_utf8(text, unit >= 0xD800 && unit <= 0xDFFF ? replacement_character : unit);
    }
    return text;
}

// Characters of text counted as the profile functions count them: UTF-16 units, or the
// code page's characters (a lead byte and the byte after it are one).
struct character_counter {
    const std::function<bool(unsigned char)> *is_lead_byte; // null for UTF-16

    template <typename Text> size_t length_at(Text text, size_t at) const {
        const bool two_bytes =
            is_lead_byte && *is_lead_byte && (*is_lead_byte)(static_cast<unsigned char>(text[at]));
        return two_bytes && at + 1 < text.size() ? 2 : 1;
    }
    // The length of the first count characters of text.
    template <typename Text> size_t length_of_first(Text text, size_t count) const {
        size_t at = 0;
        for (; count > 0 && at < text.size(); count--)
            at += length_at(text, at);
        return at;
    }
    template <typename Text> size_t count(Text text) const {
        size_t characters = 0;
        for (size_t at = 0; at < text.size(); characters++)
            at += length_at(text, at);
        return characters;
    }
    // The length of the longest start of text that ends on a character and fits limit.
    size_t length_within(std::string_view text, size_t limit) const {
        size_t at = 0;
        while (at < text.size() && at + length_at(text, at) <= limit)
            at += length_at(text, at);
        return at;
    }
};

// The value as a read gives it into buffer_size characters: a pair of enclosing quotes
// dropped, cut to buffer_size - 1 characters. When the buffer is at least as long as the
// value after its opening quote, the last character copied is taken for the closing quote
// and dropped, even when the cut has already left that quote out: the platform does so.
template <typename Text>
Text unquoted_and_cut(Text value, size_t buffer_size, const character_counter &counter) {
    const bool quoted =
        value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    Text inner = quoted ? value.substr(1) : value;
    Text copy = inner.substr(0, counter.length_of_first(inner, buffer_size - 1));
    if (quoted && buffer_size >= counter.count(inner) && !copy.empty())
        copy = copy.substr(0, counter.length_of_first(copy, counter.count(copy) - 1));
    return copy;
}

int parsed_number(std::string_view text) {
    size_t at = 0;
    while (at < text.size() && static_cast<unsigned char>(text[at]) <= ' ')
        at++;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    unsigned base = 10;
    std::string_view prefix = text.substr(at, 2);
    if (prefix == "0x" || prefix == "0o" || prefix == "0b") {
        base = prefix[1] == 'x' ? 16 : prefix[1] == 'o' ? 8 : 2;
        at += 2;
    }
    // Wraps at 32 bits, as the platform's reading does: no number is refused.
    uint32_t value = 0;
    for (; at < text.size(); at++) {
        char c = text[at];
        unsigned digit = c >= '0' && c <= '9'   ? c - '0'
                         : c >= 'a' && c <= 'f' ? c - 'a' + 10
                         : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                : base;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}

} // namespace

station_file_contents::station_file_contents(std::string_view bytes,
                                             const ansi_code_page &code_page)
    : code_page_(code_page) {
    sections_.push_back({});
    first_section_.emplace("", 0);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        unicode_ = true;
        read_lines(bytes.substr(3));
    } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        unicode_ = true;
        read_lines(utf8_from_utf16(bytes.substr(2), bytes[0] == '\xFE'));
    } else {
        read_lines(bytes);
    }
}

void station_file_contents::read_lines(std::string_view text) {
    size_t section = 0; // the index of the section the lines belong to
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = text.size();
        add_line(trimmed(text.substr(at, end - at)), section);
        at = end + 1;
    }
}

void station_file_contents::add_line(std::string_view line, size_t &section) {
    if (line.empty())
        return;
    size_t close = line.rfind(']');
    if (line.front() == '[' && close != std::string_view::npos) {
        std::string name(before_nul(trimmed(line.substr(1, close - 1))));
        auto [found, added] = first_section_.emplace(folded(name), sections_.size());
        section = added ? sections_.size() : ignored_section;
        if (added)
            sections_.push_back({std::move(name), {}, {}});
        return;
    }
    if (section == ignored_section)
        return;
    section_entry &owner = sections_[section];
    size_t equals = line.find('=');
    key_entry key;
    key.has_value = equals != std::string_view::npos;
    key.name = before_nul(trimmed(line.substr(0, equals)));
    if (key.has_value)
        key.value = before_nul(trimmed(line.substr(equals + 1)));
    owner.first_key.emplace(folded(key.name), owner.keys.size());
    owner.keys.push_back(std::move(key));
}

const station_file_contents::key_entry *station_file_contents::find(std::string_view section,
                                                                    std::string_view key) const {
    auto found_section = first_section_.find(folded_query(section));
    if (found_section == first_section_.end())
        return nullptr;
    const section_entry &owner = sections_[found_section->second];
    auto found_key = owner.first_key.find(folded_query(key));
    if (found_key == owner.first_key.end() || !owner.keys[found_key->second].has_value)
        return nullptr;
    return &owner.keys[found_key->second];
}

std::string station_file_contents::in_code_page(std::string_view stored) const {
    if (!unicode_)
        return std::string(stored);
    return code_page_.ansi_from_utf16(code_page_.utf16_from_utf8(stored));
}

std::string station_file_contents::cut_to_buffer(std::string_view value, size_t buffer_size) const {
    const character_counter code_page_characters{&code_page_.is_lead_byte};
    std::string result;
    if (unicode_) {
        std::u16string utf16 = code_page_.utf16_from_utf8(value);
        result = code_page_.ansi_from_utf16(
            unquoted_and_cut(std::u16string_view(utf16), buffer_size, character_counter{nullptr}));
    } else {
        result = unquoted_and_cut(value, buffer_size, code_page_characters);
    }
    // The cut counts characters, but a character of the code page may take two bytes and
    // the buffer counts bytes.
    result.resize(code_page_characters.length_within(result, buffer_size - 1));
    return result;
}

std::string station_file_contents::text(std::string_view section, std::string_view key,
                                        std::string_view default_value, size_t buffer_size) const {
    if (buffer_size == 0)
        return {};
    const key_entry *found = find(section, key);
    if (found)
        return cut_to_buffer(found->value, buffer_size);
    const character_counter code_page_characters{&code_page_.is_lead_byte};
    return std::string(default_value.substr(
        0, code_page_characters.length_within(default_value, buffer_size - 1)));
}

int station_file_contents::number(std::string_view section, std::string_view key,
                                  int default_value) const {
    std::string text_value = text(section, key, "", number_buffer_size);
    return text_value.empty() ? default_value : parsed_number(text_value);
}

std::vector<std::pair<std::string, std::string>>
station_file_contents::entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> found;
    // Unlike a read of one key, the listing takes the caller's name as it is.
    auto owner = first_section_.find(folded(before_nul(section)));
    if (owner == first_section_.end())
        return found;
    for (const key_entry &key : sections_[owner->second].keys)
        if (key.has_value && !key.name.empty())
            found.emplace_back(in_code_page(key.name), in_code_page(key.value));
    return found;
}
