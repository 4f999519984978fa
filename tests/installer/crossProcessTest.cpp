#include "installer/crossProcess.h"
#include "installer/destination.h"
#include "installer/launching.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace {

// The record's UTF-16 fields as the Windows build reads them.
wchar_t *asWide(char16_t *field)
{
    return reinterpret_cast<wchar_t *>(field);
}

const wchar_t *asWide(const char16_t *field)
{
    return reinterpret_cast<const wchar_t *>(field);
}

using installer::ElevationHandoff;

std::wstring uniqueName(const wchar_t *purpose)
{
    return std::wstring(L"Local\\KestruneEngineTest-") + purpose + L"-" + std::to_wstring(::GetCurrentProcessId());
}

TEST(ElevationHandoffRecord, LaysOutOptionsAtTheirOffsets)
{
    installer::InstallOptions options;
    options.destination = L"C:\\Kestrune";
    options.startWhenFinished = 0;
    options.createDesktopShortcut = 1;
    options.windowRect = {-10, 20, 757, 464};
    const ElevationHandoff handoff = installer::makeElevationHandoff(options);

    unsigned char bytes[540];
    std::memcpy(bytes, &handoff, sizeof(bytes));
    EXPECT_EQ(std::memcmp(bytes, L"C:\\Kestrune", 12 * sizeof(wchar_t)), 0);
    for (size_t offset = 12 * sizeof(wchar_t); offset < 520; ++offset) {
        ASSERT_EQ(bytes[offset], 0) << offset;
    }
    EXPECT_EQ(bytes[520], 0);
    EXPECT_EQ(bytes[521], 1);
    EXPECT_EQ(bytes[522], 0);
    EXPECT_EQ(bytes[523], 0);
    int32_t rect[4];
    std::memcpy(rect, bytes + 524, sizeof(rect));
    EXPECT_EQ(rect[0], -10);
    EXPECT_EQ(rect[1], 20);
    EXPECT_EQ(rect[2], 757);
    EXPECT_EQ(rect[3], 464);
}

TEST(ElevationHandoffRecord, DestinationOf300CharactersIsCutTo259)
{
    installer::InstallOptions options;
    options.destination = L"C:\\" + std::wstring(297, L'p');
    const ElevationHandoff handoff = installer::makeElevationHandoff(options);
    EXPECT_EQ(std::wstring(asWide(handoff.destination)), options.destination.substr(0, 259));

    installer::InstallOptions received;
    installer::applyElevationHandoff(handoff, received);
    EXPECT_EQ(received.destination, options.destination.substr(0, 259));
}

TEST(DestinationFromOutside, OnlyPlainPathsOnFixedDrivesWithoutLinks)
{
    struct Row {
        std::wstring destination;
        DWORD error;
    };
    const Row rows[] = {
        {L"C:\\Program Files\\Kestrune Software", ERROR_SUCCESS},
        {L"c:/Kestrune Software/player", ERROR_SUCCESS},
        {L"C:\\", ERROR_SUCCESS},
        {L"", ERROR_BAD_PATHNAME},
        {L"Kestrune Software", ERROR_BAD_PATHNAME},
        {L"\\Kestrune Software", ERROR_BAD_PATHNAME},
        {L"C:Kestrune Software", ERROR_BAD_PATHNAME},
        {L"\\\\host\\share\\k", ERROR_BAD_PATHNAME},
        {L"//host/share/k", ERROR_BAD_PATHNAME},
        {L"\\\\?\\C:\\k", ERROR_BAD_PATHNAME},
        {L"\\\\.\\C:\\k", ERROR_BAD_PATHNAME},
        {L"\\\\?\\UNC\\host\\share", ERROR_BAD_PATHNAME},
        {L"C:\\Program Files\\..\\Windows", ERROR_BAD_PATHNAME},
        {L"C:\\..", ERROR_BAD_PATHNAME},
        {L"C:\\Program Files\\.\\k", ERROR_BAD_PATHNAME},
        {L"C:\\Program Files\\...\\k", ERROR_BAD_PATHNAME},
        {L"C:\\Kestrune. \\k", ERROR_BAD_PATHNAME},
        {L"C:\\Kestrune \\k", ERROR_BAD_PATHNAME},
        {L"C:\\Kestrune:stream", ERROR_BAD_PATHNAME},
        {L"C:\\Kes\ttrune", ERROR_BAD_PATHNAME},
        {L"C:\\Kes*", ERROR_BAD_PATHNAME},
        {L"1:\\Kestrune", ERROR_BAD_PATHNAME},
        {L"C:\\" + std::wstring(256, L'k'), ERROR_SUCCESS},
        {L"C:\\" + std::wstring(257, L'k'), ERROR_BAD_PATHNAME},
        // No such drive in the test prefix.
        {L"Q:\\Kestrune", ERROR_INVALID_DRIVE},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "destination "
                                        << std::string(row.destination.begin(), row.destination.end()));
        EXPECT_EQ(installer::validateDestination(row.destination), row.error);
        EXPECT_EQ(installer::destinationFormIsValid(row.destination), row.error != ERROR_BAD_PATHNAME);
    }
}

