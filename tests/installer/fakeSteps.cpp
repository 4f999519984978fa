#include "tests/installer/fakeSteps.h"

#include "installer/worker.h"
#include "tests/installer/pageMessages.h"
#include "tests/support/process.h"
#include "ui/WindowEvents.h"

#include <gtest/gtest.h>

#include <memory>

namespace enginetest {
namespace {

// A run on a thread of the test's own, as the engine's worker runs it, with
// its news going to `window`.
struct DirectRun {
    const installer::InstallSteps &steps;
    installer::InstallOptions &options;
    std::shared_ptr<installer::InstallerEvents> events;
};

DWORD WINAPI directRunMain(LPVOID parameter) noexcept
{
    auto &run = *static_cast<DirectRun *>(parameter);
    return installer::runOnWorker(run.steps, run.options, run.events);
}

} // namespace

installer::InstallSteps fakeSteps(Scenario &scenario, const std::wstring &destination)
{
    installer::InstallSteps steps;
    steps.fetchUpdateInfo = [&scenario](package::UpdateInfo &info) {
        wcscpy(info.downloadUrl, L"http://127.0.0.1:1/package.zip");
        wcscpy(info.lastVersion, L"1.2.3");
        info.minSize = scenario.minSize;
        info.errorCode = scenario.requestError;
        info.sslErrors = scenario.sslErrors;
        if (scenario.duringManifest) {
            scenario.duringManifest();
        }
        return scenario.manifestResult;
    };
    steps.makeRandomName = [&scenario](unsigned length) {
        scenario.nameLength = length;
        return std::wstring(L"Pkg0aZ9xq");
    };
    steps.downloadPackage = [&scenario](package::UpdateInfo &, const std::wstring &path,
                                        const win32lib::http::ProgressCallback &progress) -> uint16_t {
        scenario.downloadCalled = true;
        scenario.packagePath = path;
        testsupport::writeFile(path, "PK package");
        scenario.packageExistedAfterDownload = testsupport::fileExists(path);
        if (scenario.duringDownload) {
            scenario.duringDownload();
        }
        ::Sleep(scenario.downloadMs);
        for (const auto &[total, done] : scenario.downloadProgress) {
            if (progress(total, done)) {
                return 20100;
            }
        }
        return scenario.downloadResult;
    };
    steps.extractArchive = [&scenario](package::ExtractResult &result, const std::wstring &archive,
                                       const std::wstring &target) {
        scenario.extractionCalled = true;
        EXPECT_EQ(archive, scenario.packagePath);
        testsupport::writeFile(target + L"\\player.dat", "unpacked");
        if (scenario.duringExtraction) {
            scenario.duringExtraction();
        }
        for (const auto &[total, done] : scenario.extractionProgress) {
            if (result.progress(total, done)) {
                result.code = 65001;
                ::SetLastError(0);
                return false;
            }
        }
        if (!scenario.extractionSucceeds) {
            result.code = scenario.extractorCode;
            result.zipCode = scenario.zipCode;
            ::SetLastError(scenario.extractionError);
            return false;
        }
        return true;
    };
    steps.runUpdater = [&scenario](const std::wstring &root, const std::wstring &version, bool shortcut,
                                   uint32_t &detail) {
        scenario.updaterCalled = true;
        scenario.updaterDestination = root;
        scenario.updaterVersion = version;
        scenario.updaterShortcut = shortcut;
        if (scenario.duringRegistration) {
            scenario.duringRegistration();
        }
        detail = scenario.updaterDetail;
        return scenario.updaterResult;
    };
    steps.logError = [&scenario, destination](const installer::InstallFailure &failure) {
        scenario.errors.push_back({failure.step, failure.id, failure.windowsError, failure.detail1, failure.detail2});
        scenario.destinationExistedAtError = testsupport::fileExists(destination);
    };
    steps.logStop = [&scenario](uint32_t step, int64_t elapsed) { scenario.stops.emplace_back(step, elapsed); };
    steps.logSuccess = [&scenario] { ++scenario.successes; };
    steps.relaunchElevated = [](const std::wstring &, win32lib::UniqueHandle &) {
        return static_cast<uint32_t>(ERROR_NOT_SUPPORTED);
    };
    steps.openInBrowser = [](const std::wstring &) {};
    steps.startUnelevated = [](const std::wstring &, const std::wstring &) {};
    steps.createWorkerThread = installer::defaultInstallSteps().createWorkerThread;
    return steps;
}

// Runs to the end while the test thread receives the window's messages;
// returns the run's exit code.
DWORD runDirectly(const installer::InstallSteps &steps, installer::InstallOptions &options, HWND window)
{
    DirectRun run{steps, options, std::make_shared<ui::WindowEvents>(window)};
    win32lib::UniqueHandle worker(::CreateThread(nullptr, 0, directRunMain, &run, 0, nullptr));
    EXPECT_TRUE(worker);
    EXPECT_TRUE(testsupport::pumpUntilSignalled(worker.get(), kWorkerTimeoutMs)) << "the worker did not end";
    DWORD code = 0;
    ::GetExitCodeThread(worker.get(), &code);
    return code;
}

} // namespace enginetest
