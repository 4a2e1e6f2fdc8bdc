// Line assembly for child output. Works on bytes only, so any byte source
// (a pipe, a test buffer) cuts lines the same way.
#include "text/lines.h"

void lines_reset(LineAssembly* la)
{
    la->n = 0;
}

void lines_feed(LineAssembly* la, const char* data, size_t len, LineSink sink, void* ctx)
{
    for (size_t i = 0; i < len; ++i) {
        const char b = data[i];
        if (b == '\n' || b == '\r' || la->n == LINE_MAX_BYTES) {
            // The byte that ends a line is consumed, including the one
            // after an over-long line.
            la->bytes[la->n] = '\0';
            if (la->bytes[0] != '\0')
                sink(la->bytes, ctx);
            la->n = 0;
        } else {
            la->bytes[la->n++] = b;
        }
    }
}

void lines_finish(LineAssembly* la, LineSink sink, void* ctx)
{
    // A pending last line counts by its length, so even one that starts
    // with a zero byte is delivered.
    if (la->n > 0) {
        la->bytes[la->n] = '\0';
        sink(la->bytes, ctx);
        la->n = 0;
    }
}

size_t utf8_boundary(const char* bytes, size_t cut)
{
    // A sequence has at most three continuation bytes (10xxxxxx) after its
    // lead byte; more in a row are ill-formed and may be cut anywhere.
    for (size_t back = 0; back <= 3 && back <= cut; ++back)
        if (((unsigned char)bytes[cut - back] & 0xC0) != 0x80)
            return cut - back;
    return cut;
}
