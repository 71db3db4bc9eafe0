// Starts tests/servers/icecast_fixture.py (a real Icecast with one ffmpeg source per
// format) for a test suite and stops it when destroyed: closing the script's standard
// input stops Icecast and the sources, even if this process dies.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace icecast_test {

class icecast_server {
  public:
    icecast_server() {
        int to_child[2], from_child[2];
        if (pipe(to_child) != 0 || pipe(from_child) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to_child[0], 0);
            dup2(from_child[1], 1);
            close(to_child[1]);
            close(from_child[0]);
            execlp("python3", "python3", BREVORA_TEST_SERVERS_DIR "/icecast_fixture.py",
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        close(to_child[0]);
        close(from_child[1]);
        stdin_ = to_child[1];
        FILE *reply = fdopen(from_child[0], "r");
        char line[512] = "";
        if (reply && std::fgets(line, sizeof line, reply)) {
            // {"port": N, "dir": "..."}
            const char *at = std::strstr(line, "\"port\": ");
            if (at)
                port_ = std::atoi(at + 8);
        }
        if (reply)
            std::fclose(reply);
    }

    ~icecast_server() {
        if (stdin_ >= 0)
            close(stdin_);
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
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
    // Drops the mount's source, as a source that goes off the air.
    bool kill_source(const std::string &mount) const { return admin("killsource?mount=/" + mount); }

  private:
    bool admin(const std::string &path) const {
        std::string command =
            "curl -sf -o /dev/null -u admin:hackme 'http://127.0.0.1:" + std::to_string(port_) +
            "/admin/" + path + "'";
        return std::system(command.c_str()) == 0;
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
};

} // namespace icecast_test
