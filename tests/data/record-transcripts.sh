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
#   lookup.txt      the look-up of a video page (schema.org VideoObject):
#                   Tarnvik's "--print" line with title, length and live
#   lookup-not-a-video.txt  the look-up of a page without a video
#   lookup-two-videos.txt   the look-up of a page with two videos
#   load-info-expired.txt   a clip from the look-up's kept information whose
#                   media address the site now refuses (HTTP 403)
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

# The look-up's page: what the generic extractor reads title and length from.
page() {
    cat <<PAGE
<!DOCTYPE html><html><head><meta charset="utf-8"><title>$title</title>
<script type="application/ld+json">{"@context": "https://schema.org", "@type": "VideoObject",
 "name": "$title", "duration": "PT40S", "contentUrl": "$1", "uploadDate": "2026-01-01"}</script>
</head><body><p>$title</p></body></html>
PAGE
}
echo '<!DOCTYPE html><html><head><title>No video</title></head><body><p>Nothing to play.</p></body></html>' \
    >"$work/site/not-a-video.html"
echo "<!DOCTYPE html><html><head><title>$title</title></head><body><video src=\"$url_name.mp4\"></video>" \
    "<video src=\"dash/$url_name.mpd\"></video></body></html>" >"$work/site/two-videos.html"

# Python's file server, but "/expired/…" answers 403, as a site does for a
# media address that has expired.
cat >"$work/server.py" <<'SERVER'
import http.server, sys
class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/expired/"):
            return self.send_error(403, "Forbidden")
        return super().do_GET()
http.server.test(HandlerClass=Handler, bind="127.0.0.1", port=0)
SERVER
(cd "$work/site" && exec python3 "$work/server.py") >"$work/server.log" 2>&1 &
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
    # No address with "--load-info-json"; a failure is recorded like the rest.
    LANG=C.UTF-8 yt-dlp ${url:+"$url"} --no-playlist --newline --no-mtime --encoding utf-8 \
        -o "$work/job/%(title).80s [%(id)s].%(ext)s" --ffmpeg-location /usr/bin "$@" \
        </dev/null >"$work/$name.txt" 2>&1 || true
    # Our temporary folder's random name would change every recording.
    sed "s|$work/job|/tmp/tarnvik-record/job|g" "$work/$name.txt" >"$out/$name.txt"
    echo "$name.txt: $(wc -l <"$out/$name.txt") lines; made: $(ls "$work/job")"
}

mkdir -p "$out"
base="http://127.0.0.1:$port"
page "$base/$url_name.mp4" >"$work/site/watch.html"
record exact-cut "$base/$url_name.mp4" --download-sections "*5.000-25.000" \
    -f "bv*+ba/b" --force-keyframes-at-cuts
record audio-only "$base/$url_name.mp4" --download-sections "*10.000-30.000" \
    -f "ba/b" -x
record merge "$base/dash/$url_name.mpd" --download-sections "*0-12.000" \
    -f "bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b" --merge-output-format mp4
record merge-separate "$base/dash/$url_name.mpd" --download-sections "*0-12.000" \
    -f "bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b" --merge-output-format mp4 \
    --compat-options no-direct-merge

# The look-up as the program runs it, in a folder of its own as the current
# folder; the template comes from the program's source.
template=$(sed -n 's/^const wchar_t VIDEO_INFO_TEMPLATE\[\] = L"\(.*\)";$/\1/p' "$here/../../src/text/video_info.cpp")
[ -n "$template" ] || { echo "the look-up's template was not found" >&2; exit 1; }
lookup() {
    name=$1; url=$2
    rm -rf "$work/lookup" && mkdir "$work/lookup"
    (cd "$work/lookup" && LANG=C.UTF-8 yt-dlp "$url" --no-playlist --skip-download --no-simulate \
        --write-info-json -o video --print "$template" --encoding utf-8 </dev/null >"$out/$name.txt" 2>&1) || true
    echo "$name.txt: $(wc -l <"$out/$name.txt") lines; made: $(ls "$work/lookup")"
}
lookup lookup "$base/watch.html"
lookup lookup-not-a-video "$base/not-a-video.html"
lookup lookup-two-videos "$base/two-videos.html"

# The kept information with its media address expired, loaded by a clip.
lookup kept "$base/watch.html" >/dev/null
sed "s|$base/|$base/expired/|g" "$work/lookup/video.info.json" >"$work/expired.info.json"
rm -f "$out/kept.txt"
record load-info-expired "" --download-sections "*5.000-25.000" -f "bv*+ba/b" --load-info-json "$work/expired.info.json"
sed -i "s|$work/expired.info.json|/tmp/tarnvik-record/video.info.json|g" "$out/load-info-expired.txt"
