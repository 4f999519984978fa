#include "win32lib/http/HttpClient.h"

#include "win32lib/fileWrite.h"
#include "win32lib/http/GzipDecoder.h"
#include "win32lib/http/ProxyRouter.h"
#include "win32lib/http/requestLogic.h"

#include <algorithm>
#include <memory>

namespace win32lib::http {

namespace {

#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000
#endif

// TLS 1.2 and 1.3 only; systems without 1.3 reject its bit and get 1.2 alone.
constexpr DWORD kSecureProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
constexpr DWORD kSecureProtocolsWithoutTls13 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
constexpr DWORD kCallbackMask = WINHTTP_CALLBACK_FLAG_SECURE_FAILURE | WINHTTP_CALLBACK_FLAG_SEND_REQUEST;
constexpr DWORD kReadBufferSize = 32768;

constexpr DWORD kSchemeChars = 10;
constexpr DWORD kHostChars = 256;
constexpr DWORD kPathChars = 2084;
constexpr DWORD kStatusCodeBytes = 16;
constexpr DWORD kContentLengthBytes = 512;
constexpr DWORD kContentEncodingBytes = 128;
constexpr DWORD kUrlOptionBytes = 2084;
// A validator longer than the resume rule accepts is read as not there.
constexpr DWORD kValidatorBytes = static_cast<DWORD>((kMaxValidatorChars + 1) * sizeof(wchar_t));
constexpr DWORD kContentRangeBytes = 128;

constexpr char kServerAuthenticationUsage[] = "1.3.6.1.5.5.7.3.1";

struct CrackedUrl {
    wchar_t scheme[kSchemeChars + 1] = {};
    wchar_t host[kHostChars + 1] = {};
    wchar_t path[kPathChars + 1] = {};
    INTERNET_PORT port = 0;
};

// The extra-info part is not asked for separately, so the query string stays
// on the path.
bool crackUrl(const wchar_t *url, CrackedUrl &parts) noexcept
{
    URL_COMPONENTS components{};
    components.dwStructSize = sizeof(components);
    components.lpszScheme = parts.scheme;
    components.dwSchemeLength = kSchemeChars;
    components.lpszHostName = parts.host;
    components.dwHostNameLength = kHostChars;
    components.lpszUrlPath = parts.path;
    components.dwUrlPathLength = kPathChars;
    if (!::WinHttpCrackUrl(url, 0, 0, &components)) {
        return false;
    }
    parts.port = components.nPort;
    return true;
}

// Queries a header as text into a buffer of `bufferBytes` bytes.
bool queryHeaderText(HINTERNET request, DWORD query, DWORD bufferBytes, std::wstring &text)
{
    std::wstring buffer(bufferBytes / sizeof(wchar_t), L'\0');
    DWORD length = bufferBytes;
    if (!::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &length,
                               WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    buffer.resize(length / sizeof(wchar_t));
    text = std::move(buffer);
    return true;
}

} // namespace

HttpClient::HttpClient(const std::wstring &userAgent) : userAgent_(userAgent)
{
    // No proxy: requests go straight to the server.
    session_.reset(::WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (session_) {
        DWORD protocols = kSecureProtocols;
        DWORD withoutTls13 = kSecureProtocolsWithoutTls13;
        // A session whose protocols cannot be limited would offer TLS 1.0
        // and 1.1 as the system's default: it is not used at all.
        if (!::WinHttpSetOption(session_.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols)) &&
            !::WinHttpSetOption(session_.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &withoutTls13, sizeof(withoutTls13))) {
            session_.reset();
        }
    }
}

HttpClient::~HttpClient()
{
    request_.reset();
    connections_.clear();
    proxySessions_.clear();
    session_.reset();
    privateTrustStore_.reset();
    clientCertificate_.reset();
}

bool HttpClient::setTimeouts(const HttpTimeouts &timeouts)
{
    if (!session_) {
        return false;
    }
    timeouts_ = timeouts;
    timeoutsSet_ = true;
    bool applied = applyTimeouts(session_.get());
    for (const auto &[proxy, session] : proxySessions_) {
        applied = applyTimeouts(session.get()) && applied;
    }
    return applied;
}

bool HttpClient::applyTimeouts(HINTERNET session)
{
    if (!::WinHttpSetTimeouts(session, static_cast<int>(timeouts_.resolve), static_cast<int>(timeouts_.connect),
                              static_cast<int>(timeouts_.send), static_cast<int>(timeouts_.receive))) {
        const DWORD error = ::GetLastError();
        recordError(error, "WinHttpSetTimeouts");
        return false;
    }
    // The wait for the answer's headers must end with the receive time-out
    // too: Wine waits for them without limit, so a server that accepts and
    // never answers held the installation (or one telemetry report) for as
    // long as it kept the connection open. Windows applies the receive
    // time-out there already.
    DWORD responseTimeout = timeouts_.receive;
    (void)::WinHttpSetOption(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                             sizeof(responseTimeout));
    return true;
}

HINTERNET HttpClient::sessionFor(const std::wstring &proxy)
{
    if (proxy.empty()) {
        return session_.get();
    }
    const auto known = proxySessions_.find(proxy);
    if (known != proxySessions_.end()) {
        return known->second.get();
    }
    // The router has decided already: the session bypasses nothing.
    UniqueHInternet session(
        ::WinHttpOpen(userAgent_.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        failWithLastError("WinHttpOpen");
        return nullptr;
    }
    DWORD protocols = kSecureProtocols;
    static_cast<void>(
        ::WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols)));
    if (timeoutsSet_ && !applyTimeouts(session.get())) {
        return nullptr;
    }
    HINTERNET opened = session.get();
    proxySessions_.emplace(proxy, std::move(session));
    return opened;
}

void HttpClient::addCertificatePin(const CertificateDigest &digest, const std::wstring &host)
{
    certificatePins_[digest].insert(host);
}

void HttpClient::addPublicKeyPin(const std::vector<uint8_t> &publicKey, const std::wstring &host)
{
    publicKeyPins_[publicKey].insert(host);
}

void HttpClient::setPrivateTrustStore(UniqueCertStore store) noexcept
{
    privateTrustStore_ = std::move(store);
}

bool HttpClient::setClientCertificate(PCCERT_CONTEXT certificate) noexcept
{
    if (certificate == nullptr) {
        clientCertificate_.reset();
        return true;
    }
    UniqueCertContext copy(::CertDuplicateCertificateContext(certificate));
    if (!copy) {
        return false;
    }
    clientCertificate_ = std::move(copy);
    return true;
}

bool HttpClient::openConnection(const std::wstring &proxy, const std::wstring &host, INTERNET_PORT port,
                                HINTERNET &connection)
{
    // A WinHTTP connection is bound to its port as well: keyed by host name
    // alone, a request to another port of the same host would reach the
    // first port's server.
    const std::wstring key = (proxy.empty() ? L"" : proxy + L"|") + host + L":" + std::to_wstring(port);
    const auto cached = connections_.find(key);
    if (cached != connections_.end()) {
        connection = cached->second.get();
        return true;
    }
    const HINTERNET session = sessionFor(proxy);
    if (session == nullptr) {
        return false;
    }
    UniqueHInternet opened(::WinHttpConnect(session, host.c_str(), port, 0));
    if (!opened) {
        return failWithLastError("WinHttpConnect");
    }
    connection = opened.get();
    connections_.emplace(key, std::move(opened));
    return true;
}

bool HttpClient::failWithLastError(const char *operation)
{
    const DWORD error = ::GetLastError();
    recordError(error, operation);
    return false;
}

bool HttpClient::openRequest(const wchar_t *verb, const std::wstring &url, bool &secure, bool direct)
{
    CrackedUrl parts;
    if (!crackUrl(url.c_str(), parts)) {
        return failWithLastError("WinHttpCrackUrl");
    }

    requestHost_ = parts.host;
    const std::wstring proxy =
        direct ? std::wstring() : ProxyRouter::instance().proxyFor(url, parts.scheme, parts.host);
    viaProxy_ = !proxy.empty();
    proxy_ = proxy;
    HINTERNET connection = nullptr;
    if (!openConnection(proxy, parts.host, parts.port, connection)) {
        return false;
    }

    secure = isSecureScheme(parts.scheme);
    const wchar_t *acceptTypes[] = {L"*/*", nullptr};
    request_.reset(::WinHttpOpenRequest(connection, verb, parts.path, L"HTTP/1.1", WINHTTP_NO_REFERER, acceptTypes,
                                        WINHTTP_FLAG_REFRESH | (secure ? WINHTTP_FLAG_SECURE : 0)));
    if (!request_) {
        return failWithLastError("WinHttpOpenRequest");
    }
    return true;
}

bool HttpClient::addRequestHeaders()
{
    if (!::WinHttpAddRequestHeaders(request_.get(), L"Accept-Encoding: gzip, deflate", static_cast<DWORD>(-1),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
        return failWithLastError("WinHttpAddRequestHeaders");
    }
    if (!oneRequestHeaders_.empty() &&
        !::WinHttpAddRequestHeaders(request_.get(), oneRequestHeaders_.c_str(),
                                    static_cast<DWORD>(oneRequestHeaders_.size()),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
        return failWithLastError("WinHttpAddRequestHeaders");
    }
    for (const auto &[headerLine, modifiers] : extraHeaders_) {
        if (!::WinHttpAddRequestHeaders(request_.get(), headerLine.c_str(), static_cast<DWORD>(headerLine.size()),
                                        modifiers)) {
            return failWithLastError("WinHttpAddRequestHeaders");
        }
    }
    return true;
}

bool HttpClient::setRequestOptions(bool secure)
{
    if (securityFlags_ != 0) {
        DWORD flags = securityFlags_;
        if (!::WinHttpSetOption(request_.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags))) {
            return failWithLastError("WinHttpSetOption|WINHTTP_OPTION_SECURITY_FLAGS");
        }
    }
    if ((optionFlags_ & kOptionCheckRevocation) != 0) {
        DWORD feature = WINHTTP_ENABLE_SSL_REVOCATION;
        if (!::WinHttpSetOption(request_.get(), WINHTTP_OPTION_ENABLE_FEATURE, &feature, sizeof(feature))) {
            return failWithLastError("WinHttpSetOption|WINHTTP_OPTION_ENABLE_FEATURE");
        }
    }
    if (clientCertificate_) {
        if (!::WinHttpSetOption(request_.get(), WINHTTP_OPTION_CLIENT_CERT_CONTEXT,
                                const_cast<CERT_CONTEXT *>(clientCertificate_.get()), sizeof(CERT_CONTEXT))) {
            return failWithLastError("WinHttpSetOption|WINHTTP_OPTION_CLIENT_CERT_CONTEXT");
        }
    }

    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(self_);
    if (!::WinHttpSetOption(request_.get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
        return failWithLastError("WinHttpSetOption|WINHTTP_OPTION_CONTEXT_VALUE");
    }
    // Without the callback neither the pins nor a secure failure's flags are
    // seen: a request that cannot have it is not sent.
    if (secure && setStatusCallback_(request_.get(), &HttpClient::statusCallback, kCallbackMask, 0) ==
                      WINHTTP_INVALID_STATUS_CALLBACK) {
        const DWORD error = ::GetLastError();
        recordError(error != ERROR_SUCCESS ? error : ERROR_WINHTTP_INTERNAL_ERROR, "WinHttpSetStatusCallback");
        return false;
    }
    return true;
}

bool HttpClient::receiveResponse()
{
    if (!::WinHttpReceiveResponse(request_.get(), nullptr)) {
        return failWithLastError("WinHttpReceiveResponse");
    }
    return true;
}

bool HttpClient::readResponseHeaders()
{
    std::wstring text;
    if (!queryHeaderText(request_.get(), WINHTTP_QUERY_STATUS_CODE, kStatusCodeBytes, text)) {
        return failWithLastError("WinHttpQueryHeaders|WINHTTP_QUERY_STATUS_CODE");
    }
    statusCode_ = parseStatusCode(text.c_str());

    if (queryHeaderText(request_.get(), WINHTTP_QUERY_CONTENT_LENGTH, kContentLengthBytes, text)) {
        contentLength_ = parseContentLength(text.c_str());
    } else {
        const DWORD error = ::GetLastError();
        if (error != ERROR_WINHTTP_HEADER_NOT_FOUND) {
            recordError(error, "WinHttpQueryHeaders|WINHTTP_QUERY_CONTENT_LENGTH");
            return false;
        }
        contentLength_ = -1;
        ::SetLastError(ERROR_SUCCESS);
    }

    if (queryHeaderText(request_.get(), WINHTTP_QUERY_CONTENT_ENCODING, kContentEncodingBytes, text)) {
        contentEncoding_ = std::move(text);
    } else {
        const DWORD error = ::GetLastError();
        if (error != ERROR_WINHTTP_HEADER_NOT_FOUND) {
            recordError(error, "WinHttpQueryHeaders|WINHTTP_QUERY_CONTENT_ENCODING");
            return false;
        }
        contentEncoding_.clear();
        ::SetLastError(ERROR_SUCCESS);
    }
    return true;
}

bool HttpClient::prepareRequest(const wchar_t *verb, const std::wstring &url, bool direct)
{
    bool secure = false;
    if (!openRequest(verb, url, secure, direct) || !addRequestHeaders() || !setRequestOptions(secure)) {
        return false;
    }
    if (viaProxy_) {
        // A proxy of the intranet may take the logged-on user's credentials.
        DWORD policy = WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW;
        static_cast<void>(::WinHttpSetOption(request_.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof(policy)));
    }
    return true;
}

bool HttpClient::answerProxyChallenge()
{
    bool integratedTried = false;
    bool basicTried = false;
    while (statusCode_ == 407) {
        DWORD supported = 0;
        DWORD first = 0;
        DWORD target = 0;
        if (!::WinHttpQueryAuthSchemes(request_.get(), &supported, &first, &target)) {
            return true;
        }
        const ProxyAnswer answer = chooseProxyAnswer(supported, integratedTried, basicTried);
        BOOL set = FALSE;
        if (answer == ProxyAnswer::Integrated) {
            integratedTried = true;
            const DWORD scheme = (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) != 0 ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                                                                                  : WINHTTP_AUTH_SCHEME_NTLM;
            set = ::WinHttpSetCredentials(request_.get(), WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr, nullptr);
        } else if (answer == ProxyAnswer::Basic) {
            basicTried = true;
            std::wstring user;
            std::wstring password;
            if (!ProxyRouter::instance().basicCredentials(proxy_, user, password)) {
                return true;
            }
            set = ::WinHttpSetCredentials(request_.get(), WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                                          user.c_str(), password.c_str(), nullptr);
            ::SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
        } else {
            return true;
        }
        if (!set) {
            return true;
        }
        resetResult();
        if (!sendWithRetry() || !receiveResponse() || !readResponseHeaders()) {
            return false;
        }
    }
    return true;
}

bool HttpClient::runRequestSequence(const wchar_t *verb, const std::wstring &url)
{
    resetResult();
    request_.reset();

    if (!prepareRequest(verb, url, false)) {
        return false;
    }
    if (!sendWithRetry()) {
        // A proxy that refuses the connection gets one direct attempt after
        // it; whatever that attempt ends with is the request's outcome.
        if (!viaProxy_ || errorCode_ != ERROR_WINHTTP_CANNOT_CONNECT) {
            return false;
        }
        resetResult();
        request_.reset();
        if (!prepareRequest(verb, url, true) || !sendWithRetry()) {
            return false;
        }
    }
    if (!receiveResponse() || !readResponseHeaders()) {
        return false;
    }
    return !viaProxy_ || answerProxyChallenge();
}

bool HttpClient::sendWithRetry()
{
    for (int attempt = 1;; ++attempt) {
        errorCode_ = 0;
        failedOperation_.clear();
        const BOOL sent =
            ::WinHttpSendRequest(request_.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
        const DWORD error = ::GetLastError();
        // A rejection by the certificate check counts even when the send
        // reports success: Wine sends the request although the callback
        // closed its handle.
        if (sent && errorCode_ == 0) {
            return true;
        }
        if (errorCode_ == 0) {
            recordError(error, "WinHttpSendRequest");
        }
        switch (classifySendFailure(errorCode_, attempt)) {
        case SendFailureAction::Retry:
            continue;
        case SendFailureAction::FailRequestHandleGone:
            // The status callback has closed it already.
            static_cast<void>(request_.release());
            return false;
        case SendFailureAction::Fail:
            return false;
        }
    }
}

void CALLBACK HttpClient::statusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                         DWORD informationLength) noexcept
{
    auto *client = reinterpret_cast<HttpClient *>(context);
    if (client == nullptr) {
        return;
    }
    try {
        if (status == WINHTTP_CALLBACK_STATUS_SENDING_REQUEST) {
            if (!client->validateHttpsRequest(handle) && client->request_.get() == handle) {
                // Windows then fails the pending send and sends nothing; Wine
                // sends anyway, and the send loop finds the rejection recorded.
                client->request_.reset();
            }
        } else if (status == WINHTTP_CALLBACK_STATUS_SECURE_FAILURE) {
            if (information != nullptr && informationLength >= sizeof(DWORD)) {
                client->sslErrors_ = *static_cast<const DWORD *>(information);
            }
        }
    } catch (...) {
        // Only an allocation failure can get here; the send then goes on
        // without the check's verdict, so refuse the request instead.
        if (client->request_.get() == handle) {
            client->errorCode_ = kErrorCertificateRejected;
            client->request_.reset();
        }
    }
}

bool HttpClient::readBody(const ProgressCallback &progress, std::vector<uint8_t> *buffer, HANDLE file,
                          const BodyObserver &written, uint64_t alreadyStored)
{
    const int64_t progressTotal = alreadyStored == 0 || contentLength_ == -1
                                      ? contentLength_
                                      : contentLength_ + static_cast<int64_t>(alreadyStored);
    const bool gzip = buffer != nullptr && isGzipEncoding(contentEncoding_);
    std::vector<uint8_t> compressed;
    std::vector<uint8_t> *const collected = gzip ? &compressed : buffer;
    const size_t collectedBefore = collected != nullptr ? collected->size() : 0;
    const auto chunk = std::make_unique<uint8_t[]>(kReadBufferSize);
    uint64_t received = 0;

    for (;;) {
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request_.get(), &available)) {
            const DWORD error = ::GetLastError();
            recordError(error, "WinHttpQueryDataAvailable");
            break;
        }
        if (available == 0) {
            break;
        }
        DWORD read = 0;
        if (!::WinHttpReadData(request_.get(), chunk.get(), std::min(available, kReadBufferSize), &read)) {
            const DWORD error = ::GetLastError();
            recordError(error, "WinHttpReadData");
            break;
        }
        if (read == 0) {
            break;
        }
        if (file != nullptr) {
            // A write that makes no progress at all counts as a full disk.
            if (!win32lib::writeAll(file, chunk.get(), read, ERROR_DISK_FULL)) {
                const DWORD error = ::GetLastError();
                recordError(error, "WriteFile");
                break;
            }
            if (written) {
                written(chunk.get(), read);
            }
        } else if (read > kMaxBodyInMemory - (collected->size() - collectedBefore)) {
            recordError(kErrorBodyTooLarge, "WinHttpReadData");
            break;
        } else {
            collected->insert(collected->end(), chunk.get(), chunk.get() + read);
        }
        received += read;
        if (progress && progress(progressTotal, alreadyStored + received)) {
            recordError(kErrorCancelled, "callback");
            break;
        }
    }

    if (gzip && errorCode_ == 0 && !GzipDecoder::decode(compressed.data(), compressed.size(), *buffer)) {
        recordError(kErrorGzipDecode, "MyZlib::gzipDecompress");
    }
    request_.reset();
    if (errorCode_ == 0 && contentLength_ != -1 && received != static_cast<uint64_t>(contentLength_)) {
        errorCode_ = kErrorLengthMismatch;
    }
    return errorCode_ == 0;
}

bool HttpClient::sendHead(const std::wstring &url)
{
    const bool sent = runRequestSequence(L"HEAD", url);
    request_.reset();
    return sent && errorCode_ == 0;
}

bool HttpClient::getToBuffer(const std::wstring &url, std::vector<uint8_t> &body, const ProgressCallback &progress)
{
    if (!runRequestSequence(L"GET", url)) {
        request_.reset();
        return false;
    }
    return readBody(progress, &body, nullptr);
}

bool HttpClient::getToFile(const std::wstring &url, const std::wstring &path, const ProgressCallback &progress,
                           const BodyObserver &written)
{
    resetResult();
    // Never an existing file: one planted at the path (or a link there) is
    // neither overwritten nor followed, and not deleted on failure either.
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        recordError(error, "CreateFile");
        return false;
    }
    bool succeeded = runRequestSequence(L"GET", url);
    if (succeeded) {
        succeeded = readBody(progress, nullptr, file.get(), written);
    }
    request_.reset();
    file.reset();
    if (errorCode_ != 0) {
        ::DeleteFileW(path.c_str());
        return false;
    }
    return succeeded;
}

