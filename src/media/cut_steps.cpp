// The exact cut's command lines, one per step (cut_plan.h). Every ffmpeg
// step runs quietly but for errors and its progress line, never reads
// standard input, and overwrites what an earlier try left.
#include "media/cut_plan.h"

#include <cwchar>

#include "text/arg_line.h"
#include "text/bounded.h"

namespace {

const wchar_t* const QUIET[] = {L"-hide_banner", L"-nostdin", L"-y", L"-v", L"error", L"-stats"};

// The head's encoders, at a picture that matches the source's and at
// speed. Measured on a 1080p30 source of about 7 Mbit/s: libx264
// "veryfast" at CRF 15 without B-frames, 52 dB PSNR and 0.997 SSIM
// against the source's frames at 1.7 times its rate (tuned for PSNR at CRF
// 17 it kept 51 dB at its rate, but only 0.98 SSIM); libvpx-vp9 in
// real-time mode at speed 8 with row threads at CRF 20, 50 dB at its rate,
// 3.6 s for 120 frames where "good" at speed 5 took 22 s.
const wchar_t* const HEAD_H264[] = {L"-c:v", L"libx264", L"-preset:v", L"veryfast",
                                    L"-crf:v", L"15", L"-bf:v", L"0"};
const wchar_t* const HEAD_VP9[] = {L"-c:v", L"libvpx-vp9", L"-crf:v", L"20", L"-b:v", L"0",
                                   L"-deadline:v", L"realtime", L"-cpu-used:v", L"8", L"-row-mt:v", L"1"};
// The settings the exact cut has always re-encoded a whole section with:
// libx264 "superfast" at CRF 24, libvpx-vp9's real-time mode with row threads.
const wchar_t* const REENCODE_H264[] = {L"-c:v", L"libx264", L"-preset:v", L"superfast", L"-crf:v", L"24"};
const wchar_t* const REENCODE_VP9[] = {L"-c:v", L"libvpx-vp9", L"-deadline:v", L"realtime",
                                       L"-cpu-used:v", L"5", L"-row-mt:v", L"1"};

const double SEAM_CHECK_SECONDS = 0.5;

const wchar_t PARAMS_FILE[] = L"params.h264";
const wchar_t HEAD_STREAM_FILE[] = L"head.h264";
const wchar_t LIST_FILE[] = L"join.txt";
// The intermediate files in MP4 and in Matroska.
struct Names {
    const wchar_t* head;
    const wchar_t* tail;
    const wchar_t* audio;
};
const Names MP4_NAMES = {L"head.mp4", L"tail.mp4", L"audio.mp4"};
const Names MATROSKA_NAMES = {L"head.mkv", L"tail.mkv", L"audio.mkv"};

template <size_t N>
void add_all(ArgLine* line, const wchar_t* const (&args)[N])
{
    for (const wchar_t* arg : args)
        add_arg(line, arg);
}

void add_pair(ArgLine* line, const wchar_t* option, const wchar_t* value)
{
    add_arg(line, option);
    add_arg(line, value);
}

void start_ffmpeg(ArgLine* line, const wchar_t* ffmpeg)
{
    add_arg(line, ffmpeg);
    add_all(line, QUIET);
}

void add_output(ArgLine* line, const wchar_t* muxer, const wchar_t* file)
{
    add_pair(line, L"-f", muxer);
    add_arg(line, file);
}

void add_seconds(ArgLine* line, const wchar_t* option, double seconds)
{
    add_arg(line, option);
    add_argf(line, L"%.6f", seconds);
}

// A colour tag is passed on only where the source names one.
void add_tag(ArgLine* line, const wchar_t* option, const wchar_t* value)
{
    if (value[0] && std::wcscmp(value, L"unknown") != 0)
        add_pair(line, option, value);
}

// Decodes the section's video from Start: the frames before it (shown in
// Matroska, where no edit list hides them) are dropped by count, and the
// head keeps its own times from 0.
void add_video_from_start(ArgLine* line, const CutPlan* plan, long long frames)
{
    add_pair(line, L"-i", plan->section);
    add_pair(line, L"-map", L"0:v:0");
    wchar_t end[40] = L"", sar[40] = L"";
    if (frames >= 0)
        format_text(end, L":end_frame=%lld", plan->head_first_frame + frames);
    if (plan->sar_num > 0 && plan->sar_den > 0)
        format_text(sar, L",setsar=%d/%d", plan->sar_num, plan->sar_den);
    add_arg(line, L"-vf");
    add_argf(line, L"trim=start_frame=%lld%ls,setpts=PTS-STARTPTS%ls", plan->head_first_frame, end, sar);
    if (frames >= 0) {
        add_arg(line, L"-frames:v");
        add_argf(line, L"%lld", frames);
    }
}

void add_picture_format(ArgLine* line, const CutPlan* plan)
{
    if (plan->pix_fmt[0])
        add_pair(line, L"-pix_fmt", plan->pix_fmt);
    add_tag(line, L"-color_range", plan->color_range);
    add_tag(line, L"-colorspace", plan->color_space);
    add_tag(line, L"-color_trc", plan->color_transfer);
    add_tag(line, L"-color_primaries", plan->color_primaries);
}

// libx264 in the source's profile and level, one IDR frame first and no
// other but at scene cuts (all closed), parameter sets numbered with the
// plan's id so that they sit beside the source's.
void add_h264_head_encoder(ArgLine* line, const CutPlan* plan, long long frames)
{
    add_all(line, HEAD_H264);
    add_pair(line, L"-profile:v", plan->x264_profile);
    if (plan->level[0])
        add_pair(line, L"-level:v", plan->level);
    add_arg(line, L"-g:v");
    add_argf(line, L"%lld", frames + 1);
    if (plan->parameter_set_id >= 0) {
        add_arg(line, L"-x264-params:v");
        add_argf(line, L"sps-id=%d", plan->parameter_set_id);
    }
}

void add_audio_input(ArgLine* line, const CutPlan* plan, const Names* names)
{
    if (plan->with_audio)
        add_pair(line, L"-i", plan->audio_from_section ? plan->section : names->audio);
}

void add_audio_map(ArgLine* line, const CutPlan* plan, int input)
{
    if (!plan->with_audio)
        return;
    add_arg(line, L"-map");
    add_argf(line, L"%d:a:0", input);
    add_pair(line, L"-c:a", L"copy");
}

// A step that writes the result, through the whole clip's length.
void writes_result(CutStepInfo* info, const CutPlan* plan, const wchar_t* result, const wchar_t* failure)
{
    info->output = result;
    info->output_is_result = 1;
    info->failure = failure;
    info->media_seconds = plan->end_in_file - plan->start_in_file;
}

void note_file(CutStepInfo* info, const wchar_t* file)
{
    if (info->file_count < CUT_MAX_STEP_FILES)
        info->files[info->file_count++] = file;
}

void build_params(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, CutStepInfo* info)
{
    info->output = PARAMS_FILE;
    info->failure = L"the video's parameter sets could not be copied";
    start_ffmpeg(line, ffmpeg);
    add_pair(line, L"-i", plan->section);
    add_pair(line, L"-map", L"0:v:0");
    add_pair(line, L"-c", L"copy");
    // The key frame as Annex B with the sample entry's sets before it; then
    // only the sets (NAL unit types 7 and 8).
    add_pair(line, L"-bsf:v", L"h264_mp4toannexb,filter_units=pass_types=7-8");
    add_pair(line, L"-frames:v", L"1");
    add_output(line, L"h264", PARAMS_FILE);
}

void build_head(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, const wchar_t* result,
                const Names* names, CutStepInfo* info)
{
    const int whole = plan->mode == CUT_WHOLE_HEAD;
    info->failure = whole ? L"the section could not be encoded with the video's own codec"
                          : L"the frames before the key frame could not be encoded";
    info->media_seconds = plan->seam_in_file - plan->start_in_file;
    start_ffmpeg(line, ffmpeg);
    add_video_from_start(line, plan, whole ? -1 : plan->head_frames);
    if (whole)
        add_audio_input(line, plan, names);
    if (plan->h264)
        add_h264_head_encoder(line, plan, plan->head_frames);
    else
        add_all(line, HEAD_VP9);
    add_picture_format(line, plan);
    if (whole) {
        add_audio_map(line, plan, 1);
        writes_result(info, plan, result, info->failure);
        add_output(line, plan->muxer, result);
    } else {
        add_arg(line, L"-an");
        info->output = plan->h264 ? HEAD_STREAM_FILE : names->head;
        add_output(line, plan->h264 ? L"h264" : plan->work_muxer, info->output);
    }
}

// The head in the container, timed frame by frame in the section's own time
// base, its decoding times moved back by the tail's reorder delay so that
// they stay below the tail's. The source's sets come first in the stream,
// so the sample entry holds both theirs and the head's.
void build_head_box(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, const Names* names,
                    CutStepInfo* info)
{
    info->output = names->head;
    info->failure = L"the re-encoded frames could not be put in the container";
    start_ffmpeg(line, ffmpeg);
    add_arg(line, L"-framerate");
    add_argf(line, L"%d/%d", plan->rate_num, plan->rate_den);
    add_arg(line, L"-i");
    add_argf(line, L"concat:%ls|%ls", PARAMS_FILE, HEAD_STREAM_FILE);
    add_pair(line, L"-c", L"copy");
    add_arg(line, L"-bsf:v");
    add_argf(line, L"setts=pts=N*%lld:dts=N*%lld-%lld:time_base=%d/%d", plan->frame_ticks, plan->frame_ticks,
             plan->reorder_ticks, plan->tb_num, plan->tb_den);
    add_output(line, plan->work_muxer, names->head);
}

// The source's own packets from the seam's key frame on. "-ss" after the
// input drops, without seeking, every packet decoded before that key frame
// (it compares decoding times, half a frame below the key frame's).
void build_tail(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, const Names* names, CutStepInfo* info)
{
    info->output = names->tail;
    info->failure = L"the frames after the key frame could not be copied";
    info->media_seconds = plan->end_in_file - plan->seam_in_file;
    start_ffmpeg(line, ffmpeg);
    add_pair(line, L"-i", plan->section);
    add_pair(line, L"-map", L"0:v:0");
    add_pair(line, L"-c", L"copy");
    add_seconds(line, L"-ss", plan->seam_dts_in_file - plan->frame_seconds / 2);
    add_output(line, plan->work_muxer, names->tail);
}

// The section's audio from Start: packets that begin before it are dropped.
void build_audio(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, const Names* names,
                 CutStepInfo* info)
{
    info->output = names->audio;
    info->failure = L"the audio could not be copied from Start";
    start_ffmpeg(line, ffmpeg);
    add_pair(line, L"-i", plan->section);
    add_pair(line, L"-map", L"0:a:0");
    add_pair(line, L"-c", L"copy");
    add_seconds(line, L"-ss", plan->start_in_file);
    add_output(line, plan->work_muxer, names->audio);
}

// The concat demuxer's list: the head lasts exactly its frames, so the
// tail's key frame follows its last frame by one frame.
void build_list(ArgLine* line, const CutPlan* plan, const Names* names, CutStepInfo* info)
{
    info->output = LIST_FILE;
    info->failure = L"the join list could not be written";
    wchar_t text[256];
    line->fitted = format_text(text, L"ffconcat version 1.0\nfile '%ls'\nduration %.6f\nfile '%ls'\n",
                               names->head, plan->seam_in_file - plan->start_in_file, names->tail) &&
                   line->cap > std::wcslen(text);
    if (line->fitted)
        format_text(line->text, line->cap, L"%ls", text);
}

void build_join(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, const wchar_t* result,
                const Names* names, CutStepInfo* info)
{
    writes_result(info, plan, result, L"the parts could not be joined");
    start_ffmpeg(line, ffmpeg);
    if (plan->mode == CUT_SMART) {
        add_pair(line, L"-f", L"concat");
        add_pair(line, L"-safe", L"0");
        add_pair(line, L"-i", LIST_FILE);
    } else {
        add_pair(line, L"-i", names->tail);
    }
    add_audio_input(line, plan, names);
    add_pair(line, L"-map", L"0:v:0");
    add_pair(line, L"-c:v", L"copy");
    add_audio_map(line, plan, 1);
    add_output(line, plan->muxer, result);
}

// Decodes the result up to half a second past the seam (the frames that
// lean on the key frame there); any error ends ffmpeg
// with a nonzero exit code.
void build_check_decode(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, const wchar_t* result,
                        CutStepInfo* info)
{
    info->failure = L"the result does not decode cleanly at the key frame";
    add_arg(line, ffmpeg);
    add_pair(line, L"-hide_banner", L"-nostdin");
    add_pair(line, L"-v", L"error");
    add_arg(line, L"-xerror");
    add_pair(line, L"-i", result);
    add_pair(line, L"-map", L"0:v:0");
    add_seconds(line, L"-t", plan->seam_in_file - plan->start_in_file + SEAM_CHECK_SECONDS);
    add_pair(line, L"-f", L"null");
    add_arg(line, L"-");
}

void build_reencode(ArgLine* line, const CutPlan* plan, const wchar_t* ffmpeg, const wchar_t* result,
                    const Names* names, CutStepInfo* info)
{
    writes_result(info, plan, result, L"the section could not be re-encoded");
    start_ffmpeg(line, ffmpeg);
    add_video_from_start(line, plan, -1);
    add_audio_input(line, plan, names);
    // WebM holds only VP8, VP9 and AV1; everything else gets H.264.
    if (std::wcscmp(plan->muxer, L"webm") == 0)
        add_all(line, REENCODE_VP9);
    else
        add_all(line, REENCODE_H264);
    add_audio_map(line, plan, 1);
    add_output(line, plan->muxer, result);
}

}  // namespace

