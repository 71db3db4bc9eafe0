"""What both benchmarks measure of ffmpeg, the peer they compare against, and how they
summarise repeated runs."""
import subprocess
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
