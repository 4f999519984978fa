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

} // namespace win32lib::http
