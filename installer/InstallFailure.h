#pragma once

#include "package/installErrorIds.h"

#include <cstdint>
#include <optional>

namespace installer {

// The install steps and error ids are defined with the package steps, which
// return the ids too; the engine names them as its own.
using package::InstallError;
using package::InstallStep;
using enum package::InstallError;
using enum package::InstallStep;

// How a run failed, as one record from the step that failed to the error
// page, the telemetry and the exit code.
struct InstallFailure {
    InstallStep step = kStepDestination;
    // The install error id, which is also the run's exit code.
    uint16_t id = kInstallOk;
    uint32_t windowsError = 0;
    // What else the step knows, sent to telemetry as id1 and id2: the TLS
    // flags and which request failed, or the extractor's and zip library's
    // codes.
    uint32_t detail1 = 0;
    uint32_t detail2 = 0;
    // What the error page shows in place of the Windows error (20004 shows
    // the space the package needs).
    std::optional<int64_t> shownValue = std::nullopt;

    [[nodiscard]] int64_t pageValue() const noexcept { return shownValue.value_or(windowsError); }
};

} // namespace installer
