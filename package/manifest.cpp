#include "package/manifest.h"

#include "package/installErrors.h"
#include "package/manifestParsing.h"
#include "package/requestSettings.h"
#include "telemetry/OperationsLogger.h"
#include "win32lib/encryption/protectedStrings.h"
#include "win32lib/http/HttpClient.h"
#include "win32lib/http/certificatePins.h"
#include "win32lib/wordSize.h"

#include <vector>

namespace package {

namespace {

using win32lib::encryption::TransientWString;
using win32lib::http::HttpClient;

constexpr uint32_t kManifestPlace = 1;

// Whether the probe address, on the installation server's host, answers at
// all. WinHTTP's default time-outs apply.
bool probeConnectivity(const ManifestServer &server)
{
    HttpClient probe(TransientWString(server.probeUserAgent).get());
    win32lib::http::pinConfiguredCertificates(probe);
    std::vector<uint8_t> discarded;
    return probe.getToBuffer(TransientWString(server.probeAddress).get(), discarded);
}

} // namespace

uint16_t fetchUpdateInfo(UpdateInfo &info)
{
    namespace protectedStrings = win32lib::encryption;
    const auto manifestAddress = protectedStrings::manifestAddress();
    const auto probeAddress = protectedStrings::probeAddress();
    const auto probeUserAgent = protectedStrings::probeUserAgent();
    const auto telemetryAddress = protectedStrings::telemetryAddress();
    return fetchUpdateInfoFrom(info, {*manifestAddress, *probeAddress, *probeUserAgent, *telemetryAddress});
}

uint16_t fetchUpdateInfoFrom(UpdateInfo &info, const ManifestServer &server)
{
    info.errorCode = 0;
    info.sslErrors = 0;

    HttpClient client(kInstallerUserAgent);
    win32lib::http::pinConfiguredCertificates(client);
    // Failing to set them leaves WinHTTP's defaults; the request still runs.
    (void)client.setTimeouts(kRequestTimeouts);
    std::vector<uint8_t> body;
    if (!client.getToBuffer(TransientWString(server.manifestAddress).get(), body)) {
        info.errorCode = client.errorCode();
        info.sslErrors = client.sslErrors();
        const std::string failedOperation = client.failedOperation();
        const bool connected = probeConnectivity(server);
        telemetry::OperationsLogger::instance().logWinHttpError(server.telemetryAddress, kManifestPlace, info.errorCode,
                                                                info.sslErrors, failedOperation);
        // The server's host answering the probe while the manifest request
        // failed points at the user's connection (proxy, filter, TLS
        // interception): 20011 asks to check it. No answer at all means the
        // server is unreachable: 20022.
        return connected ? kErrorInternetConnection : kErrorServerUnreachable;
    }

    const uint16_t statusResult = fromHttpStatus(client.statusCode());
    if (statusResult != kInstallOk) {
        return statusResult;
    }
    return readManifest(std::span<const char>(reinterpret_cast<const char *>(body.data()), body.size()),
                        win32lib::isWindows64Bit(), info);
}

} // namespace package
