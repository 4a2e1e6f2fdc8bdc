#!/usr/bin/env python3
"""How long an exact cut takes, how big it is and how it looks.

Runs Debian's yt-dlp and ffmpeg the way Tarnvik's clip job does ("Up to
1080p", cookies "none"; "Prefer MP4" ticked and not) against generated
1080p30 videos served on 127.0.0.1, three ways:
  "copy cut"     "Exact cut" off: yt-dlp copies the section;
  "re-encode"    the exact cut as it was: yt-dlp with
                 "--force-keyframes-at-cuts" and the encoder settings of
                 src/proc/tools.h, re-encoding the whole section (and one
                 "try" per --setting);
  "in steps"     the exact cut as it is now: the copy cut, then the steps
                 Tarnvik's own planner (src/media/cut_*.cpp, built here into
                 a small native program) plans for it: the head up to the
                 first key frame after Start re-encoded, the rest copied.
Rounds are interleaved. It prints a table: wall time and processor time
(best of the rounds), size, the head's PSNR and SSIM against the source's
frames (the frames from Start up to the first key frame after it), the
share of the later frames that are bit for bit the source's, frames hidden
by an edit list, whether the first frame is the frame at Start and whether
the clip decodes without an error; then the goals of the cut in steps.

The sources are generated once and kept in the cache folder (default
/tmp/tarnvik-bench, or $TARNVIK_BENCH_CACHE): a panned, grainy, detailed
still with a moving highlight, as H.264 in MP4 and VP9 in WebM with key
frames every 5 s, AAC and Opus audio, listed in a DASH manifest the way
video sites list theirs (heights included, which the clip job's format
selector filters by).

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
ROOT = os.path.join(HERE, "..", "..")
TOOLS_H = os.path.join(ROOT, "src", "proc", "tools.h")
# What the clip job passed yt-dlp for an exact cut before it cut in steps,
# for when tools.h no longer holds it.
FORMER_ENCODING = ("ffmpeg_o:-preset:v superfast -x264-params:v crf=24 "
                   "-deadline:v realtime -cpu-used:v 5 -row-mt:v 1")
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
    if shutil.which("yt-dlp") and shutil.which("ffmpeg") and shutil.which("g++"):
        return
    log("installing yt-dlp, ffmpeg and g++ with apt-get…")
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "update", "-qq"], check=True)
    subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "yt-dlp", "ffmpeg", "g++"],
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
    """The encoder setting the clip job passed with "Exact cut", from tools.h."""
    with open(TOOLS_H, encoding="utf-8") as f:
        text = f.read()
    match = re.search(r"YTDLP_EXACT_CUT_ENCODING\[\]\s*=([^;]*);", text)
    # The constant may be written as several adjacent literals.
    return "".join(re.findall(r'L"([^"]*)"', match.group(1))) if match else FORMER_ENCODING


def build_driver(cache):
    """The native program that runs Tarnvik's planner (tests/native/cut_steps.cpp)."""
    out = os.path.join(cache, "cut_steps")
    native = os.path.join(ROOT, "tests", "native")
    sources = ([os.path.join(native, "cut_steps.cpp"), os.path.join(native, "run_cut.cpp")]
               + [os.path.join(ROOT, "src", room, n) for room in ("text", "media")
                  for n in sorted(os.listdir(os.path.join(ROOT, "src", room))) if n.endswith(".cpp")])
    if not os.path.exists(out) or any(os.path.getmtime(s) > os.path.getmtime(out) for s in sources):
        log("building the planner's driver…")
        run_quiet(["g++", "-std=c++17", "-O2", "-I", os.path.join(ROOT, "src"), "-o", out] + sources)
    return out


def ytdlp_args(url, start, end, mp4, exact, setting):
    """yt-dlp's arguments in the clip job's order (src/jobs/clipjob.cpp), which
    runs it in the job's folder."""
    args = ["yt-dlp", url, "--no-playlist", "--newline", "--no-mtime", "--encoding", "utf-8",
            "-o", "%(title).80s [%(id).32B].%(ext)s",
            "--ffmpeg-location", os.path.dirname(shutil.which("ffmpeg")),
            "--download-sections", f"*{start:.3f}-{end:.3f}",
            "-f", SELECTOR_MP4 if mp4 else SELECTOR_ANY]
    if mp4:
        args += ["--merge-output-format", "mp4"]
    if exact:
        args += ["--force-keyframes-at-cuts"]
    if setting:
        args += ["--downloader-args", setting]
    return args


def cpu_seconds():
    """Processor time of every finished child, ffmpeg under yt-dlp included:
    unlike wall time, hardly changed by other work on the machine."""
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run_logged(args, log_lines, cwd=None):
    done = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, cwd=cwd,
                          stderr=subprocess.STDOUT, text=True, env=dict(os.environ, LANG="C.UTF-8"))
    log_lines.append("$ " + " ".join(args) + "\n" + done.stdout)
    return done.returncode


