#include "installer/crossProcess.h"

#include "installer/destination.h"
#include "win32lib/systemLibrary.h"

#include <sddl.h>
#include <winternl.h>

#include <algorithm>
#include <cwchar>

namespace installer {
namespace {

// kRestrictedObjectSecurity as attributes for a create call.
class RestrictedSecurity {
public:
    RestrictedSecurity()
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kRestrictedObjectSecurity, SDDL_REVISION_1,
                                                                   &descriptor, nullptr)) {
            descriptor_.reset(descriptor);
        }
        attributes_.nLength = sizeof(attributes_);
        attributes_.lpSecurityDescriptor = descriptor_.get();
        attributes_.bInheritHandle = FALSE;
    }

    // Null when the descriptor could not be built: nothing is then created
    // with default security instead.
    [[nodiscard]] SECURITY_ATTRIBUTES *attributes() noexcept { return descriptor_ ? &attributes_ : nullptr; }

private:
    win32lib::UniqueLocalMemory descriptor_;
    SECURITY_ATTRIBUTES attributes_ = {};
};

// A handle of an object made by the create call just returned: false, with
// ERROR_ALREADY_EXISTS, when the call only opened an existing one.
bool freshlyCreated(win32lib::UniqueHandle &handle)
{
    if (!handle) {
        return false;
    }
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        handle.reset();
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    return true;
}

bool imagePath(HANDLE process, std::wstring &path)
{
    wchar_t buffer[MAX_PATH * 4];
    DWORD length = static_cast<DWORD>(std::size(buffer));
    if (!::QueryFullProcessImageNameW(process, 0, buffer, &length)) {
        return false;
    }
    path.assign(buffer, length);
    return true;
}

ULONGLONG creationTime(HANDLE process)
{
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

} // namespace

ElevationHandoff makeElevationHandoff(const InstallOptions &options)
{
    ElevationHandoff handoff = {};
    writeRecordPath(options.destination, handoff.destination);
    handoff.startWhenFinished = options.startWhenFinished != 0 ? 1 : 0;
    handoff.createDesktopShortcut = options.createDesktopShortcut != 0 ? 1 : 0;
    handoff.left = options.windowRect.left;
    handoff.top = options.windowRect.top;
    handoff.right = options.windowRect.right;
    handoff.bottom = options.windowRect.bottom;
    return handoff;
}

void applyElevationHandoff(const ElevationHandoff &handoff, InstallOptions &options)
{
    // The record comes from another process: never read past its field.
    options.destination = readRecordPath(handoff.destination);
    options.startWhenFinished = handoff.startWhenFinished != 0 ? 1 : 0;
    options.createDesktopShortcut = handoff.createDesktopShortcut != 0 ? 1 : 0;
    options.windowRect = {handoff.left, handoff.top, handoff.right, handoff.bottom};
}

UpdaterRecord makeUpdaterRecord(const std::wstring &destination)
{
    UpdaterRecord record = {};
    writeRecordPath(destination, record.destination);
    return record;
}

bool handoffRecordIsValid(const ElevationHandoff &handoff)
{
    return handoffRecordFormIsValid(handoff) &&
           validateDestination(readRecordPath(handoff.destination)) == ERROR_SUCCESS;
}

DWORD parentProcessId(HANDLE process)
{
    using QueryInformationProcess = NTSTATUS(NTAPI *)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query =
        win32lib::systemProc<QueryInformationProcess>(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
    if (query == nullptr) {
        return 0;
    }
    PROCESS_BASIC_INFORMATION information = {};
    if (query(process, ProcessBasicInformation, &information, sizeof(information), nullptr) < 0) {
        return 0;
    }
    return static_cast<DWORD>(information.InheritedFromUniqueProcessId);
}

bool startedByWaitingInstance()
{
    const DWORD parentId = parentProcessId(::GetCurrentProcess());
    if (parentId == 0) {
        return false;
    }
    win32lib::UniqueHandle parent(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, parentId));
    if (!parent || ::WaitForSingleObject(parent.get(), 0) != WAIT_TIMEOUT) {
        return false;
    }
    // A parent id can be reused once its process ended: the parent must
    // have started before this process.
    const ULONGLONG parentCreated = creationTime(parent.get());
    const ULONGLONG ownCreated = creationTime(::GetCurrentProcess());
    if (parentCreated == 0 || ownCreated == 0 || parentCreated > ownCreated) {
        return false;
    }
    std::wstring parentImage;
    std::wstring ownImage;
    if (!imagePath(parent.get(), parentImage) || !imagePath(::GetCurrentProcess(), ownImage)) {
        return false;
    }
    return ::CompareStringOrdinal(parentImage.c_str(), static_cast<int>(parentImage.size()), ownImage.c_str(),
                                  static_cast<int>(ownImage.size()), TRUE) == CSTR_EQUAL;
}

bool SharedMemory::create(const wchar_t *name, DWORD size)
{
    close();
    RestrictedSecurity security;
    if (security.attributes() == nullptr) {
        return false;
    }
    mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, security.attributes(), PAGE_READWRITE, 0, size, name));
    if (!freshlyCreated(mapping_)) {
        return false;
    }
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size));
    if (!view_) {
        mapping_.reset();
        return false;
    }
    size_ = size;
    return true;
}

bool SharedMemory::open(const wchar_t *name, DWORD size, DWORD access)
{
    close();
    mapping_.reset(::OpenFileMappingW(access, FALSE, name));
    if (!mapping_) {
        return false;
    }
    view_.reset(::MapViewOfFile(mapping_.get(), access, 0, 0, size));
    if (!view_) {
        mapping_.reset();
        return false;
    }
    size_ = size;
    return true;
}

void SharedMemory::write(const void *bytes, size_t count)
{
    if (view_) {
        memcpy(view_.get(), bytes, std::min<size_t>(count, size_));
    }
}

void SharedMemory::close() noexcept
{
    view_.reset();
    mapping_.reset();
    size_ = 0;
}

bool NamedEvent::create(const wchar_t *name)
{
    RestrictedSecurity security;
    if (security.attributes() == nullptr) {
        event_.reset();
        return false;
    }
    event_.reset(::CreateEventW(security.attributes(), TRUE, FALSE, name));
    return freshlyCreated(event_);
}

bool NamedEvent::open(const wchar_t *name, DWORD access)
{
    event_.reset(::OpenEventW(access, FALSE, name));
    return event_.valid();
}

bool NamedEvent::set()
{
    return ::SetEvent(event_.get()) != FALSE;
}

bool NamedEvent::reset()
{
    return ::ResetEvent(event_.get()) != FALSE;
}

DWORD NamedEvent::wait(DWORD milliseconds)
{
    return ::WaitForSingleObject(event_.get(), milliseconds);
}

bool createUpdaterMapping(const std::wstring &destination, SharedMemory &mapping)
{
    if (!mapping.create(kUpdaterMappingName, kUpdaterMappingSize)) {
        return false;
    }
    const UpdaterRecord record = makeUpdaterRecord(destination);
    mapping.write(&record, sizeof(record));
    return true;
}

} // namespace installer
