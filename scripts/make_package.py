#!/usr/bin/env python3
"""Writes the Windows package, build/brevora-<version>-win64.zip, from a built Windows tree.

Usage: make_package.py SOURCE_DIR WINDOWS_BUILD_DIR OUTPUT_ZIP

The zip is reproducible: entries sorted, every time stamp the commit's, fixed attributes,
executables stripped of their debug information. The FFmpeg notice quotes the configure
line of scripts/build-ffmpeg.sh, checked against the one recorded in the built libavutil.
"""
import os
import re
import shlex
import subprocess
import sys
import tempfile
import time
import zipfile

COMMON_LICENSES = "/usr/share/common-licenses"


def fail(message):
    sys.exit("make_package: " + message)


def read_text(path):
    with open(path, encoding="utf-8") as file:
        return file.read()


def bash_array(name, text):
    found = re.search(r"\b" + name + r"=\(([^)]*)\)", text, re.S)
    if not found:
        fail(f"no {name}=(...) in scripts/build-ffmpeg.sh")
    return shlex.split(found.group(1), comments=True)


def ffmpeg_configure_arguments(source_dir, prefix):
    """The Windows configure arguments of scripts/build-ffmpeg.sh, with its variables filled."""
    script = read_text(os.path.join(source_dir, "scripts", "build-ffmpeg.sh"))
    windows = re.search(r"^\s*windows\)\s*\n(.*?);;", script, re.S | re.M)
    call = re.search(r'"\$source_dir/configure" \\\n(.*?)\n\s*>', script, re.S)
    if not windows or not call:
        fail("scripts/build-ffmpeg.sh no longer has the shape this script reads")
    arrays = {
        "${target_options[@]}": bash_array("target_options", windows.group(1)),
        "${components[@]}": bash_array("components", script),
    }
    arguments = []
    for word in shlex.split(re.sub(r"\\\s*(\n|$)", " ", call.group(1))):
        if word in arrays:
            arguments += arrays[word]
        else:
            arguments.append(word.replace("$prefix", prefix))
    return arguments


def built_ffmpeg_arguments(ffmpeg_dir):
    """The configure arguments FFmpeg recorded in the libavutil that brevora.exe links."""
    library = os.path.join(ffmpeg_dir, "lib", "libavutil.a")
    text = subprocess.run(["strings", "-a", library], check=True, capture_output=True,
                          text=True).stdout
    for line in text.splitlines():
        if line.startswith("--prefix="):
            return shlex.split(line)
    fail(f"no configure line recorded in {library}")


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def stripped(path, seconds):
    # strip writes a new PE header; without SOURCE_DATE_EPOCH it stamps it with the clock.
    environment = dict(os.environ, SOURCE_DATE_EPOCH=str(seconds))
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, os.path.basename(path))
        subprocess.run(["x86_64-w64-mingw32-strip", "-o", copy, path], check=True,
                       env=environment)
        with open(copy, "rb") as file:
            return file.read()


def version_in(path, pattern):
    found = re.search(pattern, open(path, "rb").read().decode("latin-1"))
    if not found:
        fail(f"no version found in {path}")
    return found.group(1)


def commit_seconds(source_dir):
    """The time of the commit the package is built from; 1980-01-01 outside git."""
    result = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                            capture_output=True, text=True)
    seconds = int(result.stdout.strip()) if result.returncode == 0 else 0
    # A zip's time stamps start in 1980.
    return max(seconds, 315532800)


def package_files(source_dir, build_dir, seconds):
    version = read_text(os.path.join(source_dir, "VERSION")).strip()
    ffmpeg_dir = os.path.join(build_dir, "ffmpeg-windows")
    shown_prefix = "build/windows/ffmpeg-windows"
    from_script = ffmpeg_configure_arguments(source_dir, shown_prefix)
    built = built_ffmpeg_arguments(ffmpeg_dir)
    if from_script[1:] != built[1:] or not built[0].startswith("--prefix="):
        fail("the FFmpeg in " + ffmpeg_dir + " was configured differently from "
             "scripts/build-ffmpeg.sh; rebuild it:\n  script: " + " ".join(from_script[1:]) +
             "\n  built:  " + " ".join(built[1:]))
    fields = {
        "@VERSION@": version,
        "@FFMPEG_CONFIGURE@": " ".join(shlex.quote(word) for word in from_script),
        "@FFMPEG_VERSION@": version_in(
            os.path.join(ffmpeg_dir, "include", "libavutil", "ffversion.h"),
            r'FFMPEG_VERSION "([^"]+)"'),
        "@MBEDTLS_VERSION@": version_in(
            os.path.join(build_dir, "mbedtls-windows", "include", "mbedtls", "version.h"),
            r'MBEDTLS_VERSION_STRING\s+"([^"]+)"'),
        "@LAME_VERSION@": version_in(os.path.join(build_dir, "lame-windows", "lame.exe"),
                                     r"\x00(3\.\d+)\x00"),
    }

    def filled(path):
        text = read_text(path)
        for field, value in fields.items():
            text = text.replace(field, value)
        return crlf(text)

    package = os.path.join(source_dir, "package")
    notices = os.path.join(package, "notices")
    bin_dir = os.path.join(build_dir, "bin")
    files = {
        "brevora.exe": stripped(os.path.join(bin_dir, "brevora.exe"), seconds),
        "brevora-editor.exe": stripped(os.path.join(bin_dir, "brevora-editor.exe"), seconds),
        "lame.exe": open(os.path.join(build_dir, "lame-windows", "lame.exe"), "rb").read(),
        # The programs read it through the private-profile functions: CRLF, as Windows writes.
        "stations.ini": crlf(read_text(os.path.join(package, "stations.ini"))),
        "README.txt": filled(os.path.join(package, "README.txt")),
        "LICENSES/Brevora.txt": crlf(read_text(os.path.join(source_dir, "LICENSE"))),
        "LICENSES/FFmpeg.txt": filled(os.path.join(notices, "FFmpeg.txt")),
        "LICENSES/LGPL-2.1.txt": crlf(read_text(os.path.join(COMMON_LICENSES, "LGPL-2.1"))),
        "LICENSES/mbedTLS.txt": filled(os.path.join(notices, "mbedTLS.txt")),
        "LICENSES/Apache-2.0.txt": crlf(read_text(os.path.join(COMMON_LICENSES, "Apache-2.0"))),
        "LICENSES/LAME.txt": filled(os.path.join(notices, "LAME.txt")),
        "LICENSES/LGPL-2.txt": crlf(read_text(os.path.join(COMMON_LICENSES, "LGPL-2"))),
    }
    return version, files


def write_zip(output, top_folder, files, date_time):
    partial = output + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(files):
            entry = zipfile.ZipInfo(f"{top_folder}/{name}", date_time=date_time)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0  # MS-DOS attributes: the same on every build machine
            entry.external_attr = 0x20  # archive bit, no Unix mode
            archive.writestr(entry, files[name], compresslevel=9)
    os.replace(partial, output)


def main():
    if len(sys.argv) != 4:
        fail("usage: make_package.py SOURCE_DIR WINDOWS_BUILD_DIR OUTPUT_ZIP")
    source_dir, build_dir, output = sys.argv[1:]
    seconds = commit_seconds(source_dir)
    version, files = package_files(source_dir, build_dir, seconds)
    write_zip(output, f"brevora-{version}", files, time.gmtime(seconds)[:6])
    print(output)


if __name__ == "__main__":
    main()
