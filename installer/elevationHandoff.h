#pragma once

#include "installer/InstallOptions.h"
#include "installer/InstallerCommands.h"
#include "installer/installSteps.h"

#include <windows.h>

#include <string>

namespace installer {

// The unelevated half: leaves the pages' choices and `windowRect` in the
// hand-off objects, starts the elevated copy and waits until the copy has
// read them or has ended. kHandedOver when the copy took over.
[[nodiscard]] BeginOutcome handOffToElevatedCopy(InstallOptions &options, const RECT &windowRect,
                                                 const InstallSteps &steps);

// The elevated half: reads the record an unelevated instance left into
// `options`. True when this process continues that installation.
[[nodiscard]] bool takeOverHandoff(InstallOptions &options);

// The elevated copy of a silent run: takes only the proxy route the
// unelevated instance that started it left, since the copy's choices are on
// its command line. False when there is none to take (the copy then finds
// the settings itself).
[[nodiscard]] bool takeOverProxyRoute();

// An unelevated silent run hands the whole run, with its proxy route, to an
// elevated copy started with `arguments` and returns the copy's exit code, or the Windows error of
// a failed start (1223 when elevation is declined).
[[nodiscard]] unsigned runElevatedCopy(const InstallSteps &steps, const std::wstring &arguments);

} // namespace installer
