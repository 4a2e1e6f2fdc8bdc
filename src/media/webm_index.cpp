// A WebM's head: the EBML header, the Segment, its Info (timecode scale and
// length), Tracks, and Cues before the first Cluster: each cue point gives
// a cluster's time and its place in the Segment. Cues after the clusters
// would need the whole file first, so such a file has no usable index.
#include "media/frag_index.h"

#include "media/frag_plan.h"

#include <cstring>

#include "text/bounded.h"

namespace {

enum : unsigned long {
    ID_EBML = 0x1A45DFA3,
    ID_SEGMENT = 0x18538067,
    ID_SEEK_HEAD = 0x114D9B74,
    ID_INFO = 0x1549A966,
    ID_CUES = 0x1C53BB6B,
    ID_CLUSTER = 0x1F43B675,
    ID_TIMECODE_SCALE = 0x2AD7B1,
    ID_DURATION = 0x4489,
    ID_CUE_POINT = 0xBB,
    ID_CUE_TIME = 0xB3,
    ID_CUE_TRACK_POSITIONS = 0xB7,
    ID_CUE_CLUSTER_POSITION = 0xF1,
    ID_VOID = 0xEC
};

const unsigned long long UNKNOWN_SIZE = ~0ULL;
// Bytes asked for past an element header that has not arrived.
const long long HEADER_GUESS = 4096;

struct Element {
    unsigned long id;
    long long at, data;        // the element's first byte and its data's
    unsigned long long size;   // of the data; UNKNOWN_SIZE when not given
    int size_length;           // bytes of the size field
};

// An EBML variable-length number at p: its length (1-8), or 0 when it
// does not fit in the bytes left or is malformed.
int vint_length(const unsigned char* p, long long left)
{
    if (left < 1 || p[0] == 0)
        return 0;
    int n = 1;
    while (!(p[0] & (0x80 >> (n - 1))))
        ++n;
    return n <= left ? n : 0;
}

// 1 with the element at at; 0 when its header is not within len.
int read_element(const unsigned char* head, size_t len, long long at, Element* e)
{
    const long long left = (long long)len - at;
    const int id_length = at < (long long)len ? vint_length(head + at, left) : 0;
    if (id_length == 0 || id_length > 4)
        return 0;
    const int size_length = vint_length(head + at + id_length, left - id_length);
    if (size_length == 0)
        return 0;
    e->id = 0;
    for (int i = 0; i < id_length; ++i)
        e->id = (e->id << 8) | head[at + i];
    const unsigned char* s = head + at + id_length;
    unsigned long long size = s[0] & (0xFF >> size_length);
    int all_ones = size == (0xFFULL >> size_length);
    for (int i = 1; i < size_length; ++i) {
        size = (size << 8) | s[i];
        all_ones = all_ones && s[i] == 0xFF;
    }
    e->at = at;
    e->size_length = size_length;
    e->data = at + id_length + size_length;
    e->size = all_ones ? UNKNOWN_SIZE : size;
    return 1;
}

unsigned long long read_uint(const unsigned char* p, unsigned long long size)
{
    unsigned long long v = 0;
    for (unsigned long long i = 0; i < size && i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
}

double read_float(const unsigned char* p, unsigned long long size)
{
    unsigned long long bits = read_uint(p, size);
    if (size == 4) {
        unsigned int b32 = (unsigned int)bits;
        float f;
        std::memcpy(&f, &b32, sizeof f);
        return f;
    }
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

int none(wchar_t (&reason)[FRAG_REASON_CAP], const wchar_t* why)
{
    format_text(reason, L"%ls", why);
    return FRAG_READ_NONE;
}

void read_info(const unsigned char* head, const Element& info, unsigned long long* scale, double* duration)
{
    long long at = info.data;
    const long long end = info.data + (long long)info.size;
    Element e;
    while (at < end && read_element(head, (size_t)end, at, &e) && e.size != UNKNOWN_SIZE &&
           e.data + (long long)e.size <= end) {
        if (e.id == ID_TIMECODE_SCALE)
            *scale = read_uint(head + e.data, e.size);
        else if (e.id == ID_DURATION && (e.size == 4 || e.size == 8))
            *duration = read_float(head + e.data, e.size);
        at = e.data + (long long)e.size;
    }
}

// Walks the children of [at, end) and calls take for each; 0 when one is malformed.
template <typename Take>
int each_child(const unsigned char* head, long long at, long long end, Take take)
{
    Element e;
    while (at < end) {
        if (!read_element(head, (size_t)end, at, &e) || e.size == UNKNOWN_SIZE ||
            e.data + (long long)e.size > end)
            return 0;
        if (!take(e))
            return 0;
        at = e.data + (long long)e.size;
    }
    return 1;
}

// The cue points into index: one fragment per cluster a cue names, in order.
int read_cues(const unsigned char* head, const Element& cues, unsigned long long scale, FragIndex* index,
              wchar_t (&reason)[FRAG_REASON_CAP])
{
    index->count = 0;
    int ordered = 1, too_many = 0;
    int read = each_child(head, cues.data, cues.data + (long long)cues.size, [&](const Element& point) {
        if (point.id != ID_CUE_POINT)
            return 1;
        unsigned long long time = 0;
        long long position = -1;
        int fine = each_child(head, point.data, point.data + (long long)point.size, [&](const Element& e) {
            if (e.id == ID_CUE_TIME)
                time = read_uint(head + e.data, e.size);
            if (e.id == ID_CUE_TRACK_POSITIONS && position < 0)
                return each_child(head, e.data, e.data + (long long)e.size, [&](const Element& p) {
                    if (p.id == ID_CUE_CLUSTER_POSITION)
                        position = (long long)read_uint(head + p.data, p.size);
                    return 1;
                });
            return 1;
        });
        if (!fine || position < 0)
            return 0;
        const long long offset = index->segment_data + position;
        const int n = index->count;
        if (n > 0 && offset == index->offset[n - 1])
            return 1;  // another track's cue in the same cluster
        if (n > 0 && offset < index->offset[n - 1])
            ordered = 0;
        if (n == FRAG_MAX) {
            too_many = 1;
            return 0;
        }
        index->offset[n] = offset;
        index->start[n] = (double)time * (double)scale / 1e9;
        index->count = n + 1;
        return 1;
    });
    if (too_many)
        return none(reason, L"the file's index lists too many fragments");
    if (!read || !ordered || index->count == 0)
        return none(reason, L"the file's index is damaged");
    return FRAG_READ_OK;
}

// Fragment sizes: up to the next cue's cluster, the last up to the end.
int size_fragments(FragIndex* index, long long end, wchar_t (&reason)[FRAG_REASON_CAP])
{
    if (end < 0)
        return none(reason, L"the file's length is not known");
    for (int i = 0; i < index->count; ++i) {
        const long long next = i + 1 < index->count ? index->offset[i + 1] : end;
        if (next <= index->offset[i] || index->offset[i] < index->init_end)
            return none(reason, L"the file's index is damaged");
        index->size[i] = next - index->offset[i];
    }
    index->file_size = end;
    return FRAG_READ_OK;
}

}  // namespace

int read_webm_index(const unsigned char* head, size_t len, long long file_size, FragIndex* index,
                    long long* need, wchar_t (&reason)[FRAG_REASON_CAP])
{
    index->kind = FRAG_WEBM;
    index->count = 0;
    Element ebml, segment;
    if (!read_element(head, len, 0, &ebml)) {
        *need = 64;
        return FRAG_READ_MORE;
    }
    if (ebml.id != ID_EBML || ebml.size == UNKNOWN_SIZE)
        return none(reason, L"the file is not a WebM");
    const long long segment_at = ebml.data + (long long)ebml.size;
    if (!read_element(head, len, segment_at, &segment)) {
        *need = segment_at + 12;
        return FRAG_READ_MORE;
    }
    if (segment.id != ID_SEGMENT)
        return none(reason, L"the file is not a WebM");
    index->segment_size_at = segment.data - segment.size_length;
    index->segment_size_length = segment.size_length;
    index->segment_data = segment.data;
    const long long segment_end =
        segment.size == UNKNOWN_SIZE ? file_size : segment.data + (long long)segment.size;

    unsigned long long scale = 1000000;
    double duration = -1;
    Element cues = {0, 0, 0, 0, 0};
    long long at = segment.data;
    for (;;) {
        Element e;
        if (!read_element(head, len, at, &e)) {
            *need = at + HEADER_GUESS;
            return FRAG_READ_MORE;
        }
        if (e.id == ID_CLUSTER)
            break;
        if (e.size == UNKNOWN_SIZE)
            return none(reason, L"the file is damaged");
        const long long end = e.data + (long long)e.size;
        if ((e.id == ID_INFO || e.id == ID_CUES) && end > (long long)len) {
            *need = end + HEADER_GUESS;  // and the next element's header
            return FRAG_READ_MORE;
        }
        if (e.id == ID_INFO)
            read_info(head, e, &scale, &duration);
        else if (e.id == ID_CUES)
            cues = e;
        else if (e.id == ID_SEEK_HEAD) {
            index->seek_head_at = e.at;
            index->seek_head_length = end - e.at;
        }
        at = end;
    }
    if (cues.id != ID_CUES)
        return none(reason, L"the file's index comes after its clusters");
    index->init_end = at;
    index->cues_at = cues.at;
    index->cues_length = cues.data + (long long)cues.size - cues.at;
    index->duration = duration >= 0 ? duration * (double)scale / 1e9 : -1;
    int read = read_cues(head, cues, scale, index, reason);
    if (read != FRAG_READ_OK)
        return read;
    return size_fragments(index, segment_end, reason);
}

namespace {

// Turns the element of length bytes at at into a Void of the same length.
void make_void(unsigned char* head, long long at, long long length)
{
    const int size_length = length >= 9 ? 8 : 1;
    unsigned long long size = (unsigned long long)(length - 1 - size_length);
    head[at] = (unsigned char)ID_VOID;
    for (int i = size_length; i >= 1; --i, size >>= 8)
        head[at + i] = (unsigned char)(size & 0xFF);
    head[at + 1] |= (unsigned char)(0x80 >> (size_length - 1));
}

// Where the cluster at a cue's position (in the Segment) lies in the
// fetched file, in the Segment too.
long long fetched_position(const FragIndex* index, const FragPlan* plan, long long position)
{
    const long long offset = index->segment_data + position;
    long long fetched = index->init_end;
    if (offset <= plan->from)
        return fetched - index->segment_data;
    if (offset > plan->to)
        return fetched + (plan->to - plan->from + 1) - index->segment_data;
    return fetched + (offset - plan->from) - index->segment_data;
}

}  // namespace

int webm_fix_head(unsigned char* head, size_t len, const FragIndex* index, const FragPlan* plan)
{
    if (index->kind != FRAG_WEBM || (long long)len < index->init_end)
        return 0;
    unsigned char* size = head + index->segment_size_at;
    size[0] = (unsigned char)(0xFF >> (index->segment_size_length - 1));
    for (int i = 1; i < index->segment_size_length; ++i)
        size[i] = 0xFF;
    if (index->seek_head_length > 0)
        make_void(head, index->seek_head_at, index->seek_head_length);
    Element cues;
    if (!read_element(head, len, index->cues_at, &cues) || cues.id != ID_CUES)
        return 0;
    return each_child(head, cues.data, cues.data + (long long)cues.size, [&](const Element& point) {
        return point.id != ID_CUE_POINT ||
               each_child(head, point.data, point.data + (long long)point.size, [&](const Element& e) {
                   return e.id != ID_CUE_TRACK_POSITIONS ||
                          each_child(head, e.data, e.data + (long long)e.size, [&](const Element& p) {
                              if (p.id != ID_CUE_CLUSTER_POSITION || p.size == 0 || p.size > 8)
                                  return 1;
                              // Never larger than before, so it fits where it was.
                              unsigned long long value = (unsigned long long)fetched_position(
                                  index, plan, (long long)read_uint(head + p.data, p.size));
                              for (long long i = (long long)p.size - 1; i >= 0; --i, value >>= 8)
                                  head[p.data + i] = (unsigned char)(value & 0xFF);
                              return 1;
                          });
               });
    });
}
