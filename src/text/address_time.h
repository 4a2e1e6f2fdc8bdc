// The start time a video address can carry: "t=" or "start=" in its query,
// "t=" in its fragment, as video sites write it when a link is shared from
// a point in the video.
#pragma once

// Refused above this: no video runs for a hundred hours, so such a value
// is a typing slip, not a time.
enum { ADDRESS_TIME_MAX_SECONDS = 360000 };

// 1 with the time in whole seconds when url carries one ("75", "75s",
// "1m15s", "1h2m3s", "1:15"); 0 when it carries none, or one that is no
// time; seconds then keeps what the caller put there.
int start_time_in_address(const wchar_t* url, double& seconds);
