#include "installer/registration.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "tests/installer/productFixture.h"

#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

namespace {

using testsupport::readDword;
using testsupport::readString;
using testsupport::TempFolder;

const HKEY kMachine = HKEY_LOCAL_MACHINE;

TEST(Registration, StringValueIsStoredWithItsTerminator)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    ASSERT_TRUE(installer::writeStringValue(kMachine, L"Software\\Test\\Deep", L"Name", L"value", 0));
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(::RegGetValueW(kMachine, L"Software\\Test\\Deep", L"Name", RRF_RT_ANY, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6u * sizeof(wchar_t));
    EXPECT_EQ(readString(kMachine, L"Software\\Test\\Deep", L"Name"), L"value");

    ASSERT_TRUE(installer::writeDwordValue(kMachine, L"Software\\Test", L"Number", 0xDEADBEEF, 0));
    EXPECT_EQ(readDword(kMachine, L"Software\\Test", L"Number"), 0xDEADBEEFu);
}

TEST(Registration, InstallDateIsYearMonthDayWithLeadingZeros)
{
    SYSTEMTIME march = {};
    march.wYear = 2026;
    march.wMonth = 3;
    march.wDay = 7;
    EXPECT_EQ(installer::formatInstallDate(march), L"20260307");
    SYSTEMTIME december = {};
    december.wYear = 1999;
    december.wMonth = 12;
    december.wDay = 31;
    EXPECT_EQ(installer::formatInstallDate(december), L"19991231");
}

TEST(Registration, EstimatedSizeIsKilobytesHeldAtTheLargestDword)
{
    EXPECT_EQ(installer::estimatedSizeInKilobytes(0), 0u);
    EXPECT_EQ(installer::estimatedSizeInKilobytes(1023), 0u);
    EXPECT_EQ(installer::estimatedSizeInKilobytes(100 * 1024), 100u);
    // 5 GiB counts fully, not by its lower 32 bits.
    EXPECT_EQ(installer::estimatedSizeInKilobytes(5ull << 30), 5u << 20);
    EXPECT_EQ(installer::estimatedSizeInKilobytes(1ull << 52), 0xFFFFFFFFu);
}

TEST(Registration, UninstallEntryHoldsTheTenValues)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    TempFolder destination;
    ASSERT_TRUE(::CreateDirectoryW(destination.file(L"Kestrune").c_str(), nullptr));
    ASSERT_TRUE(testsupport::writeFile(destination.file(L"Kestrune\\data.bin"), std::string(60 * 1024, 'd')));
    ASSERT_TRUE(testsupport::writeFile(destination.file(L"package.zip"), std::string(40 * 1024 + 1000, 'p')));

    SYSTEMTIME before = {};
    ::GetSystemTime(&before);
    ASSERT_TRUE(installer::writeUninstallEntry(destination.path(), L"1.2.3.4"));
    SYSTEMTIME after = {};
    ::GetSystemTime(&after);

    const wchar_t *key = installer::kUninstallKey;
    const std::wstring root = destination.path();
    EXPECT_EQ(readString(kMachine, key, L"DisplayIcon"), root + L"\\Kestrune\\KestruneLauncher.exe");
    EXPECT_EQ(readString(kMachine, key, L"DisplayName"), L"Kestrune");
    EXPECT_EQ(readString(kMachine, key, L"DisplayVersion"), L"1.2.3.4");
    EXPECT_EQ(readString(kMachine, key, L"Publisher"), L"Kestrune Team");
    EXPECT_EQ(readString(kMachine, key, L"InstallLocation"), root);
    EXPECT_EQ(readString(kMachine, key, L"UninstallString"), L"\"" + root + L"\\Kestrune\\1.2.3.4\\Uninstall.exe\"");
    EXPECT_EQ(readDword(kMachine, key, L"NoModify"), 1u);
    EXPECT_EQ(readDword(kMachine, key, L"NoRepair"), 1u);
    EXPECT_EQ(readDword(kMachine, key, L"EstimatedSize"), 100u);

    const auto date = readString(kMachine, key, L"InstallDate");
    ASSERT_TRUE(date.has_value());
    ASSERT_EQ(date->size(), 8u);
    const unsigned year = std::stoul(date->substr(0, 4));
    const unsigned month = std::stoul(date->substr(4, 2));
    const unsigned day = std::stoul(date->substr(6, 2));
    const bool today = (year == before.wYear && month == before.wMonth && day == before.wDay) ||
                       (year == after.wYear && month == after.wMonth && day == after.wDay);
    EXPECT_TRUE(today) << testing::PrintToString(*date);

