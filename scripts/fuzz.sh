#!/usr/bin/env bash
# Fuzzing at depth: `bash scripts/fuzz.sh [MINUTES]` runs every libFuzzer target of the fuzz
# tree (build/fuzz) from its committed corpus for MINUTES each (default 10), one after the
# other, and prints per target the inputs run, the time taken and the findings. The suite's
# CTest runs stay short; this is the long run.
#
# New interesting inputs gather in the build tree (build/fuzz/tests/fuzz/NAME.corpus), never
# in the committed corpus. A finding is written as build/fuzz/tests/fuzz/NAME-crash-... (or
# -leak-, -timeout-, -oom-): it becomes a corpus input and a fix.
set -euo pipefail
source "$(dirname "$0")/common.sh"

minutes=${1:-10}
if ! [[ "$minutes" =~ ^[0-9]+$ ]] || [ "$minutes" -eq 0 ]; then
  echo "usage: bash scripts/fuzz.sh [MINUTES]" >&2
  exit 2
fi

bash "$here/scripts/install-deps.sh"
fuzz_build=$here/build/fuzz
configure_and_build "$fuzz_build" -DBREVORA_FUZZ=ON -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ >"$fuzz_build.build.log" 2>&1 ||
  { cat "$fuzz_build.build.log"; exit 1; }

# The targets and their command lines come from CTest, so a new add_fuzz_target is fuzzed
# here without a change to this script.
python3 - "$fuzz_build" "$minutes" <<'EOF'
import glob, json, os, re, subprocess, sys, time

build, minutes = sys.argv[1], int(sys.argv[2])
listing = subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                         check=True, capture_output=True, text=True).stdout
targets = [test for test in json.loads(listing)["tests"]
           if any(arg.startswith("-max_total_time=") for arg in test.get("command", []))]
if not targets:
    sys.exit("fuzz.sh: the fuzz tree has no fuzz targets")

rows, found_any = [], False
for test in targets:
    name = test["name"]
    command = [("-max_total_time=%d" % (minutes * 60)) if arg.startswith("-max_total_time=")
               else arg for arg in test["command"]]
    prefix = next(arg.split("=", 1)[1] for arg in command if arg.startswith("-artifact_prefix="))
    work = next(arg for arg in command if arg.endswith(".corpus"))
    os.makedirs(work, exist_ok=True)
    before = set(glob.glob(prefix + "*"))
    # A finding stops the run: the rest of its time is not spent on the same fault.
    command.insert(command.index(work), "-print_final_stats=1")
    print("fuzzing %s for %d minute(s)..." % (name, minutes), flush=True)
    started = time.monotonic()
    run = subprocess.run(command, capture_output=True, text=True)
    seconds = time.monotonic() - started
    units = re.findall(r"stat::number_of_executed_units:\s*(\d+)", run.stderr)
    findings = sorted(set(glob.glob(prefix + "*")) - before)
    if run.returncode != 0 and not findings:
        findings = ["(exit status %d, see below)" % run.returncode]
    found_any = found_any or bool(findings)
    rows.append((name, units[-1] if units else "?", seconds, findings))
    if findings:
        print(run.stderr[-4000:], file=sys.stderr)

print("\n%-22s %14s %10s  %s" % ("target", "inputs", "seconds", "findings"))
for name, units, seconds, findings in rows:
    print("%-22s %14s %10.0f  %s" % (name, units, seconds,
                                     ", ".join(os.path.basename(f) for f in findings) or "none"))
sys.exit(1 if found_any else 0)
EOF