void ResumableTransfer::discard() noexcept
{
    if (file) {
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        static_cast<void>(
            ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof(disposition)));
        file.reset();
    }
    stored = 0;
    total = -1;
    validator.clear();
}

bool HttpClient::restartTransfer(ResumableTransfer &transfer)
{
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(transfer.file.get(), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(transfer.file.get())) {
        return failWithLastError("WriteFile");
    }
    transfer.stored = 0;
    transfer.total = -1;
    transfer.validator.clear();
    if (transfer.restarted) {
        transfer.restarted();
    }
    return true;
}

// Only a complete, unencoded 200 answer can be continued later.
void HttpClient::rememberValidator(ResumableTransfer &transfer)
{
    transfer.total = -1;
    transfer.validator.clear();
    if (statusCode_ != 200 || contentLength_ <= 0 || !contentEncoding_.empty()) {
        return;
    }
    std::wstring etag;
    std::wstring lastModified;
    if (!queryHeaderText(request_.get(), WINHTTP_QUERY_ETAG, kValidatorBytes, etag)) {
        etag.clear();
    }
    if (!queryHeaderText(request_.get(), WINHTTP_QUERY_LAST_MODIFIED, kValidatorBytes, lastModified)) {
        lastModified.clear();
    }
    ::SetLastError(ERROR_SUCCESS);
    transfer.validator = resumeValidator(etag, lastModified);
    if (!transfer.validator.empty()) {
        transfer.total = contentLength_;
    }
}

