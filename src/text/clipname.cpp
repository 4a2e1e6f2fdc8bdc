#include "text/clipname.h"

#include <cwchar>

#include "text/bounded.h"

namespace {

enum {
    // What yt-dlp adds around the title: " [", the id, "]" and, for the
    // longest of its intermediate files, ".f251.webm.part".
    ID_FRAME_UNITS = 3,
    LONGEST_TAIL_UNITS = 15,  // ".fNNN.webm.part"
    // yt-dlp cuts a title by characters (code points); one takes at most two
    // UTF-16 units, and yt-dlp's clean-up of a name puts at most one
    // character in the place of one. At most 80, as always.
    TITLE_CHARS = 80,
    UNITS_PER_CHAR_AT_MOST = 2,
    ID_BYTES_MAX = 32  // ids are short ASCII: YouTube's have 11 characters
};

}  // namespace

size_t utf16_units(const wchar_t* text)
{
    size_t units = 0;
    // A 16-bit wchar_t holds a UTF-16 unit each; a wider one whole characters.
    for (; *text; text++)
        units += ((unsigned long)*text >> 16) ? 2 : 1;
    return units;
}

int clip_name_budget(const wchar_t* folder, ClipNameBudget* budget)
{
    long name_room = (long)WINDOWS_PATH_UNITS - (long)utf16_units(folder) - 1;  // the backslash
    int fits = name_room >= CLIP_NAME_MIN_UNITS;
    if (!fits)
        name_room = CLIP_NAME_MIN_UNITS;
    long room = name_room - ID_FRAME_UNITS - LONGEST_TAIL_UNITS;
    // Ids are ASCII, a byte a unit, so a byte limit keeps all of one that
    // fits; a UTF-8 byte is never less than a UTF-16 unit, so it keeps any
    // other within the room as well.
    long id = room / 2 < (long)ID_BYTES_MAX ? room / 2 : (long)ID_BYTES_MAX;
    long title = (room - id) / UNITS_PER_CHAR_AT_MOST;
    budget->id_bytes = (int)id;
    budget->title_chars = (int)(title < (long)TITLE_CHARS ? title : (long)TITLE_CHARS);
    return fits;
}

int format_output_template(const ClipNameBudget* budget, wchar_t (&out)[OUTPUT_TEMPLATE_CAP])
{
    return format_text(out, L"%%(title).%ds [%%(id).%dB].%%(ext)s", budget->title_chars, budget->id_bytes);
}
