// The audio library's tag blocks (HTTP and ICY headers, Ogg comments, WMA tags): entries
// ended by a NUL, the block by an empty entry. Pure; any thread.
#pragma once

#include <cstring>
#include <string_view>

inline const char *next_entry(const char *entry) {
    return entry + std::strlen(entry) + 1;
}

// The value of an entry that begins with key ("icy-name:", "title="), letter case aside;
// nullptr when it does not. The key's length comes from the key itself.
inline const char *value_after_key(const char *entry, std::string_view key) {
    for (size_t i = 0; i < key.size(); ++i) {
        const char letter = entry[i]; // a shorter entry stops at its NUL
        const char lower =
            letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter;
        if (lower != key[i])
            return nullptr;
    }
    return entry + key.size();
}