bool HttpClient::getToFileResuming(const std::wstring &url, const std::wstring &path, ResumableTransfer &transfer,
                                   const ProgressCallback &progress, const BodyObserver &written)
{
    resetResult();
    if (!transfer.file) {
        // As in getToFile: never an existing file. DELETE lets the transfer
        // remove it through this handle.
        transfer.file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, 0, nullptr));
        if (!transfer.file) {
            const DWORD error = ::GetLastError();
            recordError(error, "CreateFile");
            return false;
        }
        transfer.stored = 0;
    }
    const auto storing = [&transfer, &written](const uint8_t *bytes, std::size_t length) {
        transfer.stored += length;
        if (written) {
            written(bytes, length);
        }
    };

    uint64_t alreadyStored = 0;
    transfer.resumed = false;
    bool ranged = transfer.canResume();
    if (!ranged && transfer.stored > 0 && !restartTransfer(transfer)) {
        return false;
    }
    if (ranged) {
        oneRequestHeaders_ = resumeHeaders(transfer.stored, transfer.validator);
    }
    bool succeeded = runRequestSequence(L"GET", url);
    oneRequestHeaders_.clear();
    if (succeeded && ranged) {
        std::wstring contentRange;
        const bool continues =
            statusCode_ == 206 &&
            queryHeaderText(request_.get(), WINHTTP_QUERY_CONTENT_RANGE, kContentRangeBytes, contentRange) &&
            contentRange == expectedContentRange(transfer.stored, static_cast<uint64_t>(transfer.total)) &&
            contentLength_ == transfer.total - static_cast<int64_t>(transfer.stored) && contentEncoding_.empty();
        ::SetLastError(ERROR_SUCCESS);
        if (continues) {
            alreadyStored = transfer.stored;
            transfer.resumed = true;
        } else {
            if (!restartTransfer(transfer)) {
                request_.reset();
                return false;
            }
            ranged = false;
            // A 200 is the whole body anew; anything else answered the range,
            // not the address, so the address is asked for once more.
            if (statusCode_ != 200) {
                succeeded = runRequestSequence(L"GET", url);
            }
        }
    }
    if (succeeded && alreadyStored == 0) {
        rememberValidator(transfer);
    }
    if (succeeded) {
        succeeded = readBody(progress, nullptr, transfer.file.get(), storing, alreadyStored);
    }
    request_.reset();
    if (errorCode_ != 0 || !succeeded) {
        return false;
    }
    transfer.file.reset();
    return true;
}