    std::vector<std::wstring> names;
    win32lib::UniqueHKey opened;
    ASSERT_EQ(::RegOpenKeyExW(kMachine, key, 0, KEY_READ, opened.put()), ERROR_SUCCESS);
    for (DWORD index = 0;; ++index) {
        wchar_t name[64] = {};
        DWORD length = 64;
        if (::RegEnumValueW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    const std::vector<std::wstring> written = {L"DisplayIcon", L"DisplayName",     L"DisplayVersion",  L"Publisher",
                                               L"InstallDate", L"InstallLocation", L"UninstallString", L"NoModify",
                                               L"NoRepair",    L"EstimatedSize"};
    // The registry enumerates in its own order (Wine sorts by name).
    std::sort(names.begin(), names.end());
    std::vector<std::wstring> expected = written;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(Registration, CampaignValueComesFromTheProgramResource)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    std::wstring campaign;
    ASSERT_TRUE(app::loadResourceText(app::ids::kCampaignId, campaign));
    ASSERT_TRUE(installer::writeCampaignValue());
    EXPECT_EQ(readString(kMachine, L"Software\\Kestrune Software\\Kestrune", L"AdCampaignId"), campaign);
}

struct LinkContents {
    std::wstring target;
    std::wstring workingFolder;
    std::wstring description;
};

std::optional<LinkContents> readShellLink(const std::wstring &path)
{
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
        return std::nullopt;
    }
    Microsoft::WRL::ComPtr<IPersistFile> file;
    if (FAILED(link.As(&file)) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    wchar_t description[INFOTIPSIZE] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) ||
        FAILED(link->GetWorkingDirectory(folder, MAX_PATH)) || FAILED(link->GetDescription(description, INFOTIPSIZE))) {
        return std::nullopt;
    }
    return LinkContents{target, folder, description};
}

TEST(Registration, DesktopShortcutOnlyWithTheOption)
{
    testsupport::ShortcutCleaner cleaner;
    TempFolder destination;
    const std::wstring startMenu = testsupport::shortcutPath(FOLDERID_CommonPrograms);
    const std::wstring desktop = testsupport::shortcutPath(FOLDERID_PublicDesktop);
    ASSERT_FALSE(startMenu.empty());
    ASSERT_FALSE(desktop.empty());

    EXPECT_TRUE(installer::createShortcuts(destination.path(), false));
    EXPECT_TRUE(testsupport::fileExists(startMenu));
    EXPECT_FALSE(testsupport::fileExists(desktop));

    EXPECT_TRUE(installer::createShortcuts(destination.path(), true));
    const auto startLink = readShellLink(startMenu);
    const auto desktopLink = readShellLink(desktop);
    ASSERT_TRUE(startLink.has_value());
    ASSERT_TRUE(desktopLink.has_value());
    const std::wstring launcher = destination.path() + L"\\Kestrune\\KestruneLauncher.exe";
    EXPECT_EQ(startLink->target, launcher);
    EXPECT_EQ(startLink->workingFolder, destination.path() + L"\\Kestrune");
    EXPECT_EQ(startLink->description, app::loadString(app::ids::kStartMenuShortcutDescription));
    EXPECT_EQ(desktopLink->target, launcher);
    EXPECT_EQ(desktopLink->description, app::loadString(app::ids::kDesktopShortcutDescription));
    EXPECT_FALSE(desktopLink->description.empty());
}

TEST(Registration, ShellLinkReportsAnUnwritableLinkPath)
{
    EXPECT_TRUE(FAILED(installer::createShellLink(L"C:\\x.exe", L"C:\\", L"x", L"C:\\no\\such\\folder\\x.lnk")));
}

TEST(Registration, LongLauncherPathsGetTheLongPathPrefix)
{
    const std::wstring shortPath = L"C:\\Program Files\\Kestrune\\Kestrune\\KestruneLauncher.exe";
    EXPECT_EQ(installer::shortcutTarget(shortPath), shortPath);
    const std::wstring longPath = L"C:\\" + std::wstring(240, L'x') + L"\\Kestrune\\KestruneLauncher.exe";
    ASSERT_GE(longPath.size(), static_cast<size_t>(MAX_PATH));
    // The file does not exist, so there is no short form to use.
    EXPECT_EQ(installer::shortcutTarget(longPath), L"\\\\?\\" + longPath);
}

} // namespace
