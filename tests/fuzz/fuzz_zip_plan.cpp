// The package's planning over an archive held in memory: minizip through
// the program's read cache, every entry's name checked, the plan of folders
// and files. The destination is an empty folder. The planned files are then
// read back through the extractor's entry reader, within a budget.

#include "package/archivePlan.h"
#include "package/entryReader.h"
#include "package/extraction.h"
#include "package/zipReadCache.h"
#include "tests/fuzz/fuzzInput.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint64_t kReadBudget = 1024 * 1024;

struct MemoryArchive {
    const uint8_t *data;
    size_t size;
};

struct MemoryStream {
    const MemoryArchive *archive;
    uint64_t position;
};

voidpf openStream(voidpf opaque, const void *, int)
{
    return new MemoryStream{static_cast<const MemoryArchive *>(opaque), 0};
}

uLong readStream(voidpf, voidpf stream, void *buffer, uLong size)
{
    auto *memory = static_cast<MemoryStream *>(stream);
    const uint64_t available = memory->position < memory->archive->size ? memory->archive->size - memory->position : 0;
    const uLong count = static_cast<uLong>(std::min<uint64_t>(size, available));
    std::memcpy(buffer, memory->archive->data + memory->position, count);
    memory->position += count;
    return count;
}

uLong writeStream(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T tellStream(voidpf, voidpf stream)
{
    return static_cast<MemoryStream *>(stream)->position;
}

long seekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto *memory = static_cast<MemoryStream *>(stream);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        base = memory->position;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        base = memory->archive->size;
    }
    if (offset > UINT64_MAX - base) {
        return -1;
    }
    memory->position = base + offset;
    return 0;
}

int closeStream(voidpf, voidpf stream)
{
    delete static_cast<MemoryStream *>(stream);
    return 0;
}

int streamError(voidpf, voidpf)
{
    return 0;
}

// An empty destination folder: nothing exists in it before planning.
class EmptyDestination final : public package::DestinationFolders {
public:
    bool destinationIsLink() override { return false; }
    bool walk(std::wstring_view, bool create, package::ExtractFailure &failure) override
    {
        if (!create) {
            failure = {package::kExtractCreateFile, 0, kErrorPathNotFound};
        }
        return create;
    }
};

void readPlannedFiles(unzFile archive, const package::ExtractionPlan &plan)
{
    std::array<char, 65536> block;
    package::EntryReader entry;
    uint64_t budget = kReadBudget;
    for (const package::FileJob &job : plan.files) {
        unz64_file_pos position = job.position;
        fuzz::expect(::unzGoToFilePos64(archive, &position) == UNZ_OK, "a planned position is found again");
        if (entry.open(archive) != UNZ_OK) {
            continue;
        }
        int count = 0;
        uint64_t read = 0;
        while (budget > 0 && (count = entry.read(block.data(), block.size())) > 0) {
            budget -= std::min<uint64_t>(budget, static_cast<uint64_t>(count));
            read += static_cast<uint64_t>(count);
        }
        const int closed = entry.close();
        fuzz::expect(read <= job.size, "no entry gives more than its stated length");
        fuzz::expect(closed != UNZ_OK || count < 0 || budget == 0 || read == job.size,
                     "an entry read to its end and closed well gave its stated length");
        if (budget == 0) {
            return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MemoryArchive memory{data, size};
    zlib_filefunc64_def functions = {openStream, readStream,  writeStream, tellStream,
                                     seekStream, closeStream, streamError, &memory};
    zlib_filefunc64_def cached = package::cachedFileFunctions(&functions);
    unzFile archive = ::unzOpen2_64("package.zip", &cached);
    if (archive == nullptr) {
        return 0;
    }
    const std::wstring destination = L"C:\\Program Files\\Kestrune Software";
    EmptyDestination folders;
    package::ExtractionPlan plan;
    package::ExtractFailure failure;
    package::ArchivePlanner planner(destination, folders, plan, failure);
    if (planner.read(archive) && planner.createFolders()) {
        uint64_t total = 0;
        for (const package::FileJob &job : plan.files) {
            fuzz::expect(job.target.compare(0, destination.size() + 1, destination + L"\\") == 0,
                         "a file stays in the destination");
            fuzz::expect(job.target.size() < 260, "a target fits a path");
            total += job.size;
        }
        fuzz::expect(total == plan.total, "the total is the files' sizes");
        readPlannedFiles(archive, plan);
    } else {
        fuzz::expect(failure.code != 0, "a refusal names its failure");
    }
    ::unzClose(archive);
    return 0;
}
