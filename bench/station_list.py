#!/usr/bin/env python3
"""Large station lists under Wine: the editor's load and Save, and the player's start-up to
its window and the opening of its Stations menu, with lists of 100, 2,000 and 10,000 rows.
Given a second pair of probes (built from an earlier commit), runs both in the same run, one
after the other for each size, so that the figures compare.

Usage: station_list.py PLAYER_PROBE EDITOR_PROBE [BEFORE_PLAYER_PROBE BEFORE_EDITOR_PROBE]
BENCH_RUNS (default 3): runs of each probe and size; the figures are their medians.
"""
import json
import os
import subprocess
import sys

from peers import last_json, median

sizes = (100, 2000, 10000)
runs = int(os.environ.get("BENCH_RUNS", "3"))


def probe_result(command):
    output = subprocess.run(["wine", *command], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            stdin=subprocess.DEVNULL, check=False).stdout
    return last_json(output, f"bench/station_list.py: {command[0]}")


def measure(player_probe, editor_probe, rows):
    editor = [probe_result([editor_probe, str(rows)]) for _ in range(runs)]
    if any(e["loaded"] != rows for e in editor):
        sys.exit(f"bench/station_list.py: {editor_probe} loaded {editor[0]['loaded']} of {rows}")
    player = [probe_result([player_probe, "--stations", str(rows)]) for _ in range(runs)]
    return {
        "editor_load_ms": median(e["load_ms"] for e in editor),
        "editor_save_ms": median(e["save_ms"] for e in editor),
        "player_start_up_ms": median(p["start_up_ms"] for p in player),
        "stations_menu_ms": median(p["stations_menu_ms"] for p in player),
    }


def main():
    builds = {"after": sys.argv[1:3]}
    if len(sys.argv) == 5:
        builds = {"before": sys.argv[3:5], **builds}
    figures = {name: {} for name in builds}
    for rows in sizes:
        for name, (player_probe, editor_probe) in builds.items():
            figures[name][rows] = measure(player_probe, editor_probe, rows)
    print(f"station lists under Wine, medians of {runs} runs (ms)")
    print(f"{'rows':>6} {'build':>7} {'editor load':>12} {'Save':>9} {'player start-up':>16} "
          f"{'Stations menu':>14}")
    for rows in sizes:
        for name in builds:
            f = figures[name][rows]
            print(f"{rows:>6} {name:>7} {f['editor_load_ms']:>12.0f} {f['editor_save_ms']:>9.0f} "
                  f"{f['player_start_up_ms']:>16.0f} {f['stations_menu_ms']:>14.0f}")
    print(json.dumps(figures))


main()
