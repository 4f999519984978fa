#pragma once

#include <cstdint>
#include <string>

namespace telemetry {

// Reports the course of an installation to the server with HEAD requests.
// One process-wide instance, used from the worker thread only.
class OperationsLogger {
public:
    static OperationsLogger &instance();

    bool logSuccess();
    bool logError(uint32_t stepId, uint32_t installerErrorId, uint32_t winApiErrorId, uint32_t id1, uint32_t id2);
    bool logStop(uint32_t stepId, int64_t timeElapsed);
    bool logWinHttpError(uint32_t placeId, uint32_t winApiErrorId, uint32_t sslErrors, const std::string &operation);
};

} // namespace telemetry
