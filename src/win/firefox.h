// Whether this Windows user has a Firefox cookie store that yt-dlp reads
// with "--cookies-from-browser firefox".
#pragma once

// 1 when a profile folder holds a cookies.sqlite: in the Profiles folder
// under %APPDATA%, or in the same folder of the Microsoft Store Firefox
// under %LOCALAPPDATA%\Packages. 0 otherwise.
int firefox_has_cookies();
