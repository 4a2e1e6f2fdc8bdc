// The fragment road of a clip job: resolve, heads, plan, fetch, the WebM
// head fix and the local cut, every child echoed and run in the job folder.
#include "jobs/fragment_fetch.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "jobs/messages.h"
#include "media/fetch_info.h"
#include "media/frag_steps.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/clipname.h"
#include "text/format.h"
#include "text/hints.h"
#include "win/files.h"
#include "win/held_files.h"
#include "win/locator.h"

enum {
    // The bar: the pieces fill it up to FETCH_TOP of the job's fetch share,
    // the local cut the rest of that share.
    FETCH_TOP_PERMILLE = 950,
    // A resolved information file larger than this is not read.
    INFO_MAX_BYTES = 64 << 20
};

// How one attempt ended.
enum Road { ROAD_DONE, ROAD_FALLBACK, ROAD_REFUSED };

static const wchar_t FALLBACK_LINE[] = L"[tarnvik] the section is fetched as before, not as fragments: %ls";
static const wchar_t PROCESSING_STATUS[] = L"processing…";
static const wchar_t HEAD_KIND[] = L"head";
static const wchar_t FETCH_KIND[] = L"fetch";
static const wchar_t HEAD_INFO[] = L"head.json";
static const wchar_t FETCH_INFO[] = L"fetch.json";
static const wchar_t* const FETCH_FILE_PREFIXES[] = {L"head.", L"fetch.", L"resolved.info.json"};
static const wchar_t PIECE_DESTINATION[] = L"Destination: fetch.p";

struct FragFetch {
    ClipRun* clip;
    const wchar_t* ytdlp;
    wchar_t line[CLIP_LINE_CAP];
    wchar_t name[PATH_CAP];  // the clip's file name, as yt-dlp chose it
    wchar_t reason[FRAG_REASON_CAP];
    char* json;  // the resolved information
    size_t json_len;
    FetchInfo info;
    FragIndex index[FETCH_MAX_FORMATS];
    FragPlan plan[FETCH_MAX_FORMATS];
    int fetch_top;  // where the pieces' share of the bar ends
};

static int fall_back(FragFetch* ff, const wchar_t* why)
{
    format_text(ff->reason, L"%ls", why);
    return ROAD_FALLBACK;
}

static int job_path(const FragFetch* ff, const wchar_t* name, wchar_t (&path)[PATH_CAP])
{
    return join_path(path, ff->clip->job->outdir, name);
}

// yt-dlp's words (UTF-8) as wide text; 0 when they do not fit.
static int widen(const char* text, wchar_t* out, int cap)
{
    return MultiByteToWideChar(CP_UTF8, 0, text, -1, out, cap) > 0;
}

// kind.<id>.<ext>: the name yt-dlp gave format i's file.
static int fetched_name(const FragFetch* ff, int i, const wchar_t* kind, wchar_t (&name)[FETCH_NAME_CAP])
{
    wchar_t id[FETCH_WORD_CAP], ext[FETCH_WORD_CAP];
    return widen(FETCH_IDS[i], id, FETCH_WORD_CAP) && widen(ff->info.formats[i].ext, ext, FETCH_WORD_CAP) &&
           format_text(name, L"%ls.%ls.%ls", kind, id, ext);
}

static int fetched_path(const FragFetch* ff, int i, const wchar_t* kind, wchar_t (&path)[PATH_CAP])
{
    wchar_t name[FETCH_NAME_CAP];
    return fetched_name(ff, i, kind, name) && job_path(ff, name, path);
}

static int write_job_file(const FragFetch* ff, const wchar_t* name, const char* bytes, size_t length)
{
    wchar_t path[PATH_CAP];
    return job_path(ff, name, path) && write_new_file(path, bytes, length);
}

// Reads the whole file at path into a malloc'ed block (*bytes, *length);
// null when it is missing, empty or larger than max.
static char* read_whole_file(const wchar_t* path, size_t max, size_t* length)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    *length = 0;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || data.nFileSizeHigh ||
        data.nFileSizeLow == 0 || data.nFileSizeLow > max)
        return NULL;
    char* bytes = (char*)malloc(data.nFileSizeLow + 1);
    if (bytes && !read_file_start(path, (unsigned char*)bytes, data.nFileSizeLow, length)) {
        free(bytes);
        return NULL;
    }
    return bytes;
}

// The resolving run prints the clip's name after its mark, for us only.
static void take_resolve_line(void* ctx, const wchar_t* line)
{
    FragFetch* ff = (FragFetch*)ctx;
    const size_t mark = wcslen(RESOLVED_NAME_MARK);
    if (wcsncmp(line, RESOLVED_NAME_MARK, mark) == 0)
        format_text(ff->name, L"%ls", line + mark);
    else
        handle_line(&ff->clip->router, line);
}

