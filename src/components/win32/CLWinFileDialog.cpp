#include "components/win32/CLWinFileDialog.h"

#include "components/win32/CLWinBinding.h"

#include <windows.h>

#include <commdlg.h>

#include <algorithm>
#include <vector>

bool Win32ChooseFileToOpen(const TOpenFileRequest& aRequest, std::wstring& aFileName) {
  // The filter's pairs are separated by NULs and end with two.
  std::wstring filter = aRequest.Filter;
  for (wchar_t& c : filter) {
    if (c == L'|') {
      c = L'\0';
    }
  }
  filter.append(2, L'\0');
  std::vector<wchar_t> name(32768, L'\0');
  aRequest.FileName.copy(name.data(), std::min(aRequest.FileName.size(), name.size() - 1));
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = aRequest.Owner ? FormWindow(*aRequest.Owner) : nullptr;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrTitle = aRequest.Title.empty() ? nullptr : aRequest.Title.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!::GetOpenFileNameW(&dialog)) {
    return false;
  }
  aFileName = name.data();
  return true;
}
