#include "package/extraction.h"

#include "package/archivePlan.h"
#include "package/entryReader.h"
#include "package/entryName.h"
#include "package/zipFile.h"
#include "package/zipReadCache.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/fileWrite.h"

#include <minizip/unzip.h>
#include <minizip/iowin32.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cwctype>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace package {

namespace {

constexpr unsigned kBlockSize = 65536;
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

using Failure = ExtractFailure;
using Plan = ExtractionPlan;

bool fail(Failure &failure, uint32_t code, int32_t zipCode, DWORD lastError)
{
    failure = {code, zipCode, lastError};
    return false;
}

bool isLink(DWORD attributes) noexcept
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens the target for writing without ever writing through a link: a new
// name cannot be one, and an existing name is opened as itself (not what it
// points to) and refused when it is a link someone planted there.
win32lib::UniqueFile createTarget(const std::wstring &target)
{
    win32lib::UniqueFile file(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || ::GetLastError() != ERROR_FILE_EXISTS) {
        return file;
    }
    file.reset(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        return file;
    }
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
        file.reset();
        return file;
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        file.reset();
        ::SetLastError(kErrorLinkInDestination);
        return file;
    }
    if (!::SetEndOfFile(file.get())) {
        file.reset();
    }
    return file;
}

// One minizip handle over the package with its own read cache. Not movable:
// the open streams call through the function tables held here.
class ArchiveReader {
public:
    ArchiveReader() = default;
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    bool open(const std::wstring &archivePath, Failure &failure)
    {
        ::fill_win32_filefunc64W(&win32Functions_);
        zlib_filefunc64_def functions = cachedFileFunctions(&win32Functions_);
        ::SetLastError(0);
        archive_.reset(::unzOpen2_64(archivePath.c_str(), &functions));
        if (!archive_) {
            return fail(failure, kExtractOpenArchive, 0, ::GetLastError());
        }
        return true;
    }

    [[nodiscard]] unzFile get() const noexcept { return archive_.get(); }

private:
    // Declared before the archive: its streams call through these until closed.
    zlib_filefunc64_def win32Functions_ = {};
    UniqueUnzFile archive_;
};

// Every folder on the way to `name` inside the destination must be a real
// folder: a link planted there would take the files somewhere else. Missing
// folders are created when `create` is set, and are an error otherwise.
class FileSystemFolders final : public DestinationFolders {
public:
    explicit FileSystemFolders(const std::wstring &destination) : destination_(destination) {}

    bool destinationIsLink() override { return isLink(::GetFileAttributesW(destination_.c_str())); }

    bool walk(std::wstring_view name, bool create, Failure &failure) override;

private:
    const std::wstring &destination_;
    // Folders known to be real ones.
    std::unordered_set<std::wstring> ready_;
};

bool FileSystemFolders::walk(std::wstring_view name, bool create, Failure &failure)
{
    const uint32_t code = create ? kExtractCreateDirectory : kExtractCreateFile;
    for (size_t end = 1; end <= name.size(); ++end) {
        if ((end < name.size() && !isEntrySeparator(name[end])) || isEntrySeparator(name[end - 1])) {
            continue;
        }
        const std::wstring_view prefix = name.substr(0, end);
        std::wstring key = folderKey(prefix);
        if (ready_.count(key) != 0) {
            continue;
        }
        const std::wstring path = destination_ + L"\\" + std::wstring(prefix);
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!create) {
                return fail(failure, code, 0, ERROR_PATH_NOT_FOUND);
            }
            if (!::CreateDirectoryW(path.c_str(), nullptr)) {
                return fail(failure, code, 0, ::GetLastError());
            }
        } else if (isLink(attributes)) {
            return fail(failure, code, 0, kErrorLinkInDestination);
        } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return fail(failure, code, 0, create ? ERROR_ALREADY_EXISTS : ERROR_PATH_NOT_FOUND);
        }
        ready_.insert(std::move(key));
    }
    return true;
}

// What one writing thread copies entries with: too large for its stack.
struct CopyBuffers {
    EntryReader entry;
    std::array<char, kBlockSize> block;
};

// A failed read or close of an entry: a damaged stream is invalid data, a
// wrong CRC is a CRC error, and anything else is what the file functions
// left as the thread's last error.
bool failReading(Failure &failure, int status)
{
    DWORD lastError = ::GetLastError();
    if (status == UNZ_CRCERROR) {
        lastError = ERROR_CRC;
    } else if (status == UNZ_BADZIPFILE) {
        lastError = ERROR_INVALID_DATA;
    }
    return fail(failure, kExtractReadEntry, status, lastError);
}

