#!/usr/bin/env python3
"""Fails when a file in the audio library includes a header from a folder above its own.

Usage: check-layers.py AUDIO_SRC_DIR. The order of folders is read from AUDIO_SRC_DIR/layers.txt
(lowest first). Every folder must be listed, and every file must sit in a listed folder. A
layer is the first folder under AUDIO_SRC_DIR: the rooms inside it (input/http/, ...) belong
to it and may include each other.
"""
import pathlib
import re
import sys

PUBLIC_HEADER = "brevora_audio.h"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def read_layers(src):
    names = []
    for line in (src / "layers.txt").read_text().splitlines():
        line = line.strip()
        if line and not line.startswith("#"):
            names.append(line)
    return {name: rank for rank, name in enumerate(names)}


def problems_in(path, folder, layers, src):
    for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        included = match.group(1)
        where = f"{path.relative_to(src)}:{number}"
        if included == PUBLIC_HEADER:
            continue
        if "/" not in included:
            if not (path.parent / included).exists():
                yield f"{where}: includes {included}, which is not beside it"
            continue
        target = included.split("/")[0]
        if target == ".." or target not in layers:
            yield f"{where}: includes {included}, outside the listed folders"
        elif layers[target] > layers[folder]:
            yield f"{where}: {folder}/ includes {included} from {target}/, a folder above it"


def main():
    src = pathlib.Path(sys.argv[1]).resolve()
    layers = read_layers(src)
    problems = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        parts = path.relative_to(src).parts
        if len(parts) < 2 or parts[0] not in layers:
            problems.append(f"{path.relative_to(src)}: not in a folder listed in layers.txt")
            continue
        problems.extend(problems_in(path, parts[0], layers, src))
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"layers ok: {', '.join(layers)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
