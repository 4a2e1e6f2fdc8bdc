// The HTTPS proxy read out of Windows' Internet Options text.
#include <gtest/gtest.h>

#include <string>

#include "text/proxy.h"

namespace {

std::wstring proxy_of(const wchar_t* setting)
{
    wchar_t out[40] = L"untouched";
    int found = https_proxy_of(setting, out, sizeof out / sizeof out[0]);
    EXPECT_EQ(found, out[0] != L'\0') << setting;
    return found ? out : L"(direct)";
}

}  // namespace

TEST(SystemProxy, OneForEveryProtocolOrTheHttpsEntryOfAList)
{
    EXPECT_EQ(proxy_of(L"proxy.corp.example:8080"), L"proxy.corp.example:8080");
    EXPECT_EQ(proxy_of(L" http://10.0.0.1:3128 "), L"http://10.0.0.1:3128");
    EXPECT_EQ(proxy_of(L"http=web:80;https=secure:8443;ftp=f:21"), L"secure:8443");
    EXPECT_EQ(proxy_of(L"ftp=f:21 HTTPS=secure:8443"), L"secure:8443");
    // A list without an HTTPS entry sends HTTPS direct, as Windows does.
    EXPECT_EQ(proxy_of(L"http=web:80;ftp=f:21"), L"(direct)");
    EXPECT_EQ(proxy_of(L""), L"(direct)");
    EXPECT_EQ(proxy_of(nullptr), L"(direct)");
    // A proxy too long for the buffer is not cut into another host.
    EXPECT_EQ(proxy_of(L"https=a-very-long-host-name.example.internal:8080"), L"(direct)");
}
