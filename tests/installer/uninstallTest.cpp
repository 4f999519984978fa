#include "installer/launching.h"

#include "tests/installer/productFixture.h"

namespace {

using testsupport::TempFolder;

// The real machine registry of the test prefix: the uninstaller is another
// process, which a redirection in this one would not reach.
class InstalledProduct : public testing::Test {
protected:
    ~InstalledProduct() override
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, installer::kUninstallKey);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, installer::kVendorKey);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, installer::kVendorParentKey);
    }

    testsupport::ShortcutCleaner shortcuts_;
    TempFolder folder_;
};

template <typename Condition> bool waitFor(Condition condition, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() > end) {
            return false;
        }
        ::Sleep(50);
    }
    return true;
}

TEST_F(InstalledProduct, UninstallerRemovesEverythingTheInstallerRegistered)
{
    const std::wstring destination = folder_.file(L"Kestrune");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));
    uint32_t detail = 0;
    ASSERT_EQ(installer::runUpdater(destination, testsupport::kSampleVersion, true, detail), 0);
    const auto uninstallString =
        testsupport::readString(HKEY_LOCAL_MACHINE, installer::kUninstallKey, L"UninstallString");
    ASSERT_TRUE(uninstallString.has_value());
    ASSERT_TRUE(testsupport::fileExists(testsupport::shortcutPath(FOLDERID_PublicDesktop)));

    // Started the way Windows starts it: the registered command line as is.
    auto uninstaller = testsupport::ChildProcess::start(*uninstallString);
    ASSERT_TRUE(uninstaller.has_value());
    EXPECT_EQ(uninstaller->wait(30000), 0u);

    EXPECT_TRUE(waitFor([&] { return !testsupport::fileExists(destination); }, 30000));
    EXPECT_TRUE(waitFor([] { return !testsupport::keyExists(HKEY_LOCAL_MACHINE, installer::kUninstallKey); }, 5000));
    EXPECT_FALSE(testsupport::keyExists(HKEY_LOCAL_MACHINE, installer::kVendorKey));
    EXPECT_FALSE(testsupport::fileExists(testsupport::shortcutPath(FOLDERID_CommonPrograms)));
    EXPECT_FALSE(testsupport::fileExists(testsupport::shortcutPath(FOLDERID_PublicDesktop)));
}

} // namespace
