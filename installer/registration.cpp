#include "installer/registration.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "installer/fileSystem.h"
#include "installer/productPaths.h"
#include "win32lib/UniqueResource.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cwchar>
#include <limits>

namespace installer {

using Microsoft::WRL::ComPtr;

namespace {

bool setValue(HKEY root, const wchar_t *subKey, const wchar_t *valueName, DWORD type, const BYTE *bytes,
              DWORD byteCount, REGSAM extraAccess)
{
    win32lib::UniqueHKey key;
    if (::RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE | extraAccess, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(key.get(), valueName, 0, type, bytes, byteCount) == ERROR_SUCCESS;
}

// Paths with spaces are only unambiguous to the command-line parser when quoted.
std::wstring quoted(const std::wstring &path)
{
    return L"\"" + path + L"\"";
}

HRESULT createShortcutIn(REFKNOWNFOLDERID folder, const std::wstring &target, const std::wstring &workingFolder,
                         unsigned descriptionId)
{
    win32lib::UniqueCoTaskMem<wchar_t> folderPath;
    const HRESULT found = ::SHGetKnownFolderPath(folder, 0, nullptr, folderPath.put());
    if (FAILED(found)) {
        return found;
    }
    const std::wstring linkPath = std::wstring(folderPath.get()) + L"\\" + kShortcutFile;
    return createShellLink(target, workingFolder, app::loadString(descriptionId), linkPath);
}

} // namespace

bool writeStringValue(HKEY root, const wchar_t *subKey, const wchar_t *valueName, const std::wstring &text,
                      REGSAM extraAccess)
{
    // The terminator is stored with the text.
    const auto byteCount = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return setValue(root, subKey, valueName, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()), byteCount,
                    extraAccess);
}

bool writeDwordValue(HKEY root, const wchar_t *subKey, const wchar_t *valueName, DWORD value, REGSAM extraAccess)
{
    return setValue(root, subKey, valueName, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof(value),
                    extraAccess);
}

std::wstring formatInstallDate(const SYSTEMTIME &date)
{
    wchar_t text[16] = {};
    const int length = std::swprintf(text, std::size(text), L"%04d%02d%02d", date.wYear, date.wMonth, date.wDay);
    if (length != 8) {
        return {};
    }
    return text;
}

DWORD estimatedSizeInKilobytes(uint64_t bytes) noexcept
{
    const uint64_t kilobytes = bytes / 1024;
    constexpr uint64_t largest = std::numeric_limits<DWORD>::max();
    return static_cast<DWORD>(kilobytes < largest ? kilobytes : largest);
}

bool writeUninstallEntry(const std::wstring &destination, const std::wstring &version)
{
    SYSTEMTIME today = {};
    ::GetSystemTime(&today);
    const std::wstring installDate = formatInstallDate(today);
    if (installDate.empty()) {
        return false;
    }
    const std::wstring uninstallString = quoted(uninstallerPath(destination, version));
    const DWORD estimatedSize = estimatedSizeInKilobytes(directorySize(destination));

    const HKEY root = HKEY_LOCAL_MACHINE;
    bool written = true;
    written &= writeStringValue(root, kUninstallKey, L"DisplayIcon", launcherPath(destination), 0);
    written &= writeStringValue(root, kUninstallKey, L"DisplayName", kProductName, 0);
    written &= writeStringValue(root, kUninstallKey, L"DisplayVersion", version, 0);
    written &= writeStringValue(root, kUninstallKey, L"Publisher", kPublisher, 0);
    written &= writeStringValue(root, kUninstallKey, L"InstallDate", installDate, 0);
    written &= writeStringValue(root, kUninstallKey, L"InstallLocation", destination, 0);
    written &= writeStringValue(root, kUninstallKey, L"UninstallString", uninstallString, 0);
    written &= writeDwordValue(root, kUninstallKey, L"NoModify", 1, 0);
    written &= writeDwordValue(root, kUninstallKey, L"NoRepair", 1, 0);
    written &= writeDwordValue(root, kUninstallKey, L"EstimatedSize", estimatedSize, 0);
    return written;
}

bool writeCampaignValue()
{
    std::wstring campaign;
    if (!app::loadResourceText(app::ids::kCampaignId, campaign)) {
        return false;
    }
    return writeStringValue(HKEY_LOCAL_MACHINE, kVendorKey, kCampaignValue, campaign, 0);
}

std::wstring shortcutTarget(const std::wstring &launcher)
{
    if (launcher.size() < MAX_PATH) {
        return launcher;
    }
    const std::wstring prefixed = L"\\\\?\\" + launcher;
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD length = ::GetShortPathNameW(prefixed.c_str(), shortPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return prefixed;
    }
    return std::wstring(shortPath, length);
}

HRESULT createShellLink(const std::wstring &target, const std::wstring &workingFolder, const std::wstring &description,
                        const std::wstring &linkPath)
{
    ComPtr<IShellLinkW> link;
    HRESULT result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (FAILED(result)) {
        return result;
    }
    if (FAILED(result = link->SetPath(target.c_str())) || FAILED(result = link->SetDescription(description.c_str())) ||
        FAILED(result = link->SetWorkingDirectory(workingFolder.c_str()))) {
        return result;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(result = link.As(&file))) {
        return result;
    }
    return file->Save(linkPath.c_str(), TRUE);
}

bool createShortcuts(const std::wstring &destination, bool createDesktopShortcut)
{
    const std::wstring target = shortcutTarget(launcherPath(destination));
    const std::wstring workingFolder = productFolder(destination);

    // A thread that already runs COM in the other apartment model can still
    // create shell links.
    const win32lib::ScopedComInitializer com;
    if (!com.succeeded() && com.result() != RPC_E_CHANGED_MODE) {
        return false;
    }
    bool created = SUCCEEDED(
        createShortcutIn(FOLDERID_CommonPrograms, target, workingFolder, app::ids::kStartMenuShortcutDescription));
    if (createDesktopShortcut) {
        created &= SUCCEEDED(
            createShortcutIn(FOLDERID_PublicDesktop, target, workingFolder, app::ids::kDesktopShortcutDescription));
    }
    return created;
}

} // namespace installer
