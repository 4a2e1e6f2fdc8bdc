// The proxy that Windows' proxy settings give each download address, for
// curl, which does not read them by itself: a fixed proxy, "Automatically
// detect settings" (on by default) and a configuration script, resolved by
// WinHTTP as Windows' own programs resolve them.
#pragma once
#include <windows.h>
#include <winhttp.h>
#include "text/proxy.h"

typedef decltype(&WinHttpGetIEProxyConfigForCurrentUser) ProxyConfigReader;
typedef decltype(&WinHttpGetProxyForUrl) ProxyForUrl;

// Where the settings are read from and resolved: null (as the program runs)
// for winhttp.dll's own functions, looked up once; a test sets its own,
// which hands out its strings as GlobalAlloc'ed copies, as Windows does.
extern ProxyConfigReader g_proxy_config_reader;
extern ProxyForUrl g_proxy_for_url;

enum { PROXY_SCRIPT_CAP = 1024 };

// What one run read of the user's proxy settings, and what it learnt since.
struct ProxySettings {
    wchar_t fixed[PROXY_CAP];             // the fixed proxy for HTTPS, or empty
    int auto_detect;                      // "Automatically detect settings"
    wchar_t script[PROXY_SCRIPT_CAP];     // the configuration script's address, or empty
    HINTERNET session;                    // WinHTTP's, made at the first resolution; may stay null
    int detection_failed;                 // no proxy was detected once: not looked for again
};

// What the settings say of the proxy: none, a fixed one only, or automatic
// ones (detection or a script, perhaps with a fixed one behind them).
enum SystemProxy { PROXY_NONE = 0, PROXY_FIXED = 1, PROXY_AUTOMATIC = 2 };

// Reads the current user's proxy settings into settings.
SystemProxy read_system_proxy(ProxySettings* settings);

// The proxy for url into proxy, as Windows would take it: what detection or
// the script names for the address (either may say "direct"), and where
// they find nothing, the fixed proxy. 1 with a proxy, 0 (proxy empty) direct.
int proxy_for(ProxySettings* settings, const wchar_t* url, wchar_t (&proxy)[PROXY_CAP]);

// Lets go of what the resolution held.
void close_proxy_settings(ProxySettings* settings);
