#include "package/extraction.h"

#include "package/archivePlan.h"
#include "package/entryReader.h"
#include "package/entryName.h"
#include "package/zipFile.h"
#include "package/zipReadCache.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/fileWrite.h"
#include "win32lib/slimLock.h"

#include <minizip/unzip.h>
#include <minizip/iowin32.h>

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cwctype>
#include <deque>
#include <memory>
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
constexpr DWORD kProgressIntervalMs = 50;

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

// Opens the file entry at `job` for reading.
bool openEntry(unzFile archive, EntryReader &entry, const FileJob &job, Failure &failure)
{
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
    return true;
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
    if (!openEntry(archive, entry, job, failure)) {
        return false;
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
    const int status = entry.close();
    return status == UNZ_OK || failReading(failure, status);
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

// Groups up to this size are read into memory by the reading threads, and
// their files are created and written by writing threads of their own.
// Creating a file waits on Wine's server and the file system, one file after
// another; a thread that also decodes leaves that line idle while it decodes,
// which made the many small files of a package cost twice the file system's
// own time. Larger groups are streamed by the reading thread itself.
constexpr size_t kReadAheadLimit = 1024 * 1024;
// Buffers of kReadAheadLimit bytes, made once and used again: they bound
// what is read and not yet written, whatever the archive says.
constexpr size_t kReadAheadBuffers = 8;
// A buffer goes to the writers once it holds this much: handing over every
// small file alone would cost more than writing it.
constexpr size_t kBatchBytes = 256 * 1024;
// Of the worker threads, those that only create and write the files read
// ahead; the others read. Wine's server creates every file, one after
// another: one writing thread keeps it nearly busy, and a second only helps
// where there are processors to spare; on two, the reading and the writing
// each want one.
constexpr unsigned writingThreads(unsigned threads) noexcept
{
    return threads >= 4 ? 2 : 1;
}

// Small groups read in full and checked, one after another in one buffer,
// waiting for a writer.
struct ReadBatch {
    std::vector<const JobGroup *> groups;
    std::unique_ptr<char[]> bytes;
    size_t used = 0;
};

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

    // The next group when it is too large to read ahead. The largest come
    // first, so these are all taken before any other.
    const JobGroup *nextTooLarge() noexcept
    {
        size_t index = next_.load();
        while (!stopped() && index < order_.size() && order_[index].size > kReadAheadLimit) {
            if (next_.compare_exchange_weak(index, index + 1)) {
                return &order_[index];
            }
        }
        return nullptr;
    }

    void addWritten(uint64_t count) noexcept { written_.fetch_add(count, std::memory_order_relaxed); }
    [[nodiscard]] uint64_t written() const noexcept { return written_.load(std::memory_order_relaxed); }
    [[nodiscard]] bool stopped() const noexcept { return stop_.load(); }

    // Stops every worker, waiting ones too.
    void stop() noexcept
    {
        {
            win32lib::ExclusiveLock locked(lock_);
            stop_.store(true);
        }
        ::WakeAllConditionVariable(&bufferFree_);
        ::WakeAllConditionVariable(&batchReady_);
        ::WakeAllConditionVariable(&workersEnded_);
    }

    // The first failure wins and stops every worker.
    void fail(const Failure &failure)
    {
        {
            win32lib::ExclusiveLock locked(lock_);
            if (!failed_) {
                failed_ = true;
                failure_ = failure;
            }
        }
        stop();
    }

    [[nodiscard]] bool failed(Failure &failure)
    {
        win32lib::ExclusiveLock locked(lock_);
        failure = failure_;
        return failed_;
    }

    // Whether reading threads hand small groups to writing threads. Set
    // before the first reading thread starts, while writing ones may run.
    void setReadingAhead(bool readingAhead) noexcept { readingAhead_.store(readingAhead); }
    [[nodiscard]] bool readingAhead() const noexcept { return readingAhead_.load(); }

    // Waits for a free read-ahead buffer; false once stopped, or when no more
    // memory could be had for one.
    bool takeBuffer(std::unique_ptr<char[]> &buffer)
    {
        win32lib::ExclusiveLock locked(lock_);
        locked.wait(bufferFree_, [this] { return stopped() || !free_.empty() || made_ < kReadAheadBuffers; });
        if (stopped()) {
            return false;
        }
        if (!free_.empty()) {
            buffer = std::move(free_.back());
            free_.pop_back();
            return true;
        }
        buffer.reset(new (std::nothrow) char[kReadAheadLimit]);
        made_ += buffer ? 1 : 0;
        return buffer != nullptr;
    }

    // A buffer written out, for the next batch.
    void giveBack(std::unique_ptr<char[]> &&buffer)
    {
        {
            win32lib::ExclusiveLock locked(lock_);
            free_.push_back(std::move(buffer));
        }
        ::WakeConditionVariable(&bufferFree_);
    }

    void push(ReadBatch &&batch)
    {
        {
            win32lib::ExclusiveLock locked(lock_);
            ready_.push_back(std::move(batch));
        }
        ::WakeConditionVariable(&batchReady_);
    }

    // The next batch read ahead; false once stopped, or when every reading
    // thread has ended and nothing is left.
    bool pop(ReadBatch &batch)
    {
        win32lib::ExclusiveLock locked(lock_);
        locked.wait(batchReady_, [this] { return stopped() || !ready_.empty() || reading_ == 0; });
        if (stopped() || ready_.empty()) {
            return false;
        }
        batch = std::move(ready_.front());
        ready_.pop_front();
        return true;
    }

    void workerStarted(bool reading)
    {
        win32lib::ExclusiveLock locked(lock_);
        ++running_;
        reading_ += reading ? 1 : 0;
    }

    void workerEnded(bool reading)
    {
        {
            win32lib::ExclusiveLock locked(lock_);
            --running_;
            reading_ -= reading ? 1 : 0;
        }
        // The writers end with the last reader, once nothing is left.
        ::WakeAllConditionVariable(&batchReady_);
        ::WakeAllConditionVariable(&workersEnded_);
    }

    // True when every worker has ended, false after `interval` otherwise.
    bool waitForWorkers(DWORD interval)
    {
        win32lib::ExclusiveLock locked(lock_);
        return locked.wait(
            workersEnded_, [this] { return running_ == 0; }, interval);
    }

private:
    std::vector<JobGroup> order_;
    std::atomic<size_t> next_{0};
    std::atomic<uint64_t> written_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> readingAhead_{false};
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE bufferFree_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE batchReady_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE workersEnded_ = CONDITION_VARIABLE_INIT;
    unsigned running_ = 0;
    unsigned reading_ = 0;
    size_t made_ = 0;
    std::vector<std::unique_ptr<char[]>> free_;
    std::deque<ReadBatch> ready_;
    bool failed_ = false;
    Failure failure_;
};

// Reads every file of `group` straight into `bytes`, one after another, each
// checked before the next. No read asks for more than the file's stated size,
// which the buffer holds, so a stream that says otherwise cannot overrun it.
bool readGroup(unzFile archive, EntryReader &entry, const JobGroup &group, char *bytes, Failure &failure)
{
    for (const FileJob *job : group.jobs) {
        if (!openEntry(archive, entry, *job, failure)) {
            return false;
        }
        uint64_t left = job->size;
        // Where the byte goes that a stream longer than stated would make.
        char beyond = 0;
        for (;;) {
            ::SetLastError(0);
            const int count = left != 0 ? entry.read(bytes, static_cast<unsigned>(left)) : entry.read(&beyond, 1);
            if (count < 0) {
                return failReading(failure, count);
            }
            if (count == 0) {
                break;
            }
            if (left == 0) {
                return failReading(failure, UNZ_BADZIPFILE);
            }
            bytes += count;
            left -= static_cast<unsigned>(count);
        }
        // The CRC and length of the whole entry are only known here.
        ::SetLastError(0);
        const int status = entry.close();
        if (status != UNZ_OK) {
            return failReading(failure, status);
        }
    }
    return true;
}

// What a thread reads the archive with: small groups are read ahead into
// batches for the writing threads, larger ones streamed into their files.
class Reader {
public:
    explicit Reader(WorkQueue &queue) : queue_(queue) {}

    bool open(const std::wstring &archivePath, Failure &failure)
    {
        buffers_.reset(new (std::nothrow) CopyBuffers);
        if (!buffers_) {
            return fail(failure, kExtractReadEntry, 0, ERROR_NOT_ENOUGH_MEMORY);
        }
        return archive_.open(archivePath, failure);
    }

    bool take(const JobGroup &group, Failure &failure)
    {
        if (queue_.readingAhead() && group.size <= kReadAheadLimit) {
            if (batch_.bytes && batch_.used + group.size > kReadAheadLimit) {
                handOver();
            }
            if (batch_.bytes || queue_.takeBuffer(batch_.bytes)) {
                if (!readGroup(archive_.get(), buffers_->entry, group, batch_.bytes.get() + batch_.used, failure)) {
                    return false;
                }
                batch_.groups.push_back(&group);
                batch_.used += static_cast<size_t>(group.size);
                if (batch_.used >= kBatchBytes) {
                    handOver();
                }
                return true;
            }
        }
        // Streamed when no buffer could be had, too.
        if (queue_.stopped()) {
            return false;
        }
        const auto afterBlock = [this](uint64_t count) {
            queue_.addWritten(count);
            return !queue_.stopped();
        };
        for (const FileJob *job : group.jobs) {
            if (!writeFile(archive_.get(), *buffers_, *job, failure, afterBlock)) {
                return false;
            }
        }
        return true;
    }

    // What is read and not yet handed over goes to the writers.
    void handOver()
    {
        if (!batch_.groups.empty()) {
            queue_.push(std::move(batch_));
        } else if (batch_.bytes) {
            queue_.giveBack(std::move(batch_.bytes));
        }
        batch_ = {};
    }

private:
    WorkQueue &queue_;
    ArchiveReader archive_;
    std::unique_ptr<CopyBuffers> buffers_;
    ReadBatch batch_;
};

// Creates and writes the files of a batch.
bool writeBatch(const ReadBatch &batch, WorkQueue &queue, Failure &failure)
{
    const char *bytes = batch.bytes.get();
    for (const JobGroup *group : batch.groups) {
        for (const FileJob *job : group->jobs) {
            if (queue.stopped()) {
                return false;
            }
            win32lib::UniqueFile file = createTarget(job->target);
            if (!file) {
                return fail(failure, kExtractCreateFile, 0, ::GetLastError());
            }
            if (job->size != 0 &&
                !win32lib::writeAll(file.get(), bytes, static_cast<DWORD>(job->size), ERROR_WRITE_FAULT)) {
                return fail(failure, kExtractWriteFile, 0, ::GetLastError());
            }
            queue.addWritten(job->size);
            bytes += job->size;
        }
    }
    return true;
}

// A reading thread's whole life: its own archive handle, read cache and buffers.
void runReader(const std::wstring &archivePath, WorkQueue &queue) noexcept
{
    try {
        Failure failure;
        Reader reader(queue);
        bool reading = reader.open(archivePath, failure);
        while (reading) {
            const JobGroup *group = queue.next();
            if (group == nullptr) {
                reader.handOver();
                break;
            }
            reading = reader.take(*group, failure);
        }
        if (failure.code != 0) {
            queue.fail(failure);
        }
    } catch (...) {
        queue.fail({kExtractReadEntry, 0, ERROR_NOT_ENOUGH_MEMORY});
    }
    queue.workerEnded(true);
}

// A writing thread's whole life: the groups too large to read ahead, while
// any are left, streamed as a reading thread streams them; then the batches
// read ahead, until the reading threads have ended.
void runWriter(const std::wstring &archivePath, WorkQueue &queue) noexcept
{
    try {
        Failure failure;
        std::unique_ptr<Reader> streamer;
        bool writing = true;
        for (const JobGroup *group = queue.nextTooLarge(); writing && group != nullptr; group = queue.nextTooLarge()) {
            if (!streamer) {
                streamer = std::make_unique<Reader>(queue);
                writing = streamer->open(archivePath, failure);
            }
            writing = writing && streamer->take(*group, failure);
        }
        ReadBatch batch;
        while (writing && queue.pop(batch)) {
            writing = writeBatch(batch, queue, failure);
            queue.giveBack(std::move(batch.bytes));
        }
        if (failure.code != 0) {
            queue.fail(failure);
        }
    } catch (...) {
        queue.fail({kExtractWriteFile, 0, ERROR_NOT_ENOUGH_MEMORY});
    }
    queue.workerEnded(false);
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

    // False when not even one reading thread could be started.
    bool start(unsigned readers, unsigned writers, const std::wstring &archivePath)
    {
        threads_.reserve(readers + writers);
        // Every reading thread counts from the start, so that no writer ends
        // before the readers have begun.
        for (unsigned index = 0; index < readers; ++index) {
            queue_.workerStarted(true);
        }
        unsigned writing = 0;
        while (writing < writers && startThread(false, [this, &archivePath] { runWriter(archivePath, queue_); })) {
            ++writing;
        }
        queue_.setReadingAhead(writing != 0);
        unsigned reading = 0;
        while (reading < readers && startThread(true, [this, &archivePath] { runReader(archivePath, queue_); })) {
            ++reading;
        }
        for (unsigned index = reading; index < readers; ++index) {
            queue_.workerEnded(true);
        }
        return reading != 0;
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
    // A reading thread is counted already; a writing one is counted here.
    template <typename Function> bool startThread(bool reading, Function &&function)
    {
        if (!reading) {
            queue_.workerStarted(false);
        }
        try {
            threads_.emplace_back(std::forward<Function>(function));
            return true;
        } catch (const std::system_error &) {
            if (!reading) {
                queue_.workerEnded(false);
            }
            return false;
        }
    }

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
        const unsigned writing = writingThreads(threads);
        if (!workers.start(threads - writing, writing, archivePath)) {
            workers.join();
            return writeFilesInOrder(archive, plan, result, failure);
        }
        while (!queue.waitForWorkers(kProgressIntervalMs)) {
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
