#!/usr/bin/env python3
"""HLS stations for the library's tests, made of ffmpeg's HLS output.

At start-up ffmpeg encodes a few seconds of sine tone once per kind (2 s segments); the
server then serves them as live stations (a rolling window that advances with the clock,
looping over the segments) and as VOD playlists. It prints one JSON line {"port": N} and
serves until its standard input closes.

Kinds (tone, bitrate): ts128 and ts64 are AAC in MPEG-TS carrying timed ID3 titles (880
and 440 Hz), adts is packed ADTS with an ID3 tag per segment (880 Hz), fmp4 is fragmented
MP4 (880 Hz), aes is MPEG-TS encrypted with AES-128 (880 Hz), mp3 is packed MP3 with an ID3
tag per segment (880 Hz).

Paths:
  /<kind>/live.m3u8, /<kind>/vod.m3u8    the media playlists
  /<kind>/seg/<sequence>.<ext>           a segment (file sequence % count)
  /<kind>/<init or key file>             what the playlists name
  /master.m3u8                           64k, 128k, a video and a 500k variant
  /master-dead.m3u8                      its best variant's playlist answers 404
  /master-ec3.m3u8                       its best variant declares E-AC-3 (but serves ts64);
                                         the next is fmp4
  /master-noise.m3u8                     its best variant declares no codecs and its
                                         segments (/noise/<sequence>.bin) are not audio;
                                         the next is ts128
  /frozen.m3u8                           a live playlist that never advances
  /gap.m3u8                              a live playlist that moves 8 segments per reload
  /vod-404.m3u8, /vod-stall.m3u8,        segment 1 answers 404 / sends half and stalls /
  /vod-trickle.m3u8                      trickles (a few bytes twice a second)
  /live-trickle.m3u8                     a live playlist whose reloads trickle
  /moved/<playlist path>                 redirects to the playlist (segments are not there)
A segment's titles: TPE1 "Artist", TIT2 "Song <sequence // 2>".
  /songs/vod.m3u8                        six segments, three songs of two segments each
                                         whose tones alternate (ts128's 880 Hz for even
                                         songs, ts64's 440 Hz for odd ones), each title
                                         at its song's first segment

Beside them one SHOUTcast-style station, /shoutcast: "ICY 200 OK", an MP3 tone (880 Hz)
with ICY metadata every 8192 bytes, its name and title in Windows-1252 as older stations
send them; a 64 KiB burst, then 16 KB/s.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SEGMENT_SECONDS = 2
WINDOW = 6
FIRST_LIVE_SEQUENCE = 10
STALL_SECONDS = 30
TRICKLE_BYTES = 4
KEY = bytes(range(16))
KINDS = {
    "ts128": (880, "128k", "ts"),
    "ts64": (440, "64k", "ts"),
    "adts": (880, "128k", "aac"),
    "fmp4": (880, "128k", "m4s"),
    "aes": (880, "128k", "ts"),
    "mp3": (880, "128k", "mp3"),
}
ID3_PID = 0x0102
SHOUTCAST_TITLE = "Caf\u00e9 del Mar - D\u00e9j\u00e0 vu"
SHOUTCAST_METAINT = 8192
SHOUTCAST_SECONDS = 120
SONGS = 3
# metadata_descriptor: the track carries ID3 (format identifier "ID3 "), as HLS declares it.
ID3_DESCRIPTOR = b"\x26\x0d\xff\xffID3 \xffID3 \x00\x0f"


def syncsafe(value):
    return bytes([(value >> 21) & 0x7F, (value >> 14) & 0x7F, (value >> 7) & 0x7F, value & 0x7F])


def id3_tag(sequence):
    frames = b""
    for name, text in ((b"TPE1", "Artist"), (b"TIT2", "Song %d" % (sequence // 2))):
        body = b"\x03" + text.encode("utf-8")
        frames += name + syncsafe(len(body)) + b"\0\0" + body
    return b"ID3\x04\x00\x00" + syncsafe(len(frames)) + frames


def crc32_mpeg(data):
    crc = 0xFFFFFFFF
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def packet(pid, payload, unit_start, counter):
    """One TS packet; payloads shorter than 184 bytes are padded with adaptation stuffing."""
    head = bytes([0x47, (0x40 if unit_start else 0) | pid >> 8, pid & 0xFF])
    if len(payload) >= 184:
        return head + bytes([0x10 | counter]) + payload[:184]
    stuffing = 183 - len(payload)
    adaptation = bytes([stuffing]) + (b"\x00" + b"\xff" * (stuffing - 1) if stuffing else b"")
    return head + bytes([0x30 | counter]) + adaptation + payload


def with_timed_id3(segment, sequence):
    """Declares an ID3 track in the PMT and puts the segment's title tag on it."""
    out = bytearray()
    pmt_pid = None
    for at in range(0, len(segment) - 187, 188):
        data = segment[at:at + 188]
        pid = (data[1] & 0x1F) << 8 | data[2]
        unit_start = data[1] & 0x40
        if pid == 0 and unit_start:
            section = data[5 + data[4]:]
            pmt_pid = (section[10] & 0x1F) << 8 | section[11]
        if pid == pmt_pid and unit_start:
            section = data[5 + data[4]:]
            length = 3 + ((section[1] & 0x0F) << 8 | section[2])
            body = bytearray(section[:length - 4]) + bytes([0x15, 0xE0 | ID3_PID >> 8,
                                                            ID3_PID & 0xFF, 0xF0,
                                                            len(ID3_DESCRIPTOR)]) + ID3_DESCRIPTOR
            new_length = len(body) + 4 - 3
            body[1] = (body[1] & 0xF0) | new_length >> 8
            body[2] = new_length & 0xFF
            body += crc32_mpeg(body).to_bytes(4, "big")
            out += packet(pid, b"\x00" + bytes(body) + b"\xff" * (183 - len(body)), True,
                          data[3] & 0x0F)[:188]
            tag = id3_tag(sequence)
            pes = b"\x00\x00\x01\xbd" + (len(tag) + 8).to_bytes(2, "big") + b"\x84\x80\x05" + \
                b"\x21\x00\x01\x00\x01" + tag
            out += packet(ID3_PID, pes, True, sequence & 0x0F)
            continue
        out += data
    return bytes(out)


