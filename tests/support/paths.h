#pragma once

#include <string>

namespace testsupport {

// The installer under test and the folders of the build, as Wine sees them.
inline const std::wstring kInstallerPath = KESTRUNE_EXE_PATH;
inline const std::wstring kBinDir = KESTRUNE_BIN_DIR;
inline const std::wstring kSourceDir = KESTRUNE_SOURCE_DIR;

} // namespace testsupport
