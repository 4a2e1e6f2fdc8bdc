// The yt-dlp and ffmpeg command lines of a clip fetched as fragments.
#include "media/frag_steps.h"

#include <cwchar>

#include "text/bounded.h"
#include "text/cmdline.h"

const wchar_t FETCH_OUTPUT_TEMPLATE[] = L"%ls.%%(format_id)s.%%(ext)s";
const wchar_t RESOLVED_INFO[] = L"resolved";
const wchar_t RESOLVED_NAME_MARK[] = L"[clip name] ";

namespace {

enum { NUMBER_CAP = 48 };

// No fixup may touch a fetched file: it is cut as it came. "--no-part":
// a file is either whole or missing. Eight pieces at a time: each
// connection gets its own share of the line.
const wchar_t* const FETCH_OPTIONS[] = {L"--no-playlist", L"--newline", L"--no-mtime", L"--encoding", L"utf-8",
                                        L"--fixup", L"never", L"--no-part", L"--concurrent-fragments", L"8"};

// yt-dlp's own names for the muxers of its extensions.
const wchar_t* const MUXER_EXTENSIONS[][2] = {{L"aac", L"adts"},     {L"m4a", L"ipod"},    {L"mka", L"matroska"},
                                              {L"mkv", L"matroska"}, {L"mpg", L"mpeg"},    {L"ogv", L"ogg"},
                                              {L"ts", L"mpegts"},    {L"wma", L"asf"},     {L"wmv", L"asf"}};

int append_number(wchar_t* line, size_t cap, const wchar_t* option, double value)
{
    wchar_t number[NUMBER_CAP];
    format_text(number, L"%.6f", value);
    const wchar_t* args[] = {option, number};
    return append_all(line, cap, args, 2);
}

int append_cookies(wchar_t* line, size_t cap, const wchar_t* cookies)
{
    const wchar_t* browser[] = {L"--cookies-from-browser", cookies};
    return std::wcscmp(cookies, L"none") == 0 || append_all(line, cap, browser, 2);
}

}  // namespace

int build_resolve_command(const wchar_t* ytdlp, const wchar_t* source, int from_file,
                          const wchar_t* const* options, int option_count, const wchar_t* name_template,
                          const wchar_t* cookies, wchar_t* line, size_t cap)
{
    wchar_t info[FETCH_NAME_CAP], print[FETCH_NAME_CAP];
    format_text(info, L"infojson:%ls", RESOLVED_INFO);
    format_text(print, L"%ls%%(filename)s", RESOLVED_NAME_MARK);
    line[0] = L'\0';
    const wchar_t* from_info[] = {ytdlp, L"--load-info-json", source};
    const wchar_t* from_address[] = {ytdlp, source};
    const wchar_t* rest[] = {L"--no-playlist", L"--encoding", L"utf-8", L"--skip-download", L"--no-simulate",
                             L"--write-info-json", L"-o", name_template, L"-o", info, L"--print", print};
    return (from_file ? append_all(line, cap, from_info, 3) : append_all(line, cap, from_address, 2)) &&
           append_all(line, cap, rest, sizeof rest / sizeof rest[0]) &&
           append_all(line, cap, options, (size_t)option_count) && append_cookies(line, cap, cookies);
}

int build_fetch_command(const wchar_t* ytdlp, const wchar_t* info, const wchar_t* ids, const wchar_t* kind,
                        long long max_bytes, const wchar_t* cookies, const wchar_t* ffmpeg_dir, wchar_t* line,
                        size_t cap)
{
    wchar_t output[FETCH_NAME_CAP];
    if (!format_text(output, FETCH_OUTPUT_TEMPLATE, kind))
        return 0;
    line[0] = L'\0';
    const wchar_t* head[] = {ytdlp, L"--load-info-json", info};
    const wchar_t* tail[] = {L"-o", output, L"-f", ids};
    int fitted = append_all(line, cap, head, 3) &&
                 append_all(line, cap, FETCH_OPTIONS, sizeof FETCH_OPTIONS / sizeof FETCH_OPTIONS[0]) &&
                 append_all(line, cap, tail, 4);
    if (fitted && ffmpeg_dir && ffmpeg_dir[0]) {
        const wchar_t* location[] = {L"--ffmpeg-location", ffmpeg_dir};
        fitted = append_all(line, cap, location, 2);
    }
    if (fitted && max_bytes > 0) {
        wchar_t bytes[NUMBER_CAP];
        format_text(bytes, L"%lld", max_bytes);
        const wchar_t* limit[] = {L"--max-filesize", bytes};
        fitted = append_all(line, cap, limit, 2);
    }
    return fitted && append_cookies(line, cap, cookies);
}

const wchar_t* muxer_for_extension(const wchar_t* ext)
{
    for (const auto& pair : MUXER_EXTENSIONS)
        if (std::wcscmp(pair[0], ext) == 0)
            return pair[1];
    return ext;
}

int build_fragment_cut_command(const wchar_t* ffmpeg, const CutInput* inputs, int count, double start,
                               double end, const wchar_t* muxer, const wchar_t* output, wchar_t* line,
                               size_t cap)
{
    line[0] = L'\0';
    const wchar_t* head[] = {ffmpeg, L"-y", L"-hide_banner"};
    int fitted = append_all(line, cap, head, 3);
    const double from = start > 0 ? start : 0;
    for (int i = 0; i < count && fitted; ++i) {
        if (inputs[i].seek > 0)
            fitted = append_number(line, cap, L"-ss", inputs[i].seek);
        if (fitted && end >= 0)
            fitted = append_number(line, cap, L"-t", end - from);
        const wchar_t* input[] = {L"-i", inputs[i].file};
        fitted = fitted && append_all(line, cap, input, 2);
    }
    const wchar_t* copy[] = {L"-c", L"copy"};
    fitted = fitted && append_all(line, cap, copy, 2);
    for (int i = 0; i < count && count > 1 && fitted; ++i) {
        wchar_t map[NUMBER_CAP];
        format_text(map, L"%d:0", i);
        const wchar_t* args[] = {L"-map", map};
        fitted = append_all(line, cap, args, 2);
    }
    const wchar_t* out[] = {L"-f", muxer, output};
    return fitted && append_all(line, cap, out, 3);
}