def generate(folder):
    """Encodes each kind once; returns {kind: {"segments": [(file, seconds)], "extra": lines}}."""
    kinds = {}
    for kind, (frequency, bitrate, extension) in KINDS.items():
        source = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                  "sine=frequency=%d:sample_rate=44100:duration=8" % frequency, "-ac", "2",
                  "-c:a", "libmp3lame" if extension == "mp3" else "aac", "-b:a", bitrate]
        playlist = os.path.join(folder, kind + ".m3u8")
        names = os.path.join(folder, kind + "_%d." + extension)
        if extension in ("aac", "mp3"):
            output = ["-f", "segment", "-segment_time", str(SEGMENT_SECONDS), "-segment_format",
                      "adts" if extension == "aac" else "mp3", "-segment_list", playlist,
                      "-segment_list_type", "m3u8", names]
        else:
            output = ["-f", "hls", "-hls_time", str(SEGMENT_SECONDS), "-hls_playlist_type", "vod",
                      "-hls_segment_filename", names]
            if extension == "m4s":
                output += ["-hls_segment_type", "fmp4", "-hls_fmp4_init_filename",
                           kind + "_init.mp4"]
            if kind == "aes":
                with open(os.path.join(folder, "aes_key.bin"), "wb") as key_file:
                    key_file.write(KEY)
                info = os.path.join(folder, "key.info")
                with open(info, "w") as info_file:
                    info_file.write("aes_key.bin\n%s\n0f0e0d0c0b0a09080706050403020100\n" %
                                    os.path.join(folder, "aes_key.bin"))
                output += ["-hls_key_info_file", info]
            output.append(playlist)
        subprocess.run(source + output, check=True, cwd=folder)
        segments, extra, seconds = [], [], 0.0
        with open(playlist) as text:
            for line in text.read().splitlines():
                if line.startswith("#EXTINF:"):
                    seconds = float(line[8:].split(",")[0])
                elif line.startswith("#EXT-X-KEY") or line.startswith("#EXT-X-MAP"):
                    extra.append(line)
                elif line and not line.startswith("#") and seconds > 0.5:
                    segments.append((os.path.join(folder, line), seconds))
        kinds[kind] = {"segments": segments, "extra": extra, "extension": extension}
    return kinds


