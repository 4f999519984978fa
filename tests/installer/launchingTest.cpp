#include "installer/crossProcess.h"
#include "installer/launching.h"
#include "installer/updaterTrust.h"

#include "installer/crossProcess.h"
#include "tests/installer/productFixture.h"

#include <cstring>
#include <map>
#include <sstream>

namespace {

using testsupport::readString;
using testsupport::TempFolder;

const std::wstring kVersion = testsupport::kSampleVersion;

// Sets an environment variable of this process for the lifetime of the
// object.
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

// Makes `folder` this process's current folder for the lifetime of the object.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::wstring &folder)
    {
        wchar_t previous[MAX_PATH] = {};
        const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, previous);
        previous_.assign(previous, length < MAX_PATH ? length : 0);
        ::SetCurrentDirectoryW(folder.c_str());
    }
    ~ScopedCurrentFolder() { ::SetCurrentDirectoryW(previous_.c_str()); }
    ScopedCurrentFolder(const ScopedCurrentFolder &) = delete;
    ScopedCurrentFolder &operator=(const ScopedCurrentFolder &) = delete;

private:
    std::wstring previous_;
};

bool updaterMappingExists()
{
    win32lib::UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, installer::kUpdaterMappingName));
    return mapping.valid();
}

// The rule of a build with the publisher built in, with the verdicts and
// signers WinVerifyTrust would give; under Wine a self-signed certificate
// verifies, so only the digest tells publishers apart.
TEST(Launching, BuiltInPublisherAcceptsOnlyAValidSignatureByItsCertificate)
{
    using win32lib::encryption::Signer;
    Signer ours;
    ours.subject = {1, 2, 3};
    ours.issuer = {4, 5};
    ours.certificateDigest.fill(0xAB);
    Signer sameNameOtherCertificate = ours;
    sameNameOtherCertificate.certificateDigest[31] = 0xAC;
    const Signer::CertificateDigest expected = ours.certificateDigest;
    EXPECT_EQ(ours, sameNameOtherCertificate) << "one publisher, two certificates";

    EXPECT_EQ(installer::builtInSignerDetail(expected, ERROR_SUCCESS, ours), 0u);
    EXPECT_EQ(installer::builtInSignerDetail(expected, ERROR_SUCCESS, sameNameOtherCertificate),
              static_cast<uint32_t>(TRUST_E_NOSIGNATURE));
    EXPECT_EQ(installer::builtInSignerDetail(expected, TRUST_E_BAD_DIGEST, ours),
              static_cast<uint32_t>(TRUST_E_BAD_DIGEST));
    EXPECT_EQ(installer::builtInSignerDetail(expected, TRUST_E_NOSIGNATURE, Signer{}),
              static_cast<uint32_t>(TRUST_E_NOSIGNATURE));

    Signer::CertificateDigest lowerCase;
    lowerCase.fill(0xAB);
    Signer::CertificateDigest upperCase;
    upperCase.fill(0xFE);
    std::wstring lowerText;
    std::wstring upperText;
    for (int index = 0; index < 32; ++index) {
        lowerText += L"ab";
        upperText += L"FE";
    }
    EXPECT_EQ(installer::parseSignerDigest(lowerText), std::optional(lowerCase));
    EXPECT_EQ(installer::parseSignerDigest(upperText), std::optional(upperCase));
    for (const std::wstring &bad : {std::wstring(), std::wstring(63, L'a'), std::wstring(65, L'a'),
                                    std::wstring(63, L'a') + L'g', std::wstring(62, L'a') + L" a"}) {
        EXPECT_FALSE(installer::parseSignerDigest(bad)) << bad.size();
    }
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

// Started from the folder the installer was downloaded to, with a handle it
// could inherit and a variable of the user's: the updater sees none of them.
TEST(Launching, UpdaterStartsInItsOwnFolderWithoutHandlesOrTheUsersVariables)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    testsupport::ShortcutCleaner shortcuts;
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    const win32lib::UniqueHandle event(::CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.valid());
    ASSERT_TRUE(testsupport::writeFile(destination + L"\\Update\\report-start.txt",
                                       std::to_string(reinterpret_cast<uintptr_t>(event.get()))));
    const ScopedEnvironment variable(L"KESTRUNE_TEST_USER_VARIABLE", L"the user's");
    const ScopedCurrentFolder current(folder.path());

    uint32_t detail = 0;
    EXPECT_EQ(installer::runUpdater(destination, kVersion, false, detail), 0) << detail;
    const auto report = testsupport::readFile(destination + L"\\Update\\started.txt");
    ASSERT_TRUE(report);
    const std::wstring text(reinterpret_cast<const wchar_t *>(report->data()), report->size() / sizeof(wchar_t));
    EXPECT_EQ(text, L"current-folder=" + destination + L"\\Update\ninherited-handle=no\nuser-variable=\n");
}

TEST(Launching, FailingUpdaterRegistersNothing)
{
    testsupport::RedirectedMachineKey machine;
    ASSERT_TRUE(machine.redirected());
    testsupport::ShortcutCleaner shortcuts;
    TempFolder folder;
    const std::wstring destination = folder.file(L"Kestrune");
    ASSERT_TRUE(testsupport::unpackSamplePackage(destination));
    ASSERT_TRUE(testsupport::writeFile(destination + L"\\Update\\exit-code.txt", "2"));

    uint32_t detail = 0;
    EXPECT_EQ(installer::runUpdater(destination, kVersion, true, detail), 20061);
    EXPECT_EQ(detail, 2u);
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
