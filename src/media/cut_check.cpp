// The result's own check: ffprobe's view of the joined file against what
// the plan expects of it.
#include "media/cut_plan.h"

#include <cmath>
#include <cstdlib>

#include "text/bounded.h"

namespace {

long long first_pts(const ProbeResult* result)
{
    long long first = PROBE_NO_TIME;
    for (int i = 0; i < result->kept; ++i) {
        const long long pts = result->packets[i].pts;
        if (pts != PROBE_NO_TIME && (first == PROBE_NO_TIME || pts < first))
            first = pts;
    }
    return first;
}

}  // namespace

int judge_cut_result(const CutPlan* plan, const ProbeResult* result, wchar_t (&why)[CUT_REASON_CAP])
{
    why[0] = L'\0';
    const long long first = first_pts(result);
    if (!result->has_video || result->tb_den <= 0 || result->tb_num <= 0 || first == PROBE_NO_TIME) {
        format_text(why, L"the result has no readable video");
        return 0;
    }
    if (result->discarded > 0) {
        format_text(why, L"the result hides %lld frames behind an edit list", result->discarded);
        return 0;
    }
    if (std::llabs(result->total - plan->expected_frames) > 1) {
        format_text(why, L"the result has %lld frames where %lld were expected", result->total,
                    plan->expected_frames);
        return 0;
    }
    const double tb = (double)result->tb_num / result->tb_den;
    const double start = first * tb;
    if (std::fabs(start) > plan->frame_seconds) {
        format_text(why, L"the result's first frame is at %.3f s, not at 0", start);
        return 0;
    }
    const double length = result->last_end == PROBE_NO_TIME ? 0 : result->last_end * tb - start;
    const double expected = plan->end_in_file - plan->start_in_file;
    if (std::fabs(length - expected) > plan->frame_seconds) {
        format_text(why, L"the result lasts %.3f s where %.3f s were expected", length, expected);
        return 0;
    }
    return 1;
}