class Stations:
    def __init__(self, folder):
        self.folder = folder
        self.kinds = generate(folder)
        self.started = time.monotonic()
        self.frozen_at = self.live_edge()
        mp3 = os.path.join(folder, "shoutcast.mp3")
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "sine=frequency=880:sample_rate=44100:duration=10", "-ac", "2", "-c:a",
                        "libmp3lame", "-b:a", "128k", "-id3v2_version", "0", "-write_xing", "0",
                        mp3], check=True)
        with open(mp3, "rb") as data:
            self.shoutcast_audio = data.read()
        self.lock = threading.Lock()  # guards gap_reloads and trickle_reloads
        self.gap_reloads = 0
        self.trickle_reloads = 0

    def live_edge(self):
        return FIRST_LIVE_SEQUENCE + int((time.monotonic() - self.started) / SEGMENT_SECONDS)

    def playlist(self, kind, first, last, ended, segment_path=None):
        info = self.kinds[kind]
        lines = ["#EXTM3U", "#EXT-X-VERSION:7", "#EXT-X-TARGETDURATION:%d" % SEGMENT_SECONDS,
                 "#EXT-X-MEDIA-SEQUENCE:%d" % first] + info["extra"]
        for sequence in range(first, last + 1):
            seconds = info["segments"][sequence % len(info["segments"])][1]
            path = segment_path(sequence) if segment_path else None
            lines += ["#EXTINF:%.3f," % seconds,
                      path or "seg/%d.%s" % (sequence, info["extension"])]
        if ended:
            lines.append("#EXT-X-ENDLIST")
        return ("\n".join(lines) + "\n").encode()

    def live(self, kind, edge=None, segment_path=None):
        edge = self.live_edge() if edge is None else edge
        return self.playlist(kind, edge - WINDOW + 1, edge, False, segment_path)

    def segment(self, kind, sequence):
        info = self.kinds[kind]
        with open(info["segments"][sequence % len(info["segments"])][0], "rb") as data:
            body = data.read()
        if kind in ("adts", "mp3"):
            return id3_tag(sequence) + body
        if kind in ("ts128", "ts64"):
            return with_timed_id3(body, sequence)
        return body


MASTER = """#EXTM3U
#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS="mp4a.40.2"
%(low)s
#EXT-X-STREAM-INF:BANDWIDTH=200000,CODECS="avc1.4d401e,mp4a.40.2",RESOLUTION=640x360
ts64/live.m3u8
#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS="mp4a.40.2"
%(best)s
#EXT-X-STREAM-INF:BANDWIDTH=500000,CODECS="mp4a.40.2"
ts64/live.m3u8
"""

# The decoder cannot play its best variant; the 128k one after it plays 880 Hz.
UNDECODABLE_MASTER = """#EXTM3U
#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS="mp4a.40.2"
ts64/live.m3u8
#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS="mp4a.40.2"
%(next)s
#EXT-X-STREAM-INF:BANDWIDTH=256000%(best)s
"""
UNDECODABLE_BEST = {
    "ec3": ('fmp4/live.m3u8', ',CODECS="ec-3"\nts64/live.m3u8'),
    "noise": ('ts128/live.m3u8', "\nnoise/live.m3u8"),
}
NOISE = b"This segment holds no audio.\n" * 2048


