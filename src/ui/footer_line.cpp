// The footer line: which tools are present, yt-dlp's release, and the clips folder.
#include <windows.h>
#include "ui/rules.h"
#include "ui/window.h"

void refresh_footer()
{
    wchar_t text[FOOTER_CAP];
    build_footer(text);
    SetWindowTextW(g_foot, text);
}
