#include "app/initFailure.h"

#include "app/commandLine.h"
#include "app/exitCodes.h"
#include "app/resourceIds.h"
#include "app/strings.h"

#include <windows.h>

namespace app {

unsigned showInitFailure()
{
    if (runMode() != RunMode::kInteractive) {
        return kExitInitFailure;
    }
    ::MessageBoxW(nullptr, loadString(ids::kInitFailure).c_str(), loadString(ids::kCaption).c_str(), MB_ICONERROR);
    return kExitInitFailure;
}

} // namespace app
