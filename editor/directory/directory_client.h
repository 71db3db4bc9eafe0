// The station directory over the network: name look-ups through Winsock and one HTTP(S)
// GET through WinHTTP (certificates checked against the system's store, the player's proxy
// when it is on). Blocking calls, for the search's worker thread only.
#pragma once

#include "directory_servers.h"
#include "proxy_setting.h"

#include <mutex>
#include <optional>
#include <string>

struct directory_connection {
    std::string user_agent;           // "Brevora/<version>"
    std::optional<proxy_parts> proxy; // set when [config] use_proxy is "on"
};

struct directory_reply {
    bool answered = false;  // status 200 and a body within directory_body_limit
    bool too_large = false; // status 200 but the body went over the limit
    std::string body;
};

// Lets the window's thread end a worker's requests at once: closing the handle of the
// request in flight makes WinHTTP's blocking call in the worker fail.
class request_canceller {
  public:
    // Any thread: ends the request in flight and refuses later ones.
    void cancel();
    bool is_cancelled();

  private:
    friend struct request_registration;
    std::mutex lock_;
    void *request_ = nullptr; // guarded by lock_; the request in flight, owned by the worker
    bool cancelled_ = false;  // guarded by lock_
};

// GET base + path. Every step has a time-out of a few seconds, so a dead or stalling
// server costs bounded time before the next one is tried; canceller, when given, ends it
// sooner.
directory_reply directory_get(const std::string &base, const std::string &path,
                              const directory_connection &connection,
                              request_canceller *canceller = nullptr);

// getaddrinfo and getnameinfo.
directory_name_lookup system_name_lookup();

// What the settings in stations.ini ask for; reads the file, so the window's thread calls it.
directory_connection directory_connection_from_settings();
