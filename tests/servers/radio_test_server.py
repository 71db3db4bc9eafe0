#!/usr/bin/env python3
"""Scripted internet-radio server for the network input's tests.

Starts in milliseconds, prints one JSON line with its ports and the certificate path, and
serves until its standard input closes (so a crashed test leaves nothing behind).

Listeners: plain HTTP, the same behind TLS (a self-signed certificate for "localhost" made
at start-up), an HTTP proxy (absolute-URI requests and CONNECT), the same proxy requiring
credentials "user:secret", and a "dead" port that nothing listens on.

The path picks the behaviour (see ROUTES). Audio bytes follow one pattern, pattern(i) for
the i-th audio byte of a path's whole history, so a test can check exact bytes even across
a reconnect. A query string makes a path distinct without changing its behaviour.
"""
import base64
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
from urllib.parse import urlsplit, parse_qs

from routes_formats import ROUTES as FORMAT_ROUTES
from routes_songs import ROUTES as SONG_ROUTES
from routes_faults import ROUTES as FAULT_ROUTES, listen_with_bad_certificates, make_damaged_audio

HEAD_TIMEOUT = 5
HOLD_SECONDS = 20
AWAIT_SECONDS = 15


def pattern(start, count):
    return bytes((i * 7 + 3) % 251 for i in range(start, start + count))


def meta_block(text):
    data = text.encode("latin-1")
    blocks = (len(data) + 15) // 16
    return bytes([blocks]) + data + b"\0" * (blocks * 16 - len(data))


class Connection:
    def __init__(self, sock, request_line, headers, raw_head, server):
        self.sock = sock
        self.request_line = request_line
        self.headers = headers
        self.raw_head = raw_head
        self.server = server
        parts = request_line.split(" ")
        self.target = parts[1] if len(parts) > 1 else "/"
        split = urlsplit(self.target)
        self.path = split.path
        self.query = parse_qs(split.query)
        self.key = self.target if split.scheme == "" else split.path + "?" + split.query
        self.audio_sent = 0

    def param(self, name, default=None):
        return self.query.get(name, [default])[0]

    def send(self, data):
        if isinstance(data, str):
            data = data.encode("latin-1")
        self.sock.sendall(data)

    def head(self, status, headers, line_end="\r\n"):
        self.send(status + line_end + "".join(h + line_end for h in headers) + line_end)

    def audio(self, count):
        start = self.server.audio_offset(self.key)
        self.send(pattern(start, count))
        self.server.advance_audio(self.key, count)

    def hold(self):
        """Keeps the connection open, silent, until the client goes away."""
        self.sock.settimeout(HOLD_SECONDS)
        try:
            while self.sock.recv(4096):
                pass
        except OSError:
            pass


ICY_HEAD = ["icy-notice1:<BR>This stream requires Winamp<BR>", "icy-name:Test Radio",
            "icy-genre:Test", "content-type:audio/mpeg", "icy-pub:0", "icy-br:128"]


def route_echo(c):
    body = c.raw_head
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/mpeg", "Content-Length: %d" % len(body)])
    c.send(body)


def route_icy(c):
    c.head("ICY 200 OK", ICY_HEAD + ["icy-metaint:16"])
    c.audio(16)
    c.send(meta_block("StreamTitle='One';"))
    c.audio(16)
    c.send(b"\0")
    c.audio(16)
    c.send(meta_block("StreamTitle='One';"))  # unchanged: not a new string
    c.audio(16)
    c.send(meta_block("StreamTitle='Two';StreamUrl='';"))
    c.audio(16)
    c.hold()


def route_metaint(c):
    c.head("ICY 200 OK", ICY_HEAD + ["icy-metaint:" + c.param("value", "")])
    c.audio(64)
    c.hold()


def route_odd_metadata(c):
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/mpeg", "icy-metaint:16"])
    c.audio(16)
    c.send(b"\x01" + b"\0" * 16)  # all padding: no string
    c.audio(16)
    c.send(meta_block("StreamTitle='Caf\xe9 \x93Don't Go\x94';"))  # Windows-1252, a bare '
    c.audio(16)
    c.hold()


def route_cut_metadata(c):
    """First connection: a length byte promising 4080 bytes, then a close after 20 of them.
    Later connections go on with the audio and a whole block."""
    if c.server.hit(c.key) == 1:
        c.head("ICY 200 OK", ICY_HEAD + ["icy-metaint:16"])
        c.audio(16)
        c.send(b"\xff" + b"StreamTitle='Partial")
        return
    c.head("ICY 200 OK", ICY_HEAD + ["icy-metaint:16"])
    c.audio(16)
    c.send(meta_block("StreamTitle='After';"))
    c.audio(16)
    c.hold()


