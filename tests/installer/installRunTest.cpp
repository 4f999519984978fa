#include "app/privileges.h"
#include "installer/Installer.h"
#include "installer/fileSystem.h"
#include "installer/folderSecurity.h"
#include "installer/installRun.h"
#include "installer/reporting.h"
#include "installer/worker.h"
#include "ui/WindowEvents.h"
#include "ui/pageData.h"
#include "tests/installer/fakeSteps.h"
#include "tests/installer/pageMessages.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <array>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace enginetest;
using installer::Installer;

class InstallSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        destination_ = folder_.file(L"Kestrune Software");
        installer_.options().destination = destination_;
        ASSERT_NE(sink_.window(), nullptr);
        installer_.setEvents(std::make_shared<ui::WindowEvents>(sink_.window()));
    }

    // Runs the real worker thread to its end while the test thread receives
    // its messages; returns the thread's exit code.
    DWORD run()
    {
        sink_.messages.clear();
        return runDirectly(fakeSteps(scenario_, destination_), installer_.options(), sink_.window());
    }

    void requestCancel() { installer_.options().cancelRequested = 1; }

    // Exactly one error event and the matching error page, nothing else.
    void expectError(uint32_t step, uint16_t id, uint32_t error, uint32_t extra1, uint32_t extra2, int64_t pageValue)
    {
        ASSERT_EQ(scenario_.errors.size(), 1u);
        const std::array<uint32_t, 5> expected = {step, id, error, extra1, extra2};
        EXPECT_EQ(scenario_.errors[0], expected);
        EXPECT_TRUE(scenario_.stops.empty());
        EXPECT_EQ(scenario_.successes, 0);
        EXPECT_EQ(sink_.values(kError, id), std::vector<int64_t>{pageValue});
        EXPECT_EQ(sink_.shownPages(), std::vector<WPARAM>{kError});
        EXPECT_TRUE(sink_.values(kFinish, 1).empty());
        expectDataBeforeShow();
    }

    void expectCancelled(uint32_t step)
    {
        ASSERT_EQ(scenario_.stops.size(), 1u);
        EXPECT_EQ(scenario_.stops[0].first, step);
        EXPECT_TRUE(scenario_.errors.empty());
        EXPECT_EQ(scenario_.successes, 0);
        EXPECT_EQ(sink_.values(kFinish, 1), std::vector<int64_t>{2});
        EXPECT_EQ(sink_.shownPages(), std::vector<WPARAM>{kFinish});
        expectDataBeforeShow();
    }

    // The final page holds its data before it is shown.
    void expectDataBeforeShow()
    {
        bool dataSeen = false;
        for (const auto &message : sink_.messages) {
            if (message.message == kMsgViewData && message.page != kInstalling) {
                dataSeen = true;
            }
            if (message.message == kMsgShowView) {
                EXPECT_TRUE(dataSeen) << "page " << message.page << " shown before its data";
            }
        }
    }

    [[nodiscard]] std::vector<int64_t> statuses() const { return sink_.values(kInstalling, 1); }
    [[nodiscard]] std::vector<int64_t> progress() const { return sink_.values(kInstalling, 2); }

    TempFolder folder_;
    std::wstring destination_;
    PageMessageSink sink_;
    Installer installer_;
    Scenario scenario_;
};

