#include "win32lib/encryption/Sha256.h"

#include <algorithm>
#include <limits>

namespace win32lib::encryption {

namespace {

bool succeeded(NTSTATUS status) noexcept
{
    return status >= 0;
}

} // namespace

Sha256::Sha256() noexcept
{
    failed_ = !succeeded(::BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
              !succeeded(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
}

bool Sha256::update(const uint8_t *bytes, std::size_t length) noexcept
{
    // CNG takes ULONG lengths.
    constexpr std::size_t kLargestPiece = std::numeric_limits<ULONG>::max();
    while (!failed_ && length > 0) {
        const ULONG piece = static_cast<ULONG>(std::min(length, kLargestPiece));
        failed_ = !succeeded(::BCryptHashData(hash_.get(), const_cast<PUCHAR>(bytes), piece, 0));
        bytes += piece;
        length -= piece;
    }
    return !failed_;
}

bool Sha256::finish(Sha256Digest &digest) noexcept
{
    if (!failed_) {
        failed_ = !succeeded(::BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
    }
    const bool finished = !failed_;
    failed_ = true;
    return finished;
}

} // namespace win32lib::encryption
