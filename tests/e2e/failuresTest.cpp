// Every way an installation can fail, reached for real: the real program
// against the reference server, which refuses, breaks connections and
// serves bad manifests and hostile archives on demand. Each run must end
// with exactly one error report (after the request-failure reports), the
// error page, and nothing left behind but what the user had before.
// winsock2.h must come before windows.h.
#include "tests/support/serverRequests.h"

#include "installer/updaterTrust.h"
#include "tests/e2e/accessibleClient.h"
#include "tests/e2e/harness.h"
#include "tests/support/paths.h"
#include "win32lib/UniqueResource.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace e2e;

const std::wstring kE2eFixtures = KESTRUNE_E2E_FIXTURES_LINUX_PATH;
const std::wstring kPackageFixtures = KESTRUNE_PACKAGE_FIXTURES_LINUX_PATH;
const std::wstring kSignedFixtures = KESTRUNE_E2E_SIGNED_LINUX_PATH;
const std::wstring kSignedInstaller = std::wstring(KESTRUNE_E2E_SIGNED_PATH) + L"\\installer-signed.exe";

std::string errorReport(int step, int id)
{
    return "HEAD /telemetry/log_error?stepId=" + std::to_string(step) + "&installerErrorId=" + std::to_string(id) +
           "&winApiErrorId=";
}

// The failure when the main window never opened: what the program showed
// instead, as a screen reader reads it, and how it ended, say why. Wide, as
// those texts are.
std::wstring windowNeverOpened(std::optional<testsupport::ChildProcess> &installer)
{
    const win32lib::ScopedComInitializer com;
    std::wstring shown;
    for (HWND window : installer ? installer->windows() : std::vector<HWND>{}) {
        if (::IsWindowVisible(window)) {
            shown += L" [" + testsupport::windowClass(window) + L":";
            // A window whose thread hangs would hang its MSAA client too.
            if (::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr) == 0) {
                shown += L" not answering";
            } else {
                for (const std::wstring &name : accessibleNames(window)) {
                    shown += L" \"" + name + L"\"";
                }
            }
            shown += L"]";
        }
    }
    const std::optional<DWORD> code = installer ? installer->wait(kTimeoutMs) : std::nullopt;
    return L"the main window did not open; shown:" + (shown.empty() ? std::wstring(L" nothing") : shown) +
           L"; exit code " + (code ? std::to_wstring(*code) : std::wstring(L"none"));
}

class Failure : public Installation {
protected:
    // Starts the installer, clicks Express Install and waits until the
    // error report arrives: the request-failure reports come first.
    std::vector<std::string> expressInstallUntilError(const std::vector<std::wstring> &environment = {},
                                                      const std::wstring &program = {})
    {
        window_ = start(environment, program);
        if (window_ == nullptr) {
            ADD_FAILURE() << windowNeverOpened(installer_);
            return {};
        }
        clickAt(window_, kExpressInstall);
        return untilErrorReport();
    }

    // The error page is on the screen and the destination this run created
    // is gone.
    void expectErrorPageAndNoLeftovers(const std::string &name)
    {
        EXPECT_TRUE(pageOnScreenWithin(window_, Page::Error, 8000)) << "no error page";
        saveScreenshot(window_, name);
        EXPECT_FALSE(directoryExists(destination_)) << "the destination was left behind";
        EXPECT_TRUE(readMachineString(kUninstallKey, L"DisplayName").empty());
        EXPECT_FALSE(testsupport::fileExists(programsShortcut()));
    }

    // EXIT on the error page ends the program.
    void exitFromErrorPage()
    {
        const auto code = closeAndWait(window_);
        ASSERT_TRUE(code) << "the program did not end";
    }

    HWND window_ = nullptr;
};

