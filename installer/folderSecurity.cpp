#include "installer/folderSecurity.h"

#include "win32lib/UniqueResource.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>

namespace installer {
namespace {

constexpr DWORD kInheritedByAll = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
constexpr DWORD kReadAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
// Rights that let the holder change the folder, its contents or its
// protection. Generic rights appear in entries passed on to new files.
constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                               FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL |
                               MAXIMUM_ALLOWED;
// NT SERVICE\TrustedInstaller, the owner of the Program Files folders.
constexpr wchar_t kTrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr size_t kFullPathChars = 32768;

bool makeWellKnownSid(WELL_KNOWN_SID_TYPE type, BYTE *buffer) noexcept
{
    DWORD size = SECURITY_MAX_SID_SIZE;
    return ::CreateWellKnownSid(type, nullptr, buffer, &size) != FALSE;
}

// Accounts that may write to the destination: the system, the
// administrators, the owner of Program Files, and CREATOR OWNER, which stands
// for whoever creates a file, here the elevated installer.
bool isTrustedSid(PSID sid)
{
    for (const WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid, WinCreatorOwnerSid}) {
        if (::IsWellKnownSid(sid, type)) {
            return true;
        }
    }
    win32lib::UniqueLocalMemory trustedInstaller;
    return ::ConvertStringSidToSidW(kTrustedInstallerSid, trustedInstaller.put()) &&
           ::EqualSid(sid, trustedInstaller.get());
}

std::wstring fullPath(const std::wstring &path)
{
    std::wstring full(kFullPathChars, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), kFullPathChars, full.data(), nullptr);
    if (length == 0 || length >= kFullPathChars) {
        return {};
    }
    full.resize(length);
    return full;
}

bool knownFolder(REFKNOWNFOLDERID id, std::wstring &path)
{
    win32lib::UniqueCoTaskMem<wchar_t> folder;
    if (FAILED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, folder.put())) || !folder) {
        return false;
    }
    path = folder.get();
    return true;
}

bool isSeparator(wchar_t character) noexcept
{
    return character == L'\\' || character == L'/';
}

bool exists(const std::wstring &path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

ProtectedFolderSecurity::ProtectedFolderSecurity() noexcept
{
    auto *acl = reinterpret_cast<PACL>(acl_.data());
    valid_ = makeWellKnownSid(WinLocalSystemSid, system_.data()) &&
             makeWellKnownSid(WinBuiltinAdministratorsSid, administrators_.data()) &&
             makeWellKnownSid(WinBuiltinUsersSid, users_.data()) &&
             ::InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) &&
             ::AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritedByAll, FILE_ALL_ACCESS, system_.data()) &&
             ::AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritedByAll, FILE_ALL_ACCESS, administrators_.data()) &&
             ::AddAccessAllowedAceEx(acl, ACL_REVISION, kInheritedByAll, kReadAndExecute, users_.data()) &&
             ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             ::SetSecurityDescriptorOwner(&descriptor_, administrators_.data(), FALSE) &&
             ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

DWORD ProtectedFolderSecurity::applyTo(const std::wstring &folder) noexcept
{
    if (!valid_) {
        return ERROR_INVALID_SECURITY_DESCR;
    }
    // The named form wants a writable name; it also passes the new entries
    // on to anything already below the folder.
    std::wstring name = folder;
    return ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   administrators_.data(), nullptr, reinterpret_cast<PACL>(acl_.data()), nullptr);
}

bool isInsideFolder(const std::wstring &path, const std::wstring &folder)
{
    std::wstring base = folder;
    while (!base.empty() && base.back() == L'\\') {
        base.pop_back();
    }
    if (base.empty() || path.size() < base.size()) {
        return false;
    }
    if (::CompareStringOrdinal(path.c_str(), static_cast<int>(base.size()), base.c_str(), static_cast<int>(base.size()),
                               TRUE) != CSTR_EQUAL) {
        return false;
    }
    return path.size() == base.size() || path[base.size()] == L'\\';
}

bool isInsideProgramFiles(const std::wstring &path)
{
    const std::wstring full = fullPath(path);
    if (full.empty()) {
        return false;
    }
    for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86}) {
        std::wstring programFiles;
        if (knownFolder(id, programFiles) && isInsideFolder(full, fullPath(programFiles))) {
            return true;
        }
    }
    return false;
}

bool grantsWriteToNonAdministrators(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    if (!::GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted)) {
        return true;
    }
    if (owner != nullptr && !isTrustedSid(owner)) {
        return true;
    }
    BOOL present = FALSE;
    PACL acl = nullptr;
    BOOL aclDefaulted = FALSE;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &acl, &aclDefaulted) || !present || acl == nullptr) {
        return true;
    }
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        void *entry = nullptr;
        if (!::GetAce(acl, index, &entry)) {
            return true;
        }
        const auto *header = static_cast<const ACE_HEADER *>(entry);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            continue;
        }
        // Other allowing kinds (object, callback) are not expected on a
        // folder; not knowing what they grant, count them as writing.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            return true;
        }
        auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
        if ((allowed->Mask & kWriteRights) != 0 && !isTrustedSid(&allowed->SidStart)) {
            return true;
        }
    }
    return false;
}

std::wstring firstMissingFolder(const std::wstring &path)
{
    if (path.empty() || exists(path)) {
        return {};
    }
    std::wstring missing = path;
    for (;;) {
        const size_t separator = missing.find_last_of(L"\\/");
        if (separator == std::wstring::npos || separator == 0) {
            return missing;
        }
        const std::wstring parent = missing.substr(0, separator);
        if (exists(parent) || parent.back() == L':') {
            return missing;
        }
        missing = parent;
    }
}

bool createProtectedDirectoryTree(const std::wstring &path, std::wstring &firstCreated)
{
    if (path.empty() || isSeparator(path.back())) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const std::wstring top = firstMissingFolder(path);
    if (top.empty()) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    ProtectedFolderSecurity security;
    if (!security.valid()) {
        ::SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return false;
    }
    // Each folder is protected from its first moment: one that got the
    // inherited entries first could be opened, and kept open with them, by
    // anyone they let in. A folder someone else makes under one of these
    // names in the meantime fails its creation here.
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security.descriptor(), FALSE};
    size_t end = top.size();
    for (;;) {
        if (!::CreateDirectoryW(path.substr(0, end).c_str(), &attributes)) {
            return false;
        }
        if (end == path.size()) {
            break;
        }
        while (end < path.size() && isSeparator(path[end])) {
            ++end;
        }
        end = std::min(path.find_first_of(L"\\/", end), path.size());
    }
    firstCreated = top;
    return true;
}

bool mayTakeOverOwner(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr) {
        return false;
    }
    return ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(owner, WinLocalSystemSid);
}

bool secureFoundFolder(const std::wstring &folder)
{
    win32lib::UniqueLocalMemory current;
    const DWORD readError =
        ::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, nullptr, nullptr, current.put());
    if (readError != ERROR_SUCCESS) {
        ::SetLastError(readError);
        return false;
    }
    // A folder of anyone else's stays theirs, even empty: its owner could
    // give the rights back after it was protected.
    if (!mayTakeOverOwner(current.get())) {
        ::SetLastError(ERROR_INVALID_OWNER);
        return false;
    }
    if (!grantsWriteToNonAdministrators(current.get())) {
        return true;
    }
    ProtectedFolderSecurity security;
    const DWORD error = security.applyTo(folder);
    ::SetLastError(error);
    return error == ERROR_SUCCESS;
}

} // namespace installer
