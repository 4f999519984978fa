#pragma once

#include <cstdint>

// The engine's install error ids, kept below the engine because the manifest,
// download and extraction steps return them too.
namespace installer {

// Install error ids: 0 is success, the rest name how a run ended. The
// refusals to start (already installed, wrong word size) are exit codes only.
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
};

} // namespace installer
