// yt-dlp format selectors. The selectors with audio contain a "+" (video
// and audio fetched apart and merged); the clip job relies on that.
#include "text/format.h"

#include "text/bounded.h"

namespace {

enum { HEIGHT_FILTER_CAP = 32 };

// Indexed by [noaudio][mp4]; every "%ls" takes the height filter.
const wchar_t* const FORMAT_TEMPLATES[2][2] = {
    {L"bv*%ls+ba/b%ls", L"bv*[vcodec^=avc1]%ls+ba[acodec^=mp4a]/bv*%ls+ba/b%ls"},
    {L"bv*%ls", L"bv*[vcodec^=avc1]%ls/bv*%ls"},
};

}  // namespace

void build_format_selector(int height, int mp4, int noaudio, wchar_t* out)
{
    if (height < 0) {
        format_text(out, FORMAT_SELECTOR_CAP, L"%ls", L"ba/b");
        return;
    }

    wchar_t filter[HEIGHT_FILTER_CAP] = {0};
    if (height > 0)
        format_text(filter, L"[height<=%d]", height);

    const wchar_t* tmpl = FORMAT_TEMPLATES[noaudio ? 1 : 0][mp4 ? 1 : 0];
    // Passing the filter more times than a template uses is harmless.
    format_text(out, FORMAT_SELECTOR_CAP, tmpl, filter, filter, filter);
}
