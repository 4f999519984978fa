#include "installer/startup.h"

#include "app/exitCodes.h"
#include "app/resourceIds.h"
#include "installer/fileSystem.h"
#include "installer/productPaths.h"
#include "installer/registry.h"
#include "win32lib/wordSize.h"

#include <shlobj.h>

namespace installer {

std::optional<StartRefusal> startRefusal(bool installed, bool wrongWordSize)
{
    if (installed) {
        return StartRefusal{app::kExitAlreadyInstalled, app::ids::kAlreadyInstalled, app::ids::kInformation, true};
    }
    if (wrongWordSize) {
        return StartRefusal{app::kExitWrongWordSize, app::ids::kWrongWordSize, app::ids::kError, false};
    }
    return std::nullopt;
}

std::optional<StartRefusal> startRefusal()
{
    const bool installed = keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, true);
#if defined(_WIN64)
    constexpr bool wrongWordSize = false;
#else
    // The 64-bit installer is the one for 64-bit Windows.
    const bool wrongWordSize = win32lib::isWindows64Bit();
#endif
    return startRefusal(installed, wrongWordSize);
}

std::wstring defaultDestination()
{
    std::wstring programFiles;
    if (!knownFolderPath(FOLDERID_ProgramFiles, programFiles)) {
        return {};
    }
    return programFiles + L"\\" + kVendorFolder;
}

void applyCommandLine(const app::CommandLine &commandLine, InstallOptions &options)
{
    if (!commandLine.destination.empty()) {
        options.destination = commandLine.destination;
    }
    if (commandLine.noDesktopShortcut) {
        options.createDesktopShortcut = 0;
    }
    // An administrator deploying the product wants nothing started in their
    // session, nor in SYSTEM's.
    if (commandLine.silent()) {
        options.startWhenFinished = 0;
    }
}

} // namespace installer