bool HttpClient::queryRequestHost(HINTERNET request, std::wstring &host)
{
    std::wstring url(kUrlOptionBytes / sizeof(wchar_t), L'\0');
    DWORD urlBytes = kUrlOptionBytes;
    if (!::WinHttpQueryOption(request, WINHTTP_OPTION_URL, url.data(), &urlBytes)) {
        const DWORD error = ::GetLastError();
        // Wine 8 does not know the option. For the request in flight the
        // host is the one this client asked for.
        const bool optionUnknown = error == ERROR_INVALID_PARAMETER || error == ERROR_WINHTTP_INVALID_OPTION;
        if (optionUnknown && request == request_.get()) {
            host = requestHost_;
            return true;
        }
        recordError(error, "validateHttpsRequest|WinHttpQueryOption");
        return false;
    }
    CrackedUrl parts;
    if (!crackUrl(url.c_str(), parts)) {
        const DWORD error = ::GetLastError();
        recordError(error, "validateHttpsRequest|WinHttpCrackUrl");
        return false;
    }
    host = parts.host;
    return true;
}

bool HttpClient::validateHttpsRequest(HINTERNET request)
{
    if (!certificatePinning_ && !publicKeyPinning_) {
        return true;
    }
    if ((publicKeyPinning_ && publicKeyPins_.empty()) ||
        (certificatePinning_ && certificatePins_.empty() && !privateTrustStore_)) {
        recordError(kErrorCertificateRejected, "validateHttpsRequest|invalid_configuration");
        return false;
    }

    std::wstring host;
    if (!queryRequestHost(request, host)) {
        return false;
    }

    PCCERT_CONTEXT serverCertificate = nullptr;
    DWORD certificateBytes = sizeof(serverCertificate);
    if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &serverCertificate, &certificateBytes)) {
        const DWORD error = ::GetLastError();
        recordError(error, "validateHttpsRequest|WinHttpQueryOption");
        return false;
    }
    const UniqueCertContext certificate(serverCertificate);

    if (certificatePinning_ && privateTrustStore_ && isSslCertificateValid(certificate.get(), host)) {
        return true;
    }

    // A pin that matches accepts the server even when the chain check above
    // failed; its error must then not fail the request afterwards.
    const auto accept = [this] {
        errorCode_ = 0;
        failedOperation_.clear();
        return true;
    };

    if (certificatePinning_ && !certificatePins_.empty()) {
        CertificateDigest digest{};
        DWORD digestBytes = static_cast<DWORD>(digest.size());
        if (!::CryptHashCertificate(0, CALG_SHA_256, 0, certificate.get()->pbCertEncoded,
                                    certificate.get()->cbCertEncoded, digest.data(), &digestBytes)) {
            const DWORD error = ::GetLastError();
            recordError(error, "validateHttpsRequest|CryptHashCertificate");
            return false;
        }
        const auto pin = certificatePins_.find(digest);
        if (pin != certificatePins_.end() && pin->second.contains(host)) {
            return accept();
        }
    }

    if (publicKeyPinning_ && !publicKeyPins_.empty()) {
        const CRYPT_BIT_BLOB &key = certificate.get()->pCertInfo->SubjectPublicKeyInfo.PublicKey;
        const std::vector<uint8_t> publicKey(key.pbData, key.pbData + key.cbData);
        const auto pin = publicKeyPins_.find(publicKey);
        if (pin != publicKeyPins_.end() && pin->second.contains(host)) {
            return accept();
        }
    }

    recordError(kErrorCertificateRejected, "validateHttpsRequest");
    return false;
}

