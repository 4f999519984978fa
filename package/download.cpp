#include "package/download.h"

#include "package/downloadPolicy.h"
#include "package/installErrors.h"
#include "package/requestSettings.h"
#include "telemetry/OperationsLogger.h"
#include "win32lib/encryption/Sha256.h"
#include "win32lib/encryption/protectedStrings.h"
#include "win32lib/http/HttpClient.h"
#include "win32lib/http/certificatePins.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <optional>

namespace package {

namespace {

constexpr uint32_t kDiskFull = 112;          // ERROR_DISK_FULL
constexpr uint32_t kTimeout = 12002;         // ERROR_WINHTTP_TIMEOUT
constexpr uint32_t kNameNotResolved = 12007; // ERROR_WINHTTP_NAME_NOT_RESOLVED
constexpr uint32_t kConnectionError = 12030; // ERROR_WINHTTP_CONNECTION_ERROR
constexpr uint32_t kUndecodable = 65001;
constexpr uint32_t kCancelledByCallback = 65002;
constexpr uint32_t kLengthMismatch = 65003;

constexpr uint32_t kInvalidData = 13; // ERROR_INVALID_DATA

constexpr unsigned kAttempts = 2;
constexpr uint32_t kDownloadPlace = 2;

// Whether the stored package is the one the manifest named. Hashing that
// could not be done counts as a mismatch: nothing unverified is unpacked.
bool packageMatches(const UpdateInfo &info, win32lib::encryption::Sha256 &hash)
{
    win32lib::encryption::Sha256Digest digest = {};
    return hash.finish(digest) && digest == info.packageSha256;
}

} // namespace

DownloadFailure classifyDownloadFailure(std::string_view failedOperation, uint32_t errorCode, bool firstAttempt,
                                        bool resumable) noexcept
{
    const bool cutInBody = errorCode == kLengthMismatch ||
                           ((failedOperation == "WinHttpReadData" || failedOperation == "WinHttpQueryDataAvailable") &&
                            errorCode != kDiskFull);
    if (resumable && firstAttempt && cutInBody) {
        return {true, 0};
    }
    if (failedOperation == "CreateFile") {
        return {false, kErrorCreatePackage};
    }
    if (failedOperation == "WriteFile") {
        return {false, kErrorDiskWrite};
    }
    switch (errorCode) {
    case kDiskFull:
        return {false, kErrorNoFreeSpace};
    case kTimeout:
    case kNameNotResolved:
    case kConnectionError:
        return firstAttempt ? DownloadFailure{true, 0} : DownloadFailure{false, kErrorInternetConnection};
    case kUndecodable:
        return {false, kErrorDecodeBody};
    case kCancelledByCallback:
        return {false, kErrorCancelled};
    case kLengthMismatch:
        return {false, kErrorDownloadInterrupted};
    default:
        return {false, kErrorInternetConnection};
    }
}

uint16_t downloadPackage(UpdateInfo &info, const std::wstring &packagePath,
                         const win32lib::http::ProgressCallback &progress)
{
    const auto telemetryAddress = win32lib::encryption::telemetryAddress();
    return downloadPackageReportingTo(info, packagePath, progress, *telemetryAddress);
}

uint16_t downloadPackageReportingTo(UpdateInfo &info, const std::wstring &packagePath,
                                    const win32lib::http::ProgressCallback &progress,
                                    std::wstring_view telemetryAddress)
{
    win32lib::http::HttpClient client(kInstallerUserAgent);
    win32lib::http::pinConfiguredCertificates(client);
    // Failing to set them leaves WinHTTP's defaults; the transfer still runs.
    (void)client.setTimeouts(kRequestTimeouts);
    const std::wstring url = info.downloadUrl;
    // One file and one hash for both attempts: a resumed body continues both,
    // a body that starts over restarts both.
    win32lib::http::ResumableTransfer transfer;
    std::optional<win32lib::encryption::Sha256> hash;
    win32lib::http::BodyObserver written;
    if (info.hasPackageSha256) {
        hash.emplace();
        // A failed update is remembered by the hash: its finish fails.
        written = [&hash](const uint8_t *bytes, std::size_t length) { (void)hash->update(bytes, length); };
        transfer.restarted = [&hash] { hash.emplace(); };
    }
    for (unsigned attempt = 1; attempt <= kAttempts; ++attempt) {
        info.errorCode = 0;
        info.sslErrors = 0;
        if (client.getToFileResuming(url, packagePath, transfer, progress, written)) {
            const int32_t status = transfer.resumed && client.statusCode() == 206 ? 200 : client.statusCode();
            const uint16_t statusResult = fromHttpStatus(status);
            if (statusResult != kInstallOk || !info.hasPackageSha256 || packageMatches(info, *hash)) {
                return statusResult;
            }
            // A complete transfer of other bytes than announced: altered on
            // the way or on the mirror. Sending it again would not help.
            ::DeleteFileW(packagePath.c_str());
            info.errorCode = kInvalidData;
            return kErrorDownloadInterrupted;
        }
        info.errorCode = client.errorCode();
        info.sslErrors = client.sslErrors();
        const std::string failedOperation = client.failedOperation();
        if (info.errorCode != kCancelledByCallback) {
            telemetry::OperationsLogger::instance().logWinHttpError(telemetryAddress, kDownloadPlace, info.errorCode,
                                                                    info.sslErrors, failedOperation);
        }
        const DownloadFailure failure =
            classifyDownloadFailure(failedOperation, info.errorCode, attempt == 1, transfer.canResume());
        if (!failure.retry) {
            transfer.discard();
            return failure.installError;
        }
    }
    transfer.discard();
    return kErrorInternetConnection;
}

std::wstring makeRandomName(unsigned length)
{
    static constexpr wchar_t kAlphabet[] = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    constexpr unsigned kAlphabetSize = 62;
    static_assert(std::size(kAlphabet) == kAlphabetSize + 1);
    // Bytes from this many up would favour the first letters of the alphabet.
    constexpr unsigned kUnbiasedLimit = 256 - 256 % kAlphabetSize;
    // The last of the `length` characters is the terminator.
    std::wstring name;
    std::array<uint8_t, 64> bytes;
    while (name.size() + 1 < length) {
        if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                              BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            return {};
        }
        for (const uint8_t byte : bytes) {
            if (byte < kUnbiasedLimit && name.size() + 1 < length) {
                name.push_back(kAlphabet[byte % kAlphabetSize]);
            }
        }
    }
    return name;
}

} // namespace package
