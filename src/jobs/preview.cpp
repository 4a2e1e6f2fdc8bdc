// The picture worker: ffmpeg decodes the frame into a BMP file in the
// window's picture folder, which is read back whole.
#include "jobs/preview.h"
#include <stdlib.h>
#include <wchar.h>
#include "jobs/messages.h"
#include "proc/runner.h"
#include "proc/tools.h"
#include "win/files.h"
#include "win/held_files.h"
#include "win/locator.h"

enum { PREVIEW_LINE_CAP = MEDIA_URL_CAP + MEDIA_HEADERS_CAP + 1024 };
// A picture of FRAME_MAX_SIDE a side, with room for its headers.
static const size_t PICTURE_FILE_MOST = (size_t)FRAME_MAX_SIDE * FRAME_MAX_SIDE * 3 + 4 * FRAME_MAX_SIDE + 1024;
static const wchar_t PICTURE_FILE[] = L"frame.bmp";

static ChildGroup g_preview_group = CHILD_GROUP_INIT;

// What ffmpeg reads the frame from: the format's own address, with the
// time given before "-i", so that it asks the server only for the bytes
// from the key frame before the time on (or, for a playlist, for the one
// piece that holds it). Where a file's index tells which of its fragments
// holds the time (a fragmented MP4's sidx, a WebM's Cues), fetching that
// one fragment in one request and giving ffmpeg the local copy belongs
// here: request->input then names that file and the time stays as it is,
// since the fragment keeps the source's timestamps.
static void choose_input(const Preview* preview, FrameRequest* request)
{
    request->input = preview->source.url;
    request->headers = preview->source.headers;
}

static int decode_frame(Preview* preview)
{
    wchar_t ffmpeg[PATH_CAP], output[PATH_CAP];
    if (!find_tool(TOOL_FFMPEG, ffmpeg) || !join_path(output, preview->folder, PICTURE_FILE))
        return PREVIEW_FAILED;
    CreateDirectoryW(preview->folder, nullptr);
    delete_file(output);  // a picture left from before must not pass for this one
    FrameRequest request = {nullptr, nullptr, preview->which, preview->seconds, preview->width, preview->height,
                            output};
    choose_input(preview, &request);
    wchar_t* line = (wchar_t*)malloc(PREVIEW_LINE_CAP * sizeof(wchar_t));
    if (!line || !build_frame_command(&request, ffmpeg, line, PREVIEW_LINE_CAP)) {
        free(line);
        return PREVIEW_FAILED;
    }
    ChildRun run = child_run(line, nullptr, nullptr);
    run.folder = preview->folder;
    run.group = &g_preview_group;
    unsigned long code = run_child(&run, nullptr);
    free(line);
    if (code == RUN_CANCELLED || group_cancelled(&g_preview_group))
        return PREVIEW_CANCELLED;
    size_t length = 0;
    if (code != 0 || !read_whole_file(output, PICTURE_FILE_MOST, &preview->bmp, &length))
        return PREVIEW_FAILED;
    delete_file(output);
    if (!read_frame_bmp(preview->bmp, length, &preview->picture)) {
        free(preview->bmp);
        preview->bmp = nullptr;
        return PREVIEW_FAILED;
    }
    return PREVIEW_SHOWN;
}

static DWORD WINAPI preview_thread(LPVOID param)
{
    Preview* preview = (Preview*)param;
    preview->outcome = decode_frame(preview);
    if (!post_message(WM_APP_PREVIEW_DONE, 0, (LPARAM)preview)) {
        free(preview->bmp);  // no window left to take it
        free(preview);
    }
    return 0;
}

int start_preview(Preview* preview)
{
    preview->outcome = PREVIEW_FAILED;
    preview->bmp = nullptr;
    // Only while no picture thread runs, so the reset can lose no cancel.
    reset_group(&g_preview_group);
    HANDLE thread = CreateThread(nullptr, 0, preview_thread, preview, 0, nullptr);
    if (!thread)
        return 0;
    CloseHandle(thread);
    return 1;
}

void cancel_preview()
{
    cancel_group(&g_preview_group);
}
