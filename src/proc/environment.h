// The environment a child gets when it is given its own temporary folder.
#pragma once

// A copy of the program's own environment block with TEMP and TMP set to
// folder, kept in the block's sorted order, for CreateProcessW with
// CREATE_UNICODE_ENVIRONMENT. malloc'ed, the caller frees it; null when it
// cannot be made.
wchar_t* environment_with_temp(const wchar_t* folder);
