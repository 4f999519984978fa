#pragma once

#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace telemetry {

// "2026-12-08T14:02:03.456Z " (UTC) followed by the text and CR LF, in UTF-8.
[[nodiscard]] std::string formatLogLine(const SYSTEMTIME &time, std::wstring_view text);

// The text log an administrator asks for with /LOG. Each line goes to the
// file as soon as it is written, so the log tells how far a run got even
// when the process is killed. Lines are added at the end of the file: an
// elevated copy and the instance that started it write into the same log.
// One process-wide instance; the main thread and the worker write.
class InstallLog {
public:
    static InstallLog &instance();

    InstallLog(const InstallLog &) = delete;
    InstallLog &operator=(const InstallLog &) = delete;

    // Whether a writer other than this process may append to the open file.
    using WriteCheck = std::function<bool(HANDLE file)>;

    // 0 or the Windows error; a link, a folder or a file with more than one
    // name is refused, as an elevated process must not write through them,
    // and so is a file `mayWrite` (when given) refuses; a file this call
    // created is then removed again.
    [[nodiscard]] uint32_t open(const std::wstring &path, const WriteCheck &mayWrite = {});
    [[nodiscard]] bool isOpen() const noexcept { return file_.valid(); }
    void close() noexcept;

    // An elevated copy opens the log for itself, with access that this
    // process's open handle would deny it, so the log is closed while the
    // copy writes; lines written meanwhile are dropped. `takeBack` reopens
    // the same file with the same checks, after the copy's lines; without a
    // handed-over log it does nothing.
    void handOver() noexcept;
    [[nodiscard]] uint32_t takeBack();

    // Without an open file nothing happens.
    void write(std::wstring_view text);
    // Starts timing a step; the step running before it is written as ended.
    void beginStep(uint32_t step, std::wstring_view name);
    // Writes the running step's duration, if one runs.
    void endStep();

private:
    InstallLog() = default;
    void writeLocked(std::wstring_view text);
    void endStepLocked();

    // Opens `path_` with the checks of `mayWrite_`.
    [[nodiscard]] uint32_t openLocked();

    SRWLOCK lock_ = SRWLOCK_INIT;
    win32lib::UniqueFile file_;
    // What the open file was opened with, for `takeBack`.
    std::wstring path_;
    WriteCheck mayWrite_;
    bool handedOver_ = false;
    uint32_t step_ = 0;
    std::wstring stepName_;
    ULONGLONG stepStartedMs_ = 0;
};

} // namespace telemetry
