// Searching the station directory off the window's thread. A search runs on a worker thread
// of its own and leaves its outcome on a board shared with the window, then posts
// search_done_message (window/window_messages.h). Only the newest search's outcome is kept; once
// the window has closed the board, a late outcome is dropped by the worker itself. Clicks are
// counted the same way, without any answer.
#pragma once

#include "directory_client.h"
#include "directory_servers.h"
#include "directory_stations.h"
#include "search_request.h"
#include "window/window_messages.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class search_result { found, nothing_found, not_directory_answer, too_large, no_server };

struct search_outcome {
    search_result result = search_result::no_server;
    std::vector<directory_station> stations;
    std::string server;             // the one that answered, or that gave the bad answer
    std::vector<std::string> tried; // every server asked, in order
};

struct search_board {
    std::mutex lock;
    HWND window = nullptr; // guarded by lock; null once the window closed the board
    unsigned serial = 0;   // guarded by lock; the newest search's
    std::unique_ptr<search_outcome> outcome;    // guarded by lock; the newest search's
    std::shared_ptr<request_canceller> running; // guarded by lock; the newest search's
};

// Window's thread: starts a search that supersedes any running one (whose request ends at
// once); returns its serial.
// setting is [config] "directory".
unsigned start_search(const std::shared_ptr<search_board> &board, const directory_query &query,
                      const std::string &setting, const directory_connection &connection);
// Window's thread, on search_done_message: the outcome of search serial, or null when a
// newer search has started since.
std::unique_ptr<search_outcome> take_outcome(search_board &board, unsigned serial);
// Window's thread, when the window closes: the running search's request ends, and no
// outcome is posted or kept from now on.
void close_board(search_board &board);

// Window's thread: counts one click for each station at server, one after the other on a
// worker of their own; nothing waits for them and their answers are not read.
void count_clicks(const std::string &server, const std::vector<std::string> &uuids,
                  const directory_connection &connection);

// Worker's side, exposed for the tests of the server order: asks each server in turn.
search_outcome run_search(const std::vector<std::string> &servers, const directory_query &query,
                          const directory_connection &connection, request_canceller &canceller);
