// TCP connections for connect_tcp(): POSIX sockets natively, Winsock on Windows. The two
// differ only in the few calls wrapped at the top of this file.
#include "input/net/transport.h"

#include "input/net/io_failure.h"

#include "core/unjoined_thread.h"

#include "brevora_audio.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace audio {

namespace {

#ifdef _WIN32
using native_socket = SOCKET;
const native_socket invalid_socket = INVALID_SOCKET;
void close_socket(native_socket s) {
    closesocket(s);
}
int last_socket_error() {
    return WSAGetLastError();
}
bool would_block(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}
bool is_no_network(int error) {
    return error == WSAENETUNREACH || error == WSAENETDOWN;
}
// select(), not WSAPoll(): older WSAPoll never reports a refused connect, which would
// turn "refused" into a time-out.
int poll_socket(native_socket s, short events, int ms) {
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (events & POLLIN) {
        FD_SET(s, &readable);
    }
    if (events & POLLOUT) {
        FD_SET(s, &writable);
    }
    FD_SET(s, &failed);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return select(0, &readable, &writable, &failed, &wait);
}
void set_non_blocking(native_socket s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}
void start_sockets() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}
const int send_flags = 0;
#else
using native_socket = int;
const native_socket invalid_socket = -1;
void close_socket(native_socket s) {
    close(s);
}
int last_socket_error() {
    return errno;
}
bool would_block(int error) {
    return error == EINPROGRESS || error == EWOULDBLOCK || error == EAGAIN || error == EINTR;
}
bool is_no_network(int error) {
    return error == ENETUNREACH || error == ENETDOWN;
}
int poll_socket(native_socket s, short events, int ms) {
    pollfd descriptor{};
    descriptor.fd = s;
    descriptor.events = events;
    return poll(&descriptor, 1, ms);
}
void set_non_blocking(native_socket s) {
    fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK);
}
void start_sockets() {}
const int send_flags = MSG_NOSIGNAL; // a closed peer must not kill the process with SIGPIPE
#endif

// Waits until the socket is ready for `events`, in slices so that a stop is seen promptly.
io_status wait_for(native_socket s, short events, clock_type::time_point deadline,
                   const stop_signal &stop) {
    for (;;) {
        if (stop.requested()) {
            return io_status::stopped;
        }
        auto now = clock_type::now();
        if (now >= deadline) {
            return io_status::timeout;
        }
        auto slice = std::min<clock_type::duration>(deadline - now, stop_check_interval);
        int ms =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(slice).count()) +
            1;
        int ready = poll_socket(s, events, ms);
        if (ready > 0) {
            return io_status::ok;
        }
        if (ready < 0 && !would_block(last_socket_error())) {
            return io_status::failed;
        }
    }
}

class tcp_transport : public transport {
  public:
    tcp_transport(native_socket s, const stop_signal &stop) : socket_(s), stop_(stop) {}
    ~tcp_transport() override { close_socket(socket_); }
    tcp_transport(const tcp_transport &) = delete;
    tcp_transport &operator=(const tcp_transport &) = delete;

    io_result read_some(uint8_t *buffer, size_t size, clock_type::time_point deadline) override {
        for (;;) {
            io_status waited = wait_for(socket_, POLLIN, deadline, stop_);
            if (waited != io_status::ok) {
                return {waited};
            }
            auto received = recv(socket_, reinterpret_cast<char *>(buffer),
                                 static_cast<int>(size > 65536 ? 65536 : size), 0);
            if (received > 0) {
                return {io_status::ok, static_cast<size_t>(received)};
            }
            if (received == 0) {
                return {io_status::closed};
            }
            if (!would_block(last_socket_error())) {
                return {io_status::failed};
            }
        }
    }

    io_result write_all(const uint8_t *data, size_t size,
                        clock_type::time_point deadline) override {
        size_t written = 0;
        while (written < size) {
            io_status waited = wait_for(socket_, POLLOUT, deadline, stop_);
            if (waited != io_status::ok) {
                return {waited, written};
            }
            auto sent =
                send(socket_, reinterpret_cast<const char *>(data + written),
                     static_cast<int>(size - written > 65536 ? 65536 : size - written), send_flags);
            if (sent > 0) {
                written += static_cast<size_t>(sent);
            } else if (sent < 0 && !would_block(last_socket_error())) {
                return {io_status::failed, written};
            }
        }
        return {io_status::ok, written};
    }

  private:
    native_socket socket_;
    const stop_signal &stop_;
};

int system_address_lookup(const char *host, const char *service, const addrinfo *hints,
                          addrinfo **found) {
    return getaddrinfo(host, service, hints, found);
}

std::atomic<address_lookup> current_address_lookup{system_address_lookup};

