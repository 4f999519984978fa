#include "framework/resources/colourManagement.h"

#include "win32lib/UniqueResource.h"

#include <windows.h>
#include <icm.h>

#include <algorithm>
#include <vector>

namespace framework::resources {

namespace {

// The headers spell these as multi-character constants ('mntr', 'sRGB').
constexpr DWORD kClassMonitor = 0x6D6E7472;
constexpr DWORD kSrgbColourSpace = 0x73524742;

struct ColourProfileTraits {
    using pointer = HPROFILE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::CloseColorProfile(value); }
};
using UniqueColourProfile = win32lib::UniqueResource<ColourProfileTraits>;

struct ColourTransformTraits {
    using pointer = HTRANSFORM;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::DeleteColorTransform(value); }
};
using UniqueColourTransform = win32lib::UniqueResource<ColourTransformTraits>;

std::optional<std::wstring> inColourDirectory(const std::wstring &fileName)
{
    DWORD size = 0;
    ::GetColorDirectoryW(nullptr, nullptr, &size);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<wchar_t> directory(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(directory.size() * sizeof(wchar_t));
    if (!::GetColorDirectoryW(nullptr, directory.data(), &size)) {
        return std::nullopt;
    }
    return std::wstring(directory.data()) + L"\\" + fileName;
}

std::optional<std::wstring> primaryMonitorInterfaceName()
{
    DISPLAY_DEVICEW adapter = {};
    adapter.cb = sizeof(adapter);
    constexpr DWORD kPrimaryAttached = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP | DISPLAY_DEVICE_PRIMARY_DEVICE;
    for (DWORD i = 0; ::EnumDisplayDevicesW(nullptr, i, &adapter, EDD_GET_DEVICE_INTERFACE_NAME); ++i) {
        if ((adapter.StateFlags & kPrimaryAttached) != kPrimaryAttached) {
            continue;
        }
        DISPLAY_DEVICEW monitor = {};
        monitor.cb = sizeof(monitor);
        constexpr DWORD kActiveAttached = DISPLAY_DEVICE_ACTIVE | DISPLAY_DEVICE_ATTACHED;
        for (DWORD j = 0; ::EnumDisplayDevicesW(adapter.DeviceName, j, &monitor, EDD_GET_DEVICE_INTERFACE_NAME); ++j) {
            if ((monitor.StateFlags & kActiveAttached) == kActiveAttached) {
                return std::wstring(monitor.DeviceID);
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

UniqueColourProfile openProfile(const std::wstring &path)
{
    PROFILE profile = {};
    profile.dwType = PROFILE_FILENAME;
    profile.pProfileData = const_cast<wchar_t *>(path.c_str());
    profile.cbDataSize = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
    return UniqueColourProfile(::OpenColorProfileW(&profile, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING));
}

} // namespace

std::optional<std::wstring> monitorProfilePath()
{
    const auto device = primaryMonitorInterfaceName();
    if (!device) {
        return std::nullopt;
    }
    BOOL perUser = FALSE;
    const WCS_PROFILE_MANAGEMENT_SCOPE scope =
        ::WcsGetUsePerUserProfiles(device->c_str(), kClassMonitor, &perUser) && perUser
            ? WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER
            : WCS_PROFILE_MANAGEMENT_SCOPE_SYSTEM_WIDE;
    DWORD size = 0;
    if (!::WcsGetDefaultColorProfileSize(scope, device->c_str(), CPT_ICC, CPST_RGB_WORKING_SPACE, 0, &size) ||
        size == 0) {
        return std::nullopt;
    }
    std::vector<wchar_t> name(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WcsGetDefaultColorProfile(scope, device->c_str(), CPT_ICC, CPST_RGB_WORKING_SPACE, 0,
                                     static_cast<DWORD>(name.size() * sizeof(wchar_t)), name.data()) ||
        name[0] == L'\0') {
        return std::nullopt;
    }
    return inColourDirectory(name.data());
}

bool convertColours(const uint32_t *source, uint32_t *destination, size_t count)
{
    if (source == nullptr || destination == nullptr || count == 0) {
        return false;
    }
    const auto monitorPath = monitorProfilePath();
    if (!monitorPath) {
        return false;
    }
    DWORD size = 0;
    ::GetStandardColorSpaceProfileW(nullptr, kSrgbColourSpace, nullptr, &size);
    if (size == 0) {
        return false;
    }
    std::vector<wchar_t> srgbName(size / sizeof(wchar_t) + 1, L'\0');
    if (!::GetStandardColorSpaceProfileW(nullptr, kSrgbColourSpace, srgbName.data(), &size)) {
        return false;
    }
    // The call may already answer with a full path.
    std::optional<std::wstring> srgbPath = std::wstring(srgbName.data());
    if (srgbPath->find(L'\\') == std::wstring::npos) {
        srgbPath = inColourDirectory(*srgbPath);
    }
    if (!srgbPath) {
        return false;
    }
    UniqueColourProfile srgb = openProfile(*srgbPath);
    UniqueColourProfile monitor = openProfile(*monitorPath);
    if (!srgb || !monitor) {
        return false;
    }
    HPROFILE profiles[] = {srgb.get(), monitor.get()};
    DWORD intent = 0xFFFFFFFF;
    UniqueColourTransform transform(
        ::CreateMultiProfileTransform(profiles, 2, &intent, 1, NORMAL_MODE, INDEX_DONT_CARE));
    if (!transform) {
        return false;
    }
    std::vector<uint32_t> converted(count);
    if (!::TranslateBitmapBits(transform.get(), const_cast<uint32_t *>(source), BM_xRGBQUADS, static_cast<DWORD>(count),
                               1, 0, converted.data(), BM_xRGBQUADS, 0, nullptr, 0)) {
        return false;
    }
    std::copy(converted.begin(), converted.end(), destination);
    return true;
}

} // namespace framework::resources
