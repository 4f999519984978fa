#pragma once

// The fake steps of the engine's tests: what each step does, and what the
// engine asked of it.

#include "installer/installSteps.h"
#include "installer/InstallOptions.h"
#include "tests/installer/pageMessages.h"
#include "tests/support/process.h"
#include "ui/pageData.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace enginetest {

using testsupport::PageMessageSink;
using testsupport::TempFolder;
using ui::kMsgShowView;
using ui::kMsgViewData;

constexpr DWORD kWorkerTimeoutMs = 30000;
constexpr WPARAM kInstalling = ui::kPageInstalling;
constexpr WPARAM kFinish = ui::kPageFinish;
constexpr WPARAM kError = ui::kPageError;

using Progress = std::vector<std::pair<int64_t, uint64_t>>;

// What the fake steps do, and what the installer asked of them.
struct Scenario {
    uint16_t manifestResult = 0;
    uint32_t requestError = 0;
    uint32_t sslErrors = 0;
    uint64_t minSize = 1024;
    std::function<void()> duringManifest;

    uint16_t downloadResult = 0;
    Progress downloadProgress;
    DWORD downloadMs = 0;
    std::function<void()> duringDownload;

    bool extractionSucceeds = true;
    uint32_t extractorCode = 0;
    int32_t zipCode = 0;
    DWORD extractionError = 0;
    Progress extractionProgress;
    std::function<void()> duringExtraction;

    uint16_t updaterResult = 0;
    uint32_t updaterDetail = 0;
    std::function<void()> duringRegistration;

    // Observed.
    unsigned nameLength = 0;
    std::wstring packagePath;
    bool downloadCalled = false;
    bool extractionCalled = false;
    bool updaterCalled = false;
    std::wstring updaterDestination;
    std::wstring updaterVersion;
    bool updaterShortcut = false;
    bool packageExistedAfterDownload = false;
    bool destinationExistedAtError = false;
    std::vector<std::array<uint32_t, 5>> errors;
    std::vector<std::pair<uint32_t, int64_t>> stops;
    int successes = 0;
};

[[nodiscard]] installer::InstallSteps fakeSteps(Scenario &scenario, const std::wstring &destination);

// Runs to the end on a thread of its own, as the engine's worker runs it,
// while this thread receives `window`'s messages; returns the run's exit
// code.
DWORD runDirectly(const installer::InstallSteps &steps, installer::InstallOptions &options, HWND window);

} // namespace enginetest
