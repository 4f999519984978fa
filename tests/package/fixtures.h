#pragma once

#include <string>

namespace testsupport {

// Archives made by make-fixtures.py at build time, as Wine sees them.
inline std::wstring packageFixture(const std::wstring &name)
{
    return std::wstring(KESTRUNE_PACKAGE_FIXTURES) + L"\\" + name;
}

inline const std::wstring kSamplePackage = KESTRUNE_SAMPLE_PACKAGE_PATH;
inline const std::wstring kSampleVersion = KESTRUNE_SAMPLE_VERSION_TEXT;

} // namespace testsupport
