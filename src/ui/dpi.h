// Display scaling and text size: the window's DPI, the DPI its layout is
// placed at (higher when the user's text size asks for it), 96-DPI lengths
// scaled, the window's outer size around a scaled client area, the fonts,
// and the icons for a DPI. The DPI functions of Windows 10 1607 and later
// are looked up at run time, so the program still starts on older Windows
// 10, where every window has the system's DPI.
#pragma once
#include <windows.h>

enum { BASE_DPI = 96 };  // the layout's unit: one pixel at 100 % scaling

// The DPI window is drawn at.
int window_dpi(HWND window);
// A length or coordinate given in 96-DPI pixels, at dpi.
int scale_to_dpi(int length, int dpi);
// The DPI the layout is placed at: the DPI the fonts were made for, or
// more when the message font is taller than the layout's rows hold.
int layout_dpi();
// The outer size of window around a client area of width by height
// pixels, with the frame of dpi.
SIZE outer_size(HWND window, int width, int height, int dpi);
// Resizes window, keeping its place, so that its client area is width by
// height pixels.
void fit_client_area(HWND window, int width, int height, int dpi);
// Creates g_font, g_bold and g_mono for dpi and the user's text size, and
// sets layout_dpi(). The fonts they held before are left to the caller.
void create_fonts(int dpi);
// Gives window the program's icons at the sizes its dpi asks for.
void set_window_icons(HWND window, int dpi);
