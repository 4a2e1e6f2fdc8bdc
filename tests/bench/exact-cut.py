#!/usr/bin/env python3
"""How long an exact cut takes, how big it is and how it looks.

Runs Debian's yt-dlp and ffmpeg the way Tarnvik's clip job does ("Exact
cut" ticked, "Up to 1080p", cookies "none"; "Prefer MP4" ticked and not)
against generated 1080p30 videos served on 127.0.0.1: "before" without
encoder settings (the clip job's arguments before it had them), "clip job"
with the settings it passes now (read from src/proc/tools.h), and one "try"
per --setting. Rounds are interleaved. It prints a table: wall time of the
yt-dlp run and its processor time (best of the rounds), output size, SSIM
and PSNR of the clip against the same section of the served video, and
whether the clip's first frame is the frame at Start.

The sources are generated once and kept in the cache folder (default
/tmp/tarnvik-bench, or $TARNVIK_BENCH_CACHE): a panned, grainy, detailed
still with a moving highlight, as H.264 in MP4 and VP9 in WebM, AAC and
Opus audio, listed in a DASH manifest the way video sites list theirs
(heights included, which the clip job's format selector filters by).

    tests/bench/exact-cut.py                      # the full measurement
    tests/bench/exact-cut.py --source-seconds 20 --start 5 --length 4 --rounds 1
"""
import argparse
import functools
import http.server
import os
import re
import resource
import shutil
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS_H = os.path.join(HERE, "..", "..", "src", "proc", "tools.h")
WIDTH, HEIGHT, FPS = 1920, 1080, 30
GOP_SECONDS = 5

# The clip job's selectors for "Up to 1080p" with audio (src/text/format.cpp).
SELECTOR_MP4 = "bv*[vcodec^=avc1][height<=1080]+ba[acodec^=mp4a]/bv*[height<=1080]+ba/b[height<=1080]"
SELECTOR_ANY = "bv*[height<=1080]+ba/b[height<=1080]"

def log(text):
    print(text, file=sys.stderr, flush=True)


def run_quiet(args, **kwargs):
    return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, check=True, **kwargs).stdout


def ensure_tools():
    if shutil.which("yt-dlp") and shutil.which("ffmpeg"):
        return
    log("installing yt-dlp and ffmpeg with apt-get…")
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "update", "-qq"], check=True)
    subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "yt-dlp", "ffmpeg"],
                   env=env, check=True, stdout=subprocess.DEVNULL)


# ---------------------------------------------------------------- sources