def route_drop(c):
    """A live stream that ends cleanly after some audio, twice; the third answer stays."""
    hit = c.server.hit(c.key)
    c.head("ICY 200 OK", ICY_HEAD + ["icy-metaint:16"])
    c.audio(16)
    c.send(meta_block("StreamTitle='Same';"))
    c.audio(10)
    if hit < 3:
        return
    c.audio(6)
    c.send(meta_block("StreamTitle='New';"))
    c.audio(16)
    c.hold()


def route_chunked(c):
    body = bytearray()
    start = c.server.audio_offset(c.key)
    body += pattern(start, 16) + meta_block("StreamTitle='Chunked';") + pattern(start + 16, 16)
    body += b"\0" + pattern(start + 32, 16)
    c.server.advance_audio(c.key, 48)
    c.head("HTTP/1.1 200 OK", ["Content-Type: audio/mpeg", "Transfer-Encoding: chunked",
                               "icy-metaint:16"])
    sizes = [1, 1, 7, 16, 3]
    position = 0
    index = 0
    while position < len(body):
        size = min(sizes[index % len(sizes)], len(body) - position)
        extension = ";name=value" if index == 2 else ""
        c.send(b"%x%s\r\n" % (size, extension.encode()) + bytes(body[position:position + size]) + b"\r\n")
        position += size
        index += 1
    c.hold()


def route_chunked_bad(c):
    c.head("HTTP/1.1 200 OK", ["Content-Type: audio/mpeg", "Transfer-Encoding: chunked",
                               "Content-Length: 10"])
    c.send(b"4\r\n" + pattern(0, 4) + b"\r\nzz\r\n")
    c.hold()


def route_lf_only(c):
    c.head("HTTP/1.0 200 OK", ["content-type:audio/mpeg", "icy-name:LF Radio",
                               "X-Folded: first", " second"], line_end="\n")
    c.audio(100)
    c.hold()


def route_big_headers(c):
    kib = int(c.param("kib", "40"))
    filler = ["X-Filler-%d: %s" % (i, "a" * 1000) for i in range(kib)]
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/mpeg"] + filler + ["icy-br:64"])
    c.audio(32)
    c.hold()


def route_long_line(c):
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/mpeg", "X-Long: " + "b" * 10000])
    c.audio(32)
    c.hold()


def route_silent(c):
    c.hold()


def route_stall(c):
    """Audio, then silence (or a close with then=close); later connections never answer."""
    if c.server.hit(c.key) == 1:
        c.head("ICY 200 OK", ICY_HEAD)
        c.audio(32)
        if c.param("then") == "close":
            return
    c.hold()


def route_await(c):
    """Answers once `count` requests for `key` have arrived (200), or after AWAIT_SECONDS
    (504): so a test acts while a request is in flight, instead of sleeping."""
    key, count = c.param("key", ""), int(c.param("count", "1"))
    arrived = c.server.await_requests(key, count, AWAIT_SECONDS)
    c.head("HTTP/1.0 200 OK" if arrived else "HTTP/1.0 504 Not Yet",
           ["Content-Type: audio/mpeg", "Content-Length: 0"])


def route_file(c):
    """A finite file: its end is the end, not a drop."""
    c.head("HTTP/1.1 200 OK", ["Content-Type: audio/mpeg", "Content-Length: 40"])
    c.audio(40)
    c.hold()


def route_fake_length(c):
    """Icecast's fake Content-Length on a live stream; the connection then drops."""
    hit = c.server.hit(c.key)
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/mpeg", "icy-name:Live",
                               "Content-Length: 20"])
    c.audio(20 if hit == 1 else 30)
    if hit > 1:
        c.hold()


def route_redirect_chain(c):
    left = int(c.param("n", "0"))
    if left == 0:
        return route_echo(c)
    c.head("HTTP/1.1 302 Found", ["Location: redirect-chain?n=%d" % (left - 1),
                                  "Content-Length: 0"])


def route_redirect_loop(c):
    c.head("HTTP/1.1 301 Moved", ["Location: /redirect-loop-b"])


def route_redirect_loop_b(c):
    c.head("HTTP/1.1 308 Moved", ["Location: http://%s/redirect-loop" % c.headers["host"]])


