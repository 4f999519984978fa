#include "win32lib/http/requestLogic.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winhttp.h>

namespace http = win32lib::http;
using http::SendFailureAction;

TEST(SendRetry, ResendRequestIsRetriedUntilTheFourthAttemptFails)
{
    EXPECT_EQ(http::classifySendFailure(ERROR_WINHTTP_RESEND_REQUEST, 1), SendFailureAction::Retry);
    EXPECT_EQ(http::classifySendFailure(ERROR_WINHTTP_RESEND_REQUEST, 2), SendFailureAction::Retry);
    EXPECT_EQ(http::classifySendFailure(ERROR_WINHTTP_RESEND_REQUEST, 3), SendFailureAction::Retry);
    EXPECT_EQ(http::classifySendFailure(ERROR_WINHTTP_RESEND_REQUEST, 4), SendFailureAction::Fail);
}

TEST(SendRetry, CertificateRejectionMeansTheCallbackClosedTheRequest)
{
    EXPECT_EQ(http::classifySendFailure(65104, 1), SendFailureAction::FailRequestHandleGone);
}

TEST(SendRetry, OtherErrorsFailAtOnce)
{
    for (const uint32_t error : std::initializer_list<uint32_t>{
             ERROR_WINHTTP_SECURE_FAILURE, ERROR_WINHTTP_TIMEOUT, ERROR_WINHTTP_CANNOT_CONNECT,
             ERROR_WINHTTP_NAME_NOT_RESOLVED, ERROR_WINHTTP_CONNECTION_ERROR, 0u}) {
        EXPECT_EQ(http::classifySendFailure(error, 1), SendFailureAction::Fail) << error;
    }
}

TEST(RequestParsing, OnlyLowerCaseHttpsIsSecure)
{
    EXPECT_TRUE(http::isSecureScheme(L"https"));
    EXPECT_FALSE(http::isSecureScheme(L"HTTPS"));
    EXPECT_FALSE(http::isSecureScheme(L"http"));
    EXPECT_FALSE(http::isSecureScheme(L""));
}

TEST(RequestParsing, StatusCodeIsDecimal)
{
    EXPECT_EQ(http::parseStatusCode(L"200"), 200);
    EXPECT_EQ(http::parseStatusCode(L"465"), 465);
    EXPECT_EQ(http::parseStatusCode(L"x"), 0);
}

TEST(RequestParsing, ContentLengthsOfTwoGibibytesAndMoreKeepTheirValue)
{
    EXPECT_EQ(http::parseContentLength(L"0"), 0);
    EXPECT_EQ(http::parseContentLength(L"2147483647"), 2147483647LL);
    EXPECT_EQ(http::parseContentLength(L"2147483648"), 2147483648LL);
    EXPECT_EQ(http::parseContentLength(L"5368709120"), 5368709120LL);
    EXPECT_EQ(http::parseContentLength(L"junk"), 0);
}

TEST(RequestParsing, GzipAnywhereInTheEncodingSelectsDecoding)
{
    EXPECT_TRUE(http::isGzipEncoding(L"gzip"));
    EXPECT_TRUE(http::isGzipEncoding(L"x-gzip"));
    EXPECT_TRUE(http::isGzipEncoding(L"identity, gzip"));
    EXPECT_FALSE(http::isGzipEncoding(L"deflate"));
    EXPECT_FALSE(http::isGzipEncoding(L"GZIP"));
    EXPECT_FALSE(http::isGzipEncoding(L""));
}

TEST(Resume, ValidatorIsAStrongEtagElseTheDateElseNothing)
{
    struct Case {
        std::wstring etag;
        std::wstring lastModified;
        std::wstring validator;
    };
    const std::wstring date = L"Wed, 09 Dec 2026 04:24:26 GMT";
    const std::wstring longestEtag = L"\"" + std::wstring(http::kMaxValidatorChars - 2, L'a') + L"\"";
    const Case cases[] = {
        {L"\"6b18d7fa-493e0\"", date, L"\"6b18d7fa-493e0\""},
        {L"W/\"6b18d7fa\"", date, date}, // If-Range takes no weak ETag
        {L"", date, date},
        {L"unquoted", date, date},
        {longestEtag, L"", longestEtag},
        {longestEtag.substr(0, 1) + L"a" + longestEtag.substr(1), date, date},
        // A line break would let the server add header lines to the request.
        {L"\"a\r\nX-Injected: 1\"", date, date},
        {L"", L"Wed\r\nX-Injected: 1", L""},
        {L"W/\"x\"", L"", L""},
        {L"", L"", L""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(http::resumeValidator(c.etag, c.lastModified), c.validator) << c.etag.size();
    }
}

TEST(Resume, OnlyTheExactRestOfTheBodyContinuesIt)
{
    EXPECT_EQ(http::resumeHeaders(300000, L"\"e\""), L"Range: bytes=300000-\r\nIf-Range: \"e\"");
    EXPECT_EQ(http::expectedContentRange(300000, 600000), L"bytes 300000-599999/600000");
    // Beyond 4 GiB also in the 32-bit build.
    EXPECT_EQ(http::expectedContentRange(5000000000, 6000000000), L"bytes 5000000000-5999999999/6000000000");
}

TEST(ProxyAuthentication, IntegratedFirstThenBasicEachOnce)
{
    constexpr uint32_t kAll = WINHTTP_AUTH_SCHEME_NEGOTIATE | WINHTTP_AUTH_SCHEME_NTLM | WINHTTP_AUTH_SCHEME_BASIC;
    struct Case {
        uint32_t supported;
        bool integratedTried;
        bool basicTried;
        http::ProxyAnswer answer;
    };
    const Case cases[] = {
        {kAll, false, false, http::ProxyAnswer::Integrated},
        {WINHTTP_AUTH_SCHEME_NTLM, false, false, http::ProxyAnswer::Integrated},
        // Under Wine the integrated answer carries no token: Basic comes next.
        {kAll, true, false, http::ProxyAnswer::Basic},
        {WINHTTP_AUTH_SCHEME_BASIC, false, false, http::ProxyAnswer::Basic},
        {kAll, true, true, http::ProxyAnswer::None},
        {WINHTTP_AUTH_SCHEME_BASIC, false, true, http::ProxyAnswer::None},
        {WINHTTP_AUTH_SCHEME_DIGEST, false, false, http::ProxyAnswer::None},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(http::chooseProxyAnswer(c.supported, c.integratedTried, c.basicTried), c.answer)
            << c.supported << " " << c.integratedTried << c.basicTried;
    }
}
