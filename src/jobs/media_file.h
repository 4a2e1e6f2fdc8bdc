// The finished file of a clip job: the largest media file in its folder.
// The window reports it; an exact cut takes it as the fetched section.
#pragma once

// Extensions that count as a finished media file, each with its dot.
enum { EXT_COUNT = 10 };
extern const wchar_t* const exts[EXT_COUNT];

// Picks the largest file in folder whose extension is in exts (the last
// listed wins a tie). 1 with its name (PATH_CAP) and size; 0 when the
// folder holds none or cannot be listed.
int find_media_file(const wchar_t* folder, wchar_t* name, unsigned long long* size);
