// The SHA-256 sums that the tools' publishers put next to their files:
// finding the sum listed for one file, and comparing two sums.
#pragma once
#include <cstddef>

enum { SHA256_HEX_DIGITS = 64, SHA256_HEX_CAP = SHA256_HEX_DIGITS + 1 };

// Looks name up in a sums file as it was downloaded: UTF-8, or UTF-16 LE or
// BE with a byte-order mark; LF or CR LF line ends. Two forms are read:
//   lines "HEX  NAME" (sha256sum; "HEX *NAME" too), and
//   PowerShell hash records ("Hash : HEX" with "Path : ...\NAME").
// 1 with the 64 hex digits as listed in hex; 0 when no entry names name.
int find_listed_sum(const unsigned char* bytes, size_t length, const char* name,
                    char (&hex)[SHA256_HEX_CAP]);

// Looks for entries (of either form above) whose name matches pattern, in
// which '*' stands for any run of characters and '#' for a version number
// ("8", "8.0", "8.0.1"); the rest is compared exactly. newest 0: the first
// match listed; 1: the match with the highest major.minor version at the
// pattern's first '#' (the pattern must have only fixed text before it).
// 1 with the entry's name (name_cap bytes) and sum; 0 when none matches.
int find_matching_sum(const unsigned char* bytes, size_t length, const char* pattern, int newest, char* name,
                      size_t name_cap, char (&hex)[SHA256_HEX_CAP]);

// The install record, a sums file of our own in the "HEX  NAME" form that
// find_listed_sum reads back: out (cap bytes, zero-terminated) gets every
// well-formed line of old for a name that does not begin with family (the
// same tool's earlier downloads, whatever they were called), then
// "hex  name". Damaged lines of old are dropped. 1 when the whole record fitted.
int record_listed_sum(const unsigned char* old, size_t length, const char* family, const char* name,
                      const char* hex, char* out, size_t cap);

// 1 when a and b are the same sum, hex letter case aside.
int same_sum(const char* a, const char* b);
