// Reads a time typed into the Start or End field: "338", "5:38", "1:02:03.5".
#pragma once

// 1: a time, stored in seconds. 0: blank (empty or only spaces).
// -1: not a time. On 0 and -1 seconds keeps what the caller put there.
int parse_timecode(const wchar_t* text, double& seconds);
