#include "installer/registry.h"
#include "win32lib/UniqueResource.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <windows.h>

#include <string>

namespace {

std::wstring scratchKeyName(const wchar_t *purpose)
{
    return std::wstring(L"Software\\KestruneEngineTest-") + purpose + L"-" + std::to_wstring(::GetCurrentProcessId());
}

TEST(KeyExists, MissingKeyDoesNotExistInEitherView)
{
    const std::wstring name = scratchKeyName(L"missing");
    EXPECT_FALSE(installer::keyExists(HKEY_LOCAL_MACHINE, name.c_str(), true));
    EXPECT_FALSE(installer::keyExists(HKEY_CURRENT_USER, name.c_str(), true));
}

TEST(KeyExists, ReadableKeyExists)
{
    const std::wstring name = scratchKeyName(L"plain");
    win32lib::UniqueHKey key;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    EXPECT_TRUE(installer::keyExists(HKEY_CURRENT_USER, name.c_str(), false));
    ::RegDeleteKeyW(HKEY_CURRENT_USER, name.c_str());
}

#if defined(_WIN64)
TEST(KeyExists, KeyOnlyInThe32BitViewIsFoundByTheRetry)
{
    const std::wstring name = scratchKeyName(L"wow64");
    win32lib::UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    key.reset();
    win32lib::ScopeExit removeKey([&] { ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), KEY_WOW64_32KEY, 0); });
    // Precondition: the 64-bit view really does not hold it.
    win32lib::UniqueHKey direct;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_READ, direct.put()), ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(installer::keyExists(HKEY_LOCAL_MACHINE, name.c_str(), false));
    EXPECT_TRUE(installer::keyExists(HKEY_LOCAL_MACHINE, name.c_str(), true));
}
#endif

TEST(KeyExists, KeyThatCannotBeReadCountsAsExisting)
{
    const std::wstring name = scratchKeyName(L"denied");
    // Protected and empty access list: nobody may read it; the owner can
    // still change the list to remove the key afterwards.
    win32lib::UniqueLocalMemory descriptor;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P", SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR *>(descriptor.put()), nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
    win32lib::UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, &attributes, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    key.reset();
    win32lib::ScopeExit removeKey([&] {
        win32lib::UniqueHKey owned;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, WRITE_DAC, owned.put()) == ERROR_SUCCESS) {
            win32lib::UniqueLocalMemory open;
            if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                    L"D:(A;;GA;;;WD)", SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR *>(open.put()),
                    nullptr)) {
                ::RegSetKeySecurity(owned.get(), DACL_SECURITY_INFORMATION, open.get());
            }
        }
        ::RegDeleteKeyW(HKEY_CURRENT_USER, name.c_str());
    });

    win32lib::UniqueHKey probe;
    const LONG direct = ::RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, probe.put());
    if (direct != ERROR_ACCESS_DENIED) {
        GTEST_SKIP() << "this system does not enforce the key's access list (open gave " << direct << ")";
    }
    EXPECT_TRUE(installer::keyExists(HKEY_CURRENT_USER, name.c_str(), true));
    EXPECT_TRUE(installer::keyExists(HKEY_CURRENT_USER, name.c_str(), false));
}

} // namespace
