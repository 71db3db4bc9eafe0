#include "command_line.h"

#include <algorithm>

namespace audio {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

size_t after_blanks(const std::string &line, size_t at) {
    while (at < line.size() && is_blank(line[at]))
        ++at;
    return at;
}

// The program name at `at`: quoted up to the next quote, with no escapes, or up to a blank.
std::string read_program(const std::string &line, size_t *at) {
    const size_t end = line.size();
    std::string program;
    if (line[*at] == '"') {
        size_t closing = std::min(line.find('"', *at + 1), end);
        program = line.substr(*at + 1, closing - *at - 1);
        *at = closing < end ? closing + 1 : end;
    } else {
        while (*at < end && !is_blank(line[*at]))
            program.push_back(line[(*at)++]);
    }
    return program;
}

// An argument at `at`: backslashes escape only before a quote, quotes group blanks, and a
// doubled quote inside quotes stands for one.
std::string read_argument(const std::string &line, size_t *at) {
    const size_t end = line.size();
    std::string argument;
    bool quoted = false;
    while (*at < end && (quoted || !is_blank(line[*at]))) {
        if (line[*at] == '\\') {
            size_t backslashes = 0;
            while (*at < end && line[*at] == '\\') {
                ++backslashes;
                ++*at;
            }
            if (*at < end && line[*at] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument.push_back('"');
                    ++*at;
                }
            } else {
                argument.append(backslashes, '\\');
            }
        } else if (line[*at] == '"') {
            if (quoted && *at + 1 < end && line[*at + 1] == '"') {
                argument.push_back('"');
                *at += 2;
            } else {
                quoted = !quoted;
                ++*at;
            }
        } else {
            argument.push_back(line[(*at)++]);
        }
    }
    return argument;
}

} // namespace

std::vector<std::string> split_command_line(const std::string &line) {
    std::vector<std::string> arguments;
    size_t at = after_blanks(line, 0);
    if (at == line.size())
        return arguments;
    arguments.push_back(read_program(line, &at));
    while ((at = after_blanks(line, at)) < line.size())
        arguments.push_back(read_argument(line, &at));
    return arguments;
}

} // namespace audio
