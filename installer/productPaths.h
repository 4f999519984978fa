#pragma once

// Names and places of the installed product, shared by the installer and the
// stand-in product under sample/.

#include <windows.h>

#include <string>

namespace installer {

inline constexpr wchar_t kProductName[] = L"Kestrune";
// The destination's own folder, the last part of every destination the
// installer forms itself (under Program Files or a folder chosen with Browse).
inline constexpr wchar_t kVendorFolder[] = L"Kestrune Software";
inline constexpr wchar_t kPublisher[] = L"Kestrune Team";
inline constexpr wchar_t kUpdaterFolder[] = L"Update";
inline constexpr wchar_t kUpdaterFile[] = L"KestruneUpdater.exe";
inline constexpr wchar_t kLauncherFile[] = L"KestruneLauncher.exe";
inline constexpr wchar_t kUninstallerFile[] = L"Uninstall.exe";
inline constexpr wchar_t kShortcutFile[] = L"Kestrune.lnk";

inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrune";
inline constexpr wchar_t kVendorKey[] = L"Software\\Kestrune Software\\Kestrune";
inline constexpr wchar_t kVendorParentKey[] = L"Software\\Kestrune Software";
inline constexpr wchar_t kCampaignValue[] = L"AdCampaignId";

inline std::wstring productFolder(const std::wstring &destination)
{
    return destination + L"\\" + kProductName;
}

inline std::wstring launcherPath(const std::wstring &destination)
{
    return productFolder(destination) + L"\\" + kLauncherFile;
}

inline std::wstring updaterPath(const std::wstring &destination)
{
    return destination + L"\\" + kUpdaterFolder + L"\\" + kUpdaterFile;
}

inline std::wstring uninstallerPath(const std::wstring &destination, const std::wstring &version)
{
    return productFolder(destination) + L"\\" + version + L"\\" + kUninstallerFile;
}

} // namespace installer
