#include "win32lib/http/WinHttpWrapperAbstract.h"

namespace Win32Lib::wrappers::http {

void WinHttpWrapperAbstract::resetResult() noexcept
{
    contentEncoding_.clear();
    statusCode_ = -1;
    contentLength_ = -1;
    errorCode_ = 0;
    sslErrors_ = 0;
}

void WinHttpWrapperAbstract::recordError(uint32_t code, const char *operation)
{
    errorCode_ = code;
    failedOperation_ = operation;
}

} // namespace Win32Lib::wrappers::http
