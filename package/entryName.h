#pragma once

#include <string>
#include <string_view>

namespace package {

// '\\' and '/' both separate the segments of an entry name.
[[nodiscard]] bool isEntrySeparator(wchar_t character) noexcept;

// Archive entries whose names end with a separator are folders.
[[nodiscard]] bool isDirectoryEntry(std::wstring_view name) noexcept;

// True when joining the name to the destination folder cannot leave it: not
// empty, no root, drive, UNC or device prefix, no ':' (drives, alternate data
// streams), no control character, no segment ending in a dot or a space
// (Windows trims them, so ".. " and "..." resolve like "..", and "a." names
// "a") and no device name ("NUL", "COM1.txt") that Windows would open
// instead of a file.
[[nodiscard]] bool isSafeEntryName(std::wstring_view name) noexcept;

// Entry name bytes to wide characters: UTF-8 when the entry says so (general
// purpose flag bit 11), otherwise the system ANSI code page. Invalid bytes
// fail the conversion; the Windows error is then the thread's last error.
[[nodiscard]] bool convertEntryName(std::string_view bytes, bool utf8, std::wstring &name);

} // namespace package
