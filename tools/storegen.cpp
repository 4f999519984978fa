// Build-time generator of the enciphered store: reads a description of the
// protected strings and pictures and writes a C++ source file with the
// string records and the picture table that the program links.
//
//   storegen DESCRIPTION OUTPUT
//
// DESCRIPTION is UTF-8, one entry a line, fields separated by one tab:
//   key      <32 hex digits>
//   string   <record name>  <value>
//   picture  <id>           <file path>

#include "win32lib/encryption/recordFormat.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using win32lib::encryption::Key;
using win32lib::encryption::makePictureTable;
using win32lib::encryption::makeStringRecord;
using win32lib::encryption::PictureEntry;

namespace {

struct StringEntry {
    std::string name;
    std::string value;
};

struct Description {
    std::optional<Key> key;
    std::vector<StringEntry> strings;
    std::vector<PictureEntry> pictures;
};

std::filesystem::path pathFromUtf8(const std::string &text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::optional<std::vector<uint8_t>> readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<Key> parseKey(const std::string &hex)
{
    Key key{};
    if (hex.size() != 2 * key.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        unsigned value = 0;
        if (std::sscanf(hex.c_str() + 2 * i, "%2x", &value) != 1) {
            return std::nullopt;
        }
        key[i] = static_cast<uint8_t>(value);
    }
    return key;
}

// Filler for the even header offsets: deterministic per record so that the
// same configuration always produces the same program.
Key makeFiller(const std::string &seedText)
{
    uint64_t state = 0x243F6A8885A308D3u;
    for (unsigned char c : seedText) {
        state = (state ^ c) * 0x100000001B3u;
    }
    Key filler{};
    for (uint8_t &byte : filler) {
        state += 0x9E3779B97F4A7C15u;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        byte = static_cast<uint8_t>(z ^ (z >> 31));
    }
    return filler;
}

bool parseDescription(const std::filesystem::path &path, Description &description)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "storegen: cannot read the description\n");
        return false;
    }
    std::string line;
    unsigned lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const std::size_t firstTab = line.find('\t');
        const std::string kind = line.substr(0, firstTab);
        const std::size_t secondTab = firstTab == std::string::npos ? std::string::npos : line.find('\t', firstTab + 1);
        if (kind == "key" && firstTab != std::string::npos) {
            description.key = parseKey(line.substr(firstTab + 1));
            if (!description.key) {
                std::fprintf(stderr, "storegen: line %u: the key must be 32 hex digits\n", lineNumber);
                return false;
            }
        } else if (kind == "string" && secondTab != std::string::npos) {
            description.strings.push_back(
                {line.substr(firstTab + 1, secondTab - firstTab - 1), line.substr(secondTab + 1)});
        } else if (kind == "picture" && secondTab != std::string::npos) {
            const unsigned long id = std::stoul(line.substr(firstTab + 1, secondTab - firstTab - 1));
            const std::string file = line.substr(secondTab + 1);
            std::optional<std::vector<uint8_t>> bytes = readFile(pathFromUtf8(file));
            if (id > 0xFFFF || !bytes) {
                std::fprintf(stderr, "storegen: line %u: cannot read picture %s\n", lineNumber, file.c_str());
                return false;
            }
            description.pictures.push_back({static_cast<uint16_t>(id), std::move(*bytes)});
        } else {
            std::fprintf(stderr, "storegen: line %u: not understood\n", lineNumber);
            return false;
        }
    }
    if (!description.key) {
        std::fprintf(stderr, "storegen: no key given\n");
        return false;
    }
    return true;
}

void writeArray(std::ostringstream &out, const std::string &name, const std::vector<uint8_t> &bytes)
{
    out << "const uint8_t k_" << name << "[] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out << (i % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(bytes[i]) << ',';
    }
    out << "\n};\n\n";
}

std::string generateSource(const Description &description)
{
    std::ostringstream out;
    out << "// Written by tools/storegen from the build's configuration: enciphered\n"
           "// records of the protected strings and the picture table.\n\n"
           "#include \"win32lib/encryption/storeRecords.h\"\n\n"
           "namespace win32lib::encryption::records {\n\nnamespace {\n\n";
    for (const StringEntry &entry : description.strings) {
        std::vector<uint8_t> utf8(entry.value.begin(), entry.value.end());
        writeArray(out, entry.name, makeStringRecord(utf8, *description.key, makeFiller(entry.name)));
    }
    writeArray(out, "pictureTable", makePictureTable(description.pictures, *description.key, makeFiller("pictures")));
    out << "} // namespace\n\n";
    for (const StringEntry &entry : description.strings) {
        out << "std::span<const uint8_t> " << entry.name << "() noexcept\n{\n    return k_" << entry.name << ";\n}\n\n";
    }
    out << "std::span<const uint8_t> pictureTable() noexcept\n{\n    return k_pictureTable;\n}\n\n"
           "} // namespace win32lib::encryption::records\n";
    return out.str();
}

int run(const std::filesystem::path &descriptionPath, const std::filesystem::path &outputPath)
{
    Description description;
    if (!parseDescription(descriptionPath, description)) {
        return 1;
    }
    const std::string source = generateSource(description);
    std::ofstream out(outputPath, std::ios::binary | std::ios::trunc);
    out << source;
    out.close();
    if (!out) {
        std::fprintf(stderr, "storegen: cannot write the output\n");
        return 1;
    }
    return 0;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t **argv)
#else
int main(int argc, char **argv)
#endif
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: storegen DESCRIPTION OUTPUT\n");
        return 2;
    }
    return run(argv[1], argv[2]);
}
