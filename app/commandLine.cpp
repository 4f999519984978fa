#include "app/commandLine.h"

#include <cwctype>
#include <vector>

namespace app {
namespace {

CommandLine g_commandLine;

struct Argument {
    std::wstring text;
    bool quotesBalanced = true;
};

std::vector<Argument> splitArguments(std::wstring_view text)
{
    std::vector<Argument> arguments;
    Argument current;
    bool started = false;
    bool inQuotes = false;
    for (const wchar_t c : text) {
        if (c == L'"') {
            inQuotes = !inQuotes;
            started = true;
        } else if (!inQuotes && (c == L' ' || c == L'\t')) {
            if (started) {
                arguments.push_back(std::move(current));
                current = {};
                started = false;
            }
        } else {
            current.text.push_back(c);
            started = true;
        }
    }
    if (started) {
        current.quotesBalanced = !inQuotes;
        arguments.push_back(std::move(current));
    }
    return arguments;
}

bool equalsIgnoringCase(std::wstring_view text, std::wstring_view expected)
{
    if (text.size() != expected.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (std::towupper(text[i]) != std::towupper(expected[i])) {
            return false;
        }
    }
    return true;
}

// The value after `prefix` ("/DIR="), or nothing when the argument is
// another switch.
bool takeValue(std::wstring_view argument, std::wstring_view prefix, std::wstring &value)
{
    if (argument.size() < prefix.size() || !equalsIgnoringCase(argument.substr(0, prefix.size()), prefix)) {
        return false;
    }
    value = argument.substr(prefix.size());
    return true;
}

struct Switches {
    CommandLine commandLine;
    bool verySilent = false;
    bool silent = false;
};

bool isSwitchWithoutEffect(std::wstring_view text)
{
    for (const wchar_t *ignored : kSwitchesWithoutEffect) {
        if (equalsIgnoringCase(text, ignored)) {
            return true;
        }
    }
    return false;
}

// Takes one argument into `switches`; false when it is not understood.
bool applyArgument(const std::wstring &text, Switches &switches)
{
    CommandLine &result = switches.commandLine;
    std::wstring value;
    if (isSwitchWithoutEffect(text)) {
        return true;
    }
    if (equalsIgnoringCase(text, kSwitchVerySilent)) {
        switches.verySilent = true;
    } else if (equalsIgnoringCase(text, kSwitchSilent)) {
        switches.silent = true;
    } else if (equalsIgnoringCase(text, kSwitchNoDesktopShortcut)) {
        result.noDesktopShortcut = true;
    } else if (equalsIgnoringCase(text, kSwitchHelp) || equalsIgnoringCase(text, kSwitchHelpLong)) {
        result.help = true;
    } else if (takeValue(text, kSwitchDestination, value)) {
        // A second value would leave open which one was meant.
        if (value.empty() || !result.destination.empty()) {
            return false;
        }
        result.destination = std::move(value);
    } else if (takeValue(text, kSwitchLog, value)) {
        if (value.empty() || !result.logPath.empty()) {
            return false;
        }
        result.logPath = std::move(value);
    } else {
        return false;
    }
    return true;
}

} // namespace

CommandLine parseCommandLine(std::wstring_view arguments)
{
    Switches switches;
    for (const Argument &argument : splitArguments(arguments)) {
        const bool understood = argument.quotesBalanced && applyArgument(argument.text, switches);
        if (!understood && switches.commandLine.badArgument.empty()) {
            switches.commandLine.badArgument = argument.text.empty() ? std::wstring(L"\"\"") : argument.text;
        }
    }
    CommandLine &result = switches.commandLine;
    result.mode = switches.verySilent ? RunMode::kVerySilent
                  : switches.silent   ? RunMode::kSilent
                                      : RunMode::kInteractive;
    return result;
}

std::wstring elevatedCopyArguments(const CommandLine &commandLine)
{
    std::wstring arguments = commandLine.mode == RunMode::kVerySilent ? kSwitchVerySilent
                             : commandLine.mode == RunMode::kSilent   ? kSwitchSilent
                                                                      : L"";
    const auto append = [&arguments](std::wstring_view text) {
        if (!arguments.empty()) {
            arguments += L' ';
        }
        arguments += text;
    };
    // Values cannot hold a quote: the parser drops them all.
    if (!commandLine.destination.empty()) {
        append(std::wstring(kSwitchDestination) + L"\"" + commandLine.destination + L"\"");
    }
    if (!commandLine.logPath.empty()) {
        append(std::wstring(kSwitchLog) + L"\"" + commandLine.logPath + L"\"");
    }
    if (commandLine.noDesktopShortcut) {
        append(kSwitchNoDesktopShortcut);
    }
    return arguments;
}

std::wstring interactiveCopyArguments(const CommandLine &commandLine)
{
    CommandLine logOnly;
    logOnly.logPath = commandLine.logPath;
    return elevatedCopyArguments(logOnly);
}

void storeCommandLine(const CommandLine &commandLine)
{
    g_commandLine = commandLine;
}

const CommandLine &processCommandLine()
{
    return g_commandLine;
}

RunMode runMode()
{
    return g_commandLine.mode;
}

} // namespace app
