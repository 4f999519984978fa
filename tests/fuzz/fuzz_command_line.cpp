// The installer's command line as Windows hands it over (UTF-16), and the
// arguments an elevated copy is given from it.

#include "app/commandLine.h"
#include "tests/fuzz/fuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::wstring text = fuzz::utf16Units(data, size);
    const app::CommandLine commandLine = app::parseCommandLine(text);
    if (!commandLine.badArgument.empty()) {
        fuzz::expect(text.find(commandLine.badArgument) != std::wstring::npos || commandLine.badArgument == L"\"\"" ||
                         text.find(L'"') != std::wstring::npos,
                     "the bad argument is one of the arguments");
        return 0;
    }
    // The elevated copy runs the same unattended installation.
    app::CommandLine expected = commandLine;
    expected.help = false;
    fuzz::expect(app::parseCommandLine(app::elevatedCopyArguments(commandLine)) == expected,
                 "an elevated copy's arguments parse back to the same run");
    app::CommandLine logOnly;
    logOnly.logPath = commandLine.logPath;
    fuzz::expect(app::parseCommandLine(app::interactiveCopyArguments(commandLine)) == logOnly,
                 "an interactive copy's arguments carry the log alone");
    return 0;
}
