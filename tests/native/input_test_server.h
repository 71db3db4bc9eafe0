// Starts tests/servers/radio_test_server.py for a test suite and opens URLs on it.
#pragma once

#include "input/network_input.h"
#include "python_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace input_test {

// The server's ports by listener name ("http", "https", "proxy", "auth_proxy", "dead")
// and the path of the certificate it made.
struct server_info {
    std::map<std::string, int> ports;
    std::string ca_file;
};

class recording_listener : public audio::input_listener {
  public:
    void on_response(const std::string &status_line,
                     const std::vector<std::string> &header_lines) override {
        ++responses;
        status = status_line;
        headers = header_lines;
    }
    void on_metadata(const std::string &metadata, uint64_t) override { titles.push_back(metadata); }

    int responses = 0;
    std::string status;
    std::vector<std::string> headers;
    std::vector<std::string> titles;
};

class radio_server {
  public:
    radio_server() : process_(BREVORA_TEST_SERVERS_DIR "/radio_test_server.py") {
        parse(process_.first_line());
    }
    const server_info &info() const { return info_; }
    bool ready() const { return info_.ports.count("http") == 1; }

    // Waits until the server has received `count` requests for `target` (path and query as
    // sent), so that a test acts while a request is in flight. False when they have not
    // come within the server's deadline (15 s). Any thread.
    bool wait_for_requests(const std::string &target, int count = 1) const {
        std::string key;
        for (char c : target) {
            bool reserved = c == '?' || c == '&' || c == '=' || c == '%';
            key += reserved ? "%" + hex_byte(static_cast<unsigned char>(c)) : std::string(1, c);
        }
        audio::connect_options options;
        options.timeout_ms = 30000;
        recording_listener listener;
        std::atomic<bool> never_cancelled{false};
        int error = 0;
        return audio::open_network_input(
                   "http://127.0.0.1:" + std::to_string(info_.ports.at("http")) +
                       "/await?count=" + std::to_string(count) + "&key=" + key,
                   options, listener, never_cancelled, &error) != nullptr;
    }

  private:
    static std::string hex_byte(unsigned char byte) {
        const char digits[] = "0123456789ABCDEF";
        return {digits[byte >> 4], digits[byte & 15]};
    }

    // The line is flat JSON: {"name": number, ..., "ca_file": "path"}.
    void parse(const std::string &line) {
        size_t position = 0;
        while ((position = line.find('"', position)) != std::string::npos) {
            size_t name_end = line.find('"', position + 1);
            std::string name = line.substr(position + 1, name_end - position - 1);
            size_t value_start = line.find_first_not_of(": ", name_end + 1);
            if (line[value_start] == '"') {
                size_t value_end = line.find('"', value_start + 1);
                info_.ca_file = line.substr(value_start + 1, value_end - value_start - 1);
                position = value_end + 1;
            } else {
                info_.ports[name] = std::stoi(line.substr(value_start));
                position = line.find_first_of(",}", value_start);
            }
        }
    }

    test_support::python_server process_;
    server_info info_;
};

// The i-th audio byte the server sends on one path (as pattern() in the server script).
inline std::string audio_pattern(size_t start, size_t count) {
    std::string bytes;
    for (size_t i = start; i < start + count; ++i) {
        bytes += static_cast<char>((i * 7 + 3) % 251);
    }
    return bytes;
}

// Reads until `count` bytes have arrived or read() returns 0 or -1.
inline std::string read_bytes(audio::network_input &input, size_t count) {
    std::string bytes;
    uint8_t buffer[7]; // small, so that reads split metadata blocks at odd places
    while (bytes.size() < count) {
        long got = input.read(buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got <= 0) {
            break;
        }
        bytes.append(reinterpret_cast<const char *>(buffer), static_cast<size_t>(got));
    }
    return bytes;
}

// Reads a Content-Length body to its end.
inline std::string read_all(audio::network_input &input) {
    std::string bytes;
    uint8_t buffer[4096];
    long got;
    while ((got = input.read(buffer, sizeof buffer)) > 0) {
        bytes.append(reinterpret_cast<const char *>(buffer), static_cast<size_t>(got));
    }
    return bytes;
}

} // namespace input_test
