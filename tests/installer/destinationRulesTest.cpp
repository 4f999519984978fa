#include "installer/destinationRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DestinationRules, OnlyAbsoluteFoldersOnLocalFixedDrivesPass)
{
    struct Case {
        std::wstring destination;
        bool valid;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Kestrune Software", true},
        {L"c:/Kestrune", true},
        {L"C:\\Kestrune\\", true},
        {L"C:\\" + std::wstring(256, L'k'), true},
        {L"C:\\" + std::wstring(257, L'k'), false},
        {L"", false},
        {L"C:", false},
        {L"C:\\", false},
        {L"C:Kestrune", false},
        {L"Kestrune", false},
        {L"\\Kestrune", false},
        {L"\\\\server\\share\\Kestrune", false},
        {L"//server/share/Kestrune", false},
        {L"\\\\?\\C:\\Kestrune", false},
        {L"\\\\.\\C:\\Kestrune", false},
        {L"C:\\Kestrune\\..\\Windows", false},
        {L"C:\\Kestrune\\.", false},
        {L"C:\\..", false},
        {L"C:\\Kestrune\\\\Player", false},
        {L"C:\\Kestrune.", false},
        {L"C:\\Kestrune \\Player", false},
        {L"C:\\Kes*trune", false},
        {L"C:\\Kestrune:stream", false},
        {L"C:\\Kes\ttrune", false},
        {L"1:\\Kestrune", false},
        // No such drive in the test prefix.
        {L"Q:\\Kestrune", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(installer::validateDestination(c.destination), c.valid)
            << std::string(c.destination.begin(), c.destination.end());
    }
}

} // namespace
