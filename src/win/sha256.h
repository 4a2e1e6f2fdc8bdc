// SHA-256 of a file, computed by Windows' own cryptography (CNG).
#pragma once
#include "text/sums.h"

// The SHA-256 of the file's bytes as 64 lower-case hex digits.
// 1 on success; 0 when the file cannot be read or hashed.
int sha256_file(const wchar_t* path, char (&hex)[SHA256_HEX_CAP]);
