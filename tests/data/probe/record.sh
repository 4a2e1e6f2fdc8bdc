#!/bin/sh
# Records what the fake ffprobe replays: Debian's ffprobe on a generated
# 6 s section (H.264 with B-frames, a key frame every 2 s, AAC audio), asked
# exactly as the exact cut asks (see src/text/probe_read.cpp).
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
ffmpeg -hide_banner -v error -y -f lavfi -i testsrc=size=160x90:rate=10 \
    -f lavfi -i sine=frequency=440:sample_rate=8000 -t 6 -c:v libx264 -g 20 -bf 2 \
    -pix_fmt yuv420p -c:a aac -b:a 16k "$tmp/section.mp4"
ffprobe -v error -select_streams v:0 -show_entries \
    "packet=pts,dts,duration,flags:stream=codec_name,profile,level,pix_fmt,width,height,sample_aspect_ratio,color_range,color_space,color_transfer,color_primaries,r_frame_rate,time_base,extradata:format=format_name,duration" \
    -show_data -of compact "$tmp/section.mp4" > h264-section.txt
rm -r "$tmp"
