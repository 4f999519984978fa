// Damaged manifests and packages tried in bulk, with fixed seeds so that a
// failure can be replayed: no crash, no hang, every outcome one of the error
// model's, and no extraction writes outside its scratch folder.

#include "installer/errorModel.h"
#include "package/extraction.h"
#include "package/installErrors.h"
#include "package/manifestParsing.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/GzipDecoder.h"

#include "tests/package/fixtures.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

class Mutator {
public:
    explicit Mutator(uint32_t seed) : random_(seed) {}

    size_t below(size_t count) { return count == 0 ? 0 : std::uniform_int_distribution<size_t>(0, count - 1)(random_); }
    char byte() { return static_cast<char>(below(256)); }

    // Values that sit on the edges parsers get wrong.
    uint32_t edgeValue(uint32_t original)
    {
        const uint32_t values[] = {
            0,      1,       original - 1, original + 1, 0x7F,       0x80,         0xFF,
            0xFFFF, 0x10000, 0x7FFFFFFF,   0x80000000,   0xFFFFFFFF, original * 2, static_cast<uint32_t>(random_())};
        return values[below(std::size(values))];
    }

    void flip(Bytes &bytes, size_t count)
    {
        for (size_t i = 0; i < count && !bytes.empty(); ++i) {
            bytes[below(bytes.size())] = byte();
        }
    }

    void truncate(Bytes &bytes) { bytes.resize(below(bytes.size())); }

private:
    std::mt19937 random_;
};

uint32_t readLittleEndian(const Bytes &bytes, size_t position, size_t width)
{
    uint32_t value = 0;
    for (size_t i = 0; i < width && position + i < bytes.size(); ++i) {
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[position + i])) << (8 * i);
    }
    return value;
}

void writeLittleEndian(Bytes &bytes, size_t position, size_t width, uint32_t value)
{
    for (size_t i = 0; i < width && position + i < bytes.size(); ++i) {
        bytes[position + i] = static_cast<char>(value >> (8 * i));
    }
}

// Where the fields of a zip without comments lie, read from its records.
struct ZipLayout {
    struct Field {
        size_t position;
        size_t width;
    };
    struct Entry {
        size_t local;   // local header
        size_t central; // central directory record
        size_t nameLength;
    };
    std::vector<Field> fields;
    std::vector<Entry> entries;
};

// Offsets inside the local header, the central record and the end record.
constexpr ZipLayout::Field kLocalFields[] = {{4, 2},  {6, 2},  {8, 2},  {10, 4}, {14, 4},
                                             {18, 4}, {22, 4}, {26, 2}, {28, 2}};
constexpr ZipLayout::Field kCentralFields[] = {{6, 2},  {8, 2},  {10, 2}, {16, 4}, {20, 4}, {24, 4},
                                               {28, 2}, {30, 2}, {32, 2}, {34, 2}, {38, 4}, {42, 4}};
constexpr ZipLayout::Field kEndFields[] = {{4, 2}, {6, 2}, {8, 2}, {10, 2}, {12, 4}, {16, 4}, {20, 2}};
// The same field of an entry in its local header and its central record:
// flags, method, CRC, compressed and uncompressed size.
constexpr std::pair<size_t, size_t> kSharedFields[] = {{6, 8}, {8, 10}, {14, 16}, {18, 20}, {22, 24}};
constexpr size_t kEndRecordSize = 22;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;

ZipLayout layoutOf(const Bytes &zip)
{
    ZipLayout layout;
    const size_t end = zip.size() - kEndRecordSize;
    for (const auto &field : kEndFields) {
        layout.fields.push_back({end + field.position, field.width});
    }
    size_t central = readLittleEndian(zip, end + 16, 4);
    const size_t count = readLittleEndian(zip, end + 10, 2);
    for (size_t index = 0; index < count; ++index) {
        const size_t local = readLittleEndian(zip, central + 42, 4);
        const size_t nameLength = readLittleEndian(zip, central + 28, 2);
        layout.entries.push_back({local, central, nameLength});
        for (const auto &field : kCentralFields) {
            layout.fields.push_back({central + field.position, field.width});
        }
        for (const auto &field : kLocalFields) {
            layout.fields.push_back({local + field.position, field.width});
        }
        central += kCentralHeaderSize + nameLength + readLittleEndian(zip, central + 30, 2) +
                   readLittleEndian(zip, central + 32, 2);
    }
    return layout;
}

// Bytes that make names unsafe or unreadable, written over part of a name.
const char *const kNameTokens[] = {"../",  "..\\",     "/",  "\\",  ":",    ".",  " ",  "\x01", "\x1f",
                                   "\xff", "\xc3\x28", "C:", "NUL", "\\\\", "..", "a/", "con"};
const size_t kNameTokenLengths[] = {3, 3, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 3, 2, 2, 2, 3};

