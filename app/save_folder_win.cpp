#include "app/save_folder_win.h"

#include <shobjidl.h>
#include <wrl/client.h>

#include "support/handles_win.h"
#include "support/tr_win.h"

namespace quorvel {

bool SelectSaveFolder(HWND owner, std::wstring& path) {
  Microsoft::WRL::ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return false;
  const std::wstring title = tr(L"폴더 선택"), ok = tr(L"선택");
  dialog->SetTitle(title.c_str());
  dialog->SetOkButtonLabel(ok.c_str());
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  Microsoft::WRL::ComPtr<IShellItem> folder;
  if (!path.empty() && SUCCEEDED(::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&folder))))
    dialog->SetFolder(folder.Get());
  dialog->SetFileName(path.c_str());
  if (FAILED(dialog->Show(owner))) return false;  // cancelled
  Microsoft::WRL::ComPtr<IShellItem> result;
  if (FAILED(dialog->GetResult(&result))) return false;
  wchar_t* chosen = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &chosen)) || !chosen) return false;
  path = chosen;
  ::CoTaskMemFree(chosen);
  return true;
}

}  // namespace quorvel