def ffmpeg(*args):
    run_quiet(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y"] + list(args))


def make_still(path):
    # A deep part of the Mandelbrot set: fine filaments beside smooth
    # gradients and flat dark areas, 4K so that the 1080p window can pan.
    ffmpeg("-f", "lavfi", "-i",
           "mandelbrot=size=3840x2160:rate=1:start_x=-0.743643887037151:start_y=0.13182590420533"
           ":start_scale=0.02:end_scale=0.02:maxiter=600:outer=normalized_iteration_count:inner=period",
           "-frames:v", "1", path)


def make_sources(folder, seconds):
    """Video and audio renditions plus their manifest; kept once made."""
    manifest = os.path.join(folder, "manifest.mpd")
    if os.path.exists(manifest):
        return manifest
    os.makedirs(folder, exist_ok=True)
    still = os.path.join(os.path.dirname(folder), "still.png")
    if not os.path.exists(still):
        log("drawing the still…")
        make_still(still)
    log(f"making {seconds} s sources in {folder}…")
    # The camera wanders over the still at up to ~6 px a frame, the light
    # breathes, film grain changes every frame, and a soft spot of light
    # crosses the picture: motion and detail everywhere, as in real footage.
    picture = (
        f"[0:v]crop={WIDTH}:{HEIGHT}"
        # (the still's right third is dark and flat: the camera keeps off it)
        f":x='(iw-ow)/4*(1+sin(2*PI*t/37))':y='(ih-oh)/2*(1+sin(2*PI*t/23+1))',"
        f"eq=brightness='0.04*sin(2*PI*t/11)':eval=frame,"
        f"vignette=angle=PI/7:x0='w/2+w/4*sin(2*PI*t/13)':y0='h/2+h/4*cos(2*PI*t/17)':eval=frame,"
        f"noise=alls=4:allf=t,format=yuv420p,split[h][v]")
    keyframes = ["-g", str(FPS * GOP_SECONDS), "-keyint_min", str(FPS * GOP_SECONDS)]
    sound = ("aevalsrc='0.25*sin(2*PI*(220+30*sin(t/3))*t)+0.15*sin(2*PI*331*t)*(0.5+0.5*sin(t))"
             "|0.25*sin(2*PI*(277+30*sin(t/4))*t)+0.15*sin(2*PI*440*t)*(0.5+0.5*cos(t))'"
             f":s=48000:c=stereo:d={seconds}")
    ffmpeg("-loop", "1", "-framerate", str(FPS), "-i", still, "-filter_complex", picture,
           "-t", str(seconds),
           # Near what a video site serves at 1080p30: a few Mbit/s.
           "-map", "[h]", "-c:v", "libx264", "-preset", "veryfast", "-profile:v", "high",
           "-crf", "21", "-maxrate", "8M", "-bufsize", "16M", *keyframes,
           "-movflags", "+faststart", os.path.join(folder, "video-h264.mp4"),
           "-map", "[v]", "-t", str(seconds), "-c:v", "libvpx-vp9", "-deadline", "realtime",
           "-cpu-used", "8", "-row-mt", "1", "-b:v", "6M", *keyframes,
           os.path.join(folder, "video-vp9.webm"))
    ffmpeg("-f", "lavfi", "-i", sound, "-c:a", "aac", "-b:a", "128k", "-movflags", "+faststart",
           os.path.join(folder, "audio-aac.m4a"))
    ffmpeg("-f", "lavfi", "-i", sound, "-c:a", "libopus", "-b:a", "128k",
           os.path.join(folder, "audio-opus.webm"))
    write_manifest(manifest, seconds)
    return manifest


def write_manifest(path, seconds):
    # Each rendition is one whole file (a BaseURL and no segments), which
    # yt-dlp hands to ffmpeg as a plain address, as with the big sites.
    def video(mime, rep_id, codecs, base):
        return (f'  <AdaptationSet mimeType="{mime}" contentType="video">\n'
                f'   <Representation id="{rep_id}" codecs="{codecs}" width="{WIDTH}" height="{HEIGHT}"'
                f' frameRate="{FPS}" bandwidth="5000000"><BaseURL>{base}</BaseURL></Representation>\n'
                f'  </AdaptationSet>\n')

    def audio(mime, rep_id, codecs, base):
        return (f'  <AdaptationSet mimeType="{mime}" contentType="audio">\n'
                f'   <Representation id="{rep_id}" codecs="{codecs}" audioSamplingRate="48000"'
                f' bandwidth="128000"><BaseURL>{base}</BaseURL></Representation>\n'
                f'  </AdaptationSet>\n')

    text = ('<?xml version="1.0" encoding="utf-8"?>\n'
            '<MPD xmlns="urn:mpeg:dash:schema:mpd:2011" type="static"'
            ' profiles="urn:mpeg:dash:profile:isoff-on-demand:2011"'
            f' mediaPresentationDuration="PT{seconds}S" minBufferTime="PT2S">\n <Period>\n'
            + video("video/mp4", "h264", "avc1.640028", "video-h264.mp4")
            + video("video/webm", "vp9", "vp9", "video-vp9.webm")
            + audio("audio/mp4", "aac", "mp4a.40.2", "audio-aac.m4a")
            + audio("audio/webm", "opus", "opus", "audio-opus.webm")
            + ' </Period>\n</MPD>\n')
    with open(path, "w") as f:
        f.write(text)


# ---------------------------------------------------------------- server

class RangeHandler(http.server.SimpleHTTPRequestHandler):
    """Serves byte ranges, which ffmpeg needs to seek in MP4 and WebM."""
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{".mpd": "application/dash+xml", ".webm": "video/webm",
                             ".m4a": "audio/mp4", ".mp4": "video/mp4"})

    def log_message(self, *args):
        pass

    def send_head(self):
        path = self.translate_path(self.path)
        if not os.path.isfile(path):
            self.send_error(404)
            return None
        size = os.path.getsize(path)
        first, last = 0, size - 1
        match = re.match(r"bytes=(\d*)-(\d*)$", self.headers.get("Range", ""))
        if match and (match.group(1) or match.group(2)):
            if match.group(1):
                first = int(match.group(1))
                last = min(int(match.group(2)), size - 1) if match.group(2) else size - 1
            else:
                first = max(0, size - int(match.group(2)))
            if first >= size:
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{size}")
                self.end_headers()
                return None
            self.send_response(206)
            self.send_header("Content-Range", f"bytes {first}-{last}/{size}")
        else:
            self.send_response(200)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Length", str(last - first + 1))
        self.send_header("Accept-Ranges", "bytes")
        self.end_headers()
        f = open(path, "rb")
        f.seek(first)
        self.remaining = last - first + 1
        return f

    def copyfile(self, source, outputfile):
        while self.remaining > 0:
            chunk = source.read(min(self.remaining, 1 << 16))
            if not chunk:
                break
            try:
                outputfile.write(chunk)
            except (BrokenPipeError, ConnectionResetError):
                break  # ffmpeg seeks by dropping the connection
            self.remaining -= len(chunk)