// Each file's pieces fill the bar by their share of the planned bytes:
// "Destination: fetch.p1…" begins the second file's share.
static void take_piece_line(void* ctx, const wchar_t* line)
{
    FragFetch* ff = (FragFetch*)ctx;
    const wchar_t* at = wcsstr(line, PIECE_DESTINATION);
    if (at) {
        const int file = at[wcslen(PIECE_DESTINATION)] - L'0';
        long long total = 0, upto = 0;
        for (int i = 0; i < ff->info.count; ++i) {
            total += ff->plan[i].bytes;
            upto += i <= file ? ff->plan[i].bytes : 0;
        }
        share_bar_up_to(ff->clip, total > 0 ? (int)(ff->fetch_top * upto / total) : ff->fetch_top);
    }
    handle_line(&ff->clip->router, line);
}

// What a failed yt-dlp run of the road means: the job's end, a refusal the
// look-up's kept information may explain, or the road given up.
static int after_failed_run(FragFetch* ff, unsigned long code, const wchar_t* why, unsigned long* out)
{
    if (code == RUN_CANCELLED || code == RUN_FAILED) {
        *out = code;
        return ROAD_DONE;
    }
    return ff->clip->router.cause == CAUSE_FORBIDDEN ? ROAD_REFUSED : fall_back(ff, why);
}

static int resolve(FragFetch* ff, unsigned long* out)
{
    const ClipJob* job = ff->clip->job;
    wchar_t selector[FORMAT_SELECTOR_CAP];
    build_format_selector(job->height, job->mp4, job->noaudio, selector);
    const wchar_t* options[] = {YTDLP_FORMAT, selector, YTDLP_MERGE_FORMAT, YTDLP_MP4};
    // A clip of two formats is merged into MP4 as before; one file stays as it is.
    const int option_count = job->mp4 && wcschr(selector, L'+') ? 4 : 2;
    ClipNameBudget budget;
    wchar_t name_template[OUTPUT_TEMPLATE_CAP];
    clip_name_budget(job->outdir, &budget);
    format_output_template(&budget, name_template);
    const int from_file = job->info_file[0] != L'\0';
    if (!build_resolve_command(ff->ytdlp, from_file ? job->info_file : job->url, from_file, options, option_count,
                               name_template, job->cookies, ff->line, CLIP_LINE_CAP))
        return fall_back(ff, L"yt-dlp's command line does not fit");
    ff->name[0] = L'\0';
    unsigned long code = run_ytdlp(ff->clip, ff->line, take_resolve_line, ff);
    if (code != 0)
        return after_failed_run(ff, code, L"yt-dlp could not resolve the clip's formats", out);
    wchar_t path[PATH_CAP], file[FETCH_NAME_CAP];
    format_text(file, L"%ls.info.json", RESOLVED_INFO);
    free(ff->json);
    ff->json = job_path(ff, file, path) ? read_whole_file(path, INFO_MAX_BYTES, &ff->json_len) : NULL;
    if (!ff->json || !ff->name[0] || wcspbrk(ff->name, L"\\/"))
        return fall_back(ff, L"yt-dlp's information on the clip could not be read");
    if (!read_fetch_info(ff->json, ff->json_len, &ff->info, ff->reason))
        return ROAD_FALLBACK;
    if (ff->info.duration > 0)
        ff->clip->video_length = ff->info.duration;
    return -1;
}

// Writes name: the resolved information with each format listing parts.
static int write_fetch_info_file(FragFetch* ff, const wchar_t* name, const FetchPart* parts)
{
    size_t cap = fetch_info_size(ff->json_len, &ff->info, parts);
    char* text = (char*)malloc(cap);
    size_t length = text ? write_fetch_info(ff->json, &ff->info, parts, text, cap) : 0;
    int written = length > 0 && write_job_file(ff, name, text, length);
    free(text);
    return written;
}

static unsigned long run_fetch(FragFetch* ff, const wchar_t* info, const wchar_t* kind, long long max_bytes,
                               ChildLineHandler on_line)
{
    const wchar_t* ids = ff->info.count == 2 ? L"p0,p1" : L"p0";
    if (!build_fetch_command(ff->ytdlp, info, ids, kind, max_bytes, ff->clip->job->cookies, NULL, ff->line,
                             CLIP_LINE_CAP))
        return RUN_FAILED;
    return run_ytdlp(ff->clip, ff->line, on_line, ff);
}

