#include "app/commandLine.h"
#include "app/exitCodes.h"
#include "installer/errorModel.h"
#include "installer/productPaths.h"
#include "kestrune/config.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

namespace {

using app::CommandLine;
using app::RunMode;

struct ParseCase {
    const wchar_t *arguments;
    CommandLine expected;
};

CommandLine withMode(RunMode mode)
{
    CommandLine commandLine;
    commandLine.mode = mode;
    return commandLine;
}

CommandLine bad(const wchar_t *argument, RunMode mode = RunMode::kInteractive)
{
    CommandLine commandLine = withMode(mode);
    commandLine.badArgument = argument;
    return commandLine;
}

TEST(CommandLine, SwitchesAreReadInAnyCaseAndOrderWithQuotedValues)
{
    CommandLine full = withMode(RunMode::kVerySilent);
    full.destination = L"D:\\My Apps\\Kestrune";
    full.logPath = L"C:\\logs\\kestrune install.log";
    full.noDesktopShortcut = true;
    CommandLine help;
    help.help = true;
    CommandLine destinationOnly;
    destinationOnly.destination = L"C:\\K";
    CommandLine keepsBadAndSilence = bad(L"/BOGUS", RunMode::kVerySilent);

    const ParseCase cases[] = {
        {L"", CommandLine{}},
        {L"   \t ", CommandLine{}},
        {L"/VERYSILENT", withMode(RunMode::kVerySilent)},
        {L"/verysilent", withMode(RunMode::kVerySilent)},
        {L"/Silent", withMode(RunMode::kSilent)},
        {L"/SILENT /VERYSILENT", withMode(RunMode::kVerySilent)},
        {L"/?", help},
        {L"/help", help},
        {L"/nodesktopshortcut /log=\"C:\\logs\\kestrune install.log\" /Dir=\"D:\\My Apps\\Kestrune\" /VERYSILENT",
         full},
        {L"\"/DIR=D:\\My Apps\\Kestrune\" /VERYSILENT /LOG=C:\\logs\\\"kestrune install.log\" /NODESKTOPSHORTCUT",
         full},
        {L"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /SP-", withMode(RunMode::kVerySilent)},
        {L"/sp- /norestart /suppressmsgboxes /NORESTART", CommandLine{}},
        {L"/SILENT /SuppressMsgBoxes /DIR=C:\\K",
         [] {
             CommandLine silentWithDestination = withMode(RunMode::kSilent);
             silentWithDestination.destination = L"C:\\K";
             return silentWithDestination;
         }()},
        {L"/SP", bad(L"/SP")},
        {L"/SP-X /VERYSILENT", bad(L"/SP-X", RunMode::kVerySilent)},
        {L"/NORESTART=1", bad(L"/NORESTART=1")},
        {L"/DIR=C:\\K", destinationOnly},
        {L"/DIR=\"C:\\K\\\"",
         [] {
             CommandLine trailing;
             trailing.destination = L"C:\\K\\";
             return trailing;
         }()},
        {L"/BOGUS", bad(L"/BOGUS")},
        {L"/VERYSILENT /BOGUS", keepsBadAndSilence},
        {L"/BOGUS /VERYSILENT", keepsBadAndSilence},
        {L"/DIR=", bad(L"/DIR=")},
        {L"/DIR=\"\"", bad(L"/DIR=")},
        {L"/DIR", bad(L"/DIR")},
        {L"/LOG=", bad(L"/LOG=")},
        {L"/S", bad(L"/S")},
        {L"-VERYSILENT", bad(L"-VERYSILENT")},
        {L"/VERYSILENTX", bad(L"/VERYSILENTX")},
        {L"\"\"", bad(L"\"\"")},
        {L"/DIR=\"C:\\unclosed", bad(L"/DIR=C:\\unclosed")},
        {L"/DIR=C:\\K /DIR=C:\\K",
         [] {
             CommandLine repeated = bad(L"/DIR=C:\\K");
             repeated.destination = L"C:\\K";
             return repeated;
         }()},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.arguments, c.arguments + wcslen(c.arguments)));
        const CommandLine parsed = app::parseCommandLine(c.arguments);
        EXPECT_EQ(parsed.mode, c.expected.mode);
        EXPECT_EQ(parsed.help, c.expected.help);
        EXPECT_EQ(parsed.noDesktopShortcut, c.expected.noDesktopShortcut);
        EXPECT_EQ(parsed.destination, c.expected.destination);
        EXPECT_EQ(parsed.logPath, c.expected.logPath);
        EXPECT_EQ(parsed.badArgument, c.expected.badArgument);
    }
}

TEST(CommandLine, ElevatedCopyArgumentsReadBackTheSame)
{
    for (const wchar_t *arguments :
         {L"/VERYSILENT", L"/SILENT /NODESKTOPSHORTCUT",
          L"/verysilent /dir=\"C:\\Program Files\\Kestrune Software\\\" /log=\"C:\\a b.log\"",
          L"/SILENT \"/LOG=C:\\x y\\install.log\" /DIR=D:\\K"}) {
        const CommandLine original = app::parseCommandLine(arguments);
        const std::wstring copy = app::elevatedCopyArguments(original);
        EXPECT_EQ(app::parseCommandLine(copy), original) << std::string(copy.begin(), copy.end());
    }
    CommandLine spaced = withMode(RunMode::kSilent);
    spaced.destination = L"C:\\A B";
    EXPECT_EQ(app::elevatedCopyArguments(spaced), L"/SILENT /DIR=\"C:\\A B\"");
}