int build_cut_step(const CutPlan* plan, int index, const wchar_t* ffmpeg, const wchar_t* ffprobe,
                   const wchar_t* result, wchar_t* line, size_t cap, CutStepInfo* info)
{
    *info = CutStepInfo{};
    if (index < 0 || index >= plan->step_count || cap == 0)
        return 0;
    const Names& names = plan->matroska ? MATROSKA_NAMES : MP4_NAMES;
    info->kind = plan->steps[index];
    info->tool = CUT_TOOL_FFMPEG;
    ArgLine args = arg_line(line, cap);
    switch (info->kind) {
    case CUT_STEP_PARAMS: build_params(&args, plan, ffmpeg, info); break;
    case CUT_STEP_HEAD: build_head(&args, plan, ffmpeg, result, &names, info); break;
    case CUT_STEP_HEAD_BOX: build_head_box(&args, plan, ffmpeg, &names, info); break;
    case CUT_STEP_TAIL: build_tail(&args, plan, ffmpeg, &names, info); break;
    case CUT_STEP_AUDIO: build_audio(&args, plan, ffmpeg, &names, info); break;
    case CUT_STEP_LIST:
        info->tool = CUT_TOOL_WRITE;
        build_list(&args, plan, &names, info);
        break;
    case CUT_STEP_JOIN: build_join(&args, plan, ffmpeg, result, &names, info); break;
    case CUT_STEP_CHECK_DECODE: build_check_decode(&args, plan, ffmpeg, result, info); break;
    case CUT_STEP_CHECK_PROBE:
        info->tool = CUT_TOOL_FFPROBE;
        info->failure = L"the result could not be read back";
        args.fitted = build_probe_command(ffprobe, result, line, cap);
        break;
    case CUT_STEP_REENCODE: build_reencode(&args, plan, ffmpeg, result, &names, info); break;
    default: return 0;
    }
    // What is left to remove: the step's own file, and once the result
    // exists, the section it was made from.
    if (info->output && !info->output_is_result)
        note_file(info, info->output);
    if (info->output_is_result)
        note_file(info, plan->section);
    return args.fitted;
}
