// The fragments that hold a clip, and the pieces that fetch them.
#include "media/frag_plan.h"

namespace {

// An index's times and a time typed may differ in the last bits.
const double TIME_SLACK = 1e-6;
// A fragment's first packets may be shown a little before the time the
// index gives it (Opus's codec delay, AAC's priming) and decoded before it
// (B-frames), and a copy cut keeps what is decoded before End: a fragment
// that begins this close after End is fetched too.
const double END_SLACK = 0.25;

int last_beginning_by(const FragIndex* index, double time)
{
    int found = 0;
    for (int i = 0; i < index->count; ++i)
        if (index->start[i] <= time + TIME_SLACK)
            found = i;
    return found;
}

}  // namespace

int plan_fragments(const FragIndex* index, double start, double end, FragPlan* plan)
{
    *plan = FragPlan{};
    if (index->count <= 0 || (start >= 0 && end >= 0 && end <= start))
        return 0;
    plan->first = start >= 0 ? last_beginning_by(index, start) : 0;
    plan->last = index->count - 1;
    if (end >= 0) {
        // ffmpeg's copy cut of a WebM counts its "-t" from the cluster it
        // began reading at, and so reads on past End by that much.
        const double skipped = start >= 0 && index->kind == FRAG_WEBM ? start - index->start[plan->first] : 0;
        const double reach = end + skipped + END_SLACK;
        plan->last = plan->first;
        while (plan->last + 1 < index->count && index->start[plan->last + 1] < reach)
            plan->last++;
    }
    plan->seek = start > 0 ? start - (index->start[plan->first] - index->start[0]) : 0;
    if (plan->seek < 0)
        plan->seek = 0;
    plan->from = index->offset[plan->first];
    plan->to = index->offset[plan->last] + index->size[plan->last] - 1;
    const long long run = plan->to - plan->from + 1;
    plan->bytes = index->init_end + run;
    plan->piece_count = 1 + (int)((run + FRAG_PIECE_BYTES - 1) / FRAG_PIECE_BYTES);
    return 1;
}

int frag_piece(const FragIndex* index, const FragPlan* plan, int i, long long* from, long long* to)
{
    if (i < 0 || i >= plan->piece_count)
        return 0;
    if (i == 0) {
        *from = 0;
        *to = index->init_end - 1;
        return 1;
    }
    *from = plan->from + (long long)(i - 1) * FRAG_PIECE_BYTES;
    *to = *from + FRAG_PIECE_BYTES - 1;
    if (*to > plan->to)
        *to = plan->to;
    return 1;
}
