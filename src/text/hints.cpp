// Which cause a tool's message names, and what the user can do about it.
#include "text/hints.h"

#include <cwchar>

#include "text/bounded.h"

namespace {

struct CauseText {
    const wchar_t* advice;
    int update_may_help;  // newer yt-dlp releases often mend it
    // Named as often by a warning or a side request (a thumbnail, a
    // subtitle) as by the real failure: any later cause of another kind
    // outranks it.
    int weak;
};

// Indexed by FailureCause. Each says what most likely happened and what to
// change in this window.
const CauseText CAUSE_TEXTS[] = {
    {L"", 0, 0},
    {L"The browser chosen under \"Cookies from\" keeps no cookies on this PC: choose \"none\" or the browser "
     L"you use.",
     0, 0},
    {L"The browser keeps its cookies locked while it runs: close it completely and try again, or choose "
     L"\"none\" under \"Cookies from\".",
     0, 0},
    {L"This browser encrypts its cookies so that other programs cannot read them: choose \"firefox\" or "
     L"\"none\" under \"Cookies from\".",
     0, 0},
    {L"The video is private: if its owner gave you access, sign in to the site in your browser and choose "
     L"that browser under \"Cookies from\".",
     0, 0},
    {L"The site wants a signed-in viewer: sign in to it in your browser, then choose that browser under "
     L"\"Cookies from\".",
     1, 0},
    {L"The site says the video is unavailable: it may be removed, private or blocked in your country — "
     L"check the address in your browser.",
     0, 0},
    {L"yt-dlp found no deno, which it needs for this site: press \"Update tools\" to download the missing "
     L"tools.",
     0, 1},
    {L"yt-dlp found no ffmpeg, which it needs to cut the clip: press \"Update tools\" to download the "
     L"missing tools.",
     0, 0},
    {L"The video has no format that fits the chosen Quality: choose \"Best available\" under Quality.", 1, 0},
    {L"yt-dlp does not know this address as a video page: paste the address of the page that plays the "
     L"video.",
     1, 0},
    {L"The site refused the download (HTTP 403): try again later, or choose your browser under \"Cookies "
     L"from\".",
     1, 0},
    {L"The site is limiting downloads from your connection (HTTP 429): wait a while, or choose your "
     L"browser under \"Cookies from\".",
     0, 0},
    {L"The site answered that a page or file is not there (HTTP 404): check the address in your browser.", 1, 1},
    {L"The site is limiting this connection for a while (\"try again later\"): wait an hour or so, or sign in "
     L"to the site in your browser and choose that browser under \"Cookies from\".",
     0, 0},
    {L"The site wants a captcha solved before it plays the video: solve it in your browser while signed in, "
     L"then choose that browser under \"Cookies from\".",
     0, 0},
    {L"yt-dlp.exe has disappeared, often into an antivirus quarantine: press \"Update tools\" to download "
     L"it again.",
     0, 0},
    {L"Windows denied access to yt-dlp.exe, often because an antivirus holds it: allow it in the "
     L"antivirus, then try again.",
     0, 0},
    {L"yt-dlp.exe is not a valid program, usually a broken download: press \"Update tools\", which "
     L"replaces it with a checked download.",
     0, 0},
    {L"Your antivirus blocked yt-dlp.exe as a threat: allow it in the antivirus, then try again.", 0, 0},
    {L"An application-control policy (Smart App Control or WDAC) blocked yt-dlp.exe: ask whoever manages "
     L"this PC to allow it.",
     0, 0},
};

static_assert(sizeof CAUSE_TEXTS / sizeof CAUSE_TEXTS[0] == CAUSE_COUNT, "one text for each cause");

struct Fragment {
    const wchar_t* text;
    int cause;
};

// Searched in this order; the first one a line holds names its cause, so a
// private video's "Sign in if you've been granted access" stays private.
// Case-sensitive, as the tools print them: where yt-dlp releases or ffmpeg
// spell a message differently, each spelling has its own entry.
const Fragment CAUSE_FRAGMENTS[] = {
    {L"Could not copy Chrome cookie database", CAUSE_COOKIES_LOCKED},
    {L"failed to decrypt with DPAPI", CAUSE_COOKIES_ENCRYPTED},
    {L"Failed to decrypt with DPAPI", CAUSE_COOKIES_ENCRYPTED},
    {L"cookies database", CAUSE_COOKIES_MISSING},  // "could not find firefox cookies database in …"
    {L"Private video", CAUSE_PRIVATE},
    {L"Sign in to confirm", CAUSE_SIGN_IN},  // "… you’re not a bot", "… your age"
    {L"members-only content", CAUSE_SIGN_IN},
    {L"--cookies for the authentication", CAUSE_SIGN_IN},
    // Before "Video unavailable", which YouTube may put in front of these.
    {L"This content isn't available, try again later", CAUSE_RATE_LIMITED},
    {L"This content isn’t available, try again later", CAUSE_RATE_LIMITED},
    {L"requiring a captcha challenge", CAUSE_CAPTCHA},  // "YouTube is requiring a captcha challenge before playback"
    {L"solve a CAPTCHA", CAUSE_CAPTCHA},               // "… asks you to solve a CAPTCHA"
    {L"Video unavailable", CAUSE_UNAVAILABLE},
    {L"No supported JavaScript runtime could be found", CAUSE_NO_JS_RUNTIME},
    {L"ffmpeg is not installed", CAUSE_NO_FFMPEG},
    {L"ffmpeg not found", CAUSE_NO_FFMPEG},  // also "ffprobe and ffmpeg not found"
    {L"Requested format is not available", CAUSE_NO_FORMAT},
    {L"Unsupported URL", CAUSE_UNSUPPORTED_URL},
    {L"HTTP Error 403", CAUSE_FORBIDDEN},  // yt-dlp
    {L"HTTP error 403", CAUSE_FORBIDDEN},  // ffmpeg
    {L"Server returned 403 Forbidden", CAUSE_FORBIDDEN},
    {L"HTTP Error 429", CAUSE_TOO_MANY_REQUESTS},
    {L"HTTP error 429", CAUSE_TOO_MANY_REQUESTS},
    {L"HTTP Error 404", CAUSE_NOT_FOUND},  // yt-dlp
    {L"HTTP error 404", CAUSE_NOT_FOUND},  // ffmpeg
    {L"Server returned 404 Not Found", CAUSE_NOT_FOUND},
};

struct StartError {
    unsigned long code;
    int cause;
};

const StartError START_ERRORS[] = {
    {2, CAUSE_START_MISSING},          // ERROR_FILE_NOT_FOUND
    {5, CAUSE_START_DENIED},           // ERROR_ACCESS_DENIED
    {193, CAUSE_START_NOT_A_PROGRAM},  // ERROR_BAD_EXE_FORMAT
    {225, CAUSE_START_VIRUS},          // ERROR_VIRUS_INFECTED
    {4551, CAUSE_START_POLICY},        // ERROR_SYSTEM_INTEGRITY_POLICY_VIOLATION
};

struct CauseSentence {
    int cause;
    const wchar_t* sentence;
};

// Short enough for the one line under the address; the log's hint line
// says the rest.
const CauseSentence LOOKUP_SENTENCES[] = {
    {CAUSE_UNSUPPORTED_URL, L"This address is not a video page."},
    {CAUSE_PRIVATE, L"This video is private."},
    {CAUSE_SIGN_IN, L"The site wants a signed-in browser — choose it under \"Cookies from\"."},
    {CAUSE_FORBIDDEN, L"The site refuses to show this video."},
    {CAUSE_TOO_MANY_REQUESTS, L"The site refuses to show this video."},
    {CAUSE_UNAVAILABLE, L"There is no such video."},
    {CAUSE_COOKIES_MISSING, L"The cookies of the browser under \"Cookies from\" cannot be read."},
    {CAUSE_COOKIES_LOCKED, L"The cookies of the browser under \"Cookies from\" cannot be read."},
    {CAUSE_COOKIES_ENCRYPTED, L"The cookies of the browser under \"Cookies from\" cannot be read."},
};

const wchar_t LOOKUP_FAILED_SENTENCE[] = L"The video could not be looked up.";

// The window's own button brings yt-dlp up to date.
const wchar_t UPDATE_ADVICE[] = L"press \"Update tools\"";

}  // namespace

