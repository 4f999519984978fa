// The real installer against the deployment of deploy/nginx: nginx serves the
// compiled-in address (127.0.0.1:18080) and the site's HTTPS port, from a
// folder each scenario fills as a vendor would. The HTTPS port's certificate
// is the one the pinned build of the installer pins; a second HTTPS port
// serves another certificate the prefix trusts. What nginx logged is the
// record: the telemetry log line by line, and the access log for how each
// answer was framed.
#include "tests/e2e/harness.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "tests/support/referenceServer.h"
#include "win32lib/http/HttpClient.h"

#include <zlib.h>

#include <regex>
#include <string>
#include <vector>

namespace {

using namespace e2e;
using testsupport::ReferenceServer;

constexpr wchar_t kHttpsBase[] = L"https://localhost:18443";

#ifdef _WIN64
constexpr char kAgent[] = "KestruneInstaller/1.0.5 (x64)";
#else
constexpr char kAgent[] = "KestruneInstaller/1.0.5 (x86)";
#endif

// Access-log fields (deploy/nginx/nginx.conf.in, format kestrune_requests).
enum AccessField {
    kMethod = 1,
    kUri,
    kStatus,
    kBodyBytes,
    kContentLength,
    kContentEncoding,
    kTransferEncoding,
    kConnection,
    kConnectionRequests,
    kScheme,
    kUserAgent,
    kAccessFields
};

std::wstring windowsPath(std::wstring linuxPath)
{
    for (wchar_t &c : linuxPath) {
        c = c == L'/' ? L'\\' : c;
    }
    return L"Z:" + linuxPath;
}

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

std::string gzipped(const std::string &text)
{
    z_stream stream = {};
    // 15 window bits + 16: a gzip wrapper.
    EXPECT_EQ(::deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string packed(::deflateBound(&stream, static_cast<uLong>(text.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef *>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(::deflate(&stream, Z_FINISH), Z_STREAM_END);
    packed.resize(stream.total_out);
    ::deflateEnd(&stream);
    return packed;
}

class Nginx : public Installation {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(servedByNginx()) << "run by support/server-test --nginx";
        Installation::SetUp();
        const std::wstring root = ReferenceServer::documentRoot();
        ::CreateDirectoryW((root + L"\\kestrune").c_str(), nullptr);
        ::CreateDirectoryW((root + L"\\kestrune\\packages").c_str(), nullptr);
        const std::wstring package = windowsPath(KESTRUNE_E2E_PACKAGE_LINUX_PATH);
        for (const wchar_t *name : {L"x64.zip", L"x32.zip"}) {
            ASSERT_TRUE(::CopyFileW(package.c_str(), (root + L"\\kestrune\\packages\\" + name).c_str(), FALSE));
        }
        ::DeleteFileW(manifestPath(L".gz").c_str());
        ::DeleteFileW(busyPath().c_str());
        accessLinesBefore_ = nginxLog(L"access.log").size();
    }

    // The vendor's maintenance switch: while it exists the manifest is refused.
    static std::wstring busyPath() { return ReferenceServer::documentRoot() + L"\\kestrune\\busy"; }

    static std::wstring manifestPath(const wchar_t *suffix = L"")
    {
        return ReferenceServer::documentRoot() + L"\\kestrune\\updates.xml" + suffix;
    }

    // The manifest a vendor publishes, naming `packageBase` + "/x64.zip" and
    // "/x32.zip"; with `precompressed`, updates.xml.gz beside it as well.
    static std::string publishManifest(const std::wstring &packageBase, bool precompressed = false)
    {
        const std::string base = narrow(packageBase);
        const std::string manifest = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<updates>\n  <lastVersion>" +
                                     narrow(KESTRUNE_E2E_VERSION) + "</lastVersion>\n  <downloadUrl>\n    <x32>" +
                                     base + "/x32.zip</x32>\n    <x64>" + base +
                                     "/x64.zip</x64>\n  </downloadUrl>\n  <minSize>20MB</minSize>\n</updates>\n";
        EXPECT_TRUE(testsupport::writeFile(manifestPath(), manifest));
        if (precompressed) {
            EXPECT_TRUE(testsupport::writeFile(manifestPath(L".gz"), gzipped(manifest)));
        }
        return manifest;
    }

    // Express Install up to the success reports; the telemetry log must hold
    // exactly those two lines, byte for byte.
    void expressInstallSucceeds(const std::wstring &program = {})
    {
        HWND window = start({}, program);
        ASSERT_NE(window, nullptr) << "the main window did not open";
        clickAt(window, kExpressInstall);
        const std::vector<std::string> events = awaitEvents(2);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], "HEAD /telemetry/installed?campaign=1000&channel=1");
        EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
        EXPECT_TRUE(pageOnScreenWithin(window, Page::Finish, 8000)) << "the finish page is not on the screen";
        EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\Kestrune\\KestruneLauncher.exe"));
        EXPECT_EQ(readMachineString(kUninstallKey, L"DisplayVersion"), KESTRUNE_E2E_VERSION);
        // The reports carry the program's user agent with the seven Windows numbers.
        const std::regex agent(std::regex_replace(kAgent, std::regex(R"([().])"), R"(\$&)") + R"( \(\d+(\.\d+){6}\))");
        const auto lines = nginxLog(L"telemetry.log");
        ASSERT_GE(lines.size(), 2u);
        for (auto line = lines.end() - 2; line != lines.end(); ++line) {
            ASSERT_EQ(line->size(), 4u);
            EXPECT_TRUE(std::regex_match((*line)[3], agent)) << (*line)[3];
        }
    }

    void packageCameOverHttps() const
    {
        const auto packages = packageAccesses();
        ASSERT_EQ(packages.size(), 1u);
        EXPECT_EQ(packages[0][kScheme], "https");
        EXPECT_EQ(packages[0][kStatus], "200");
    }

    // This scenario's requests for the package of the program's word size.
    std::vector<std::vector<std::string>> packageAccesses() const
    {
#ifdef _WIN64
        return accessesTo("/kestrune/packages/x64.zip");
#else
        return accessesTo("/kestrune/packages/x32.zip");
#endif
    }

    // This scenario's access-log lines of requests for exactly `uri`.
    std::vector<std::vector<std::string>> accessesTo(const std::string &uri) const
    {
        std::vector<std::vector<std::string>> lines;
        const auto all = nginxLog(L"access.log");
        for (size_t i = accessLinesBefore_; i < all.size(); ++i) {
            if (all[i].size() == kAccessFields && all[i][kUri] == uri) {
                lines.push_back(all[i]);
            }
        }
        return lines;
    }

    // The last answer to the manifest request of this scenario.
    std::vector<std::string> manifestAnswer() const
    {
        const auto answers = accessesTo("/kestrune/updates.xml");
        EXPECT_FALSE(answers.empty());
        return answers.empty() ? std::vector<std::string>(kAccessFields) : answers.back();
    }

    size_t accessLinesBefore_ = 0;
};

// nginx compresses the manifest on the fly: a chunked answer without a
// Content-Length, which the installer decodes whole.
TEST_F(Nginx, ExpressInstallOverHttpWithTheManifestCompressedOnTheFly)
{
    publishManifest(std::wstring(kServer) + L"/kestrune/packages");
    expressInstallSucceeds();

    const auto manifest = manifestAnswer();
    EXPECT_EQ(manifest[kStatus], "200");
    EXPECT_EQ(manifest[kContentEncoding], "gzip");
    EXPECT_EQ(manifest[kTransferEncoding], "chunked");
    EXPECT_EQ(manifest[kContentLength], "-");
    EXPECT_EQ(manifest[kUserAgent], kAgent);
    const auto packages = packageAccesses();
    ASSERT_EQ(packages.size(), 1u);
    EXPECT_EQ(packages[0][kStatus], "200");
    EXPECT_EQ(packages[0][kContentLength], packages[0][kBodyBytes]);
    EXPECT_EQ(packages[0][kUserAgent], kAgent);
    // The two reports are HEAD requests nginx answers with 204, and neither
    // is sent before the package was read whole.
    for (const char *report :
         {"/telemetry/installed?campaign=1000&channel=1", "/telemetry/log_success?id1=1000&id2=1"}) {
        const auto answers = accessesTo(report);
        ASSERT_EQ(answers.size(), 1u) << report;
        EXPECT_EQ(answers[0][kMethod], "HEAD");
        EXPECT_EQ(answers[0][kStatus], "204");
        EXPECT_EQ(answers[0][kBodyBytes], "0");
    }
}

// gzip_static: the precompressed file goes out as it is, with its length.
TEST_F(Nginx, ExpressInstallWithAPrecompressedManifest)
{
    const std::string manifest = publishManifest(std::wstring(kServer) + L"/kestrune/packages", true);
    expressInstallSucceeds();

    const auto answer = manifestAnswer();
    EXPECT_EQ(answer[kStatus], "200");
    EXPECT_EQ(answer[kContentEncoding], "gzip");
    EXPECT_EQ(answer[kTransferEncoding], "-");
    EXPECT_EQ(answer[kContentLength], std::to_string(gzipped(manifest).size()));
    EXPECT_EQ(answer[kBodyBytes], answer[kContentLength]);
}

// The manifest over HTTP, the package from the HTTPS block under the site's
// host name, whose certificate comes from a CA trusted in the prefix: the
// configured build checks nothing more, the pinned build finds its pin.
TEST_F(Nginx, ExpressInstallWithThePackageOverHttps)
{
    publishManifest(std::wstring(kHttpsBase) + L"/kestrune/packages");
    expressInstallSucceeds();
    packageCameOverHttps();
}

TEST_F(Nginx, PinnedInstallerInstallsWithThePackageOverHttps)
{
    publishManifest(std::wstring(kHttpsBase) + L"/kestrune/packages");
    expressInstallSucceeds(KESTRUNE_E2E_PINNED_INSTALLER);
    packageCameOverHttps();
}

// A certificate the prefix trusts but the pinned build does not pin: the
// package request is refused by the pin check alone, reported with the
// client's 65104, and nothing is installed.
TEST_F(Nginx, PinnedInstallerRefusesAnUnpinnedServerCertificate)
{
    const std::wstring unpinnedBase =
        L"https://localhost:" + testsupport::environmentValue(L"KESTRUNE_TEST_HTTPS_UNPINNED_PORT");
    {
        win32lib::http::HttpClient client(L"KestruneEndToEndTest");
        std::vector<uint8_t> body;
        ASSERT_TRUE(client.getToBuffer(unpinnedBase + L"/welcome.html", body)) << "WinHTTP refuses that certificate";
        ASSERT_EQ(client.statusCode(), 200);
    }
    publishManifest(unpinnedBase + L"/kestrune/packages");
    HWND window = start({}, KESTRUNE_E2E_PINNED_INSTALLER);
    ASSERT_NE(window, nullptr);
    clickAt(window, kExpressInstall);
    const std::vector<std::string> events = untilErrorReport();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=65104&sslErrors=0"
                         "&operation=validateHttpsRequest");
    EXPECT_EQ(events[1], "HEAD /telemetry/log_error?stepId=4&installerErrorId=20011&winApiErrorId=65104&id1=0&id2=2");
    EXPECT_TRUE(pageOnScreenWithin(window, Page::Error, 8000));
    EXPECT_FALSE(directoryExists(destination_)) << "the created destination was left behind";
    EXPECT_TRUE(readMachineString(kUninstallKey, L"DisplayVersion").empty());
}

// A server that offers nothing newer than TLS 1.1 is refused by the client
// in the handshake, with a certificate the prefix trusts; the same client
// reaches the deployment's own HTTPS port.
TEST(NginxTls, ServerOfferingOnlyTls11IsRefused)
{
    ASSERT_TRUE(servedByNginx()) << "run by support/server-test --nginx";
    win32lib::http::HttpClient client(L"KestruneEndToEndTest");
    std::vector<uint8_t> body;
    ASSERT_TRUE(client.getToBuffer(
        L"https://localhost:" + testsupport::environmentValue(L"KESTRUNE_TEST_HTTPS_UNPINNED_PORT") + L"/welcome.html",
        body));
    EXPECT_EQ(client.statusCode(), 200);

    body.clear();
    EXPECT_FALSE(client.getToBuffer(
        L"https://localhost:" + testsupport::environmentValue(L"KESTRUNE_TEST_HTTPS_TLS11_PORT") + L"/welcome.html",
        body));
    EXPECT_EQ(client.failedOperation(), "WinHttpSendRequest");
    // Windows names the failed handshake 12175, Wine 12157.
    EXPECT_TRUE(client.errorCode() == ERROR_WINHTTP_SECURE_FAILURE ||
                client.errorCode() == ERROR_WINHTTP_SECURE_CHANNEL_ERROR)
        << client.errorCode();
    EXPECT_EQ(client.statusCode(), -1);
}

TEST_F(Nginx, MissingPackageIs20020WithOneErrorReport)
{
    publishManifest(std::wstring(kServer) + L"/kestrune/packages/withdrawn");
    HWND window = start();
    ASSERT_NE(window, nullptr);
    clickAt(window, kExpressInstall);
    const std::vector<std::string> events = untilErrorReport();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "HEAD /telemetry/log_error?stepId=4&installerErrorId=20020&winApiErrorId=0&id1=0&id2=2");
    EXPECT_TRUE(pageOnScreenWithin(window, Page::Error, 8000));
    EXPECT_FALSE(directoryExists(destination_)) << "the created destination was left behind";
#ifdef _WIN64
    const auto answers = accessesTo("/kestrune/packages/withdrawn/x64.zip");
#else
    const auto answers = accessesTo("/kestrune/packages/withdrawn/x32.zip");
#endif
    ASSERT_EQ(answers.size(), 1u) << "a 404 is no reason to ask again";
    EXPECT_EQ(answers[0][kStatus], "404");
}

