#!/usr/bin/env python3
"""How fast a clip's section arrives from a server that throttles long answers.

A 10-minute 720p video (H.264 + AAC as fragmented MP4 with its index at the
head, VP9 + Opus as WebM with its Cues in front) is served on 127.0.0.1 by
tests/native/throttle_server.py twice: with the throttle (answers longer
than 10 MiB at 64 KiB/s, shorter ones at 4 MB/s) and without it. Clips of
30 s at 5:00, 30 s at 9:00 and from 9:30 with End blank, copy and exact,
are fetched from a look-up's information file (as the clip job does after
a look-up) two ways:

  today      yt-dlp with the clip job's arguments and "--download-sections"
             (its ffmpeg asks for the files from a byte on, to their end);
             an exact cut then runs Tarnvik's steps on the section
  fragments  Tarnvik's fragment road: yt-dlp resolves the formats, fetches
             each file's head and then only the fragments that hold the
             section in pieces of 1 MiB, eight at a time, and ffmpeg cuts the clip
             from them (tests/native/fetch_clip.cpp, built from Tarnvik's
             own planner and command lines)

It prints a table: wall time, bytes fetched, the largest request, the
number of requests, and the bytes of the fragments that hold the section;
then whether the goals are met (with the throttle at most 1.3 times the
time without it, at least 10 times faster than today under the throttle, at
most 1.5 times the section's fragments). Not a test. The first run makes the
video (some minutes on two cores) and keeps it in /tmp/tarnvik-bench-frag
(or $TARNVIK_BENCH_CACHE).

    tests/bench/section-fetch.py
    tests/bench/section-fetch.py --only mp4 --clip 300 --mode copy
    tests/bench/section-fetch.py --road fragments --repeat 5
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SERVER = os.path.join(ROOT, "tests", "native", "throttle_server.py")
SECONDS = 600
CLIPS = [(300.0, 330.0), (540.0, 570.0), (570.0, None)]
SELECTORS = {  # the clip job's "Prefer MP4" selector and arguments, and a WebM pair
    "mp4": ["-f", "bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b", "--merge-output-format", "mp4"],
    "webm": ["-f", "bv*[ext=webm]+ba[ext=webm]"],
}
FILES = {"mp4": ("video.mp4", "audio.m4a"), "webm": ("video.webm", "audio.webm")}


def clip_name(start, end):
    return f"{start:.0f}-" + ("end" if end is None else f"{end:.0f}")


def log(text):
    print(text, file=sys.stderr, flush=True)


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def make_sources(cache, kinds):
    os.makedirs(cache, exist_ok=True)
    picture = ["-f", "lavfi", "-i", f"testsrc2=size=1280x720:rate=30", "-t", str(SECONDS),
               "-g", "150", "-keyint_min", "150"]
    sound = ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", str(SECONDS)]
    frag = ["-movflags", "+frag_keyframe+empty_moov+default_base_moof+global_sidx"]
    jobs = {
        "video.mp4": picture + ["-c:v", "libx264", "-preset", "veryfast", "-b:v", "2500k", "-sc_threshold", "0"] + frag + ["-f", "mp4"],
        "audio.m4a": sound + ["-c:a", "aac", "-b:a", "128k", "-frag_duration", "5000000"] + frag + ["-f", "mp4"],
        "video.webm": picture + ["-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "2000k",
                                 "-cues_to_front", "1", "-f", "webm"],
        "audio.webm": sound + ["-c:a", "libopus", "-b:a", "128k", "-cues_to_front", "1", "-f", "webm"],
    }
    for name, args in jobs.items():
        path = os.path.join(cache, name)
        if not any(name in FILES[kind] for kind in kinds):
            continue
        if not os.path.exists(path):
            log(f"making {name}…")
            subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-v", "error", "-y"] + args + [path + ".part"],
                           check=True)
            os.replace(path + ".part", path)


def build_driver(cache):
    out = os.path.join(cache, "fetch_clip")
    sources = [os.path.join(ROOT, p) for p in ("tests/native/fetch_clip.cpp", "tests/native/run_cut.cpp",
                                               "tests/native/fetch_run.cpp")]
    sources += [os.path.join(ROOT, "src", d, f) for d in ("text", "media")
                for f in sorted(os.listdir(os.path.join(ROOT, "src", d))) if f.endswith(".cpp")]
    log("building the fragment driver…")
    subprocess.run(["g++", "-std=c++17", "-O2", "-I", os.path.join(ROOT, "src"), "-I",
                    os.path.join(ROOT, "tests", "native"), "-o", out]
                   + sources, check=True)
    return out


def start_server(cache, throttled, logfile):
    port_file = logfile + ".port"
    for p in (port_file, logfile):
        if os.path.exists(p):
            os.remove(p)
    args = ["python3", SERVER, cache, "--log", logfile, "--port-file", port_file, "--idle", "900"]
    if not throttled:
        args += ["--slow", "0", "--fast", "0"]
    proc = subprocess.Popen(args)
    while not os.path.exists(port_file):
        if proc.poll() is not None:
            sys.exit("the server did not start")
        time.sleep(0.05)
    return proc, int(open(port_file).read())


def site_info(cache, port, path):
    base = f"http://127.0.0.1:{port}/"

    def fmt(fid, name, ext, vcodec, acodec, height):
        if not os.path.exists(os.path.join(cache, name)):
            return None
        return {"format_id": fid, "url": base + name, "ext": ext, "protocol": "http", "vcodec": vcodec,
                "acodec": acodec, "height": height, "width": height * 16 // 9 if height else None,
                "filesize": os.path.getsize(os.path.join(cache, name))}
    info = {"id": "bench1", "title": "Bench clip", "extractor": "generic", "extractor_key": "Generic",
            "webpage_url": base + "watch", "duration": SECONDS,
            "formats": [fmt("v-avc", "video.mp4", "mp4", "avc1.64001f", "none", 720),
                        fmt("a-aac", "audio.m4a", "m4a", "none", "mp4a.40.2", None),
                        fmt("v-vp9", "video.webm", "webm", "vp9", "none", 720),
                        fmt("a-opus", "audio.webm", "webm", "none", "opus", None)]}
    info["formats"] = [f for f in info["formats"] if f]
    with open(path, "w") as f:
        json.dump(info, f)


def requests(logfile):
    if not os.path.exists(logfile):
        return []
    with open(logfile) as f:
        return [json.loads(line) for line in f if line.strip()]


def section_bytes(driver_cache, cache, names, start, end):
    """Bytes of the fragments holding the section, from ffprobe's packet positions of each file."""
    total = 0
    for name in names:
        out = run(["ffprobe", "-v", "error", "-show_entries", "packet=pts_time,pos,size,flags", "-of", "csv=p=0",
                   os.path.join(cache, name)]).stdout.split()
        keys = []
        for row in out:
            parts = row.split(",")
            if len(parts) >= 4 and parts[0] not in ("N/A", "") and parts[2] != "N/A" and "K" in parts[3]:
                keys.append((float(parts[0]), int(parts[2])))
        keys.sort()
        size = os.path.getsize(os.path.join(cache, name))
        stop = end if end is not None else SECONDS + 1
        first = max([p for t, p in keys if t <= start + 1e-6] or [keys[0][1]])
        later = [p for t, p in keys if t >= stop - 1e-6]
        total += (min(later) if later else size) - first
    return total


