#include <gtest/gtest.h>

#include "text/curl_errors.h"

// The older unnamed form, a revoked certificate and other TLS failures go
// through the tool set-up's own tests.
TEST(CurlErrors, RevocationUncheckedAsCurl8NamesIt)
{
    EXPECT_EQ(is_revocation_unchecked(L"curl: (35) schannel: next InitializeSecurityContext failed: "
                                      L"CRYPT_E_REVOCATION_OFFLINE (0x80092013) - The revocation function was "
                                      L"unable to check revocation because the revocation server was offline."),
              1);
    EXPECT_EQ(is_revocation_unchecked(L"curl: (35) schannel: next InitializeSecurityContext failed: "
                                      L"CRYPT_E_NO_REVOCATION_CHECK (0x80092012) - The revocation function was "
                                      L"unable to check revocation for the certificate."),
              1);
}

TEST(CurlErrors, NotFoundInOldAndNewWording)
{
    EXPECT_EQ(is_not_found(L"curl: (22) The requested URL returned error: 404 Not Found"), 1);
    EXPECT_EQ(is_not_found(L"curl: (22) The requested URL returned error: 404"), 1);
    EXPECT_EQ(is_not_found(L"curl: (22) The requested URL returned error: 403 Forbidden"), 0);
    EXPECT_EQ(is_not_found(L"curl: (22) The requested URL returned error: 4040"), 0);
}