TEST_F(Failure, DestinationThatCannotBeCreatedEndsWith20001AndKeepsTheUsersFile)
{
    // A file where the folder should be.
    ASSERT_TRUE(testsupport::writeFile(destination_, "the user's own file"));
    const std::vector<std::string> events = expressInstallUntilError();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(startsWith(events[0], errorReport(1, 20001))) << events[0];
    EXPECT_EQ(events[0].find("winApiErrorId=0&"), std::string::npos) << "the Windows error is lost";
    EXPECT_TRUE(pageOnScreenWithin(window_, Page::Error, 8000));
    const auto content = testsupport::readFile(destination_);
    ASSERT_TRUE(content) << "the user's file is gone";
    EXPECT_EQ(*content, "the user's own file");
    exitFromErrorPage();
}

TEST_F(Failure, NonEmptyDestinationEndsWith20002AndIsLeftUntouched)
{
    ASSERT_TRUE(::CreateDirectoryW(destination_.c_str(), nullptr));
    ASSERT_TRUE(testsupport::writeFile(destination_ + L"\\notes.txt", "keep me"));
    const std::vector<std::string> events = expressInstallUntilError();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(startsWith(events[0], errorReport(1, 20002))) << events[0];
    EXPECT_TRUE(pageOnScreenWithin(window_, Page::Error, 8000));
    EXPECT_EQ(folderEntries(destination_), std::vector<std::wstring>{L"notes.txt"});
    exitFromErrorPage();
}

TEST_F(Failure, ManifestAnswersMapToTheirIds)
{
    struct Case {
        const wchar_t *settings;
        int id;
    };
    const std::wstring broken = kE2eFixtures + L"/broken-manifest.xml";
    const std::wstring invalid = kE2eFixtures + L"/invalid-manifest.xml";
    const std::wstring brokenSetting = L"manifest_file=" + broken;
    const std::wstring invalidSetting = L"manifest_file=" + invalid;
    for (const Case &c :
         {Case{L"manifest_status=404", 20020}, Case{brokenSetting.c_str(), 20021}, Case{invalidSetting.c_str(), 20021},
          Case{L"package_sha256=malformed", 20021}, Case{L"manifest_status=465", 20023}}) {
        SCOPED_TRACE(testing::Message() << c.settings);
        control(defaultSettings());
        control(c.settings);
        eventsBefore_ = telemetry().size();
        const std::vector<std::string> events = expressInstallUntilError();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0], errorReport(2, c.id) + "0&id1=0&id2=1");
        expectErrorPageAndNoLeftovers("manifest-" + std::to_string(c.id));
        exitFromErrorPage();
        installer_.reset();
    }
}

TEST_F(Failure, FailedManifestRequestIs20011WhenTheProbeAnswersAnd20022WhenItDoesNot)
{
    for (const auto &[probeFault, id] : {std::pair{L"", 20011}, std::pair{L"reset", 20022}}) {
        SCOPED_TRACE(id);
        control(L"manifest_fault=reset&probe_fault=" + std::wstring(probeFault));
        eventsBefore_ = telemetry().size();
        const std::vector<std::string> events = expressInstallUntilError();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_TRUE(startsWith(events[0], "HEAD /telemetry/log_winhttp_error?placeId=1&")) << events[0];
        EXPECT_TRUE(startsWith(events[1], errorReport(2, id))) << events[1];
        EXPECT_EQ(events[1].find("winApiErrorId=0&"), std::string::npos) << "the request's error is lost";
        expectErrorPageAndNoLeftovers("request-" + std::to_string(id));
        exitFromErrorPage();
        installer_.reset();
    }
}

TEST_F(Failure, TooLittleFreeSpaceIs20004BeforeAnyDownload)
{
    control(L"min_size=4000GB");
    const std::vector<std::string> events = expressInstallUntilError();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], errorReport(3, 20004) + "0&id1=0&id2=0");
    expectErrorPageAndNoLeftovers("free-space-20004");
    exitFromErrorPage();
}

