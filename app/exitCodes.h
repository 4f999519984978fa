#pragma once

namespace app {

enum ExitCode : unsigned {
    kExitNormal = 0,
    kExitComFailed = 1,
    // ERROR_INVALID_PARAMETER: a switch the program does not understand, or a
    // log it cannot open.
    kExitInvalidParameter = 87,
    // ERROR_CANCELLED: elevation declined for a silent run.
    kExitElevationDeclined = 1223,
    kExitAlreadyInstalled = 20103,
    kExitWrongWordSize = 20104,
    kExitSecondInstance = 23000,
    kExitInitFailure = 23001,
};

} // namespace app
