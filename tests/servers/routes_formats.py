"""Routes of the scripted radio server for FLAC and Windows Media streams.

Tone files (1000 Hz) are made with ffmpeg on first use and kept for the server's life.
  /flac-icy     native FLAC behind "ICY 200 OK" with ICY metadata (title 'Flac Song')
  /asf          an ASF file (wmav2) over plain HTTP, as video/x-ms-asf
  /wmsp         Windows Media HTTP streaming (routes_wmsp): a program with script commands
                ("Artist - First Song", a URL command, "Artist - Second Song"), then a new
                header: a second program titled "Second Program" by "Second Host"; with
                ?live=1 the connection then stays open instead of ending the stream
  /wmsp-cut     the same, its header answer cut short
  /asx-mms      an ASX whose first entry is dead and whose second is mms://.../wmsp
  /wmsp-songs   Windows Media HTTP streaming of two songs, 6 s of 440 Hz then 3 s of
                880 Hz, each with a title command ("Low", "High") at its first data packet;
                the connection stays open after them
"""
import os
import subprocess
import tempfile
import threading

import routes_wmsp

_files = {}
_files_lock = threading.Lock()


def tone_file(name, arguments, title):
    """The bytes of a 4-second 1000 Hz tone encoded with `arguments`, made once."""
    with _files_lock:
        if name not in _files:
            path = os.path.join(tempfile.gettempdir(), "brevora-routes-%d-%s" % (os.getpid(), name))
            subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                            "sine=frequency=1000:sample_rate=44100:duration=4", "-ac", "2",
                            *arguments, "-metadata", "title=" + title, path], check=True)
            with open(path, "rb") as f:
                _files[name] = f.read()
            os.unlink(path)
        return _files[name]


def wma_file(title="Brevora WMA", author="Brevora Radio"):
    return tone_file(("tone-%s-%s.wma" % (title, author)).replace(" ", "_"),
                     ["-c:a", "wmav2", "-b:a", "128k", "-metadata", "author=" + author,
                      "-metadata", "copyright=Free", "-f", "asf"], title)


def icy_interleave(body, metaint, title):
    """The body with an ICY metadata block after every metaint bytes."""
    text = ("StreamTitle='%s';" % title).encode("latin-1")
    blocks = (len(text) + 15) // 16
    meta = bytes([blocks]) + text + b"\0" * (blocks * 16 - len(text))
    out = bytearray()
    for start in range(0, len(body), metaint):
        piece = body[start:start + metaint]
        out += piece
        if len(piece) == metaint:
            out += meta if start == 0 else b"\0"
    return bytes(out)


def wma_songs_file():
    """An ASF file (wmav2) of 6 s of 440 Hz, then 3 s of 880 Hz, made once."""
    with _files_lock:
        if "songs.wma" not in _files:
            path = os.path.join(tempfile.gettempdir(), "brevora-routes-%d-songs.wma" % os.getpid())
            subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y",
                            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=6",
                            "-f", "lavfi", "-i", "sine=frequency=880:sample_rate=44100:duration=3",
                            "-filter_complex", "[0][1]concat=n=2:v=0:a=1", "-ac", "2",
                            "-c:a", "wmav2", "-b:a", "128k", "-f", "asf", path], check=True)
            with open(path, "rb") as f:
                _files["songs.wma"] = f.read()
            os.unlink(path)
        return _files["songs.wma"]


def route_flac_icy(c):
    body = tone_file("tone.flac", ["-c:a", "flac", "-f", "flac"], "Native")
    c.head("ICY 200 OK", ["icy-name:Flac Radio", "content-type:audio/flac", "icy-metaint:8192"])
    c.send(icy_interleave(body, 8192, "Flac Song"))
    c.hold()


def route_asf(c):
    body = wma_file()
    c.head("HTTP/1.0 200 OK", ["Content-Type: video/x-ms-asf", "Content-Length: %d" % len(body)])
    c.send(body)


def route_wmsp(c):
    commands = {3: ("TEXT", "Artist - First Song"), 5: ("URL", "http://brevora.test/"),
                8: ("title", "Artist - Second Song")}
    routes_wmsp.serve(c, (wma_file(), commands),
                      (wma_file("Second Program", "Second Host"), {}), live=c.param("live") == "1")


def route_wmsp_songs(c):
    songs = wma_songs_file()
    packets = routes_wmsp.split_asf(songs)[2]
    start = routes_wmsp.send_time(packets[0])
    second = next(index for index, packet in enumerate(packets)
                  if routes_wmsp.send_time(packet) - start >= 6000)
    routes_wmsp.serve(c, (songs, {0: ("title", "Low"), second: ("title", "High")}), None,
                      live=True)


def route_wmsp_cut(c):
    routes_wmsp.serve(c, (wma_file(), {}), None, truncated=True)


def route_asx_mms(c):
    port = c.headers["host"].rsplit(":", 1)[1]
    c.head("HTTP/1.0 200 OK", ["Content-Type: video/x-ms-asf"])
    c.send("<asx VERSION=\"3.0\"><ENTRY><Ref href=\"http://127.0.0.1:%d/dead\"/></ENTRY>"
           "<entry><REF HREF=\"MMS://127.0.0.1:%s/wmsp\"/></entry></asx>"
           % (c.server.ports["dead"], port))


ROUTES = {"/flac-icy": route_flac_icy, "/asf": route_asf, "/wmsp": route_wmsp,
          "/wmsp-cut": route_wmsp_cut, "/asx-mms": route_asx_mms,
          "/wmsp-songs": route_wmsp_songs}
