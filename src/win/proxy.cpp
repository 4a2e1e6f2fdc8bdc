#include "win/proxy.h"
#include "text/bounded.h"
#include "win/dyn_calls.h"

ProxyConfigReader g_proxy_config_reader = NULL;
ProxyForUrl g_proxy_for_url = NULL;

static ProxyConfigReader config_reader()
{
    if (g_proxy_config_reader)
        return g_proxy_config_reader;
    const WinHttpCalls* winhttp = winhttp_calls();
    return winhttp ? winhttp->read_proxy_config : NULL;
}

static ProxyForUrl resolver()
{
    if (g_proxy_for_url)
        return g_proxy_for_url;
    const WinHttpCalls* winhttp = winhttp_calls();
    return winhttp ? winhttp->proxy_for_url : NULL;
}

static void free_text(LPWSTR text)
{
    if (text)
        GlobalFree(text);
}

SystemProxy read_system_proxy(ProxySettings* settings)
{
    ZeroMemory(settings, sizeof *settings);
    ProxyConfigReader reader = config_reader();
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config;
    ZeroMemory(&config, sizeof config);
    if (!reader || !reader(&config))
        return PROXY_NONE;
    https_proxy_of(config.lpszProxy, settings->fixed, PROXY_CAP);
    settings->auto_detect = config.fAutoDetect != FALSE;
    // A script address too long to keep is no script to ask.
    if (config.lpszAutoConfigUrl && !format_text(settings->script, L"%ls", config.lpszAutoConfigUrl))
        settings->script[0] = L'\0';
    free_text(config.lpszAutoConfigUrl);
    free_text(config.lpszProxy);
    free_text(config.lpszProxyBypass);
    if (settings->auto_detect || settings->script[0])
        return PROXY_AUTOMATIC;
    return settings->fixed[0] ? PROXY_FIXED : PROXY_NONE;
}

// -1 when the automatic settings tell nothing for url, else as proxy_for.
static int resolve(ProxySettings* settings, const wchar_t* url, wchar_t (&proxy)[PROXY_CAP])
{
    WINHTTP_AUTOPROXY_OPTIONS options;
    ZeroMemory(&options, sizeof options);
    if (settings->auto_detect && !settings->detection_failed) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (settings->script[0]) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = settings->script;
    }
    options.fAutoLogonIfChallenged = TRUE;  // a script behind a sign-in, as the user
    ProxyForUrl find = resolver();
    if (!options.dwFlags || !find)
        return -1;
    const WinHttpCalls* winhttp = winhttp_calls();
    if (!settings->session && winhttp)
        settings->session =
            winhttp->open(L"Tarnvik", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    WINHTTP_PROXY_INFO info;
    ZeroMemory(&info, sizeof info);
    if (!find(settings->session, url, &options, &info)) {
        // Detection on a network without a proxy to find takes seconds each time.
        if (GetLastError() == ERROR_WINHTTP_AUTODETECTION_FAILED)
            settings->detection_failed = 1;
        return -1;
    }
    int named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && https_proxy_of(info.lpszProxy, proxy, PROXY_CAP);
    free_text(info.lpszProxy);
    free_text(info.lpszProxyBypass);
    return named;
}

int proxy_for(ProxySettings* settings, const wchar_t* url, wchar_t (&proxy)[PROXY_CAP])
{
    proxy[0] = L'\0';
    int resolved = resolve(settings, url, proxy);
    if (resolved >= 0)
        return resolved;
    return settings->fixed[0] && format_text(proxy, L"%ls", settings->fixed);
}

void close_proxy_settings(ProxySettings* settings)
{
    const WinHttpCalls* winhttp = winhttp_calls();
    if (settings->session && winhttp)
        winhttp->close(settings->session);
    settings->session = NULL;
}