TEST(DestinationFromOutside, LinkAnywhereAlongTheExistingPartIsRefused)
{
    // Wine shows a Unix symbolic link as a reparse point; Debian's /bin is one.
    if ((::GetFileAttributesW(L"Z:\\bin") & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
        ::GetDriveTypeW(L"Z:\\") != DRIVE_FIXED) {
        GTEST_SKIP() << "no linked folder on a fixed drive here";
    }
    EXPECT_EQ(installer::validateDestination(L"Z:\\bin"), installer::kErrorReparsePointEncountered);
    EXPECT_EQ(installer::validateDestination(L"Z:\\bin\\Kestrune Software"), installer::kErrorReparsePointEncountered);
    EXPECT_EQ(installer::validateDestination(L"Z:\\bin\\missing\\deeper"), installer::kErrorReparsePointEncountered);
    EXPECT_EQ(installer::validateDestination(L"Z:\\usr\\bin\\Kestrune Software"), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(ElevationHandoffRecord, OnlyAValidRecordIsResumed)
{
    struct Row {
        const char *name;
        std::function<void(ElevationHandoff &)> change;
        bool valid;
    };
    const Row rows[] = {
        {"as written", [](ElevationHandoff &) {}, true},
        {"off-screen rectangle", [](ElevationHandoff &h) { h.left = h.right = -40000; }, true},
        {"network share", [](ElevationHandoff &h) { wcscpy(asWide(h.destination), L"\\\\host\\share\\k"); }, false},
        {"parent segment", [](ElevationHandoff &h) { wcscpy(asWide(h.destination), L"C:\\Kestrune\\..\\Windows"); },
         false},
        {"empty destination", [](ElevationHandoff &h) { h.destination[0] = L'\0'; }, false},
        {"no terminator",
         [](ElevationHandoff &h) { std::fill(std::begin(h.destination), std::end(h.destination), L'k'); }, false},
        {"start flag 2", [](ElevationHandoff &h) { h.startWhenFinished = 2; }, false},
        {"shortcut flag 255", [](ElevationHandoff &h) { h.createDesktopShortcut = 255; }, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        installer::InstallOptions options;
        options.destination = L"C:\\Program Files\\Kestrune Software";
        options.windowRect = {100, 120, 867, 564};
        ElevationHandoff handoff = installer::makeElevationHandoff(options);
        row.change(handoff);
        EXPECT_EQ(installer::handoffRecordIsValid(handoff), row.valid);
    }
}

TEST(ElevationHandoffRecord, ProxySettingsTravelWithTheRecordAndAreCheckedLikeIt)
{
    win32lib::http::ProxySettings sent;
    sent.autoDetect = true;
    sent.pacUrl = L"http://wpad.corp/proxy.pac";
    sent.proxy = L"http=squid.corp:3128;https=squid.corp:3129";
    sent.bypass = L"<local>;*.corp";
    struct Row {
        const char *name;
        std::function<void(installer::ProxyHandoff &)> change;
        bool valid;
    };
    const Row rows[] = {
        {"as written", [](installer::ProxyHandoff &) {}, true},
        {"nothing configured", [](installer::ProxyHandoff &h) { h = {}; }, true},
        {"flag 2", [](installer::ProxyHandoff &h) { h.autoDetect = 2; }, false},
        {"reserved byte set", [](installer::ProxyHandoff &h) { h.reserved[1] = 1; }, false},
        {"proxy without terminator",
         [](installer::ProxyHandoff &h) { std::fill(std::begin(h.proxy), std::end(h.proxy), L'a'); }, false},
        {"bypass without terminator",
         [](installer::ProxyHandoff &h) { std::fill(std::begin(h.bypass), std::end(h.bypass), L'a'); }, false},
        {"PAC address of a file", [](installer::ProxyHandoff &h) { wcscpy(asWide(h.pacUrl), L"file:///c:/p.pac"); },
         false},
        {"line break in the bypass list", [](installer::ProxyHandoff &h) { wcscpy(asWide(h.bypass), L"a\r\nb"); },
         false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        installer::ProxyHandoff handoff = installer::makeProxyHandoff(sent);
        row.change(handoff);
        win32lib::http::ProxySettings received;
        received.proxy = L"untouched:1";
        EXPECT_EQ(installer::readProxyHandoff(handoff, received), row.valid);
        if (std::string_view(row.name) == "as written") {
            EXPECT_EQ(received, sent);
        } else if (!row.valid) {
            EXPECT_EQ(received.proxy, L"untouched:1");
        }
    }
    // Settings outside the rules are not handed over at all.
    win32lib::http::ProxySettings broken;
    broken.proxy = L"no-port";
    win32lib::http::ProxySettings received;
    EXPECT_TRUE(installer::readProxyHandoff(installer::makeProxyHandoff(broken), received));
    EXPECT_FALSE(received.configured());
}

TEST(ElevationHandoffRecord, ReadingNeverRunsPastTheField)
{
    ElevationHandoff handoff;
    std::memset(&handoff, 0x41, sizeof(handoff));
    handoff.startWhenFinished = 7;
    handoff.createDesktopShortcut = 0;
    installer::InstallOptions options;
    installer::applyElevationHandoff(handoff, options);
    EXPECT_EQ(options.destination.size(), 259u);
    EXPECT_EQ(options.startWhenFinished, 1);
    EXPECT_EQ(options.createDesktopShortcut, 0);
}

TEST(SharedMemoryAndEvents, WrittenRecordIsSeenThroughASecondMapping)
{
    const std::wstring name = uniqueName(L"mapping");
    installer::SharedMemory writer;
    ASSERT_TRUE(writer.create(name.c_str(), installer::kHandoffMappingSize));
    const char message[] = "hand-off";
    writer.write(message, sizeof(message));

    installer::SharedMemory reader;
    ASSERT_TRUE(reader.open(name.c_str(), installer::kHandoffMappingSize, FILE_MAP_ALL_ACCESS));
    EXPECT_STREQ(static_cast<const char *>(reader.data()), message);

    writer.close();
    reader.close();
    EXPECT_EQ(reader.data(), nullptr);
    EXPECT_FALSE(reader.open(name.c_str(), installer::kHandoffMappingSize, FILE_MAP_ALL_ACCESS))
        << "the mapping outlived both owners";
}

TEST(SharedMemoryAndEvents, EventIsManualResetAndStartsUnset)
{
    const std::wstring name = uniqueName(L"event");
    installer::NamedEvent creator;
    ASSERT_TRUE(creator.create(name.c_str()));
    EXPECT_EQ(creator.wait(0), static_cast<DWORD>(WAIT_TIMEOUT));

    installer::NamedEvent opener;
    ASSERT_TRUE(opener.open(name.c_str(), EVENT_ALL_ACCESS));
    ASSERT_TRUE(opener.set());
    EXPECT_EQ(creator.wait(0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(creator.wait(0), static_cast<DWORD>(WAIT_OBJECT_0)) << "the event reset itself";
    ASSERT_TRUE(creator.reset());
    EXPECT_EQ(opener.wait(0), static_cast<DWORD>(WAIT_TIMEOUT));

    installer::NamedEvent missing;
    EXPECT_FALSE(missing.open(uniqueName(L"no-such-event").c_str(), EVENT_ALL_ACCESS));
}

// The DACL an object was given, as SDDL.
std::wstring objectDacl(HANDLE object)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return L"(unreadable)";
    }
    win32lib::UniqueLocalMemory owned(descriptor);
    wchar_t *text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                &text, nullptr)) {
        return L"(unconvertible)";
    }
    win32lib::UniqueLocalMemory ownedText(text);
    return text;
}

// Each object another process reads is made afresh, with a security
// descriptor, and never taken over from whoever made it first.
TEST(SharedObjects, AreCreatedRestrictedAndNeverTakenOver)
{
    struct Row {
        const char *name;
        std::function<HANDLE(const wchar_t *)> plant;
        std::function<bool(const wchar_t *, HANDLE &)> create;
    };
    installer::NamedEvent event;
    installer::SharedMemory mapping;
    installer::SharedMemory updaterMapping;
    const auto plantMapping = [](const wchar_t *name) {
        return ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name);
    };
    const Row rows[] = {
        {"event", [](const wchar_t *name) { return ::CreateEventW(nullptr, TRUE, FALSE, name); },
         [&](const wchar_t *name, HANDLE &handle) {
             const bool created = event.create(name);
             handle = event.handle();
             return created;
         }},
        {"mapping", plantMapping,
         [&](const wchar_t *name, HANDLE &) { return mapping.create(name, installer::kHandoffMappingSize); }},
        {"updater mapping", plantMapping,
         [&](const wchar_t *, HANDLE &) {
             return installer::createUpdaterMapping(L"C:\\Kestrune Software", updaterMapping);
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring name = std::string_view(row.name) == "updater mapping"
                                      ? std::wstring(installer::kUpdaterMappingName)
                                      : uniqueName(L"shared-object");
        HANDLE created = nullptr;
        ASSERT_TRUE(row.create(name.c_str(), created));
        event.close();
        mapping.close();
        updaterMapping.close();

        win32lib::UniqueHandle planted(row.plant(name.c_str()));
        ASSERT_TRUE(planted);
        ::SetLastError(0);
        EXPECT_FALSE(row.create(name.c_str(), created));
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
        EXPECT_EQ(event.handle(), nullptr);
        EXPECT_EQ(mapping.data(), nullptr);
        EXPECT_EQ(updaterMapping.data(), nullptr);
    }
}

TEST(SharedObjects, CarryADaclThatKeepsOrdinaryProcessesOut)
{
    const std::wstring eventName = uniqueName(L"dacl-event");
    installer::NamedEvent event;
    ASSERT_TRUE(event.create(eventName.c_str()));
    win32lib::UniqueHandle eventReader(::OpenEventW(READ_CONTROL, FALSE, eventName.c_str()));
    ASSERT_TRUE(eventReader);

    installer::SharedMemory mapping;
    ASSERT_TRUE(installer::createUpdaterMapping(L"C:\\Kestrune Software", mapping));
    win32lib::UniqueHandle mappingReader(::OpenFileMappingW(READ_CONTROL, FALSE, installer::kUpdaterMappingName));
    ASSERT_TRUE(mappingReader);

    for (HANDLE object : {eventReader.get(), mappingReader.get()}) {
        EXPECT_EQ(objectDacl(object), L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;RC;;;OW)");
    }
}

TEST(UpdaterMapping, PlantedMappingStopsTheRegistrationWith20060AndError183)
{
    testsupport::TempFolder folder;
    const std::wstring planterRoot = L"C:\\planted";
    installer::SharedMemory planted;
    ASSERT_TRUE(planted.create(installer::kUpdaterMappingName, installer::kUpdaterMappingSize));
    const installer::UpdaterRecord record = installer::makeUpdaterRecord(planterRoot);
    planted.write(&record, sizeof(record));

    uint32_t detail = 0;
    EXPECT_EQ(installer::runUpdater(folder.path(), L"1.0", false, detail), 20060);
    EXPECT_EQ(detail, static_cast<uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t *>(planted.data())), planterRoot)
        << "the planted root was overwritten";
}

TEST(UpdaterMapping, HoldsTheInstallRootWhileOpen)
{
    const std::wstring destination = L"C:\\" + std::wstring(300, L'u');
    {
        installer::SharedMemory mapping;
        ASSERT_TRUE(installer::createUpdaterMapping(destination, mapping));

        installer::SharedMemory updater;
        ASSERT_TRUE(updater.open(installer::kUpdaterMappingName, installer::kUpdaterMappingSize, FILE_MAP_READ));
        const auto *record = static_cast<const wchar_t *>(updater.data());
        EXPECT_EQ(std::wstring(record), destination.substr(0, 259));
        EXPECT_EQ(std::wstring(installer::kUpdaterMappingName), L"Local\\e9460ebe-9f52-4c0e-8afa-31a9256f0cef");
    }
    installer::SharedMemory after;
    EXPECT_FALSE(after.open(installer::kUpdaterMappingName, installer::kUpdaterMappingSize, FILE_MAP_READ));
}

} // namespace