// Copies the file entry at `job` into its target. `afterBlock(count)` is
// called after each block written; false from it ends the copy (having set
// the failure, or leaving it empty when another thread's failure stops this
// one).
template <typename AfterBlock>
bool writeFile(unzFile archive, CopyBuffers &buffers, const FileJob &job, Failure &failure, AfterBlock &&afterBlock)
{
    EntryReader &entry = buffers.entry;
    char *const block = buffers.block.data();
    ::SetLastError(0);
    int status = ::unzGoToFilePos64(archive, &job.position);
    if (status != UNZ_OK) {
        return fail(failure, kExtractEntryInfo, status, ::GetLastError());
    }
    ::SetLastError(0);
    status = entry.open(archive);
    if (status != UNZ_OK) {
        return fail(failure, kExtractOpenEntry, status, ::GetLastError());
    }
    // On a failure below, closing the archive closes the open entry too.
    win32lib::UniqueFile file = createTarget(job.target);
    if (!file) {
        return fail(failure, kExtractCreateFile, 0, ::GetLastError());
    }
    for (;;) {
        ::SetLastError(0);
        const int count = entry.read(block, kBlockSize);
        if (count < 0) {
            return failReading(failure, count);
        }
        if (count == 0) {
            break;
        }
        if (!win32lib::writeAll(file.get(), block, static_cast<DWORD>(count), ERROR_WRITE_FAULT)) {
            return fail(failure, kExtractWriteFile, 0, ::GetLastError());
        }
        if (!afterBlock(static_cast<uint64_t>(count))) {
            return false;
        }
    }
    file.reset();
    // The CRC and length of the whole entry are only known here.
    ::SetLastError(0);
    status = entry.close();
    if (status != UNZ_OK) {
        return failReading(failure, status);
    }
    return true;
}

// All files in archive order on the calling thread, the callback after
// every block.
bool writeFilesInOrder(unzFile archive, const Plan &plan, const ExtractResult &result, Failure &failure)
{
    std::unique_ptr<CopyBuffers> buffers(new (std::nothrow) CopyBuffers);
    if (!buffers) {
        return fail(failure, kExtractReadEntry, 0, ERROR_NOT_ENOUGH_MEMORY);
    }
    uint64_t written = 0;
    const auto afterBlock = [&](uint64_t count) {
        if (result.progress) {
            written += count;
            if (result.progress(static_cast<int64_t>(plan.total), written)) {
                return fail(failure, kExtractCancelled, 0, 0);
            }
        }
        return true;
    };
    for (const FileJob &job : plan.files) {
        if (!writeFile(archive, *buffers, job, failure, afterBlock)) {
            return false;
        }
    }
    return true;
}

// Files whose targets are one file to a case-insensitive file system: one
// worker writes them all, in archive order, so that the archive's last entry
// of that name wins whatever the number of threads, as it does on one.
struct JobGroup {
    std::vector<const FileJob *> jobs;
    uint64_t size = 0;
};

std::vector<JobGroup> groupCollidingTargets(const Plan &plan)
{
    std::vector<JobGroup> groups;
    groups.reserve(plan.files.size());
    std::unordered_map<std::wstring, size_t> groupOfTarget;
    for (const FileJob &job : plan.files) {
        const auto [found, added] = groupOfTarget.emplace(folderKey(job.target), groups.size());
        if (added) {
            groups.emplace_back();
        }
        JobGroup &group = groups[found->second];
        group.jobs.push_back(&job);
        group.size += job.size;
    }
    return groups;
}

// What the worker threads share with the calling thread.
class WorkQueue {
public:
    explicit WorkQueue(const Plan &plan) : order_(groupCollidingTargets(plan))
    {
        // The largest first: a large file taken last would keep one thread
        // busy while the others idle.
        std::stable_sort(order_.begin(), order_.end(),
                         [](const JobGroup &left, const JobGroup &right) { return left.size > right.size; });
    }

    const JobGroup *next() noexcept
    {
        if (stopped()) {
            return nullptr;
        }
        const size_t index = next_.fetch_add(1);
        return index < order_.size() ? &order_[index] : nullptr;
    }

    void addWritten(uint64_t count) noexcept { written_.fetch_add(count, std::memory_order_relaxed); }
    [[nodiscard]] uint64_t written() const noexcept { return written_.load(std::memory_order_relaxed); }
    [[nodiscard]] bool stopped() const noexcept { return stop_.load(); }
    void stop() noexcept { stop_.store(true); }

    // The first failure wins and stops every worker.
    void fail(const Failure &failure)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!failed_) {
                failed_ = true;
                failure_ = failure;
            }
        }
        stop();
    }

    [[nodiscard]] bool failed(Failure &failure)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failure = failure_;
        return failed_;
    }

    void workerStarted()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++running_;
    }

    void workerEnded()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --running_;
        }
        ended_.notify_all();
    }

    // True when every worker has ended, false after `interval` otherwise.
    bool waitForWorkers(std::chrono::milliseconds interval)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return ended_.wait_for(lock, interval, [this] { return running_ == 0; });
    }

private:
    std::vector<JobGroup> order_;
    std::atomic<size_t> next_{0};
    std::atomic<uint64_t> written_{0};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable ended_;
    unsigned running_ = 0;
    bool failed_ = false;
    Failure failure_;
};

