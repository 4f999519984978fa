#pragma once

#include "installer/InstallOptions.h"
#include "installer/handoffRecord.h"
#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace installer {

// Set by the unelevated instance once the record is written; the elevated
// copy sets it after reading, which lets the first instance end.
inline constexpr wchar_t kHandoffEventName[] = L"Local\\Orv_712c1b4e-2aea-49ce-beca-026afe68f8e2";
inline constexpr wchar_t kHandoffMappingName[] = L"Local\\Orv_ba6ab52a-a537-4211-8a65-953d492c00f2";
// Read by the installed updater to learn the install root.
inline constexpr wchar_t kUpdaterMappingName[] = L"Local\\e9460ebe-9f52-4c0e-8afa-31a9256f0cef";

static_assert(kHandoffPathCapacity == MAX_PATH);

constexpr DWORD kHandoffMappingSize = sizeof(HandoffMapping);
constexpr DWORD kUpdaterMappingSize = sizeof(UpdaterRecord);

// Who may open the hand-off objects and the updater mapping besides their
// creator: SYSTEM and the Administrators group. An ordinary process of the
// same user, whose Administrators group is for denying only, can neither
// open them nor, as their owner, rewrite this list (OWNER RIGHTS takes the
// owner's implicit rights away).
inline constexpr wchar_t kRestrictedObjectSecurity[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;RC;;;OW)";

// The destination is cut to 259 characters; the rest of the record is zero.
[[nodiscard]] ElevationHandoff makeElevationHandoff(const InstallOptions &options);
// Takes the record over; a record without terminator is read up to 259
// characters, and flags other than 0 count as set.
void applyElevationHandoff(const ElevationHandoff &handoff, InstallOptions &options);
[[nodiscard]] UpdaterRecord makeUpdaterRecord(const std::wstring &destination);

// Whether a record read from the hand-off mapping may be resumed: its form
// (handoffRecordFormIsValid) and a destination that passes
// validateDestination.
[[nodiscard]] bool handoffRecordIsValid(const ElevationHandoff &handoff);

// The id of the process that created `process`; 0 when unknown.
[[nodiscard]] DWORD parentProcessId(HANDLE process);

// Whether this process was started by another instance of this very program
// that still runs and is older than this process, which is how an instance
// waiting on the hand-off event starts its elevated copy. Objects of the
// hand-off names found by any other process were left by someone else.
[[nodiscard]] bool startedByWaitingInstance();

// A page-file-backed named mapping with one view of the whole size.
class SharedMemory {
public:
    SharedMemory() = default;
    SharedMemory(const SharedMemory &) = delete;
    SharedMemory &operator=(const SharedMemory &) = delete;

    // A new mapping with kRestrictedObjectSecurity. A mapping of that name
    // that exists already is refused with ERROR_ALREADY_EXISTS: whoever made
    // it can read and write it.
    [[nodiscard]] bool create(const wchar_t *name, DWORD size);
    [[nodiscard]] bool open(const wchar_t *name, DWORD size, DWORD access);
    // Copies at most the mapped size into the view.
    void write(const void *bytes, size_t count);
    void close() noexcept;

    [[nodiscard]] void *data() const noexcept { return view_.get(); }
    [[nodiscard]] DWORD size() const noexcept { return size_; }

private:
    win32lib::UniqueMappedView view_;
    win32lib::UniqueHandle mapping_;
    DWORD size_ = 0;
};

class NamedEvent {
public:
    NamedEvent() = default;
    NamedEvent(const NamedEvent &) = delete;
    NamedEvent &operator=(const NamedEvent &) = delete;

    // Manual reset, not signalled, kRestrictedObjectSecurity; an existing
    // event of that name is refused with ERROR_ALREADY_EXISTS.
    [[nodiscard]] bool create(const wchar_t *name);
    [[nodiscard]] bool open(const wchar_t *name, DWORD access);
    bool set();
    bool reset();
    DWORD wait(DWORD milliseconds);
    void close() noexcept { event_.reset(); }

    [[nodiscard]] HANDLE handle() const noexcept { return event_.get(); }

private:
    win32lib::UniqueHandle event_;
};

// Creates the updater mapping and writes the install root into it; false
// with the thread's last error when the mapping cannot be created or
// existed already (ERROR_ALREADY_EXISTS). The
// mapping must stay open while the updater runs.
[[nodiscard]] bool createUpdaterMapping(const std::wstring &destination, SharedMemory &mapping);

} // namespace installer
