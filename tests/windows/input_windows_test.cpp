// The network input through Winsock: a server thread in this process answers like a
// SHOUTcast v1 station, and the input must hand back its audio without the metadata.
#include "input/network_input.h"

#include "brevora_audio.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>
#include <thread>

namespace {

class one_shot_server {
  public:
    explicit one_shot_server(std::string answer) : answer_(std::move(answer)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address);
        listen(listener_, 1);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~one_shot_server() {
        thread_.join();
        closesocket(listener_);
        WSACleanup();
    }
    int port() const { return port_; }
    const std::string &request() const { return request_; } // after the input is done

  private:
    void serve() {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            return;
        }
        char buffer[1024];
        while (request_.find("\r\n\r\n") == std::string::npos) {
            int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request_.append(buffer, static_cast<size_t>(got));
        }
        send(client, answer_.data(), static_cast<int>(answer_.size()), 0);
        shutdown(client, SD_SEND);
        closesocket(client);
    }

    std::string answer_;
    SOCKET listener_;
    int port_ = 0;
    std::string request_;
    std::thread thread_;
};

class recording_listener : public audio::input_listener {
  public:
    void on_response(const std::string &status_line, const std::vector<std::string> &) override {
        status = status_line;
    }
    void on_metadata(const std::string &metadata) override { titles.push_back(metadata); }
    std::string status;
    std::vector<std::string> titles;
};

TEST(NetworkInputWindows, ReadsAnIcyStationThroughWinsock) {
    std::string title = "StreamTitle='W';";
    std::string block = std::string(1, '\x01') + title;
    std::string answer = "ICY 200 OK\r\nicy-metaint:4\r\ncontent-type:audio/mpeg\r\n"
                         "Content-Length: 8\r\n\r\nabcd" +
                         block + "efgh";
    one_shot_server server(answer);
    recording_listener listener;
    std::atomic<bool> cancelled{false};
    audio::connect_options options;
    options.timeout_ms = 2000;
    int error = 0;
    auto input =
        audio::open_network_input("http://127.0.0.1:" + std::to_string(server.port()) + "/live",
                                  options, listener, cancelled, &error);
    ASSERT_TRUE(input) << error;
    EXPECT_TRUE(input->is_icy());
    EXPECT_EQ(listener.status, "ICY 200 OK");
    std::string audio;
    uint8_t buffer[3];
    while (audio.size() < 8) {
        long got = input->read(buffer, sizeof buffer);
        ASSERT_GT(got, 0);
        audio.append(reinterpret_cast<const char *>(buffer), static_cast<size_t>(got));
    }
    EXPECT_EQ(audio, "abcdefgh");
    EXPECT_EQ(listener.titles, std::vector<std::string>{title});
    input->interrupt();
    input.reset();
}

TEST(NetworkInputWindows, RefusedConnectionIsAnOpenError) {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address);
    int length = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr *>(&address), &length);
    closesocket(probe); // nothing listens on that port now
    recording_listener listener;
    std::atomic<bool> cancelled{false};
    audio::connect_options options;
    options.timeout_ms = 2000;
    int error = 0;
    EXPECT_FALSE(audio::open_network_input(
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/", options, listener,
        cancelled, &error));
    EXPECT_EQ(error, BASS_ERROR_FILEOPEN);
}

} // namespace
