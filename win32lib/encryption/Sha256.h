#pragma once

// SHA-256 through the system's CNG provider, fed piece by piece.

#include "win32lib/UniqueResource.h"
#include "win32lib/encryption/sha256Text.h"

#include <cstddef>
#include <cstdint>

namespace win32lib::encryption {

class Sha256 {
public:
    // A hash that could not be created (no CNG) fails every later call.
    Sha256() noexcept;

    // A failure is kept: every later call fails as well, finish included.
    [[nodiscard]] bool update(const uint8_t *bytes, std::size_t length) noexcept;
    // Ends the hash; the object accepts nothing more afterwards.
    [[nodiscard]] bool finish(Sha256Digest &digest) noexcept;

private:
    UniqueBCryptAlgorithm algorithm_;
    UniqueBCryptHash hash_;
    bool failed_ = false;
};

} // namespace win32lib::encryption
