#include "encoder_process.h"

#include "brevora_audio.h"
#include "command_line.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace audio {

namespace {

// How often wait_for_exit looks at the program.
constexpr auto exit_poll_interval = std::chrono::milliseconds(10);

// A write to a pipe whose reader has gone raises SIGPIPE, which would end the whole
// process. Blocked on the writing thread, the signal stays pending there and the write
// fails with EPIPE instead; the pending signal is then taken back.
void discard_broken_pipe_signal() {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    timespec no_wait{};
    while (sigtimedwait(&pipe_signal, nullptr, &no_wait) == SIGPIPE) {
    }
}

} // namespace

std::unique_ptr<encoder_process> encoder_process::start(const std::string &command_line,
                                                        int *error) {
    std::vector<std::string> arguments = split_command_line(command_line);
    if (arguments.empty()) {
        *error = BASS_ERROR_ILLPARAM;
        return nullptr;
    }
    std::vector<char *> argv;
    for (auto &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
        *error = BASS_ERROR_CREATE;
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // The program starts with no signal blocked, whatever the starting thread blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = -1;
    int spawn_result = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[0]);
    if (spawn_result != 0) {
        close(pipe_ends[1]);
        *error = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    std::unique_ptr<encoder_process> started(new encoder_process);
    started->pid_ = pid;
    started->input_ = pipe_ends[1];
    return started;
}

encoder_process::~encoder_process() {
    close_input();
    if (!wait_for_exit(std::chrono::steady_clock::now())) {
        terminate();
        wait_for_exit(std::chrono::steady_clock::time_point::max());
    }
}

bool encoder_process::write(const uint8_t *data, size_t size) {
    sigset_t pipe_signal, previous;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
    bool written = input_ >= 0;
    while (written && size > 0) {
        ssize_t count = ::write(input_, data, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            written = false;
            if (errno == EPIPE)
                discard_broken_pipe_signal();
            break;
        }
        data += count;
        size -= static_cast<size_t>(count);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return written;
}

void encoder_process::close_input() {
    if (input_ >= 0) {
        close(input_);
        input_ = -1;
    }
}

bool encoder_process::running() {
    std::lock_guard<std::mutex> guard(exit_lock_);
    if (!exited_) {
        int status = 0;
        pid_t result = waitpid(pid_, &status, WNOHANG);
        exited_ = result == pid_ || (result < 0 && errno == ECHILD);
    }
    return !exited_;
}

bool encoder_process::wait_for_exit(std::chrono::steady_clock::time_point deadline) {
    while (running()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(exit_poll_interval);
    }
    return true;
}

void encoder_process::terminate() {
    std::lock_guard<std::mutex> guard(exit_lock_);
    if (!exited_)
        kill(pid_, SIGKILL);
}

} // namespace audio
