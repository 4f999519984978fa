#pragma once

#include "app/commandLine.h"
#include "installer/InstallOptions.h"

#include <optional>
#include <string>

namespace installer {

// Why the program ends before it shows its window, and what it tells.
struct StartRefusal {
    unsigned exitCode;
    unsigned messageId;
    unsigned captionId;
    // An interactive run whose box cannot be shown ends as an
    // initialisation failure.
    bool initFailureWhenUnshown;
};

// The refusal for a product that is `installed` already or a program of the
// wrong word size (a 32-bit installer on 64-bit Windows); the first wins.
[[nodiscard]] std::optional<StartRefusal> startRefusal(bool installed, bool wrongWordSize);
// The same for this machine.
[[nodiscard]] std::optional<StartRefusal> startRefusal();

// The Express destination: the vendor's folder in Program Files; empty when
// Program Files cannot be found.
[[nodiscard]] std::wstring defaultDestination();

// The choices the command line makes, over the defaults.
void applyCommandLine(const app::CommandLine &commandLine, InstallOptions &options);

} // namespace installer
