// The text helpers that are not one-liners.
#include "input/text/text.h"

#include <sstream>

namespace audio {

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(without_bom(text));
    std::string line;
    while (std::getline(stream, line))
        lines.push_back(trim(line, " \t\r\n"));
    return lines;
}

} // namespace audio
