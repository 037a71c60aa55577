#include "app/save_folder_win.h"

#include <shobjidl.h>

#include "support/tr_win.h"

namespace quorvel {

namespace {
template <class T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};
}  // namespace

bool SelectSaveFolder(HWND owner, std::wstring& path) {
  ComRef<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return false;
  const std::wstring title = tr(L"폴더 선택"), ok = tr(L"선택");
  dialog->SetTitle(title.c_str());
  dialog->SetOkButtonLabel(ok.c_str());
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  ComRef<IShellItem> folder;
  if (!path.empty() && SUCCEEDED(::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&folder))))
    dialog->SetFolder(folder.p);
  dialog->SetFileName(path.c_str());
  if (FAILED(dialog->Show(owner))) return false;  // cancelled
  ComRef<IShellItem> result;
  if (FAILED(dialog->GetResult(&result))) return false;
  wchar_t* chosen = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &chosen)) || !chosen) return false;
  path = chosen;
  ::CoTaskMemFree(chosen);
  return true;
}

}  // namespace quorvel