def serve(folder):
    handler = functools.partial(RangeHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# ---------------------------------------------------------------- the cut

def clip_job_settings():
    """The encoder setting the clip job passes with "Exact cut", from tools.h."""
    with open(TOOLS_H, encoding="utf-8") as f:
        text = f.read()
    match = re.search(r"YTDLP_EXACT_CUT_ENCODING\[\]\s*=([^;]*);", text)
    # The constant may be written as several adjacent literals.
    return "".join(re.findall(r'L"([^"]*)"', match.group(1))) if match else None


def ytdlp_args(url, start, end, mp4, setting):
    """yt-dlp's arguments in the clip job's order (src/jobs/clipjob.cpp), which
    runs it in the job's folder."""
    args = ["yt-dlp", url, "--no-playlist", "--newline", "--no-mtime", "--encoding", "utf-8",
            "-o", "%(title).80s [%(id).32B].%(ext)s",
            "--ffmpeg-location", os.path.dirname(shutil.which("ffmpeg")),
            "--download-sections", f"*{start:.3f}-{end:.3f}",
            "-f", SELECTOR_MP4 if mp4 else SELECTOR_ANY]
    if mp4:
        args += ["--merge-output-format", "mp4"]
    args += ["--force-keyframes-at-cuts"]
    if setting:
        args += ["--downloader-args", setting]
    return args


def cpu_seconds():
    """Processor time of every finished child, ffmpeg under yt-dlp included:
    unlike wall time, hardly changed by other work on the machine."""
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def cut(url, job, start, end, mp4, setting, verbose):
    """Runs one cut into an empty job folder; returns (wall seconds, processor
    seconds, clip, yt-dlp's output)."""
    shutil.rmtree(job, ignore_errors=True)
    os.makedirs(job)
    args = ytdlp_args(url, start, end, mp4, setting) + (["-v"] if verbose else [])
    began, used = time.monotonic(), cpu_seconds()
    done = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, cwd=job,
                          stderr=subprocess.STDOUT, text=True, env=dict(os.environ, LANG="C.UTF-8"))
    seconds, used = time.monotonic() - began, cpu_seconds() - used
    media = [n for n in os.listdir(job) if n.endswith((".mp4", ".webm", ".mkv"))]
    if done.returncode != 0 or len(media) != 1:
        log(" ".join(args))
        log(done.stdout[-3000:])
        raise SystemExit(f"yt-dlp failed (exit code {done.returncode}, files {os.listdir(job)})")
    return seconds, used, os.path.join(job, media[0]), done.stdout


