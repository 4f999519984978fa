// The HTTP client over HTTPS: WinHTTP's own certificate check and the pins.
// support/server-test makes a CA trusted in the prefix with a "localhost"
// server, and a second server whose CA nobody trusts.

#include "httpTestSupport.h"

#include "tests/support/process.h"
#include "tests/support/referenceServer.h"
#include "win32lib/http/HttpClient.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using testsupport::patternBytes;
using testsupport::ReferenceServer;
using win32lib::UniqueCertStore;
using win32lib::http::HttpClient;

namespace {

std::vector<uint8_t> tlsFileBytes(const wchar_t *name)
{
    const auto text = testsupport::readFile(ReferenceServer::tlsFile(name));
    EXPECT_TRUE(text.has_value()) << testsupport::narrow(name);
    return text ? std::vector<uint8_t>(text->begin(), text->end()) : std::vector<uint8_t>{};
}

HttpClient::CertificateDigest digestFile(const wchar_t *name)
{
    const auto bytes = tlsFileBytes(name);
    HttpClient::CertificateDigest digest{};
    EXPECT_EQ(bytes.size(), digest.size());
    std::copy_n(bytes.begin(), std::min(bytes.size(), digest.size()), digest.begin());
    return digest;
}

// A private trust store holding the given DER certificates.
UniqueCertStore storeWith(std::initializer_list<const wchar_t *> certificates)
{
    UniqueCertStore store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    EXPECT_TRUE(store.valid());
    for (const wchar_t *name : certificates) {
        const auto der = tlsFileBytes(name);
        EXPECT_TRUE(::CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr));
    }
    return store;
}

// Whether the server saw a request for `path` carrying `tag` in its query.
bool serverSaw(const std::string &path, const std::string &tag)
{
    for (const auto &line : ReferenceServer::requestsTo(path)) {
        if (line.find(tag) != std::string::npos) {
            return true;
        }
    }
    return false;
}

WINHTTP_STATUS_CALLBACK WINAPI failToSetStatusCallback(HINTERNET, WINHTTP_STATUS_CALLBACK, DWORD, DWORD_PTR)
{
    ::SetLastError(ERROR_INVALID_HANDLE);
    return WINHTTP_INVALID_STATUS_CALLBACK;
}

class Https : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(client.setTimeouts(testsupport::kShortTimeouts)); }

    // GET of a small body tagged with `tag`; true when it arrived whole.
    bool fetch(const std::wstring &url)
    {
        std::vector<uint8_t> body;
        const bool fetched = client.getToBuffer(url, body);
        if (fetched) {
            EXPECT_EQ(body, patternBytes(1000));
        }
        return fetched;
    }

    // Windows sends nothing after a rejection; Wine still sends the request
    // (closing the handle in the callback does not stop it), but its answer
    // is never read.
    void expectRejected(const char *operation)
    {
        EXPECT_EQ(client.errorCode(), 65104u);
        EXPECT_EQ(client.failedOperation(), operation);
        EXPECT_EQ(client.statusCode(), -1);
    }

    HttpClient client{testsupport::kTestUserAgent};
};

} // namespace

TEST_F(Https, TrustedServerAnswersWithoutPins)
{
    ASSERT_TRUE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=plain")));
    EXPECT_EQ(client.statusCode(), 200);
    const auto requests = ReferenceServer::requestsTo("/scenario/body");
    ASSERT_FALSE(requests.empty());
    EXPECT_NE(requests.back().find("\"tls\": true"), std::string::npos) << requests.back();
}

TEST_F(Https, UntrustedCertificateFailsTheSend)
{
    EXPECT_FALSE(fetch(ReferenceServer::httpsUntrusted(L"/scenario/body?size=1000&tag=untrusted")));
    EXPECT_EQ(client.failedOperation(), "WinHttpSendRequest");
    if (client.errorCode() == ERROR_WINHTTP_SECURE_FAILURE) {
        // Windows: the secure-failure notification names the cause.
        EXPECT_NE(client.sslErrors() & WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, 0u);
    } else {
        // Wine fails the send with 12157 and sends no notification.
        EXPECT_EQ(client.errorCode(), static_cast<uint32_t>(ERROR_WINHTTP_SECURE_CHANNEL_ERROR));
        EXPECT_EQ(client.sslErrors(), 0u);
    }
    EXPECT_FALSE(serverSaw("/scenario/body", "tag=untrusted"));
}

