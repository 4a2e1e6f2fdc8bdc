// The proxy that the user's Internet Options name, for curl, which does not
// read them by itself.
#pragma once
#include <windows.h>
#include <winhttp.h>
#include "text/proxy.h"

typedef decltype(&WinHttpGetIEProxyConfigForCurrentUser) ProxyConfigReader;

// Where the Internet Options are read from: null (as the program runs) for
// winhttp.dll's own reader, looked up once; a test sets its own, which
// hands out its strings as GlobalAlloc'ed copies, as Windows does.
extern ProxyConfigReader g_proxy_config_reader;

// What the Internet Options say of the proxy: none, a fixed proxy, or only
// an automatic configuration script, which curl cannot use.
enum SystemProxy { PROXY_NONE = 0, PROXY_FIXED = 1, PROXY_SCRIPT_ONLY = 2 };

// The proxy for HTTPS into proxy, empty when there is none.
SystemProxy read_system_proxy(wchar_t (&proxy)[PROXY_CAP]);