# ---------------------------------------------------------------- quality

def video_codec(path):
    return run_quiet(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                      "stream=codec_name", "-of", "csv=p=0", path]).strip()


def compare(clip, source, start, length):
    """SSIM (all planes) and PSNR (average) of the clip against the source section."""
    graph = ("[0:v]setpts=PTS-STARTPTS,split[c1][c2];[1:v]setpts=PTS-STARTPTS,split[s1][s2];"
             "[c1][s1]ssim;[c2][s2]psnr")
    out = subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-i", clip,
                          "-ss", f"{start:.3f}", "-t", f"{length:.3f}", "-i", source,
                          "-filter_complex", graph, "-f", "null", "-"],
                         stdin=subprocess.DEVNULL, capture_output=True, text=True).stderr
    ssim = re.search(r"SSIM .* All:([0-9.]+)", out)
    psnr = re.search(r"PSNR .* average:([0-9.inf]+)", out)
    if not ssim or not psnr:
        raise SystemExit("ffmpeg could not compare:\n" + out[-2000:])
    return float(ssim.group(1)), float(psnr.group(1))


def first_frame_offset(clip, source, start):
    """How many frames the clip's first frame lies from the source's frame at
    Start, judged by which of the frames around Start it resembles most."""
    around = 3
    # Half a frame earlier, so rounding cannot decide which frame comes first.
    window_start = start - (around + 0.5) / FPS
    graph = (f"[0:v]trim=end_frame=1,loop=loop={2 * around}:size=1,setpts=N/{FPS}/TB[c];"
             f"[1:v]trim=end_frame={2 * around + 1},setpts=N/{FPS}/TB[s];[c][s]ssim=stats_file=-")
    out = run_quiet(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-i", clip,
                     "-ss", f"{window_start:.4f}", "-i", source,
                     "-filter_complex", graph, "-f", "null", "-"])
    scores = [float(s) for s in re.findall(r"All:([0-9.]+)", out)]
    if len(scores) != 2 * around + 1:
        raise SystemExit("first-frame check: unexpected ffmpeg output:\n" + out[-2000:])
    return scores.index(max(scores)) - around


# ---------------------------------------------------------------- report

def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    return f"nproc {os.cpu_count()}, CPU {model}, load average {load}"


