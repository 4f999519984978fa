// Archive entry names: the conversion of the stored bytes (UTF-8 or the
// ANSI code page) and the check that a name stays inside the destination.
// The first byte chooses how the rest is read; 2 gives the check UTF-16
// units directly, including ones no conversion produces.

#include "package/entryName.h"
#include "tests/fuzz/fuzzInput.h"

#include <string_view>

namespace {

void checkName(const std::wstring &name)
{
    const bool safe = package::isSafeEntryName(name);
    if (!safe) {
        return;
    }
    fuzz::expect(!name.empty(), "a safe name is not empty");
    fuzz::expect(name.find(L':') == std::wstring::npos, "a safe name has no ':'");
    fuzz::expect(name.front() != L'\\' && name.front() != L'/', "a safe name has no root");
    for (const wchar_t character : name) {
        fuzz::expect(character >= L' ', "a safe name has no control character");
    }
    // Every segment of a safe name is safe on its own.
    size_t start = 0;
    while (start < name.size()) {
        size_t end = name.find_first_of(L"\\/", start);
        end = end == std::wstring::npos ? name.size() : end;
        if (end > start) {
            fuzz::expect(package::isSafeEntryName(name.substr(start, end - start)), "each segment is safe");
            fuzz::expect(name.substr(start, end - start) != L"..", "no parent segment");
        }
        start = end + 1;
    }
    static_cast<void>(package::isDirectoryEntry(name));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const uint8_t mode = data[0] % 3;
    ++data;
    --size;
    if (mode == 2) {
        checkName(fuzz::utf16Units(data, size));
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    std::wstring name = L"previous";
    if (package::convertEntryName(bytes, mode == 1, name)) {
        fuzz::expect(bytes.empty() == name.empty(), "only empty bytes give an empty name");
        checkName(name);
    }
    return 0;
}
