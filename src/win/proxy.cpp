#include "win/proxy.h"

ProxyConfigReader g_proxy_config_reader = NULL;

static INIT_ONCE g_winhttp_once = INIT_ONCE_STATIC_INIT;
static ProxyConfigReader g_winhttp_reader = NULL;

// winhttp.dll is Windows' own; taken from the system folder only, and
// looked up at run time so the program file needs no import of it.
static BOOL CALLBACK look_up_winhttp(PINIT_ONCE, PVOID, PVOID*)
{
    HMODULE winhttp = LoadLibraryExW(L"winhttp.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (winhttp) {
        FARPROC found = GetProcAddress(winhttp, "WinHttpGetIEProxyConfigForCurrentUser");
        g_winhttp_reader = reinterpret_cast<ProxyConfigReader>(reinterpret_cast<void (*)()>(found));
    }
    return TRUE;
}

static ProxyConfigReader config_reader()
{
    if (g_proxy_config_reader)
        return g_proxy_config_reader;
    InitOnceExecuteOnce(&g_winhttp_once, look_up_winhttp, NULL, NULL);
    return g_winhttp_reader;
}

static void free_config(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config)
{
    if (config->lpszAutoConfigUrl)
        GlobalFree(config->lpszAutoConfigUrl);
    if (config->lpszProxy)
        GlobalFree(config->lpszProxy);
    if (config->lpszProxyBypass)
        GlobalFree(config->lpszProxyBypass);
}

SystemProxy read_system_proxy(wchar_t (&proxy)[PROXY_CAP])
{
    proxy[0] = L'\0';
    ProxyConfigReader reader = config_reader();
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config;
    ZeroMemory(&config, sizeof config);
    if (!reader || !reader(&config))
        return PROXY_NONE;
    SystemProxy found = PROXY_NONE;
    if (https_proxy_of(config.lpszProxy, proxy, PROXY_CAP))
        found = PROXY_FIXED;
    else if (config.lpszAutoConfigUrl && config.lpszAutoConfigUrl[0])
        found = PROXY_SCRIPT_ONLY;
    free_config(&config);
    return found;
}