def versions():
    ytdlp = run_quiet(["yt-dlp", "--version"]).strip()
    ff = run_quiet(["ffmpeg", "-version"]).splitlines()[0].split()[2]
    return f"yt-dlp {ytdlp}, ffmpeg {ff}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source-seconds", type=int, default=150, help="length of the sources (150)")
    parser.add_argument("--start", type=float, default=61.0, help="Start of the clip in seconds (61)")
    parser.add_argument("--length", type=float, default=30.0, help="length of the clip in seconds (30)")
    parser.add_argument("--rounds", type=int, default=3, help="runs of each setting; the best counts (3)")
    parser.add_argument("--setting", action="append", default=[],
                        help='another "--downloader-args" value to measure, e.g. "ffmpeg_o:-preset:v fast"')
    parser.add_argument("--verbose", action="store_true",
                        help="run yt-dlp with -v (its output is kept beside the clips)")
    parser.add_argument("--prepare", action="store_true", help="only make the sources")
    parser.add_argument("--only", choices=["mp4", "webm"], help="measure one output only")
    parser.add_argument("--cache", default=os.environ.get("TARNVIK_BENCH_CACHE", "/tmp/tarnvik-bench"),
                        help="folder for the sources and the clips (/tmp/tarnvik-bench)")
    opts = parser.parse_args()
    if opts.start + opts.length > opts.source_seconds:
        parser.error("the section must lie inside the source")

    ensure_tools()
    folder = os.path.join(opts.cache, f"{WIDTH}x{HEIGHT}p{FPS}-{opts.source_seconds}s")
    make_sources(folder, opts.source_seconds)
    if opts.prepare:
        return
    server = serve(folder)
    url = f"http://127.0.0.1:{server.server_address[1]}/manifest.mpd"
    job = os.path.join(opts.cache, "job")
    clips = os.path.join(opts.cache, "clips")
    shutil.rmtree(clips, ignore_errors=True)
    os.makedirs(clips)

    settings = [("before", None)]
    chosen = clip_job_settings()
    if chosen:
        settings.append(("clip job", chosen))
    settings += [(f"try {i + 1}", s) for i, s in enumerate(opts.setting)]
    outputs = [("MP4 (Prefer MP4 on)", True, "video-h264.mp4"),
               ("WebM (Prefer MP4 off)", False, "video-vp9.webm")]
    if opts.only:
        outputs = [o for o in outputs if ("MP4" if opts.only == "mp4" else "WebM") in o[0]]
    start, end = opts.start, opts.start + opts.length
    load_before = machine()

    best, least_cpu, quality = {}, {}, {}
    for round_no in range(opts.rounds):
        # Interleaved, so that a change in the machine's load hits every
        # setting alike.
        for out_name, mp4, _ in outputs:
            for name, setting in settings:
                seconds, used, clip, output = cut(url, job, start, end, mp4, setting, opts.verbose)
                key = (out_name, name)
                log(f"round {round_no + 1}: {out_name}, {name}: {seconds:.1f} s, processor {used:.1f} s")
                best[key] = min(best.get(key, seconds), seconds)
                least_cpu[key] = min(least_cpu.get(key, used), used)
                if key not in quality:
                    # The encoders give the same file every round; judge the first.
                    kept = os.path.join(clips, f"{'mp4' if mp4 else 'any'}-{name.replace(' ', '-')}")
                    with open(kept + ".log", "w") as f:
                        f.write(output)
                    kept += os.path.splitext(clip)[1]
                    shutil.move(clip, kept)
                    quality[key] = (os.path.getsize(kept), video_codec(kept), kept)

    print(f"Exact cut of {start:.3f}-{end:.3f} s ({opts.length:g} s) from {opts.source_seconds} s "
          f"{WIDTH}x{HEIGHT} {FPS} fps sources, best of {opts.rounds} round(s); {versions()}")
    print(f"before: {load_before}")
    rows = []
    for out_name, mp4, source_name in outputs:
        source = os.path.join(folder, source_name)
        base_time = best[(out_name, "before")]
        base_size = quality[(out_name, "before")][0]
        base_cpu = least_cpu[(out_name, "before")]
        base_ssim = None
        for name, setting in settings:
            size, codec, clip = quality[(out_name, name)]
            ssim, psnr = compare(clip, source, start, opts.length)
            base_ssim = ssim if base_ssim is None else base_ssim
            offset = first_frame_offset(clip, source, start)
            key = (out_name, name)
            rows.append([out_name, name, codec, f"{best[key]:.1f}", f"{base_time / best[key]:.2f}x",
                         f"{least_cpu[key]:.1f}", f"{base_cpu / least_cpu[key]:.2f}x", f"{size / 1e6:.2f}",
                         f"{size / base_size:.2f}", f"{ssim:.4f}", f"{ssim - base_ssim:+.4f}",
                         f"{psnr:.2f}", "yes" if offset == 0 else f"no ({offset:+d} frames)"])
    print(f"after:  {machine()}")
    head = ["output", "setting", "codec", "time s", "speed", "cpu s", "cpu speed", "size MB", "size x", "SSIM",
            "dSSIM", "PSNR dB", "first frame at Start"]
    widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
    for r in [head] + rows:
        print("  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip())
    for name, setting in settings:
        print(f"{name}: " + (f'--downloader-args "{setting}"' if setting else "no encoder setting"))
    server.shutdown()


if __name__ == "__main__":
    main()
