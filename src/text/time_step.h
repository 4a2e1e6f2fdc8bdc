// Moving a time the user typed by a step, as the arrow keys do in Start and
// End, and writing a time in the form the fields use.
#pragma once

enum { TIME_FIELD_CAP = 32 };

// How a time is written: "338" (plain seconds), "5:38" (minutes, with hours
// when there are any) or "0:05:38" (hours always).
enum TimeForm { TIME_SECONDS, TIME_MINUTES, TIME_HOURS };

// The form text is written in; TIME_MINUTES for a blank or malformed text.
int time_form_of(const wchar_t* text);

// seconds in form, to the millisecond (rounded down: a time just before a
// frame would show the frame before it), with a fraction only when it has
// one: "5:38", "5:38.5", "338.033", "1:02:03".
void format_time(double seconds, int form, wchar_t (&out)[TIME_FIELD_CAP]);

struct TimeStep {
    double seconds;  // how far to move when frames is 0 (negative: back)
    int frames;      // else how many frames
    double fps;      // the video's rate; 0 or less: a frame counts as 0.1 s
};

// Moves the time in text by step and writes it into out in text's own
// form. A blank text starts from blank_seconds (-1: a blank stays blank,
// result 0). The time stays within 0 and duration (-1: no end known). A
// frame step lands on the frame's own time, so that one step is always
// exactly one frame. 1 when out holds the new time; 0 when text is no time.
int step_time(const wchar_t* text, double blank_seconds, const TimeStep& step, double duration,
              wchar_t (&out)[TIME_FIELD_CAP]);
