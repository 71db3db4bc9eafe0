// Connection workers: short-lived threads started by the window's thread. They talk to the
// window only through synchronous messages, so the window's thread may wait for them only
// while it keeps answering those messages.
#pragma once

// Window's thread. Starts a worker running work(argument); the worker owns argument.
// Returns false, with nothing started, when the thread cannot be created or the window is
// closing; the caller then still owns argument.
bool start_worker(unsigned(__stdcall *work)(void *), void *argument);

// Any thread. True from the start of finish_workers: a worker then shows no message box and
// leaves the window alone.
bool window_closing();

// The window's thread, once the window has gone and the audio library has been released (so
// no worker is still blocked connecting). Closes any message box a worker shows, answers
// the workers' messages and returns when every worker has ended.
void finish_workers();

// Window's thread, before a new window is created in the same process (tests).
void reset_workers();
