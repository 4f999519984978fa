#pragma once

namespace app {

enum ExitCode : unsigned {
    kExitNormal = 0,
    kExitComFailed = 1,
    kExitAlreadyInstalled = 20103,
    kExitWrongWordSize = 20104,
    kExitSecondInstance = 23000,
    kExitInitFailure = 23001,
};

} // namespace app
