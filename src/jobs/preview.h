// The picture worker: one ffmpeg run in the background that decodes one
// frame of the video into a small picture for the window. Its children run
// in a group of their own, so that stopping it never touches a clip or the
// look-up, and a clip's Cancel never touches it.
#pragma once
#include <windows.h>
#include <cstddef>
#include "media/frame_grab.h"
#include "text/video_details.h"
#include "win/globals.h"

enum PreviewOutcome { PREVIEW_SHOWN, PREVIEW_FAILED, PREVIEW_CANCELLED };

struct Preview {
    // The request, filled by the window.
    unsigned long serial;    // tells the window which of its requests this is
    int which;               // FrameWhich
    double seconds;
    int width, height;       // the box the picture fits
    MediaFormat source;      // where the frames are read from
    wchar_t folder[PATH_CAP];  // the picture file is written here
    // The answer, filled by the thread.
    int outcome;
    unsigned char* bmp;      // the picture file's bytes (malloc), on PREVIEW_SHOWN
    FramePicture picture;    // where its pixels lie
};

// Starts preview_thread for preview (malloc'ed). It ends by posting
// WM_APP_PREVIEW_DONE with the record, which the window frees (bmp too).
// Called only while no other picture is fetched (the cancel is shared); 0
// when the thread could not start (preview is then the caller's again).
int start_preview(Preview* preview);

// Ends the running picture's ffmpeg at once; it then reports PREVIEW_CANCELLED.
void cancel_preview();
