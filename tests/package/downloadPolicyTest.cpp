#include "package/download.h"
#include "package/downloadPolicy.h"

#include <gtest/gtest.h>

#include <set>

using package::classifyDownloadFailure;

namespace {

struct Case {
    const char *operation;
    uint32_t error;
    bool firstAttempt;
    bool retry;
    uint16_t installError;
};

} // namespace

TEST(DownloadFailureMapping, OperationFirstThenCode)
{
    const Case cases[] = {
        {"CreateFile", 5, true, false, 20006},
        {"WriteFile", 112, true, false, 20005}, // disk full while writing: a write failure
        {"WriteFile", 5, false, false, 20005},
        {"WinHttpReadData", 112, true, false, 20004},
        {"WinHttpSendRequest", 12002, true, true, 0},
        {"WinHttpSendRequest", 12007, true, true, 0},
        {"WinHttpReceiveResponse", 12030, true, true, 0},
        {"WinHttpSendRequest", 12002, false, false, 20011},
        {"WinHttpSendRequest", 12007, false, false, 20011},
        {"WinHttpReceiveResponse", 12030, false, false, 20011},
        {"MyZlib::gzipDecompress", 65001, true, false, 20025},
        {"callback", 65002, true, false, 20100},
        {"", 65003, true, false, 20012},
        {"WinHttpSendRequest", 12029, true, false, 20011}, // refused: no retry
        {"WinHttpReadData", 10054, true, false, 20011},
        {"WinHttpCrackUrl", 87, true, false, 20011},
    };
    for (const Case &c : cases) {
        const package::DownloadFailure failure = classifyDownloadFailure(c.operation, c.error, c.firstAttempt);
        EXPECT_EQ(failure.retry, c.retry) << c.operation << " " << c.error;
        EXPECT_EQ(failure.installError, c.installError) << c.operation << " " << c.error;
    }
}

TEST(DownloadFailureMapping, ABodyCutOffIsRetriedOnceWhenTheRestCanBeAskedFor)
{
    struct ResumableCase {
        const char *operation;
        uint32_t error;
        bool firstAttempt;
        bool resumable;
        bool retry;
        uint16_t installError;
    };
    const ResumableCase cases[] = {
        {"", 65003, true, true, true, 0}, // short body
        {"WinHttpReadData", 10054, true, true, true, 0},
        {"WinHttpQueryDataAvailable", 10060, true, true, true, 0},
        {"WinHttpReadData", 12030, true, true, true, 0},
        {"", 65003, false, true, false, 20012},
        {"WinHttpReadData", 10054, false, true, false, 20011},
        {"", 65003, true, false, false, 20012},
        {"WinHttpReadData", 10054, true, false, false, 20011},
        {"WinHttpReadData", 112, true, true, false, 20004},
        {"WriteFile", 112, true, true, false, 20005},
        {"callback", 65002, true, true, false, 20100},
        {"WinHttpSendRequest", 12029, true, true, false, 20011},
    };
    for (const ResumableCase &c : cases) {
        const package::DownloadFailure failure =
            classifyDownloadFailure(c.operation, c.error, c.firstAttempt, c.resumable);
        EXPECT_EQ(failure.retry, c.retry) << c.operation << " " << c.error << " " << c.firstAttempt;
        EXPECT_EQ(failure.installError, c.installError) << c.operation << " " << c.error << " " << c.firstAttempt;
    }
}

TEST(RandomName, NineCharactersFromTheAlphabetNeverRepeated)
{
    // Drawn within the same second: a generator seeded from the clock would
    // repeat its names, which another process could then plant.
    std::set<std::wstring> names;
    for (int i = 0; i < 50; ++i) {
        const std::wstring name = package::makeRandomName(10);
        ASSERT_EQ(name.size(), 9u);
        for (wchar_t c : name) {
            EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'));
        }
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
    EXPECT_EQ(package::makeRandomName(1), L"");
    EXPECT_EQ(package::makeRandomName(0), L"");
    EXPECT_EQ(package::makeRandomName(200).size(), 199u);
}
