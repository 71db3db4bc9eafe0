// A TCP listener on 127.0.0.1 at a port Winsock picks, for the Windows tests that play the
// server side themselves. Owns its socket and its share of Winsock's start-up.
#pragma once

#include <winsock2.h>

#include <atomic>

class loopback_listener {
  public:
    loopback_listener() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        SOCKET listening = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listening, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(listening, 4);
        int length = sizeof address;
        getsockname(listening, reinterpret_cast<sockaddr *>(&address), &length);
        port_ = ntohs(address.sin_port);
        socket_ = listening;
    }
    ~loopback_listener() {
        close();
        WSACleanup();
    }
    loopback_listener(const loopback_listener &) = delete;
    loopback_listener &operator=(const loopback_listener &) = delete;

    int port() const { return port_; }

    // Takes in the next client, waiting at most `timeout_ms` (forever when negative, until
    // close() ends the wait). INVALID_SOCKET when none came; the caller owns the socket.
    SOCKET accept_client(int timeout_ms = -1) {
        SOCKET listening = socket_;
        if (timeout_ms >= 0) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(listening, &readable);
            timeval timeout = {timeout_ms / 1000, (timeout_ms % 1000) * 1000};
            if (select(0, &readable, nullptr, nullptr, &timeout) != 1)
                return INVALID_SOCKET;
        }
        return accept(listening, nullptr, nullptr);
    }

    // Any thread: stops listening, which also ends a wait in accept_client.
    void close() {
        SOCKET open = socket_.exchange(INVALID_SOCKET);
        if (open != INVALID_SOCKET)
            closesocket(open);
    }

  private:
    std::atomic<SOCKET> socket_{INVALID_SOCKET};
    int port_ = 0;
};

// A loopback port that nothing listens on: one a listener had, closed again.
inline int refusing_loopback_port() {
    loopback_listener listener;
    return listener.port();
}
