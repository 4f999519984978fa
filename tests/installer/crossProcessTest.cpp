#include "installer/crossProcess.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

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
    EXPECT_EQ(std::wstring(handoff.destination), options.destination.substr(0, 259));

    installer::InstallOptions received;
    installer::applyElevationHandoff(handoff, received);
    EXPECT_EQ(received.destination, options.destination.substr(0, 259));
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
