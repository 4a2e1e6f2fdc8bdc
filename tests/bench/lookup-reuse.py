#!/usr/bin/env python3
"""What the look-up saves a clip, and how soon the title shows.

Runs Debian's yt-dlp the way Tarnvik does, natively, against a generated
two-minute 720p video served on 127.0.0.1 as a video site serves one: a
watch page (a schema.org VideoObject with title and length) that leads to a
DASH manifest with separate video and audio. For each round, in turn:

  look-up       the look-up's command line, in a folder of its own
                (src/jobs/lookup.cpp), timed from start to exit; the line
                under the address shows the title that long after the
                address has stood still for the window's settle time
  by address    a 10 s clip with the clip job's arguments ("Up to 1080p",
                "Prefer MP4", cookies "none": yt-dlp's part of the clip, which
                an exact cut then works on locally), the address given
  from look-up  the same with "--load-info-json" and the look-up's file in
                the address's place, as the clip job does after a look-up

It prints the median and best wall time of each. The page and the manifest
can be made to answer late (--page-latency), as a distant site's do; the
media files always answer at once.

    tests/bench/lookup-reuse.py
    tests/bench/lookup-reuse.py --rounds 3 --page-latency 1.5
"""
import argparse
import functools
import importlib.util
import http.server
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.join(HERE, "..", "..", "src")
TITLE = "Harness clip A"
SECONDS = 120

# Installing the tools, logging and the clip job's selector as the exact-cut benchmark has them.
_spec = importlib.util.spec_from_file_location("exact_cut", os.path.join(HERE, "exact-cut.py"))
exact_cut = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(exact_cut)
log, ensure_tools, SELECTOR_MP4 = exact_cut.log, exact_cut.ensure_tools, exact_cut.SELECTOR_MP4



def source_constant(path, pattern):
    with open(os.path.join(SRC, path), encoding="utf-8") as f:
        match = re.search(pattern, f.read())
    if not match:
        sys.exit(f"{pattern} not found in {path}")
    return match


def wide_literal(text):
    """The text of a C++ wide string literal spread over several lines."""
    return "".join(re.findall(r'L"((?:[^"\\]|\\.)*)"', text)).replace('\\"', '"').replace("\\\\", "\\")


def make_site(folder):
    os.makedirs(os.path.join(folder, "dash"), exist_ok=True)
    video = os.path.join(folder, "video.mp4")
    quiet = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"]
    subprocess.run(quiet + ["-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate=30:duration={SECONDS}",
                            "-f", "lavfi", "-i", f"sine=frequency=440:duration={SECONDS}",
                            "-c:v", "libx264", "-preset", "veryfast", "-g", "150", "-pix_fmt", "yuv420p",
                            "-c:a", "aac", "-b:a", "128k", "-shortest", video], check=True)
    subprocess.run(quiet + ["-i", video, "-map", "0:v", "-map", "0:a", "-c", "copy", "-f", "dash",
                            "-seg_duration", "4", "-adaptation_sets", "id=0,streams=v id=1,streams=a",
                            os.path.join(folder, "dash", "video.mpd")], check=True)


def page(base):
    return f"""<!DOCTYPE html><html><head><meta charset="utf-8"><title>{TITLE}</title>
<script type="application/ld+json">{{"@context": "https://schema.org", "@type": "VideoObject",
 "name": "{TITLE}", "duration": "PT{SECONDS}S", "contentUrl": "{base}/dash/video.mpd",
 "uploadDate": "2026-01-01"}}</script></head><body><p>{TITLE}</p></body></html>"""


class SiteHandler(http.server.SimpleHTTPRequestHandler):
    latency = 0.0

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.path == "/watch":
            time.sleep(self.latency)
            body = page(f"http://127.0.0.1:{self.server.server_address[1]}").encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if self.path.endswith(".mpd"):
            time.sleep(self.latency)
        super().do_GET()


