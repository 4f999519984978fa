#pragma once

// The installation server's certificates pinned into a build: "host=digest"
// entries, where the digest is the SHA-256 of the DER-encoded certificate in
// 64 hex digits, separated by ';' (a CMake list). Several entries for one
// host accept any of their certificates, which lets a renewal overlap.
// Portable C++: the parser is fuzzed on the build machine.

#include "win32lib/encryption/sha256Text.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32lib::http {

struct CertificatePin {
    std::wstring host;
    encryption::Sha256Digest digest;

    bool operator==(const CertificatePin &) const = default;
};

// Bounds of the configured text: a few certificates per server, and host
// names as DNS allows them. cmake/Configuration.cmake reads both to refuse
// the same malformed lists at configuration, so a build never holds one.
inline constexpr size_t kMaxCertificatePins = 16;
inline constexpr size_t kMaxPinnedHostLength = 253;

// The pins of `text`; empty text gives no pins. Nothing when any entry is
// malformed (empty, no '=', a host with other characters than letters,
// digits, '.' and '-', a digest that is not 64 hex digits) or when there
// are more than kMaxCertificatePins entries.
[[nodiscard]] std::optional<std::vector<CertificatePin>> parseCertificatePins(std::wstring_view text);

} // namespace win32lib::http