TEST_F(Failure, RefusedPackageIs20020AndAShortBodyIs20012)
{
    control(L"package_status=404");
    std::vector<std::string> events = expressInstallUntilError();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], errorReport(4, 20020) + "0&id1=0&id2=2");
    expectErrorPageAndNoLeftovers("package-20020");

    // RETRY on the same page: now the body ends before its announced length.
    control(L"package_status=200&x64_url=" +
            queryValue(std::wstring(kServer) + L"/scenario/short?size=100000&declared=200000"));
    eventsBefore_ = telemetry().size();
    clickAt(window_, kRetry);
    events = untilErrorReport();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(startsWith(events[0], "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=65003&")) << events[0];
    EXPECT_EQ(events[1], errorReport(4, 20012) + "65003&id1=0&id2=2");
    expectErrorPageAndNoLeftovers("package-20012");
    exitFromErrorPage();
}

TEST_F(Failure, PackageOtherThanTheManifestsHashIs20012AndNothingIsUnpacked)
{
    // Every entry's CRC is right: only the hash tells the bytes are not the
    // ones announced.
    control(L"package_sha256=wrong");
    const std::size_t logStart = testsupport::ReferenceServer::requestLog().size();
    std::vector<std::string> events = expressInstallUntilError();
    ASSERT_EQ(events.size(), 1u) << "a mismatch is no request failure and is not retried";
    EXPECT_EQ(events[0], errorReport(4, 20012) + "13&id1=0&id2=2");
    expectErrorPageAndNoLeftovers("package-hash-20012");
    const auto downloads = testsupport::requestsUnder("/kestrune/packages/", logStart);
    EXPECT_EQ(std::count_if(downloads.begin(), downloads.end(),
                            [](const std::string &request) { return request.rfind("GET ", 0) == 0; }),
              1);

    // RETRY against a server that names no hash: installed as before.
    control(L"package_sha256=none");
    eventsBefore_ = telemetry().size();
    clickAt(window_, kRetry);
    events = awaitEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\Update\\KestruneUpdater.exe"));
}

// A build carrying its publisher compares the digest of the updater's
// signing certificate, taken from the signature itself: only the updater
// signed with that certificate, and not altered since, may run.
TEST(BuiltInPublisher, OnlyAnUpdaterSignedWithItsCertificatePasses)
{
    const auto digestText = testsupport::readFile(std::wstring(KESTRUNE_E2E_SIGNED_PATH) + L"\\publisher.sha256");
    ASSERT_TRUE(digestText && digestText->size() >= 64);
    const auto expected = installer::parseSignerDigest(std::wstring(digestText->begin(), digestText->begin() + 64));
    ASSERT_TRUE(expected);
    const struct {
        const wchar_t *updater;
        uint32_t detail;
    } cases[] = {
        {L"same-signer.exe", 0},
        {L"other-signer.exe", static_cast<uint32_t>(TRUST_E_NOSIGNATURE)},
        {L"tampered.exe", static_cast<uint32_t>(TRUST_E_BAD_DIGEST)},
        {L"unsigned.exe", static_cast<uint32_t>(TRUST_E_NOSIGNATURE)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.updater);
        const std::wstring path = std::wstring(KESTRUNE_E2E_SIGNED_PATH) + L"\\updaters\\" + c.updater;
        const win32lib::UniqueFile file(
            ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.valid());
        win32lib::encryption::Signer signer;
        const LONG verdict = win32lib::encryption::verifyEmbeddedSignature(file.get(), path, signer);
        EXPECT_EQ(installer::builtInSignerDetail(*expected, verdict, signer), c.detail);
    }
}

