// Plain words for a failed clip: the cause a tool's message line names, and
// the one line that tells the user what to do about it in this window.
#pragma once

enum FailureCause {
    CAUSE_NONE = 0,
    CAUSE_COOKIES_MISSING,    // no cookie store for the chosen browser
    CAUSE_COOKIES_LOCKED,     // the running browser holds its cookie store
    CAUSE_COOKIES_ENCRYPTED,  // Chrome-style encryption other programs cannot undo
    CAUSE_PRIVATE,
    CAUSE_SIGN_IN,            // the site wants a signed-in browser
    CAUSE_UNAVAILABLE,
    CAUSE_NO_JS_RUNTIME,
    CAUSE_NO_FFMPEG,
    CAUSE_NO_FORMAT,          // nothing fits the chosen Quality
    CAUSE_UNSUPPORTED_URL,
    CAUSE_FORBIDDEN,          // HTTP 403
    CAUSE_TOO_MANY_REQUESTS,  // HTTP 429
    CAUSE_NOT_FOUND,          // HTTP 404
    CAUSE_RATE_LIMITED,       // YouTube: "This content isn't available, try again later"
    CAUSE_CAPTCHA,            // the site wants a captcha solved first
    CAUSE_START_MISSING,      // yt-dlp.exe could not be started: error 2
    CAUSE_START_DENIED,       // 5
    CAUSE_START_NOT_A_PROGRAM,  // 193
    CAUSE_START_VIRUS,        // 225
    CAUSE_START_POLICY,       // 4551
    CAUSE_COUNT
};

// Past this many days a yt-dlp is likely to have fallen behind the sites.
enum { YTDLP_OLD_DAYS = 60 };
enum { HINT_LINE_CAP = 400 };

// The cause that one line of yt-dlp's or ffmpeg's output names, or CAUSE_NONE.
int cause_of_line(const wchar_t* line);

// 1 when a cause named later in the output (later) should take the place of
// the one kept so far (kept): any cause replaces none, and a weak one gives
// way to any later cause that is not weak; otherwise the first stays. Weak
// are the missing JavaScript runtime, which yt-dlp warns of early in every
// run without deno, and HTTP 404, which side requests meet too.
int cause_replaces(int kept, int later);

// The cause behind a Windows error code from a failed start, or CAUSE_NONE.
int cause_of_start_error(unsigned long error);

// The "[tarnvik] …" line for a failed job into out. ytdlp_age_days is how
// many days old yt-dlp is, negative when unknown; an old yt-dlp is named
// when an update may mend the cause, or when there is no known cause.
// 1 when there is a line; 0 (out empty) when there is nothing to say.
int build_hint_line(int cause, long ytdlp_age_days, wchar_t (&out)[HINT_LINE_CAP]);

// The look-up's failure in one short sentence for the line under the
// address: what the cause means for this video, or a plain "could not"
// when there is no known cause.
const wchar_t* lookup_failure_sentence(int cause);
