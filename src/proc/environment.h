// The environment every child gets.
#pragma once

// A copy of the program's own environment block with PYTHONUTF8=1 (yt-dlp
// then writes even its earliest messages in UTF-8) and, when temp_folder is
// not null, TEMP and TMP set to it, kept in the block's sorted order, for
// CreateProcessW with CREATE_UNICODE_ENVIRONMENT. malloc'ed, the caller
// frees it; null when it cannot be made.
wchar_t* child_environment(const wchar_t* temp_folder);
