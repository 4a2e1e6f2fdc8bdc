// Finds a tool's executable: next to the program first, then on PATH.
#pragma once

// name: base name without ".exe". path: PATH_CAP characters; holds the full
// path on 1 and the empty string on 0.
int find_tool(const wchar_t* name, wchar_t* path);
