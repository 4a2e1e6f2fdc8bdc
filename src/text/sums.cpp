#include "text/sums.h"

#include <cstdlib>
#include <cstring>

namespace {

enum { LINE_CAP = 1024 };

// Hands out a sums file's characters one by one, whatever its encoding.
// Only ASCII matters here (hex digits, keys, file names); any other UTF-16
// unit becomes DEL, which no wanted name holds.
struct Reader {
    const unsigned char* bytes;
    size_t length;
    size_t pos;
    int wide;        // UTF-16
    int big_endian;
};

const char NOT_ASCII = 0x7F;

Reader open_reader(const unsigned char* bytes, size_t length)
{
    Reader r = {bytes, length, 0, 0, 0};
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        r.pos = 3;
    } else if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        r.pos = 2;
        r.wide = 1;
    } else if (length >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        r.pos = 2;
        r.wide = 1;
        r.big_endian = 1;
    }
    return r;
}

// The next character, or -1 at the end (a lone last byte of UTF-16 included).
int next_char(Reader& r)
{
    if (!r.wide)
        return r.pos < r.length ? r.bytes[r.pos++] : -1;
    if (r.pos + 1 >= r.length)
        return -1;
    unsigned first = r.bytes[r.pos], second = r.bytes[r.pos + 1];
    r.pos += 2;
    unsigned unit = r.big_endian ? (first << 8) | second : (second << 8) | first;
    return unit < 0x80 ? (int)unit : NOT_ASCII;
}

int is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The next line without its line end and trailing blanks; 0 at the end.
// A longer line than fits is cut: no entry of interest is that long.
int next_line(Reader& r, char (&line)[LINE_CAP])
{
    int c = next_char(r);
    if (c < 0)
        return 0;
    size_t n = 0;
    for (; c >= 0 && c != '\n'; c = next_char(r))
        if (n < LINE_CAP - 1)
            line[n++] = (char)c;
    while (n > 0 && is_blank(line[n - 1]))
        n--;
    line[n] = '\0';
    return 1;
}

int is_hex_digit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// 1 when text begins with exactly 64 hex digits followed by end or stop.
int is_sum(const char* text, char stop)
{
    for (int i = 0; i < SHA256_HEX_DIGITS; i++)
        if (!is_hex_digit(text[i]))
            return 0;
    return text[SHA256_HEX_DIGITS] == '\0' || text[SHA256_HEX_DIGITS] == stop;
}

void copy_sum(const char* text, char (&hex)[SHA256_HEX_CAP])
{
    std::memcpy(hex, text, SHA256_HEX_DIGITS);
    hex[SHA256_HEX_DIGITS] = '\0';
}

// The name a "HEX  NAME" or "HEX *NAME" (binary mode) line lists, or null.
const char* listed_name(const char* line)
{
    const char* mark = line + SHA256_HEX_DIGITS + 1;
    if (!is_sum(line, ' ') || line[SHA256_HEX_DIGITS] != ' ' || (*mark != ' ' && *mark != '*'))
        return nullptr;
    return mark + 1;
}

// The value of a PowerShell list line "Key   : value" with that key, or null.
const char* field_value(const char* line, const char* key)
{
    size_t key_length = std::strlen(key);
    if (std::strncmp(line, key, key_length) != 0)
        return nullptr;
    const char* p = line + key_length;
    while (*p == ' ')
        p++;
    if (*p != ':')
        return nullptr;
    p++;
    while (*p == ' ')
        p++;
    return p;
}

// The last part of a Windows or Unix path.
const char* base_name(const char* path)
{
    const char* base = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/')
            base = p + 1;
    return base;
}

// One PowerShell record (lines up to a blank one) as read so far.
struct Record {
    char hex[SHA256_HEX_CAP];
    char name[LINE_CAP];
    int has_sum;
};

void read_field(const char* line, Record& record)
{
    const char* value = field_value(line, "Hash");
    if (value && is_sum(value, '\0')) {
        copy_sum(value, record.hex);
        record.has_sum = 1;
    }
    value = field_value(line, "Path");
    if (value) {
        std::strncpy(record.name, base_name(value), LINE_CAP - 1);
        record.name[LINE_CAP - 1] = '\0';
    }
}

// Told each entry of a sums file in turn; returns 0 to stop the reading.
typedef int (*EntryVisit)(const char* name, const char* hex, void* ctx);

// Hands every entry of either form to visit, in the order listed.
void visit_entries(const unsigned char* bytes, size_t length, EntryVisit visit, void* ctx)
{
    Reader reader = open_reader(bytes, length);
    char line[LINE_CAP];
    Record record = {{0}, {0}, 0};
    for (int more = next_line(reader, line);; more = next_line(reader, line)) {
        const char* name = more ? listed_name(line) : nullptr;
        if (name) {
            char hex[SHA256_HEX_CAP];
            copy_sum(line, hex);
            if (!visit(name, hex, ctx))
                return;
            continue;
        }
        // A record ends at a blank line or with the file.
        if (!more || !line[0]) {
            if (record.has_sum && record.name[0] && !visit(record.name, record.hex, ctx))
                return;
            record = Record{{0}, {0}, 0};
            if (!more)
                return;
            continue;
        }
        read_field(line, record);
    }
}

