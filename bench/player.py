#!/usr/bin/env python3
"""The Windows programs' footprint under Wine, against ffmpeg decoding the same Icecast mount
in the same run: for the player, the time from a station choice to the first sample at the
output, CPU per minute idle before any choice, while playing and idle after Stop, and peak
memory; the library's own share natively beside it (bench/run.sh's probe, when built); the
editor's load and Save of a 2048-row list and import of a 10,000-entry playlist.

Usage: player.py PLAYER_PROBE EDITOR_PROBE [STREAM_PROBE]
BENCH_SECONDS (playing, default 20), BENCH_IDLE_SECONDS (default 10), BENCH_RUNS (default 3).
"""
import json
import os
import subprocess
import sys
import tempfile
import time

from peers import ffmpeg_first_audio, last_json, median

here = os.path.dirname(os.path.abspath(__file__))
player_probe, editor_probe = sys.argv[1:3]
stream_probe = sys.argv[3] if len(sys.argv) > 3 and os.path.exists(sys.argv[3]) else None
play_seconds = int(os.environ.get("BENCH_SECONDS", "20"))
idle_seconds = int(os.environ.get("BENCH_IDLE_SECONDS", "10"))
runs = int(os.environ.get("BENCH_RUNS", "3"))
fixture = os.path.join(here, "..", "tests", "servers", "icecast_fixture.py")


def measured(command):
    """Runs command; returns (its output, CPU seconds, peak resident MiB). Under Wine the
    figures are the program's Wine process; the shared wineserver is not counted."""
    with tempfile.NamedTemporaryFile(mode="r") as peak:
        # Wine's start-up chatter (no sound card, ALSA) goes nowhere.
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak.name, *command],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 stdin=subprocess.DEVNULL)
        output = child.stdout.read()
        _, _, usage = os.wait4(child.pid, 0)
        return output, usage.ru_utime + usage.ru_stime, int(peak.read().split()[-1]) / 1024


def player_rows(url):
    player = [last_json(measured(["wine", player_probe, url, str(idle_seconds),
                                  str(play_seconds)])[0], "bench/player.py") for _ in range(runs)]
    # The whole Wine process once more, from outside: its peak resident memory.
    _, _, wine_peak = measured(["wine", player_probe, url, "0", str(play_seconds)])
    ffmpeg_first = [ffmpeg_first_audio(url) for _ in range(runs)]
    _, ffmpeg_cpu, ffmpeg_peak = measured(["ffmpeg", "-nostdin", "-loglevel", "quiet", "-i", url,
                                           "-t", str(play_seconds), "-f", "null", "-"])
    row = {
        "player_first_audio_ms": median(p["first_audio_ms"] for p in player),
        "ffmpeg_first_audio_ms": median(ffmpeg_first),
        "player_idle_before_cpu_s_per_min": median(p["idle_before_cpu_s_per_min"] for p in player),
        "player_playing_cpu_s_per_min": median(p["playing_cpu_s_per_min"] for p in player),
        "player_idle_after_stop_cpu_s_per_min":
            median(p["idle_after_stop_cpu_s_per_min"] for p in player),
        "player_peak_private_mib": max(p["peak_private_mib"] for p in player),
        "player_wine_process_peak_rss_mib": wine_peak,
        "ffmpeg_cpu_s_per_min": ffmpeg_cpu / play_seconds * 60,
        "ffmpeg_peak_rss_mib": ffmpeg_peak,
    }
    if stream_probe:
        output, native_cpu, native_peak = measured([stream_probe, "library", url, str(play_seconds)])
        native = last_json(output, "bench/player.py")
        row["library_native_first_audio_ms"] = native["first_audio_ms"]
        row["library_native_cpu_s_per_min"] = native_cpu / play_seconds * 60
        row["library_native_peak_rss_mib"] = native_peak
    return row


def main():
    server = subprocess.Popen([sys.executable, fixture, "--mounts", "tone.mp3,tone.aac"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    ready = json.loads(server.stdout.readline())
    if "port" not in ready:
        sys.exit(f"bench/player.py: {ready}")
    time.sleep(6)  # let the mounts queue a burst's worth (64 KiB at 16 KB/s)
    rows = {}
    for mount in ("tone.mp3", "tone.aac"):
        rows[mount] = player_rows(f"http://127.0.0.1:{ready['port']}/{mount}")
    server.stdin.close()
    server.wait()
    editor = last_json(measured(["wine", editor_probe])[0], "bench/player.py")

    print(f"player under Wine, {runs} runs (medians), {play_seconds} s playing, "
          f"{idle_seconds} s idle; ffmpeg natively on the same mount")
    print(f"{'mount':9} {'first audio':>11} {'ffmpeg':>7}   {'idle before':>11} {'playing':>8} "
          f"{'ffmpeg':>7} {'after Stop':>10}   {'private':>8} {'RSS':>6} {'ffmpeg':>7}")
    for mount, r in rows.items():
        print(f"{mount:9} {r['player_first_audio_ms']:>9.0f}ms {r['ffmpeg_first_audio_ms']:>5.0f}ms"
              f"   {r['player_idle_before_cpu_s_per_min']:>9.2f}s {r['player_playing_cpu_s_per_min']:>7.2f}s"
              f" {r['ffmpeg_cpu_s_per_min']:>6.2f}s {r['player_idle_after_stop_cpu_s_per_min']:>9.2f}s"
              f"   {r['player_peak_private_mib']:>6.1f}Mi {r['player_wine_process_peak_rss_mib']:>4.0f}Mi"
              f" {r['ffmpeg_peak_rss_mib']:>5.0f}Mi")
        if "library_native_cpu_s_per_min" in r:
            print(f"{'':9} library natively: first audio {r['library_native_first_audio_ms']:.0f} ms, "
                  f"{r['library_native_cpu_s_per_min']:.2f} CPU s/min, "
                  f"{r['library_native_peak_rss_mib']:.1f} MiB peak RSS")
    print(f"editor under Wine: load of {editor['rows']} rows {editor['load_ms']:.0f} ms, "
          f"Save {editor['save_ms']:.0f} ms, import of {editor['playlist_entries']} entries "
          f"{editor['import_ms']:.0f} ms")
    print(json.dumps({"player": rows, "editor": editor}))


main()
