#include "installer/elevationHandoff.h"

#include "app/commandLine.h"
#include "app/exitCodes.h"
#include "app/privileges.h"
#include "app/singleInstance.h"
#include "installer/crossProcess.h"
#include "telemetry/InstallLog.h"
#include "win32lib/http/ProxyRouter.h"

#include <cstring>
#include <optional>

namespace installer {

BeginOutcome handOffToElevatedCopy(InstallOptions &options, const RECT &windowRect, const InstallSteps &steps)
{
    // The elevated copy must pass its own single-instance check.
    app::releaseSingleInstance();

    NamedEvent event;
    SharedMemory mapping;
    if (!event.create(kHandoffEventName) || !mapping.create(kHandoffMappingName, kHandoffMappingSize)) {
        event.close();
        mapping.close();
        app::acquireSingleInstance();
        return BeginOutcome::kNotStarted;
    }
    options.windowRect = windowRect;
    // The copy may run as another account: it takes this user's proxy route.
    HandoffMapping handoff = {};
    handoff.record = makeElevationHandoff(options);
    handoff.proxy = makeProxyHandoff(win32lib::http::ProxyRouter::instance().settings());
    mapping.write(&handoff, sizeof(handoff));

    win32lib::UniqueHandle copy;
    // The pages' choices travel in the record; only the log is named on the
    // copy's command line, so that an interactive run logs past elevation.
    // The copy writes the rest of the log: this instance only takes it back
    // when the copy does not take over.
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    log.write(L"Not elevated: handing the installation to an elevated copy");
    log.handOver();
    const uint32_t error = steps.relaunchElevated(app::interactiveCopyArguments(app::processCommandLine()), copy);
    if (error != ERROR_SUCCESS) {
        (void)log.takeBack();
        log.write(error == ERROR_CANCELLED
                      ? std::wstring(L"Elevation was declined")
                      : L"The elevated copy could not be started, Windows error " + std::to_wstring(error));
        app::acquireSingleInstance();
        event.close();
        mapping.close();
        return error == ERROR_CANCELLED ? BeginOutcome::kElevationDeclined : BeginOutcome::kNotStarted;
    }
    // The record stays mapped until the copy has read it. A copy that ends
    // without taking over (it found an installation, failed to start or lost
    // the single-instance check to a third instance) must not leave this
    // window waiting for ever: this instance then stays on its page.
    const HANDLE waitables[] = {event.handle(), copy.get()};
    const DWORD waited = ::WaitForMultipleObjects(copy ? 2 : 1, waitables, FALSE, INFINITE);
    if (waited != WAIT_OBJECT_0 && ::WaitForSingleObject(event.handle(), 0) != WAIT_OBJECT_0) {
        (void)log.takeBack();
        log.write(L"The elevated copy ended without taking over");
        app::acquireSingleInstance();
        event.close();
        mapping.close();
        return BeginOutcome::kNotStarted;
    }
    return BeginOutcome::kHandedOver;
}

namespace {

// A copy of the hand-off objects' content, taken only from objects the
// instance that started this one made; nullopt when there are none. The
// first instance's event is set whether or not anything was read, since
// it may wait for it.
std::optional<HandoffMapping> copyHandoff()
{
    // Objects under these names that the instance which started this one
    // did not make were planted: they are not even opened.
    if (!startedByWaitingInstance()) {
        return std::nullopt;
    }
    NamedEvent event;
    if (!event.open(kHandoffEventName, EVENT_ALL_ACCESS)) {
        return std::nullopt;
    }
    std::optional<HandoffMapping> handoff;
    SharedMemory mapping;
    if (mapping.open(kHandoffMappingName, kHandoffMappingSize, FILE_MAP_ALL_ACCESS)) {
        // Checked in this process's own copy, which nobody can change.
        handoff.emplace();
        memcpy(&*handoff, mapping.data(), sizeof(*handoff));
        mapping.close();
        // The parent may have ended while the objects were opened, and
        // someone else then made objects of these names: the record counts
        // only when the parent still runs after it was copied.
        if (!startedByWaitingInstance()) {
            handoff.reset();
        }
    }
    event.set();
    return handoff;
}

} // namespace

bool takeOverHandoff(InstallOptions &options)
{
    const std::optional<HandoffMapping> handoff = copyHandoff();
    win32lib::http::ProxySettings proxy;
    if (!handoff || !handoffRecordIsValid(handoff->record) || !readProxyHandoff(handoff->proxy, proxy)) {
        return false;
    }
    applyElevationHandoff(handoff->record, options);
    win32lib::http::ProxyRouter::instance().useSettings(proxy);
    return app::processIntegrityLevel() >= app::kHighIntegrityLevel;
}

bool takeOverProxyRoute()
{
    const std::optional<HandoffMapping> handoff = copyHandoff();
    win32lib::http::ProxySettings proxy;
    if (!handoff || !readProxyHandoff(handoff->proxy, proxy)) {
        return false;
    }
    win32lib::http::ProxyRouter::instance().useSettings(proxy);
    return true;
}

unsigned runElevatedCopy(const InstallSteps &steps, const std::wstring &arguments)
{
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    // The copy may run as another account: it takes this user's proxy route
    // from these objects, and nothing else, since its choices are on its
    // command line. Objects of these names that exist already are another
    // instance's hand-over, or planted: the copy would read them.
    NamedEvent event;
    SharedMemory mapping;
    if (!event.create(kHandoffEventName) || !mapping.create(kHandoffMappingName, kHandoffMappingSize)) {
        log.write(L"The hand-over objects exist already: another instance is handing over");
        return app::kExitSecondInstance;
    }
    HandoffMapping handoff = {};
    handoff.proxy = makeProxyHandoff(win32lib::http::ProxyRouter::instance().settings());
    mapping.write(&handoff, sizeof(handoff));

    log.write(L"Not elevated: starting an elevated copy");
    win32lib::UniqueHandle copy;
    log.handOver();
    const uint32_t error = steps.relaunchElevated(arguments, copy);
    // After the copy's lines, or at once when no copy started; a copy that
    // cannot be waited for keeps the log.
    if (error == ERROR_SUCCESS && copy) {
        ::WaitForSingleObject(copy.get(), INFINITE);
    }
    if (error != ERROR_SUCCESS || copy) {
        (void)log.takeBack();
    }
    if (error == ERROR_CANCELLED) {
        log.write(L"Elevation was declined");
        return error;
    }
    if (error != ERROR_SUCCESS) {
        log.write(L"The elevated copy could not be started, Windows error " + std::to_wstring(error));
        return error;
    }
    if (!copy) {
        log.write(L"The elevated copy cannot be waited for");
        return ERROR_INVALID_HANDLE;
    }
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(copy.get(), &exitCode)) {
        return ::GetLastError();
    }
    log.write(L"The elevated copy ended with exit code " + std::to_wstring(exitCode));
    return exitCode;
}

} // namespace installer