// A worker thread's whole life: its own archive handle, read cache and buffers.
void runWorker(const std::wstring &archivePath, WorkQueue &queue) noexcept
{
    try {
        Failure failure;
        ArchiveReader reader;
        std::unique_ptr<CopyBuffers> buffers(new (std::nothrow) CopyBuffers);
        if (!buffers) {
            queue.fail({kExtractReadEntry, 0, ERROR_NOT_ENOUGH_MEMORY});
        } else if (!reader.open(archivePath, failure)) {
            queue.fail(failure);
        } else {
            const auto afterBlock = [&queue](uint64_t count) {
                queue.addWritten(count);
                return !queue.stopped();
            };
            bool writing = true;
            while (writing) {
                const JobGroup *group = queue.next();
                if (group == nullptr) {
                    break;
                }
                for (const FileJob *job : group->jobs) {
                    if (!writeFile(reader.get(), *buffers, *job, failure, afterBlock)) {
                        if (failure.code != 0) {
                            queue.fail(failure);
                        }
                        writing = false;
                        break;
                    }
                }
            }
        }
    } catch (...) {
        queue.fail({kExtractReadEntry, 0, ERROR_NOT_ENOUGH_MEMORY});
    }
    queue.workerEnded();
}

// Worker threads that are always stopped and joined before the queue they
// share goes away, however the calling thread leaves.
class Workers {
public:
    explicit Workers(WorkQueue &queue) : queue_(queue) {}
    Workers(const Workers &) = delete;
    Workers &operator=(const Workers &) = delete;
    ~Workers()
    {
        queue_.stop();
        join();
    }

    // False when not even one thread could be started.
    bool start(unsigned count, const std::wstring &archivePath)
    {
        threads_.reserve(count);
        for (unsigned index = 0; index < count; ++index) {
            queue_.workerStarted();
            try {
                threads_.emplace_back(runWorker, std::cref(archivePath), std::ref(queue_));
            } catch (const std::system_error &) {
                queue_.workerEnded();
                break;
            }
        }
        return !threads_.empty();
    }

    void join() noexcept
    {
        for (std::thread &thread : threads_) {
            if (thread.joinable()) {
                thread.join();
            }
        }
    }

private:
    WorkQueue &queue_;
    std::vector<std::thread> threads_;
};

// The calling thread reports progress while the workers write, and turns a
// stop answer into the failure that ends them all.
bool writeFilesOnThreads(const std::wstring &archivePath, const Plan &plan, unsigned threads,
                         const ExtractResult &result, unzFile archive, Failure &failure)
{
    WorkQueue queue(plan);
    {
        Workers workers(queue);
        if (!workers.start(threads, archivePath)) {
            return writeFilesInOrder(archive, plan, result, failure);
        }
        while (!queue.waitForWorkers(kProgressInterval)) {
            if (result.progress && !queue.stopped() &&
                result.progress(static_cast<int64_t>(plan.total), queue.written())) {
                queue.fail({kExtractCancelled, 0, 0});
            }
        }
        workers.join();
    }
    if (queue.failed(failure)) {
        return false;
    }
    if (result.progress && result.progress(static_cast<int64_t>(plan.total), queue.written())) {
        return fail(failure, kExtractCancelled, 0, 0);
    }
    return true;
}

bool extract(ExtractResult &result, const std::wstring &archivePath, const std::wstring &destination, unsigned threads,
             Failure &failure)
{
    ArchiveReader reader;
    if (!reader.open(archivePath, failure)) {
        return false;
    }
    Plan plan;
    FileSystemFolders folders(destination);
    ArchivePlanner planner(destination, folders, plan, failure);
    if (!planner.read(reader.get()) || !planner.createFolders()) {
        return false;
    }
    if (threads <= 1 || plan.files.size() < 2) {
        return writeFilesInOrder(reader.get(), plan, result, failure);
    }
    const auto workerCount = static_cast<unsigned>(std::min<size_t>(threads, plan.files.size()));
    return writeFilesOnThreads(archivePath, plan, workerCount, result, reader.get(), failure);
}

} // namespace

unsigned defaultExtractionThreads() noexcept
{
    SYSTEM_INFO system = {};
    ::GetSystemInfo(&system);
    return std::clamp<unsigned>(system.dwNumberOfProcessors, 1, kMaxExtractionThreads);
}

bool extractArchiveOnThreads(ExtractResult &result, const std::wstring &archivePath, const std::wstring &destination,
                             unsigned threads)
{
    result.code = 0;
    result.zipCode = 0;
    Failure failure;
    bool extracted = false;
    try {
        // Every archive, entry, target file and thread is closed or joined
        // when this call returns; the error is set after that, for the
        // caller to read.
        extracted = extract(result, archivePath, destination, threads, failure);
    } catch (const std::bad_alloc &) {
        failure = {kExtractReadEntry, 0, ERROR_NOT_ENOUGH_MEMORY};
    }
    if (!extracted) {
        result.code = failure.code;
        result.zipCode = failure.zipCode;
        ::SetLastError(failure.lastError);
    }
    return extracted;
}

bool extractArchive(ExtractResult &result, const std::wstring &archivePath, const std::wstring &destination)
{
    return extractArchiveOnThreads(result, archivePath, destination, defaultExtractionThreads());
}

} // namespace package
