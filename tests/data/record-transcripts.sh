#!/bin/bash
# Re-records tests/data/transcripts/*.txt: what Debian's yt-dlp and ffmpeg
# print (standard output and standard error in one stream, as Tarnvik reads
# them) while cutting a section out of a generated test video served on
# 127.0.0.1. The clip job's tests replay these files through a fake yt-dlp,
# so the tests themselves need neither tool.
#
#   exact-cut.txt   one mp4 file, "--force-keyframes-at-cuts" (ffmpeg re-encodes)
#   audio-only.txt  "-f ba/b -x": section download, then [ExtractAudio]
#   merge.txt       a DASH manifest with separate video and audio streams,
#                   "--merge-output-format mp4": with a section asked for,
#                   yt-dlp lets one ffmpeg run fetch and merge both streams
#   merge-separate.txt  the same with "--compat-options no-direct-merge", the
#                   way yt-dlp merges without sections: two downloads, then
#                   a [Merger] line
#
# The arguments follow the clip job's command line. The video's file name
# holds non-ASCII letters so that the titles in the output do too.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/transcripts
work=$(mktemp -d /tmp/tarnvik-record.XXXXXX)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if ! command -v yt-dlp >/dev/null || ! command -v ffmpeg >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq yt-dlp ffmpeg >/dev/null
fi

title="Café – Ünïcode"
url_name="Caf%C3%A9%20%E2%80%93%20%C3%9Cn%C3%AFcode"
mkdir -p "$work/site/dash" "$work/job"

# 40 s of 720p test picture and a tone, moov atom first: Python's server
# ignores range requests, so ffmpeg must be able to read the file in order.
ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i testsrc=size=1280x720:rate=25:duration=40 \
    -f lavfi -i sine=frequency=440:duration=40 \
    -c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p -c:a aac -b:a 96k \
    -shortest -movflags +faststart "$work/site/$title.mp4"
ffmpeg -hide_banner -loglevel error -y -i "$work/site/$title.mp4" \
    -map 0:v -map 0:a -c copy -f dash -seg_duration 4 \
    -adaptation_sets "id=0,streams=v id=1,streams=a" "$work/site/dash/$title.mpd"

(cd "$work/site" && exec python3 -m http.server --bind 127.0.0.1 0) >"$work/server.log" 2>&1 &
server=$!
port=""
for _ in $(seq 50); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/server.log" | head -n 1)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "the test server did not start" >&2; exit 1; }

record() {
    name=$1; url=$2; shift 2
    rm -rf "$work/job"/*
    LANG=C.UTF-8 yt-dlp "$url" --no-playlist --newline --no-mtime --encoding utf-8 \
        -o "$work/job/%(title).80s [%(id)s].%(ext)s" --ffmpeg-location /usr/bin "$@" \
        </dev/null >"$work/$name.txt" 2>&1
    # Our temporary folder's random name would change every recording.
    sed "s|$work/job|/tmp/tarnvik-record/job|g" "$work/$name.txt" >"$out/$name.txt"
    echo "$name.txt: $(wc -l <"$out/$name.txt") lines; made: $(ls "$work/job")"
}

mkdir -p "$out"
base="http://127.0.0.1:$port"
record exact-cut "$base/$url_name.mp4" --download-sections "*5.000-25.000" \
    -f "bv*+ba/b" --force-keyframes-at-cuts
record audio-only "$base/$url_name.mp4" --download-sections "*10.000-30.000" \
    -f "ba/b" -x
record merge "$base/dash/$url_name.mpd" --download-sections "*0-12.000" \
    -f "bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b" --merge-output-format mp4
record merge-separate "$base/dash/$url_name.mpd" --download-sections "*0-12.000" \
    -f "bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b" --merge-output-format mp4 \
    --compat-options no-direct-merge
