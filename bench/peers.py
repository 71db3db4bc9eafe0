"""What both benchmarks measure of ffmpeg, the peer they compare against, and how they
summarise repeated runs."""
import json
import subprocess
import sys
import time


def ffmpeg_first_audio(url):
    """Milliseconds until ffmpeg reports its first decoded output."""
    start = time.monotonic()
    child = subprocess.Popen(["ffmpeg", "-nostdin", "-loglevel", "quiet", "-stats_period", "0.01",
                              "-progress", "pipe:1", "-i", url, "-f", "null", "-"],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    first = None
    for line in child.stdout:
        value = line.split(b"=", 1)[1].strip() if line.startswith(b"out_time_us=") else b""
        if value.isdigit() and int(value) > 0:
            first = (time.monotonic() - start) * 1000
            break
    child.kill()
    child.wait()
    return first


def median(values):
    values = sorted(v for v in values if v is not None)
    return values[len(values) // 2] if values else float("nan")


def last_json(output, who):
    """The last line of JSON a probe printed; ends the benchmark when there is none or it
    reports an error."""
    lines = [line for line in output.decode(errors="replace").splitlines() if line.startswith("{")]
    if not lines:
        sys.exit(f"{who}: a probe printed no result")
    result = json.loads(lines[-1])
    if "error" in result:
        sys.exit(f"{who}: {result['error']}")
    return result
