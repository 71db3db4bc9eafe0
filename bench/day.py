#!/usr/bin/env python3
"""A day on the air: the real player under Wine plays a local Icecast station whose title
changes every 10 seconds, recording one file per song, for MINUTES. Its sampler
(bench/day_sampler.cpp) reads the player's private memory, open handles and threads and the
finished files once a minute; at the end every file is checked (one per song, named after it,
tagged, about the song's length) and a table and the growth per hour after the warm-up are
printed. Exits non-zero when a check fails: a song lost or wrong, memory growing by 1 MiB an
hour or more (judged on runs with at least 20 minutes after the warm-up), handles or threads
growing at all, or the player not ending cleanly.

Usage: day.py WINDOWS_BUILD_TREE MINUTES   (run under the project's Wine prefix and a display)
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

here = os.path.dirname(os.path.abspath(__file__))
fixture = os.path.join(here, "..", "tests", "servers", "icecast_fixture.py")
SONG_SECONDS = 10
ARTIST = "Day Station"
MOUNT = "tone.mp3"
STATION_NAME = "Brevora Test " + MOUNT  # the fixture's icy-name: the files' album
# ICY titles reach the stream at the metadata interval (about a second at 128 kbit/s), and
# the encoder pads a file's ends: a whole song's file is within this of the song's length.
LENGTH_TOLERANCE = 1.5
MEMORY_JUDGED_MINUTES = 20
# Where each judged figure is read from, in order of choice: the first that gives a number in
# the first sample. Under Wine 8, GetProcessMemoryInfo leaves PrivateUsage at 0 and
# GetProcessHandleCount gives 0 for another process; PagefileUsage is the process's commit
# (on Windows the same value as PrivateUsage), and the system's process table counts handles.
FIGURE_SOURCES = {
    "private_bytes": ("private_usage", "pagefile_usage"),
    "handles": ("handle_count", "system_handle_count"),
    "threads": ("toolhelp_threads",),
}


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def song_title(number):
    return f"{ARTIST} - Song {number:04d}"


class TitleChanger(threading.Thread):
    """Sets the mount's title every SONG_SECONDS through Icecast's admin interface, on a fixed
    schedule (no drift), numbering the songs from 1."""

    def __init__(self, port):
        super().__init__(daemon=True)
        self.port, self.last_song, self.failures = port, 0, 0
        self.stopping = threading.Event()

    def set_title(self, number):
        query = urllib.parse.urlencode({"mount": "/" + MOUNT, "mode": "updinfo",
                                        "song": song_title(number), "charset": "UTF-8"})
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}/admin/metadata?{query}")
        request.add_header("Authorization", "Basic YWRtaW46aGFja21l")  # admin:hackme
        try:
            urllib.request.urlopen(request, timeout=5).read()
            self.last_song = number
        except OSError:
            self.failures += 1

    def run(self):
        started = time.monotonic()
        number = 1
        while not self.stopping.is_set():
            self.set_title(number)
            number += 1
            self.stopping.wait(max(0, started + (number - 1) * SONG_SECONDS - time.monotonic()))


def start_station():
    station = subprocess.Popen([sys.executable, fixture, "--mounts", MOUNT], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    ready = json.loads(station.stdout.readline() or '{"error": "the station did not start"}')
    if "error" in ready:
        sys.exit(f"bench/day.py: {ready['error']}")
    return station, ready["port"]


def prepare_player(tree, work, port):
    """The player and lame.exe in a folder of their own, with a station file naming the
    station and turning Songs on; the recordings go to a folder beside it."""
    program = os.path.join(work, "program")
    recordings = os.path.join(work, "recordings")
    os.makedirs(program)
    os.makedirs(recordings)
    for name in ("brevora.exe", "lame.exe"):
        shutil.copy(os.path.join(tree, "bin", name), program)
    with open(os.path.join(program, "stations.ini"), "w", newline="\r\n") as f:
        f.write(f"[config]\nrecord_split=on\n[stations]\nstation_count=1\n"
                f"station_name_1=Day\nstation_url_1=http://127.0.0.1:{port}/{MOUNT}\n")
    return os.path.join(program, "brevora.exe"), recordings


def debug_log_path(recordings):
    return os.path.join(os.path.dirname(recordings), "debug.log")


def run_sampler(tree, player, recordings, minutes):
    """Runs the sampler, printing each of its lines as it comes; returns them parsed."""
    log = os.path.join(os.path.dirname(recordings), "sampler.log")
    sampler = os.path.join(tree, "bench", "day_sampler.exe")
    # The player's own debug lines (the library's log) say why, should a check fail.
    debug_env = dict(os.environ, WINEDEBUG="-all,+debugstr")
    # Wine's own helpers inherit the sampler's output and outlive it: files, not pipes.
    with open(log, "w") as out, open(debug_log_path(recordings), "w") as debug:
        child = subprocess.Popen(["wine", sampler, windows_path(player), windows_path(recordings),
                                  str(minutes)], stdin=subprocess.DEVNULL, stdout=out,
                                 stderr=debug, env=debug_env)
        lines, read = [], 0
        while True:
            ended = child.poll() is not None
            with open(log) as f:
                f.seek(read)
                text = f.read()
            complete = text[:text.rfind("\n") + 1]
            read += len(complete.encode())
            for line in complete.splitlines():
                if line.startswith("{"):
                    lines.append(json.loads(line))
                    print("  " + line, flush=True)
            if ended:
                return lines
            time.sleep(1)


def probe(path):
    result = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                             "format=duration:format_tags=title,artist,album,comment", "-of",
                             "json", path], capture_output=True, text=True)
    if result.returncode != 0:
        return None
    found = json.loads(result.stdout).get("format", {})
    tags = {key.lower(): value for key, value in found.get("tags", {}).items()}
    return float(found.get("duration", 0)), tags


def song_number(title):
    prefix = ARTIST + " - Song "
    return int(title[len(prefix):]) if title.startswith(prefix) and title[-4:].isdigit() else None


def check_files(recordings, station_url, heard_first, heard_last):
    """Every song from the first recorded to the last has one file, named after it, tagged
    and about SONG_SECONDS long; the first and last may be parts. The files reach from the
    song heard at the first sample to the one heard at the last, so a recording that stopped
    early loses songs here too. Returns (songs, faults)."""
    faults, numbers = [], {}
    for name in sorted(os.listdir(recordings)):
        stem = name[:-len(".mp3")] if name.endswith(".mp3") else None
        part = stem is not None and stem.endswith(" (part)")
        title = stem[:-len(" (part)")] if part else stem
        number = song_number(title or "")
        if number is None:
            faults.append(f"{name}: not a song's file")
            continue
        if number in numbers:
            faults.append(f"{name}: a second file of song {number}")
        numbers[number] = (name, part)
    if not numbers:
        return 0, faults + ["no song was recorded"]
    first, last = min(numbers), max(numbers)
    if heard_first is None or heard_last is None or first > heard_first or last < heard_last:
        faults.append(f"the files hold songs {first} to {last}; songs {heard_first} to "
                      f"{heard_last} were heard while sampling")
    for number in range(first, last + 1):
        if number not in numbers:
            faults.append(f"song {number} has no file")
            continue
        name, part = numbers[number]
        whole = first < number < last
        if whole and part:
            faults.append(f"{name}: a song recorded whole is marked as a part")
        faults += check_file(os.path.join(recordings, name), number, whole, station_url)
    return last - first + 1, faults


def check_file(path, number, whole, station_url):
    name = os.path.basename(path)
    probed = probe(path)
    if probed is None:
        return [f"{name}: not a readable MP3"]
    seconds, tags = probed
    expected = {"title": f"Song {number:04d}", "artist": ARTIST, "album": STATION_NAME,
                "comment": station_url}
    faults = [f"{name}: tag {key} is {tags.get(key)!r}, not {value!r}"
              for key, value in expected.items() if tags.get(key) != value]
    if whole and abs(seconds - SONG_SECONDS) > LENGTH_TOLERANCE:
        faults.append(f"{name}: {seconds:.2f} s long, not about {SONG_SECONDS} s")
    if not whole and not 0 < seconds <= SONG_SECONDS + LENGTH_TOLERANCE:
        faults.append(f"{name}: {seconds:.2f} s long, more than a song")
    return faults


def per_hour(samples, key):
    """The least-squares slope of `key` over the samples, per hour."""
    xs = [s["seconds"] / 3600 for s in samples]
    ys = [s[key] for s in samples]
    mean_x, mean_y = sum(xs) / len(xs), sum(ys) / len(ys)
    spread = sum((x - mean_x) ** 2 for x in xs)
    return sum((x - mean_x) * (y - mean_y) for x, y in zip(xs, ys)) / spread if spread else 0.0


def choose_figures(samples):
    """Adds the judged figures to each sample from the first source that gives a number;
    returns the faults (a figure no source gives)."""
    faults = []
    for figure, sources in FIGURE_SOURCES.items():
        giving = [source for source in sources if samples[0].get(source, -1) > 0]
        silent = [source for source in sources if source not in giving]
        print(f"{figure}: from {giving[0] if giving else 'nothing'}"
              + (f" ({', '.join(silent)} gave nothing)" if silent else ""))
        if not giving:
            faults.append(f"the sampler could not read {figure}")
            giving = [sources[0]]
        for sample in samples:
            sample[figure] = sample[giving[0]]
    return faults


def judge_samples(samples, minutes):
    """Prints the table and the growth after the warm-up; returns the faults."""
    mib = 1 << 20
    faults = choose_figures(samples)
    print("\n| minute | private MiB | working set MiB | handles | threads | files |")
    print("|---|---|---|---|---|---|")
    for s in samples:
        print(f"| {s['seconds'] / 60:.1f} | {s['private_bytes'] / mib:.2f} | "
              f"{s['working_set'] / mib:.2f} | {s['handles']} | {s['threads']} | "
              f"{s['files']} |")
    warm_up = 5 if minutes >= 15 else 1
    settled = [s for s in samples if s["seconds"] >= warm_up * 60 - 30]
    if len(settled) < 2:
        return faults + ["too few samples after the warm-up"]
    span = (settled[-1]["seconds"] - settled[0]["seconds"]) / 60
    memory = per_hour(settled, "private_bytes") / mib
    print(f"\nafter minute {warm_up} ({span:.0f} minutes): private memory {memory:+.2f} MiB/hour"
          f" (first {settled[0]['private_bytes'] / mib:.2f}, last "
          f"{settled[-1]['private_bytes'] / mib:.2f} MiB), handles {per_hour(settled, 'handles'):+.1f}"
          f"/hour, threads {per_hour(settled, 'threads'):+.1f}/hour")
    if span < MEMORY_JUDGED_MINUTES:
        print(f"private memory not judged: fewer than {MEMORY_JUDGED_MINUTES} minutes after the"
              " warm-up")
    elif memory >= 1:
        faults.append(f"private memory grows {memory:.2f} MiB an hour")
    for key in ("handles", "threads"):
        if max(s[key] for s in settled) > settled[0][key]:
            faults.append(f"{key} grew from {settled[0][key]} to {max(s[key] for s in settled)}")
    return faults


def main():
    tree, minutes = sys.argv[1], int(sys.argv[2])
    station, port = start_station()
    work = tempfile.mkdtemp(prefix="brevora-day-")
    changer = TitleChanger(port)
    try:
        player, recordings = prepare_player(tree, work, port)
        changer.start()
        print(f"day on the air: {minutes} minutes, a song every {SONG_SECONDS} s", flush=True)
        lines = run_sampler(tree, player, recordings, minutes)
        changer.stopping.set()
        samples = [line for line in lines if "seconds" in line]
        faults = [line["error"] for line in lines if "error" in line]
        ending = [line for line in lines if "ended" in line]
        if not ending or not ending[0]["ended"] or ending[0]["exit_code"] != 0:
            faults.append(f"the player did not end cleanly after its window closed: {ending}")
        if samples:
            faults += judge_samples(samples, minutes)
        heard = [song_number(s["title"]) for s in samples] or [None]
        songs, file_faults = check_files(recordings, f"http://127.0.0.1:{port}/{MOUNT}",
                                         heard[0], heard[-1])
        print(f"\n{songs} songs recorded ({changer.last_song} titles sent, "
              f"{changer.failures} title changes failed)")
        faults += file_faults
        with open(debug_log_path(recordings), errors="replace") as f:
            debug_lines = [line for line in f if "debugstr" in line]
    finally:
        changer.stopping.set()
        station.stdin.close()
        station.wait()
        if not os.environ.get("BREVORA_DAY_KEEP"):
            shutil.rmtree(work, ignore_errors=True)
    for fault in faults:
        print("FAULT: " + fault)
    if faults and debug_lines:
        print("the player's last debug lines:\n" + "".join(debug_lines[-20:]), end="")
    print("day on the air: " + ("FAILED" if faults else "passed"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