int cause_of_line(const wchar_t* line)
{
    for (const Fragment& fragment : CAUSE_FRAGMENTS)
        if (std::wcsstr(line, fragment.text))
            return fragment.cause;
    return CAUSE_NONE;
}

static int is_cause(int cause)
{
    return cause > CAUSE_NONE && cause < CAUSE_COUNT;
}

int cause_replaces(int kept, int later)
{
    if (!is_cause(later))
        return 0;
    return !is_cause(kept) || (CAUSE_TEXTS[kept].weak && !CAUSE_TEXTS[later].weak);
}

int cause_of_start_error(unsigned long error)
{
    for (const StartError& start : START_ERRORS)
        if (start.code == error)
            return start.cause;
    return CAUSE_NONE;
}

int build_hint_line(int cause, long ytdlp_age_days, wchar_t (&out)[HINT_LINE_CAP])
{
    out[0] = L'\0';
    int old = ytdlp_age_days > YTDLP_OLD_DAYS;
    if (!is_cause(cause)) {
        if (old)
            format_text(out, L"[tarnvik] yt-dlp is %ld days old, and sites change often: %ls and try again.",
                        ytdlp_age_days, UPDATE_ADVICE);
    } else if (old && CAUSE_TEXTS[cause].update_may_help) {
        format_text(out, L"[tarnvik] %ls yt-dlp is %ld days old: %ls.", CAUSE_TEXTS[cause].advice, ytdlp_age_days,
                    UPDATE_ADVICE);
    } else {
        format_text(out, L"[tarnvik] %ls", CAUSE_TEXTS[cause].advice);
    }
    return out[0] != L'\0';
}

const wchar_t* lookup_failure_sentence(int cause)
{
    for (const CauseSentence& entry : LOOKUP_SENTENCES)
        if (entry.cause == cause)
            return entry.sentence;
    return LOOKUP_FAILED_SENTENCE;
}