// getaddrinfo cannot be interrupted, so it runs on a helper thread that the caller stops
// waiting for on a stop or time-out; the helper then cleans up after itself.
struct resolution {
    std::mutex lock;
    std::condition_variable finished; // told when done becomes true
    bool done = false;                // guarded by lock
    int status = 0;                   // guarded by lock
    addrinfo *addresses = nullptr;    // guarded by lock; freed by whoever sees it last
    bool abandoned = false;           // guarded by lock
};

io_status resolve(const std::string &host, unsigned port, clock_type::time_point deadline,
                  const stop_signal &stop, addrinfo **addresses, int *status) {
    auto shared = std::make_shared<resolution>();
    address_lookup lookup = current_address_lookup.load();
    start_unjoined_thread([shared, host, port, lookup] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *found = nullptr;
        int result = lookup(host.c_str(), std::to_string(port).c_str(), &hints, &found);
        std::lock_guard<std::mutex> guard(shared->lock);
        if (shared->abandoned) {
            if (found) {
                freeaddrinfo(found);
            }
            return;
        }
        shared->done = true;
        shared->status = result;
        shared->addresses = found;
        shared->finished.notify_all();
    });
    std::unique_lock<std::mutex> guard(shared->lock);
    if (!stop.wait_for_event(guard, shared->finished, deadline, [&] { return shared->done; })) {
        shared->abandoned = true;
        return stop.requested() ? io_status::stopped : io_status::timeout;
    }
    *addresses = shared->addresses;
    *status = shared->status;
    return io_status::ok;
}

} // namespace

void set_address_lookup(address_lookup lookup) {
    current_address_lookup.store(lookup ? lookup : system_address_lookup);
}

namespace {

// Connects a socket to one address: 0, or the socket error; io_status when the wait for
// the connection ended first (timeout or stopped).
std::variant<int, io_status> connect_to(native_socket s, const addrinfo &address,
                                        clock_type::time_point deadline, const stop_signal &stop) {
    set_non_blocking(s);
    int no_delay = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&no_delay),
               sizeof no_delay);
    int result = connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen));
    int error = result == 0 ? 0 : last_socket_error();
    if (result == 0 || !would_block(error)) {
        return error;
    }
    io_status waited = wait_for(s, POLLOUT, deadline, stop);
    if (waited != io_status::ok) {
        return waited;
    }
    int socket_error = 0;
    socklen_t length = sizeof socket_error;
    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&socket_error), &length);
    return socket_error;
}

// The first of addresses that accepts a connection; null with *failure set when none does.
std::unique_ptr<transport> connect_first(const addrinfo *addresses, const std::string &host,
                                         clock_type::time_point deadline, const stop_signal &stop,
                                         connect_failure *failure) {
    *failure = {BASS_ERROR_FILEOPEN, "cannot connect to " + host};
    for (const addrinfo *address = addresses; address; address = address->ai_next) {
        native_socket s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (s == invalid_socket) {
            continue;
        }
        std::variant<int, io_status> outcome = connect_to(s, *address, deadline, stop);
        if (outcome.index() == 0 && std::get<int>(outcome) == 0) {
            return std::make_unique<tcp_transport>(s, stop);
        }
        close_socket(s);
        if (outcome.index() == 1) {
            io_status waited = std::get<io_status>(outcome);
            *failure = wait_failure(waited, "connecting to " + host);
            if (waited == io_status::stopped) {
                return nullptr;
            }
            continue;
        }
        // A time-out or missing route on another address explains more than a refusal.
        int error = std::get<int>(outcome);
        std::string code = " (socket error " + std::to_string(error) + ")";
        if (is_no_network(error) && failure->error == BASS_ERROR_FILEOPEN) {
            *failure = {BASS_ERROR_NONET, "no network route to " + host + code};
        } else if (failure->error == BASS_ERROR_FILEOPEN) {
            failure->reason = "cannot connect to " + host + code;
        }
    }
    return nullptr;
}

} // namespace

std::unique_ptr<transport> connect_tcp(const std::string &host, unsigned port,
                                       clock_type::time_point deadline, const stop_signal &stop,
                                       connect_failure *failure) {
    start_sockets();
    addrinfo *addresses = nullptr;
    int status = 0;
    io_status resolved = resolve(host, port, deadline, stop, &addresses, &status);
    if (resolved != io_status::ok) {
        *failure = wait_failure(resolved, "resolving " + host);
        return nullptr;
    }
    if (status != 0 || !addresses) {
        *failure = {BASS_ERROR_FILEOPEN,
                    "cannot resolve " + host + " (look-up error " + std::to_string(status) + ")"};
        return nullptr;
    }
    std::unique_ptr<transport> connected = connect_first(addresses, host, deadline, stop, failure);
    freeaddrinfo(addresses);
    return connected;
}

} // namespace audio
