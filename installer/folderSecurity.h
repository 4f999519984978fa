#pragma once

// The install destination is written by the elevated installer and later
// run from by the elevated updater and by an administrator's uninstall: no
// ordinary user may change what is in it.

#include <windows.h>

#include <array>
#include <string>

namespace installer {

// Program Files' protection: owner Administrators; SYSTEM and Administrators
// full control, Users read and execute, all inherited by what is created
// below; nothing inherited from the parent.
class ProtectedFolderSecurity {
public:
    ProtectedFolderSecurity() noexcept;
    ProtectedFolderSecurity(const ProtectedFolderSecurity &) = delete;
    ProtectedFolderSecurity &operator=(const ProtectedFolderSecurity &) = delete;

    // False when Windows could not build it; nothing is applied then.
    [[nodiscard]] bool valid() const noexcept { return valid_; }
    [[nodiscard]] PSECURITY_DESCRIPTOR descriptor() noexcept { return &descriptor_; }

    // Sets the owner and the DACL on an existing folder; a Windows error or 0.
    [[nodiscard]] DWORD applyTo(const std::wstring &folder) noexcept;

private:
    using SidBuffer = std::array<BYTE, SECURITY_MAX_SID_SIZE>;
    SidBuffer system_ = {};
    SidBuffer administrators_ = {};
    SidBuffer users_ = {};
    std::array<BYTE, 256> acl_ = {};
    SECURITY_DESCRIPTOR descriptor_ = {};
    bool valid_ = false;
};

// Whether `path` is `folder` or below it. Both are full paths; letters are
// compared without case.
[[nodiscard]] bool isInsideFolder(const std::wstring &path, const std::wstring &folder);

// Whether `path`, made a full path first (so ".." cannot climb out), lies in
// one of the Program Files folders, whose own DACL already protects it.
[[nodiscard]] bool isInsideProgramFiles(const std::wstring &path);

// Whether anyone but SYSTEM, Administrators and TrustedInstaller may write
// to, delete, or change the permissions of the folder (or of what it will
// pass on to new files): an allowing entry with a write right for another
// account, another owner (owners may always rewrite the DACL), or no DACL.
[[nodiscard]] bool grantsWriteToNonAdministrators(PSECURITY_DESCRIPTOR descriptor);

// The highest folder of `path` (itself included) that does not exist yet:
// the first one createDirectoryTree would create. Empty when `path` exists.
[[nodiscard]] std::wstring firstMissingFolder(const std::wstring &path);

// Creates `path` and its missing parents, each with the protected
// descriptor from its creation on (inside Program Files too: a parent there
// may pass on more than Program Files' own entries). `firstCreated` receives
// the highest folder created. Fails, with the last error set, when `path`
// exists or a folder on the way appears while the tree is made.
[[nodiscard]] bool createProtectedDirectoryTree(const std::wstring &path, std::wstring &firstCreated);

// Whether a folder the run did not create may be taken over: its owner is
// Administrators or SYSTEM.
[[nodiscard]] bool mayTakeOverOwner(PSECURITY_DESCRIPTOR descriptor);

// For an existing empty destination: refused (ERROR_INVALID_OWNER) unless
// mayTakeOverOwner; protected when non-administrators could write to it.
// False with the last error set.
[[nodiscard]] bool secureFoundFolder(const std::wstring &folder);

} // namespace installer
