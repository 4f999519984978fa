#pragma once

// Reading a package's central directory into the plan of what extraction
// writes: every entry is checked, in archive order, so that a hostile or
// broken archive is refused before anything is written. Portable C++ over
// minizip: the destination's file system is asked through DestinationFolders,
// so that the planning is fuzzed on the build machine over an archive held in
// memory.

#include <minizip/unzip.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace package {

// What failed: an extractor code, minizip's status and the Windows error.
struct ExtractFailure {
    uint32_t code = 0;
    int32_t zipCode = 0;
    uint32_t lastError = 0;
};

struct FileJob {
    unz64_file_pos position = {};
    uint64_t size = 0;
    std::wstring target;
};

// Everything the writing needs, found before any file is written.
struct ExtractionPlan {
    std::vector<std::wstring> folders;
    std::vector<FileJob> files;
    uint64_t total = 0;
};

// A folder name as the file system compares it, to know a folder once
// however the archive spells it.
[[nodiscard]] std::wstring folderKey(std::wstring_view name);

// What planning asks of the destination's file system.
class DestinationFolders {
public:
    virtual ~DestinationFolders() = default;
    // Whether the destination itself is a link: nothing is written through one.
    [[nodiscard]] virtual bool destinationIsLink() = 0;
    // Every folder on the way to `name` (relative to the destination) must be
    // a real folder; missing ones are created when `create` is set and are an
    // error otherwise. False with `failure` set.
    [[nodiscard]] virtual bool walk(std::wstring_view name, bool create, ExtractFailure &failure) = 0;
};

class ArchivePlanner {
public:
    ArchivePlanner(const std::wstring &destination, DestinationFolders &folders, ExtractionPlan &plan,
                   ExtractFailure &failure)
        : destination_(destination), folders_(folders), plan_(plan), failure_(failure)
    {
    }

    // Reads every entry into the plan; false with the failure set at the
    // first entry refused.
    [[nodiscard]] bool read(unzFile archive);
    // Creates the plan's folders, in archive order.
    [[nodiscard]] bool createFolders();

private:
    bool addEntry(unzFile archive, const unz_file_info64 &info, const std::wstring &name);

    const std::wstring &destination_;
    DestinationFolders &folders_;
    ExtractionPlan &plan_;
    ExtractFailure &failure_;
    // Folders the archive listed so far.
    std::unordered_set<std::wstring> listed_;
};

} // namespace package
