// The command lines of a clip fetched as fragments, shared by the clip job
// and the tests that run them with the real tools:
//   - yt-dlp fetches named formats of a rewritten video information file
//     (fragment_info.h) into files of their own, without merging or fixing
//     them: first each file's head, then its planned pieces;
//   - ffmpeg cuts the clip from the fetched files as yt-dlp's own ffmpeg
//     cuts a section from the whole files ("-ss", "-t", "-c copy", one
//     input per format), each Start moved into its fetched file's timeline.
#pragma once
#include <cstddef>

enum { FETCH_NAME_CAP = 64 };

// The file yt-dlp writes for format id ("v", "a") in a fetch of kind
// ("head", "fetch"): "fetch.v.mp4" with the format's extension.
extern const wchar_t FETCH_OUTPUT_TEMPLATE[];  // "%ls.%%(format_id)s.%%(ext)s"

// What the resolving run writes: RESOLVED_INFO (".info.json" added), and
// the clip's file name on a line of its own after RESOLVED_NAME_MARK.
extern const wchar_t RESOLVED_INFO[];
extern const wchar_t RESOLVED_NAME_MARK[];

// yt-dlp choosing the clip's formats without fetching them: source is the
// address, or with from_file the information a look-up kept; options are
// the clip job's "-f" and container options; name_template its "-o".
// cookies: a browser or "none". 1 when the line fitted whole.
int build_resolve_command(const wchar_t* ytdlp, const wchar_t* source, int from_file,
                          const wchar_t* const* options, int option_count, const wchar_t* name_template,
                          const wchar_t* cookies, wchar_t* line, size_t cap);

// yt-dlp on the information file info: the formats "ids" ("p0,p1") into
// kind.<id>.<ext> in its current folder; max_bytes > 0 stops an answer
// longer than that. ffmpeg_dir may be null or empty. 1 when the line
// fitted whole.
int build_fetch_command(const wchar_t* ytdlp, const wchar_t* info, const wchar_t* ids, const wchar_t* kind,
                        long long max_bytes, const wchar_t* cookies, const wchar_t* ffmpeg_dir, wchar_t* line,
                        size_t cap);

struct CutInput {
    const wchar_t* file;
    double seek;  // the fragment plan's seek, 0 for none
};

// ffmpeg's muxer for a file extension, as yt-dlp names it ("m4a" → "ipod").
const wchar_t* muxer_for_extension(const wchar_t* ext);

// ffmpeg cutting inputs (count 1 or 2) into output with muxer; end - start
// is the length ("-t"), none when end is blank (-1); start blank is 0.
// 1 when the line fitted whole.
int build_fragment_cut_command(const wchar_t* ffmpeg, const CutInput* inputs, int count, double start,
                               double end, const wchar_t* muxer, const wchar_t* output, wchar_t* line,
                               size_t cap);
