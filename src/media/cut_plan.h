// The exact cut in steps. yt-dlp fetches the section as a copy cut does: it
// holds every frame from the key frame before Start to End. From what
// ffprobe says about that file (probe_read.h) the planner decides how the
// clip is made, and builds each step's command line:
//   - the head, the frames from Start up to the first key frame at or after
//     it, decoded and encoded again with the source's codec family (H.264 →
//     libx264, VP9 → libvpx-vp9) as a closed group of pictures;
//   - the tail, the source's own packets from that key frame on, copied;
//   - the join, head + tail + the audio from Start, copied, into one file
//     of the section's container under the fetched file's own name;
//   - a check of the result.
// Where that cannot be made soundly the section is re-encoded as a whole
// from the file already fetched ("fallback"), with the settings the exact
// cut used before; the plan's reason says why, in one log line.
//
// Every file name is relative to the job folder, which is the current
// folder of every step. Intermediate names are short ASCII; only the
// result has the fetched file's own name.
#pragma once
#include <cstddef>

#include "media/probe_read.h"

enum {
    CUT_NAME_CAP = 32,      // an intermediate file's name
    CUT_REASON_CAP = 320,   // the log line
    CUT_MAX_STEPS = 12,
    CUT_MAX_STEP_FILES = 4
};

// What the user asked for.
struct CutRequest {
    double start, end;     // source seconds, -1 = not given
    // The whole video's length in seconds, -1 = unknown (read_input_duration).
    // Matroska and WebM sections need it when End is blank or past the
    // video's end; give it whenever it is known.
    double video_length;
    int audio_only;        // Quality "Audio only" (height -1)
    int no_audio;          // "No audio (video only)"
};

enum CutMode {
    CUT_AS_FETCHED,  // nothing to make: the fetched file is the clip (see the reason)
    CUT_SMART,       // head re-encoded, tail copied, joined
    CUT_NO_HEAD,     // Start is on a key frame: the tail alone, joined with the audio
    CUT_WHOLE_HEAD,  // no key frame between Start and End: all of it is the head
    CUT_FALLBACK     // re-encoded as a whole with the former exact-cut settings
};

enum CutTool {
    CUT_TOOL_FFMPEG,
    CUT_TOOL_FFPROBE,  // its lines go to probe_read_line of a fresh ProbeResult (probe_begin
                       // first), which judge_cut_result then judges
    CUT_TOOL_WRITE     // no child: the step's "line" is a text file's content, written as UTF-8
};

enum CutStepKind {
    CUT_STEP_PARAMS,        // the source's SPS and PPS as an Annex B file (H.264)
    CUT_STEP_HEAD,          // the head, encoded
    CUT_STEP_HEAD_BOX,      // the head in the container, source parameter sets first
    CUT_STEP_TAIL,          // the tail, copied
    CUT_STEP_AUDIO,         // the audio from Start, copied (where the section's starts earlier)
    CUT_STEP_LIST,          // the join list (CUT_TOOL_WRITE)
    CUT_STEP_JOIN,          // head + tail + audio into the result
    CUT_STEP_CHECK_DECODE,  // decodes the result up past the seam; exit code 0 = clean
    CUT_STEP_CHECK_PROBE,   // ffprobe of the result, judged by judge_cut_result
    CUT_STEP_REENCODE,      // the fallback: the whole section re-encoded into the result
    CUT_STEP_KIND_COUNT
};

// One step as the job runs it.
struct CutStepInfo {
    int kind;            // CutStepKind
    int tool;            // CutTool
    // The file the step writes: an intermediate name, or the result's name.
    const wchar_t* output;
    int output_is_result;
    // Every intermediate file that may exist once this step has run (its
    // own output included), for the job to remove at the end, whatever
    // happened. The section file is among them from the join on.
    int file_count;
    const wchar_t* files[CUT_MAX_STEP_FILES];
    // Seconds of media the step goes through, for turning ffmpeg's "time="
    // into a share of the step; 0 when it reports no progress.
    double media_seconds;
    // Why the cut falls back when this step fails, for plan_fallback.
    const wchar_t* failure;
};

struct CutPlan {
    int mode;                       // CutMode
    wchar_t reason[CUT_REASON_CAP]; // the one log line about how the clip is made
    int step_count;
    int steps[CUT_MAX_STEPS];       // CutStepKind, in order
    int fallen_back;                // plan_fallback was called

