#include "installer/installSteps.h"

#include "app/privileges.h"
#include "app/resourceIds.h"
#include "app/strings.h"
#include "installer/launching.h"
#include "package/download.h"
#include "package/manifest.h"
#include "telemetry/InstallLog.h"
#include "telemetry/OperationsLogger.h"

namespace installer {
namespace {

HANDLE createSuspendedThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter)
{
    return ::CreateThread(nullptr, 0, routine, parameter, CREATE_SUSPENDED, nullptr);
}

void startUnelevated(const std::wstring &file, const std::wstring &folder)
{
    // Whether the player started is not the installer's concern any more.
    (void)shellExecuteUnelevated(file.c_str(), folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace

InstallSteps defaultInstallSteps()
{
    InstallSteps steps;
    steps.fetchUpdateInfo = package::fetchUpdateInfo;
    steps.downloadPackage = package::downloadPackage;
    steps.makeRandomName = package::makeRandomName;
    steps.extractArchive = package::extractArchive;
    steps.runUpdater = installer::runUpdater;
    // The run's last step ends with its report.
    steps.logError = [](const InstallFailure &failure) {
        telemetry::InstallLog::instance().endStep();
        telemetry::OperationsLogger::instance().logError(failure.step, failure.id, failure.windowsError,
                                                         failure.detail1, failure.detail2);
    };
    steps.logStop = [](uint32_t step, int64_t elapsedMs) {
        telemetry::InstallLog::instance().endStep();
        telemetry::OperationsLogger::instance().logStop(step, elapsedMs);
    };
    // Without the campaign and channel the program was built with, no
    // success is reported.
    steps.logSuccess = [] {
        telemetry::InstallLog::instance().endStep();
        std::wstring campaign;
        std::wstring channel;
        if (app::loadResourceText(app::ids::kCampaignId, campaign) &&
            app::loadResourceText(app::ids::kChannelId, channel)) {
            telemetry::OperationsLogger::instance().logSuccess(campaign, channel);
        }
    };
    steps.relaunchElevated = [](const std::wstring &arguments, win32lib::UniqueHandle &copy) {
        return app::relaunchElevated(&copy, arguments.empty() ? nullptr : arguments.c_str());
    };
    steps.openInBrowser = [](const std::wstring &address) {
        // A page that does not open is not the installer's concern.
        (void)openInBrowser(address, SW_SHOWNOACTIVATE);
    };
    steps.startUnelevated = startUnelevated;
    steps.createWorkerThread = createSuspendedThread;
    return steps;
}

} // namespace installer
