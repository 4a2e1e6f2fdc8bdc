// Recognisers for the curl error lines that change what the download does
// next. Each returns 1 when the line is that error and 0 otherwise.
#pragma once

// Windows' curl could not check the server certificate's revocation (behind
// many proxies and VPNs): CRYPT_E_NO_REVOCATION_CHECK or
// CRYPT_E_REVOCATION_OFFLINE, by name or, from curl before 8.5, by number
// ("Unknown error (0x80092012)"). A revoked certificate is not this.
int is_revocation_unchecked(const wchar_t* line);
// "curl: (22) The requested URL returned error: 404" (older curl adds " Not Found").
int is_not_found(const wchar_t* line);
