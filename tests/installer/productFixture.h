#pragma once

// Shared by the registration and launching tests: a scratch registry in
// place of HKEY_LOCAL_MACHINE, the product's shortcut files, and an
// unpacked sample package.

#include "installer/productPaths.h"
#include "package/extraction.h"
#include "tests/package/fixtures.h"
#include "tests/support/process.h"
#include "win32lib/UniqueResource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>

namespace testsupport {

// HKEY_LOCAL_MACHINE of this process points at a fresh key under
// HKEY_CURRENT_USER while the object lives. Other processes are not affected.
class RedirectedMachineKey {
public:
    RedirectedMachineKey()
    {
        path_ = L"Software\\KestruneTests\\machine-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::GetTickCount64());
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(),
                          nullptr);
        // The system's environment, which the updater is started with, stays
        // readable through the redirection.
        constexpr wchar_t kEnvironment[] = L"System\\CurrentControlSet\\Control\\Session Manager\\Environment";
        win32lib::UniqueHKey environment;
        win32lib::UniqueHKey copy;
        const bool copied =
            key_ &&
            ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEnvironment, 0, KEY_READ, environment.put()) == ERROR_SUCCESS &&
            ::RegCreateKeyExW(key_.get(), kEnvironment, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, copy.put(), nullptr) ==
                ERROR_SUCCESS &&
            ::RegCopyTreeW(environment.get(), nullptr, copy.get()) == ERROR_SUCCESS;
        redirected_ = copied && ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_.get()) == ERROR_SUCCESS;
    }
    ~RedirectedMachineKey()
    {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        key_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    RedirectedMachineKey(const RedirectedMachineKey &) = delete;
    RedirectedMachineKey &operator=(const RedirectedMachineKey &) = delete;

    [[nodiscard]] bool redirected() const noexcept { return redirected_; }

private:
    std::wstring path_;
    win32lib::UniqueHKey key_;
    bool redirected_ = false;
};

inline std::optional<std::wstring> readString(HKEY root, const wchar_t *subKey, const wchar_t *name)
{
    wchar_t text[1024] = {};
    DWORD size = sizeof(text);
    DWORD type = 0;
    if (::RegGetValueW(root, subKey, name, RRF_RT_ANY | RRF_NOEXPAND, &type, text, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    return std::wstring(text);
}

inline std::optional<DWORD> readDword(HKEY root, const wchar_t *subKey, const wchar_t *name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(root, subKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

inline bool keyExists(HKEY root, const wchar_t *subKey)
{
    win32lib::UniqueHKey key;
    return ::RegOpenKeyExW(root, subKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

inline std::wstring shortcutPath(REFKNOWNFOLDERID folder)
{
    win32lib::UniqueCoTaskMem<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(folder, 0, nullptr, path.put()))) {
        return {};
    }
    return std::wstring(path.get()) + L"\\" + installer::kShortcutFile;
}

// Removes the product's shortcuts before and after a test.
class ShortcutCleaner {
public:
    ShortcutCleaner() { clean(); }
    ~ShortcutCleaner() { clean(); }
    ShortcutCleaner(const ShortcutCleaner &) = delete;
    ShortcutCleaner &operator=(const ShortcutCleaner &) = delete;

private:
    static void clean()
    {
        ::DeleteFileW(shortcutPath(FOLDERID_CommonPrograms).c_str());
        ::DeleteFileW(shortcutPath(FOLDERID_PublicDesktop).c_str());
    }
};

inline bool unpackSamplePackage(const std::wstring &destination)
{
    ::CreateDirectoryW(destination.c_str(), nullptr);
    package::ExtractResult result;
    return package::extractArchive(result, kSamplePackage, destination);
}

inline bool isFolder(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace testsupport
