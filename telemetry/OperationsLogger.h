#pragma once

#include "win32lib/http/HttpClient.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace telemetry {

// Reports the course of an installation to the server with HEAD requests
// whose query carries the event; the answer is not read and a failed report
// is dropped. One process-wide instance, used from the worker thread only.
class OperationsLogger : public win32lib::http::HttpClient {
public:
    static OperationsLogger &instance();
    ~OperationsLogger();

    // Reports to the telemetry address kept in the protected store. The
    // success report carries the campaign and channel the caller read from
    // the program's resources.
    bool logSuccess(const std::wstring &campaign, const std::wstring &channel);
    bool logError(uint32_t stepId, uint32_t installerErrorId, uint32_t winApiErrorId, uint32_t id1, uint32_t id2);
    bool logStop(uint32_t stepId, int64_t timeElapsed);
    bool logWinHttpError(uint32_t placeId, uint32_t winApiErrorId, uint32_t sslErrors, const std::string &operation);

    // The same reports to a given telemetry base address (ending with "/")
    // and success address format (two %ls).
    bool logSuccess(std::wstring_view telemetryAddress, const wchar_t *successAddressFormat,
                    const std::wstring &campaign, const std::wstring &channel);
    bool logError(std::wstring_view telemetryAddress, uint32_t stepId, uint32_t installerErrorId,
                  uint32_t winApiErrorId, uint32_t id1, uint32_t id2);
    bool logStop(std::wstring_view telemetryAddress, uint32_t stepId, int64_t timeElapsed);
    bool logWinHttpError(std::wstring_view telemetryAddress, uint32_t placeId, uint32_t winApiErrorId,
                         uint32_t sslErrors, const std::string &operation);

private:
    OperationsLogger();
    bool send(std::wstring_view address);
};

} // namespace telemetry