// Reads file i's head into its index. 1 read, 0 given up (reason set),
// -1 the index needs *need bytes.
static int read_head(FragFetch* ff, int i, long long head_bytes, unsigned char* buffer, long long* need)
{
    wchar_t path[PATH_CAP];
    size_t length = 0;
    const wchar_t* why = L"the head of a file could not be fetched";
    int read = FRAG_READ_NONE;
    if (fetched_path(ff, i, HEAD_KIND, path) && read_file_start(path, buffer, (size_t)head_bytes + 1, &length)) {
        delete_file(path);
        if ((long long)length > head_bytes)
            why = L"the server answers a piece with the whole file";
        else if ((read = read_frag_index(buffer, length, ff->info.formats[i].filesize, &ff->index[i], need,
                                         ff->reason)) == FRAG_READ_NONE)
            return 0;  // the reader said why
    }
    if (read == FRAG_READ_OK)
        return 1;
    if (read == FRAG_READ_MORE && (long long)length == head_bytes)
        return -1;
    fall_back(ff, why);
    return 0;
}

// The heads, asked once more where an index is longer than the first answer.
static int fetch_heads(FragFetch* ff, unsigned long* out)
{
    long long head_bytes = FETCH_HEAD_BYTES;
    for (int round = 0; round < 2; ++round) {
        FetchPart parts[FETCH_MAX_FORMATS];
        for (int i = 0; i < ff->info.count; ++i)
            parts[i] = FetchPart{head_bytes, NULL, NULL};
        if (!write_fetch_info_file(ff, HEAD_INFO, parts))
            return fall_back(ff, L"the information for the heads could not be written");
        unsigned long code = run_fetch(ff, HEAD_INFO, HEAD_KIND, 4 * head_bytes, NULL);
        if (code != 0)
            return after_failed_run(ff, code, L"the head of a file could not be fetched", out);
        unsigned char* buffer = (unsigned char*)malloc((size_t)head_bytes + 1);
        if (!buffer)
            return fall_back(ff, L"no memory for a file's head");
        long long more = 0;
        int all_read = 1;
        for (int i = 0; i < ff->info.count; ++i) {
            long long need = 0;
            int read = read_head(ff, i, head_bytes, buffer, &need);
            if (read == 0) {
                free(buffer);
                return ROAD_FALLBACK;
            }
            if (read < 0) {
                all_read = 0;
                more = need > more ? need : more;
            }
        }
        free(buffer);
        if (all_read)
            return -1;
        head_bytes = more;
    }
    return fall_back(ff, L"a file's index is longer than asked twice");
}

static int fetch_pieces(FragFetch* ff, unsigned long* out)
{
    FetchPart parts[FETCH_MAX_FORMATS];
    for (int i = 0; i < ff->info.count; ++i) {
        if (!plan_fragments(&ff->index[i], ff->clip->job->start, ff->clip->job->end, &ff->plan[i]))
            return fall_back(ff, L"no fragment holds the clip");
        parts[i] = FetchPart{0, &ff->index[i], &ff->plan[i]};
    }
    if (!write_fetch_info_file(ff, FETCH_INFO, parts))
        return fall_back(ff, L"the information for the pieces could not be written");
    unsigned long code = run_fetch(ff, FETCH_INFO, FETCH_KIND, 0, take_piece_line);
    if (code != 0)
        return after_failed_run(ff, code, L"the pieces could not be fetched", out);
    return -1;
}

// A fetched WebM's head made to fit what follows it (webm_fix_head).
static int fix_webm_heads(FragFetch* ff)
{
    for (int i = 0; i < ff->info.count; ++i) {
        const FragIndex* index = &ff->index[i];
        if (index->kind != FRAG_WEBM)
            continue;
        wchar_t path[PATH_CAP];
        size_t length = 0;
        unsigned char* head = (unsigned char*)malloc((size_t)index->init_end);
        int fixed = head && fetched_path(ff, i, FETCH_KIND, path) &&
                    read_file_start(path, head, (size_t)index->init_end, &length) &&
                    webm_fix_head(head, length, index, &ff->plan[i]) && write_file_start(path, head, length);
        free(head);
        if (!fixed) {
            fall_back(ff, L"a fetched WebM could not be prepared for the cut");
            return 0;
        }
    }
    return 1;
}

