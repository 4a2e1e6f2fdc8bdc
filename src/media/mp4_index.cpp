// A fragmented MP4's head: "ftyp", "moov" (the init piece), then a "sidx"
// whose references are the fragments, each a "moof"+"mdat" pair.
#include "media/frag_index.h"

#include "text/bounded.h"

namespace {

// Bytes asked for past a box header that has not arrived: enough for the
// boxes between the init and the index of most files.
const long long HEADER_GUESS = 4096;

struct Box {
    long long at, size;  // size 0: to the end of the file
    unsigned long type;
    int header;
};

unsigned long long read_be(const unsigned char* p, int bytes)
{
    unsigned long long v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

constexpr unsigned long box_type(const char (&name)[5])
{
    return ((unsigned long)(unsigned char)name[0] << 24) | ((unsigned long)(unsigned char)name[1] << 16) |
           ((unsigned long)(unsigned char)name[2] << 8) | (unsigned long)(unsigned char)name[3];
}

// 1 with the box at at; 0 when its header lies past len (*need set).
int read_box(const unsigned char* head, size_t len, long long at, Box* box, long long* need)
{
    if (at + 8 > (long long)len) {
        *need = at + HEADER_GUESS;
        return 0;
    }
    box->at = at;
    box->size = (long long)read_be(head + at, 4);
    box->type = (unsigned long)read_be(head + at + 4, 4);
    box->header = 8;
    if (box->size == 1) {
        if (at + 16 > (long long)len) {
            *need = at + 16;
            return 0;
        }
        box->size = (long long)read_be(head + at + 8, 8);
        box->header = 16;
    }
    return 1;
}

int none(wchar_t (&reason)[FRAG_REASON_CAP], const wchar_t* why)
{
    format_text(reason, L"%ls", why);
    return FRAG_READ_NONE;
}

int read_sidx(const unsigned char* head, const Box& box, FragIndex* index, wchar_t (&reason)[FRAG_REASON_CAP])
{
    const unsigned char* p = head + box.at + box.header;
    const long long body = box.size - box.header;
    const int version = p[0];
    const int fixed = version == 0 ? 24 : 32;  // up to the reference count
    if (body < fixed)
        return none(reason, L"the file's index is damaged");
    const unsigned long long timescale = read_be(p + 8, 4);
    const int wide = version == 0 ? 4 : 8;
    const unsigned long long earliest = read_be(p + 12, wide);
    const unsigned long long first_offset = read_be(p + 12 + wide, wide);
    const int count = (int)read_be(p + 12 + 2 * wide + 2, 2);
    if (timescale == 0 || body < fixed + 12LL * count || count == 0)
        return none(reason, L"the file's index is damaged");
    if (count > FRAG_MAX)
        return none(reason, L"the file's index lists too many fragments");
    const unsigned char* ref = p + fixed;
    long long offset = box.at + box.size + (long long)first_offset;
    unsigned long long ticks = earliest;
    for (int i = 0; i < count; ++i, ref += 12) {
        const unsigned long long word = read_be(ref, 4);
        if (word >> 31)
            return none(reason, L"the file's index refers to further indexes");
        index->offset[i] = offset;
        index->size[i] = (long long)(word & 0x7fffffffULL);
        index->start[i] = (double)ticks / (double)timescale;
        offset += index->size[i];
        ticks += read_be(ref + 4, 4);
    }
    index->count = count;
    index->file_size = offset;
    index->duration = (double)(ticks - earliest) / (double)timescale;
    return FRAG_READ_OK;
}

}  // namespace

int read_mp4_index(const unsigned char* head, size_t len, long long file_size, FragIndex* index, long long* need,
                   wchar_t (&reason)[FRAG_REASON_CAP])
{
    (void)file_size;  // the index gives the file's length
    index->kind = FRAG_MP4;
    index->count = 0;
    int seen_moov = 0;
    long long at = 0;
    for (;;) {
        Box box;
        if (!read_box(head, len, at, &box, need))
            return FRAG_READ_MORE;
        if (at == 0 && box.type != box_type("ftyp"))
            return none(reason, L"the file is not an MP4");
        if (box.size < box.header)
            return none(reason, box.size == 0 ? L"the file has no index at its head" : L"the file is damaged");
        if (box.type == box_type("moov"))
            seen_moov = 1;
        if (box.type == box_type("mdat"))
            return none(reason, L"the file is not fragmented");
        if (box.type == box_type("moof"))
            return none(reason, L"the file has no index at its head");
        if (box.type == box_type("sidx")) {
            if (!seen_moov)
                return none(reason, L"the file has no index at its head");
            if (box.at + box.size > (long long)len) {
                *need = box.at + box.size;
                return FRAG_READ_MORE;
            }
            index->init_end = box.at;
            return read_sidx(head, box, index, reason);
        }
        at += box.size;
    }
}

int read_frag_index(const unsigned char* head, size_t len, long long file_size, FragIndex* index,
                    long long* need, wchar_t (&reason)[FRAG_REASON_CAP])
{
    reason[0] = L'\0';
    *need = 0;
    index->duration = -1;
    index->file_size = -1;
    index->seek_head_length = 0;
    index->cues_length = 0;
    if (len >= 4 && head[0] == 0x1A && head[1] == 0x45 && head[2] == 0xDF && head[3] == 0xA3)
        return read_webm_index(head, len, file_size, index, need, reason);
    if (len < 8) {
        *need = 16;
        return FRAG_READ_MORE;
    }
    return read_mp4_index(head, len, file_size, index, need, reason);
}
