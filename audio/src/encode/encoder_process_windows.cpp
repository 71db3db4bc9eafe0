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
    // The program gets the read end only: holding the write end as well, it would never see
    // the end of its input.
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE discard = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inheritable, OPEN_EXISTING, 0, nullptr);

    // Only these two go to the program. Without the list it would inherit every inheritable
    // handle of the player, its network sockets too, and hold them open while it runs.
    std::vector<HANDLE> inherited = {read_end};
    if (discard != INVALID_HANDLE_VALUE)
        inherited.push_back(discard);
    SIZE_T list_size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &list_size);
    std::vector<unsigned char> list_storage(list_size);
    auto *attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list_storage.data());
    const bool initialised = InitializeProcThreadAttributeList(attributes, 1, 0, &list_size);
    const bool listed =
        initialised && UpdateProcThreadAttribute(
                           attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                           inherited.size() * sizeof(HANDLE), nullptr, nullptr);

    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = read_end;
    startup.StartupInfo.hStdOutput = discard;
    startup.StartupInfo.hStdError = discard;
    startup.lpAttributeList = listed ? attributes : nullptr;
    // CreateProcessA may write into the command line it is given.
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    PROCESS_INFORMATION started_process = {};
    const DWORD creation = CREATE_NO_WINDOW | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
    BOOL created = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, creation, nullptr,
                                  nullptr, &startup.StartupInfo, &started_process);
    if (initialised)
        DeleteProcThreadAttributeList(attributes);
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
