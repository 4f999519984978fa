#include "win32lib/http/requestLogic.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>

namespace win32lib::http {

SendFailureAction classifySendFailure(uint32_t error, int attempt) noexcept
{
    if (error == ERROR_WINHTTP_RESEND_REQUEST && attempt < kMaxSendAttempts) {
        return SendFailureAction::Retry;
    }
    if (error == kErrorCertificateRejected) {
        return SendFailureAction::FailRequestHandleGone;
    }
    return SendFailureAction::Fail;
}

bool isSecureScheme(std::wstring_view scheme) noexcept
{
    return scheme == L"https";
}

int32_t parseStatusCode(const wchar_t *text) noexcept
{
    return static_cast<int32_t>(std::wcstol(text, nullptr, 10));
}

int64_t parseContentLength(const wchar_t *text) noexcept
{
    return static_cast<int64_t>(std::wcstoll(text, nullptr, 10));
}

bool isGzipEncoding(std::wstring_view contentEncoding) noexcept
{
    return contentEncoding.find(L"gzip") != std::wstring_view::npos;
}

ProxyAnswer chooseProxyAnswer(uint32_t supportedSchemes, bool integratedTried, bool basicTried) noexcept
{
    if (!integratedTried && (supportedSchemes & (WINHTTP_AUTH_SCHEME_NEGOTIATE | WINHTTP_AUTH_SCHEME_NTLM)) != 0) {
        return ProxyAnswer::Integrated;
    }
    if (!basicTried && (supportedSchemes & WINHTTP_AUTH_SCHEME_BASIC) != 0) {
        return ProxyAnswer::Basic;
    }
    return ProxyAnswer::None;
}

namespace {

bool sendableHeaderValue(std::wstring_view text) noexcept
{
    if (text.empty() || text.size() > kMaxValidatorChars) {
        return false;
    }
    for (const wchar_t c : text) {
        if (c < L' ' || c > L'~') {
            return false;
        }
    }
    return true;
}

} // namespace

std::wstring resumeValidator(std::wstring_view etag, std::wstring_view lastModified)
{
    const bool strongEtag = etag.size() >= 2 && etag.front() == L'"' && etag.back() == L'"';
    if (strongEtag && sendableHeaderValue(etag)) {
        return std::wstring(etag);
    }
    if (sendableHeaderValue(lastModified)) {
        return std::wstring(lastModified);
    }
    return {};
}

std::wstring resumeHeaders(uint64_t firstMissing, std::wstring_view validator)
{
    return L"Range: bytes=" + std::to_wstring(firstMissing) + L"-\r\nIf-Range: " + std::wstring(validator);
}

std::wstring expectedContentRange(uint64_t firstMissing, uint64_t total)
{
    return L"bytes " + std::to_wstring(firstMissing) + L"-" + std::to_wstring(total - 1) + L"/" +
           std::to_wstring(total);
}

} // namespace win32lib::http