Bytes mutatePackage(const Bytes &base, const ZipLayout &layout, Mutator &mutator)
{
    Bytes zip = base;
    switch (mutator.below(6)) {
    case 0: { // one header field
        const auto &field = layout.fields[mutator.below(layout.fields.size())];
        writeLittleEndian(zip, field.position, field.width,
                          mutator.edgeValue(readLittleEndian(zip, field.position, field.width)));
        break;
    }
    case 1: { // the same field of one entry, in both of its headers
        const auto &entry = layout.entries[mutator.below(layout.entries.size())];
        const auto &[localOffset, centralOffset] = kSharedFields[mutator.below(std::size(kSharedFields))];
        const size_t width = localOffset == 6 || localOffset == 8 ? 2 : 4;
        const uint32_t value = mutator.edgeValue(readLittleEndian(zip, entry.local + localOffset, width));
        writeLittleEndian(zip, entry.local + localOffset, width, value);
        writeLittleEndian(zip, entry.central + centralOffset, width, value);
        break;
    }
    case 2: { // a name, in one header or in both
        const auto &entry = layout.entries[mutator.below(layout.entries.size())];
        const size_t token = mutator.below(std::size(kNameTokens));
        const size_t at = mutator.below(entry.nameLength);
        const size_t which = mutator.below(3);
        for (const size_t name : {entry.local + kLocalHeaderSize, entry.central + kCentralHeaderSize}) {
            const bool local = name == entry.local + kLocalHeaderSize;
            if (which == 2 || (which == 0) == local) {
                for (size_t i = 0; i < kNameTokenLengths[token] && at + i < entry.nameLength; ++i) {
                    zip[name + at + i] = kNameTokens[token][i];
                }
            }
        }
        break;
    }
    case 3:
        mutator.flip(zip, 1 + mutator.below(8));
        break;
    case 4:
        mutator.truncate(zip);
        break;
    default:
        mutator.flip(zip, 1 + mutator.below(3));
        mutator.truncate(zip);
        break;
    }
    return zip;
}

std::set<std::wstring> folderNames(const std::wstring &folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW entry = {};
    win32lib::UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) {
        return names;
    }
    do {
        if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0) {
            names.insert(entry.cFileName);
        }
    } while (::FindNextFileW(search.get(), &entry));
    return names;
}

// Names ending in a dot or a space are trimmed by the usual path rules, which
// would then miss them: the "\\?\" form takes each name as it is.
void removeTreeAsNamed(const std::wstring &folder)
{
    const std::wstring asNamed = folder.rfind(L"\\\\?\\", 0) == 0 ? folder : L"\\\\?\\" + folder;
    for (const std::wstring &name : folderNames(asNamed)) {
        const std::wstring path = asNamed + L"\\" + name;
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            removeTreeAsNamed(path);
        } else {
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(path.c_str());
        }
    }
    ::RemoveDirectoryW(asNamed.c_str());
}

const Bytes kManifest =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<updates>\n  <lastVersion>5.2.0.1700</lastVersion>\n"
    "  <downloadUrl>\n    <x32>http://127.0.0.1:18080/kestrune/packages/x32.zip</x32>\n"
    "    <x64>http://127.0.0.1:18080/kestrune/packages/x64.zip</x64>\n  </downloadUrl>\n"
    "  <minSize>150MB</minSize>\n</updates>\n";

Bytes gzipped(const Bytes &data)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Inputs of one kind each, from the valid manifest.
Bytes mutateManifest(Mutator &mutator, size_t round)
{
    Bytes manifest = kManifest;
    switch (round % 7) {
    case 0: { // random bytes, sometimes behind an XML declaration
        Bytes noise(mutator.below(4096), '\0');
        for (char &c : noise) {
            c = mutator.byte();
        }
        return mutator.below(2) == 0 ? noise : kManifest.substr(0, 40) + noise;
    }
    case 1:
        mutator.truncate(manifest);
        return manifest;
    case 2:
        mutator.flip(manifest, 1 + mutator.below(6));
        return manifest;
    case 3: { // a huge attribute or element text
        const size_t size = size_t{1} << (10 + mutator.below(11));
        const size_t at = manifest.find(mutator.below(2) == 0 ? "<updates" : "<x64");
        const Bytes filler(size, "x9.%&<"[mutator.below(6)]);
        if (mutator.below(2) == 0) {
            manifest.insert(manifest.find('>', at), " a=\"" + filler + "\"");
        } else {
            manifest.insert(manifest.find('>', at) + 1, filler);
        }
        return manifest;
    }
    case 4: { // deep nesting, closed or not
        const size_t depth = size_t{1} << mutator.below(18);
        Bytes nested;
        for (size_t i = 0; i < depth; ++i) {
            nested += "<n>";
        }
        if (mutator.below(2) == 0) {
            for (size_t i = 0; i < depth; ++i) {
                nested += "</n>";
            }
        }
        manifest.insert(manifest.find("<lastVersion>") + (mutator.below(2) == 0 ? 13 : 0), nested);
        return manifest;
    }
    case 5: { // other encodings and byte-order marks
        const char *const starts[] = {"\xef\xbb\xbf", "\xff\xfe", "\xfe\xff", "\0\0\xfe\xff", "\x4c\x6f\xa7\x94"};
        const size_t start = mutator.below(std::size(starts));
        return Bytes(starts[start], start == 3 ? 4 : std::strlen(starts[start])) + manifest;
    }
    default: { // a gzip stream of it, damaged
        Bytes packed = gzipped(manifest);
        if (mutator.below(2) == 0) {
            mutator.flip(packed, 1 + mutator.below(4));
        } else {
            mutator.truncate(packed);
        }
        return packed;
    }
    }
}