static int cut_locally(FragFetch* ff, unsigned long* out)
{
    const ClipJob* job = ff->clip->job;
    wchar_t ffmpeg[PATH_CAP], files[FETCH_MAX_FORMATS][FETCH_NAME_CAP], ext[FETCH_WORD_CAP];
    CutInput inputs[FETCH_MAX_FORMATS];
    if (!find_tool(TOOL_FFMPEG, ffmpeg))
        return fall_back(ff, L"ffmpeg is missing");
    for (int i = 0; i < ff->info.count; ++i) {
        if (!fetched_name(ff, i, FETCH_KIND, files[i]))
            return fall_back(ff, L"a fetched file's name does not fit");
        inputs[i] = CutInput{files[i], ff->plan[i].seek};
    }
    if (!widen(ff->info.ext, ext, FETCH_WORD_CAP) ||
        !build_fragment_cut_command(ffmpeg, inputs, ff->info.count, job->start, job->end, muxer_for_extension(ext),
                                    ff->name, ff->line, CLIP_LINE_CAP))
        return fall_back(ff, L"ffmpeg's command line does not fit");
    post_status(STATUS_STAGE, PROCESSING_STATUS);
    share_bar_up_to(ff->clip, job->exact ? (int)EXACT_FETCH_SHARE : (int)BAR_FULL);
    unsigned long code = run_clip_child(ff->clip, ff->line, NULL, NULL, NULL);
    if (code == 0 || code == RUN_CANCELLED) {
        *out = code;
        return ROAD_DONE;
    }
    wchar_t clip_path[PATH_CAP];
    if (job_path(ff, ff->name, clip_path))
        delete_file(clip_path);
    return fall_back(ff, L"the cut from the fetched pieces failed");
}

// One attempt from the resolving run to the clip.
static int run_road(FragFetch* ff, unsigned long* out)
{
    int road;
    if ((road = resolve(ff, out)) >= 0 || (road = fetch_heads(ff, out)) >= 0)
        return road;
    if ((road = fetch_pieces(ff, out)) >= 0)
        return road;
    if (!fix_webm_heads(ff))
        return ROAD_FALLBACK;
    return cut_locally(ff, out);
}

// Every file of the road's own: the information files, heads, pieces and
// what yt-dlp kept of an unfinished piece; never the clip.
static void remove_road_files(const FragFetch* ff)
{
    WIN32_FIND_DATAW entry;
    HANDLE listing = open_listing(ff->clip->job->outdir, &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    do {
        int ours = 0;
        for (const wchar_t* prefix : FETCH_FILE_PREFIXES)
            ours = ours || _wcsnicmp(entry.cFileName, prefix, wcslen(prefix)) == 0;
        wchar_t path[PATH_CAP];
        if (ours && _wcsicmp(entry.cFileName, ff->name) != 0 && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            job_path(ff, entry.cFileName, path))
            delete_file(path);
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
}

// Audio only and a remux into MP4 are yt-dlp's post-processing of the
// section: they keep the road that makes them.
static const wchar_t* road_closed_for(const ClipJob* job)
{
    if (job->height < 0)
        return L"audio only is extracted by yt-dlp from the section";
    if (job->mp4 && job->noaudio)
        return L"the video is remuxed into MP4 by yt-dlp";
    return NULL;
}

int fetch_by_fragments(ClipRun* clip, const wchar_t* ytdlp, unsigned long* code)
{
    *code = 0;
    const wchar_t* closed = road_closed_for(clip->job);
    if (closed) {
        post_logf(FALLBACK_LINE, closed);
        return 0;
    }
    // The indexes make this too large for a worker's stack.
    FragFetch* ff = (FragFetch*)calloc(1, sizeof(FragFetch));
    if (!ff)
        return 0;
    ff->clip = clip;
    ff->ytdlp = ytdlp;
    const int bar_top = clip->job->exact ? (int)EXACT_FETCH_SHARE : (int)BAR_FULL;
    ff->fetch_top = bar_top * FETCH_TOP_PERMILLE / BAR_FULL;
    clip->router.bar_span = 0;  // the resolving run and the heads move no bar
    int road = run_road(ff, code);
    if (road == ROAD_REFUSED && clip->job->info_file[0]) {
        // The kept information's media addresses have expired: fresh ones.
        post_log(KEPT_INFO_REFUSED_LINE);
        remove_road_files(ff);
        clip->job->info_file[0] = L'\0';
        clip->router.cause = CAUSE_NONE;
        road = run_road(ff, code);
    }
    if (road == ROAD_REFUSED)
        fall_back(ff, L"the site refused a piece");
    if (cancel_requested())
        road = ROAD_DONE, *code = RUN_CANCELLED;
    if (road != ROAD_DONE) {
        post_logf(FALLBACK_LINE, ff->reason);
        ff->name[0] = L'\0';
        clip->router.cause = CAUSE_NONE;
        clip->router.bar_from = 0;
        clip->router.bar_span = bar_top;
    }
    if (*code != RUN_CANCELLED)  // a cancelled job's folder goes as a whole
        remove_road_files(ff);
    free(ff->json);
    free(ff);
    return road == ROAD_DONE;
}