def route_redirect_no_location(c):
    c.head("HTTP/1.1 302 Found", ["Content-Length: 0"])


def route_redirect_other_host(c):
    port = c.headers["host"].rsplit(":", 1)[1]
    c.head("HTTP/1.1 307 Temporary", ["Location: http://localhost:%s/echo" % port])


def route_redirect_same_host(c):
    c.head("HTTP/1.1 303 See Other", ["Location: /echo?after=redirect"])


def route_auth(c):
    wanted = "Basic " + base64.b64encode(b"u:p@x").decode()
    if c.headers.get("authorization") != wanted:
        c.head("HTTP/1.0 401 Unauthorized", ["WWW-Authenticate: Basic realm=\"Icecast\"",
                                             "Content-Type: text/html"])
        c.send("<html><body>401</body></html>")
        return
    route_echo(c)


def route_not_found(c):
    c.head("HTTP/1.0 404 File Not Found", ["Content-Type: text/html", "Content-Length: 40"])
    c.send(b"<html><body>Mount unavailable</body></html>"[:40])
    c.hold()


def route_icy_error(c):
    c.head("ICY 401 Service Unavailable", ["icy-notice1:<BR>SHOUTcast<BR>"])
    c.send("Service unavailable" + " " * 2000)


def route_html(c):
    c.head("HTTP/1.0 200 OK", ["Content-Type: text/html"])
    c.send("<!DOCTYPE html><html><body>SHOUTcast Administrator</body></html>")


def route_pls_outer(c):
    dead = c.server.ports["dead"]
    body = ("[playlist]\r\nNumberOfEntries=3\r\nFile1=http://127.0.0.1:%d/dead\r\n"
            "Title1=Dead\r\nfile2=/inner.m3u\r\nFILE3=/echo?third\r\nVersion=2\r\n" % dead)
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/x-scpls", "Content-Length: %d" % len(body)])
    c.send(body)


def route_m3u_inner(c):
    body = "#EXTM3U\n#EXTINF:-1,Inner\nicy?from=playlist\n"
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/x-mpegurl"])
    c.send(body)


def route_sniffed_pls(c):
    c.head("HTTP/1.0 200 OK", ["Content-Type: text/plain"])
    c.send("\xef\xbb\xbf\r\n[Playlist]\nFile1=/icy?from=sniffed\n")


def route_asx(c):
    c.head("HTTP/1.0 200 OK", ["Content-Type: video/x-ms-asf"])
    c.send("<ASX version=3><Entry><REF HREF=\"http://127.0.0.1:%d/x\"/>"
           "<ref href=/icy?from=asx></Entry></ASX>" % c.server.ports["dead"])


def route_hls(c):
    c.head("HTTP/1.0 200 OK", ["Content-Type: application/vnd.apple.mpegurl"])
    c.send("#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nsegment1.aac\n")


def route_playlist_loop(c):
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/x-mpegurl"])
    c.send("/playlist-loop.m3u\n")


ROUTES = {
    "/echo": route_echo, "/icy": route_icy, "/metaint": route_metaint,
    "/odd-metadata": route_odd_metadata, "/cut-metadata": route_cut_metadata,
    "/drop": route_drop, "/chunked": route_chunked, "/chunked-bad": route_chunked_bad,
    "/lf-only": route_lf_only, "/big-headers": route_big_headers,
    "/long-line": route_long_line, "/silent": route_silent, "/stall": route_stall,
    "/await": route_await, "/file": route_file, "/fake-length": route_fake_length,
    "/redirect-chain": route_redirect_chain, "/redirect-loop": route_redirect_loop,
    "/redirect-loop-b": route_redirect_loop_b,
    "/redirect-no-location": route_redirect_no_location,
    "/redirect-other-host": route_redirect_other_host,
    "/redirect-same-host": route_redirect_same_host, "/auth": route_auth,
    "/not-found": route_not_found, "/icy-error": route_icy_error, "/html": route_html,
    "/outer.pls": route_pls_outer, "/inner.m3u": route_m3u_inner,
    "/sniffed": route_sniffed_pls, "/asx": route_asx, "/hls.m3u8": route_hls,
    "/playlist-loop.m3u": route_playlist_loop,
}
ROUTES.update(FORMAT_ROUTES)
ROUTES.update(FAULT_ROUTES)
ROUTES.update(SONG_ROUTES)


