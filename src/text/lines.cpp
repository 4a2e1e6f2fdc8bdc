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

// How many continuation bytes follow lead, and the smallest value a
// sequence of that length may carry; -1 for a byte that cannot lead.
static int continuation_count(unsigned char lead, unsigned long* least)
{
    if (lead < 0x80)
        return *least = 0, 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return *least = 0x80, 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return *least = 0x800, 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return *least = 0x10000, 3;
    return -1;
}

int is_utf8(const char* bytes, size_t length)
{
    const unsigned char* b = (const unsigned char*)bytes;
    for (size_t i = 0; i < length;) {
        unsigned long least = 0;
        int more = continuation_count(b[i], &least);
        if (more < 0 || i + (size_t)more >= length)
            return 0;
        unsigned long value = more == 0 ? b[i] : b[i] & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            if ((b[i + k] & 0xC0) != 0x80)
                return 0;
            value = (value << 6) | (b[i + k] & 0x3F);
        }
        if (value < least || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
            return 0;
        i += (size_t)more + 1;
    }
    return 1;
}

unsigned int line_code_page(const char* bytes, size_t length, unsigned int fallback)
{
    return fallback == 0 || is_utf8(bytes, length) ? (unsigned int)UTF8_CODE_PAGE : fallback;
}
