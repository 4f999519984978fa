#pragma once

#include "win32lib/http/ProgressCallback.h"
#include "win32lib/UniqueResource.h"

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace win32lib::http {

// Milliseconds, in the order WinHttpSetTimeouts takes them.
struct HttpTimeouts {
    uint32_t resolve = 0;
    uint32_t connect = 0;
    uint32_t send = 0;
    uint32_t receive = 0;
};

// The program's HTTP client: synchronous WinHTTP, one connection per host
// name kept for the life of the object. Every request operation returns true
// only when every step succeeded; a non-200 status is no failure here (test
// statusCode()). On false, errorCode(), sslErrors() and failedOperation()
// tell what went wrong. One thread at a time.
class HttpClient {
public:
    using CertificateDigest = std::array<uint8_t, 32>;

    explicit HttpClient(const std::wstring &userAgent);
    HttpClient(const HttpClient &) = delete;
    HttpClient &operator=(const HttpClient &) = delete;
    ~HttpClient();

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

    // The call that installs a secure request's status callback. Windows
    // fails it only for an invalid handle, so tests replace it to show that
    // such a failure refuses the request.
    using StatusCallbackSetter = WINHTTP_STATUS_CALLBACK(WINAPI *)(HINTERNET, WINHTTP_STATUS_CALLBACK, DWORD,
                                                                   DWORD_PTR);
    void setStatusCallbackSetter(StatusCallbackSetter setter) noexcept { setStatusCallback_ = setter; }

    // False without recording anything when the session could not be opened.
    [[nodiscard]] bool setTimeouts(const HttpTimeouts &timeouts);

    // HEAD; the answer's headers are inspected, no body is read.
    [[nodiscard]] bool sendHead(const std::wstring &url);
    // GET; the body is appended to `body` as bytes, decoded when the
    // Content-Encoding mentions gzip.
    [[nodiscard]] bool getToBuffer(const std::wstring &url, std::vector<uint8_t> &body,
                                   const ProgressCallback &progress = {});
    // GET; the body is written undecoded to a new file at `path`, which is
    // created before anything is sent and deleted again when the request fails.
    // An existing file at `path` fails the request with "CreateFile".
    // The observer sees every piece written.
    [[nodiscard]] bool getToFile(const std::wstring &url, const std::wstring &path,
                                 const ProgressCallback &progress = {}, const BodyObserver &written = {});

    // Pinning, checked when WinHTTP is about to send a secure request.
    // Certificate pinning accepts a server whose certificate's SHA-256 digest
    // is pinned for the host, or whose chain validates with the private trust
    // store; public-key pinning accepts a server whose raw public key (the
    // SubjectPublicKeyInfo key bits) is pinned for the host.
    void setCertificatePinning(bool enabled) noexcept { certificatePinning_ = enabled; }
    void setPublicKeyPinning(bool enabled) noexcept { publicKeyPinning_ = enabled; }
    void addCertificatePin(const CertificateDigest &digest, const std::wstring &host);
    void addPublicKeyPin(const std::vector<uint8_t> &publicKey, const std::wstring &host);
    // Takes ownership of the store; it joins chain building for the chain check.
    void setPrivateTrustStore(UniqueCertStore store) noexcept;
    // Keeps its own reference to the certificate, sent as client certificate.
    [[nodiscard]] bool setClientCertificate(PCCERT_CONTEXT certificate) noexcept;

    // The pin check of a request about to be sent. On false the error code and
    // failed operation are set.
    [[nodiscard]] bool validateHttpsRequest(HINTERNET request);
    // Chain check against the private trust store for server authentication
    // of `host`. On false the error code and failed operation are set.
    [[nodiscard]] bool isSslCertificateValid(PCCERT_CONTEXT certificate, const std::wstring &host);

private:
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
    // The steps of one request up to its headers; each records its failure.
    bool runRequestSequence(const wchar_t *verb, const std::wstring &url);
    bool openRequest(const wchar_t *verb, const std::wstring &url, bool &secure);
    bool addRequestHeaders();
    bool setRequestOptions(bool secure);
    bool receiveResponse();
    bool readResponseHeaders();
    // Records GetLastError() for `operation`; always false.
    bool failWithLastError(const char *operation);
    bool readBody(const ProgressCallback &progress, std::vector<uint8_t> *buffer, HANDLE file,
                  const BodyObserver &written = {});
    bool openConnection(const std::wstring &host, INTERNET_PORT port, HINTERNET &connection);
    bool sendWithRetry();
    bool queryRequestHost(HINTERNET request, std::wstring &host);
    bool chainEndsInTrustedRoot(PCCERT_CHAIN_CONTEXT chain) const;

    static void CALLBACK statusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                        DWORD informationLength) noexcept;

    // One connection per "host:port".
    std::map<std::wstring, UniqueHInternet> connections_;
    // The request in flight; the status callback closes it to stop a send.
    UniqueHInternet request_;
    std::wstring requestHost_;
    bool certificatePinning_ = false;
    bool publicKeyPinning_ = false;
    std::map<CertificateDigest, std::set<std::wstring>> certificatePins_;
    std::map<std::vector<uint8_t>, std::set<std::wstring>> publicKeyPins_;
    UniqueCertStore privateTrustStore_;
    UniqueCertContext clientCertificate_;
    HttpClient *self_ = this;
    StatusCallbackSetter setStatusCallback_ = &::WinHttpSetStatusCallback;
};

} // namespace win32lib::http
