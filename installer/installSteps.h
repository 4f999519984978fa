#pragma once

#include "installer/InstallFailure.h"
#include "package/UpdateInfo.h"
#include "package/extraction.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/ProgressCallback.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace installer {

// The work the engine hands to other parts of the program and to the
// system. The program always runs with defaultInstallSteps(); tests swap in
// their own to reach failures the real steps cannot be made to produce.
struct InstallSteps {
    std::function<uint16_t(package::UpdateInfo &)> fetchUpdateInfo;
    std::function<uint16_t(package::UpdateInfo &, const std::wstring &, const win32lib::http::ProgressCallback &)>
        downloadPackage;
    std::function<std::wstring(unsigned)> makeRandomName;
    std::function<bool(package::ExtractResult &, const std::wstring &, const std::wstring &)> extractArchive;
    std::function<uint16_t(const std::wstring &, const std::wstring &, bool, uint32_t &)> runUpdater;
    std::function<void(const InstallFailure &)> logError;
    std::function<void(uint32_t, int64_t)> logStop;
    std::function<void()> logSuccess;
    // Fills the handle of the started copy when one is known; empty
    // arguments start the copy without any.
    std::function<uint32_t(const std::wstring &arguments, win32lib::UniqueHandle &copy)> relaunchElevated;
    std::function<void(const std::wstring &)> openInBrowser;
    std::function<void(const std::wstring &, const std::wstring &)> startUnelevated;
    // The worker thread, created suspended; null with the thread's last
    // error when it cannot be created.
    std::function<HANDLE(LPTHREAD_START_ROUTINE, LPVOID)> createWorkerThread;
};

[[nodiscard]] InstallSteps defaultInstallSteps();

} // namespace installer
