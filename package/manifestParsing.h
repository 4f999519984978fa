#pragma once

// The manifest's content rules, apart from the request that fetches it.

#include "package/UpdateInfo.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace package {

// All fields present and well formed: the version as up to four
// dot-separated numbers, both package addresses accepted by WinHttpCrackUrl,
// the size as digits with an optional unit KB, MB or GB (any case).
[[nodiscard]] bool validateManifestFields(const std::wstring &lastVersion, const std::wstring &x32,
                                          const std::wstring &x64, const std::wstring &minSize);

// Bytes named by a validated size text. Carried in 64 bits, so "4GB" is
// 4 GiB rather than wrapping to 0; values beyond 64 bits saturate.
[[nodiscard]] uint64_t parseMinSize(const std::wstring &minSize);

// A package hash as the manifest writes it.
using win32lib::encryption::parseSha256Text;

// Parses the manifest body (any encoding pugixml detects) and, when it is
// valid, fills lastVersion, downloadUrl (x64 entry when `windows64`, else
// x32), minSize and the chosen entry's "sha256" attribute when it has one.
// An attribute present on either entry must be a valid hash. Returns 0 or
// 20021; a failure leaves `info` untouched.
[[nodiscard]] uint16_t readManifest(std::span<const char> body, bool windows64, UpdateInfo &info);

} // namespace package
