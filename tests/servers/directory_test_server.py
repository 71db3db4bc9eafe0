#!/usr/bin/env python3
"""Local stand-in for the public station directory, for the editor's tests under Wine.

Prints one JSON line with its port ({"http": N}) and serves until its standard input closes.
It also acts as its own HTTP proxy: a request for a whole URL is answered as if it had been
forwarded here, whatever host the URL names.
Answers look like the directory's recorded answers. The search's "name" parameter picks
the behaviour (see SEARCHES); every request is appended to the log file given with --log
as one JSON line (path, query, User-Agent), so a test can check what the editor asked.
With --stream URL the "jazz" stations' resolved address is that stream (a local Icecast),
so that the stations found can be played.
"""
import argparse
import json
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit, parse_qs

SLOW_SECONDS = 30
STREAM = [None]  # --stream
HUGE_BYTES = 6 * 1024 * 1024
CODECS = ["MP3", "AAC", "AAC+", "OGG", "FLAC"]
COUNTRIES = [("DE", "Germany"), ("GB", "The United Kingdom"), ("FR", "France")]


def station(number, name, url, scenario=0, **fields):
    """The number-th station of a scenario; its uuid tells both, for the click log."""
    code, country = COUNTRIES[number % len(COUNTRIES)]
    entry = {
        "changeuuid": "c0ffee00-0000-4000-8000-%04d%08d" % (scenario, number),
        "stationuuid": "5ca1ab1e-0000-4000-8000-%04d%08d" % (scenario, number),
        "name": name, "url": url, "url_resolved": url, "homepage": "", "favicon": "",
        "tags": "jazz,smooth", "country": country, "countrycode": code, "language": "",
        "votes": 1000 - number, "codec": CODECS[number % len(CODECS)],
        "bitrate": [128, 64, 192, 96, 0][number % 5], "hls": 0, "lastcheckok": 1,
        "clickcount": 5000 - number,
    }
    entry.update(fields)
    return entry


def numbered(word, count, origin, scenario):
    return [station(n, "%s %d" % (word, n + 1), "%s/stream/%s-%d" % (origin, word.lower(), n + 1),
                    scenario) for n in range(count)]


def playable(stations):
    if STREAM[0]:
        for entry in stations:
            entry["url_resolved"] = STREAM[0]
    return stations


def fitting(origin):
    return [
        station(0, "Caf\u00e9 \u00dcml\u00e4ut \u6771\u4eac \u20ac", origin + "/stream/cafe", 3),
        station(1, "Too long an address", origin + "/stream/" + "x" * 250, 3),
        station(2, "\u00e9" * 300, origin + "/stream/long-name", 3),
        station(3, "Entered only", origin + "/listen.pls", 3, url_resolved=""),
    ]


# name parameter -> (body maker(origin, query), seconds to wait first)
SEARCHES = {
    "jazz": lambda origin, query: json.dumps(
        playable(numbered("Jazz", 120, origin, 1))[:int(query.get("limit", ["100000"])[0])]),
    "overlimit": lambda origin, query: json.dumps(numbered("Many", 150, origin, 2)),
    "malformed": lambda origin, query: "<html><body>502 Bad Gateway</body></html>",
    "nothing": lambda origin, query: "[]",
    "fit": lambda origin, query: json.dumps(fitting(origin)),
    "huge": lambda origin, query: "[" + " " * HUGE_BYTES + "]",
}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def record(self, parts, query):
        # A request line with a whole URL came through a proxy: this server is one too.
        entry = {"path": parts.path, "query": {k: v[0] for k, v in query.items()},
                 "user_agent": self.headers.get("User-Agent", ""),
                 "via_proxy": bool(parts.scheme)}
        with self.server.log_lock, open(self.server.log_path, "a") as log:
            log.write(json.dumps(entry) + "\n")

    def answer(self, body, status=200):
        data = body.encode()
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        parts = urlsplit(self.path)
        query = parse_qs(parts.query)
        self.record(parts, query)
        origin = "http://127.0.0.1:%d" % self.server.server_port
        if parts.path.startswith("/json/url/"):
            self.answer(json.dumps({"ok": "true", "message": "retrieved station url",
                                    "stationuuid": parts.path[len("/json/url/"):]}))
            return
        if parts.path != "/json/stations/search":
            self.answer("not found", 404)
            return
        name = query.get("name", [""])[0]
        if name == "slow":
            self.server.stopping.wait(SLOW_SECONDS)
            self.answer("[]")
            return
        make = SEARCHES.get(name)
        self.answer(make(origin, query) if make else json.dumps(
            [station(0, "Echo " + name, origin + "/stream/echo")]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--stream")
    arguments = parser.parse_args()
    STREAM[0] = arguments.stream
    open(arguments.log, "w").close()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.log_path = arguments.log
    server.log_lock = threading.Lock()
    server.stopping = threading.Event()
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(json.dumps({"http": server.server_port}), flush=True)
    sys.stdin.read()  # until the test closes the pipe
    server.stopping.set()
    server.shutdown()


if __name__ == "__main__":
    main()