int is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The end of a version number ("8", "8.0", "8.0.1") at text, or null.
const char* version_end(const char* text)
{
    if (!is_digit(*text))
        return nullptr;
    for (;;) {
        while (is_digit(*text))
            text++;
        if (text[0] != '.' || !is_digit(text[1]))
            return text;
        text++;
    }
}

int matches_from(const char* pattern, const char* name)
{
    if (*pattern == '*') {
        for (const char* rest = name;; rest++) {
            if (matches_from(pattern + 1, rest))
                return 1;
            if (!*rest)
                return 0;
        }
    }
    if (*pattern == '#') {
        // Every shorter version is tried too: "8.0" may be followed by ".zip".
        const char* end = version_end(name);
        for (; end && end > name; end--)
            if (is_digit(end[-1]) && matches_from(pattern + 1, end))
                return 1;
        return 0;
    }
    if (*pattern != *name)
        return 0;
    return !*pattern || matches_from(pattern + 1, name + 1);
}

// The version at the pattern's first '#' in a name that matches it: the
// text before it is fixed. Major and minor number; 0 when there is none.
long version_at_mark(const char* pattern, const char* name)
{
    const char* mark = std::strchr(pattern, '#');
    if (!mark || (size_t)(mark - pattern) > std::strlen(name))
        return 0;
    const char* text = name + (mark - pattern);
    long major = std::strtol(text, nullptr, 10);
    const char* dot = std::strchr(text, '.');
    long minor = dot && dot < version_end(text) ? std::strtol(dot + 1, nullptr, 10) : 0;
    return major * 10000 + minor;
}

struct Search {
    const char* pattern;
    int newest;
    long best_version;
    int found;
    char* name;
    size_t name_cap;
    char (*hex)[SHA256_HEX_CAP];
};

int visit_match(const char* name, const char* hex, void* ctx)
{
    Search* search = (Search*)ctx;
    if (!matches_from(search->pattern, name) || std::strlen(name) >= search->name_cap)
        return 1;
    long version = search->newest ? version_at_mark(search->pattern, name) : 0;
    if (!search->found || version > search->best_version) {
        search->found = 1;
        search->best_version = version;
        std::memcpy(search->name, name, std::strlen(name) + 1);
        copy_sum(hex, *search->hex);
    }
    return search->newest;  // the first match is enough unless the newest is wanted
}

// Appends text to out (cap bytes, used so far); 0 when it does not fit.
int append(char* out, size_t cap, size_t& used, const char* text)
{
    size_t length = std::strlen(text);
    if (used + length + 1 > cap)
        return 0;
    std::memcpy(out + used, text, length + 1);
    used += length;
    return 1;
}

// A well-formed "HEX  NAME" line for a name that does not begin with family.
int is_other_sum_line(const char* line, const char* family)
{
    const char* name = listed_name(line);
    return name && line[SHA256_HEX_DIGITS + 1] == ' ' && name[0] != '\0' &&
           std::strncmp(name, family, std::strlen(family)) != 0;
}

}  // namespace

int find_matching_sum(const unsigned char* bytes, size_t length, const char* pattern, int newest, char* name,
                      size_t name_cap, char (&hex)[SHA256_HEX_CAP])
{
    Search search = {pattern, newest, 0, 0, name, name_cap, &hex};
    if (name_cap == 0)
        return 0;
    visit_entries(bytes, length, visit_match, &search);
    return search.found;
}

int find_listed_sum(const unsigned char* bytes, size_t length, const char* name,
                    char (&hex)[SHA256_HEX_CAP])
{
    char found[LINE_CAP];
    // A name with a '*' or '#' of its own only stands for itself.
    return !std::strpbrk(name, "*#") && find_matching_sum(bytes, length, name, 0, found, sizeof found, hex);
}

int same_sum(const char* a, const char* b)
{
    if (std::strlen(a) != SHA256_HEX_DIGITS || std::strlen(b) != SHA256_HEX_DIGITS)
        return 0;
    for (int i = 0; i < SHA256_HEX_DIGITS; i++) {
        char x = a[i], y = b[i];
        if (!is_hex_digit(x) || !is_hex_digit(y))
            return 0;
        if (x >= 'A' && x <= 'F')
            x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'F')
            y = (char)(y - 'A' + 'a');
        if (x != y)
            return 0;
    }
    return 1;
}

int record_listed_sum(const unsigned char* old, size_t length, const char* family, const char* name,
                      const char* hex, char* out, size_t cap)
{
    size_t used = 0;
    if (cap == 0)
        return 0;
    out[0] = '\0';
    Reader reader = open_reader(old, length);
    char line[LINE_CAP];
    while (next_line(reader, line))
        if (is_other_sum_line(line, family) && !(append(out, cap, used, line) && append(out, cap, used, "\n")))
            return 0;
    return append(out, cap, used, hex) && append(out, cap, used, "  ") && append(out, cap, used, name) &&
           append(out, cap, used, "\n");
}
