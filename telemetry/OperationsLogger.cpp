#include "telemetry/OperationsLogger.h"

#include "telemetry/InstallLog.h"
#include "telemetry/telemetryAddresses.h"
#include "win32lib/encryption/protectedStrings.h"
#include "win32lib/http/certificatePins.h"

namespace telemetry {

namespace {

using win32lib::encryption::TransientWString;
namespace encryption = win32lib::encryption;

// The log names the event and its values, never the protected base address.
void logEvent(const win32lib::encryption::SecureWString &eventAndQuery, bool sent)
{
    InstallLog::instance().write(L"Telemetry " + std::wstring(eventAndQuery.begin(), eventAndQuery.end()) +
                                 (sent ? L" sent" : L" not delivered"));
}

// Short enough that a dead server delays an installation only a little per report.
constexpr win32lib::http::HttpTimeouts kTelemetryTimeouts = {3000, 1000, 1000, 1000};

} // namespace

OperationsLogger &OperationsLogger::instance()
{
    static OperationsLogger logger;
    return logger;
}

OperationsLogger::OperationsLogger() : HttpClient(makeUserAgent())
{
    // Without them the reports still go out, only with WinHTTP's longer waits.
    (void)setTimeouts(kTelemetryTimeouts);
    win32lib::http::pinConfiguredCertificates(*this);
}

OperationsLogger::~OperationsLogger() = default;

bool OperationsLogger::send(std::wstring_view address)
{
    return sendHead(TransientWString(address).get());
}

bool OperationsLogger::logSuccess(const std::wstring &campaign, const std::wstring &channel)
{
    const auto base = encryption::telemetryAddress();
    const auto format = encryption::successAddressFormat();
    return logSuccess(*base, format->c_str(), campaign, channel);
}

bool OperationsLogger::logError(uint32_t stepId, uint32_t installerErrorId, uint32_t winApiErrorId, uint32_t id1,
                                uint32_t id2)
{
    return logError(*encryption::telemetryAddress(), stepId, installerErrorId, winApiErrorId, id1, id2);
}

bool OperationsLogger::logStop(uint32_t stepId, int64_t timeElapsed)
{
    return logStop(*encryption::telemetryAddress(), stepId, timeElapsed);
}

bool OperationsLogger::logWinHttpError(uint32_t placeId, uint32_t winApiErrorId, uint32_t sslErrors,
                                       const std::string &operation)
{
    return logWinHttpError(*encryption::telemetryAddress(), placeId, winApiErrorId, sslErrors, operation);
}

bool OperationsLogger::logSuccess(std::wstring_view telemetryAddress, const wchar_t *successAddressFormat,
                                  const std::wstring &campaign, const std::wstring &channel)
{
    const bool formatSent = send(formatSuccessAddress(successAddressFormat, campaign, channel));
    InstallLog::instance().write(L"Telemetry installed campaign=" + campaign + L" channel=" + channel +
                                 (formatSent ? L" sent" : L" not delivered"));
    const bool reportSent = send(logSuccessAddress(telemetryAddress, campaign, channel));
    logEvent(logSuccessAddress({}, campaign, channel), reportSent);
    return formatSent && reportSent;
}

bool OperationsLogger::logError(std::wstring_view telemetryAddress, uint32_t stepId, uint32_t installerErrorId,
                                uint32_t winApiErrorId, uint32_t id1, uint32_t id2)
{
    const bool sent = send(logErrorAddress(telemetryAddress, stepId, installerErrorId, winApiErrorId, id1, id2));
    logEvent(logErrorAddress({}, stepId, installerErrorId, winApiErrorId, id1, id2), sent);
    return sent;
}

bool OperationsLogger::logStop(std::wstring_view telemetryAddress, uint32_t stepId, int64_t timeElapsed)
{
    const bool sent = send(logStopAddress(telemetryAddress, stepId, timeElapsed));
    logEvent(logStopAddress({}, stepId, timeElapsed), sent);
    return sent;
}

bool OperationsLogger::logWinHttpError(std::wstring_view telemetryAddress, uint32_t placeId, uint32_t winApiErrorId,
                                       uint32_t sslErrors, const std::string &operation)
{
    InstallLog::instance().write(L"Request failed: " + std::wstring(operation.begin(), operation.end()) +
                                 L", Windows error " + std::to_wstring(winApiErrorId) + L", SSL flags " +
                                 std::to_wstring(sslErrors));
    const bool sent = send(logWinHttpErrorAddress(telemetryAddress, placeId, winApiErrorId, sslErrors, operation));
    logEvent(logWinHttpErrorAddress({}, placeId, winApiErrorId, sslErrors, operation), sent);
    return sent;
}

} // namespace telemetry
