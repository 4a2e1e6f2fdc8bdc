// Fitting a name into a measured line: a binary search over how much of the
// name's start to keep.
#include "text/ellipsis.h"
#include <cwchar>
#include "text/bounded.h"

// An extension longer than this is part of the name, not a file type.
static const size_t EXTENSION_MAX = 16;

static size_t extension_start(const wchar_t* name, size_t length)
{
    const wchar_t* dot = std::wcsrchr(name, L'.');
    if (!dot || dot == name || length - (size_t)(dot - name) > EXTENSION_MAX)
        return length;
    return (size_t)(dot - name);
}

// A cut between the two halves of a surrogate pair would leave half a character.
static size_t whole_characters(const wchar_t* name, size_t head)
{
    if (head > 0 && name[head - 1] >= 0xD800 && name[head - 1] <= 0xDBFF)
        return head - 1;
    return head;
}

struct Line {
    const wchar_t *before, *name, *after;
    size_t tail;  // where the kept extension begins
    long width;
    MeasureText measure;
    void* context;
    wchar_t* out;
    size_t cap;
};

// The line with the first head characters of the name, "…" and the
// extension; 1 when it fits.
static int fits_with(const Line& line, size_t head)
{
    int whole = format_text(line.out, line.cap, L"%ls%.*ls…%ls%ls", line.before, (int)head, line.name,
                            line.name + line.tail, line.after);
    return whole && line.measure(line.out, std::wcslen(line.out), line.context) <= line.width;
}

int fit_name_in_line(const wchar_t* before, const wchar_t* name, const wchar_t* after, long width,
                     MeasureText measure, void* context, wchar_t* out, size_t cap)
{
    if (cap == 0)
        return 0;
    if (format_text(out, cap, L"%ls%ls%ls", before, name, after) && measure(out, std::wcslen(out), context) <= width)
        return 1;
    size_t length = std::wcslen(name);
    Line line = {before, name, after, extension_start(name, length), width, measure, context, out, cap};
    // Longer heads are never narrower: the longest that fits is found by halving.
    size_t fitting = 0, too_long = line.tail + 1;
    while (too_long - fitting > 1) {
        size_t middle = fitting + (too_long - fitting) / 2;
        if (fits_with(line, middle))
            fitting = middle;
        else
            too_long = middle;
    }
    return fits_with(line, whole_characters(name, fitting));
}
