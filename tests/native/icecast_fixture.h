// Starts tests/servers/icecast_fixture.py (a real Icecast with one ffmpeg source per
// format) for a test suite and stops it when destroyed: closing the script's standard
// input stops Icecast and the sources, even if this process dies.
#pragma once

#include "python_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace icecast_test {

class icecast_server {
  public:
    // `mounts`: "--mounts=a,b" for only those (see the script), "--also=a,b" for those beside
    // the ffmpeg ones, or null for the ffmpeg ones.
    explicit icecast_server(const char *mounts = nullptr)
        : process_(BREVORA_TEST_SERVERS_DIR "/icecast_fixture.py", mounts) {
        // {"port": N, "dir": "..."}
        const char *at = std::strstr(process_.first_line().c_str(), "\"port\": ");
        if (at)
            port_ = std::atoi(at + 8);
        const std::string &line = process_.first_line();
        size_t dir = line.find("\"dir\": \"");
        if (dir != std::string::npos)
            dir_ = line.substr(dir + 8, line.find('"', dir + 8) - dir - 8);
    }

    int port() const { return port_; } // 0 when it did not start
    std::string url(const std::string &mount) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + mount;
    }

    // Sets the title through the admin interface; true when Icecast accepted it.
    bool set_title(const std::string &mount, const std::string &url_encoded_song) const {
        return admin("metadata?mount=/" + mount +
                     "&mode=updinfo&charset=UTF-8&song=" + url_encoded_song);
    }
    // Restarts a chained Ogg mount's encoder, which starts a new link titled "Link N+1".
    bool start_next_link(const std::string &mount) const {
        FILE *trigger = std::fopen((dir_ + "/next-link-" + mount).c_str(), "w");
        return trigger && std::fclose(trigger) == 0;
    }
    // Drops the mount's source, as a source that goes off the air.
    bool kill_source(const std::string &mount) const { return admin("killsource?mount=/" + mount); }

  private:
    bool admin(const std::string &path) const {
        std::string command =
            "curl -sf -o /dev/null -u admin:hackme 'http://127.0.0.1:" + std::to_string(port_) +
            "/admin/" + path + "'";
        return std::system(command.c_str()) == 0;
    }

    test_support::python_server process_;
    int port_ = 0;
    std::string dir_;
};

} // namespace icecast_test
