#pragma once

#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <string>

namespace installer {

// The destination, held open for a run once it has been checked. While it
// is held nobody else can open it for deletion: Windows then refuses to
// rename or delete it. isStillAt tells before each use whether the path
// still leads to it, for systems that rename it anyway.
class HeldFolder {
public:
    HeldFolder() = default;
    HeldFolder(const HeldFolder &) = delete;
    HeldFolder &operator=(const HeldFolder &) = delete;

    // Opens the folder at `path` itself, never what a link there points to,
    // and refuses a link (kErrorReparsePointEncountered). False with the last
    // error set.
    [[nodiscard]] bool hold(const std::wstring &path);
    [[nodiscard]] bool held() const noexcept { return handle_.valid(); }

    // Whether `path` still names the held folder: the same volume and file
    // id, and no link on the way to it or at it.
    [[nodiscard]] bool isStillAt(const std::wstring &path) const;

    // Lets go of the folder and deletes it, when it is empty and `path`
    // still names it: the folder deleted is the one opened, checked by id.
    // False with the last error set.
    [[nodiscard]] bool releaseAndRemove(const std::wstring &path);

private:
    struct Identity {
        DWORD volume = 0;
        DWORD indexHigh = 0;
        DWORD indexLow = 0;
        bool operator==(const Identity &) const = default;
    };
    [[nodiscard]] static bool identify(HANDLE folder, Identity &identity);
    // The folder at `path` itself, opened with `access`, only when it is the
    // held one; otherwise empty, with ERROR_FILE_INVALID for another folder.
    [[nodiscard]] win32lib::UniqueFile openIfHeld(const std::wstring &path, DWORD access) const;

    win32lib::UniqueFile handle_;
    Identity identity_;
};

} // namespace installer
