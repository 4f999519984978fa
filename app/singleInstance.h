#pragma once

namespace app {

inline constexpr wchar_t kSingleInstanceMutexName[] = L"Global\\Orv_90f329a0-c6af-4e7b-9ee9-79b6106a90f6";

// The process's single-instance mutex, also released and retaken around the
// elevated restart. True when this process now holds it; false when it held
// it already or another instance does.
bool acquireSingleInstance();
void releaseSingleInstance() noexcept;
[[nodiscard]] bool holdsSingleInstance() noexcept;

} // namespace app
