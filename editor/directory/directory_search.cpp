#include "directory_search.h"

#include <process.h>

#include <chrono>

namespace {

struct search_job {
    std::shared_ptr<search_board> board;
    std::shared_ptr<request_canceller> canceller;
    unsigned serial;
    directory_query query;
    std::string setting;
    directory_connection connection;
};

struct click_job {
    std::string server;
    std::vector<std::string> uuids;
    directory_connection connection;
};

// Worker thread: owns the job; the board outlives it through the shared pointer.
unsigned __stdcall search_worker(void *argument) {
    std::unique_ptr<search_job> job(static_cast<search_job *>(argument));
    std::mt19937 random(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::vector<std::string> servers =
        directory_servers(job->setting, system_name_lookup(), random);
    auto outcome = std::make_unique<search_outcome>(
        run_search(servers, job->query, job->connection, *job->canceller));
    std::lock_guard<std::mutex> hold(job->board->lock);
    if (job->board->window && job->board->serial == job->serial) {
        job->board->outcome = std::move(outcome);
        PostMessageW(job->board->window, search_done_message, job->serial, 0);
    }
    return 0;
}

unsigned __stdcall click_worker(void *argument) {
    std::unique_ptr<click_job> job(static_cast<click_job *>(argument));
    for (const std::string &uuid : job->uuids)
        directory_get(job->server, click_path(uuid), job->connection);
    return 0;
}

// A plain CRT thread that nobody waits for: its job is all it touches. Its handle is
// closed at once; false when no thread could be started (the job is then still the caller's).
bool start_worker(unsigned(__stdcall *worker)(void *), void *job) {
    uintptr_t thread = _beginthreadex(nullptr, 0, worker, job, 0, nullptr);
    if (thread == 0)
        return false;
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

} // namespace

search_outcome run_search(const std::vector<std::string> &servers, const directory_query &query,
                          const directory_connection &connection, request_canceller &canceller) {
    search_outcome outcome;
    outcome.tried = servers;
    std::string path = search_path(query);
    // The first bad answer is the one reported when no server gives a good one.
    bool bad_answer = false;
    auto remember_bad_answer = [&](search_result result, const std::string &server) {
        if (bad_answer)
            return;
        outcome.result = result;
        outcome.server = server;
        bad_answer = true;
    };
    for (const std::string &server : servers) {
        if (canceller.is_cancelled())
            break;
        directory_reply reply = directory_get(server, path, connection, &canceller);
        if (!reply.answered) {
            // Over the limit is no server's good answer: remember it, try the next.
            if (reply.too_large)
                remember_bad_answer(search_result::too_large, server);
            continue;
        }
        if (!read_directory_stations(reply.body, directory_limit, outcome.stations)) {
            remember_bad_answer(search_result::not_directory_answer, server);
            continue;
        }
        outcome.server = server;
        outcome.result =
            outcome.stations.empty() ? search_result::nothing_found : search_result::found;
        return outcome;
    }
    return outcome;
}

unsigned start_search(const std::shared_ptr<search_board> &board, const directory_query &query,
                      const std::string &setting, const directory_connection &connection) {
    unsigned serial;
    auto canceller = std::make_shared<request_canceller>();
    {
        std::lock_guard<std::mutex> hold(board->lock);
        serial = ++board->serial;
        board->outcome.reset();
        if (board->running)
            board->running->cancel();
        board->running = canceller;
    }
    auto *job = new search_job{board, canceller, serial, query, setting, connection};
    if (!start_worker(search_worker, job)) {
        // No thread: the outcome is "no server", posted as a worker would.
        delete job;
        std::lock_guard<std::mutex> hold(board->lock);
        board->outcome = std::make_unique<search_outcome>();
        PostMessageW(board->window, search_done_message, serial, 0);
    }
    return serial;
}

std::unique_ptr<search_outcome> take_outcome(search_board &board, unsigned serial) {
    std::lock_guard<std::mutex> hold(board.lock);
    if (serial != board.serial)
        return nullptr;
    return std::move(board.outcome);
}

void close_board(search_board &board) {
    std::lock_guard<std::mutex> hold(board.lock);
    board.window = nullptr;
    board.outcome.reset();
    if (board.running)
        board.running->cancel();
    board.running.reset();
}

void count_clicks(const std::string &server, const std::vector<std::string> &uuids,
                  const directory_connection &connection) {
    std::vector<std::string> usable;
    for (const std::string &uuid : uuids)
        if (!click_path(uuid).empty())
            usable.push_back(uuid);
    if (server.empty() || usable.empty())
        return;
    auto *job = new click_job{server, usable, connection};
    if (!start_worker(click_worker, job))
        delete job;
}
