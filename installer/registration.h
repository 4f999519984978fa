#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace installer {

// Both create the key when missing; access is KEY_WRITE plus `extraAccess`.
[[nodiscard]] bool writeStringValue(HKEY root, const wchar_t *subKey, const wchar_t *valueName,
                                    const std::wstring &text, REGSAM extraAccess);
[[nodiscard]] bool writeDwordValue(HKEY root, const wchar_t *subKey, const wchar_t *valueName, DWORD value,
                                   REGSAM extraAccess);

// The uninstall entry of the product installed in `destination`; true when
// every value was written (each one is attempted).
[[nodiscard]] bool writeUninstallEntry(const std::wstring &destination, const std::wstring &version);

// AdCampaignId under the vendor key, from the program's resource 110; nothing
// is written when the resource does not load.
[[nodiscard]] bool writeCampaignValue();

// Start-menu shortcut, and the public desktop one when asked for; true when
// every shortcut attempted was saved.
[[nodiscard]] bool createShortcuts(const std::wstring &destination, bool createDesktopShortcut);

[[nodiscard]] HRESULT createShellLink(const std::wstring &target, const std::wstring &workingFolder,
                                      const std::wstring &description, const std::wstring &linkPath);

// "YYYYMMDD"; empty when the date cannot be formatted.
[[nodiscard]] std::wstring formatInstallDate(const SYSTEMTIME &date);

// Kilobytes for EstimatedSize, held at the largest DWORD instead of wrapping.
[[nodiscard]] DWORD estimatedSizeInKilobytes(uint64_t bytes) noexcept;

// The launcher path as shortcuts store it: paths of MAX_PATH characters or
// more get the long-path prefix, and their short form when one exists.
[[nodiscard]] std::wstring shortcutTarget(const std::wstring &launcher);

} // namespace installer