// The WinGet manifests as make-manifests writes them for this build, read
// line by line: no YAML library for files this plain. The schema test
// (tests/packaging) checks their format; this one their agreement with
// the program.
class WingetManifest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t *name : {L"KestruneSoftware.Kestrune.yaml", L"KestruneSoftware.Kestrune.installer.yaml",
                                    L"KestruneSoftware.Kestrune.locale.en-US.yaml"}) {
            const auto text = testsupport::readFile(std::wstring(KESTRUNE_WINGET_MANIFESTS) + L"\\" + name);
            ASSERT_TRUE(text) << "no manifest " << narrow(name);
            read(*text);
        }
    }

    void read(const std::string &text)
    {
        std::istringstream lines(text);
        int pendingCode = 0;
        for (std::string line; std::getline(lines, line);) {
            const size_t colon = line.find(": ");
            if (colon == std::string::npos || line.front() == '#') {
                continue;
            }
            std::string key = line.substr(0, colon);
            key.erase(0, key.find_first_not_of(" -"));
            std::string value = line.substr(colon + 2);
            // Quoted where YAML would read something else; '' is one quote.
            if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
                value = value.substr(1, value.size() - 2);
                for (size_t at = value.find("''"); at != std::string::npos; at = value.find("''", at + 1)) {
                    value.erase(at, 1);
                }
            }
            if (key == "InstallerReturnCode") {
                pendingCode = std::stoi(value);
            } else if (key == "ReturnResponse") {
                EXPECT_EQ(responses_.count(pendingCode), 0u) << pendingCode << " mapped twice";
                responses_[pendingCode] = value;
            } else {
                values_.insert({key, value});
            }
        }
    }

    [[nodiscard]] std::string value(const std::string &key) const
    {
        EXPECT_EQ(values_.count(key), 1u) << key;
        const auto found = values_.find(key);
        return found == values_.end() ? std::string() : found->second;
    }

    static std::string narrow(std::wstring_view text) { return std::string(text.begin(), text.end()); }

    std::multimap<std::string, std::string> values_;
    std::map<int, std::string> responses_;
};

TEST_F(WingetManifest, SwitchesAreTheOnesTheProgramReads)
{
    EXPECT_EQ(values_.count("ManifestVersion"), 3u);
    EXPECT_EQ(value("Silent"), narrow(app::kSwitchVerySilent));
    EXPECT_EQ(value("SilentWithProgress"), narrow(app::kSwitchSilent));
    EXPECT_EQ(value("InstallLocation"), narrow(app::kSwitchDestination) + "\"<INSTALLPATH>\"");
    EXPECT_EQ(value("Log"), narrow(app::kSwitchLog) + "\"<LOGPATH>\"");
    EXPECT_EQ(value("InstallerType"), "exe");
    EXPECT_EQ(value("Scope"), "machine");
    EXPECT_EQ(value("ElevationRequirement"), "elevatesSelf");
    EXPECT_EQ(values_.count("Architecture"), 2u) << "one installer per word size";
}

TEST_F(WingetManifest, EveryExitCodeIsMappedAsAgreed)
{
    std::map<int, std::string> expected = {
        {app::kExitAlreadyInstalled, "alreadyInstalled"},  {installer::kErrorNoFreeSpace, "diskFull"},
        {installer::kErrorDiskWrite, "diskFull"},          {installer::kErrorInternetConnection, "noNetwork"},
        {installer::kErrorServerUnreachable, "noNetwork"}, {installer::kErrorDownloadInterrupted, "noNetwork"},
        {installer::kErrorCancelled, "cancelledByUser"},   {app::kExitWrongWordSize, "systemNotSupported"},
        {app::kExitSecondInstance, "installInProgress"},   {app::kExitElevationDeclined, "cancelledByUser"},
        {app::kExitInvalidParameter, "invalidParameter"},  {app::kExitInitFailure, "contactSupport"},
        {app::kExitComFailed, "contactSupport"},
    };
    // Every id the error page knows is an exit code of a silent run, and so
    // is every code with a meaning of its own but success; codes added
    // later are listed for support.
    for (int id = installer::kErrorCreateDestination; id < installer::kErrorCancelled; ++id) {
        if (installer::errorTexts(static_cast<uint16_t>(id), 0, L"C:\\K") && expected.count(id) == 0) {
            expected[id] = "contactSupport";
        }
    }
    for (const app::ExitCodeMeaning &known : app::kExitCodeMeanings) {
        if (known.code != app::kExitNormal && expected.count(static_cast<int>(known.code)) == 0) {
            expected[static_cast<int>(known.code)] = "contactSupport";
        }
    }
    EXPECT_EQ(responses_, expected);
}

TEST_F(WingetManifest, NamesAndVersionsAreTheRegisteredOnes)
{
    const std::wstring uninstallKey = installer::kUninstallKey;
    EXPECT_EQ(value("DisplayName"), narrow(installer::kProductName));
    EXPECT_EQ(value("PackageName"), narrow(installer::kProductName));
    EXPECT_EQ(values_.count("Publisher"), 2u);
    for (auto [at, end] = values_.equal_range("Publisher"); at != end; ++at) {
        EXPECT_EQ(at->second, narrow(installer::kPublisher));
    }
    EXPECT_EQ(value("ProductCode"), narrow(uninstallKey.substr(uninstallKey.rfind(L'\\') + 1)));
    EXPECT_EQ(values_.count("PackageVersion"), 3u);
    for (auto [at, end] = values_.equal_range("PackageVersion"); at != end; ++at) {
        EXPECT_EQ(at->second, narrow(KESTRUNE_VERSION_TEXT));
    }
    EXPECT_EQ(value("DisplayVersion"), narrow(KESTRUNE_SAMPLE_VERSION_TEXT));
}

} // namespace