// The finish page, the site's pages on the HTTPS block, the probe, and the
// manifest refused to an installer older than the one served.
TEST(NginxSite, PagesProbeAndOutdatedInstallersAreAnswered)
{
    struct Case {
        const wchar_t *userAgent;
        std::wstring url;
        int status;
        std::string contains;
    };
    constexpr wchar_t kBrowser[] = L"Mozilla/5.0 (Windows NT 10.0; Win64; x64)";
    const std::wstring manifest = std::wstring(kServer) + L"/kestrune/updates.xml";
    const std::vector<Case> cases = {
        {kBrowser, std::wstring(kServer) + L"/welcome.html", 200, "<title>Welcome to Kestrune</title>"},
        {kBrowser, std::wstring(kHttpsBase) + L"/terms-of-service.html", 200, "<h1>Terms of service</h1>"},
        {kBrowser, std::wstring(kHttpsBase) + L"/", 200, "<title>Kestrune</title>"},
        {kBrowser, std::wstring(kServer) + L"/probe", 200, "ok"},
        {L"KestruneInstaller/1.0.4 (x64)", manifest, 465, ""},
        {L"KestruneInstaller/0.9.1 (x86)", manifest, 465, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(narrow(std::wstring(c.userAgent) + L" " + c.url));
        win32lib::http::HttpClient client(c.userAgent);
        std::vector<uint8_t> body;
        ASSERT_TRUE(client.getToBuffer(c.url, body));
        EXPECT_EQ(client.statusCode(), c.status);
        EXPECT_NE(std::string(body.begin(), body.end()).find(c.contains), std::string::npos);
    }
}

TEST_F(Nginx, BusyServerEndsOnTheErrorPageAndRetryInstallsOnceItIsGone)
{
    publishManifest(std::wstring(kServer) + L"/kestrune/packages");
    const std::wstring busy = busyPath();
    ASSERT_TRUE(testsupport::writeFile(busy, ""));
    HWND window = start();
    ASSERT_NE(window, nullptr);
    clickAt(window, kExpressInstall);
    std::vector<std::string> events = untilErrorReport();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "HEAD /telemetry/log_error?stepId=2&installerErrorId=20024&winApiErrorId=0&id1=0&id2=1");
    EXPECT_TRUE(pageOnScreenWithin(window, Page::Error, 8000));

    ASSERT_TRUE(::DeleteFileW(busy.c_str()));
    clickAt(window, kRetry);
    events = awaitEvents(3);
    ASSERT_EQ(events.size(), 3u) << "the retry did not complete";
    EXPECT_EQ(events[1], "HEAD /telemetry/installed?campaign=1000&channel=1");
    EXPECT_EQ(events[2], "HEAD /telemetry/log_success?id1=1000&id2=1");
    const auto answers = accessesTo("/kestrune/updates.xml");
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0][kStatus], "503");
    EXPECT_EQ(answers[1][kStatus], "200");
}

} // namespace
