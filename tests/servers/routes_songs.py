"""A station of songs for the recorder's tests: each song a tone of its own pitch, MP3 at
128 kbit/s, 44.1 kHz, with its ICY title sent where the song begins, played in real time.

  /songs   ?seconds=S     each song's length (default 12)
           &start=T       the first T seconds of the first song are skipped (default 0)
           &burst=B       seconds sent at once before real time (default 0)
           &titles=A~~B~~C the songs' titles, UTF-8 (default three "Brevora Songs - ..." ones)
           &set=hostile   instead of titles: an intro, then titles no file name or command
                          line may take as they are (quotes and an option, shell
                          characters, a line break, 300 characters), then the intro again
           the songs repeat in a cycle until the client goes away.

A title reaches the client in the first metadata block at or after its song's first byte:
with 1024-byte blocks at 16000 bytes a second, at most 64 ms late.
"""
import subprocess
import threading
import time

PITCHES = [440, 660, 990, 550, 770, 880]
DEFAULT_TITLES = "Brevora Songs - Low~~Brevora Songs - Middle~~Brevora Songs - High"
METAINT = 1024
BYTES_PER_SECOND = 16000
HOSTILE_TITLES = ["Intro", 'x" --some-option "y', "100% ^ & | < > tune", "line one\nline two",
                  "Long - " + "a" * 293]

_tones = {}
_tones_lock = threading.Lock()


def song(pitch, seconds):
    """`seconds` of a `pitch` Hz tone as MP3, made once by the ffmpeg program."""
    with _tones_lock:
        if (pitch, seconds) not in _tones:
            made = subprocess.run(
                ["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                 "sine=frequency=%d:sample_rate=44100:duration=%g" % (pitch, seconds), "-ac", "2",
                 "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0",
                 "-f", "mp3", "-"], stdout=subprocess.PIPE, check=True)
            _tones[(pitch, seconds)] = made.stdout
        return _tones[(pitch, seconds)]


def meta(text):
    data = ("StreamTitle='%s';" % text).encode("utf-8")[:255 * 16]
    blocks = (len(data) + 15) // 16
    return bytes([blocks]) + data + b"\0" * (blocks * 16 - len(data))


def route_songs(c):
    seconds = float(c.param("seconds", "12"))
    start = int(float(c.param("start", "0")) * BYTES_PER_SECOND)
    burst = int(float(c.param("burst", "0")) * BYTES_PER_SECOND)
    titles = (HOSTILE_TITLES if c.param("set") == "hostile"
              else c.param("titles", DEFAULT_TITLES).split("~~"))
    songs = [song(PITCHES[i % len(PITCHES)], seconds) for i in range(len(titles))]
    c.head("ICY 200 OK", ["icy-name:Brevora Songs", "content-type:audio/mpeg", "icy-br:128",
                          "icy-url:http://songs.test/", "icy-metaint:%d" % METAINT])
    began = time.monotonic()
    sent = 0          # audio bytes sent
    pending = None    # a title waiting for the next metadata block
    index = 0
    offset = start
    try:
        while True:
            body = songs[index % len(songs)]
            if offset == 0 or index == 0:
                pending = titles[index % len(titles)]
            while offset < len(body):
                room = METAINT - sent % METAINT
                piece = body[offset:offset + room]
                due = began + max(0, sent + len(piece) - burst) / BYTES_PER_SECOND
                time.sleep(max(0, due - time.monotonic()))
                c.send(piece)
                sent += len(piece)
                offset += len(piece)
                if sent % METAINT == 0:
                    c.send(meta(pending) if pending is not None else b"\0")
                    pending = None
                if offset >= len(body):
                    break
            index += 1
            offset = 0
    except OSError:
        pass


ROUTES = {"/songs": route_songs}
