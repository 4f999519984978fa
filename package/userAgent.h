#pragma once

// User agent of the installer's own requests (manifest, package; telemetry
// appends the operating-system numbers). The word size is the build's.
namespace package {

#if defined(_WIN64)
inline constexpr wchar_t kInstallerUserAgent[] = L"KestruneInstaller/1.0.5 (x64)";
#else
inline constexpr wchar_t kInstallerUserAgent[] = L"KestruneInstaller/1.0.5 (x86)";
#endif

} // namespace package
