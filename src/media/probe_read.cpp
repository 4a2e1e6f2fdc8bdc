// Reads ffprobe's "compact" output: one section per line, "packet|pts=…|…",
// "stream|codec_name=…|…", "format|format_name=…|…". Values escape "\", "|"
// and line ends with a backslash, as ffprobe's compact writer does.
#include "media/probe_read.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "text/arg_line.h"
#include "text/hex.h"

namespace {

// Every packet's times and flags, the streams and the container. Without
// "-show_data": with it ffprobe dumps every packet's bytes too, seconds of
// work for a short 1080p section.
const wchar_t* const PROBE_ARGS[] = {
    L"-v", L"error",
    L"-show_entries",
    L"packet=codec_type,stream_index,pts,dts,duration,flags:"
    L"stream=index,codec_type,codec_name,profile,level,pix_fmt,width,height,sample_aspect_ratio,color_range,"
    L"color_space,color_transfer,color_primaries,r_frame_rate,time_base:"
    L"format=format_name,duration",
    L"-of", L"compact"};
// The streams' extradata (the H.264 sample entry), which only "-show_data" shows.
const wchar_t* const PROBE_STREAMS_ARGS[] = {
    L"-v", L"error", L"-show_entries", L"stream=index,codec_type,extradata", L"-show_data", L"-of", L"compact"};

const wchar_t PACKET[] = L"packet|";
const wchar_t STREAM[] = L"stream|";
const wchar_t FORMAT[] = L"format|";

int starts_with(const wchar_t* text, const wchar_t* prefix)
{
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// A field's value as ffprobe wrote it (escapes still in), not terminated.
struct Field {
    const wchar_t* key;
    size_t key_len;
    const wchar_t* value;
    size_t value_len;
};

// Reads the field at *p, which points past a '|', and moves *p past it.
// 0 at the end of the line.
int next_field(const wchar_t** p, Field* field)
{
    const wchar_t* s = *p;
    if (*s == L'\0')
        return 0;
    const wchar_t* eq = s;
    while (*eq && *eq != L'=' && *eq != L'|')
        ++eq;
    field->key = s;
    field->key_len = (size_t)(eq - s);
    const wchar_t* v = *eq == L'=' ? eq + 1 : eq;
    const wchar_t* e = v;
    while (*e && *e != L'|') {
        if (*e == L'\\' && e[1])
            ++e;
        ++e;
    }
    field->value = v;
    field->value_len = (size_t)(e - v);
    *p = *e ? e + 1 : e;
    return 1;
}

int is_key(const Field* f, const wchar_t* key)
{
    return f->key_len == std::wcslen(key) && std::wcsncmp(f->key, key, f->key_len) == 0;
}

void copy_word(const Field* f, wchar_t (&out)[PROBE_WORD_CAP])
{
    size_t n = f->value_len < PROBE_WORD_CAP - 1 ? f->value_len : PROBE_WORD_CAP - 1;
    std::wmemcpy(out, f->value, n);
    out[n] = L'\0';
}

// A whole integer value; 0 for "N/A" and anything else.
int read_integer(const Field* f, long long* out)
{
    wchar_t text[PROBE_WORD_CAP];
    copy_word(f, text);
    wchar_t* end = nullptr;
    long long v = std::wcstoll(text, &end, 10);
    if (end == text || *end != L'\0')
        return 0;
    *out = v;
    return 1;
}

long long integer_or(const Field* f, long long otherwise)
{
    long long v = 0;
    return read_integer(f, &v) ? v : otherwise;
}

// "30000/1001" or "16:9": 1 with both numbers.
int read_ratio(const Field* f, int* num, int* den)
{
    wchar_t text[PROBE_WORD_CAP];
    copy_word(f, text);
    wchar_t* end = nullptr;
    long a = std::wcstol(text, &end, 10);
    if (end == text || (*end != L'/' && *end != L':'))
        return 0;
    wchar_t* start = end + 1;
    long b = std::wcstol(start, &end, 10);
    if (end == start || *end != L'\0')
        return 0;
    *num = (int)a;
    *den = (int)b;
    return 1;
}

// The extradata as ffprobe dumps it: "\n" (escaped), then lines of
// "00000010: 0164 000d …  ascii" with the hex in the 41 columns after the
// offset. Only those columns are read: the ASCII may look like hex.
void read_extradata(const Field* f, ProbeResult* probe)
{
    enum { OFFSET_COLUMNS = 10, HEX_COLUMNS = 41 };
    probe->extradata_size = 0;
    const wchar_t* p = f->value;
    const wchar_t* end = f->value + f->value_len;
    while (p < end) {
        // Each dump line begins after an escaped line end.
        const wchar_t* nl = p;
        while (nl + 1 < end && !(nl[0] == L'\\' && nl[1] == L'n'))
            nl += nl[0] == L'\\' ? 2 : 1;
        if (nl + 1 >= end)
            break;
        const wchar_t* line = nl + 2;
        const wchar_t* hex = line + OFFSET_COLUMNS;
        for (int col = 0; col + 1 < HEX_COLUMNS && hex + col + 1 < end; ++col) {
            int hi = hex_digit(hex[col]), lo = hex_digit(hex[col + 1]);
            if (hi < 0 || lo < 0)
                continue;
            if (probe->extradata_size == PROBE_EXTRADATA_CAP) {
                probe->extradata_too_long = 1;
                probe->extradata_size = 0;
                return;
            }
            probe->extradata[probe->extradata_size++] = (unsigned char)(hi * 16 + lo);
            ++col;
        }
        p = line;
    }
}

int is_value(const Field* f, const wchar_t* value)
{
    return f->value_len == std::wcslen(value) && std::wcsncmp(f->value, value, f->value_len) == 0;
}

// 1 when the section (packet or stream) belongs to the first video stream,
// which it makes the video stream when there is none yet.
int is_first_video(ProbeResult* probe, const Field* type, long long index)
{
    if (!is_value(type, L"video"))
        return 0;
    if (probe->video_index < 0)
        probe->video_index = (int)index;
    return probe->video_index == index;
}

void read_packet(ProbeResult* probe, const wchar_t* fields)
{
    ProbePacket packet = {PROBE_NO_TIME, PROBE_NO_TIME, 0, 0, 0};
    // A packet's fields come in ffprobe's order: codec_type, stream_index, …
    Field type, index;
    if (!next_field(&fields, &type) || !next_field(&fields, &index) ||
        !is_first_video(probe, &type, integer_or(&index, -1)))
        return;
    Field f;
    while (next_field(&fields, &f)) {
        if (is_key(&f, L"pts"))
            packet.pts = integer_or(&f, PROBE_NO_TIME);
        else if (is_key(&f, L"dts"))
            packet.dts = integer_or(&f, PROBE_NO_TIME);
        else if (is_key(&f, L"duration"))
            packet.duration = integer_or(&f, 0);
        else if (is_key(&f, L"flags")) {
            for (size_t i = 0; i < f.value_len; ++i) {
                packet.key |= f.value[i] == L'K';
                packet.discard |= f.value[i] == L'D';
            }
        }
    }
    probe->total++;
    probe->discarded += packet.discard;
    if (packet.pts != PROBE_NO_TIME) {
        long long end_time = packet.pts + packet.duration;
        if (probe->last_end == PROBE_NO_TIME || end_time > probe->last_end)
            probe->last_end = end_time;
        if (probe->max_pts == PROBE_NO_TIME || packet.pts > probe->max_pts)
            probe->max_pts = packet.pts;
    }
    if (probe->kept < PROBE_KEPT_PACKETS)
        probe->packets[probe->kept++] = packet;
    else
        probe->keys_after_kept += packet.key;
}

// How each field of the video stream is taken into the record.
struct StreamField {
    const wchar_t* key;
    void (*take)(const Field* f, ProbeResult* probe);
};

const StreamField STREAM_FIELDS[] = {
    {L"codec_name", [](const Field* f, ProbeResult* p) { copy_word(f, p->codec); }},
    {L"profile", [](const Field* f, ProbeResult* p) { copy_word(f, p->profile); }},
    {L"level", [](const Field* f, ProbeResult* p) { p->level = (int)integer_or(f, -99); }},
    {L"pix_fmt", [](const Field* f, ProbeResult* p) { copy_word(f, p->pix_fmt); }},
    {L"width", [](const Field* f, ProbeResult* p) { p->width = (int)integer_or(f, 0); }},
    {L"height", [](const Field* f, ProbeResult* p) { p->height = (int)integer_or(f, 0); }},
    {L"sample_aspect_ratio", [](const Field* f, ProbeResult* p) { read_ratio(f, &p->sar_num, &p->sar_den); }},
    {L"color_range", [](const Field* f, ProbeResult* p) { copy_word(f, p->color_range); }},
    {L"color_space", [](const Field* f, ProbeResult* p) { copy_word(f, p->color_space); }},
    {L"color_transfer", [](const Field* f, ProbeResult* p) { copy_word(f, p->color_transfer); }},
    {L"color_primaries", [](const Field* f, ProbeResult* p) { copy_word(f, p->color_primaries); }},
    {L"r_frame_rate", [](const Field* f, ProbeResult* p) { read_ratio(f, &p->rate_num, &p->rate_den); }},
    {L"time_base", [](const Field* f, ProbeResult* p) { read_ratio(f, &p->tb_num, &p->tb_den); }},
    {L"extradata", [](const Field* f, ProbeResult* p) { read_extradata(f, p); }},
};
enum { STREAM_FIELD_COUNT = sizeof STREAM_FIELDS / sizeof STREAM_FIELDS[0] };

// ffprobe writes a stream's fields in its own order, not in the order
// asked for, so which stream a line is about is known only at its end: the
// fields the table knows are noted in one pass and taken if it is the
// first video stream.
void read_stream(ProbeResult* probe, const wchar_t* fields)
{
    Field noted[STREAM_FIELD_COUNT];
    const StreamField* takes[STREAM_FIELD_COUNT];
    int noted_count = 0;
    Field f, type = {L"", 0, L"", 0};
    long long index = -1;
    for (const wchar_t* p = fields; next_field(&p, &f);) {
        if (is_key(&f, L"index"))
            index = integer_or(&f, -1);
        else if (is_key(&f, L"codec_type"))
            type = f;
        for (const StreamField& field : STREAM_FIELDS) {
            if (is_key(&f, field.key) && noted_count < STREAM_FIELD_COUNT) {
                noted[noted_count] = f;
                takes[noted_count++] = &field;
            }
        }
    }
    if (is_value(&type, L"audio"))
        probe->has_audio = 1;
    if (!is_first_video(probe, &type, index))
        return;
    probe->has_video = 1;
    for (int i = 0; i < noted_count; ++i)
        takes[i]->take(&noted[i], probe);
}

void read_format(ProbeResult* probe, const wchar_t* fields)
{
    Field f;
    while (next_field(&fields, &f)) {
        if (is_key(&f, L"format_name")) {
            copy_word(&f, probe->format);
        } else if (is_key(&f, L"duration")) {
            wchar_t text[PROBE_WORD_CAP];
            copy_word(&f, text);
            wchar_t* end = nullptr;
            double v = std::wcstod(text, &end);
            if (end != text && *end == L'\0')
                probe->format_duration = v;
        }
    }
}

}  // namespace

namespace {

template <size_t N>
int build_ffprobe(const wchar_t* ffprobe, const wchar_t* const (&options)[N], const wchar_t* file, wchar_t* line,
                  size_t cap)
{
    ArgLine args = arg_line(line, cap);
    add_arg(&args, ffprobe);
    for (const wchar_t* arg : options)
        add_arg(&args, arg);
    add_arg(&args, file);
    return args.fitted;
}

}  // namespace

int build_probe_command(const wchar_t* ffprobe, const wchar_t* section, wchar_t* line, size_t cap)
{
    return build_ffprobe(ffprobe, PROBE_ARGS, section, line, cap);
}

int build_probe_streams_command(const wchar_t* ffprobe, const wchar_t* section, wchar_t* line, size_t cap)
{
    return build_ffprobe(ffprobe, PROBE_STREAMS_ARGS, section, line, cap);
}

void probe_begin(ProbeResult* probe)
{
    std::memset(probe, 0, sizeof *probe);
    probe->format_duration = -1;
    probe->level = -99;
    probe->sar_den = 1;
    probe->last_end = PROBE_NO_TIME;
    probe->max_pts = PROBE_NO_TIME;
    probe->video_index = -1;
}

void probe_read_line(ProbeResult* probe, const wchar_t* line)
{
    if (starts_with(line, PACKET))
        read_packet(probe, line + std::wcslen(PACKET));
    else if (starts_with(line, STREAM))
        read_stream(probe, line + std::wcslen(STREAM));
    else if (starts_with(line, FORMAT))
        read_format(probe, line + std::wcslen(FORMAT));
}
