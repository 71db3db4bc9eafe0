"""Hostile stations for the fault suite: closes at every phase, stalls, trickles, oversized
heads and metadata, dead playlists, a format change after a reconnect, random bytes, a
damaged page or frame in the middle of each format, and
HTTPS listeners with an expired and a self-signed certificate.

Audio here is real MPEG audio: silent MP3 frames (a header and zero side information, which
a decoder plays as silence), so a row that should play can be told from one that fails.
"""
import os
import random
import ssl
import subprocess
import tempfile
import time

# MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo: 417 bytes a frame, about 26 ms.
FRAME = b"\xff\xfb\x90\x64" + b"\0" * 413
MP3_HEAD = ["Content-Type: audio/mpeg", "icy-name:Fault Radio"]
_aac = []


def frames(count):
    return FRAME * count


def aac_tone():
    """Two seconds of ADTS AAC, made once by the ffmpeg program."""
    if not _aac:
        made = subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                               "sine=frequency=440:duration=2", "-ac", "2", "-c:a", "aac",
                               "-f", "adts", "-"], stdout=subprocess.PIPE, check=True)
        _aac.append(made.stdout)
    return _aac[0]


# Two seconds of 440 Hz, then four of 880 Hz, in each format; damaged at a third of the bytes.
DAMAGED_FORMATS = {
    "vorbis": (["-c:a", "libvorbis", "-b:a", "128k", "-f", "ogg", "-page_duration", "200000"],
               "audio/ogg"),
    "opus": (["-c:a", "libopus", "-b:a", "96k", "-f", "ogg", "-page_duration", "200000"],
             "audio/ogg"),
    "flac": (["-c:a", "flac", "-f", "ogg", "-page_duration", "200000"], "audio/ogg"),
    "mp3": (["-c:a", "libmp3lame", "-b:a", "128k", "-f", "mp3"], "audio/mpeg"),
    "aac": (["-c:a", "aac", "-b:a", "128k", "-f", "adts"], "audio/aac"),
}
_damaged = {}
# Made once per build tree (the tests' working directory) and kept there: encoding while a
# client waits could outlast its time-out.
DAMAGED_FOLDER = os.path.abspath("damaged-audio")


