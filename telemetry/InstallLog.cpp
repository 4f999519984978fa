#include "telemetry/InstallLog.h"

#include "win32lib/slimLock.h"

#include <cstdio>

namespace telemetry {
namespace {

using win32lib::ExclusiveLock;

std::string toUtf8(std::wstring_view text)
{
    if (text.empty()) {
        return {};
    }
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                          nullptr);
    return bytes;
}

// A path that names a pipe must not let its server act as this process:
// identification is the most a server may learn of the caller.
constexpr DWORD kLogOpenFlags =
    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

} // namespace

std::string formatLogLine(const SYSTEMTIME &time, std::wstring_view text)
{
    char stamp[32] = {};
    std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ ", time.wYear, time.wMonth, time.wDay,
                  time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    std::string line = stamp;
    // A line break inside a text would make two lines of one entry.
    std::wstring flat(text);
    for (wchar_t &c : flat) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    line += toUtf8(flat);
    line += "\r\n";
    return line;
}

InstallLog &InstallLog::instance()
{
    static InstallLog log;
    return log;
}

uint32_t InstallLog::open(const std::wstring &path, const WriteCheck &mayWrite)
{
    ExclusiveLock locked(lock_);
    path_ = path;
    mayWrite_ = mayWrite;
    handedOver_ = false;
    return openLocked();
}

uint32_t InstallLog::openLocked()
{
    const std::wstring &path = path_;
    const WriteCheck &mayWrite = mayWrite_;
    file_.reset(::CreateFileW(path.c_str(), GENERIC_WRITE | READ_CONTROL | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, kLogOpenFlags, nullptr));
    if (!file_) {
        return ::GetLastError();
    }
    const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
    // Checked on the opened file itself, so that nothing can be swapped in
    // between; a new file carries what its folder grants.
    if (mayWrite && !mayWrite(file_.get())) {
        if (created) {
            FILE_DISPOSITION_INFO disposition = {TRUE};
            ::SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof(disposition));
        }
        file_.reset();
        return ERROR_ACCESS_DENIED;
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(file_.get(), &information)) {
        const DWORD error = ::GetLastError();
        file_.reset();
        return error;
    }
    if ((information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        information.nNumberOfLinks > 1) {
        file_.reset();
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

void InstallLog::close() noexcept
{
    ExclusiveLock locked(lock_);
    file_.reset();
    handedOver_ = false;
}

void InstallLog::handOver() noexcept
{
    ExclusiveLock locked(lock_);
    handedOver_ = file_.valid();
    file_.reset();
}

uint32_t InstallLog::takeBack()
{
    ExclusiveLock locked(lock_);
    if (!handedOver_) {
        return ERROR_SUCCESS;
    }
    handedOver_ = false;
    return openLocked();
}

void InstallLog::write(std::wstring_view text)
{
    ExclusiveLock locked(lock_);
    writeLocked(text);
}

void InstallLog::writeLocked(std::wstring_view text)
{
    if (!file_) {
        return;
    }
    SYSTEMTIME now = {};
    ::GetSystemTime(&now);
    const std::string line = formatLogLine(now, text);
    LARGE_INTEGER end = {};
    DWORD written = 0;
    // Another process may have added lines since this one wrote.
    if (::SetFilePointerEx(file_.get(), end, nullptr, FILE_END) &&
        ::WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        ::FlushFileBuffers(file_.get());
    }
}

void InstallLog::beginStep(uint32_t step, std::wstring_view name)
{
    ExclusiveLock locked(lock_);
    endStepLocked();
    step_ = step;
    stepName_ = name;
    stepStartedMs_ = ::GetTickCount64();
    writeLocked(L"Step " + std::to_wstring(step) + L" (" + stepName_ + L") started");
}

void InstallLog::endStep()
{
    ExclusiveLock locked(lock_);
    endStepLocked();
}

void InstallLog::endStepLocked()
{
    if (step_ == 0) {
        return;
    }
    const ULONGLONG elapsedMs = ::GetTickCount64() - stepStartedMs_;
    writeLocked(L"Step " + std::to_wstring(step_) + L" (" + stepName_ + L") ended after " + std::to_wstring(elapsedMs) +
                L" ms");
    step_ = 0;
}

} // namespace telemetry
