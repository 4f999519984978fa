#include "installer/crossProcess.h"

#include <algorithm>
#include <cwchar>

namespace installer {
namespace {

void copyPath(const std::wstring &path, wchar_t (&target)[kHandoffPathCapacity])
{
    const size_t length = std::min(path.size(), kHandoffPathCapacity - 1);
    path.copy(target, length);
    target[length] = L'\0';
}

} // namespace

ElevationHandoff makeElevationHandoff(const InstallOptions &options)
{
    ElevationHandoff handoff = {};
    copyPath(options.destination, handoff.destination);
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
    options.destination.assign(handoff.destination, wcsnlen(handoff.destination, kHandoffPathCapacity - 1));
    options.startWhenFinished = handoff.startWhenFinished != 0 ? 1 : 0;
    options.createDesktopShortcut = handoff.createDesktopShortcut != 0 ? 1 : 0;
    options.windowRect = {handoff.left, handoff.top, handoff.right, handoff.bottom};
}

UpdaterRecord makeUpdaterRecord(const std::wstring &destination)
{
    UpdaterRecord record = {};
    copyPath(destination, record.destination);
    return record;
}

bool SharedMemory::create(const wchar_t *name, DWORD size)
{
    close();
    mapping_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name));
    if (!mapping_) {
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
    event_.reset(::CreateEventW(nullptr, TRUE, FALSE, name));
    return event_.valid();
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
