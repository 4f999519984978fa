#pragma once

// Decisions of the request sequence that need no WinHTTP call, apart so that
// they can be tested directly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace win32lib::http {

// Error codes of the client itself, above the Windows range.
inline constexpr uint32_t kErrorGzipDecode = 65001;
inline constexpr uint32_t kErrorCancelled = 65002;
inline constexpr uint32_t kErrorLengthMismatch = 65003;
inline constexpr uint32_t kErrorBodyTooLarge = 65004;
inline constexpr uint32_t kErrorCertificateRejected = 65104;

inline constexpr int kMaxSendAttempts = 4;

// What a body collected in memory may hold before decoding: ample for a
// manifest, and no server can make the client allocate more.
inline constexpr size_t kMaxBodyInMemory = 4 * 1024 * 1024;

enum class SendFailureAction {
    Retry,                 // ERROR_WINHTTP_RESEND_REQUEST with attempts left
    Fail,                  // any other error, or the last attempt
    FailRequestHandleGone, // the certificate check closed the request handle
};

// What the send loop does after attempt `attempt` (1-based) failed with `error`.
[[nodiscard]] SendFailureAction classifySendFailure(uint32_t error, int attempt) noexcept;

// "https" exactly: the scheme is compared case-sensitively.
[[nodiscard]] bool isSecureScheme(std::wstring_view scheme) noexcept;

// Base-10 status code as WinHTTP reports it; 0 when the text holds no number.
[[nodiscard]] int32_t parseStatusCode(const wchar_t *text) noexcept;

// Base-10 Content-Length in 64 bits, so that bodies of 2 GiB and more keep
// their size. Text that is no number gives 0, which the length check then
// reports as a mismatch.
[[nodiscard]] int64_t parseContentLength(const wchar_t *text) noexcept;

// The body is decoded when the encoding mentions gzip anywhere.
[[nodiscard]] bool isGzipEncoding(std::wstring_view contentEncoding) noexcept;

// How a request answers a proxy's 407: the logged-on user's credentials first
// (Negotiate, else NTLM) where offered, then Basic with credentials asked of
// the user, each once; then the refusal stands.
enum class ProxyAnswer {
    Integrated,
    Basic,
    None,
};
[[nodiscard]] ProxyAnswer chooseProxyAnswer(uint32_t supportedSchemes, bool integratedTried, bool basicTried) noexcept;

// What a later request sends as If-Range to ask for the rest of a body: the
// answer's strong ETag, else its Last-Modified date. Empty when neither may be
// sent back: a weak ETag (If-Range refuses it), text longer than
// kMaxValidatorChars, or a character outside printable ASCII (a line break
// would add header lines of the server's choosing).
[[nodiscard]] std::wstring resumeValidator(std::wstring_view etag, std::wstring_view lastModified);
inline constexpr std::size_t kMaxValidatorChars = 128;

// The header lines asking for the body from byte `firstMissing` on, provided
// it is still the one `validator` names.
[[nodiscard]] std::wstring resumeHeaders(uint64_t firstMissing, std::wstring_view validator);

// The Content-Range a 206 answer carries when it holds exactly the rest of a
// body of `total` bytes from `firstMissing` on.
[[nodiscard]] std::wstring expectedContentRange(uint64_t firstMissing, uint64_t total);

} // namespace win32lib::http
