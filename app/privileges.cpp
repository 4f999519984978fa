#include "app/privileges.h"

#include "win32lib/UniqueResource.h"

#include <aclapi.h>
#include <lm.h>
#include <shellapi.h>

#include <memory>

namespace app {
namespace {

uint32_t g_elevationType = 0;
uint32_t g_integrityLevel = 0;

} // namespace

uint32_t getElevationType(uint32_t &type)
{
    win32lib::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return ::GetLastError();
    }
    DWORD value = 0;
    DWORD returned = 0;
    if (!::GetTokenInformation(token.get(), TokenElevationType, &value, sizeof(value), &returned)) {
        return ::GetLastError();
    }
    if (returned != sizeof(value)) {
        return ERROR_INVALID_PARAMETER;
    }
    type = value;
    return ERROR_SUCCESS;
}

bool unelevatedUserMayAppend(HANDLE file)
{
    uint32_t type = 0;
    if (getElevationType(type) != ERROR_SUCCESS) {
        return false;
    }
    if (type != TokenElevationTypeFull) {
        return true;
    }
    win32lib::UniqueHandle token;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD returned = 0;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !::GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof(linked), &returned)) {
        return false;
    }
    // An identification token, which is all AccessCheck needs.
    const win32lib::UniqueHandle unelevated(linked.LinkedToken);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT,
                          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                              LABEL_SECURITY_INFORMATION,
                          nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    const win32lib::UniqueLocalMemory descriptorOwner(descriptor);
    // Checked apart from AccessCheck, which weighs the label only where the
    // system enforces integrity.
    if (labelAboveMedium(descriptor)) {
        return false;
    }
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    PRIVILEGE_SET privileges = {};
    DWORD privilegesLength = sizeof(privileges);
    DWORD granted = 0;
    BOOL allowed = FALSE;
    return ::AccessCheck(descriptor, unelevated.get(), FILE_APPEND_DATA, &mapping, &privileges, &privilegesLength,
                         &granted, &allowed) &&
           allowed;
}

bool labelAboveMedium(PSECURITY_DESCRIPTOR descriptor)
{
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL sacl = nullptr;
    if (!::GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) || !present || sacl == nullptr) {
        return false;
    }
    for (DWORD index = 0; index < sacl->AceCount; ++index) {
        void *ace = nullptr;
        if (!::GetAce(sacl, index, &ace)) {
            // A label that cannot be read may be a high one.
            return true;
        }
        const auto *header = static_cast<const ACE_HEADER *>(ace);
        if (header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
            continue;
        }
        const auto *label = static_cast<const SYSTEM_MANDATORY_LABEL_ACE *>(ace);
        const auto sid = reinterpret_cast<PSID>(const_cast<DWORD *>(&label->SidStart));
        const UCHAR count = *::GetSidSubAuthorityCount(sid);
        if (count == 0) {
            return true;
        }
        return *::GetSidSubAuthority(sid, static_cast<DWORD>(count - 1)) > SECURITY_MANDATORY_MEDIUM_RID;
    }
    return false;
}

uint32_t getIntegrityLevel(uint32_t &level)
{
    win32lib::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return ::GetLastError();
    }
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER) {
            return error;
        }
    }
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
    if (!buffer) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!::GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.get(), size, &size)) {
        return ::GetLastError();
    }
    const auto *label = reinterpret_cast<const TOKEN_MANDATORY_LABEL *>(buffer.get());
    const UCHAR count = *::GetSidSubAuthorityCount(label->Label.Sid);
    level = *::GetSidSubAuthority(label->Label.Sid, static_cast<DWORD>(count - 1));
    return ERROR_SUCCESS;
}

uint32_t relaunchElevated(win32lib::UniqueHandle *process, const wchar_t *parameters)
{
    wchar_t ownPath[MAX_PATH] = {};
    const DWORD pathLength = ::GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
    if (pathLength == 0 || pathLength >= MAX_PATH) {
        const DWORD error = ::GetLastError();
        return error != ERROR_SUCCESS ? error : ERROR_INSUFFICIENT_BUFFER;
    }
    wchar_t currentDirectory[MAX_PATH] = {};
    const DWORD directoryLength = ::GetCurrentDirectoryW(MAX_PATH, currentDirectory);
    const bool haveDirectory = directoryLength > 0 && directoryLength < MAX_PATH;

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = process != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0;
    info.hwnd = nullptr;
    info.lpVerb = L"runas";
    info.lpFile = ownPath;
    info.lpParameters = parameters;
    info.lpDirectory = haveDirectory ? currentDirectory : nullptr;
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
        return ::GetLastError();
    }
    if (process != nullptr) {
        process->reset(info.hProcess);
    }
    return ERROR_SUCCESS;
}

bool getWorkstationVersion(uint32_t &major, uint32_t &minor)
{
    LPBYTE buffer = nullptr;
    if (::NetWkstaGetInfo(nullptr, 100, &buffer) != NERR_Success) {
        return false;
    }
    const auto *info = reinterpret_cast<const WKSTA_INFO_100 *>(buffer);
    major = info->wki100_ver_major;
    minor = info->wki100_ver_minor;
    ::NetApiBufferFree(buffer);
    return true;
}

void storeProcessPrivileges(uint32_t elevationType, uint32_t integrityLevel)
{
    g_elevationType = elevationType;
    g_integrityLevel = integrityLevel;
}

uint32_t processElevationType()
{
    return g_elevationType;
}

uint32_t processIntegrityLevel()
{
    return g_integrityLevel;
}

} // namespace app
