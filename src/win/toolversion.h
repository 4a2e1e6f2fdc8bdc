// What a tool's executable says about its own release: its version, and
// how many days old that release is.
#pragma once

enum { TOOL_VERSION_CAP = 32 };

// Reads the file version from the executable's version resource as yt-dlp
// numbers its releases: "2025.10.22" (".N" added for a fourth part that is
// not 0). 1 on success; 0, with out empty, when the file has no readable
// version.
int read_tool_version(const wchar_t* path, wchar_t (&out)[TOOL_VERSION_CAP]);

// Days from the release date that path's version names to today (local
// time). 1 with days; 0 when the file has no version or it names no date.
int tool_age_days(const wchar_t* path, long* days);
