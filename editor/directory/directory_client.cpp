#include "directory_client.h"

#include "base_address.h"
#include "directory_stations.h"
#include "station_file.h"
#include "version.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <winhttp.h>

#include <cstring>
#include <memory>

namespace {

constexpr int resolve_timeout_ms = 5000;
constexpr int connect_timeout_ms = 5000;
constexpr int send_timeout_ms = 5000;
constexpr int receive_timeout_ms = 10000;
constexpr ULONGLONG body_time_limit_ms = 30000;

struct internet_handle_closer {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using internet_handle = std::unique_ptr<void, internet_handle_closer>;

std::wstring widen(const std::string &text, UINT code_page = CP_UTF8) {
    int length =
        MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

void set_proxy_credentials(HINTERNET request, const proxy_parts &proxy) {
    if (proxy.user.empty())
        return;
    std::wstring user = widen(proxy.user, CP_ACP), password = widen(proxy.password, CP_ACP);
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, user.data(),
                     static_cast<DWORD>(user.size()));
    WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, password.data(),
                     static_cast<DWORD>(password.size()));
}

DWORD status_code(HINTERNET request) {
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    return status;
}

// Reads the body, stopping as soon as it goes over the limit. A read that fails part-way
// (time-out, reset) leaves an answer that cannot be trusted: not answered.
void read_body(HINTERNET request, directory_reply &reply) {
    char chunk[16384];
    // The receive time-out holds for each read; a server that trickles its answer must not
    // keep the search waiting for ever.
    ULONGLONG deadline = GetTickCount64() + body_time_limit_ms;
    for (;;) {
        DWORD got = 0;
        if (!WinHttpReadData(request, chunk, sizeof chunk, &got) || GetTickCount64() > deadline)
            return;
        if (got == 0)
            break;
        if (reply.body.size() + got > directory_body_limit) {
            reply.body.clear();
            reply.too_large = true;
            return;
        }
        reply.body.append(chunk, got);
    }
    reply.answered = true;
}

HINTERNET open_session(const directory_connection &connection) {
    std::wstring agent = widen(connection.user_agent);
    HINTERNET session;
    if (connection.proxy) {
        std::wstring server = widen(connection.proxy->server, CP_ACP);
        session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, server.c_str(),
                              WINHTTP_NO_PROXY_BYPASS, 0);
    } else {
        session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    }
    if (session)
        WinHttpSetTimeouts(session, resolve_timeout_ms, connect_timeout_ms, send_timeout_ms,
                           receive_timeout_ms);
    return session;
}

std::string numeric_host(const sockaddr *address, socklen_t length, int flags) {
    char host[NI_MAXHOST] = "";
    if (getnameinfo(address, length, host, sizeof host, nullptr, 0, flags) != 0)
        return {};
    return host;
}

// Winsock is started for each look-up and ended after it: the worker owns no other socket.
struct winsock_scope {
    bool started;
    winsock_scope() {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~winsock_scope() {
        if (started)
            WSACleanup();
    }
};

std::vector<std::string> addresses_of(const std::string &host) {
    winsock_scope winsock;
    std::vector<std::string> addresses;
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (!winsock.started || getaddrinfo(host.c_str(), "443", &hints, &found) != 0)
        return addresses;
    for (addrinfo *entry = found; entry; entry = entry->ai_next) {
        std::string text =
            numeric_host(entry->ai_addr, static_cast<socklen_t>(entry->ai_addrlen), NI_NUMERICHOST);
        if (!text.empty())
            addresses.push_back(text);
    }
    freeaddrinfo(found);
    return addresses;
}

std::string name_of(const std::string &address) {
    winsock_scope winsock;
    addrinfo hints = {};
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo *found = nullptr;
    if (!winsock.started || getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0)
        return {};
    std::string name =
        numeric_host(found->ai_addr, static_cast<socklen_t>(found->ai_addrlen), NI_NAMEREQD);
    freeaddrinfo(found);
    return name;
}

} // namespace

// While it lives, the request can be cancelled from another thread. Whoever ends it closes
// the handle: the canceller when it cancels first, else this registration.
struct request_registration {
    request_canceller *canceller;
    HINTERNET request;
    bool registered = false;

    request_registration(request_canceller *owner, HINTERNET handle)
        : canceller(owner), request(handle) {
        if (!canceller)
            return;
        std::lock_guard<std::mutex> hold(canceller->lock_);
        if (!canceller->cancelled_) {
            canceller->request_ = request;
            registered = true;
        }
    }
    bool accepted() const { return !canceller || registered; }
    ~request_registration() {
        if (registered) {
            std::lock_guard<std::mutex> hold(canceller->lock_);
            if (canceller->request_ != request)
                return; // the canceller closed it
            canceller->request_ = nullptr;
        }
        WinHttpCloseHandle(request);
    }
};

void request_canceller::cancel() {
    std::lock_guard<std::mutex> hold(lock_);
    cancelled_ = true;
    if (request_)
        WinHttpCloseHandle(request_);
    request_ = nullptr;
}

bool request_canceller::is_cancelled() {
    std::lock_guard<std::mutex> hold(lock_);
    return cancelled_;
}

directory_reply directory_get(const std::string &base, const std::string &path,
                              const directory_connection &connection,
                              request_canceller *canceller) {
    directory_reply reply;
    std::optional<base_address> server = parse_base_address(base);
    if (!server)
        return reply;
    internet_handle session(open_session(connection));
    if (!session)
        return reply;
    internet_handle connected(WinHttpConnect(session.get(), widen(server->host).c_str(),
                                             static_cast<INTERNET_PORT>(server->port), 0));
    if (!connected)
        return reply;
    std::wstring target = widen(server->path + path);
    const wchar_t *accept[] = {L"application/json", nullptr};
    HINTERNET opened =
        WinHttpOpenRequest(connected.get(), L"GET", target.c_str(), nullptr, WINHTTP_NO_REFERER,
                           accept, server->secure ? WINHTTP_FLAG_SECURE : 0);
    if (!opened)
        return reply;
    request_registration request(canceller, opened);
    if (!request.accepted())
        return reply;
    if (connection.proxy)
        set_proxy_credentials(opened, *connection.proxy);
    if (!WinHttpSendRequest(opened, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                            0) ||
        !WinHttpReceiveResponse(opened, nullptr) || status_code(opened) != 200)
        return reply;
    read_body(opened, reply);
    return reply;
}

directory_name_lookup system_name_lookup() {
    return {addresses_of, name_of};
}

directory_connection directory_connection_from_settings() {
    directory_connection connection;
    connection.user_agent = std::string("Brevora/") + BREVORA_VERSION_TEXT;
    char use_proxy[setting_buffer_size];
    char proxy[setting_buffer_size];
    read_setting_text(config_section, use_proxy_key, "off", use_proxy, sizeof use_proxy);
    read_setting_text(config_section, proxy_key, unset_setting_value, proxy, sizeof proxy);
    if (std::strcmp(use_proxy, "on") == 0)
        connection.proxy = split_proxy_setting(proxy);
    return connection;
}