def meta_block(text):
    data = text.encode("cp1252")
    blocks = (len(data) + 15) // 16
    return bytes([blocks]) + data + b"\0" * (blocks * 16 - len(data))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def answer(self, body, content_type, extra=None):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in (extra or {}).items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def trickle(self, body, content_type):
        """Sends body a few bytes twice a second: never a stall, yet far slower than its
        media plays."""
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        for start in range(0, len(body), TRICKLE_BYTES):
            self.wfile.write(body[start:start + TRICKLE_BYTES])
            self.wfile.flush()
            time.sleep(0.5)

    def shoutcast(self, audio):
        self.wfile.write(("ICY 200 OK\r\nicy-name:Radio Caf\u00e9\r\ncontent-type:audio/mpeg\r\n"
                          "icy-br:128\r\nicy-metaint:%d\r\n\r\n" % SHOUTCAST_METAINT).encode("cp1252"))
        start, sent, meta = time.monotonic(), 0, meta_block("StreamTitle='%s';" % SHOUTCAST_TITLE)
        while time.monotonic() - start < SHOUTCAST_SECONDS:
            at = sent % len(audio)
            block = (audio[at:] + audio)[:SHOUTCAST_METAINT]
            self.wfile.write(block + meta)
            meta = b"\0"  # unchanged title
            sent += len(block)
            time.sleep(max(0.0, start + max(0, sent - 65536) / 16000 - time.monotonic()))

    def do_GET(self):
        stations = self.server.stations
        path = self.path.split("?")[0]
        media = {"X-Brevora-Playlist": "media"}
        mpegurl = "application/vnd.apple.mpegurl"
        try:
            if path.startswith("/moved/") and path.endswith(".m3u8"):
                self.send_response(302)
                self.send_header("Location", path[len("/moved"):])
                self.end_headers()
                return
            if path in ("/master.m3u8", "/master-dead.m3u8"):
                best = "dead/live.m3u8" if "dead" in path else "ts128/live.m3u8"
                body = (MASTER % {"low": "ts64/live.m3u8", "best": best}).encode()
                return self.answer(body, mpegurl, {"X-Brevora-Playlist": "master"})
            match = re.fullmatch(r"/master-(ec3|noise)\.m3u8", path)
            if match:
                following, best = UNDECODABLE_BEST[match.group(1)]
                body = (UNDECODABLE_MASTER % {"next": following, "best": best}).encode()
                return self.answer(body, mpegurl, {"X-Brevora-Playlist": "master"})
            if path == "/noise/live.m3u8":
                return self.answer(stations.live("ts128", segment_path=lambda sequence:
                                                 "%d.bin" % sequence), mpegurl, media)
            if re.fullmatch(r"/noise/\d+\.bin", path):
                return self.answer(NOISE, "video/mp2t")
            if path == "/shoutcast":
                return self.shoutcast(stations.shoutcast_audio)
            if path == "/gap.m3u8":
                with stations.lock:
                    stations.gap_reloads += 1
                    edge = FIRST_LIVE_SEQUENCE + 8 * stations.gap_reloads
                return self.answer(stations.live("ts128", edge, lambda sequence:
                                                 "ts128/seg/%d.ts" % sequence), mpegurl, media)
            if path == "/frozen.m3u8":
                return self.answer(stations.live(
                    "ts128", stations.frozen_at, lambda sequence: "ts128/seg/%d.ts" % sequence), mpegurl, media)
            match = re.fullmatch(r"/vod-(404|stall|trickle)\.m3u8", path)
            if match:
                fault = match.group(1)
                body = stations.playlist("ts128", 0, 3, True, lambda sequence: (
                    "%s/%d.ts" % (fault, sequence) if sequence == 1 else "ts128/seg/%d.ts" % sequence))
                return self.answer(body, mpegurl, media)
            if path == "/stall/1.ts":
                body = stations.segment("ts128", 1)
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body[:len(body) // 2])
                self.wfile.flush()
                time.sleep(STALL_SECONDS)
                return
            if path == "/trickle/1.ts":
                return self.trickle(stations.segment("ts128", 1), "video/mp2t")
            if path == "/live-trickle.m3u8":
                with stations.lock:
                    stations.trickle_reloads += 1
                    reload = stations.trickle_reloads > 1
                body = stations.live("ts128", stations.frozen_at,
                                     lambda sequence: "ts128/seg/%d.ts" % sequence)
                if reload:
                    return self.trickle(body, mpegurl)
                return self.answer(body, mpegurl, media)
            if path == "/songs/vod.m3u8":
                body = stations.playlist("ts128", 0, 2 * SONGS - 1, True,
                                         lambda sequence: "seg/%d.ts" % sequence)
                return self.answer(body, mpegurl, media)
            match = re.fullmatch(r"/songs/seg/(\d+)\.ts", path)
            if match:
                sequence = int(match.group(1))
                kind = "ts64" if sequence // 2 % 2 else "ts128"
                return self.answer(stations.segment(kind, sequence), "video/mp2t")
            match = re.fullmatch(r"/(\w+)/(live|vod)\.m3u8", path)
            if match and match.group(1) in stations.kinds:
                kind = match.group(1)
                count = len(stations.kinds[kind]["segments"])
                body = stations.live(kind) if match.group(2) == "live" else \
                    stations.playlist(kind, 0, count - 1, True)
                return self.answer(body, mpegurl, media)
            match = re.fullmatch(r"/(\w+)/seg/(\d+)\.\w+", path)
            if match and match.group(1) in stations.kinds:
                return self.answer(stations.segment(match.group(1), int(match.group(2))),
                                   "video/mp2t")
            match = re.fullmatch(r"/(\w+)/([\w.]+)", path)
            if match and match.group(1) in stations.kinds:
                name = os.path.join(stations.folder, match.group(2))
                if os.path.isfile(name) and not name.endswith(".m3u8"):
                    with open(name, "rb") as data:
                        return self.answer(data.read(), "application/octet-stream")
            self.send_error(404)
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    folder = tempfile.mkdtemp(prefix="brevora-hls-")
    try:
        server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        server.daemon_threads = True
        server.stations = Stations(folder)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        print(json.dumps({"port": server.server_address[1]}), flush=True)
        sys.stdin.read()
        server.shutdown()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
