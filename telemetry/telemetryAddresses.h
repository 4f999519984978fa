#pragma once

// The addresses of the telemetry reports: the event name and its values in
// the query, appended to the telemetry base address. Numbers in decimal,
// texts as they are (no percent-encoding). The addresses carry the protected
// base address, so they are kept in wiping strings.

#include "win32lib/encryption/SecureAllocator.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace telemetry {

[[nodiscard]] win32lib::encryption::SecureWString logSuccessAddress(std::wstring_view base, std::wstring_view campaign,
                                                                    std::wstring_view channel);
[[nodiscard]] win32lib::encryption::SecureWString logErrorAddress(std::wstring_view base, uint32_t stepId,
                                                                  uint32_t installerErrorId, uint32_t winApiErrorId,
                                                                  uint32_t id1, uint32_t id2);
[[nodiscard]] win32lib::encryption::SecureWString logStopAddress(std::wstring_view base, uint32_t stepId,
                                                                 int64_t timeElapsed);
// The operation name is widened character by character.
[[nodiscard]] win32lib::encryption::SecureWString logWinHttpErrorAddress(std::wstring_view base, uint32_t placeId,
                                                                         uint32_t winApiErrorId, uint32_t sslErrors,
                                                                         std::string_view operation);

// The success address format (two %ls) filled with the two identifiers;
// empty when the format cannot be applied.
[[nodiscard]] win32lib::encryption::SecureWString
formatSuccessAddress(const wchar_t *format, const std::wstring &campaign, const std::wstring &channel);

// Major, minor, service-pack major and minor, build number, suite mask and
// product type, as GetVersionExW reports them.
using OsNumbers = std::array<int, 7>;

// The product token, followed by " (" the seven numbers ")" when known.
[[nodiscard]] std::wstring formatUserAgent(std::wstring_view productToken, const std::optional<OsNumbers> &os);

// formatUserAgent with the build's product token and this system's numbers.
[[nodiscard]] std::wstring makeUserAgent();

} // namespace telemetry
