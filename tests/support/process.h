#pragma once

#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A child process started for a test; killed if the test ends first.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess &&) noexcept = default;
    ChildProcess &operator=(ChildProcess &&) noexcept = default;
    ~ChildProcess();

    // Starts `commandLine` (the program path quoted inside it as needed),
    // optionally in `directory` and with extra "NAME=value" environment entries.
    static std::optional<ChildProcess> start(const std::wstring &commandLine, const std::wstring &directory = {},
                                             const std::vector<std::wstring> &extraEnvironment = {});
    // Starts `commandLine` with `creationFlags` (CREATE_SUSPENDED, say) and,
    // when `parent` is given, as a child of that process rather than of this one.
    static std::optional<ChildProcess> startWith(const std::wstring &commandLine, HANDLE parent,
                                                 DWORD creationFlags = 0);

    // The full 32-bit exit code, or nullopt when it did not end in time.
    std::optional<DWORD> wait(DWORD timeoutMs);
    [[nodiscard]] DWORD id() const noexcept { return processId_; }
    [[nodiscard]] HANDLE handle() const noexcept { return process_.get(); }

    // Top-level windows that belong to the process, visible or not.
    [[nodiscard]] std::vector<HWND> windows() const;
    // Polls until a window of this process satisfies `predicate`.
    HWND waitForWindow(const std::function<bool(HWND)> &predicate, DWORD timeoutMs) const;

private:
    win32lib::UniqueHandle process_;
    DWORD processId_ = 0;
};

std::wstring windowText(HWND window);
std::wstring windowClass(HWND window);

// Text of a system message box (its static control) or of the application's
// own box when it belongs to this process; empty otherwise.
std::wstring messageBoxText(HWND box);

// A fresh, empty folder under the temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    [[nodiscard]] const std::wstring &path() const noexcept { return path_; }
    [[nodiscard]] std::wstring file(const std::wstring &name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Deletes a folder with everything in it, without questions.
void removeTree(const std::wstring &path);
bool fileExists(const std::wstring &path);
bool writeFile(const std::wstring &path, const std::string &bytes);
std::optional<std::string> readFile(const std::wstring &path);

} // namespace testsupport
