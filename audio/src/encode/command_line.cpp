#include "command_line.h"

namespace audio {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> split_command_line(const std::string &line) {
    std::vector<std::string> arguments;
    size_t at = 0;
    const size_t end = line.size();
    while (at < end && is_blank(line[at]))
        ++at;
    if (at == end)
        return arguments;

    std::string program;
    if (line[at] == '"') {
        size_t closing = line.find('"', at + 1);
        if (closing == std::string::npos)
            closing = end;
        program = line.substr(at + 1, closing - at - 1);
        at = closing < end ? closing + 1 : end;
    } else {
        while (at < end && !is_blank(line[at]))
            program.push_back(line[at++]);
    }
    arguments.push_back(program);

    for (;;) {
        while (at < end && is_blank(line[at]))
            ++at;
        if (at == end)
            return arguments;
        std::string argument;
        bool quoted = false;
        while (at < end && (quoted || !is_blank(line[at]))) {
            if (line[at] == '\\') {
                size_t backslashes = 0;
                while (at < end && line[at] == '\\') {
                    ++backslashes;
                    ++at;
                }
                if (at < end && line[at] == '"') {
                    argument.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        argument.push_back('"');
                        ++at;
                    }
                } else {
                    argument.append(backslashes, '\\');
                }
            } else if (line[at] == '"') {
                if (quoted && at + 1 < end && line[at + 1] == '"') {
                    argument.push_back('"');
                    at += 2;
                } else {
                    quoted = !quoted;
                    ++at;
                }
            } else {
                argument.push_back(line[at++]);
            }
        }
        arguments.push_back(argument);
    }
}

} // namespace audio