    // What the commands need, taken from the probe (which may be freed).
    wchar_t section[CUT_NAME_CAP];  // the fetched file's name in the job folder
    wchar_t muxer[CUT_NAME_CAP];    // ffmpeg's -f for the result: "mp4", "webm", "matroska"
    wchar_t work_muxer[CUT_NAME_CAP];  // for the intermediate files: "mp4" or "matroska"
    wchar_t codec[PROBE_WORD_CAP];
    int h264;                       // 1 H.264, 0 VP9 (or, for the fallback, another codec)
    int matroska;                   // 1 Matroska or WebM, 0 MP4
    int start_known;                // 0: Start could not be placed on the file's timeline
    int tb_num, tb_den;             // the video's time base
    double frame_seconds;
    long long frame_ticks;          // one frame in time-base ticks
    double start_in_file;           // the first frame of the clip, seconds on the file's timeline
    double seam_in_file;            // the first key frame at or after Start
    double seam_dts_in_file;        // its decoding time
    double end_in_file;             // the end of the last frame
    long long reorder_ticks;        // how far the tail's decoding times run ahead of its pts
    long long head_first_frame;     // shown frames before Start: decoded, then dropped
    long long head_frames;          // frames of the head
    long long expected_frames;      // frames of the clip
    int parameter_set_id;           // the head's sps-id (H.264); -1 none
    int with_audio;                 // the result takes the section's audio
    int audio_from_section;         // 1: the section's audio starts at Start as it is

    // The head's encoder settings, from the probe.
    wchar_t x264_profile[CUT_NAME_CAP];
    wchar_t level[8];
    wchar_t pix_fmt[PROBE_WORD_CAP];
    int sar_num, sar_den;
    wchar_t color_range[PROBE_WORD_CAP], color_space[PROBE_WORD_CAP];
    wchar_t color_transfer[PROBE_WORD_CAP], color_primaries[PROBE_WORD_CAP];
    int rate_num, rate_den;
};

// The name the job gives the fetched file before it probes it, from the
// name yt-dlp gave it: "section" and its extension ("section.mp4"). An
// extension that is not short ASCII gives "section.media". Always fits.
// When the plan is CUT_AS_FETCHED the job gives the file its name back.
void cut_section_name(const wchar_t* fetched, wchar_t (&out)[CUT_NAME_CAP]);

// Decides how the clip is made from the section's probe (both ffprobe runs
// of probe_read.h) and the request.
// section is the file's name in the job folder (cut_section_name). Returns
// 1 for a cut in steps (CUT_SMART, CUT_NO_HEAD, CUT_WHOLE_HEAD), 0 for
// CUT_AS_FETCHED or CUT_FALLBACK; plan->reason is the log line in every case.
int plan_cut(const ProbeResult* probe, const CutRequest* request, const wchar_t* section, CutPlan* plan);

// Turns plan into the fallback after a failed step or check: the steps
// become one re-encode of the whole section; why goes into the reason line.
// 0 when plan was already the fallback or there is nothing to re-encode
// (then the job has failed).
int plan_fallback(CutPlan* plan, const wchar_t* why);

// Step index of plan (0 to step_count - 1): its command line into line (cap
// characters; for CUT_TOOL_WRITE the file's text), built with append_arg,
// and what the step is into info. ffmpeg and ffprobe are the tools' full
// paths (or bare names); result is the result's name, the fetched file's
// own name. 1 when the line fitted whole; 0 otherwise or for a bad index.
int build_cut_step(const CutPlan* plan, int index, const wchar_t* ffmpeg, const wchar_t* ffprobe,
                   const wchar_t* result, wchar_t* line, size_t cap, CutStepInfo* info);

// Reads the whole video's length from ffmpeg's "  Duration: 00:02:30.00,
// start: …" line, which yt-dlp's ffmpeg writes for each input as it fetches
// the section (the video's input first). An exact cut of a WebM or Matroska
// section with End blank needs it (CutRequest.video_length): those files
// keep no trace of where Start lies but their end. 1 with seconds.
int read_input_duration(const wchar_t* line, double* seconds);

// Judges the probe of the result (CUT_STEP_CHECK_PROBE): 1 when it holds
// the clip (frame count and length within one frame of the plan's, no
// frame hidden by an edit list, the first frame at 0); 0 with why in why.
int judge_cut_result(const CutPlan* plan, const ProbeResult* result, wchar_t (&why)[CUT_REASON_CAP]);
