// Windows' own functions that the window does not need before it is on
// screen: hashing, version blocks, COM, the shell and WinHTTP. Each DLL is
// loaded from the system folder the first time one of its functions is
// wanted, so the program file imports none of them and starting it loads
// (and initialises) none of them before the first paint.
#pragma once
#include <windows.h>
#include <bcrypt.h>
#include <objbase.h>
#include <shellapi.h>
#include <winhttp.h>

struct HashCalls {  // bcrypt.dll
    decltype(&BCryptOpenAlgorithmProvider) open_algorithm;
    decltype(&BCryptCloseAlgorithmProvider) close_algorithm;
    decltype(&BCryptCreateHash) create_hash;
    decltype(&BCryptHashData) hash_data;
    decltype(&BCryptFinishHash) finish_hash;
    decltype(&BCryptDestroyHash) destroy_hash;
};

struct VersionCalls {  // version.dll
    decltype(&GetFileVersionInfoSizeW) info_size;
    decltype(&GetFileVersionInfoW) info;
    decltype(&VerQueryValueW) query_value;
};

struct ComCalls {  // ole32.dll
    decltype(&CoInitializeEx) initialize;
    decltype(&CoUninitialize) uninitialize;
};

struct ShellCalls {  // shell32.dll
    decltype(&ShellExecuteW) execute;
};

struct WinHttpCalls {  // winhttp.dll
    decltype(&WinHttpGetIEProxyConfigForCurrentUser) read_proxy_config;
    decltype(&WinHttpGetProxyForUrl) proxy_for_url;
    decltype(&WinHttpOpen) open;
    decltype(&WinHttpCloseHandle) close;
};

// Each gives the DLL's functions, all of them found, or null when the DLL or
// one of its functions is missing. Safe from any thread; looked up once.
const HashCalls* hash_calls();
const VersionCalls* version_calls();
const ComCalls* com_calls();
const ShellCalls* shell_calls();
const WinHttpCalls* winhttp_calls();
