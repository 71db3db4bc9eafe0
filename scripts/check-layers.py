#!/usr/bin/env python3
"""Fails when a file includes a header from a room above its own.

Usage: check-layers.py FOLDER [--below DIR]...

FOLDER holds layers.txt, which lists its rooms (sub-folders) lowest first. A room is the
first folder under FOLDER: the folders inside it (input/http/, ...) belong to it and may
include each other. Every sub-folder holding code must be listed. Files directly in FOLDER
are the top floor and may include any room.

Includes between files of FOLDER are written relative to it ("playback/connection.h"); a
bare name is a header beside the including file, or one of the headers in a --below folder
(common/, the audio library's public header, the resource headers; a "name.h.in" there
counts as the "name.h" generated from it), which sit below every room.
"""
import argparse
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
TOP = "the top floor"


def read_layers(folder):
    names = []
    for line in (folder / "layers.txt").read_text().splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            names.append(line)
    return {name: rank for rank, name in enumerate(names)}


def headers_below(folders):
    names = set()
    for below in folders:
        for path in pathlib.Path(below).iterdir():
            if path.name.endswith(".h"):
                names.add(path.name)
            elif path.name.endswith(".h.in"):
                names.add(path.name[: -len(".in")])
    return names


def problems_in(path, room, layers, folder, below):
    rank = len(layers) if room == TOP else layers[room]
    for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        included = match.group(1)
        where = f"{path.relative_to(folder)}:{number}"
        if "/" not in included:
            if not (path.parent / included).exists() and included not in below:
                yield f"{where}: includes {included}, which is neither beside it nor below every room"
            continue
        target = included.split("/")[0]
        if target == ".." or target not in layers:
            yield f"{where}: includes {included}, outside the listed rooms"
        elif not (folder / included).exists():
            yield f"{where}: includes {included}, which does not exist"
        elif layers[target] > rank:
            yield f"{where}: {room}/ includes {included} from {target}/, a room above it"


def main():
    parser = argparse.ArgumentParser(description="Fails on an include from a room above.")
    parser.add_argument("folder", type=pathlib.Path)
    parser.add_argument("--below", action="append", default=[], type=pathlib.Path)
    arguments = parser.parse_args()
    folder = arguments.folder.resolve()
    layers = read_layers(folder)
    below = headers_below(arguments.below)
    problems = []
    for path in sorted(folder.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        parts = path.relative_to(folder).parts
        if len(parts) == 1:
            room = TOP
        elif parts[0] in layers:
            room = parts[0]
        else:
            problems.append(f"{path.relative_to(folder)}: not in a room listed in layers.txt")
            continue
        problems.extend(problems_in(path, room, layers, folder, below))
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"layers ok: {', '.join(layers)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
