// The hand-off mapping as the elevated copy reads it: the record of the
// pages' choices and the proxy settings after it. Input shorter than the
// mapping leaves the rest zero, as a fresh mapping is.

#include "installer/handoffRecord.h"
#include "tests/fuzz/fuzzInput.h"

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace installer;
    using win32lib::http::ProxySettings;
    HandoffMapping mapping;
    std::memset(&mapping, 0, sizeof(mapping));
    std::memcpy(&mapping, data, std::min(size, sizeof(mapping)));

    const std::wstring destination = readRecordPath(mapping.record.destination);
    fuzz::expect(destination.size() < kHandoffPathCapacity, "the path stays inside its field");
    fuzz::expect(destination.find(L'\0') == std::wstring::npos, "the path ends at its terminator");
    if (handoffRecordFormIsValid(mapping.record)) {
        fuzz::expect(mapping.record.startWhenFinished <= 1 && mapping.record.createDesktopShortcut <= 1,
                     "flags 0 or 1");
    }
    ElevationHandoff rewritten = {};
    writeRecordPath(destination, rewritten.destination);
    fuzz::expect(readRecordPath(rewritten.destination) == destination, "a path read is written alike");

    ProxySettings settings;
    settings.proxy = L"untouched:1";
    if (!readProxyHandoff(mapping.proxy, settings)) {
        fuzz::expect(settings.proxy == L"untouched:1", "a refused record leaves the settings alone");
        return 0;
    }
    fuzz::expect(win32lib::http::areValidProxySettings(settings), "settings read follow the rules");
    ProxySettings again;
    fuzz::expect(readProxyHandoff(makeProxyHandoff(settings), again) && again == settings,
                 "settings read are handed over alike");
    for (const wchar_t *scheme : {L"http", L"https"}) {
        const std::wstring proxy = win32lib::http::proxyForScheme(settings.proxy, scheme);
        fuzz::expect(proxy.empty() || win32lib::http::isValidProxyName(proxy), "a chosen proxy is valid");
    }
    static_cast<void>(win32lib::http::isBypassed(L"downloads.example.com", settings.bypass));
    static_cast<void>(win32lib::http::isBypassed(L"localhost", settings.bypass));
    return 0;
}
