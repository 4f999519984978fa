#include "installer/crossProcess.h"
#include "installer/launching.h"

#include "installer/crossProcess.h"
#include "tests/installer/productFixture.h"

#include <cstring>
#include <map>
#include <sstream>

namespace {

using testsupport::readString;
using testsupport::TempFolder;

const std::wstring kVersion = testsupport::kSampleVersion;

// Sets an environment variable of this process (inherited by the updater)
// for the lifetime of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t *name, const wchar_t *value) : name_(name)
    {
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { ::SetEnvironmentVariableW(name_, nullptr); }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    const wchar_t *name_;
};

bool updaterMappingExists()
{
    win32lib::UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, installer::kUpdaterMappingName));
    return mapping.valid();
}

TEST(Launching, UpdaterCommandLineQuotesThePath)
{
    EXPECT_EQ(installer::updaterCommandLine(L"C:\\Program Files\\Kestrune"),
              L"\"C:\\Program Files\\Kestrune\\Update\\KestruneUpdater.exe\" -i");
}

// The install folder has a space in it, and a program sits where an
// unquoted command line would find it first ("...\Kestrune.exe" for
// "...\Kestrune Test\Update\..."): it would run with the wrong arguments and
// fail.
TEST(Launching, SuccessfulUpdaterRegistersTheProduct)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    testsupport::ShortcutCleaner shortcuts;
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune Test");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));
    ASSERT_TRUE(::CopyFileW(installer::updaterPath(destination).c_str(), folder.file(L"Kestrune.exe").c_str(), TRUE));

    uint32_t detail = 12345;
    EXPECT_EQ(installer::runUpdater(destination, kVersion, true, detail), 0);
    EXPECT_FALSE(updaterMappingExists());

    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, installer::kUninstallKey, L"InstallLocation"), destination);
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, installer::kUninstallKey, L"DisplayVersion"), kVersion);
    EXPECT_TRUE(readString(HKEY_LOCAL_MACHINE, installer::kVendorKey, L"AdCampaignId").has_value());
    EXPECT_TRUE(testsupport::fileExists(testsupport::shortcutPath(FOLDERID_CommonPrograms)));
    EXPECT_TRUE(testsupport::fileExists(testsupport::shortcutPath(FOLDERID_PublicDesktop)));
    EXPECT_TRUE(testsupport::fileExists(installer::launcherPath(destination)));
}

TEST(Launching, FailingUpdaterRemovesTheInstallationAndRegistersNothing)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    testsupport::ShortcutCleaner shortcuts;
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));
    ScopedEnvironment exitCode(L"KESTRUNE_UPDATER_EXIT_CODE", L"2");

    uint32_t detail = 0;
    EXPECT_EQ(installer::runUpdater(destination, kVersion, true, detail), 20061);
    EXPECT_EQ(detail, 2u);
    EXPECT_FALSE(testsupport::fileExists(destination));
    EXPECT_FALSE(updaterMappingExists());
    EXPECT_FALSE(testsupport::keyExists(HKEY_LOCAL_MACHINE, installer::kUninstallKey));
    EXPECT_FALSE(testsupport::keyExists(HKEY_LOCAL_MACHINE, installer::kVendorKey));
    EXPECT_FALSE(testsupport::fileExists(testsupport::shortcutPath(FOLDERID_CommonPrograms)));
    EXPECT_FALSE(testsupport::fileExists(testsupport::shortcutPath(FOLDERID_PublicDesktop)));
}

// The stand-in updater checks the mapping, so a run that succeeds proves the
// installer handed over the right install root.
TEST(Launching, SampleUpdaterRefusesAMissingOrWrongInstallRoot)
{
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));
    const std::wstring commandLine = L"\"" + installer::updaterPath(destination) + L"\" -i";
    ASSERT_FALSE(updaterMappingExists());

    auto runUpdater = [&] {
        auto updater = testsupport::ChildProcess::start(commandLine);
        return updater ? updater->wait(30000) : std::nullopt;
    };
    EXPECT_EQ(runUpdater(), 11u) << "no mapping";

    auto mapping = [](const std::wstring &root) {
        win32lib::UniqueHandle handle(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                           installer::kUpdaterMappingSize,
                                                           installer::kUpdaterMappingName));
        win32lib::UniqueMappedView view(
            ::MapViewOfFile(handle.get(), FILE_MAP_WRITE, 0, 0, installer::kUpdaterMappingSize));
        if (view) {
            std::memcpy(view.get(), root.c_str(), (root.size() + 1) * sizeof(wchar_t));
        }
        return std::make_pair(std::move(handle), std::move(view));
    };
    {
        const auto wrong = mapping(folder.path());
        EXPECT_EQ(runUpdater(), 12u) << "another root";
    }
    {
        const auto right = mapping(destination);
        EXPECT_EQ(runUpdater(), 0u);
    }
    EXPECT_EQ(testsupport::ChildProcess::start(L"\"" + installer::updaterPath(destination) + L"\"")->wait(30000), 10u)
        << "without -i";
}

