// The exact cut's decisions: where Start and the first key frame after it
// lie in the fetched section, and whether a head can be made that joins
// the source's own packets soundly. The steps' command lines are built in
// cut_steps.cpp, the result is judged in cut_check.cpp.
//
// The section's timeline, as yt-dlp's ffmpeg writes it ("-ss Start -t
// End-Start" before each input, "-c copy"):
//   - MP4: every packet from the key frame before Start; an edit list hides
//     those before Start (flag D), so the first shown frame, at time 0, is
//     the frame at or just after Start, video and audio alike.
//   - Matroska and WebM: no edit list. The file's time 0 is the earliest
//     packet of any stream (the key frame before Start, or an audio cluster
//     before it), and nothing in the file says where Start is. Its end
//     does: ffmpeg keeps the frames before End (End is the video's length
//     when End is blank), so the last frame is the last one of the
//     source's frame grid before End, which places the first frame's
//     source time and with it Start.
#include "media/cut_plan.h"

#include <cmath>
#include <cstdlib>
#include <cwchar>

#include "media/avcc.h"
#include "text/bounded.h"

namespace {

const wchar_t SECTION_STEM[] = L"section";
const wchar_t SECTION_NO_EXTENSION[] = L"section.media";
enum { EXTENSION_MAX = 8 };

const wchar_t REASON_FORMAT[] = L"[tarnvik] exact cut: %ls";
const wchar_t FALLBACK_FORMAT[] = L"[tarnvik] exact cut: %ls — re-encoding the whole section";

// ffprobe's H.264 profile names and libx264's for them; any other profile
// (High 4:4:4 Intra, …) is re-encoded as a whole.
const wchar_t* const H264_PROFILE_NAMES[] = {L"Constrained Baseline", L"Baseline", L"Main", L"High",
                                             L"High 10", L"High 4:2:2", L"High 4:4:4 Predictive"};
const wchar_t* const X264_PROFILES[] = {L"baseline", L"baseline", L"main", L"high",
                                        L"high10", L"high422", L"high444"};
enum { H264_PROFILE_COUNT = sizeof H264_PROFILE_NAMES / sizeof H264_PROFILE_NAMES[0] };

int is_short_ascii_extension(const wchar_t* dot)
{
    size_t n = std::wcslen(dot + 1);
    if (n == 0 || n > EXTENSION_MAX)
        return 0;
    for (const wchar_t* p = dot + 1; *p; ++p) {
        if (!((*p >= L'a' && *p <= L'z') || (*p >= L'A' && *p <= L'Z') || (*p >= L'0' && *p <= L'9')))
            return 0;
    }
    return 1;
}

int ends_with(const wchar_t* text, const wchar_t* tail)
{
    size_t n = std::wcslen(text), m = std::wcslen(tail);
    return n >= m && std::wcscmp(text + n - m, tail) == 0;
}

void say(CutPlan* plan, const wchar_t* text)
{
    format_text(plan->reason, REASON_FORMAT, text);
}

void set_steps(CutPlan* plan, const int* steps, int count)
{
    plan->step_count = count;
    for (int i = 0; i < count; ++i)
        plan->steps[i] = steps[i];
}

// Re-encoding the whole section, from Start, with the audio from Start.
void become_fallback(CutPlan* plan, const wchar_t* why)
{
    plan->fallen_back = 1;
    plan->mode = CUT_FALLBACK;
    int steps[2];
    int n = 0;
    if (plan->with_audio && !plan->audio_from_section)
        steps[n++] = CUT_STEP_AUDIO;
    steps[n++] = CUT_STEP_REENCODE;
    set_steps(plan, steps, n);
    format_text(plan->reason, FALLBACK_FORMAT, why);
}

// Falls back while planning; returns 0 for plan_cut to return.
int fall_back(CutPlan* plan, const wchar_t* why)
{
    become_fallback(plan, why);
    return 0;
}

int as_fetched(CutPlan* plan, const wchar_t* why)
{
    plan->mode = CUT_AS_FETCHED;
    plan->step_count = 0;
    say(plan, why);
    return 0;
}

double seconds_of(const CutPlan* plan, long long ticks)
{
    return (double)ticks * plan->tb_num / plan->tb_den;
}

// Containers, their muxers, and the encoder family of the codec.
int take_container(const ProbeResult* probe, CutPlan* plan)
{
    if (std::wcsncmp(probe->format, L"mov,", 4) == 0) {
        format_text(plan->muxer, L"mp4");
    } else if (std::wcsncmp(probe->format, L"matroska", 8) == 0) {
        plan->matroska = 1;
        format_text(plan->muxer, L"%ls", ends_with(plan->section, L".webm") ? L"webm" : L"matroska");
    } else {
        return 0;
    }
    format_text(plan->work_muxer, L"%ls", plan->matroska ? L"matroska" : L"mp4");
    return 1;
}

void take_encoder_settings(const ProbeResult* probe, CutPlan* plan)
{
    format_text(plan->pix_fmt, L"%ls", probe->pix_fmt);
    plan->sar_num = probe->sar_num;
    plan->sar_den = probe->sar_den;
    format_text(plan->color_range, L"%ls", probe->color_range);
    format_text(plan->color_space, L"%ls", probe->color_space);
    format_text(plan->color_transfer, L"%ls", probe->color_transfer);
    format_text(plan->color_primaries, L"%ls", probe->color_primaries);
    plan->rate_num = probe->rate_num;
    plan->rate_den = probe->rate_den;
}

// libx264's profile and level for the source's.
int take_h264_settings(const ProbeResult* probe, CutPlan* plan)
{
    int found = 0;
    for (int i = 0; i < H264_PROFILE_COUNT && !found; ++i) {
        if (std::wcscmp(probe->profile, H264_PROFILE_NAMES[i]) == 0) {
            format_text(plan->x264_profile, L"%ls", X264_PROFILES[i]);
            found = 1;
        }
    }
    if (!found)
        return fall_back(plan, L"this H.264 profile cannot be matched");
    if (probe->level > 0)
        format_text(plan->level, L"%d.%d", probe->level / 10, probe->level % 10);
    return 1;
}

// The head joins the source's own packets, whose parameter sets must stay
// what they are: it gets ids of its own.
int take_parameter_set_id(const ProbeResult* probe, CutPlan* plan)
{
    AvccIds ids;
    if (!read_avcc_ids(probe->extradata, probe->extradata_size, &ids))
        return fall_back(plan, L"the video's H.264 parameter sets could not be read");
    plan->parameter_set_id = free_parameter_set_id(&ids);
    if (plan->parameter_set_id < 0)
        return fall_back(plan, L"the video's H.264 parameter sets use every id a head could take");
    return 1;
}

// One frame's length from the frame rate, in seconds and in ticks.
int take_frame_length(const ProbeResult* probe, CutPlan* plan)
{
    if (probe->rate_num <= 0 || probe->rate_den <= 0 || probe->tb_num <= 0 || probe->tb_den <= 0)
        return 0;
    plan->tb_num = probe->tb_num;
    plan->tb_den = probe->tb_den;
    plan->frame_seconds = (double)probe->rate_den / probe->rate_num;
    plan->frame_ticks = std::llround(plan->frame_seconds * probe->tb_den / probe->tb_num);
    return plan->frame_ticks > 0;
}

// The source time of the last frame before end: frames sit on a grid of
// whole frames from 0.
double last_frame_before(double end, double frame)
{
    double frames = end / frame;
    double whole = std::floor(frames + 0.5);
    // End on a frame (within rounding): that frame is not kept.
    double count = std::fabs(frames - whole) < 1e-3 ? whole : std::ceil(frames);
    return (count - 1) * frame;
}

// Start on the file's timeline, in seconds; 0 when it cannot be placed.
int place_start(const ProbeResult* probe, const CutRequest* request, CutPlan* plan, double* start)
{
    if (!plan->matroska) {
        long long first = PROBE_NO_TIME;
        for (int i = 0; i < probe->kept; ++i) {
            const ProbePacket& p = probe->packets[i];
            if (!p.discard && p.pts != PROBE_NO_TIME && (first == PROBE_NO_TIME || p.pts < first))
                first = p.pts;
        }
        *start = first == PROBE_NO_TIME ? 0 : seconds_of(plan, first);
        return first != PROBE_NO_TIME;
    }
    double end = request->end;
    if (request->video_length > 0 && (end < 0 || end > request->video_length))
        end = request->video_length;
    if (end <= 0 || probe->kept == 0 || probe->packets[0].pts == PROBE_NO_TIME ||
        probe->max_pts == PROBE_NO_TIME)
        return 0;
    const double first_in_file = seconds_of(plan, probe->packets[0].pts);
    const double first_in_source =
        last_frame_before(end, plan->frame_seconds) - (seconds_of(plan, probe->max_pts) - first_in_file);
    *start = first_in_file + (request->start > 0 ? request->start : 0) - first_in_source;
    // The file begins at or before Start and ends after it; a Start outside
    // says the end was not where it was taken to be (an End past the
    // video's end, with its length unknown).
    return *start > first_in_file - plan->frame_seconds / 2 && *start < seconds_of(plan, probe->max_pts);
}

// How close a frame's time must come to Start to be taken as the frame at
// Start: WebM rounds times to the millisecond.
double start_tolerance(const CutPlan* plan)
{
    const double ms = 0.001;
    return plan->frame_seconds / 4 < ms ? plan->frame_seconds / 4 : ms;
}

// The first key frame shown at or after Start, among the kept packets; -1
// when there is none.
int find_seam(const ProbeResult* probe, const CutPlan* plan, double start)
{
    const double tolerance = start_tolerance(plan);
    for (int i = 0; i < probe->kept; ++i) {
        const ProbePacket& p = probe->packets[i];
        if (p.key && !p.discard && p.pts != PROBE_NO_TIME && seconds_of(plan, p.pts) >= start - tolerance)
            return i;
    }
    return -1;
}

// Frames shown before Start, and from Start up to the seam (or to the end).
void count_head(const ProbeResult* probe, CutPlan* plan, double start, long long seam_pts)
{
    const double tolerance = start_tolerance(plan);
    for (int i = 0; i < probe->kept; ++i) {
        const ProbePacket& p = probe->packets[i];
        if (p.discard || p.pts == PROBE_NO_TIME)
            continue;
        if (seconds_of(plan, p.pts) < start - tolerance)
            plan->head_first_frame++;
        else if (seam_pts == PROBE_NO_TIME || p.pts < seam_pts)
            plan->head_frames++;
    }
    plan->expected_frames = probe->total - probe->discarded - plan->head_first_frame;
}

// A frame decoded after the seam's key frame but shown before it needs the
// frames before the key: an open group of pictures, which cannot be cut
// there. Checked up to the next key frame.
int seam_is_open(const ProbeResult* probe, int seam)
{
    const long long key_pts = probe->packets[seam].pts;
    for (int i = seam + 1; i < probe->kept && !probe->packets[i].key; ++i) {
        if (probe->packets[i].pts != PROBE_NO_TIME && probe->packets[i].pts < key_pts)
            return 1;
    }
    return 0;
}

// The head's frames must lie one frame apart: the H.264 head is timed by
// frame count.
int head_is_evenly_timed(const ProbeResult* probe, const CutPlan* plan, long long first_pts, long long seam_pts)
{
    const long long expected = seam_pts - first_pts;
    const long long slack = plan->head_frames;  // a tick of rounding per frame
    return std::llabs(expected - plan->head_frames * plan->frame_ticks) <= slack && probe->kept > 0;
}

long long first_shown_from(const ProbeResult* probe, const CutPlan* plan, double start)
{
    long long first = PROBE_NO_TIME;
    for (int i = 0; i < probe->kept; ++i) {
        const ProbePacket& p = probe->packets[i];
        if (!p.discard && p.pts != PROBE_NO_TIME && seconds_of(plan, p.pts) >= start - start_tolerance(plan) &&
            (first == PROBE_NO_TIME || p.pts < first))
            first = p.pts;
    }
    return first;
}

// The steps for the decided mode, and the log line.
int schedule(CutPlan* plan)
{
    int steps[CUT_MAX_STEPS];
    int n = 0;
    const int audio_step = plan->with_audio && !plan->audio_from_section;
    wchar_t text[CUT_REASON_CAP];
    if (plan->mode == CUT_WHOLE_HEAD) {
        if (audio_step)
            steps[n++] = CUT_STEP_AUDIO;
        steps[n++] = CUT_STEP_HEAD;
        format_text(text, L"no key frame between Start and End — re-encoding the %.3f s section "
                          L"with the video's own codec", plan->end_in_file - plan->start_in_file);
    } else {
        if (plan->mode == CUT_SMART) {
            if (plan->h264)
                steps[n++] = CUT_STEP_PARAMS;
            steps[n++] = CUT_STEP_HEAD;
            if (plan->h264)
                steps[n++] = CUT_STEP_HEAD_BOX;
        }
        steps[n++] = CUT_STEP_TAIL;
        if (audio_step)
            steps[n++] = CUT_STEP_AUDIO;
        if (plan->mode == CUT_SMART)
            steps[n++] = CUT_STEP_LIST;
        steps[n++] = CUT_STEP_JOIN;
        if (plan->mode == CUT_SMART)
            format_text(text, L"re-encoding %lld frames (%.3f s) up to the key frame, copying the "
                              L"%.3f s after it", plan->head_frames, plan->seam_in_file - plan->start_in_file,
                        plan->end_in_file - plan->seam_in_file);
        else
            format_text(text, L"Start is on a key frame — copying the %.3f s section without the "
                              L"frames before Start", plan->end_in_file - plan->start_in_file);
    }
    steps[n++] = CUT_STEP_CHECK_DECODE;
    steps[n++] = CUT_STEP_CHECK_PROBE;
    set_steps(plan, steps, n);
    say(plan, text);
    return 1;
}

}  // namespace

