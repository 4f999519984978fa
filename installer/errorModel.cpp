#include "installer/errorModel.h"

#include "app/strings.h"
#include "installer/errorPages.h"
#include "installer/fileSystem.h"
#include "kestrune/config.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <iterator>
#include <utility>
#include <vector>

namespace installer {
namespace {

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
    const auto page = std::find_if(std::begin(kErrorPages), std::end(kErrorPages),
                                   [id](const ErrorPage &candidate) { return candidate.id == id; });
    if (page == std::end(kErrorPages)) {
        return std::nullopt;
    }
    // The codes print in hex as the 32-bit values Windows gives them.
    const auto code = static_cast<unsigned>(value);
    std::wstring title = app::loadString(page->titleId);
    switch (page->format) {
    case ErrorTextFormat::kPlain:
        return ErrorTexts{std::move(title), app::loadString(page->textId), std::nullopt};
    case ErrorTextFormat::kWithCode:
        return ErrorTexts{std::move(title), format(page->textId, code), std::nullopt};
    case ErrorTextFormat::kWithIdAndCode:
        return ErrorTexts{std::move(title), format(page->textId, static_cast<unsigned>(id), code), std::nullopt};
    case ErrorTextFormat::kWithDestination:
        return ErrorTexts{std::move(title), format(page->textId, destination.c_str()), std::nullopt};
    case ErrorTextFormat::kWithCodeAndDestination:
        return ErrorTexts{std::move(title), format(page->textId, code, destination.c_str()), std::nullopt};
    case ErrorTextFormat::kWithSpaceAndDrive:
        return ErrorTexts{std::move(title),
                          format(page->textId, requiredSpaceText(value).c_str(), driveText(destination).c_str()),
                          std::nullopt};
    case ErrorTextFormat::kWithDriveAndCode:
        return ErrorTexts{std::move(title), format(page->textId, driveText(destination).c_str(), code), std::nullopt};
    case ErrorTextFormat::kWithSiteLink:
        return ErrorTexts{std::move(title), format(page->textId, KESTRUNE_SITE_HOST), std::wstring(KESTRUNE_SITE_HOST)};
    }
    return std::nullopt;
}

} // namespace installer