TEST_F(Failure, SignedInstallerRunsOnlyAnUpdaterOfItsOwnSigner)
{
    struct Case {
        const wchar_t *package;
        const char *detail;
    };
    // TRUST_E_NOSIGNATURE for no signature or another signer's, and
    // TRUST_E_BAD_DIGEST for a signed updater altered afterwards.
    bool first = true;
    for (const Case &c : {Case{L"unsigned-updater.zip", "2148204800"}, Case{L"other-signer-updater.zip", "2148204800"},
                          Case{L"tampered-updater.zip", "2148098064"}}) {
        SCOPED_TRACE(testing::Message() << c.package);
        control(L"package_x64=" + kSignedFixtures + L"/" + c.package);
        eventsBefore_ = telemetry().size();
        std::vector<std::string> events;
        if (first) {
            events = expressInstallUntilError({}, kSignedInstaller);
            first = false;
        } else {
            clickAt(window_, kRetry);
            events = untilErrorReport();
        }
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0], errorReport(6, 20060) + c.detail + "&id1=0&id2=0");
        expectErrorPageAndNoLeftovers("updater-signer-20060");
    }

    control(L"package_x64=" + kSignedFixtures + L"/same-signer-updater.zip");
    eventsBefore_ = telemetry().size();
    clickAt(window_, kRetry);
    const std::vector<std::string> events = awaitEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
}

TEST_F(Failure, ConnectionResetDuringTheDownloadIs20011Or20012)
{
    control(L"x64_url=" + queryValue(std::wstring(kServer) + L"/scenario/cut?size=3000000&stall_after=500000"));
    const std::vector<std::string> events = expressInstallUntilError();
    ASSERT_GE(events.size(), 2u);
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        EXPECT_TRUE(startsWith(events[i], "HEAD /telemetry/log_winhttp_error?placeId=2&")) << events[i];
    }
    // Whether the reset or the end of the stream reaches WinHTTP first
    // decides between a failed read and a body shorter than announced.
    EXPECT_TRUE(startsWith(events.back(), errorReport(4, 20011)) ||
                events.back() == errorReport(4, 20012) + "65003&id1=0&id2=2")
        << events.back();
    expectErrorPageAndNoLeftovers("download-reset");
    exitFromErrorPage();
}

TEST_F(Failure, ServerStallingMidBodyEndsInTheTimeOutNotAHang)
{
    // The server stops sending for two minutes: the receive time-out (10 s)
    // must end each of the two attempts long before that.
    control(L"x64_url=" +
            queryValue(std::wstring(kServer) + L"/scenario/stall?size=3000000&stall_after=500000&stall=120"));
    const ULONGLONG started = ::GetTickCount64();
    const std::vector<std::string> events = expressInstallUntilError();
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    // Windows reports 12002 and tries once more; Wine reports the socket's
    // 10060, which is not retried.
    ASSERT_GE(events.size(), 2u);
    ASSERT_LE(events.size(), 3u);
    const std::string code = events.size() == 3 ? "12002" : "10060";
    for (size_t i = 0; i + 1 < events.size(); ++i) {
        EXPECT_TRUE(startsWith(events[i], "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=" + code + "&"))
            << events[i];
        // Mid-body: the wait for more data failed, not the request.
        EXPECT_TRUE(events[i].find("operation=WinHttpQueryDataAvailable") != std::string::npos ||
                    events[i].find("operation=WinHttpReadData") != std::string::npos)
            << events[i];
    }
    EXPECT_EQ(events.back(), errorReport(4, 20011) + code + "&id1=0&id2=2");
    EXPECT_LT(elapsed, 60000u) << "the stall was waited out";
    expectErrorPageAndNoLeftovers("download-stall-20011");
    exitFromErrorPage();
}

TEST_F(Failure, DamagedAndHostileArchivesAre20040AndWriteNothingOutsideTheDestination)
{
    const std::wstring programFiles = knownFolder(FOLDERID_ProgramFiles);
    const std::wstring escaped = programFiles + L"\\escaped.txt";
    bool first = true;
    for (const wchar_t *fixture : {L"wrong-crc.zip", L"unsafe-parent.zip", L"unsafe-nested-parent.zip",
                                   L"unsafe-drive.zip", L"unsafe-stream.zip", L"unsafe-device.zip"}) {
        SCOPED_TRACE(testing::Message() << fixture);
        control(L"package_x64=" + kPackageFixtures + L"/" + fixture);
        eventsBefore_ = telemetry().size();
        std::vector<std::string> events;
        if (first) {
            events = expressInstallUntilError();
            first = false;
        } else {
            // Each next archive is tried with RETRY.
            clickAt(window_, kRetry);
            events = untilErrorReport();
        }
        ASSERT_EQ(events.size(), 1u);
        EXPECT_TRUE(startsWith(events[0], errorReport(5, 20040))) << events[0];
        expectErrorPageAndNoLeftovers("archive-20040");
        EXPECT_FALSE(testsupport::fileExists(escaped));
        EXPECT_FALSE(testsupport::fileExists(L"C:\\escaped.txt"));
    }
    exitFromErrorPage();
}

