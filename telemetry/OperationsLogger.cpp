#include "telemetry/OperationsLogger.h"

namespace telemetry {

// STUB until telemetry lands: reports are dropped.
OperationsLogger &OperationsLogger::instance()
{
    static OperationsLogger logger;
    return logger;
}

bool OperationsLogger::logSuccess()
{
    return false;
}

bool OperationsLogger::logError(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
    return false;
}

bool OperationsLogger::logStop(uint32_t, int64_t)
{
    return false;
}

bool OperationsLogger::logWinHttpError(uint32_t, uint32_t, uint32_t, const std::string &)
{
    return false;
}

} // namespace telemetry
