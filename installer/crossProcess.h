#pragma once

#include "installer/InstallOptions.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/proxyRules.h"

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

// Both records hold a path of at most 259 characters plus its terminator.
constexpr size_t kHandoffPathCapacity = MAX_PATH;

// The hand-off mapping's content, shared with another build of this program:
// the layout is fixed to the byte.
struct ElevationHandoff {
    wchar_t destination[kHandoffPathCapacity];
    uint8_t startWhenFinished;
    uint8_t createDesktopShortcut;
    uint8_t reserved[2];
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
static_assert(sizeof(ElevationHandoff) == 540);
static_assert(offsetof(ElevationHandoff, destination) == 0);
static_assert(offsetof(ElevationHandoff, startWhenFinished) == 520);
static_assert(offsetof(ElevationHandoff, createDesktopShortcut) == 521);
static_assert(offsetof(ElevationHandoff, reserved) == 522);
static_assert(offsetof(ElevationHandoff, left) == 524);
static_assert(offsetof(ElevationHandoff, bottom) == 536);

// The run's proxy settings as the starting instance found them, right after
// the record: the elevated copy routes as the user who started the installer
// does, also when another account elevates it. Each text is terminated inside
// its field.
struct ProxyHandoff {
    uint8_t autoDetect;
    uint8_t reserved[3];
    wchar_t pacUrl[win32lib::http::kMaxPacUrlChars + 1];
    wchar_t proxy[win32lib::http::kMaxProxyListChars + 1];
    wchar_t bypass[win32lib::http::kMaxBypassChars + 1];
};

// What the hand-off mapping holds: both builds of one version share it.
struct HandoffMapping {
    ElevationHandoff record;
    ProxyHandoff proxy;
};
static_assert(offsetof(HandoffMapping, proxy) == sizeof(ElevationHandoff));

struct UpdaterRecord {
    wchar_t destination[kHandoffPathCapacity];
};
static_assert(sizeof(UpdaterRecord) == 520);

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

// Whether a record read from the hand-off mapping may be resumed: the
// destination is terminated inside its field and passes
// validateDestination, and each flag is 0 or 1.
[[nodiscard]] bool handoffRecordIsValid(const ElevationHandoff &handoff);

// Settings that break the proxy rules give an all-zero part (go direct).
[[nodiscard]] ProxyHandoff makeProxyHandoff(const win32lib::http::ProxySettings &settings);
// False, leaving `settings` alone, when a text is not terminated inside its
// field, the flag is other than 0 or 1, a reserved byte is set, or the
// settings break the proxy rules (win32lib::http::areValidProxySettings).
[[nodiscard]] bool readProxyHandoff(const ProxyHandoff &handoff, win32lib::http::ProxySettings &settings);

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
