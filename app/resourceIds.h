#pragma once

// Ids of the string table, the RCDATA identifiers and the icon.
namespace app::ids {

enum : unsigned {
    kAlreadyInstalled = 300,
    kRunAsAdministrator = 301,
    kWrongWordSize = 302,
    kStopQuestion = 303,
    kStartWhenFinished = 304,
    kCreateDesktopShortcut = 305,
    kSetupFinished = 306,
    kSetupCancelled = 307,
    kFinishedText = 308,
    kFinishedBeforeCancelText = 309,
    kCancelledText = 310,
    kStatusDownloading = 311,
    kStatusInstalling = 312,
    kStatusCancelling = 313,
    kWelcome = 314,
    kThankYou = 315,
    kLicenceLine = 316,
    kStatusConnecting = 318,
    kStatusChecking = 319,
    kPathTooLong = 320,

    // The error page's texts (400 on) are defined with the errors, in
    // resources/installErrors.json.
    kErrorTitleFirst = 400,

    kExpressInstall = 500,
    kStartInstall = 501,
    kChooseDirectory = 502,
    kLicenceAgreement = 504,
    kManualInstall = 505,

    kSecondInstance = 1200,
    kInitFailure = 1400,
    kBadArgument = 1410,
    kSwitchList = 1411,

    kBrowse = 1600,
    kBack = 1601,
    kRetry = 1602,
    kCancel = 1603,
    kExit = 1604,
    kFinish = 1605,
    kStop = 1606,
    kOk = 1607,
    kYes = 1608,
    kNo = 1609,
    kDone = 1610,

    kCaption = 1700,
    kInformation = 1703,
    kError = 1704,

    kDesktopShortcutDescription = 1800,
    kStartMenuShortcutDescription = 1801,

    kCampaignId = 110,
    kChannelId = 111,

    kIcon = 200,
};

} // namespace app::ids