def clip_today(ytdlp_dir, info, start, end, options, exact, driver_cut):
    section = f"*{start:.3f}-{end:.3f}" if end is not None else f"*{start:.3f}-inf"
    args = ["yt-dlp", "--load-info-json", info, "--no-playlist", "--newline", "--no-mtime", "--encoding", "utf-8",
            "-o", "%(title).80s [%(id)s].%(ext)s", "--download-sections", section] + options
    out = run(args, cwd=ytdlp_dir)
    if out.returncode != 0:
        return False
    if exact:
        name = [n for n in os.listdir(ytdlp_dir) if n.startswith("Bench clip")][0]
        r = run([driver_cut, ytdlp_dir, name, str(start), str(end if end is not None else -1), str(SECONDS)],
                cwd=ytdlp_dir)
        return r.returncode == 0
    return True


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--only", choices=["mp4", "webm"])
    p.add_argument("--clip", type=float, action="append", help="only the clips starting there (300, 540, 570)")
    p.add_argument("--mode", choices=["copy", "exact"], action="append")
    p.add_argument("--road", choices=["today", "fragments"], action="append")
    p.add_argument("--repeat", type=int, default=1, help="runs of each row; the median time is printed")
    p.add_argument("--cache", default=os.environ.get("TARNVIK_BENCH_CACHE", "/tmp/tarnvik-bench-frag"))
    a = p.parse_args()
    for tool in ("yt-dlp", "ffmpeg", "g++"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing: . scripts/lib.sh; ensure_packages")
    kinds = [a.only] if a.only else ["mp4", "webm"]
    make_sources(a.cache, kinds)
    driver = build_driver(a.cache)
    cut_driver = os.path.join(a.cache, "cut_steps")
    subprocess.run(["g++", "-std=c++17", "-O2", "-I", os.path.join(ROOT, "src"), "-o", cut_driver,
                    os.path.join(ROOT, "tests/native/cut_steps.cpp"), os.path.join(ROOT, "tests/native/run_cut.cpp")]
                   + [os.path.join(ROOT, "src", room, f) for room in ("text", "media")
                      for f in sorted(os.listdir(os.path.join(ROOT, "src", room))) if f.endswith(".cpp")], check=True)
    rows = []
    servers = {}
    try:
        for throttled in (True, False):
            logfile = os.path.join(a.cache, f"requests-{'slow' if throttled else 'fast'}.jsonl")
            servers[throttled] = (start_server(a.cache, throttled, logfile), logfile)
        for kind in kinds:
            for start, end in CLIPS:
                if a.clip and start not in a.clip:
                    continue
                section = section_bytes(a.cache, a.cache, FILES[kind], start, end)
                for mode in (a.mode or ["copy", "exact"]):
                    for road in (a.road or ["today", "fragments"]):
                        for throttled in (True, False):
                            (proc, port), logfile = servers[throttled]
                            times = []
                            for _ in range(a.repeat):
                                work = tempfile.mkdtemp(prefix="tarnvik-frag-")
                                info = os.path.join(work, "site.info.json")
                                site_info(a.cache, port, info)
                                open(logfile, "w").close()
                                began = time.monotonic()
                                if road == "today":
                                    ok = clip_today(work, info, start, end, SELECTORS[kind], mode == "exact",
                                                    cut_driver)
                                else:
                                    r = run([driver, work, "site.info.json", str(start),
                                             str(end if end is not None else -1), "1" if mode == "exact" else "0"]
                                            + SELECTORS[kind])
                                    ok = r.returncode == 0
                                    if not ok:
                                        log(r.stdout[-2000:])
                                times.append(time.monotonic() - began)
                                shutil.rmtree(work, ignore_errors=True)
                                if not ok:
                                    break
                            seconds = sorted(times)[len(times) // 2]
                            reqs = requests(logfile)
                            rows.append(dict(kind=kind, start=start, end=end, mode=mode, road=road,
                                             throttled=throttled, ok=ok, seconds=seconds,
                                             bytes=sum(r["sent"] for r in reqs),
                                             largest=max([r["sent"] for r in reqs] or [0]), count=len(reqs),
                                             section=section))
                            r = rows[-1]
                            log(f"{kind} {clip_name(start, end)} {mode} {road} "
                                f"{'throttled' if throttled else 'open'}: {seconds:.1f} s, {r['bytes'] / 1e6:.2f} MB")
    finally:
        for (proc, _), _ in servers.values():
            proc.terminate()
            proc.wait()
    print(f"{'file':5} {'clip':10} {'cut':5} {'road':9} {'server':9} {'ok':3} {'seconds':>8} {'MB':>8} "
          f"{'largest MB':>10} {'requests':>8} {'section MB':>10}")
    for r in rows:
        clip = clip_name(r["start"], r["end"])
        print(f"{r['kind']:5} {clip:10} {r['mode']:5} {r['road']:9} {'throttled' if r['throttled'] else 'open':9} "
              f"{'yes' if r['ok'] else 'NO':3} {r['seconds']:8.1f} {r['bytes'] / 1e6:8.2f} {r['largest'] / 1e6:10.2f} "
              f"{r['count']:8d} {r['section'] / 1e6:10.2f}")
    print()
    for r in rows:
        if r["road"] != "fragments" or not r["throttled"]:
            continue
        match = lambda road, thr: next((x for x in rows if x["kind"] == r["kind"] and x["start"] == r["start"]
                                        and x["mode"] == r["mode"] and x["road"] == road and x["throttled"] == thr),
                                       None)
        open_ = match("fragments", False)
        today = match("today", True)
        clip = clip_name(r["start"], r["end"])
        ratio = f"{r['seconds'] / open_['seconds']:.2f}" if open_ else "-"
        faster = f"{today['seconds'] / r['seconds']:.1f}x" if today else "-"
        print(f"{r['kind']} {clip} {r['mode']}: throttled/open {ratio} (goal <= 1.3), "
              f"today/fragments {faster} (goal >= 10), bytes/section {r['bytes'] / r['section']:.2f} (goal <= 1.5)")


if __name__ == "__main__":
    main()
