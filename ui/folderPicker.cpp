#include "ui/folderPicker.h"

#include "win32lib/UniqueResource.h"

#include <shobjidl.h>
#include <wrl/client.h>

namespace ui {

using Microsoft::WRL::ComPtr;

std::optional<std::wstring> pickFolder(HWND owner, REFKNOWNFOLDERID start)
{
    ComPtr<IFileDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog)))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options)) ||
        FAILED(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST))) {
        return std::nullopt;
    }
    ComPtr<IKnownFolderManager> manager;
    ComPtr<IKnownFolder> folder;
    ComPtr<IShellItem> startItem;
    if (FAILED(::CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&manager))) ||
        FAILED(manager->GetFolder(start, &folder)) || FAILED(folder->GetShellItem(0, IID_PPV_ARGS(&startItem))) ||
        FAILED(dialog->SetDefaultFolder(startItem.Get()))) {
        return std::nullopt;
    }
    if (FAILED(dialog->Show(owner))) {
        return std::nullopt;
    }
    ComPtr<IShellItem> chosen;
    if (FAILED(dialog->GetResult(&chosen))) {
        return std::nullopt;
    }
    win32lib::UniqueCoTaskMem<wchar_t> path;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, path.put()))) {
        return std::nullopt;
    }
    return std::wstring(path.get());
}

} // namespace ui
