#include "installer/errorModel.h"

#include "app/strings.h"
#include "installer/fileSystem.h"
#include "kestrune/config.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace installer {
namespace {

constexpr unsigned kTitleConnection = 400;
constexpr unsigned kTitleNoSpace = 402;
constexpr unsigned kTitleCreateDestination = 404;
constexpr unsigned kTitleNotEmpty = 406;
constexpr unsigned kTitleNotWritable = 408;
constexpr unsigned kTitleServerConnection = 410;
constexpr unsigned kTitleDiskWrite = 412;
constexpr unsigned kTitleDownload = 414;
constexpr unsigned kTitleArchive = 416;
constexpr unsigned kTitleUnexpected = 418;
constexpr unsigned kTitleOutdated = 420;
constexpr unsigned kTitleBusy = 422;

constexpr int64_t kBytesPerMegabyte = 1048576;

// printf rules on the catalogue's format texts, cut to kErrorTextLimit.
std::wstring format(unsigned formatId, ...)
{
    const std::wstring pattern = app::loadString(formatId);
    std::vector<wchar_t> buffer(kErrorTextLimit + 1);
    for (;;) {
        va_list arguments;
        va_start(arguments, formatId);
        const int written = std::vswprintf(buffer.data(), buffer.size(), pattern.c_str(), arguments);
        va_end(arguments);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size()) {
            std::wstring text(buffer.data(), static_cast<size_t>(written));
            if (text.size() > kErrorTextLimit) {
                text.resize(kErrorTextLimit);
            }
            return text;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring driveText(const std::wstring &destination)
{
    std::wstring drive;
    return driveOfPath(destination, drive) ? drive : std::wstring();
}

ErrorTexts plain(unsigned titleId)
{
    return {app::loadString(titleId), app::loadString(titleId + 1), std::nullopt};
}

ErrorTexts withCode(unsigned titleId, int64_t value)
{
    return {app::loadString(titleId), format(titleId + 1, static_cast<unsigned>(value)), std::nullopt};
}

ErrorTexts withIdAndCode(unsigned titleId, uint16_t id, int64_t value)
{
    return {app::loadString(titleId), format(titleId + 1, static_cast<unsigned>(id), static_cast<unsigned>(value)),
            std::nullopt};
}

ErrorTexts withDestination(unsigned titleId, const std::wstring &destination)
{
    return {app::loadString(titleId), format(titleId + 1, destination.c_str()), std::nullopt};
}

} // namespace

std::wstring requiredSpaceText(int64_t bytes)
{
    // The record carries the manifest's minimum size, or the Windows error
    // 112 when the disk filled up later; "0MB" would ask for nothing.
    uint64_t megabytes = static_cast<uint64_t>(bytes) / kBytesPerMegabyte;
    if (bytes < 0) {
        megabytes = 0;
    }
    if (megabytes == 0) {
        megabytes = 1;
    }
    return std::to_wstring(megabytes) + L"MB";
}

std::optional<ErrorTexts> errorTexts(uint16_t id, int64_t value, const std::wstring &destination)
{
    switch (id) {
    case kErrorCreateDestination:
        return ErrorTexts{app::loadString(kTitleCreateDestination),
                          format(kTitleCreateDestination + 1, static_cast<unsigned>(value), destination.c_str()),
                          std::nullopt};
    case kErrorDestinationNotEmpty:
        return withDestination(kTitleNotEmpty, destination);
    case kErrorDestinationNotWritable:
        return withDestination(kTitleNotWritable, destination);
    case kErrorNoFreeSpace:
        return ErrorTexts{app::loadString(kTitleNoSpace),
                          format(kTitleNoSpace + 1, requiredSpaceText(value).c_str(), driveText(destination).c_str()),
                          std::nullopt};
    case kErrorDiskWrite:
        return ErrorTexts{app::loadString(kTitleDiskWrite),
                          format(kTitleDiskWrite + 1, driveText(destination).c_str(), static_cast<unsigned>(value)),
                          std::nullopt};
    case kErrorInternetConnection:
        return withCode(kTitleConnection, value);
    case kErrorDownloadInterrupted:
        return plain(kTitleDownload);
    case kErrorCreatePackage:
    case kErrorHttpStatus:
    case kErrorBadManifest:
    case kErrorDecodeBody:
    case kErrorStartUpdater:
    case kErrorUpdaterFailed:
        return withIdAndCode(kTitleUnexpected, id, value);
    case kErrorServerUnreachable:
        return withIdAndCode(kTitleServerConnection, id, value);
    case kErrorOutdatedInstaller:
        return ErrorTexts{app::loadString(kTitleOutdated), format(kTitleOutdated + 1, KESTRUNE_SITE_HOST),
                          std::wstring(KESTRUNE_SITE_HOST)};
    case kErrorServerBusy:
        return plain(kTitleBusy);
    case kErrorArchive:
        return withCode(kTitleArchive, value);
    default:
        return std::nullopt;
    }
}

} // namespace installer
