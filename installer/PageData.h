#pragma once

#include <windows.h>

#include <cstdint>

namespace installer {

// wParam: page id. Makes that page current.
constexpr UINT kMsgShowView = WM_USER + 1;
// wParam: page id; lParam: a PageData the receiving window adopts and frees.
constexpr UINT kMsgViewData = WM_USER + 2;

// Page ids of the main window.
enum PageId : int {
    kPageOverlay = 0,
    kPageStart = 1,
    kPageChooseDirectory = 2,
    kPageInstalling = 3,
    kPageFinish = 4,
    kPageError = 5,
};

struct PageData {
    int64_t kind;
    int64_t value;
};

// What the installing and finish pages receive.
constexpr int64_t kDataStatus = 1;
constexpr int64_t kDataProgress = 2;
constexpr int64_t kDataOutcome = 1;

enum InstallStatus : int64_t {
    kStatusChecking = 0,
    kStatusConnecting = 1,
    kStatusDownloading = 2,
    kStatusInstalling = 3,
    kStatusCancelling = 4,
};

enum InstallOutcome : int64_t {
    kOutcomeCompleted = 0,
    kOutcomeCompletedBeforeCancel = 1,
    kOutcomeCancelled = 2,
};

// The progress bar runs from 0 to kProgressScale: the download fills the
// first half, the extraction the second.
constexpr int64_t kProgressScale = 10000;
constexpr int64_t kProgressHalf = kProgressScale / 2;

} // namespace installer
