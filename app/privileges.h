#pragma once

#include "win32lib/UniqueResource.h"

#include <cstdint>

namespace app {

// Integrity levels above this one (high, system) run the installation
// themselves; lower ones hand it to an elevated copy.
constexpr uint32_t kElevatedIntegrityThreshold = 0x2FFF;
constexpr uint32_t kHighIntegrityLevel = 0x3000;

[[nodiscard]] uint32_t getElevationType(uint32_t &type);
[[nodiscard]] uint32_t getIntegrityLevel(uint32_t &level);
// Starts the elevated copy, with `parameters` as its arguments when given;
// when `process` is given it receives the copy's process handle (when the
// shell provides one).
[[nodiscard]] uint32_t relaunchElevated(win32lib::UniqueHandle *process = nullptr, const wchar_t *parameters = nullptr);
// Whether the unelevated token linked to this process's elevated one may
// append to the open file: an elevated run writes a file its command line
// names (an unelevated process may have written that line) only where its
// user could without elevation. True without a linked token (not elevated
// through consent: SYSTEM, or consent turned off), false when it cannot tell.
// A file labelled above medium integrity is refused as well: its user could
// not have written it.
[[nodiscard]] bool unelevatedUserMayAppend(HANDLE file);
// Whether the mandatory label in `descriptor`'s SACL is above medium. A
// descriptor without a label counts as medium, as Windows treats it.
[[nodiscard]] bool labelAboveMedium(PSECURITY_DESCRIPTOR descriptor);
[[nodiscard]] bool getWorkstationVersion(uint32_t &major, uint32_t &minor);

[[nodiscard]] constexpr bool isElevatedLevel(uint32_t integrityLevel)
{
    return integrityLevel > kElevatedIntegrityThreshold;
}

// Values taken once at start by the application.
void storeProcessPrivileges(uint32_t elevationType, uint32_t integrityLevel);
[[nodiscard]] uint32_t processElevationType();
[[nodiscard]] uint32_t processIntegrityLevel();

} // namespace app
