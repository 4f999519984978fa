#include "installer/handoffRecord.h"

#include <algorithm>

namespace installer {

namespace {

// The program's wide text holds UTF-16 units, one per wchar_t.
template <size_t N> bool writeText(const std::wstring &text, char16_t (&field)[N])
{
    if (text.size() >= N) {
        return false;
    }
    std::transform(text.begin(), text.end(), field, [](wchar_t unit) { return static_cast<char16_t>(unit); });
    field[text.size()] = u'\0';
    return true;
}

template <size_t N> size_t textLength(const char16_t (&field)[N], size_t limit)
{
    return static_cast<size_t>(std::find(field, field + std::min(N, limit), u'\0') - field);
}

template <size_t N> bool readText(const char16_t (&field)[N], std::wstring &text)
{
    const size_t length = textLength(field, N);
    if (length == N) {
        return false;
    }
    text.assign(field, field + length);
    return true;
}

} // namespace

void writeRecordPath(const std::wstring &path, char16_t (&field)[kHandoffPathCapacity])
{
    static_cast<void>(writeText(path.substr(0, kHandoffPathCapacity - 1), field));
}

std::wstring readRecordPath(const char16_t (&field)[kHandoffPathCapacity])
{
    return std::wstring(field, field + textLength(field, kHandoffPathCapacity - 1));
}

bool handoffRecordFormIsValid(const ElevationHandoff &handoff)
{
    return textLength(handoff.destination, kHandoffPathCapacity) < kHandoffPathCapacity &&
           handoff.startWhenFinished <= 1 && handoff.createDesktopShortcut <= 1;
}

ProxyHandoff makeProxyHandoff(const win32lib::http::ProxySettings &settings)
{
    ProxyHandoff handoff = {};
    if (!win32lib::http::areValidProxySettings(settings) || !writeText(settings.pacUrl, handoff.pacUrl) ||
        !writeText(settings.proxy, handoff.proxy) || !writeText(settings.bypass, handoff.bypass)) {
        return ProxyHandoff{};
    }
    handoff.autoDetect = settings.autoDetect ? 1 : 0;
    return handoff;
}

bool readProxyHandoff(const ProxyHandoff &handoff, win32lib::http::ProxySettings &settings)
{
    win32lib::http::ProxySettings read;
    if (handoff.autoDetect > 1 || handoff.reserved[0] != 0 || handoff.reserved[1] != 0 || handoff.reserved[2] != 0 ||
        !readText(handoff.pacUrl, read.pacUrl) || !readText(handoff.proxy, read.proxy) ||
        !readText(handoff.bypass, read.bypass)) {
        return false;
    }
    read.autoDetect = handoff.autoDetect == 1;
    if (!win32lib::http::areValidProxySettings(read)) {
        return false;
    }
    settings = std::move(read);
    return true;
}

} // namespace installer
