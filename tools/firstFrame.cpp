// Time to first frame of a windowed program, for bench/run: starts the
// program, watches the middle of the screen, and takes the time at which
// the pixel there first changes, i.e. when the program's first drawing is on
// the screen. Then ends the program. Prints one line per run and the median.
//   kestrune_first_frame RUNS PROGRAM [ARGUMENTS]
#include "win32lib/UniqueResource.h"
#include "tools/benchClock.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

COLORREF screenCentre()
{
    const HDC screen = ::GetDC(nullptr);
    const COLORREF colour =
        ::GetPixel(screen, ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

// Milliseconds from CreateProcess to the first changed pixel; negative on failure.
double oneRun(const std::wstring &commandLine, COLORREF before)
{
    // The previous run's window must be gone from the screen first.
    for (int wait = 0; wait < 100 && screenCentre() != before; ++wait) {
        ::Sleep(50);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    std::wstring line = commandLine;
    const double start = nowMs();
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        return -1.0;
    }
    win32lib::UniqueHandle process(started.hProcess);
    win32lib::UniqueHandle thread(started.hThread);
    double elapsed = -1.0;
    while (nowMs() - start < 30000.0) {
        if (screenCentre() != before) {
            elapsed = nowMs() - start;
            break;
        }
        if (::WaitForSingleObject(process.get(), 1) == WAIT_OBJECT_0) {
            break;
        }
    }
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 10000);
    return elapsed;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: kestrune_first_frame RUNS PROGRAM [ARGUMENTS]\n");
        return 2;
    }
    const int runs = std::max(1, static_cast<int>(std::wcstol(argv[1], nullptr, 10)));
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    for (int i = 3; i < argc; ++i) {
        commandLine += L" ";
        commandLine += argv[i];
    }
    std::vector<double> times;
    const COLORREF empty = screenCentre();
    for (int run = 0; run < runs; ++run) {
        const double elapsed = oneRun(commandLine, empty);
        if (elapsed < 0) {
            std::fwprintf(stderr, L"first_frame: no frame from %ls\n", commandLine.c_str());
            return 1;
        }
        std::printf("run=%d first_frame_ms=%.1f\n", run + 1, elapsed);
        times.push_back(elapsed);
    }
    std::sort(times.begin(), times.end());
    const size_t middle = times.size() / 2;
    const double median = times.size() % 2 != 0 ? times[middle] : (times[middle - 1] + times[middle]) / 2.0;
    std::printf("median_first_frame_ms=%.1f\n", median);
    return 0;
}
