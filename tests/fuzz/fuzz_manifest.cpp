// The update manifest, from the body's bytes to the update information, for
// both word sizes of Windows.

#include "package/installErrors.h"
#include "package/manifestParsing.h"
#include "tests/fuzz/fuzzInput.h"

#include <cstring>
#include <cwchar>
#include <span>

namespace {

template <size_t N> bool terminated(const wchar_t (&field)[N])
{
    return std::wmemchr(field, L'\0', N) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::span<const char> body(reinterpret_cast<const char *>(data), size);
    for (const bool windows64 : {false, true}) {
        package::UpdateInfo info;
        const package::UpdateInfo untouched = info;
        const uint16_t result = package::readManifest(body, windows64, info);
        fuzz::expect(result == package::kInstallOk || result == package::kErrorBadManifest, "one of two results");
        if (result != package::kInstallOk) {
            fuzz::expect(std::memcmp(&info, &untouched, sizeof(info)) == 0, "a failure leaves the information alone");
            continue;
        }
        fuzz::expect(terminated(info.lastVersion) && terminated(info.downloadUrl), "texts terminated in their fields");
        fuzz::expect(info.lastVersion[0] != L'\0' && info.downloadUrl[0] != L'\0', "version and address present");
    }
    return 0;
}
