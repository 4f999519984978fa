#pragma once

#include <windows.h>

#include <string>

namespace installer {

// Windows' ERROR_REPARSE_POINT_ENCOUNTERED, which MinGW's headers lack.
inline constexpr DWORD kErrorReparsePointEncountered = 4395;

// Whether a destination that came from outside this process (a record left
// by another instance, a command line) may be installed into: an absolute
// path shorter than MAX_PATH on a local fixed drive, not UNC, not a \\?\ or \\.\ path, with no
// segment ending in a dot or a space (so no "." or ".."), no character
// Windows refuses in names (so no alternate data stream), and no junction
// or link along the part of it that exists. ERROR_SUCCESS, or the Windows error that names the refusal:
// ERROR_BAD_PATHNAME for the form, ERROR_INVALID_DRIVE for a drive that is
// not fixed, kErrorReparsePointEncountered for a link.
[[nodiscard]] DWORD validateDestination(const std::wstring &destination);

// The form alone, without asking the system anything.
[[nodiscard]] bool destinationFormIsValid(const std::wstring &destination);

} // namespace installer
