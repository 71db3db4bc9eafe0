// The external encoder program: started from a command line with its standard input on a
// pipe and its output and error streams discarded; no window of its own.
//
// Threads: write() and close_input() from one thread at a time (the encoder's writer);
// running(), wait_for_exit() and terminate() from any thread. Destroying the object ends
// the program if it still runs, and releases every handle.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace audio {

class encoder_process {
  public:
    // Null with *error set (a BASS_ERROR_*) when the program cannot be started.
    static std::unique_ptr<encoder_process> start(const std::string &command_line, int *error);
    ~encoder_process();

    encoder_process(const encoder_process &) = delete;
    encoder_process &operator=(const encoder_process &) = delete;

    // Writes every byte to the program's input; false once the program no longer reads it.
    bool write(const uint8_t *data, size_t size);
    // Ends the program's input; it sees the end of its file and finishes.
    void close_input();

    bool running();
    // True when the program has ended by `deadline`.
    bool wait_for_exit(std::chrono::steady_clock::time_point deadline);
    void terminate();

  private:
    encoder_process() = default;

#ifdef _WIN32
    void *process_ = nullptr; // HANDLE
    void *input_ = nullptr;   // HANDLE, write end of the pipe
#else
    int pid_ = -1;
    int input_ = -1;       // write end of the pipe
    std::mutex exit_lock_; // guards exited_: a reaped pid must never be signalled
    bool exited_ = false;
#endif
};

} // namespace audio
