#pragma once

#include "win32lib/UniqueResource.h"

#include <cstdint>
#include <string>
#include <unordered_map>

namespace Win32Lib::wrappers::http {

// Milliseconds, in the order WinHttpSetTimeouts takes them.
struct HttpTimeouts {
    uint32_t resolve = 0;
    uint32_t connect = 0;
    uint32_t send = 0;
    uint32_t receive = 0;
};

// The result of the last request and the options applied to every request.
class WinHttpWrapperAbstract {
public:
    WinHttpWrapperAbstract() = default;
    WinHttpWrapperAbstract(const WinHttpWrapperAbstract &) = delete;
    WinHttpWrapperAbstract &operator=(const WinHttpWrapperAbstract &) = delete;
    virtual ~WinHttpWrapperAbstract() = default;

    // HTTP status of the last response; -1 before a response.
    [[nodiscard]] int32_t statusCode() const noexcept { return statusCode_; }
    // 0 when the last request succeeded; otherwise a Windows or WinHTTP error
    // or one of the client's own codes (65001, 65002, 65003, 65004, 65104).
    [[nodiscard]] uint32_t errorCode() const noexcept { return errorCode_; }
    // Flags of a secure-failure notification of the last request, else 0.
    [[nodiscard]] uint32_t sslErrors() const noexcept { return sslErrors_; }
    // Name of the step that failed; empty after a clean send.
    [[nodiscard]] std::string failedOperation() const { return failedOperation_; }
    // Content-Length of the last response; -1 when it had none.
    [[nodiscard]] int64_t contentLength() const noexcept { return contentLength_; }
    // Content-Encoding of the last response; empty when it had none.
    [[nodiscard]] const std::wstring &contentEncoding() const noexcept { return contentEncoding_; }

    // Options, all off unless set. A header line is added to every request
    // after "Accept-Encoding" with its own WINHTTP_ADDREQ_FLAG_* modifiers.
    void addExtraHeader(const std::wstring &headerLine, uint32_t modifiers) { extraHeaders_[headerLine] = modifiers; }
    // Bit 0 (kOptionCheckRevocation) asks WinHTTP to check certificate revocation.
    void setOptionFlags(uint32_t flags) noexcept { optionFlags_ = flags; }
    // Value for WINHTTP_OPTION_SECURITY_FLAGS; 0 leaves WinHTTP's default.
    void setSecurityFlags(uint32_t flags) noexcept { securityFlags_ = flags; }

    static constexpr uint32_t kOptionCheckRevocation = 1u << 0;

protected:
    void resetResult() noexcept;
    void recordError(uint32_t code, const char *operation);

    UniqueHInternet session_;
    std::unordered_map<std::wstring, uint32_t> extraHeaders_;
    uint32_t optionFlags_ = 0;
    uint32_t securityFlags_ = 0;
    int32_t statusCode_ = -1;
    int64_t contentLength_ = -1;
    std::wstring contentEncoding_;
    std::string failedOperation_;
    uint32_t errorCode_ = 0;
    uint32_t sslErrors_ = 0;
};

} // namespace Win32Lib::wrappers::http