void cut_section_name(const wchar_t* fetched, wchar_t (&out)[CUT_NAME_CAP])
{
    const wchar_t* dot = std::wcsrchr(fetched, L'.');
    if (dot && is_short_ascii_extension(dot))
        format_text(out, L"%ls%ls", SECTION_STEM, dot);
    else
        format_text(out, L"%ls", SECTION_NO_EXTENSION);
}

namespace {

// Where the clip begins in the section: its first shown frame, and the
// first key frame after it (the seam; -1 when none was kept).
struct StartPlace {
    long long first_pts;
    int seam;
    long long seam_pts;
};

// Each planning step below returns 1 to go on, or 0 when it has decided the
// plan (as fetched, or the fallback) and plan_cut returns at once.

// What the section is: audio only, its container, codec, encoder settings
// and frame length.
int read_section(const ProbeResult* probe, const CutRequest* request, CutPlan* plan)
{
    if (request->audio_only || !probe->has_video)
        return as_fetched(plan, L"audio only — the fetched section is the clip, its audio copied from Start");
    format_text(plan->codec, L"%ls", probe->codec);
    if (!take_container(probe, plan)) {
        format_text(plan->muxer, L"mp4");
        format_text(plan->work_muxer, L"mp4");
        return fall_back(plan, L"the section's container is neither MP4 nor Matroska");
    }
    plan->h264 = std::wcscmp(probe->codec, L"h264") == 0;
    take_encoder_settings(probe, plan);
    if (!take_frame_length(probe, plan))
        return fall_back(plan, L"the video's frame rate is unknown");
    return 1;
}

// Where Start lies in the section, and the key frame after it.
int place_start_in_section(const ProbeResult* probe, const CutRequest* request, CutPlan* plan, StartPlace* place)
{
    double start = 0;
    plan->start_known = place_start(probe, request, plan, &start);
    if (!plan->start_known)
        return as_fetched(plan, L"Start could not be placed in the fetched section (End blank and the "
                                L"video's length unknown) — the clip begins at the key frame before Start");
    place->first_pts = first_shown_from(probe, plan, start);
    if (place->first_pts == PROBE_NO_TIME)
        return fall_back(plan, L"the section holds no frame after Start");
    plan->start_in_file = seconds_of(plan, place->first_pts);
    plan->end_in_file = probe->last_end == PROBE_NO_TIME ? plan->start_in_file : seconds_of(plan, probe->last_end);
    plan->audio_from_section = plan->start_in_file < plan->frame_seconds / 2;

    place->seam = find_seam(probe, plan, plan->start_in_file);
    if (place->seam < 0 && probe->keys_after_kept > 0)
        return fall_back(plan, L"the first key frame after Start lies too far into the section");
    place->seam_pts = place->seam < 0 ? PROBE_NO_TIME : probe->packets[place->seam].pts;
    count_head(probe, plan, plan->start_in_file, place->seam_pts);
    return 1;
}

// Which way the cut goes: the whole clip re-encoded (no key frame after
// Start), the source's frames alone (Start on a key frame), or a head
// re-encoded up to the seam; only H.264 (not in Matroska) and VP9 are cut so.
int choose_way(const ProbeResult* probe, CutPlan* plan, const StartPlace* place)
{
    const int vp9 = std::wcscmp(probe->codec, L"vp9") == 0;
    if (!plan->h264 && !vp9) {
        wchar_t why[CUT_REASON_CAP];
        format_text(why, L"the video is %ls, and only H.264 and VP9 are cut without re-encoding them",
                    probe->codec);
        return fall_back(plan, why);
    }
    if (plan->h264 && plan->matroska)
        return fall_back(plan, L"H.264 in Matroska is not cut in steps");
    if (place->seam < 0) {
        plan->mode = CUT_WHOLE_HEAD;
        plan->seam_in_file = plan->end_in_file;
        return 1;
    }
    if (seam_is_open(probe, place->seam))
        return fall_back(plan, L"the key frame after Start opens a group of pictures that reaches back");
    const ProbePacket& key = probe->packets[place->seam];
    plan->seam_in_file = seconds_of(plan, key.pts);
    plan->seam_dts_in_file = seconds_of(plan, key.dts == PROBE_NO_TIME ? key.pts : key.dts);
    plan->reorder_ticks = key.dts == PROBE_NO_TIME || key.dts > key.pts ? 0 : key.pts - key.dts;
    plan->mode = plan->head_frames == 0 ? CUT_NO_HEAD : CUT_SMART;
    if (plan->mode == CUT_NO_HEAD && probe->discarded == 0 && plan->audio_from_section &&
        plan->head_first_frame == 0)
        return as_fetched(plan, L"Start is on a key frame — the fetched section is the clip");
    return 1;
}

// An H.264 head takes the source's encoder settings, and one joined to the
// source's frames needs parameter-set ids of its own and evenly timed frames.
int h264_head_can_join(const ProbeResult* probe, CutPlan* plan, const StartPlace* place)
{
    if (!plan->h264 || plan->mode == CUT_NO_HEAD)
        return 1;
    if (!take_h264_settings(probe, plan))
        return 0;
    if (plan->mode != CUT_SMART)
        return 1;
    if (!take_parameter_set_id(probe, plan))
        return 0;
    if (!head_is_evenly_timed(probe, plan, place->first_pts, place->seam_pts))
        return fall_back(plan, L"the frames before the key frame after Start are not evenly timed");
    return 1;
}

}  // namespace

