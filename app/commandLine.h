#pragma once

#include <string>
#include <string_view>

namespace app {

enum class RunMode : unsigned char {
    kInteractive,
    // The main window opens on the installing page and closes by itself.
    kSilent,
    // No window and no message box at all.
    kVerySilent,
};

// The switches as written in help texts and package-manager manifests; the
// program accepts them in any case.
inline constexpr wchar_t kSwitchVerySilent[] = L"/VERYSILENT";
inline constexpr wchar_t kSwitchSilent[] = L"/SILENT";
inline constexpr wchar_t kSwitchDestination[] = L"/DIR=";
inline constexpr wchar_t kSwitchLog[] = L"/LOG=";
inline constexpr wchar_t kSwitchNoDesktopShortcut[] = L"/NODESKTOPSHORTCUT";
inline constexpr wchar_t kSwitchHelp[] = L"/?";
inline constexpr wchar_t kSwitchHelpLong[] = L"/HELP";
// Tools written for another installer pass these with /VERYSILENT. They
// change nothing here: the silent modes show no box and never restart.
inline constexpr const wchar_t *kSwitchesWithoutEffect[] = {L"/SUPPRESSMSGBOXES", L"/NORESTART", L"/SP-"};

struct CommandLine {
    RunMode mode = RunMode::kInteractive;
    bool help = false;
    bool noDesktopShortcut = false;
    // Empty when the switch was not given.
    std::wstring destination;
    std::wstring logPath;
    // The first argument that is unknown, repeated, unbalanced in its quotes
    // or without a value; empty when every argument was understood.
    std::wstring badArgument;

    [[nodiscard]] bool silent() const noexcept { return mode != RunMode::kInteractive; }
    bool operator==(const CommandLine &) const = default;
};

// Arguments are separated by blanks outside double quotes; the quotes
// themselves are dropped, so /DIR="C:\My Folder" and "/DIR=C:\My Folder"
// mean the same. /VERYSILENT wins over /SILENT.
[[nodiscard]] CommandLine parseCommandLine(std::wstring_view arguments);

// The arguments that make an elevated copy run the same unattended
// installation; parsing them gives back `commandLine`.
[[nodiscard]] std::wstring elevatedCopyArguments(const CommandLine &commandLine);

// What an interactive run gives the elevated copy it starts: the log only,
// as the copy takes the pages' choices from the hand-off record.
[[nodiscard]] std::wstring interactiveCopyArguments(const CommandLine &commandLine);

// Taken once at start by the application, read wherever a run behaves
// differently without a user.
void storeCommandLine(const CommandLine &commandLine);
[[nodiscard]] const CommandLine &processCommandLine();
[[nodiscard]] RunMode runMode();

} // namespace app
