#include "proxy_setting.h"

#include "station_file.h"

std::optional<proxy_parts> split_proxy_setting(std::string_view setting) {
    proxy_parts parts;
    size_t at = setting.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view credentials = setting.substr(0, at);
        size_t colon = credentials.find(':');
        parts.user = std::string(credentials.substr(0, colon));
        if (colon != std::string_view::npos)
            parts.password = std::string(credentials.substr(colon + 1));
        setting = setting.substr(at + 1);
    }
    if (setting.empty() || setting == unset_setting_value ||
        setting.find_first_of(" /") != std::string_view::npos)
        return std::nullopt;
    parts.server = std::string(setting);
    return parts;
}
