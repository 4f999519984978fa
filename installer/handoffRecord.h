#pragma once

// The records one instance leaves another in a named mapping, laid out to the
// byte: both builds of one version, and the installed updater, read them.
// Texts are UTF-16 in char16_t fields, so that the layout and its reading
// are the same C++ on every compiler (the parsers' fuzz targets build them
// where wchar_t has 32 bits).

#include "win32lib/http/proxyRules.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace installer {

// Both records hold a path of at most 259 characters plus its terminator
// (MAX_PATH).
constexpr size_t kHandoffPathCapacity = 260;

// The pages' choices and the window's place.
struct ElevationHandoff {
    char16_t destination[kHandoffPathCapacity];
    uint8_t startWhenFinished;
    uint8_t createDesktopShortcut;
    uint8_t reserved[2];
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
static_assert(sizeof(ElevationHandoff) == 540);
static_assert(offsetof(ElevationHandoff, destination) == 0);
static_assert(offsetof(ElevationHandoff, startWhenFinished) == 520);
static_assert(offsetof(ElevationHandoff, createDesktopShortcut) == 521);
static_assert(offsetof(ElevationHandoff, reserved) == 522);
static_assert(offsetof(ElevationHandoff, left) == 524);
static_assert(offsetof(ElevationHandoff, bottom) == 536);

// The run's proxy settings as the starting instance found them, right after
// the record: the elevated copy routes as the user who started the installer
// does, also when another account elevates it. Each text is terminated inside
// its field.
struct ProxyHandoff {
    uint8_t autoDetect;
    uint8_t reserved[3];
    char16_t pacUrl[win32lib::http::kMaxPacUrlChars + 1];
    char16_t proxy[win32lib::http::kMaxProxyListChars + 1];
    char16_t bypass[win32lib::http::kMaxBypassChars + 1];
};

// What the hand-off mapping holds: both builds of one version share it.
struct HandoffMapping {
    ElevationHandoff record;
    ProxyHandoff proxy;
};
static_assert(offsetof(HandoffMapping, proxy) == sizeof(ElevationHandoff));

struct UpdaterRecord {
    char16_t destination[kHandoffPathCapacity];
};
static_assert(sizeof(UpdaterRecord) == 520);

// Writes `path` cut to 259 characters and its terminator into `field`.
void writeRecordPath(const std::wstring &path, char16_t (&field)[kHandoffPathCapacity]);

// The path of a record's field up to its terminator, or its first 259
// characters when it has none: never read past the field.
[[nodiscard]] std::wstring readRecordPath(const char16_t (&field)[kHandoffPathCapacity]);

// The record's form may be resumed: the destination is terminated inside its
// field and each flag is 0 or 1. The destination itself is checked apart.
[[nodiscard]] bool handoffRecordFormIsValid(const ElevationHandoff &handoff);

// Settings that break the proxy rules give an all-zero part (go direct).
[[nodiscard]] ProxyHandoff makeProxyHandoff(const win32lib::http::ProxySettings &settings);
// False, leaving `settings` alone, when a text is not terminated inside its
// field, the flag is other than 0 or 1, a reserved byte is set, or the
// settings break the proxy rules (win32lib::http::areValidProxySettings).
[[nodiscard]] bool readProxyHandoff(const ProxyHandoff &handoff, win32lib::http::ProxySettings &settings);

} // namespace installer