def cut(url, job, start, end, mp4, method, setting, driver, verbose):
    """Runs one cut into an empty job folder; returns (wall seconds, processor
    seconds, clip, the tools' output)."""
    shutil.rmtree(job, ignore_errors=True)
    os.makedirs(job)
    args = ytdlp_args(url, start, end, mp4, method == "re-encode", setting) + (["-v"] if verbose else [])
    output = []
    began, used = time.monotonic(), cpu_seconds()
    code = run_logged(args, output, cwd=job)
    media = [n for n in os.listdir(job) if n.endswith((".mp4", ".webm", ".mkv"))]
    if code == 0 and len(media) == 1 and method == "in steps":
        code = run_logged([driver, job, media[0], f"{start:.3f}", f"{end:.3f}"], output)
    seconds, used = time.monotonic() - began, cpu_seconds() - used
    media = [n for n in os.listdir(job) if n.endswith((".mp4", ".webm", ".mkv"))]
    if code != 0 or len(media) != 1:
        log("\n".join(output)[-4000:])
        raise SystemExit(f"the cut failed (exit code {code}, files {os.listdir(job)})")
    return seconds, used, os.path.join(job, media[0]), "\n".join(output)


# ---------------------------------------------------------------- quality

def video_codec(path):
    return run_quiet(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                      "stream=codec_name", "-of", "csv=p=0", path]).strip()


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


def frame_sums(args):
    out = run_quiet(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin"] + args
                    + ["-map", "0:v:0", "-f", "framemd5", "-"])
    return [line.rsplit(" ", 1)[-1] for line in out.splitlines() if line and not line.startswith("#")]


def tail_equal_share(clip, source, start, length, head_frames):
    """The share of the clip's frames after the head that are bit for bit the
    source's own frames at the same place."""
    mine = frame_sums(["-i", clip])
    theirs = frame_sums(["-ss", f"{start:.3f}", "-i", source, "-t", f"{length:.3f}"])
    count = min(len(mine), len(theirs))
    if count <= head_frames:
        return 0.0
    return sum(mine[i] == theirs[i] for i in range(head_frames, count)) / (count - head_frames)


def head_quality(clip, source, start, head_frames):
    """SSIM and PSNR of the clip's first head_frames frames against the source's from Start."""
    graph = (f"[0:v]trim=end_frame={head_frames},setpts=N,split[c1][c2];"
             f"[1:v]trim=end_frame={head_frames},setpts=N,split[s1][s2];[c1][s1]ssim;[c2][s2]psnr")
    out = subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-i", clip, "-ss", f"{start:.3f}", "-i", source,
                          "-filter_complex", graph, "-f", "null", "-"],
                         stdin=subprocess.DEVNULL, capture_output=True, text=True).stderr
    ssim = re.search(r"SSIM .* All:([0-9.]+)", out)
    psnr = re.search(r"PSNR .* average:([0-9.inf]+)", out)
    if not ssim or not psnr:
        raise SystemExit("ffmpeg could not compare the head:\n" + out[-2000:])
    return float(ssim.group(1)), float(psnr.group(1))


def hidden_frames(clip):
    out = run_quiet(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=flags",
                     "-of", "csv=p=0", clip])
    return sum("D" in line for line in out.splitlines())


