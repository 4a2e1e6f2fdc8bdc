// The exact cut's planner: first version. It reads the request and the
// probe but does not plan the head and tail yet: every cut falls back to
// re-encoding the fetched section, said in the reason line.
#include "text/cut_plan.h"

#include <cwchar>

#include "text/arg_line.h"
#include "text/bounded.h"

namespace {

const wchar_t SECTION_STEM[] = L"section";
const wchar_t SECTION_NO_EXTENSION[] = L"section.media";
enum { EXTENSION_MAX = 8 };

const wchar_t REASON_FORMAT[] = L"[tarnvik] exact cut: %ls";
const wchar_t FALLBACK_FORMAT[] = L"[tarnvik] exact cut: %ls — re-encoding the whole section";

// The settings the exact cut has used for re-encoding a section: libx264
// "superfast" at CRF 24, libvpx-vp9's real-time mode with row threads.
const wchar_t* const REENCODE_H264[] = {L"-c:v", L"libx264", L"-preset:v", L"superfast", L"-crf:v", L"24"};
const wchar_t* const REENCODE_VP9[] = {L"-c:v", L"libvpx-vp9", L"-deadline:v", L"realtime",
                                       L"-cpu-used:v", L"5", L"-row-mt:v", L"1"};
const wchar_t* const QUIET[] = {L"-hide_banner", L"-nostdin", L"-y", L"-v", L"error", L"-stats"};

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

void set_reason(CutPlan* plan, const wchar_t* format, const wchar_t* text)
{
    format_text(plan->reason, format, text);
}

void add_all(ArgLine* line, const wchar_t* const* args, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        add_arg(line, args[i]);
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

int plan_cut(const ProbeResult* probe, const CutRequest* request, const wchar_t* section, CutPlan* plan)
{
    *plan = CutPlan{};
    format_text(plan->section, L"%ls", section);
    plan->with_audio = !request->no_audio;
    plan->parameter_set_id = -1;
    if (request->audio_only || !probe->has_video) {
        plan->mode = CUT_AS_FETCHED;
        set_reason(plan, REASON_FORMAT, L"audio only — the fetched section is the clip");
        return 0;
    }
    format_text(plan->codec, L"%ls", probe->codec);
    plan->h264 = std::wcscmp(probe->codec, L"h264") == 0;
    format_text(plan->muxer, L"%ls", std::wcsstr(probe->format, L"matroska") ? L"matroska" : L"mp4");
    plan_fallback(plan, L"not planned yet");
    return 0;
}

int plan_fallback(CutPlan* plan, const wchar_t* why)
{
    if (plan->fallen_back || plan->mode == CUT_AS_FETCHED)
        return 0;
    plan->fallen_back = 1;
    plan->mode = CUT_FALLBACK;
    plan->step_count = 1;
    plan->steps[0] = CUT_STEP_REENCODE;
    set_reason(plan, FALLBACK_FORMAT, why);
    return 1;
}

int build_cut_step(const CutPlan* plan, int index, const wchar_t* ffmpeg, const wchar_t* ffprobe,
                   const wchar_t* result, wchar_t* line, size_t cap, CutStepInfo* info)
{
    (void)ffprobe;
    *info = CutStepInfo{};
    if (index < 0 || index >= plan->step_count)
        return 0;
    info->kind = plan->steps[index];
    ArgLine args = arg_line(line, cap);
    switch (info->kind) {
    case CUT_STEP_REENCODE:
        info->tool = CUT_TOOL_FFMPEG;
        info->output = result;
        info->output_is_result = 1;
        info->files[info->file_count++] = plan->section;
        info->failure = L"the section could not be re-encoded";
        add_arg(&args, ffmpeg);
        add_all(&args, QUIET, sizeof QUIET / sizeof QUIET[0]);
        add_arg(&args, L"-i");
        add_arg(&args, plan->section);
        if (plan->h264 || std::wcscmp(plan->muxer, L"mp4") == 0)
            add_all(&args, REENCODE_H264, sizeof REENCODE_H264 / sizeof REENCODE_H264[0]);
        else
            add_all(&args, REENCODE_VP9, sizeof REENCODE_VP9 / sizeof REENCODE_VP9[0]);
        add_arg(&args, plan->with_audio ? L"-c:a" : L"-an");
        if (plan->with_audio)
            add_arg(&args, L"copy");
        add_arg(&args, L"-f");
        add_arg(&args, plan->muxer);
        add_arg(&args, result);
        return args.fitted;
    default:
        return 0;
    }
}

int judge_cut_result(const CutPlan* plan, const ProbeResult* result, wchar_t (&why)[CUT_REASON_CAP])
{
    (void)plan;
    (void)result;
    format_text(why, L"%ls", L"the result's check is not written yet");
    return 0;
}