// The order of the steps is the rule: what the section is, where Start
// lies in it, which way the cut goes, and whether an H.264 head can be
// joined; the first step that decides the plan ends it.
int plan_cut(const ProbeResult* probe, const CutRequest* request, const wchar_t* section, CutPlan* plan)
{
    *plan = CutPlan{};
    format_text(plan->section, L"%ls", section);
    plan->parameter_set_id = -1;
    plan->with_audio = !request->no_audio && probe->has_audio;
    plan->audio_from_section = 1;
    StartPlace place;
    if (!read_section(probe, request, plan) || !place_start_in_section(probe, request, plan, &place) ||
        !choose_way(probe, plan, &place) || !h264_head_can_join(probe, plan, &place))
        return 0;
    return schedule(plan);
}

int plan_fallback(CutPlan* plan, const wchar_t* why)
{
    if (plan->fallen_back || plan->mode == CUT_AS_FETCHED)
        return 0;
    become_fallback(plan, why);
    return 1;
}

int read_input_duration(const wchar_t* line, double* seconds)
{
    const wchar_t* p = line;
    while (*p == L' ')
        ++p;
    if (p == line || std::wcsncmp(p, L"Duration: ", 10) != 0)
        return 0;
    unsigned hours = 0, minutes = 0;
    double secs = 0;
    if (std::swscanf(p + 10, L"%u:%u:%lf", &hours, &minutes, &secs) != 3 || minutes > 59 || secs >= 60)
        return 0;
    *seconds = hours * 3600.0 + minutes * 60.0 + secs;
    return 1;
}