TEST_F(Failure, UpdaterThatCannotStartIs20060AndOneThatFailsIs20061)
{
    control(L"package_x64=" + kE2eFixtures + L"/no-updater.zip");
    std::vector<std::string> events = expressInstallUntilError();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0] == errorReport(6, 20060) + "2&id1=0&id2=0" ||
                events[0] == errorReport(6, 20060) + "3&id1=0&id2=0")
        << events[0];
    expectErrorPageAndNoLeftovers("updater-20060");
    exitFromErrorPage();
    installer_.reset();

    control(L"package_x64=" + kE2eFixtures + L"/updater-exit-3.zip");
    eventsBefore_ = telemetry().size();
    events = expressInstallUntilError();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], errorReport(6, 20061) + "3&id1=0&id2=0");
    expectErrorPageAndNoLeftovers("updater-20061");
    EXPECT_FALSE(testsupport::fileExists(desktopShortcut()));
    exitFromErrorPage();
}

class Telemetry : public Installation {
protected:
    // Seconds an Express Install takes from the click to the finish page.
    double timedInstall()
    {
        HWND window = start();
        if (window == nullptr) {
            ADD_FAILURE() << windowNeverOpened(installer_);
            return 0;
        }
        const ULONGLONG started = ::GetTickCount64();
        clickAt(window, kExpressInstall);
        const ULONGLONG deadline = started + kTimeoutMs;
        while (readMachineString(kUninstallKey, L"DisplayName").empty() && ::GetTickCount64() < deadline) {
            ::Sleep(50);
        }
        EXPECT_TRUE(pageOnScreenWithin(window, Page::Finish, kTimeoutMs))
            << "no finish page; reports so far: " << testing::PrintToString(newEvents());
        const double seconds = static_cast<double>(::GetTickCount64() - started) / 1000.0;
        const auto code = closeAndWait(window);
        EXPECT_TRUE(code && *code == 0u);
        installer_.reset();
        // FINISH starts the player, a moment later under load: a player
        // that starts after the clean-up leaves its folder behind, and the
        // next installation then finds the destination in use.
        const ULONGLONG launched = ::GetTickCount64() + 15000;
        while (!testsupport::fileExists(destination_ + L"\\Kestrune\\launcher-ran.txt") &&
               ::GetTickCount64() < launched) {
            ::Sleep(50);
        }
        killProcesses(L"KestruneLauncher.exe");
        ::Sleep(300);
        removeProduct(destination_);
        return seconds;
    }
};

TEST_F(Telemetry, AnUnreachableOrStalledServerCostsNoMoreThanTheReportTimeOuts)
{
    const double normal = timedInstall();
    control(L"telemetry_fault=reset");
    const double unreachable = timedInstall();
    // Two reports (installed, success), each bounded by 3 s resolve + 1 s
    // connect + 1 s send + 1 s receive.
    control(L"telemetry_fault=stall:60");
    const double stalled = timedInstall();
    control(L"telemetry_fault=");
    std::printf("install with telemetry answering: %.1f s, refused: %.1f s, stalled: %.1f s\n", normal, unreachable,
                stalled);
    EXPECT_LT(unreachable, normal + 2 * 6.0);
    EXPECT_LT(stalled, normal + 2 * 6.0);
    // The requests did reach the server each time.
    const std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[5], "HEAD /telemetry/log_success?id1=1000&id2=1");
}

} // namespace