def serve(folder, latency):
    handler = functools.partial(type("Site", (SiteHandler,), {"latency": latency}), directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def timed(args, cwd):
    began = time.monotonic()
    done = subprocess.run(args, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True)
    took = time.monotonic() - began
    if done.returncode != 0:
        sys.exit(f"{args[0]} failed ({done.returncode}):\n{done.stdout}")
    return took, done.stdout


def lookup_args(url, template):
    return ["yt-dlp", url, "--no-playlist", "--skip-download", "--no-simulate", "--write-info-json",
            "-o", "video", "--print", template, "--encoding", "utf-8"]


def clip_args(source, job, start, length):
    return ["yt-dlp", *source, "--no-playlist", "--newline", "--no-mtime", "--encoding", "utf-8",
            "-o", os.path.join(job, "%(title).80s [%(id)s].%(ext)s"), "--ffmpeg-location",
            os.path.dirname(shutil.which("ffmpeg")), "--download-sections", f"*{start:.3f}-{start + length:.3f}",
            "-f", SELECTOR_MP4, "--merge-output-format", "mp4"]


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--start", type=float, default=30.0, help="the clip's Start in seconds (default 30)")
    parser.add_argument("--length", type=float, default=10.0, help="the clip's length (default 10)")
    parser.add_argument("--page-latency", type=float, default=0.0,
                        help="seconds the page and the manifest take to answer (default 0)")
    options = parser.parse_args()
    ensure_tools()
    template = wide_literal(source_constant("text/video_info.cpp", r"VIDEO_INFO_TEMPLATE\[\]\s*=([^;]*);").group(1))
    settle_ms = int(source_constant("ui/lookup_ui.cpp", r"SETTLE_MS = (\d+)").group(1))

    work = tempfile.mkdtemp(prefix="tarnvik-lookup-bench.")
    try:
        log("making the video…")
        make_site(os.path.join(work, "site"))
        server = serve(os.path.join(work, "site"), options.page_latency)
        url = f"http://127.0.0.1:{server.server_address[1]}/watch"
        times = {"look-up": [], "by address": [], "from look-up": []}
        for round_number in range(options.rounds):
            log(f"round {round_number + 1} of {options.rounds}…")
            lookup = fresh(os.path.join(work, "lookup"))
            took, output = timed(lookup_args(url, template), lookup)
            if f'"{TITLE}"' not in output or not os.path.exists(os.path.join(lookup, "video.info.json")):
                sys.exit(f"the look-up found no title or kept no file:\n{output}")
            times["look-up"].append(took)
            info = os.path.join(lookup, "video.info.json")
            for name, source in (("by address", [url]), ("from look-up", ["--load-info-json", info])):
                job = fresh(os.path.join(work, "job"))
                times[name].append(timed(clip_args(source, job, options.start, options.length), job)[0])
                if not any(f.endswith(".mp4") for f in os.listdir(job)):
                    sys.exit(f"{name}: no clip was made")
        server.shutdown()
    finally:
        shutil.rmtree(work, ignore_errors=True)

    version = subprocess.run(["yt-dlp", "--version"], stdout=subprocess.PIPE, text=True).stdout.strip()
    print(f"yt-dlp {version}, {os.cpu_count()} cores, page latency {options.page_latency:g} s, "
          f"{options.rounds} rounds, a {options.length:g} s clip from {options.start:g} s with Exact cut")
    print(f"{'':16}{'median':>9}{'best':>9}")
    for name, values in times.items():
        print(f"{name:16}{statistics.median(values):8.2f}s{min(values):8.2f}s")
    saved = statistics.median(times["by address"]) - statistics.median(times["from look-up"])
    print(f"a clip after a finished look-up is {saved:.2f} s sooner done (medians)")
    print(f"address to title on the line: {settle_ms / 1000:.1f} s settle + the look-up = "
          f"{settle_ms / 1000 + statistics.median(times['look-up']):.2f} s (median)")


if __name__ == "__main__":
    main()
