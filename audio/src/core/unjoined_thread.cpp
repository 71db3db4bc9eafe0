#include "unjoined_thread.h"

#include <memory>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include <process.h>
#endif

namespace audio {

#ifdef _WIN32
namespace {

unsigned __stdcall run_owned_work(void *argument) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()> *>(argument));
    (*work)();
    return 0;
}

} // namespace
#endif

void start_unjoined_thread(std::function<void()> work) {
#ifdef _WIN32
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const uintptr_t thread = _beginthreadex(nullptr, 0, run_owned_work, owned.get(), 0, nullptr);
    if (thread == 0)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    owned.release(); // the thread owns it now
    CloseHandle(reinterpret_cast<HANDLE>(thread));
#else
    std::thread(std::move(work)).detach();
#endif
}

} // namespace audio
