#pragma once

// How a failed package transfer ends: checked by operation first, then by
// error code, so that a full disk during a write is a write failure.

#include <cstdint>
#include <string_view>

namespace package {

struct DownloadFailure {
    bool retry = false;        // start the second attempt
    uint16_t installError = 0; // the step's result when not retrying
};

// `resumable`: the attempt stored part of a body that the server can continue
// (Range with If-Range). A transfer cut in its body (short, reset, stalled) is
// then retried whatever the code, since the retry costs only the rest.
[[nodiscard]] DownloadFailure classifyDownloadFailure(std::string_view failedOperation, uint32_t errorCode,
                                                      bool firstAttempt, bool resumable = false) noexcept;

} // namespace package
