#!/usr/bin/env python3
"""How long a picture beside Start or End takes: from a time typed to its
picture shown.

Serves a generated 10-minute video on 127.0.0.1 the way a large site serves
its smallest format (144p H.264, about 100 kbit/s, fragmented MP4 with a
sidx, a key frame every 5 s) through the throttle model of the fragment
notes: 4 MB/s, but a response longer than 10 MiB at 64 KiB/s; the server
also insists on the format's User-Agent header, as sites that hand out
headers do. Then, for 20 times spread over the video (Start's first frame
at or after the time, and End's last frame before it, in turn), it runs the
picture worker's own ffmpeg command line (src/media/frame_grab.cpp, built
here into a small native program, tests/native/frame_picture.cpp) with
Debian's ffmpeg, in the order a user might type them, and prints the fetch
time of each, their median and worst, and the same with the window's
half-second wait for the time to stand still.

    tests/bench/pictures.py
    tests/bench/pictures.py --rounds 3
    tests/bench/pictures.py --minutes 60    # a small format past the throttle's 10 MiB
"""
import argparse
import functools
import http.server
import os
import re
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
RATE = 4_000_000              # bytes a second
THROTTLED_OVER = 10 << 20     # a longer response is sent slowly
THROTTLED_RATE = 64 << 10
USER_AGENT = "TarnvikBench/1.0"
SETTLE_S = 0.5                # the window waits this long after the last change (src/ui/previews.cpp)
BOX = (160, 90)


def log(text):
    print(text, file=sys.stderr, flush=True)


def run_quiet(args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_video(cache, minutes):
    path = os.path.join(cache, f"video-144p-{minutes}min.mp4")
    if not os.path.exists(path):
        log(f"generating the {minutes}-minute 144p video…")
        run_quiet(["ffmpeg", "-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i",
                   "testsrc2=size=256x144:rate=25,noise=alls=12:allf=t", "-t", str(minutes * 60),
                   "-c:v", "libx264", "-preset", "veryfast", "-b:v", "100k", "-maxrate", "150k",
                   "-bufsize", "300k", "-g", "125", "-keyint_min", "125", "-sc_threshold", "0",
                   "-pix_fmt", "yuv420p",
                   "-movflags", "+frag_keyframe+empty_moov+default_base_moof+global_sidx", path])
    return path


class ThrottledRanges(http.server.BaseHTTPRequestHandler):
    """Byte ranges at the model's speeds; 403 without the format's header."""
    protocol_version = "HTTP/1.1"
    folder = "."
    requests = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = os.path.join(self.folder, os.path.basename(self.path.split("?")[0]))
        if self.headers.get("User-Agent") != USER_AGENT:
            self.send_error(403)
            return
        if not os.path.isfile(path):
            self.send_error(404)
            return
        size = os.path.getsize(path)
        first, last = 0, size - 1
        match = re.match(r"bytes=(\d+)-(\d*)$", self.headers.get("Range", ""))
        if match:
            first = int(match.group(1))
            last = min(int(match.group(2)), size - 1) if match.group(2) else size - 1
            self.send_response(206)
            self.send_header("Content-Range", f"bytes {first}-{last}/{size}")
        else:
            self.send_response(200)
        length = last - first + 1
        self.send_header("Content-Type", "video/mp4")
        self.send_header("Content-Length", str(length))
        self.send_header("Accept-Ranges", "bytes")
        self.end_headers()
        rate = THROTTLED_RATE if length > THROTTLED_OVER else RATE
        sent, began = 0, time.monotonic()
        with open(path, "rb") as f:
            f.seek(first)
            while sent < length:
                chunk = f.read(min(length - sent, 16 << 10))
                if not chunk:
                    break
                try:
                    self.wfile.write(chunk)
                except (BrokenPipeError, ConnectionResetError):
                    break  # ffmpeg seeks by dropping the connection
                sent += len(chunk)
                ahead = began + sent / rate - time.monotonic()
                if ahead > 0:
                    time.sleep(ahead)
        self.requests.append((first, sent))


def serve(folder):
    handler = type("Handler", (ThrottledRanges,), {"folder": folder, "requests": []})
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, handler


def build_driver(cache):
    out = os.path.join(cache, "frame_picture")
    native = os.path.join(ROOT, "tests", "native")
    sources = ([os.path.join(native, "frame_picture.cpp"), os.path.join(native, "run_cut.cpp")]
               + [os.path.join(ROOT, "src", room, n) for room in ("text", "media")
                  for n in sorted(os.listdir(os.path.join(ROOT, "src", room))) if n.endswith(".cpp")])
    if not os.path.exists(out) or any(os.path.getmtime(s) > os.path.getmtime(out) for s in sources):
        log("building the picture driver…")
        run_quiet(["g++", "-std=c++17", "-O2", "-I", os.path.join(ROOT, "src"), "-o", out] + sources)
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cache", default=os.environ.get("TARNVIK_BENCH_CACHE", "/tmp/tarnvik-bench"))
    parser.add_argument("--rounds", type=int, default=1, help="passes over the 20 times")
    parser.add_argument("--minutes", type=int, default=10, help="the video's length")
    args = parser.parse_args()
    os.makedirs(args.cache, exist_ok=True)
    video = make_video(args.cache, args.minutes)
    driver = build_driver(args.cache)
    server, handler = serve(args.cache)
    url = f"http://127.0.0.1:{server.server_address[1]}/{os.path.basename(video)}?itag=160"
    headers = f"User-Agent: {USER_AGENT}\r\n"
    work = os.path.join(args.cache, "pictures")
    os.makedirs(work, exist_ok=True)
    length = args.minutes * 60
    # 20 times over the whole video, not in order, none on a key frame.
    times = [round((i * 7 % 20) * length / 20 + 13.37, 3) for i in range(20)]
    fetches = []
    print(f"video: {os.path.getsize(video) / 1e6:.1f} MB, {length} s, served at {RATE / 1e6:.0f} MB/s "
          f"(over {THROTTLED_OVER >> 20} MiB: {THROTTLED_RATE >> 10} KiB/s)")
    for round_ in range(args.rounds):
        for n, seconds in enumerate(times):
            which = "at" if n % 2 == 0 else "before"
            handler.requests.clear()
            result = subprocess.run([driver, work, url, which, str(seconds), str(BOX[0]), str(BOX[1]), headers],
                                    capture_output=True, text=True)
            took = float(result.stdout.split("\n", 1)[0] or "nan")
            ok = result.returncode == 0 and os.path.exists(os.path.join(work, "frame.bmp"))
            fetched = sum(sent for _, sent in handler.requests)
            fetches.append(took if ok else float("inf"))
            print(f"  {which:6} {seconds:8.3f} s: {took:5.2f} s, {len(handler.requests)} requests, "
                  f"{fetched / 1e3:6.0f} kB{'' if ok else '  FAILED'}")
            if n == 0 and round_ == 0:
                print("  $ " + result.stdout.split("\n")[1])
    median, worst = statistics.median(fetches), max(fetches)
    print(f"fetch and decode:            median {median:.2f} s, worst {worst:.2f} s ({len(fetches)} pictures)")
    print(f"typed to shown (+{SETTLE_S} s wait): median {median + SETTLE_S:.2f} s, worst {worst + SETTLE_S:.2f} s"
          f"  — goal: median under 1 s: {'met' if median + SETTLE_S < 1 else 'NOT met'}")
    server.shutdown()


if __name__ == "__main__":
    main()
