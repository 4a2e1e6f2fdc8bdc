#include "win/dyn_calls.h"

// One system DLL: its file, the function that fills its table from the
// loaded module (1 when every function was found), and whether that worked.
typedef int (*TableFiller)(HMODULE dll);
struct SystemDll {
    const wchar_t* file;
    TableFiller fill;
    INIT_ONCE once;
    int ready;
};

template <typename Function>
static int look_up(HMODULE dll, const char* name, Function* function)
{
    FARPROC found = GetProcAddress(dll, name);
    *function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
    return found != NULL;
}

// From the system folder only: a DLL of the same name beside the program
// or in the current folder is never loaded in its place.
static BOOL CALLBACK load_system_dll(PINIT_ONCE, PVOID parameter, PVOID*)
{
    SystemDll* dll = static_cast<SystemDll*>(parameter);
    HMODULE module = LoadLibraryExW(dll->file, NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    dll->ready = module && dll->fill(module);
    return TRUE;
}

static int loaded(SystemDll* dll)
{
    InitOnceExecuteOnce(&dll->once, load_system_dll, dll, NULL);
    return dll->ready;
}

static HashCalls s_hash;
static int fill_hash(HMODULE dll)
{
    return look_up(dll, "BCryptOpenAlgorithmProvider", &s_hash.open_algorithm) &
           look_up(dll, "BCryptCloseAlgorithmProvider", &s_hash.close_algorithm) &
           look_up(dll, "BCryptCreateHash", &s_hash.create_hash) &
           look_up(dll, "BCryptHashData", &s_hash.hash_data) &
           look_up(dll, "BCryptFinishHash", &s_hash.finish_hash) &
           look_up(dll, "BCryptDestroyHash", &s_hash.destroy_hash);
}
static SystemDll s_bcrypt = {L"bcrypt.dll", fill_hash, INIT_ONCE_STATIC_INIT, 0};

static VersionCalls s_version;
static int fill_version(HMODULE dll)
{
    return look_up(dll, "GetFileVersionInfoSizeW", &s_version.info_size) &
           look_up(dll, "GetFileVersionInfoW", &s_version.info) &
           look_up(dll, "VerQueryValueW", &s_version.query_value);
}
static SystemDll s_version_dll = {L"version.dll", fill_version, INIT_ONCE_STATIC_INIT, 0};

static ComCalls s_com;
static int fill_com(HMODULE dll)
{
    return look_up(dll, "CoInitializeEx", &s_com.initialize) & look_up(dll, "CoUninitialize", &s_com.uninitialize);
}
static SystemDll s_ole32 = {L"ole32.dll", fill_com, INIT_ONCE_STATIC_INIT, 0};

static ShellCalls s_shell;
static int fill_shell(HMODULE dll)
{
    return look_up(dll, "ShellExecuteW", &s_shell.execute);
}
static SystemDll s_shell32 = {L"shell32.dll", fill_shell, INIT_ONCE_STATIC_INIT, 0};

static WinHttpCalls s_winhttp;
static int fill_winhttp(HMODULE dll)
{
    return look_up(dll, "WinHttpGetIEProxyConfigForCurrentUser", &s_winhttp.read_proxy_config) &
           look_up(dll, "WinHttpGetProxyForUrl", &s_winhttp.proxy_for_url) &
           look_up(dll, "WinHttpOpen", &s_winhttp.open) & look_up(dll, "WinHttpCloseHandle", &s_winhttp.close);
}
static SystemDll s_winhttp_dll = {L"winhttp.dll", fill_winhttp, INIT_ONCE_STATIC_INIT, 0};

const HashCalls* hash_calls()
{
    return loaded(&s_bcrypt) ? &s_hash : NULL;
}

const VersionCalls* version_calls()
{
    return loaded(&s_version_dll) ? &s_version : NULL;
}

const ComCalls* com_calls()
{
    return loaded(&s_ole32) ? &s_com : NULL;
}

const ShellCalls* shell_calls()
{
    return loaded(&s_shell32) ? &s_shell : NULL;
}

const WinHttpCalls* winhttp_calls()
{
    return loaded(&s_winhttp_dll) ? &s_winhttp : NULL;
}
