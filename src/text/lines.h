// Cuts a child's output bytes into lines, whatever the byte source.
// A line break (CR or LF) ends a line and belongs to neither; a line is
// at most LINE_MAX_BYTES bytes, the byte after that is dropped; a line
// whose first byte is zero is dropped (an unterminated last line is not).
#pragma once
#include <cstddef>

enum { LINE_MAX_BYTES = 8191, UTF8_CODE_PAGE = 65001 };

typedef void (*LineSink)(const char* line, void* ctx);

struct LineAssembly {
    char bytes[LINE_MAX_BYTES + 1];
    int n;
};

void lines_reset(LineAssembly* la);
// Hands every completed line, zero-terminated, to sink.
void lines_feed(LineAssembly* la, const char* data, size_t len, LineSink sink, void* ctx);
// After the output has ended: hands on a pending unterminated line.
void lines_finish(LineAssembly* la, LineSink sink, void* ctx);

// The largest length up to cut at which bytes can be cut without splitting
// a UTF-8 sequence (cut itself when bytes[cut] starts a character).
size_t utf8_boundary(const char* bytes, size_t cut);

// 1 when the bytes are well-formed UTF-8 (plain ASCII included): no stray
// continuation bytes, no overlong forms, no surrogates, nothing above U+10FFFF.
int is_utf8(const char* bytes, size_t length);

// The code page to read a line in: UTF-8 when it is UTF-8 or when there is
// no other (fallback 0), else fallback (the console's, for the system's
// programs, which write in it).
unsigned int line_code_page(const char* bytes, size_t length, unsigned int fallback);