def decodes_cleanly(clip):
    done = subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-v", "error", "-xerror", "-i", clip,
                           "-f", "null", "-"], stdin=subprocess.DEVNULL, capture_output=True, text=True)
    return done.returncode == 0 and not done.stderr.strip()


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
    parser.add_argument("--start", type=float, default=61.0,
                        help="Start of the clip in seconds (61, between the key frames at 60 and 65)")
    parser.add_argument("--length", type=float, default=30.0, help="length of the clip in seconds (30)")
    parser.add_argument("--rounds", type=int, default=3, help="runs of each way; the best counts (3)")
    parser.add_argument("--setting", action="append", default=[],
                        help='another "--downloader-args" value for re-encoding, e.g. "ffmpeg_o:-preset:v fast"')
    parser.add_argument("--verbose", action="store_true",
                        help="run yt-dlp with -v (its output is kept beside the clips)")
    parser.add_argument("--prepare", action="store_true", help="only make the sources")
    parser.add_argument("--only", choices=["mp4", "webm"], help="measure one output only")
    parser.add_argument("--skip-reencode", action="store_true", help="leave out the re-encoding exact cut")
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
    driver = build_driver(opts.cache)
    server = serve(folder)
    url = f"http://127.0.0.1:{server.server_address[1]}/manifest.mpd"
    job = os.path.join(opts.cache, "job")
    clips = os.path.join(opts.cache, "clips")
    shutil.rmtree(clips, ignore_errors=True)
    os.makedirs(clips)

    ways = [("copy cut", "copy", None)]
    if not opts.skip_reencode:
        ways.append(("re-encode", "re-encode", clip_job_settings()))
        ways += [(f"try {i + 1}", "re-encode", s) for i, s in enumerate(opts.setting)]
    ways.append(("in steps", "in steps", None))
    outputs = [("MP4 (Prefer MP4 on)", True, "video-h264.mp4"),
               ("WebM (Prefer MP4 off)", False, "video-vp9.webm")]
    if opts.only:
        outputs = [o for o in outputs if o[0].startswith("MP4" if opts.only == "mp4" else "WebM")]
    start, end = opts.start, opts.start + opts.length
    # The source's first key frame at or after Start ends the head.
    seam = -(-start // GOP_SECONDS) * GOP_SECONDS
    head_frames = round((min(seam, end) - start) * FPS)
    load_before = machine()

    best, least_cpu, kept = {}, {}, {}
    for round_no in range(opts.rounds):
        # Interleaved, so that a change in the machine's load hits every way alike.
        for out_name, mp4, _ in outputs:
            for name, method, setting in ways:
                seconds, used, clip, output = cut(url, job, start, end, mp4, method, setting, driver,
                                                  opts.verbose)
                key = (out_name, name)
                log(f"round {round_no + 1}: {out_name}, {name}: {seconds:.1f} s, processor {used:.1f} s")
                best[key] = min(best.get(key, seconds), seconds)
                least_cpu[key] = min(least_cpu.get(key, used), used)
                if key not in kept:
                    # The encoders give the same file every round; judge the first.
                    path = os.path.join(clips, f"{'mp4' if mp4 else 'any'}-{name.replace(' ', '-')}")
                    with open(path + ".log", "w") as f:
                        f.write(output)
                    path += os.path.splitext(clip)[1]
                    shutil.move(clip, path)
                    kept[key] = path

    print(f"Exact cut of {start:.3f}-{end:.3f} s ({opts.length:g} s) from {opts.source_seconds} s "
          f"{WIDTH}x{HEIGHT} {FPS} fps sources with key frames every {GOP_SECONDS} s, best of "
          f"{opts.rounds} round(s); head {head_frames} frames; {versions()}")
    print(f"before: {load_before}")
    rows, goals = [], []
    for out_name, mp4, source_name in outputs:
        source = os.path.join(folder, source_name)
        copy_key = (out_name, "copy cut")
        copy_size = os.path.getsize(kept[copy_key])
        for name, _, _ in ways:
            key = (out_name, name)
            clip = kept[key]
            size = os.path.getsize(clip)
            ssim, psnr = head_quality(clip, source, start, head_frames)
            share = tail_equal_share(clip, source, start, opts.length, head_frames)
            offset = first_frame_offset(clip, source, start)
            hidden = hidden_frames(clip)
            clean = decodes_cleanly(clip)
            rows.append([out_name, name, video_codec(clip), f"{best[key]:.1f}", f"{best[key] / best[copy_key]:.2f}x",
                         f"{least_cpu[key]:.1f}", f"{size / 1e6:.2f}", f"{size / copy_size:.2f}x",
                         f"{psnr:.2f}", f"{ssim:.4f}", f"{100 * share:.1f} %", str(hidden),
                         "yes" if offset == 0 and hidden == 0 else f"no ({offset:+d} frames, {hidden} hidden)"
                         if hidden else f"no ({offset:+d} frames)", "yes" if clean else "NO"])
            if name == "in steps":
                ratio, size_ratio = best[key] / best[copy_key], size / copy_size
                goals.append(f"{out_name}: time {ratio:.2f}x copy (goal <= 1.5: {'met' if ratio <= 1.5 else 'MISSED'}), "
                             f"size {size_ratio:.2f}x (<= 1.15: {'met' if size_ratio <= 1.15 else 'MISSED'}), "
                             f"tail {100 * share:.1f} % equal ({'met' if share == 1 else 'MISSED'}), "
                             f"head PSNR {psnr:.2f} dB (>= 45: {'met' if psnr >= 45 else 'MISSED'}), "
                             f"first frame at Start: {'met' if offset == 0 and hidden == 0 else 'MISSED'}, "
                             f"decode errors: {'none' if clean else 'SOME'}")
    print(f"after:  {machine()}")
    head = ["output", "way", "codec", "time s", "x copy", "cpu s", "size MB", "x copy", "head PSNR",
            "head SSIM", "tail equal", "hidden", "first frame at Start", "clean"]
    widths = [max(len(str(r[i])) for r in rows + [head]) for i in range(len(head))]
    for r in [head] + rows:
        print("  ".join(str(c).ljust(w) for c, w in zip(r, widths)).rstrip())
    for name, method, setting in ways:
        if method == "re-encode":
            print(f'{name}: --force-keyframes-at-cuts --downloader-args "{setting}"')
    print("Goals of the cut in steps:")
    for g in goals:
        print("  " + g)
    server.shutdown()


if __name__ == "__main__":
    main()
