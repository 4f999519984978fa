// The protected store's records: a string record, and the picture table
// searched for one id. The first byte chooses which; for the table the next
// two bytes are the id.

#include "tests/fuzz/fuzzInput.h"
#include "win32lib/encryption/recordFormat.h"
#include "win32lib/encryption/store.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace win32lib::encryption;
    if (size == 0) {
        return 0;
    }
    const bool table = (data[0] & 1) != 0;
    std::span<const uint8_t> rest(data + 1, size - 1);
    if (!table) {
        const SharedSecureWString text = decodeStringRecord(rest);
        fuzz::expect(text != nullptr, "never null");
        // Each UTF-8 byte gives at most one UTF-16 unit.
        fuzz::expect(rest.size() < kHeaderEnd || text->size() <= rest.size() - kHeaderEnd, "text within the record");
        return 0;
    }
    if (rest.size() < 2) {
        return 0;
    }
    const uint16_t id = readBigEndian16(rest.data());
    const SharedSecureString picture = decodePicture(rest.subspan(2), id);
    fuzz::expect(picture != nullptr, "never null");
    fuzz::expect(picture->size() <= rest.size(), "picture within the table");
    return 0;
}