// The policy above lets an unknown root pass, so that a root kept only in the
// private trust store is accepted. By itself that would accept any chain at
// all (even one whose issuer is nowhere to be found): a chain that does not
// end in a root the system trusts must end in one of the private store.
bool HttpClient::chainEndsInTrustedRoot(PCCERT_CHAIN_CONTEXT chain) const
{
    constexpr DWORD kUntrusted = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN;
    if ((chain->TrustStatus.dwErrorStatus & kUntrusted) == 0) {
        return true;
    }
    if (!privateTrustStore_ || chain->cChain == 0) {
        return false;
    }
    const CERT_SIMPLE_CHAIN *simpleChain = chain->rgpChain[0];
    if (simpleChain->cElement == 0) {
        return false;
    }
    const PCCERT_CONTEXT root = simpleChain->rgpElement[simpleChain->cElement - 1]->pCertContext;
    // The search matches issuer and serial number only; the bytes must match too.
    PCCERT_CONTEXT candidate = nullptr;
    while ((candidate = ::CertFindCertificateInStore(privateTrustStore_.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                     root, candidate)) != nullptr) {
        // Each search frees the candidate it continues from; the one kept is ours.
        if (candidate->cbCertEncoded == root->cbCertEncoded &&
            std::equal(root->pbCertEncoded, root->pbCertEncoded + root->cbCertEncoded, candidate->pbCertEncoded)) {
            const UniqueCertContext match(candidate);
            return true;
        }
    }
    return false;
}

