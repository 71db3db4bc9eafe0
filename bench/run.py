#!/usr/bin/env python3
"""Time to first audio, CPU per minute of playback and peak memory of the library against
ffmpeg decoding the same Icecast mount to null and against the network floor. Side by side,
in one run, with and without Icecast's burst-on-connect, and on an HLS station. Prints a table
and ratios. BENCH_ROWS=icecast or BENCH_ROWS=hls runs only those rows."""
import json
import os
import subprocess
import sys
import tempfile
import time

from peers import ffmpeg_first_audio, median

here = os.path.dirname(os.path.abspath(__file__))
probe = sys.argv[1]
steady_seconds = int(os.environ.get("BENCH_SECONDS", "20"))
runs = int(os.environ.get("BENCH_RUNS", "3"))
rows_wanted = os.environ.get("BENCH_ROWS", "icecast,hls").split(",")
fixture = os.path.join(here, "..", "tests", "servers", "icecast_fixture.py")
hls_server = os.path.join(here, "..", "tests", "servers", "hls_test_server.py")
MOUNTS = ("tone.mp3", "tone.aac", "tone.opus", "tone.oga")  # .oga: FLAC in Ogg


def measured(command, stdout=subprocess.PIPE):
    """Runs command; returns (its output, CPU seconds, peak resident MiB).

    The peak comes from GNU time, not from this process's wait4: a child forked from Python
    starts its peak at Python's own resident size (about 14 MiB), which would hide
    everything below it."""
    with tempfile.NamedTemporaryFile(mode="r") as peak:
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak.name, *command], stdout=stdout,
                                 stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        output = child.stdout.read() if stdout == subprocess.PIPE else b""
        _, _, usage = os.wait4(child.pid, 0)
        return output, usage.ru_utime + usage.ru_stime, int(peak.read().split()[-1]) / 1024


def bench(burst):
    server = subprocess.Popen([sys.executable, fixture, "--burst", str(burst), "--mounts", ",".join(MOUNTS)],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    port = json.loads(server.stdout.readline())["port"]
    time.sleep(6)  # let the mounts queue a burst's worth (64 KiB at 16 KB/s)
    rows = []
    for mount in MOUNTS:
        url = f"http://127.0.0.1:{port}/{mount}"
        floor = [json.loads(measured([probe, "floor", url])[0])["first_64k_ms"] for _ in range(runs)]
        ours = [json.loads(measured([probe, "library", url, "0"])[0])["first_audio_ms"] for _ in range(runs)]
        theirs = [ffmpeg_first_audio(url) for _ in range(runs)]
        _, our_cpu, our_mem = measured([probe, "library", url, str(steady_seconds)])
        _, ff_cpu, ff_mem = measured(["ffmpeg", "-nostdin", "-loglevel", "quiet", "-i", url,
                                      "-t", str(steady_seconds), "-f", "null", "-"])
        rows.append({
            "mount": mount, "burst": burst,
            "floor_64k_ms": median(floor), "library_first_audio_ms": median(ours),
            "ffmpeg_first_audio_ms": median(theirs),
            "library_cpu_s_per_min": our_cpu / steady_seconds * 60,
            "ffmpeg_cpu_s_per_min": ff_cpu / steady_seconds * 60,
            "library_peak_mib": our_mem, "ffmpeg_peak_mib": ff_mem,
        })
    server.stdin.close()
    server.wait()
    return rows


def bench_hls():
    """The same for an HLS station: the test server's master playlist (128k AAC in MPEG-TS,
    2 s segments, live), against ffmpeg on the same playlist. No floor: there is no one
    request to time."""
    server = subprocess.Popen([sys.executable, hls_server], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE)
    url = f"http://127.0.0.1:{json.loads(server.stdout.readline())['port']}/master.m3u8"
    ours = [json.loads(measured([probe, "library", url, "0"])[0])["first_audio_ms"] for _ in range(runs)]
    theirs = [ffmpeg_first_audio(url) for _ in range(runs)]
    _, our_cpu, our_mem = measured([probe, "library", url, str(steady_seconds)])
    _, ff_cpu, ff_mem = measured(["ffmpeg", "-nostdin", "-loglevel", "quiet", "-i", url,
                                  "-t", str(steady_seconds), "-f", "null", "-"])
    server.stdin.close()
    server.wait()
    return [{
        "mount": "hls", "burst": 0, "floor_64k_ms": float("nan"),
        "library_first_audio_ms": median(ours), "ffmpeg_first_audio_ms": median(theirs),
        "library_cpu_s_per_min": our_cpu / steady_seconds * 60,
        "ffmpeg_cpu_s_per_min": ff_cpu / steady_seconds * 60,
        "library_peak_mib": our_mem, "ffmpeg_peak_mib": ff_mem,
    }]


results = []
if "icecast" in rows_wanted:
    results += bench(65536) + bench(0)
if "hls" in rows_wanted:
    results += bench_hls()
print(f"{'mount':10} {'burst':>6} {'floor64k':>9} {'ours':>8} {'ffmpeg':>8}   {'cpu ours':>8} {'ffmpeg':>7} {'ratio':>6}   {'MiB ours':>8} {'ffmpeg':>7} {'ratio':>6}")
for r in results:
    print(f"{r['mount']:10} {r['burst']:>6} {r['floor_64k_ms']:>7.0f}ms {r['library_first_audio_ms']:>6.0f}ms "
          f"{r['ffmpeg_first_audio_ms']:>6.0f}ms   {r['library_cpu_s_per_min']:>7.2f}s {r['ffmpeg_cpu_s_per_min']:>6.2f}s "
          f"{r['library_cpu_s_per_min'] / r['ffmpeg_cpu_s_per_min']:>6.2f}   {r['library_peak_mib']:>8.1f} "
          f"{r['ffmpeg_peak_mib']:>7.1f} {r['library_peak_mib'] / r['ffmpeg_peak_mib']:>6.2f}")
print("targets with burst: first audio <= floor + 60 ms; CPU ratio <= 0.6; memory ratio <= 0.25")
print(json.dumps(results))
