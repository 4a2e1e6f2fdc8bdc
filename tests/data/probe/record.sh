#!/bin/sh
# Records what the fake ffprobe replays: Debian's ffprobe on the section
# 3.5 s to 5.5 s of a generated video (H.264 with B-frames, a key frame every
# 2 s, AAC audio), copied out as yt-dlp's ffmpeg does (its packets, then its
# streams' extradata), and on the exact cut made of it by the planner's
# steps, asked exactly as the exact cut asks (src/media/probe_read.cpp,
# src/media/cut_steps.cpp).
set -eu
cd "$(dirname "$0")"
tmp=$(mktemp -d)
ffmpeg -hide_banner -v error -y -f lavfi -i testsrc=size=160x90:rate=10 \
    -f lavfi -i sine=frequency=440:sample_rate=8000 -t 8 -c:v libx264 -g 20 -bf 2 \
    -pix_fmt yuv420p -c:a aac -b:a 16k "$tmp/video.mp4"
ffmpeg -hide_banner -v error -y -ss 3.5 -t 2 -i "$tmp/video.mp4" -c copy "$tmp/section.mp4"
entries="packet=codec_type,stream_index,pts,dts,duration,flags:stream=index,codec_type,codec_name,profile,level,pix_fmt,width,height,sample_aspect_ratio,color_range,color_space,color_transfer,color_primaries,r_frame_rate,time_base:format=format_name,duration"
probe() {
    ffprobe -v error -show_entries "$entries" -of compact "$1"
}
probe "$tmp/section.mp4" > h264-section.txt
ffprobe -v error -show_entries stream=index,codec_type,extradata -show_data -of compact "$tmp/section.mp4" \
    > h264-section-streams.txt
cd "$tmp"
quiet="-hide_banner -nostdin -y -v error"
ffmpeg $quiet -i section.mp4 -map 0:v:0 -c copy -bsf:v h264_mp4toannexb,filter_units=pass_types=7-8 \
    -frames:v 1 -f h264 params.h264
ffmpeg $quiet -i section.mp4 -map 0:v:0 -vf trim=start_frame=0:end_frame=5,setpts=PTS-STARTPTS,setsar=1/1 \
    -frames:v 5 -c:v libx264 -preset:v veryfast -crf:v 15 -bf:v 0 -profile:v high -level:v 1.0 -g:v 6 \
    -x264-params:v sps-id=1 -pix_fmt yuv420p -an -f h264 head.h264
ffmpeg $quiet -framerate 10/1 -i "concat:params.h264|head.h264" -c copy \
    -bsf:v setts=pts=N*1024:dts=N*1024-2048:time_base=1/10240 -f mp4 head.mp4
ffmpeg $quiet -i section.mp4 -map 0:v:0 -c copy -ss 0.250000 -f mp4 tail.mp4
printf "ffconcat version 1.0\nfile 'head.mp4'\nduration 0.500000\nfile 'tail.mp4'\n" > join.txt
ffmpeg $quiet -f concat -safe 0 -i join.txt -i section.mp4 -map 0:v:0 -c:v copy -map 1:a:0 -c:a copy \
    -f mp4 result.mp4
cd - >/dev/null
probe "$tmp/result.mp4" > h264-result.txt
rm -r "$tmp"
