// A JSON reader over the bytes as they lie.
#include "media/json_scan.h"

#include <cstdlib>
#include <cstring>

#include "text/hex.h"

namespace {

const char* skip_space(const char* p, const char* end)
{
    while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
        ++p;
    return p;
}

const char* skip_string(const char* p, const char* end)
{
    for (++p; p < end; ++p) {
        if (*p == '\\')
            ++p;
        else if (*p == '"')
            return p + 1;
    }
    return nullptr;
}

// Objects and arrays: strings inside may hold any bracket.
const char* skip_nested(const char* p, const char* end)
{
    int depth = 0;
    while (p < end) {
        if (*p == '"') {
            p = skip_string(p, end);
            if (!p)
                return nullptr;
            continue;
        }
        if (*p == '{' || *p == '[')
            ++depth;
        else if (*p == '}' || *p == ']') {
            if (--depth == 0)
                return p + 1;
        }
        ++p;
    }
    return nullptr;
}

int put_utf8(unsigned long c, char* out, size_t cap, size_t* n)
{
    char bytes[4];
    int count = 0;
    if (c < 0x80) {
        bytes[count++] = (char)c;
    } else if (c < 0x800) {
        bytes[count++] = (char)(0xC0 | (c >> 6));
        bytes[count++] = (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes[count++] = (char)(0xE0 | (c >> 12));
        bytes[count++] = (char)(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = (char)(0x80 | (c & 0x3F));
    } else {
        bytes[count++] = (char)(0xF0 | (c >> 18));
        bytes[count++] = (char)(0x80 | ((c >> 12) & 0x3F));
        bytes[count++] = (char)(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = (char)(0x80 | (c & 0x3F));
    }
    if (*n + count >= cap)
        return 0;
    std::memcpy(out + *n, bytes, (size_t)count);
    *n += (size_t)count;
    return 1;
}

int read_hex4(const char* p, const char* end, unsigned long* value)
{
    if (end - p < 4)
        return 0;
    *value = 0;
    for (int i = 0; i < 4; ++i) {
        int digit = hex_digit((wchar_t)(unsigned char)p[i]);
        if (digit < 0)
            return 0;
        *value = *value * 16 + (unsigned long)digit;
    }
    return 1;
}

}  // namespace

const char* json_skip(const char* p, const char* end)
{
    p = skip_space(p, end);
    if (p >= end)
        return nullptr;
    if (*p == '"')
        return skip_string(p, end);
    if (*p == '{' || *p == '[')
        return skip_nested(p, end);
    const char* start = p;
    while (p < end && *p != ',' && *p != '}' && *p != ']' && *p != ' ' && *p != '\n' && *p != '\r' && *p != '\t')
        ++p;
    return p > start ? p : nullptr;
}

const char* json_member(const char* object, const char* end, const char* key)
{
    const char* p = skip_space(object, end);
    if (p >= end || *p != '{')
        return nullptr;
    const size_t key_length = std::strlen(key);
    ++p;
    for (;;) {
        p = skip_space(p, end);
        if (p < end && *p == ',')
            p = skip_space(p + 1, end);
        if (p >= end || *p != '"')
            return nullptr;
        const char* name_end = skip_string(p, end);
        if (!name_end)
            return nullptr;
        const int match = (size_t)(name_end - p - 2) == key_length && std::memcmp(p + 1, key, key_length) == 0;
        p = skip_space(name_end, end);
        if (p >= end || *p != ':')
            return nullptr;
        const char* value = skip_space(p + 1, end);
        if (match)
            return value;
        p = json_skip(value, end);
        if (!p)
            return nullptr;
    }
}

int json_string(const char* p, const char* end, char* out, size_t cap)
{
    p = skip_space(p, end);
    if (p >= end || *p != '"' || cap == 0)
        return 0;
    size_t n = 0;
    for (++p; p < end && *p != '"'; ++p) {
        unsigned long c = (unsigned char)*p;
        if (c == '\\') {
            if (++p >= end)
                return 0;
            switch (*p) {
            case 'n': c = '\n'; break;
            case 't': c = '\t'; break;
            case 'r': c = '\r'; break;
            case 'b': c = '\b'; break;
            case 'f': c = '\f'; break;
            case 'u': {
                if (!read_hex4(p + 1, end, &c))
                    return 0;
                p += 4;
                unsigned long low = 0;
                if (c >= 0xD800 && c < 0xDC00 && end - p > 6 && p[1] == '\\' && p[2] == 'u' &&
                    read_hex4(p + 3, end, &low) && low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    p += 6;
                }
                if (!put_utf8(c, out, cap, &n))
                    return 0;
                continue;
            }
            default: c = (unsigned char)*p; break;
            }
        }
        if (n + 1 >= cap)
            return 0;
        out[n++] = (char)c;
    }
    out[n] = '\0';
    return p < end;
}

int json_number(const char* p, const char* end, double* value)
{
    p = skip_space(p, end);
    if (end - p >= 4 && std::memcmp(p, "true", 4) == 0) {
        *value = 1;
        return 1;
    }
    if (end - p >= 5 && std::memcmp(p, "false", 5) == 0) {
        *value = 0;
        return 1;
    }
    char text[64];
    size_t n = 0;
    while (p < end && n + 1 < sizeof text && (std::strchr("+-.eE", *p) || (*p >= '0' && *p <= '9')))
        text[n++] = *p++;
    text[n] = '\0';
    char* stop = nullptr;
    *value = std::strtod(text, &stop);
    return n > 0 && stop == text + n;
}
