"""Windows Media HTTP streaming for the scripted radio server, built from ffmpeg's ASF files.

The ASF files get a script command stream (stream 2) added to their header and data packets
carrying TEXT / TITLE / URL commands inserted between their own; the broadcast flag is set.
The streaming answer frames it: "$H" header packets, "$D" data packets with their padding
left out, "$C" then a new "$H" for the second program, "$E" at the end.
"""
import struct

COMMAND_MEDIA = bytes.fromhex("c0cfda59e659d011a3ac00a0c90348f6")
NO_ERROR_CORRECTION = bytes.fromhex("0057fb20555bcf11a8fd00805f5c442b")
STREAM_PROPERTIES = bytes.fromhex("9107dcb7b7a9cf118ee600c00c205365")
FILE_PROPERTIES = bytes.fromhex("a1dcab8c47a9cf118ee400c00c205365")
CLIENT_ID = "4242"


def split_asf(data):
    """(header with the data object's head, packet size, packets) of an ffmpeg ASF file,
    turned into a broadcast with a command stream."""
    size, count = struct.unpack_from("<QI", data, 16)
    header = bytearray(data[:size])
    offset, packet_size = 30, 0
    while offset < size:
        object_size = struct.unpack_from("<Q", header, offset + 16)[0]
        if header[offset:offset + 16] == FILE_PROPERTIES:
            flags_at = offset + 24 + 64
            struct.pack_into("<I", header, flags_at, struct.unpack_from("<I", header, flags_at)[0] | 1)
            packet_size = struct.unpack_from("<I", header, offset + 24 + 68)[0]
        offset += object_size
    body = COMMAND_MEDIA + NO_ERROR_CORRECTION + struct.pack("<QIIHI", 0, 0, 0, 2, 0)
    header += STREAM_PROPERTIES + struct.pack("<Q", 24 + len(body)) + body
    struct.pack_into("<QI", header, 16, len(header), count + 1)
    data_head = data[size:size + 50]
    first = size + 50
    packets = [data[i:i + packet_size] for i in range(first, len(data) - packet_size + 1, packet_size)]
    # ffmpeg's index object follows the packets; it is not streamed.
    packets = [p for p in packets if p[0] == 0x82]
    return bytes(header) + data_head, packet_size, packets


def command_packet(packet_size, number, time_ms, kind, text):
    """One data packet holding one script command for stream 2."""
    payload = (kind + "\0" + text + "\0").encode("utf-16-le")
    head_size = 3 + 1 + 1 + 2 + 4 + 2 + 1 + 1 + 4 + 1 + 8
    padding = packet_size - head_size - len(payload)
    packet = (b"\x82\0\0" + bytes([0x10, 0x5d]) + struct.pack("<HIH", padding, time_ms, 0) +
              bytes([0x82, number & 0xff]) + struct.pack("<IB", 0, 8) +
              struct.pack("<II", len(payload), time_ms) + payload)
    return packet + b"\0" * padding


def send_time(packet):
    """The packet's send time in milliseconds (after the fields its length flags size)."""
    field = {0: 0, 1: 1, 2: 2, 3: 4}
    flags = packet[3]
    at = 5 + field[flags >> 5 & 3] + field[flags >> 1 & 3] + field[flags >> 3 & 3]
    return struct.unpack_from("<I", packet, at)[0]


def trailing_padding(packet):
    """How many zero bytes end the packet's padding, which a server leaves out."""
    padding_type = packet[3] >> 3 & 3  # 1: a byte, 2: a word (no packet length or sequence)
    if packet[3] & 0x66 or padding_type not in (1, 2):
        return 0
    return packet[5] if padding_type == 1 else struct.unpack_from("<H", packet, 5)[0]


def frame(kind, payload, with_head=True):
    if with_head:
        payload = struct.pack("<IBBH", 0, 0, 0, len(payload) + 8) + payload
    return b"$" + kind.encode() + struct.pack("<H", len(payload)) + payload


def framed_header(header):
    """The header in two "$H" packets, as a long header is split."""
    half = len(header) // 2
    return frame("H", header[:half]) + frame("H", header[half:])


def program(asf_file, commands):
    """The framed data packets of one program; commands maps a packet index to (kind, text)."""
    header, packet_size, packets = split_asf(asf_file)
    out = bytearray()
    for index, packet in enumerate(packets):
        if index in commands:
            kind, text = commands[index]
            command = command_packet(packet_size, index, 100 * index, kind, text)
            out += frame("D", command[:packet_size - trailing_padding(command)])
        out += frame("D", packet[:packet_size - trailing_padding(packet)])
    return header, bytes(out)


def wants_play(c):
    pragmas = [line.split(":", 1)[1] for line in c.raw_head.decode("latin-1").split("\r\n")
               if line.lower().startswith("pragma:")]
    directives = [d.strip() for line in pragmas for d in line.split(",")]
    return "xPlayStrm=1" in directives, ("client-id=" + CLIENT_ID) in directives


def serve(c, first, second, truncated=False, live=False):
    """A Windows Media server: the header answer, then the framed program(s), then the end
    of the stream ("$E"), or with live=True the connection held open instead."""
    play, has_client_id = wants_play(c)
    header, packets = program(first[0], first[1])
    if not play:
        c.head("HTTP/1.0 200 OK", ["Content-Type: application/vnd.ms.wms-hdr.asfv1",
                                   "Pragma: no-cache,client-id=%s" % CLIENT_ID,
                                   "Pragma: features=\"broadcast\""])
        c.send(framed_header(header)[:-20] if truncated else framed_header(header))
        return
    if not c.headers.get("user-agent", "").startswith("NSPlayer/") or not has_client_id:
        c.head("HTTP/1.0 400 Bad Request", ["Content-Length: 0"])
        return
    c.head("HTTP/1.0 200 OK", ["Content-Type: application/x-mms-framed",
                               "Pragma: no-cache,client-id=%s" % CLIENT_ID])
    body = framed_header(header) + packets
    if second:
        new_header, new_packets = program(second[0], second[1])
        body += frame("C", struct.pack("<I", 0), with_head=False) + framed_header(new_header)
        body += new_packets
    c.send(body if live else body + frame("E", struct.pack("<I", 0), with_head=False))
    c.hold()