bool HttpClient::isSslCertificateValid(PCCERT_CONTEXT certificate, const std::wstring &host)
{
    LPSTR usages[] = {const_cast<LPSTR>(kServerAuthenticationUsage)};
    CERT_CHAIN_PARA chainParameters{};
    chainParameters.cbSize = sizeof(chainParameters);
    chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;

    UniqueCertChain chain;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, privateTrustStore_.get(), &chainParameters,
                                   CERT_CHAIN_DISABLE_AUTH_ROOT_AUTO_UPDATE, nullptr, chain.put())) {
        const DWORD error = ::GetLastError();
        recordError(error, "isSslCertificateValid|CertGetCertificateChain");
        return false;
    }

    std::wstring serverName = host;
    HTTPSPolicyCallbackData sslParameters{};
    sslParameters.cbStruct = sizeof(sslParameters);
    sslParameters.dwAuthType = AUTHTYPE_SERVER;
    sslParameters.fdwChecks = 0;
    sslParameters.pwszServerName = serverName.data();

    CERT_CHAIN_POLICY_PARA policyParameters{};
    policyParameters.cbSize = sizeof(policyParameters);
    policyParameters.dwFlags = CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG;
    policyParameters.pvExtraPolicyPara = &sslParameters;

    CERT_CHAIN_POLICY_STATUS policyStatus{};
    policyStatus.cbSize = sizeof(policyStatus);
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyParameters, &policyStatus)) {
        const DWORD error = ::GetLastError();
        recordError(error, "isSslCertificateValid|CertVerifyCertificateChainPolicy");
        return false;
    }
    if (policyStatus.dwError != 0 || !chainEndsInTrustedRoot(chain.get())) {
        recordError(kErrorCertificateRejected, "isSslCertificateValid|policyStatus");
        return false;
    }
    return true;
}

void HttpClient::resetResult() noexcept
{
    contentEncoding_.clear();
    statusCode_ = -1;
    contentLength_ = -1;
    errorCode_ = 0;
    sslErrors_ = 0;
}

void HttpClient::recordError(uint32_t code, const char *operation)
{
    errorCode_ = code;
    failedOperation_ = operation;
}

} // namespace win32lib::http
