// The picture control: a thin frame around the frame's pixels, scaled to
// fit in their own aspect ratio and centred; faded while they show a time
// the field no longer holds; a word in their place when there is none.
#include <windows.h>
#include <stdlib.h>
#include <string.h>
#include "ui/pictures.h"
#include "ui/window.h"

enum { FONT_SLOT = 0, EXTRA_BYTES = sizeof(HFONT) };

// The rectangle of width by height pixels that fits box, centred.
static RECT fitted(const RECT& box, int width, int height)
{
    int room_w = box.right - box.left, room_h = box.bottom - box.top;
    int w = room_w, h = MulDiv(room_w, height, width);
    if (h > room_h) {
        h = room_h;
        w = MulDiv(room_h, width, height);
    }
    RECT at = {box.left + (room_w - w) / 2, box.top + (room_h - h) / 2, 0, 0};
    at.right = at.left + w;
    at.bottom = at.top + h;
    return at;
}

// The pixels faded two thirds of the way to the window's own colour; null
// when no copy could be made.
static unsigned char* faded(const PictureView& view)
{
    size_t stride = ((size_t)view.width * 3 + 3) / 4 * 4, size = stride * view.height;
    unsigned char* copy = (unsigned char*)malloc(size);
    if (!copy)
        return nullptr;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    const unsigned char toward[3] = {GetBValue(face), GetGValue(face), GetRValue(face)};
    for (size_t i = 0; i < size; ++i)
        copy[i] = (unsigned char)((view.pixels[i] + 2 * toward[i % stride % 3]) / 3);
    return copy;
}

static void draw_pixels(HDC dc, const RECT& box, const PictureView& view)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = view.width;
    info.bmiHeader.biHeight = view.height;  // bottom-up, as the file holds them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    unsigned char* pale = view.stale ? faded(view) : nullptr;
    RECT at = fitted(box, view.width, view.height);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, at.left, at.top, at.right - at.left, at.bottom - at.top, 0, 0, view.width, view.height,
                  pale ? pale : view.pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    free(pale);
}

static void paint(HWND control)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control, &ps);
    RECT box;
    GetClientRect(control, &box);
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
    InflateRect(&box, -1, -1);
    PictureView view = {};
    picture_view(control, &view);
    if (view.pixels) {
        draw_pixels(dc, box, view);
    } else if (view.word) {
        HGDIOBJ old = SelectObject(dc, (HFONT)GetWindowLongPtrW(control, FONT_SLOT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextW(dc, view.word, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
    }
    EndPaint(control, &ps);
}

static LRESULT CALLBACK picture_proc(HWND control, UINT msg, WPARAM wparam, LPARAM lparam)
{
    switch (msg) {
    case WM_PAINT:
        paint(control);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // painted whole in WM_PAINT
    case WM_SETFONT:
        SetWindowLongPtrW(control, FONT_SLOT, (LONG_PTR)wparam);
        if (LOWORD(lparam))
            InvalidateRect(control, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return GetWindowLongPtrW(control, FONT_SLOT);
    }
    return DefWindowProcW(control, msg, wparam, lparam);
}

void register_picture_class()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), PICTURE_CLASS, &wc))
        return;
    wc.lpfnWndProc = picture_proc;
    wc.cbWndExtra = EXTRA_BYTES;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = PICTURE_CLASS;
    RegisterClassExW(&wc);
}