TEST(Launching, PackageWithoutUpdaterFailsToStartIt)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune");
    ASSERT_TRUE(::CreateDirectoryW(destination.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(installer::productFolder(destination).c_str(), nullptr));
    ASSERT_TRUE(testsupport::writeFile(installer::launcherPath(destination), "not a program"));

    uint32_t detail = 0;
    EXPECT_EQ(installer::runUpdater(destination, kVersion, true, detail), 20060);
    EXPECT_TRUE(detail == ERROR_FILE_NOT_FOUND || detail == ERROR_PATH_NOT_FOUND) << detail;
    EXPECT_FALSE(testsupport::fileExists(destination));
    EXPECT_FALSE(testsupport::keyExists(HKEY_LOCAL_MACHINE, installer::kUninstallKey));
}

std::map<std::string, std::string> readMarker(const std::wstring &path)
{
    std::map<std::string, std::string> fields;
    const auto text = testsupport::readFile(path);
    if (!text) {
        return fields;
    }
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return fields;
}

std::string narrow(const std::wstring &text)
{
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                          nullptr);
    return bytes;
}

TEST(Launching, UnelevatedLaunchStartsTheLauncherInTheProductFolder)
{
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));
    const std::wstring marker = installer::productFolder(destination) + L"\\launcher-ran.txt";

    const HRESULT result = installer::shellExecuteUnelevated(installer::launcherPath(destination).c_str(),
                                                             installer::productFolder(destination).c_str(), nullptr,
                                                             nullptr, SW_SHOWNORMAL);
    ASSERT_EQ(result, S_OK);
    for (int wait = 0; wait < 300 && !testsupport::fileExists(marker); ++wait) {
        ::Sleep(50);
    }
    ASSERT_TRUE(testsupport::fileExists(marker));
    ::Sleep(100);
    const auto fields = readMarker(marker);
    ASSERT_EQ(fields.count("folder"), 1u);
    const std::string expectedFolder = narrow(installer::productFolder(destination));
    EXPECT_EQ(::lstrcmpiA(fields.at("folder").c_str(), expectedFolder.c_str()), 0)
        << fields.at("folder") << " vs " << expectedFolder;
    EXPECT_EQ(::lstrcmpiA(fields.at("program").c_str(), narrow(installer::launcherPath(destination)).c_str()), 0);
    // Wine gives every process a full token; on Windows the shell's is limited.
    RecordProperty("launcherElevationType", fields.count("elevation") ? fields.at("elevation") : "");

    HWND window = nullptr;
    for (int wait = 0; wait < 100 && window == nullptr; ++wait) {
        window = ::FindWindowW(L"KestruneLauncherWindow", nullptr);
        ::Sleep(20);
    }
    ASSERT_NE(window, nullptr);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    win32lib::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (process) {
        EXPECT_EQ(::WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
    }
}

} // namespace

namespace {

// The elevated installer starts no browser of its own: an address opens
// through the desktop shell, like the player, so whatever opens it is the
// shell's child, not the installer's. A program stands in for the address:
// the shell treats both alike, and only a program can tell who started it.
TEST(Launching, AddressesOpenThroughTheDesktopShell)
{
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));

    ASSERT_EQ(installer::openInBrowser(installer::launcherPath(destination), SW_SHOWNORMAL), S_OK);
    HWND window = nullptr;
    for (int wait = 0; wait < 300 && window == nullptr; ++wait) {
        window = ::FindWindowW(L"KestruneLauncherWindow", nullptr);
        ::Sleep(20);
    }
    ASSERT_NE(window, nullptr);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    win32lib::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    ASSERT_TRUE(process);
    const DWORD parent = installer::parentProcessId(process.get());
    EXPECT_NE(parent, 0u);
    EXPECT_NE(parent, ::GetCurrentProcessId()) << "opened as a child of the installer";
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
}

} // namespace
