// Media files made once per test run by Debian's ffmpeg, in a folder of
// the run's own, and what the fragment tests do with them.
#pragma once
#include <string>
#include <vector>

#include "media/frag_index.h"
#include "media/frag_plan.h"

// 60 s with a key frame every 5 s: H.264 and AAC as fragmented MP4 with
// the index at the head, VP9 and Opus as WebM with the Cues in front, and
// the same WebM with its Cues at the end.
extern const char VIDEO_MP4[], AUDIO_MP4[], VIDEO_WEBM[], AUDIO_WEBM[], VIDEO_WEBM_CUES_LAST[];

// The folder the files are in (made on first use, removed at exit).
std::string media_folder();
// Makes the files once; 0 when ffmpeg failed.
int make_media_files();

// Runs a command line for sh in the folder; its exit code, output into *output.
int sh(const std::string& command, std::string* output = nullptr);

std::string read_file(const std::string& name);
// The packets of a media file in the folder, as ffprobe lists them, with a
// checksum of each: equal for two files that hold the same frames.
std::string packets_of(const std::string& name);
void write_file(const std::string& name, const std::string& bytes);

// The index of the named file, read from its first head_bytes bytes.
int read_index_of(const std::string& bytes, size_t head_bytes, FragIndex* index, long long* need);

// The planned pieces of bytes (a whole file), in order, joined; a WebM's
// head fixed as the job fixes it.
std::string fetched_pieces(const std::string& bytes, const FragIndex* index, const FragPlan* plan);
