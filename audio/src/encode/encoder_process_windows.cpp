#include "encoder_process.h"

#include "brevora_audio.h"

#include <algorithm>
#include <vector>

namespace audio {

namespace {

// A second of 16-bit stereo: the writer hands the program large pieces.
constexpr DWORD pipe_size = 176400;

} // namespace

std::unique_ptr<encoder_process> encoder_process::start(const std::string &command_line,
                                                        int *error) {
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, nullptr, pipe_size)) {
        *error = BASS_ERROR_CREATE;
        return nullptr;
    }
    // Only the program's ends are inherited: were the write end, the program would never
    // see the end of its input.
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE discard = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read_end;
    startup.hStdOutput = discard;
    startup.hStdError = discard;
    // CreateProcessA may write into the command line it is given.
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    PROCESS_INFORMATION started_process = {};
    BOOL created = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                  nullptr, nullptr, &startup, &started_process);
    CloseHandle(read_end);
    if (discard != INVALID_HANDLE_VALUE)
        CloseHandle(discard);
    if (!created) {
        CloseHandle(write_end);
        *error = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    CloseHandle(started_process.hThread);
    std::unique_ptr<encoder_process> started(new encoder_process);
    started->process_ = started_process.hProcess;
    started->input_ = write_end;
    return started;
}

encoder_process::~encoder_process() {
    close_input();
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, INFINITE);
    }
    CloseHandle(process_);
}

bool encoder_process::write(const uint8_t *data, size_t size) {
    while (input_ && size > 0) {
        DWORD written = 0;
        DWORD piece = static_cast<DWORD>(std::min<size_t>(size, pipe_size));
        if (!WriteFile(input_, data, piece, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return input_ != nullptr;
}

void encoder_process::close_input() {
    if (input_) {
        CloseHandle(input_);
        input_ = nullptr;
    }
}

bool encoder_process::running() {
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool encoder_process::wait_for_exit(std::chrono::steady_clock::time_point deadline) {
    auto now = std::chrono::steady_clock::now();
    auto left = deadline > now
                    ? std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now)
                    : std::chrono::milliseconds(0);
    DWORD wait_ms = left.count() >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(left.count());
    return WaitForSingleObject(process_, wait_ms) != WAIT_TIMEOUT;
}

void encoder_process::terminate() {
    TerminateProcess(process_, 1);
}

} // namespace audio
