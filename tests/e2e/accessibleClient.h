#pragma once

// A screen reader's view of another process's window: its MSAA objects,
// read through oleacc as assistive technology reads them.
#include <oleacc.h>
#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace e2e {

// The VARIANT that names child `id` (CHILDID_SELF for the object itself).
VARIANT child(LONG id);
// The window's client object; null when it has none.
Microsoft::WRL::ComPtr<IAccessible> clientObject(HWND window);
// The children as AccessibleChildren gives them (simple elements: VT_I4).
std::vector<LONG> childIds(IAccessible *object);
// The names of the window's client object and of each of its children,
// as a screen reader would say them; the caller has initialised COM.
std::vector<std::wstring> accessibleNames(HWND window);

} // namespace e2e
