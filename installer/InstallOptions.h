#pragma once

#include <windows.h>

#include <string>

namespace installer {

// Written by the pages before a run and read by the worker; cancelRequested
// is the only value written while the worker runs (by the UI thread).
struct InstallOptions {
    std::wstring destination;
    volatile BYTE startWhenFinished = 1;
    volatile BYTE createDesktopShortcut = 1;
    RECT windowRect = {0, 0, 0, 0};
    volatile BYTE cancelRequested = 0;
    volatile BYTE installSucceeded = 0;
    float downloadPercent = 0.0f;
    float extractionPercent = 0.0f;
};

} // namespace installer