def damaged(name):
    """The format's two tones with garbage over one Ogg page's body (a CRC that no longer
    matches) or over one frame, header included, a third of the way in."""
    kept = os.path.join(DAMAGED_FOLDER, name)
    if name not in _damaged and os.path.exists(kept):
        with open(kept, "rb") as f:
            _damaged[name] = f.read()
    if name not in _damaged:
        encoder, _ = DAMAGED_FORMATS[name]
        tones = "sin(2*PI*if(lt(t,2),440,880)*t)"
        made = subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                               "aevalsrc='%s':s=44100:d=6" % tones, "-ac", "2", *encoder, "-"],
                              stdout=subprocess.PIPE, check=True).stdout
        data = bytearray(made)
        ogg = data.startswith(b"OggS")
        start = data.find(b"OggS" if ogg else b"\xff", len(data) // 3)
        if ogg:
            start += 27 + data[start + 26] + 16  # into the page's body
        data[start:start + 200] = random.Random(3).randbytes(200)
        _damaged[name] = bytes(data)
        os.makedirs(DAMAGED_FOLDER, exist_ok=True)
        with tempfile.NamedTemporaryFile(dir=DAMAGED_FOLDER, delete=False) as f:
            f.write(_damaged[name])
        os.replace(f.name, kept)  # whole or not at all, as test processes run side by side
    return _damaged[name]


def make_damaged_audio():
    """Called before the server announces itself, so no request waits for an encoder."""
    for name in DAMAGED_FORMATS:
        damaged(name)


def route_damaged(c):
    """One damaged page or frame in the middle of a stream (format=vorbis|opus|flac|mp3|aac);
    what follows it is sound."""
    name = c.param("format")
    c.head("HTTP/1.0 200 OK", ["Content-Type: " + DAMAGED_FORMATS[name][1],
                               "icy-name:Fault Radio"])
    c.send(damaged(name))
    c.hold()


def send_paced(c, data, seconds):
    """Sends data spread over `seconds`, as a live encoder would."""
    step = max(1, len(data) // 20)
    for start in range(0, len(data), step):
        c.send(data[start:start + step])
        time.sleep(seconds / 20)


def healthy(c):
    """What a station sends when it is well: frames, an empty metadata block after each."""
    c.head("ICY 200 OK", MP3_HEAD + ["icy-metaint:%d" % len(FRAME)])
    c.send((FRAME + b"\0") * 200)
    c.hold()


def route_close(c):
    """The first connection closes at a phase: before the status line, inside the headers,
    inside a metadata block, inside an audio frame or inside the first one, before the format
    can be told (at=status|headers|metadata|frame|first-frame); later ones are healthy."""
    if c.server.hit(c.key) > 1:
        return healthy(c)
    at = c.param("at")
    if at == "status":
        return
    if at == "headers":
        c.send("HTTP/1.0 200 OK\r\nContent-Type: audio/mp")
        return
    if at == "first-frame":
        return send_frame_start(c)
    c.head("ICY 200 OK", MP3_HEAD + ["icy-metaint:%d" % len(FRAME)])
    whole = (FRAME + b"\0") * 20
    c.send(whole + FRAME + (b"\x02StreamTitle='Cu" if at == "metadata" else b"\0" + FRAME[:100]))


def send_frame_start(c):
    """An MP3 station's head and the first 200 bytes of a frame: too few to tell the format."""
    c.head("ICY 200 OK", MP3_HEAD)
    c.send(FRAME[:200])


def route_mp3_stall(c):
    """The start of one MP3 frame, then silence, on every connection."""
    send_frame_start(c)
    c.hold()


def route_head_stall(c):
    c.head("HTTP/1.0 200 OK", MP3_HEAD)
    c.hold()


def route_trickle(c):
    """One byte a second, for ever."""
    c.head("HTTP/1.0 200 OK", MP3_HEAD)
    for byte in frames(10):
        c.send(bytes([byte]))
        time.sleep(1)


def route_long_header(c):
    kib = int(c.param("kib", "64"))
    c.head("HTTP/1.0 200 OK", MP3_HEAD + ["X-Long: " + "b" * (kib * 1024)])
    c.send(frames(20))
    c.hold()


def route_mp3_metaint(c):
    """Plays silent frames with the icy-metaint given; metadata only if it is usable."""
    value = c.param("value", "")
    c.head("ICY 200 OK", MP3_HEAD + ["icy-metaint:" + value])
    c.send(frames(200))
    c.hold()


def route_meta_past_end(c):
    """A length byte promising 4080 bytes of metadata, then a close after 20 of them."""
    c.head("ICY 200 OK", MP3_HEAD + ["icy-metaint:%d" % (len(FRAME) * 40)])
    c.send(frames(40) + b"\xffStreamTitle='Past th")


def route_endless_meta(c):
    """Every block as long as allowed (4080 bytes), with no NUL and no end of its text."""
    interval = len(FRAME) * 10
    c.head("ICY 200 OK", MP3_HEAD + ["icy-metaint:%d" % interval])
    for _ in range(20):
        c.send(frames(10) + b"\xff" + b"StreamTitle='" + b"A" * 4067)
    c.hold()


def route_dead_playlist(c):
    """An M3U of 10,000 entries (or entries=N) on a port nothing listens on."""
    entry = "http://127.0.0.1:%d/\n" % c.server.ports["dead"]
    body = "#EXTM3U\n" + entry * int(c.param("entries", "10000"))
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/x-mpegurl", "Content-Length: %d" % len(body)])
    c.send(body)


def route_random(c):
    c.head("HTTP/1.0 200 OK", MP3_HEAD)
    c.send(random.Random(7).randbytes(80 * 1024))
    c.hold()


def route_mp3_then_aac(c):
    """A third of a second of MP3, a drop, then the station comes back as AAC, with the
    burst a server sends a new listener (two seconds of tone in one)."""
    if c.server.hit(c.key) == 1:
        c.head("ICY 200 OK", MP3_HEAD)
        send_paced(c, frames(20), 0.3)
        return
    c.head("ICY 200 OK", ["Content-Type: audio/aac", "icy-name:Fault Radio"])
    send_paced(c, aac_tone(), 1)
    c.hold()


def route_live(c):
    """A station that plays in real time, with a new title every second, until the client
    goes away (for the soak)."""
    c.head("ICY 200 OK", MP3_HEAD + ["icy-metaint:%d" % (len(FRAME) * 38)])
    second = 0
    while True:
        second += 1
        title = "StreamTitle='Soak - song %d';" % second
        blocks = (len(title) + 15) // 16
        send_paced(c, frames(38), 1)
        c.send(bytes([blocks]) + title.encode() + b"\0" * (blocks * 16 - len(title)))


def route_mp3(c):
    """A healthy station, for the HTTPS rows: silent frames, then silence."""
    c.head("HTTP/1.0 200 OK", MP3_HEAD)
    c.send(frames(100))
    c.hold()


def route_query_redirect(c):
    """A relative Location whose query holds an address, as ad-insertion CDNs send."""
    c.head("HTTP/1.0 302 Found", ["Location: /mp3?from=http://cdn.example/a",
                                  "Content-Length: 0"])


def route_query_playlist(c):
    """An M3U whose one entry is relative, with an address in its query."""
    body = "#EXTM3U\nmp3?ref=http://site.example/\n"
    c.head("HTTP/1.0 200 OK", ["Content-Type: audio/x-mpegurl", "Content-Length: %d" % len(body)])
    c.send(body)


def asx_with_entry_ref(c, target):
    body = '<ASX version="3.0"><ENTRYREF HREF="%s"/></ASX>' % target
    c.head("HTTP/1.0 200 OK", ["Content-Type: video/x-ms-asx", "Content-Length: %d" % len(body)])
    c.send(body)


def route_entry_ref_start(c):
    """An ASX whose ENTRYREF leads to a Windows Media hop (/wms-hop)."""
    asx_with_entry_ref(c, "/wms-hop")


def route_wms_hop(c):
    """Says "Windows Media" to a plain request; to the Windows Media request that follows, an
    ASX with another ENTRYREF, which a list reached through one may not follow."""
    if not c.headers.get("user-agent", "").startswith("NSPlayer/"):
        c.head("HTTP/1.0 200 OK", ["Content-Type: application/vnd.ms.wms-hdr.asfv1",
                                   "Content-Length: 0"])
        return
    asx_with_entry_ref(c, "/mp3")


ROUTES = {
    "/close": route_close, "/mp3-stall": route_mp3_stall, "/head-stall": route_head_stall,
    "/trickle": route_trickle, "/long-header": route_long_header,
    "/mp3-metaint": route_mp3_metaint, "/meta-past-end": route_meta_past_end,
    "/endless-meta": route_endless_meta, "/dead-playlist": route_dead_playlist,
    "/random": route_random, "/mp3-then-aac": route_mp3_then_aac, "/mp3": route_mp3,
    "/live": route_live, "/damaged": route_damaged, "/query-redirect": route_query_redirect,
    "/query-playlist": route_query_playlist, "/entry-ref-start.asx": route_entry_ref_start,
    "/wms-hop": route_wms_hop,
}


def _openssl(*arguments):
    subprocess.run(["openssl"] + list(arguments), check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def _context(certificate, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    return context


def listen_with_bad_certificates(server, directory, ca_certificate, ca_key):
    """Adds "https_expired" (signed by the trusted authority, but expired) and
    "https_self_signed" (a certificate for localhost nobody vouches for)."""
    expired_key, request, expired = (os.path.join(directory, name)
                                     for name in ("expired.key", "expired.csr", "expired.pem"))
    _openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-subj", "/CN=localhost", "-keyout", expired_key, "-out", request)
    # -days -1: valid until a day before it was made.
    _openssl("x509", "-req", "-in", request, "-CA", ca_certificate, "-CAkey", ca_key, "-days", "-1",
             "-out", expired)
    own_key, own = os.path.join(directory, "own.key"), os.path.join(directory, "own.pem")
    _openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-days", "2", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
             "-keyout", own_key, "-out", own)
    server.listen("https_expired", server.serve_origin, _context(expired, expired_key))
    server.listen("https_self_signed", server.serve_origin, _context(own, own_key))
