#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace installer {

// Install error ids: 0 is success, the rest name how a run ended.
enum InstallError : uint16_t {
    kInstallOk = 0,
    kErrorCreateDestination = 20001,
    kErrorDestinationNotEmpty = 20002,
    kErrorDestinationNotWritable = 20003,
    kErrorNoFreeSpace = 20004,
    kErrorDiskWrite = 20005,
    kErrorCreatePackage = 20006,
    kErrorInternetConnection = 20011,
    kErrorDownloadInterrupted = 20012,
    kErrorHttpStatus = 20020,
    kErrorBadManifest = 20021,
    kErrorServerUnreachable = 20022,
    kErrorOutdatedInstaller = 20023,
    kErrorServerBusy = 20024,
    kErrorDecodeBody = 20025,
    kErrorArchive = 20040,
    kErrorStartUpdater = 20060,
    kErrorUpdaterFailed = 20061,
    kErrorCancelled = 20100,
    kErrorAlreadyInstalled = 20103,
    kErrorWrongWordSize = 20104,
};

// Formatted texts are cut to this many characters.
constexpr size_t kErrorTextLimit = 1023;

struct ErrorTexts {
    std::wstring title;
    std::wstring text;
    // Host name of the distribution web site, shown as a link to it.
    std::optional<std::wstring> linkHost;
};

// Title and text of the error page for an error record {id, value}; nullopt
// for ids the page does not show (the page keeps its texts).
[[nodiscard]] std::optional<ErrorTexts> errorTexts(uint16_t id, int64_t value, const std::wstring &destination);

// The amount of 20004's text: whole megabytes, at least one.
[[nodiscard]] std::wstring requiredSpaceText(int64_t bytes);

} // namespace installer
