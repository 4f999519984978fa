#pragma once

#include "installer/InstallFailure.h"

#include <cstdint>
#include <optional>
#include <string>

namespace installer {

// Formatted texts are cut to this many characters.
constexpr size_t kErrorTextLimit = 1023;

struct ErrorTexts {
    std::wstring title;
    std::wstring text;
    // Host name of the distribution web site, shown as a link to it.
    std::optional<std::wstring> linkHost;
};

// Title and text of the error page for an error record {id, value}; nullopt
// for ids the page does not show (the page keeps its texts).
[[nodiscard]] std::optional<ErrorTexts> errorTexts(uint16_t id, int64_t value, const std::wstring &destination);

// The amount of 20004's text: whole megabytes, at least one.
[[nodiscard]] std::wstring requiredSpaceText(int64_t bytes);

} // namespace installer
