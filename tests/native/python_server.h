// A Python test server run as a child process: it prints one line of JSON about itself
// (its ports, its folders) and exits when its standard input closes, so it also stops
// when the test process dies.
#pragma once

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support {

class python_server {
  public:
    // `argument`: one command-line argument for the script, or null.
    explicit python_server(const char *script, const char *argument = nullptr) {
        int to_child[2], from_child[2];
        if (pipe(to_child) != 0)
            return;
        if (pipe(from_child) != 0) {
            close(to_child[0]);
            close(to_child[1]);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(to_child[0], 0);
            dup2(from_child[1], 1);
            close(to_child[1]);
            close(from_child[0]);
            execlp("python3", "python3", script, argument, static_cast<char *>(nullptr));
            _exit(127);
        }
        close(to_child[0]);
        close(from_child[1]);
        stdin_ = to_child[1];
        FILE *reply = fdopen(from_child[0], "r");
        char line[1024] = "";
        if (reply && std::fgets(line, sizeof line, reply))
            first_line_ = line;
        if (reply)
            std::fclose(reply);
        else
            close(from_child[0]);
    }

    ~python_server() {
        if (stdin_ >= 0)
            close(stdin_);
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
    }

    python_server(const python_server &) = delete;
    python_server &operator=(const python_server &) = delete;

    // Empty when the server did not start.
    const std::string &first_line() const { return first_line_; }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::string first_line_;
};

} // namespace test_support
