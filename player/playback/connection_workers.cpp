#include "connection_workers.h"

#include <windows.h>

#include <process.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

std::mutex workers_lock; // guards running_workers
std::vector<HANDLE> running_workers;
std::atomic<bool> closing{false};

// Forgets workers that have already ended.
void close_finished_workers() {
    std::lock_guard<std::mutex> guard(workers_lock);
    for (size_t i = 0; i < running_workers.size();) {
        if (WaitForSingleObject(running_workers[i], 0) == WAIT_OBJECT_0) {
            CloseHandle(running_workers[i]);
            running_workers[i] = running_workers.back();
            running_workers.pop_back();
        } else {
            ++i;
        }
    }
}

BOOL CALLBACK close_message_box(HWND window, LPARAM) {
    // A worker's only windows are its error boxes.
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Waits for one worker, carrying out the messages it sends meanwhile.
void wait_answering_messages(HANDLE worker) {
    const DWORD worker_thread = GetThreadId(worker);
    for (;;) {
        EnumThreadWindows(worker_thread, close_message_box, 0);
        DWORD woke = MsgWaitForMultipleObjects(1, &worker, FALSE, 100, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
            return;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

} // namespace

bool start_worker(unsigned(__stdcall *work)(void *), void *argument) {
    if (closing.load())
        return false;
    close_finished_workers();
    uintptr_t thread = _beginthreadex(nullptr, 0, work, argument, 0, nullptr);
    if (thread == 0)
        return false;
    std::lock_guard<std::mutex> guard(workers_lock);
    running_workers.push_back(reinterpret_cast<HANDLE>(thread));
    return true;
}

bool window_closing() {
    return closing.load();
}

void finish_workers() {
    closing.store(true);
    std::vector<HANDLE> workers;
    {
        std::lock_guard<std::mutex> guard(workers_lock);
        workers.swap(running_workers);
    }
    for (HANDLE worker : workers) {
        wait_answering_messages(worker);
        CloseHandle(worker);
    }
}

void reset_workers() {
    closing.store(false);
}
