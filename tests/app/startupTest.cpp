#include "app/exitCodes.h"
#include "app/singleInstance.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using testsupport::ChildProcess;

constexpr DWORD kProcessTimeoutMs = 60000;

std::wstring quoted(const std::wstring &path)
{
    return L"\"" + path + L"\"";
}

TEST(Startup, SecondInstanceShowsItsNoticeAndExitsWith23000)
{
    // The test plays the first instance by holding the single-instance mutex.
    win32lib::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, app::kSingleInstanceMutexName));
    ASSERT_TRUE(mutex);

    auto child = ChildProcess::start(quoted(testsupport::kInstallerPath));
    ASSERT_TRUE(child);
    HWND box = child->waitForWindow([](HWND w) { return ::IsWindowVisible(w) != FALSE; }, kProcessTimeoutMs);
    ASSERT_NE(box, nullptr) << "no notice was shown";
    EXPECT_EQ(testsupport::windowText(box), L"Kestrune Installer");
    ::PostMessageW(box, WM_CLOSE, 0, 0);

    const auto code = child->wait(kProcessTimeoutMs);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, app::kExitSecondInstance);
    // The first instance still holds its mutex.
    EXPECT_EQ(::WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    ::ReleaseMutex(mutex.get());
}

class PlantedDlls : public ::testing::Test {
protected:
    // Names the program loads on every start.
    static constexpr const wchar_t *kPlanted[] = {L"dwrite.dll", L"SHCore.dll"};
    static constexpr char kAllPlanted[] = "dwrite.dll SHCore.dll ";

    void SetUp() override
    {
        markers_ = folder_.file(L"markers");
        ASSERT_TRUE(::CreateDirectoryW(markers_.c_str(), nullptr));
        for (const wchar_t *name : kPlanted) {
            ASSERT_TRUE(::CopyFileW((testsupport::kBinDir + L"\\..\\tests\\bin\\planted.dll").c_str(),
                                    folder_.file(name).c_str(), FALSE));
        }
    }

    std::vector<std::wstring> environment() const { return {L"KESTRUNE_PLANT_MARKER_DIR=" + markers_}; }

    // The planted DLLs that were loaded, as "name name ...".
    std::string loadedPlants() const
    {
        std::string loaded;
        for (const wchar_t *name : kPlanted) {
            if (testsupport::fileExists(markers_ + L"\\" + name + L".loaded")) {
                for (const wchar_t *c = name; *c; ++c) {
                    loaded.push_back(static_cast<char>(*c));
                }
                loaded.push_back(' ');
            }
        }
        return loaded;
    }

    testsupport::TempFolder folder_;
    std::wstring markers_;
};

TEST_F(PlantedDlls, ControlWithoutHardeningLoadsThePlant)
{
    const std::wstring control = folder_.file(L"control.exe");
    ASSERT_TRUE(::CopyFileW((testsupport::kBinDir + L"\\..\\tests\\bin\\unhardened_control.exe").c_str(),
                            control.c_str(), FALSE));
    std::wstring command = quoted(control);
    for (const wchar_t *name : kPlanted) {
        command += L" " + std::wstring(name);
    }
    auto child = ChildProcess::start(command, folder_.path(), environment());
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->wait(kProcessTimeoutMs));
    EXPECT_EQ(loadedPlants(), kAllPlanted)
        << "the control did not load the planted DLLs: the test below would prove nothing";
}

TEST_F(PlantedDlls, InstallerNeverLoadsDllsPlantedNextToIt)
{
    const std::wstring installer = folder_.file(L"KestruneSetup.exe");
    ASSERT_TRUE(::CopyFileW(testsupport::kInstallerPath.c_str(), installer.c_str(), FALSE));
    auto child = ChildProcess::start(quoted(installer), folder_.path(), environment());
    ASSERT_TRUE(child);
    // Whatever it shows, it has run its start-up by the time a window appears.
    HWND window = child->waitForWindow([](HWND w) { return ::IsWindowVisible(w) != FALSE; }, 20000);
    if (window != nullptr) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    child->wait(kProcessTimeoutMs);
    EXPECT_EQ(loadedPlants(), "");
}

} // namespace
