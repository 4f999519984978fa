#include "telemetry/InstallLog.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(InstallLog, LinesAreUtf8WithTheirTimeAndOneLineEach)
{
    const SYSTEMTIME time = {2026, 12, 2, 8, 14, 2, 3, 45};
    EXPECT_EQ(telemetry::formatLogLine(time, L"Installing into C:\\M\u00FCsik"),
              "2026-12-08T14:02:03.045Z Installing into C:\\M\xC3\xBCsik\r\n");
    EXPECT_EQ(telemetry::formatLogLine(time, L"two\r\nlines"), "2026-12-08T14:02:03.045Z two  lines\r\n");
}

TEST(InstallLog, AppendsToWhatIsThereAndRefusesFolders)
{
    testsupport::TempFolder folder;
    const std::wstring path = folder.file(L"install.log");
    ASSERT_TRUE(testsupport::writeFile(path, "earlier\r\n"));
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    ASSERT_EQ(log.open(path), 0u);
    log.beginStep(2, L"update manifest");
    log.endStep();
    log.endStep();
    log.close();
    log.write(L"after close");
    const auto text = testsupport::readFile(path);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("earlier\r\n", 0), 0u);
    EXPECT_NE(text->find("Step 2 (update manifest) started\r\n"), std::string::npos) << *text;
    EXPECT_NE(text->find("Step 2 (update manifest) ended after "), std::string::npos) << *text;
    EXPECT_EQ(text->find("ended after", text->find("ended after") + 1), std::string::npos) << "ended twice";
    EXPECT_EQ(text->find("after close"), std::string::npos);

    EXPECT_NE(log.open(folder.path()), 0u);
    EXPECT_FALSE(log.isOpen());
    EXPECT_NE(log.open(folder.file(L"missing\\install.log")), 0u);
}

// A log the check refuses (an elevated run, a file its user could not write
// unelevated) is neither written nor left behind; the check sees the file
// that was opened. Wine keeps no DACLs, so the refusal comes from the test.
TEST(InstallLog, ARefusedFileIsNotWrittenAndANewOneIsRemoved)
{
    testsupport::TempFolder folder;
    const std::wstring existing = folder.file(L"existing.log");
    ASSERT_TRUE(testsupport::writeFile(existing, "earlier\r\n"));
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    for (const std::wstring &path : {existing, folder.file(L"new.log")}) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        HANDLE checked = nullptr;
        EXPECT_EQ(log.open(path,
                           [&checked](HANDLE file) {
                               checked = file;
                               return false;
                           }),
                  static_cast<uint32_t>(ERROR_ACCESS_DENIED));
        EXPECT_NE(checked, nullptr);
        EXPECT_FALSE(log.isOpen());
        log.write(L"refused");
    }
    EXPECT_EQ(testsupport::readFile(existing), std::optional<std::string>("earlier\r\n"));
    EXPECT_FALSE(testsupport::fileExists(folder.file(L"new.log")));
    EXPECT_EQ(log.open(folder.file(L"new.log"), [](HANDLE) { return true; }), 0u);
    log.close();
}

} // namespace
