#include "text/curl_errors.h"

#include <cwchar>

namespace {

const wchar_t* const REVOCATION_UNCHECKED[] = {
    L"CRYPT_E_NO_REVOCATION_CHECK", L"CRYPT_E_REVOCATION_OFFLINE",
    L"0x80092012", L"0x80092013"};

const wchar_t NOT_FOUND[] = L"returned error: 404";

}  // namespace

int is_revocation_unchecked(const wchar_t* line)
{
    for (const wchar_t* marker : REVOCATION_UNCHECKED)
        if (std::wcsstr(line, marker))
            return 1;
    return 0;
}

int is_not_found(const wchar_t* line)
{
    const wchar_t* found = std::wcsstr(line, NOT_FOUND);
    if (!found)
        return 0;
    wchar_t after = found[sizeof NOT_FOUND / sizeof NOT_FOUND[0] - 1];
    return !(after >= L'0' && after <= L'9');  // not 4040
}