TEST_F(InstallSequence, CompleteRunReportsSuccessAndKeepsTheInstallation)
{
    installer_.options().createDesktopShortcut = 0;
    EXPECT_EQ(run(), 0u);

    EXPECT_EQ(statuses(), (std::vector<int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(scenario_.successes, 1);
    EXPECT_TRUE(scenario_.errors.empty());
    EXPECT_TRUE(scenario_.stops.empty());
    EXPECT_EQ(sink_.values(kFinish, 1), std::vector<int64_t>{0});
    EXPECT_EQ(sink_.shownPages(), std::vector<WPARAM>{kFinish});
    expectDataBeforeShow();
    EXPECT_EQ(installer_.options().installSucceeded, 1);

    EXPECT_EQ(scenario_.nameLength, 10u);
    EXPECT_EQ(scenario_.packagePath, destination_ + L"\\Pkg0aZ9xq.zip");
    EXPECT_TRUE(scenario_.packageExistedAfterDownload);
    EXPECT_FALSE(testsupport::fileExists(scenario_.packagePath)) << "the package was not deleted";
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\player.dat"));
    EXPECT_EQ(scenario_.updaterDestination, destination_);
    EXPECT_EQ(scenario_.updaterVersion, L"1.2.3");
    EXPECT_FALSE(scenario_.updaterShortcut);
}

TEST_F(InstallSequence, DestinationThatIsAFileGives20001WithError183AndStays)
{
    ASSERT_TRUE(testsupport::writeFile(destination_, "not a folder"));
    EXPECT_EQ(run(), 20001u);
    expectError(1, 20001, ERROR_ALREADY_EXISTS, 0, 0, ERROR_ALREADY_EXISTS);
    EXPECT_EQ(statuses(), std::vector<int64_t>{0});
    EXPECT_EQ(testsupport::readFile(destination_), std::optional<std::string>("not a folder"));
    EXPECT_FALSE(scenario_.downloadCalled);
}

TEST_F(InstallSequence, DestinationEndingInBackslashGives20001WithCode87)
{
    installer_.options().destination = destination_ + L"\\";
    EXPECT_EQ(run(), 20001u);
    expectError(1, 20001, ERROR_INVALID_PARAMETER, 0, 0, ERROR_INVALID_PARAMETER);
}

TEST_F(InstallSequence, MissingDestinationIsCreatedWithParentsAndRemovedAfterAFailure)
{
    destination_ = folder_.file(L"Program Files\\Kestrune Software");
    installer_.options().destination = destination_;
    scenario_.downloadResult = 20011;
    scenario_.requestError = 12029;
    EXPECT_EQ(run(), 20011u);
    EXPECT_TRUE(scenario_.destinationExistedAtError) << "the destination was never created";
    expectError(4, 20011, 12029, 0, 2, 12029);
    EXPECT_FALSE(testsupport::fileExists(destination_));
    EXPECT_FALSE(testsupport::fileExists(scenario_.packagePath));
    EXPECT_TRUE(installer::isDirectory(folder_.file(L"Program Files")));
}

// A folder the run did not create is never removed: an empty one it may take
// over (owned by Administrators, as an elevated process makes it on Windows)
// loses only what the run put into it; one of another owner (Wine names the
// user as every folder's owner) is refused untouched.
TEST_F(InstallSequence, PreExistingEmptyDestinationSurvivesAFailedRun)
{
    ASSERT_TRUE(::CreateDirectoryW(destination_.c_str(), nullptr));
    win32lib::UniqueLocalMemory descriptor;
    ASSERT_EQ(::GetNamedSecurityInfoW(destination_.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr,
                                      nullptr, nullptr, nullptr, descriptor.put()),
              static_cast<DWORD>(ERROR_SUCCESS));
    const bool takenOver = installer::mayTakeOverOwner(descriptor.get());
    scenario_.downloadResult = 20011;
    scenario_.requestError = 12029;
    if (takenOver) {
        EXPECT_EQ(run(), 20011u);
        EXPECT_TRUE(scenario_.downloadCalled);
    } else {
        EXPECT_EQ(run(), 20003u);
        expectError(1, 20003, ERROR_INVALID_OWNER, 0, 0, ERROR_INVALID_OWNER);
    }
    EXPECT_TRUE(installer::isDirectory(destination_)) << "a folder the run did not create was removed";
    EXPECT_TRUE(installer::isDirectoryEmpty(destination_));
}

// While the manifest is fetched, the destination's parent (a folder its user
// controls, like D:\Games) is renamed away and a folder that already holds a
// DLL where the updater will run takes its place. Nothing of the run lands
// there and nothing in it is deleted. The destination itself cannot be
// renamed while the run holds it, under Wine as on Windows; Windows refuses
// to rename the parent too, Wine does not.
TEST_F(InstallSequence, DestinationSwappedDuringTheManifestIsNeitherUsedNorCleanedUp)
{
    const std::wstring parent = folder_.file(L"Games");
    destination_ = parent + L"\\Kestrune";
    installer_.options().destination = destination_;
    const std::wstring planted = destination_ + L"\\Update\\planted.dll";
    DWORD destinationRenameError = 0;
    bool swapped = false;
    scenario_.duringManifest = [&] {
        EXPECT_FALSE(::MoveFileW(destination_.c_str(), folder_.file(L"moved").c_str()));
        destinationRenameError = ::GetLastError();
        swapped = ::MoveFileW(parent.c_str(), folder_.file(L"Games moved").c_str()) != FALSE;
        if (swapped) {
            EXPECT_TRUE(installer::tryCreateDirectoryTree(destination_ + L"\\Update"));
            EXPECT_TRUE(testsupport::writeFile(planted, "planted"));
        }
    };
    const DWORD result = run();
    EXPECT_EQ(destinationRenameError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (!swapped) {
        EXPECT_EQ(result, 0u);
        return;
    }
    EXPECT_EQ(result, 20003u);
    ASSERT_EQ(scenario_.errors.size(), 1u);
    EXPECT_EQ(scenario_.errors[0][1], 20003u);
    EXPECT_EQ(scenario_.errors[0][2], static_cast<uint32_t>(ERROR_FILE_INVALID));
    EXPECT_FALSE(scenario_.downloadCalled);
    EXPECT_FALSE(scenario_.extractionCalled);
    EXPECT_FALSE(scenario_.updaterCalled);
    EXPECT_EQ(testsupport::readFile(planted), std::optional<std::string>("planted"));
    EXPECT_FALSE(testsupport::fileExists(destination_ + L"\\Pkg0aZ9xq.zip"));
    EXPECT_FALSE(testsupport::fileExists(destination_ + L"\\player.dat"));
}

TEST_F(InstallSequence, NonEmptyDestinationGives20002AndIsNeverRemoved)
{
    ASSERT_TRUE(installer::tryCreateDirectoryTree(destination_));
    ASSERT_TRUE(testsupport::writeFile(destination_ + L"\\mine.txt", "keep me"));
    EXPECT_EQ(run(), 20002u);
    ASSERT_EQ(scenario_.errors.size(), 1u);
    const auto &logged = scenario_.errors[0];
    expectError(1, 20002, logged[2], 0, 0, logged[2]);
    EXPECT_EQ(testsupport::readFile(destination_ + L"\\mine.txt"), std::optional<std::string>("keep me"));
}

TEST_F(InstallSequence, NonEmptyDestinationStaysWhenACancelArrivesDuringItsCheck)
{
    ASSERT_TRUE(installer::tryCreateDirectoryTree(destination_));
    ASSERT_TRUE(testsupport::writeFile(destination_ + L"\\mine.txt", "keep me"));
    requestCancel();
    EXPECT_EQ(run(), 20100u);
    expectCancelled(1);
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\mine.txt"));
}

TEST_F(InstallSequence, ReadOnlyEmptyDestinationGives20003WhenTheSystemRefusesWriting)
{
    ASSERT_TRUE(installer::tryCreateDirectoryTree(destination_));
    ASSERT_TRUE(::SetFileAttributesW(destination_.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    const bool refused = _waccess_s(destination_.c_str(), 2) != 0;
    if (!refused) {
        ::SetFileAttributesW(destination_.c_str(), FILE_ATTRIBUTE_DIRECTORY);
        GTEST_SKIP() << "folders are always writable for _waccess_s here";
    }
    EXPECT_EQ(run(), 20003u);
    expectError(1, 20003, scenario_.errors.empty() ? 0 : scenario_.errors[0][2], 0, 0,
                scenario_.errors.empty() ? 0 : scenario_.errors[0][2]);
    EXPECT_FALSE(scenario_.downloadCalled);
}

TEST_F(InstallSequence, CancelBeforeTheFirstStepReportsStep1WithNoTime)
{
    requestCancel();
    EXPECT_EQ(run(), 20100u);
    expectCancelled(1);
    EXPECT_EQ(scenario_.stops[0].second, 0);
    EXPECT_FALSE(testsupport::fileExists(destination_)) << "the created destination was left behind";
}

TEST_F(InstallSequence, ManifestFailureReportsRequestCodesAndRemovesTheDestination)
{
    scenario_.manifestResult = 20021;
    scenario_.requestError = 12007;
    scenario_.sslErrors = 8;
    EXPECT_EQ(run(), 20021u);
    expectError(2, 20021, 12007, 8, 1, 12007);
    EXPECT_EQ(statuses(), (std::vector<int64_t>{0, 1}));
    EXPECT_FALSE(scenario_.downloadCalled);
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST_F(InstallSequence, CancelDuringTheManifestWinsOverItsFailure)
{
    scenario_.manifestResult = 20022;
    scenario_.duringManifest = [this] { requestCancel(); };
    EXPECT_EQ(run(), 20100u);
    expectCancelled(2);
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST_F(InstallSequence, MinimumSizeAboveFreeSpaceGives20004WithTheSizeIn64Bits)
{
    // More than any disk has, and above 4 GiB so that a 32-bit value would wrap.
    scenario_.minSize = 1ULL << 60;
    EXPECT_EQ(run(), 20004u);
    expectError(3, 20004, 0, 0, 0, static_cast<int64_t>(1ULL << 60));
    EXPECT_FALSE(scenario_.downloadCalled);
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST_F(InstallSequence, EnoughFreeSpacePassesTheCheck)
{
    scenario_.minSize = 0;
    EXPECT_EQ(run(), 0u);
    EXPECT_TRUE(scenario_.downloadCalled);
}

TEST_F(InstallSequence, DownloadFailureCarriesTheDownloadsCodes)
{
    scenario_.downloadResult = 20004;
    scenario_.requestError = ERROR_DISK_FULL;
    scenario_.sslErrors = 0x10;
    EXPECT_EQ(run(), 20004u);
    expectError(4, 20004, ERROR_DISK_FULL, 0x10, 2, ERROR_DISK_FULL);
    EXPECT_FALSE(scenario_.extractionCalled);
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST_F(InstallSequence, CancelDuringTheDownloadStopsItThroughTheCallbackAndTimesTheStep)
{
    scenario_.downloadMs = 200;
    scenario_.downloadProgress = {{1000, 100}, {1000, 200}, {1000, 300}};
    scenario_.duringDownload = [this] { requestCancel(); };
    EXPECT_EQ(run(), 20100u);
    expectCancelled(4);
    EXPECT_GE(scenario_.stops[0].second, 150);
    EXPECT_LT(scenario_.stops[0].second, 10000);
    EXPECT_FALSE(scenario_.extractionCalled);
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST_F(InstallSequence, CancelAfterACompleteDownloadIsNoticedBeforeExtraction)
{
    scenario_.duringDownload = [this] { requestCancel(); };
    EXPECT_EQ(run(), 20100u);
    expectCancelled(4);
    EXPECT_FALSE(scenario_.extractionCalled);
}

TEST_F(InstallSequence, ExtractionFailuresMapToTheirIds)
{
    struct Row {
        DWORD lastError;
        uint32_t extractorCode;
        int32_t zipCode;
        uint16_t id;
    };
    const Row rows[] = {
        {ERROR_DISK_FULL, 65003, 0, 20004},
        {ERROR_DISK_FULL, 65001, 0, 20004},
        {0, 65003, 0, 20005},
        {ERROR_ACCESS_DENIED, 65002, 0, 20040},
        {0, 65012, -3, 20040},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.id);
        scenario_ = Scenario{};
        scenario_.extractionSucceeds = false;
        scenario_.extractionError = row.lastError;
        scenario_.extractorCode = row.extractorCode;
        scenario_.zipCode = row.zipCode;
        EXPECT_EQ(run(), row.id);
        expectError(5, row.id, row.lastError, row.extractorCode, static_cast<uint32_t>(row.zipCode), row.lastError);
        EXPECT_FALSE(scenario_.destinationExistedAtError) << "the tree was not removed before the report";
        EXPECT_FALSE(testsupport::fileExists(scenario_.packagePath));
        EXPECT_FALSE(scenario_.updaterCalled);
    }
}

TEST_F(InstallSequence, ExtractorStoppedByTheCallbackEndsAsCancelled)
{
    scenario_.extractionProgress = {{100, 10}, {100, 20}};
    scenario_.duringExtraction = [this] { requestCancel(); };
    EXPECT_EQ(run(), 20100u);
    expectCancelled(5);
    EXPECT_FALSE(testsupport::fileExists(destination_));
    EXPECT_FALSE(scenario_.updaterCalled);
}

TEST_F(InstallSequence, CancelAfterACompleteExtractionIsStillNoticed)
{
    scenario_.duringExtraction = [this] { requestCancel(); };
    EXPECT_EQ(run(), 20100u);
    expectCancelled(5);
    EXPECT_FALSE(testsupport::fileExists(scenario_.packagePath));
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST_F(InstallSequence, CancelDuringRegistrationHasNoEffect)
{
    scenario_.duringRegistration = [this] { requestCancel(); };
    EXPECT_EQ(run(), 0u);
    EXPECT_EQ(scenario_.successes, 1);
    EXPECT_TRUE(scenario_.stops.empty());
    EXPECT_EQ(sink_.values(kFinish, 1), std::vector<int64_t>{0});
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\player.dat"));
}

TEST_F(InstallSequence, UpdaterFailureGivesItsIdAndExitCode)
{
    scenario_.updaterResult = 20061;
    scenario_.updaterDetail = 2;
    EXPECT_EQ(run(), 20061u);
    expectError(6, 20061, 2, 0, 0, 2);
    EXPECT_EQ(installer_.options().installSucceeded, 0);
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST_F(InstallSequence, ProgressFillsEachHalfOfTheBarWithAtMostAHundredMessages)
{
    for (uint64_t done = 0; done <= 1000000; done += 1000) {
        scenario_.downloadProgress.emplace_back(1000000, done);
    }
    for (uint64_t done = 0; done <= 3000; ++done) {
        scenario_.extractionProgress.emplace_back(3000, done);
    }
    EXPECT_EQ(run(), 0u);
    const std::vector<int64_t> positions = progress();
    std::vector<int64_t> download;
    std::vector<int64_t> extraction;
    for (int64_t position : positions) {
        (position <= 5000 && extraction.empty() ? download : extraction).push_back(position);
    }
    ASSERT_FALSE(download.empty());
    ASSERT_FALSE(extraction.empty());
    EXPECT_LE(download.size(), 101u);
    EXPECT_LE(extraction.size(), 101u);
    EXPECT_GE(download.size(), 99u);
    // Whole percents are compared after rounding: the step to 99.5% is the
    // last one that rounds higher, and it posts trunc(99.5 x 50).
    EXPECT_EQ(download.back(), 4975);
    EXPECT_GT(extraction.front(), 5000);
    EXPECT_EQ(extraction.back(), 9975);
    for (size_t i = 1; i < positions.size(); ++i) {
        EXPECT_GT(positions[i], positions[i - 1]) << "at " << i;
    }
}

TEST_F(InstallSequence, UnknownDownloadSizeLeavesTheBarUntilExtraction)
{
    for (uint64_t done = 0; done <= 50000; done += 500) {
        scenario_.downloadProgress.emplace_back(-1, done);
    }
    scenario_.extractionProgress = {{10, 5}, {10, 10}};
    EXPECT_EQ(run(), 0u);
    EXPECT_EQ(progress(), (std::vector<int64_t>{7500, 10000}));
}

TEST_F(InstallSequence, RetryAfterAnErrorReportsProgressFromTheStart)
{
    scenario_.downloadProgress = {{100, 50}};
    scenario_.downloadResult = 20012;
    EXPECT_EQ(run(), 20012u);
    EXPECT_EQ(progress(), std::vector<int64_t>{2500});
    EXPECT_EQ(installer_.options().downloadPercent, 0.0f);

    scenario_ = Scenario{};
    scenario_.downloadProgress = {{100, 50}, {100, 100}};
    EXPECT_EQ(run(), 0u);
    EXPECT_EQ(progress(), (std::vector<int64_t>{2500, 5000}));
}

// Whatever a step throws ends the run as that step's failure: one error
// event, the error page, and the destination removed.
TEST_F(InstallSequence, ExceptionEndsTheRunAsAFailureOfItsStep)
{
    struct Row {
        const char *name;
        std::function<void(Scenario &)> arrange;
        uint32_t step;
        uint16_t id;
        uint32_t error;
    };
    const auto throwBadAlloc = [] { throw std::bad_alloc(); };
    const Row rows[] = {
        {"manifest out of memory", [&](Scenario &s) { s.duringManifest = throwBadAlloc; }, 2, 20021,
         ERROR_NOT_ENOUGH_MEMORY},
        {"download throws", [](Scenario &s) { s.duringDownload = [] { throw std::runtime_error("download"); }; }, 4,
         20012, ERROR_INTERNAL_ERROR},
        {"extraction out of memory", [&](Scenario &s) { s.duringExtraction = throwBadAlloc; }, 5, 20040,
         ERROR_NOT_ENOUGH_MEMORY},
        {"registration throws an int", [](Scenario &s) { s.duringRegistration = [] { throw 7; }; }, 6, 20060,
         ERROR_INTERNAL_ERROR},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        scenario_ = Scenario{};
        row.arrange(scenario_);
        EXPECT_EQ(run(), row.id);
        expectError(row.step, row.id, row.error, 0, 0, row.error);
        EXPECT_FALSE(testsupport::fileExists(destination_)) << "no rollback";
    }
}

TEST_F(InstallSequence, TelemetryThatThrowsStillShowsTheErrorPageOnce)
{
    scenario_.manifestResult = 20021;
    installer::InstallSteps steps = fakeSteps(scenario_, destination_);
    steps.logError = [this](const installer::InstallFailure &failure) {
        scenario_.errors.push_back({failure.step, failure.id, failure.windowsError, failure.detail1, failure.detail2});
        throw std::bad_alloc();
    };
    sink_.messages.clear();
    runDirectly(steps, installer_.options(), sink_.window());
    expectError(2, 20021, 0, 0, 1, 0);
    EXPECT_FALSE(testsupport::fileExists(destination_));
}

TEST(ProgressArithmetic, WholePercentStepsOnly)
{
    EXPECT_FALSE(installer::progressPosition(0.0f, 0.4f, 0));
    EXPECT_EQ(installer::progressPosition(0.0f, 0.6f, 0), std::optional<int64_t>(30));
    EXPECT_FALSE(installer::progressPosition(1.2f, 1.4f, 0));
    EXPECT_EQ(installer::progressPosition(99.4f, 100.0f, 5000), std::optional<int64_t>(10000));
    EXPECT_FALSE(installer::progressPosition(0.0f, -100000.0f, 0));
    EXPECT_EQ(installer::progressPosition(100.0f, 150.0f, 0), std::optional<int64_t>(5000))
        << "more bytes than announced spilled into the extraction's half";
    EXPECT_EQ(installer::progressPercent(-1, 2000), -200000.0f);
    EXPECT_EQ(installer::progressPercent(0, 10), 0.0f);
    EXPECT_EQ(installer::progressPercent(8LL << 30, 4ULL << 30), 50.0f);
}

TEST(StopRules, EachStepWeighsAConfirmedStopAgainstItsOwnEnd)
{
    using installer::StepEnd;
    constexpr StepEnd kGo = StepEnd::kContinue, kFail = StepEnd::kFailed, kStop = StepEnd::kCancelled;
    // Per step: what is reported for a step that continued, failed or stopped
    // itself while a stop was confirmed. Without a stop the step's own end
    // is always reported.
    struct Rule {
        installer::InstallStep step;
        StepEnd afterContinue, afterFailure, afterOwnStop;
    };
    const Rule rules[] = {
        {installer::kStepDestination, kStop, kStop, kStop}, // the stop wins
        {installer::kStepManifest, kStop, kStop, kStop},
        {installer::kStepFreeSpace, kGo, kFail, kStop},  // not looked at: the download looks
        {installer::kStepDownload, kStop, kFail, kStop}, // a failure wins
        {installer::kStepExtraction, kStop, kFail, kStop},
        {installer::kStepRegistration, kGo, kFail, kStop}, // runs to its end
    };
    for (const Rule &rule : rules) {
        SCOPED_TRACE(rule.step);
        for (const StepEnd end : {kGo, kFail, kStop}) {
            EXPECT_EQ(installer::reportedStepEnd(rule.step, end, false), end);
        }
        EXPECT_EQ(installer::reportedStepEnd(rule.step, kGo, true), rule.afterContinue);
        EXPECT_EQ(installer::reportedStepEnd(rule.step, kFail, true), rule.afterFailure);
        EXPECT_EQ(installer::reportedStepEnd(rule.step, kStop, true), rule.afterOwnStop);
    }
}

} // namespace
