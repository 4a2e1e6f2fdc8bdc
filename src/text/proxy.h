// The proxy that Windows' Internet Options name for HTTPS, read out of the
// setting's own text, for curl's --proxy.
#pragma once
#include <cstddef>

enum { PROXY_CAP = 512 };

// setting: the Internet Options proxy text, either one proxy for every
// protocol ("host:port", maybe with "http://" before it) or a list of
// "protocol=host:port" entries between ';' or blanks. 1 with the proxy for
// HTTPS in out (cap characters); 0 (out empty) when HTTPS goes direct or
// the text does not fit.
int https_proxy_of(const wchar_t* setting, wchar_t* out, size_t cap);