// WinHTTP fails the call only for a handle it does not know, which a test
// cannot hand it here: the call is replaced by one that fails like that.
TEST_F(Https, RequestWhoseStatusCallbackCannotBeInstalledIsNotSent)
{
    client.setStatusCallbackSetter(&failToSetStatusCallback);
    client.setCertificatePinning(true);
    client.addCertificatePin(digestFile(L"untrusted.sha256"), L"localhost");
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=nocallback")));
    EXPECT_EQ(client.errorCode(), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(client.failedOperation(), "WinHttpSetStatusCallback");
    EXPECT_EQ(client.statusCode(), -1);
    EXPECT_FALSE(serverSaw("/scenario/body", "tag=nocallback"));
}

TEST_F(Https, SecurityFlagsAreApplied)
{
    client.setSecurityFlags(SECURITY_FLAG_IGNORE_UNKNOWN_CA);
    EXPECT_TRUE(fetch(ReferenceServer::httpsUntrusted(L"/scenario/body?size=1000&tag=ignoreca")));
    EXPECT_TRUE(serverSaw("/scenario/body", "tag=ignoreca"));
}

TEST_F(Https, CertificateDigestPinAcceptsThePinnedServer)
{
    client.setCertificatePinning(true);
    client.addCertificatePin(digestFile(L"untrusted.sha256"), L"localhost");
    client.addCertificatePin(digestFile(L"server.sha256"), L"localhost");
    EXPECT_TRUE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=digest")));
    EXPECT_EQ(client.errorCode(), 0u);
}

TEST_F(Https, CertificateDigestPinRejectsAnotherCertificate)
{
    client.setCertificatePinning(true);
    client.addCertificatePin(digestFile(L"untrusted.sha256"), L"localhost");
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=otherdigest")));
    expectRejected("validateHttpsRequest");
}

TEST_F(Https, DigestPinnedForAnotherHostIsRejected)
{
    client.setCertificatePinning(true);
    client.addCertificatePin(digestFile(L"server.sha256"), L"127.0.0.1");
    // Host names are compared exactly.
    client.addCertificatePin(digestFile(L"server.sha256"), L"LOCALHOST");
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=otherhost")));
    expectRejected("validateHttpsRequest");
}

TEST_F(Https, PublicKeyPinAcceptsThePinnedKeyAndRejectsOthers)
{
    const auto key = tlsFileBytes(L"server.pubkey");
    ASSERT_GT(key.size(), 200u);
    {
        HttpClient pinned(testsupport::kTestUserAgent);
        pinned.setPublicKeyPinning(true);
        pinned.addPublicKeyPin(key, L"localhost");
        std::vector<uint8_t> body;
        EXPECT_TRUE(pinned.getToBuffer(ReferenceServer::https(L"/scenario/body?size=1000&tag=key"), body));
        EXPECT_EQ(body, patternBytes(1000));
    }
    auto otherKey = key;
    otherKey.back() ^= 0x01;
    client.setPublicKeyPinning(true);
    client.addPublicKeyPin(otherKey, L"localhost");
    client.addPublicKeyPin(key, L"example.com");
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=otherkey")));
    expectRejected("validateHttpsRequest");
}

TEST_F(Https, SwitchedOnPinningWithoutPinsIsAConfigurationError)
{
    client.setCertificatePinning(true);
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=nopins")));
    expectRejected("validateHttpsRequest|invalid_configuration");

    HttpClient keys(testsupport::kTestUserAgent);
    keys.setPublicKeyPinning(true);
    keys.setCertificatePinning(true);
    keys.addCertificatePin(digestFile(L"server.sha256"), L"localhost");
    std::vector<uint8_t> body;
    EXPECT_FALSE(keys.getToBuffer(ReferenceServer::https(L"/scenario/body?size=1000&tag=nokeys"), body));
    EXPECT_EQ(keys.errorCode(), 65104u);
    EXPECT_EQ(keys.failedOperation(), "validateHttpsRequest|invalid_configuration");
}

TEST_F(Https, WithPinningOffNothingIsQueried)
{
    // Any query on a null handle would fail and be recorded.
    EXPECT_TRUE(client.validateHttpsRequest(nullptr));
    EXPECT_EQ(client.errorCode(), 0u);
    EXPECT_EQ(client.failedOperation(), "");
}

TEST_F(Https, PinsPlayNoPartInPlainHttp)
{
    client.setCertificatePinning(true);
    EXPECT_TRUE(fetch(ReferenceServer::http(L"/scenario/body?size=1000&tag=plainhttp")));
}

TEST_F(Https, PrivateTrustStoreAcceptsAChainToItsCertificates)
{
    // WinHTTP itself must let the unknown CA through; the store decides.
    client.setSecurityFlags(SECURITY_FLAG_IGNORE_UNKNOWN_CA);
    client.setCertificatePinning(true);
    client.setPrivateTrustStore(storeWith({L"untrusted-ca.der"}));
    EXPECT_TRUE(fetch(ReferenceServer::httpsUntrusted(L"/scenario/body?size=1000&tag=store")));
    EXPECT_EQ(client.errorCode(), 0u);
}

TEST_F(Https, PrivateTrustStoreWithoutTheIssuerRejects)
{
    client.setSecurityFlags(SECURITY_FLAG_IGNORE_UNKNOWN_CA);
    client.setCertificatePinning(true);
    client.setPrivateTrustStore(storeWith({L"ca.der"}));
    EXPECT_FALSE(fetch(ReferenceServer::httpsUntrusted(L"/scenario/body?size=1000&tag=wrongstore")));
    EXPECT_EQ(client.errorCode(), 65104u);
    // Without pins the chain check's verdict stands; the pin step found no
    // pins and the request is refused by the final rejection.
    EXPECT_EQ(client.failedOperation(), "validateHttpsRequest");
}

TEST_F(Https, DigestPinMatchAfterAFailedChainCheckAcceptsTheServer)
{
    client.setSecurityFlags(SECURITY_FLAG_IGNORE_UNKNOWN_CA);
    client.setCertificatePinning(true);
    client.setPrivateTrustStore(storeWith({L"ca.der"}));
    client.addCertificatePin(digestFile(L"untrusted.sha256"), L"localhost");
    EXPECT_TRUE(fetch(ReferenceServer::httpsUntrusted(L"/scenario/body?size=1000&tag=chainthenpin")));
    EXPECT_EQ(client.errorCode(), 0u);
    EXPECT_EQ(client.failedOperation(), "");
    EXPECT_TRUE(serverSaw("/scenario/body", "tag=chainthenpin"));
}

TEST_F(Https, ChainCheckNamesItsOwnFailure)
{
    const auto der = tlsFileBytes(L"untrusted.der");
    const win32lib::UniqueCertContext certificate(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    ASSERT_TRUE(certificate.valid());

    client.setPrivateTrustStore(storeWith({L"untrusted-ca.der"}));
    EXPECT_TRUE(client.isSslCertificateValid(certificate.get(), L"localhost"));
    EXPECT_FALSE(client.isSslCertificateValid(certificate.get(), L"example.com"));
    EXPECT_EQ(client.errorCode(), 65104u);
    EXPECT_EQ(client.failedOperation(), "isSslCertificateValid|policyStatus");

    client.setPrivateTrustStore(storeWith({L"ca.der"}));
    EXPECT_FALSE(client.isSslCertificateValid(certificate.get(), L"localhost"));
    EXPECT_EQ(client.failedOperation(), "isSslCertificateValid|policyStatus");
}

TEST_F(Https, RevocationCheckIsAskedFor)
{
    // The test certificates name no revocation source, so a check that is
    // really made cannot succeed (Wine: 12157; Windows: 12175 or 12057).
    client.setOptionFlags(HttpClient::kOptionCheckRevocation);
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=revocation")));
    EXPECT_EQ(client.failedOperation(), "WinHttpSendRequest");
    EXPECT_TRUE(client.errorCode() == ERROR_WINHTTP_SECURE_CHANNEL_ERROR ||
                client.errorCode() == ERROR_WINHTTP_SECURE_FAILURE ||
                client.errorCode() == ERROR_WINHTTP_SECURE_CERT_REV_FAILED)
        << client.errorCode();
}

TEST_F(Https, ClientCertificateIsOffered)
{
    // A certificate without its private key: WinHTTP takes it, and the
    // handshake then cannot use it.
    const auto der = tlsFileBytes(L"server.der");
    const win32lib::UniqueCertContext certificate(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
    ASSERT_TRUE(certificate.valid());
    ASSERT_TRUE(client.setClientCertificate(certificate.get()));
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=clientcert")));
    EXPECT_EQ(client.failedOperation(), "WinHttpSendRequest");
    EXPECT_NE(client.errorCode(), 0u);

    ASSERT_TRUE(client.setClientCertificate(nullptr));
    EXPECT_TRUE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=noclientcert")));
}

TEST_F(Https, SecurityFlagsWinHttpRefusesFailTheirStep)
{
    client.setSecurityFlags(0x80000000u);
    EXPECT_FALSE(fetch(ReferenceServer::https(L"/scenario/body?size=1000&tag=badflags")));
    EXPECT_EQ(client.failedOperation(), "WinHttpSetOption|WINHTTP_OPTION_SECURITY_FLAGS");
    EXPECT_EQ(client.errorCode(), static_cast<uint32_t>(ERROR_INVALID_PARAMETER));
}
