// CSV text split into rows of fields as a spreadsheet program reads RFC 4180: independent of
// the player's own reader, for the tests of the files it writes.
#pragma once

#include <string>
#include <vector>

inline std::vector<std::vector<std::string>> csv_rows(const std::string &text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"')
            rows.back().back() += text[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            rows.back().emplace_back();
        else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i, rows.emplace_back(1);
        else
            rows.back().back() += c;
    }
    if (rows.back() == std::vector<std::string>(1))
        rows.pop_back();
    return rows;
}
