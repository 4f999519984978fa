#pragma once

#include "win32lib/http/ProgressCallback.h"
#include "win32lib/UniqueResource.h"

#include <array>
#include <cstdint>
#include <functional>
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

// A download into one file over several attempts, so that a later attempt can
// ask for the rest of a body an earlier one lost. The file stays open from its
// creation to the end (nothing else can swap it between attempts), and is
// deleted through that handle when the transfer is given up.
struct ResumableTransfer {
    UniqueFile file;
    uint64_t stored = 0;
    // The whole body's length and its validator, from the answer that began
    // the stored bytes; -1 and empty when it cannot be resumed.
    int64_t total = -1;
    std::wstring validator;
    // The last answer continued the stored bytes (a 206 that stands for the
    // whole body's 200).
    bool resumed = false;
    // Called when the stored bytes are dropped and the body starts over, so
    // that whatever followed them (a hash) starts over too.
    std::function<void()> restarted;

    [[nodiscard]] bool canResume() const noexcept
    {
        return file && stored > 0 && total > static_cast<int64_t>(stored) && !validator.empty();
    }
    // Deletes the file (through the handle) and forgets it.
    void discard() noexcept;
};

// The program's HTTP client: synchronous WinHTTP, one connection per host
// name kept for the life of the object. Each request takes the route the
// run's proxy settings give its host (ProxyRouter); a proxy that refuses the
// connection gets one direct attempt after it. A proxy asking for
// credentials (407) gets the logged-on user's (Negotiate, NTLM), then Basic
// ones the user is asked for (ProxyRouter::basicCredentials); a proxy that
// still refuses leaves its 407 as the answer. Every request operation returns true
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
    // GET into the transfer's file, creating it new at `path` on the first
    // call. When the transfer can resume, only the rest is asked for (Range
    // from the first missing byte, If-Range with the first answer's
    // validator) and appended on a 206 whose Content-Range matches exactly;
    // any other answer drops the stored bytes: a 200 is stored from its
    // start, anything else is asked for again without a range. Progress
    // counts the whole body. The file is closed on success and kept on
    // failure: the caller retries or discards it.
    [[nodiscard]] bool getToFileResuming(const std::wstring &url, const std::wstring &path, ResumableTransfer &transfer,
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
    std::wstring userAgent_;
    // One session per proxy a request went through: WinHTTP under Wine
    // ignores a proxy set on a request, so the route is the session's.
    std::map<std::wstring, UniqueHInternet> proxySessions_;
    HttpTimeouts timeouts_;
    bool timeoutsSet_ = false;
    // The proxy of the request in flight; empty when it goes direct.
    std::wstring proxy_;
    bool viaProxy_ = false;
    std::unordered_map<std::wstring, uint32_t> extraHeaders_;
    // Header lines of the next request only (a range to resume).
    std::wstring oneRequestHeaders_;
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
    bool openRequest(const wchar_t *verb, const std::wstring &url, bool &secure, bool direct);
    bool prepareRequest(const wchar_t *verb, const std::wstring &url, bool direct);
    bool answerProxyChallenge();
    HINTERNET sessionFor(const std::wstring &proxy);
    bool applyTimeouts(HINTERNET session);
    bool addRequestHeaders();
    bool setRequestOptions(bool secure);
    bool receiveResponse();
    bool readResponseHeaders();
    // Records GetLastError() for `operation`; always false.
    bool failWithLastError(const char *operation);
    // `alreadyStored` bytes of the body came before this answer's: progress
    // counts them, the length check does not.
    bool readBody(const ProgressCallback &progress, std::vector<uint8_t> *buffer, HANDLE file,
                  const BodyObserver &written = {}, uint64_t alreadyStored = 0);
    bool restartTransfer(ResumableTransfer &transfer);
    void rememberValidator(ResumableTransfer &transfer);
    bool openConnection(const std::wstring &proxy, const std::wstring &host, INTERNET_PORT port, HINTERNET &connection);
    bool sendWithRetry();
    bool queryRequestHost(HINTERNET request, std::wstring &host);
    bool chainEndsInTrustedRoot(PCCERT_CHAIN_CONTEXT chain) const;

    static void CALLBACK statusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                        DWORD informationLength) noexcept;

    // One connection per "host:port" (direct) or "proxy|host:port".
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