TEST(Mutation, DamagedManifestsEndAsErrorModelOutcomes)
{
    constexpr size_t kRounds = 5000;
    Mutator mutator(20261208);
    size_t accepted = 0;
    size_t tried = 0;
    for (size_t round = 0; round < kRounds; ++round) {
        Bytes body = mutateManifest(mutator, round);
        ++tried;
        SCOPED_TRACE(round);
        if (round % 7 == 6) {
            // What the HTTP client does with a gzip answer: a stream it cannot
            // decode fails the request (65001), which the manifest step turns
            // into 20011 or 20022.
            std::vector<uint8_t> decoded;
            if (!win32lib::http::GzipDecoder::decode(reinterpret_cast<const uint8_t *>(body.data()), body.size(),
                                                     decoded)) {
                continue;
            }
            body.assign(decoded.begin(), decoded.end());
        }
        package::UpdateInfo info;
        const uint16_t result = package::readManifest(std::span<const char>(body.data(), body.size()), true, info);
        ASSERT_TRUE(result == installer::kInstallOk || result == installer::kErrorBadManifest) << result;
        if (result == installer::kInstallOk) {
            ++accepted;
            EXPECT_NE(info.lastVersion[0], L'\0');
            EXPECT_NE(info.downloadUrl[0], L'\0');
        } else {
            EXPECT_TRUE(installer::errorTexts(result, 0, L"C:\\Kestrune").has_value());
        }
    }
    std::printf("mutation: %zu manifests tried, %zu accepted\n", tried, accepted);
}

TEST(Mutation, DamagedPackagesEndAsErrorModelOutcomesInsideTheScratchFolder)
{
    constexpr size_t kInputs = 1500;
    const auto base = testsupport::readFile(testsupport::packageFixture(L"mutation-base.zip"));
    ASSERT_TRUE(base.has_value());
    const ZipLayout layout = layoutOf(*base);
    ASSERT_EQ(layout.entries.size(), 5u);

    // An escape up to two folders high would show in these listings.
    testsupport::TempFolder scratch;
    const std::wstring guard = scratch.file(L"guard");
    const std::wstring destination = guard + L"\\destination";
    const std::wstring archive = scratch.file(L"input.zip");
    ASSERT_TRUE(::CreateDirectoryW(guard.c_str(), nullptr));

    Mutator mutator(14081);
    std::set<uint16_t> outcomes;
    size_t extracted = 0;
    for (size_t input = 0; input < kInputs; ++input) {
        SCOPED_TRACE(input);
        ASSERT_TRUE(testsupport::writeFile(archive, mutatePackage(*base, layout, mutator)));
        ASSERT_TRUE(::CreateDirectoryW(destination.c_str(), nullptr));
        package::ExtractResult result;
        if (input % 2 == 0) {
            result.progress = [](int64_t, uint64_t) { return false; };
        }
        ::SetLastError(0);
        const bool succeeded = package::extractArchive(result, archive, destination);
        const DWORD lastError = ::GetLastError();
        if (succeeded) {
            ++extracted;
            EXPECT_EQ(result.code, 0u);
        } else {
            EXPECT_GE(result.code, package::kExtractCreateFile);
            EXPECT_LE(result.code, package::kExtractUnsafeName);
            const uint16_t id = package::fromExtraction(lastError, result.code);
            EXPECT_TRUE(installer::errorTexts(id, lastError, destination).has_value()) << id;
            outcomes.insert(id);
        }
        ASSERT_EQ(folderNames(scratch.path()), (std::set<std::wstring>{L"guard", L"input.zip"}));
        ASSERT_EQ(folderNames(guard), std::set<std::wstring>{L"destination"});
        removeTreeAsNamed(destination);
    }
    std::printf("mutation: %zu packages tried, %zu unpacked, %zu failure ids\n", kInputs, extracted, outcomes.size());
}

} // namespace
