// What ffprobe tells about a fetched section: its container, whether it has
// sound, and its (first) video stream with every packet's times and flags.
// The two command lines that ask for it, and a reader that takes ffprobe's
// output one line at a time (as the process runner hands it over) into a
// fixed-size record.
#pragma once
#include <cstddef>

enum {
    // Video packets kept, in decoding order, from the start of the file. The
    // file begins at the key frame before Start, so these cover Start, the
    // first key frame after it and the frames around that seam for any group
    // of pictures up to about 68 s at 60 fps. A seam beyond them makes the
    // cut fall back to re-encoding the section (said in its log line); the
    // packets after them are only counted.
    PROBE_KEPT_PACKETS = 4096,
    PROBE_WORD_CAP = 48,
    PROBE_EXTRADATA_CAP = 1024,  // bytes of the codec's extradata (the avcC)
    PROBE_COMMAND_CAP = 1024  // either ffprobe command line, with a tool path of 259 characters
};

// Times are counts of the stream's time base; PROBE_NO_TIME when ffprobe
// gave none.
inline constexpr long long PROBE_NO_TIME = -0x7fffffffffffffffLL - 1;

struct ProbePacket {
    long long pts, dts, duration;
    unsigned char key;      // flag K: a key frame
    unsigned char discard;  // flag D: hidden by an edit list
};

struct ProbeResult {
    // The container, ffprobe's format_name ("mov,mp4,m4a,3gp,3g2,mj2",
    // "matroska,webm"); empty when ffprobe gave none.
    wchar_t format[PROBE_WORD_CAP];
    double format_duration;  // seconds, -1 unknown

    int has_audio;

    // The video stream; has_video 0 when the file has none (audio only).
    int has_video;
    int video_index;  // its stream index; -1 until a video packet or stream is seen
    wchar_t codec[PROBE_WORD_CAP];    // codec_name: "h264", "vp9", "av1", "hevc", …
    wchar_t profile[PROBE_WORD_CAP];  // "High", "Main", "Constrained Baseline", "Profile 0", …
    int level;                        // H.264: 10 × the level (40 = 4.0); -99 unknown
    wchar_t pix_fmt[PROBE_WORD_CAP];
    int width, height;
    int sar_num, sar_den;  // 0:1 when unknown
    wchar_t color_range[PROBE_WORD_CAP], color_space[PROBE_WORD_CAP];
    wchar_t color_transfer[PROBE_WORD_CAP], color_primaries[PROBE_WORD_CAP];
    int rate_num, rate_den;  // r_frame_rate, 0/0 when unknown
    int tb_num, tb_den;      // time base of pts, dts and duration
    unsigned char extradata[PROBE_EXTRADATA_CAP];
    size_t extradata_size;   // 0: none, or more than PROBE_EXTRADATA_CAP
    int extradata_too_long;

    // Video packets in decoding order: the first PROBE_KEPT_PACKETS kept.
    ProbePacket packets[PROBE_KEPT_PACKETS];
    int kept;
    long long total;      // every video packet ffprobe listed
    long long discarded;  // of them, flagged D
    long long last_end;   // the latest pts + duration of any packet, or PROBE_NO_TIME
    long long max_pts;    // the latest pts of any packet, or PROBE_NO_TIME
    long long keys_after_kept;  // key frames among the packets not kept
};

// The ffprobe command lines for section (relative to the current folder)
// into line (cap characters), built with append_arg; ffprobe is the full
// path of ffprobe.exe, or "ffprobe". 1 when the line fitted whole.
// The section is read in two runs whose lines go into the same record:
// build_probe_command lists the container, the streams and every packet;
// build_probe_streams_command adds the streams' extradata (the H.264 sample
// entry, whose parameter-set ids the planner needs: without it an H.264
// section is re-encoded as a whole). One run cannot do both quickly.
// The result's check needs the first alone.
int build_probe_command(const wchar_t* ffprobe, const wchar_t* section, wchar_t* line, size_t cap);
int build_probe_streams_command(const wchar_t* ffprobe, const wchar_t* section, wchar_t* line, size_t cap);

// Empties probe before the first line (of the first run). The record is
// large (about 130 KB): allocate it, do not put it on a worker's stack.
void probe_begin(ProbeResult* probe);

// Takes one line of ffprobe's output, without its line end. Lines that are
// not ffprobe's (a warning) are ignored, and so are the packets of every
// stream but the first video stream (the sound's, a cover picture's).
void probe_read_line(ProbeResult* probe, const wchar_t* line);