def read_head(sock):
    sock.settimeout(HEAD_TIMEOUT)
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(1)  # byte by byte: a proxy must not swallow what follows
        if not chunk:
            return None
        data += chunk
        if len(data) > 65536:
            return None
    text = data.decode("latin-1")
    lines = text.split("\r\n")
    headers = {}
    for line in lines[1:]:
        if ":" in line:
            name, value = line.split(":", 1)
            headers[name.strip().lower()] = value.strip()
    return lines[0], headers, data


def relay(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    for s in (source, target):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class Server:
    def __init__(self):
        self.lock = threading.Lock()
        self.arrivals = threading.Condition(self.lock)
        self.requests = {}  # requests received by key, whatever the route does with them
        self.hits = {}
        self.audio = {}
        self.ports = {}

    def hit(self, key):
        with self.lock:
            self.hits[key] = self.hits.get(key, 0) + 1
            return self.hits[key]

    def await_requests(self, key, count, timeout):
        with self.arrivals:
            return self.arrivals.wait_for(lambda: self.requests.get(key, 0) >= count, timeout)

    def audio_offset(self, key):
        with self.lock:
            return self.audio.get(key, 0)

    def advance_audio(self, key, count):
        with self.lock:
            self.audio[key] = self.audio.get(key, 0) + count

    def serve_origin(self, sock):
        head = read_head(sock)
        if head is None:
            return
        connection = Connection(sock, head[0], head[1], head[2], self)
        with self.arrivals:
            self.requests[connection.key] = self.requests.get(connection.key, 0) + 1
            self.arrivals.notify_all()
        handler = ROUTES.get(connection.path)
        if handler is None:
            connection.head("HTTP/1.0 404 Not Found", ["Content-Type: text/plain"])
            return
        handler(connection)

    def serve_proxy(self, sock, credentials):
        head = read_head(sock)
        if head is None:
            return
        request_line, headers, raw = head
        if credentials:
            wanted = "Basic " + base64.b64encode(credentials.encode()).decode()
            if headers.get("proxy-authorization") != wanted:
                sock.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                             b"Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n")
                return
        method, target = request_line.split(" ")[:2]
        if method == "CONNECT":
            host, port = target.rsplit(":", 1)
            upstream = socket.create_connection((host.strip("[]"), int(port)), timeout=5)
            upstream.settimeout(None)
            sock.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        else:
            split = urlsplit(target)
            if not split.scheme:
                sock.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n")
                return
            upstream = socket.create_connection((split.hostname, split.port or 80), timeout=5)
            upstream.settimeout(None)
            upstream.sendall(raw)  # verbatim, so the origin's echo shows what the proxy got
        sock.settimeout(None)
        threading.Thread(target=relay, args=(upstream, sock), daemon=True).start()
        relay(sock, upstream)

    def listen(self, name, serve, tls_context=None):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", 0))
        listener.listen(64)
        self.ports[name] = listener.getsockname()[1]

        def accept_loop():
            while True:
                sock, _ = listener.accept()
                threading.Thread(target=self.handle, args=(sock, serve, tls_context),
                                 daemon=True).start()

        threading.Thread(target=accept_loop, daemon=True).start()

    def handle(self, sock, serve, tls_context):
        try:
            if tls_context is not None:
                sock.settimeout(HEAD_TIMEOUT)
                sock = tls_context.wrap_socket(sock, server_side=True)
            serve(sock)
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            try:
                sock.close()
            except OSError:
                pass


def make_certificate(directory):
    certificate = os.path.join(directory, "localhost.pem")
    key = os.path.join(directory, "localhost.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                    "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                    "-keyout", key, "-out", certificate],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return certificate, key


def main():
    directory = tempfile.mkdtemp(prefix="radio-test-server-")
    certificate, key = make_certificate(directory)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)

    server = Server()
    dead = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    dead.bind(("127.0.0.1", 0))
    server.ports["dead"] = dead.getsockname()[1]
    dead.close()  # nothing listens here now: connecting is refused
    server.listen("http", server.serve_origin)
    server.listen("https", server.serve_origin, context)
    server.listen("proxy", lambda s: server.serve_proxy(s, None))
    server.listen("auth_proxy", lambda s: server.serve_proxy(s, "user:secret"))
    listen_with_bad_certificates(server, directory, certificate, key)
    make_damaged_audio()
    print(json.dumps(dict(server.ports, ca_file=certificate)), flush=True)

    sys.stdin.read()  # until the test closes the pipe
    shutil.rmtree(directory, ignore_errors=True)
    os._exit(0)


if __name__ == "__main__":
    main()
