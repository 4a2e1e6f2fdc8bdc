#include "text/clipname.h"

#include <cwchar>

#include "text/bounded.h"

namespace {

enum {
    // What yt-dlp adds around the title: " [", the id, "]" and, for the
    // longest of its intermediate files, ".f251.webm.part".
    ID_FRAME_UNITS = 3,
    LONGEST_TAIL_UNITS = 15,  // ".fNNN.webm.part"
    // A title of 80 characters, as always; a character takes at most two
    // UTF-16 units, and yt-dlp's clean-up of a name puts at most one
    // character in the place of one.
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
    // Title and id share what the rest leaves; a UTF-8 byte is never less
    // than one UTF-16 unit, so byte limits keep any text within them.
    long room = name_room - ID_FRAME_UNITS - LONGEST_TAIL_UNITS;
    long id = room / 2 < (long)ID_BYTES_MAX ? room / 2 : (long)ID_BYTES_MAX;
    long title = room - id;
    budget->id_bytes = (int)id;
    // Where 80 characters fit whatever they are, the title is cut as it
    // always was; in a deeper folder, by bytes, which keeps the most of a
    // Latin title.
    budget->title_chars = title >= TITLE_CHARS * UNITS_PER_CHAR_AT_MOST ? TITLE_CHARS : 0;
    budget->title_bytes = (int)title;
    return fits;
}

int format_output_template(const ClipNameBudget* budget, wchar_t (&out)[OUTPUT_TEMPLATE_CAP])
{
    if (budget->title_chars > 0)
        return format_text(out, L"%%(title).%ds [%%(id).%dB].%%(ext)s", budget->title_chars, budget->id_bytes);
    return format_text(out, L"%%(title).%dB [%%(id).%dB].%%(ext)s", budget->title_bytes, budget->id_bytes);
}
