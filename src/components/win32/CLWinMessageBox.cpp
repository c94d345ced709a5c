#include "components/win32/CLWinMessageBox.h"

#include "components/CLForm.h"
#include "components/CLMultiLang.h"

#include <windows.h>

#include <commctrl.h>

#include <vector>

namespace {

// Dialog results are the system's button numbers (IDOK = 1 ... IDNO = 7).
static_assert(mr::OK == IDOK && mr::Cancel == IDCANCEL && mr::Abort == IDABORT &&
              mr::Retry == IDRETRY && mr::Ignore == IDIGNORE && mr::Yes == IDYES && mr::No == IDNO);

struct TButtonInfo {
  TMsgDlgButtons Button;
  TModalResult Result;
  TASKDIALOG_COMMON_BUTTON_FLAGS Common; // 0: a button of our own
  const wchar_t* TextName;
  const wchar_t* Text;
};

constexpr TButtonInfo kButtons[] = {
    {mb::Yes, mr::Yes, TDCBF_YES_BUTTON, nullptr, nullptr},
    {mb::No, mr::No, TDCBF_NO_BUTTON, nullptr, nullptr},
    {mb::OK, mr::OK, TDCBF_OK_BUTTON, nullptr, nullptr},
    {mb::Cancel, mr::Cancel, TDCBF_CANCEL_BUTTON, nullptr, nullptr},
    {mb::Abort, mr::Abort, 0, L"MSG_BTN_ABORT", L"&Abort"},
    {mb::Retry, mr::Retry, 0, L"MSG_BTN_RETRY", L"&Retry"},
    {mb::Ignore, mr::Ignore, 0, L"MSG_BTN_IGNORE", L"&Ignore"},
};

TMsgDlgButtons KnownButtons(TMsgDlgButtons aButtons) {
  TMsgDlgButtons known = 0;
  for (const TButtonInfo& info : kButtons)
    known |= aButtons & info.Button;
  return known != 0 ? known : mb::OK;
}

// The skinned controls' caption in the current language, else the built-in one.
// <windows.h> defines GetProp as a name of its own.
#pragma push_macro("GetProp")
#undef GetProp
std::wstring ButtonText(const TButtonInfo& aInfo) {
  std::wstring text;
  TCLMultiLangData* language =
      GetCLFormHost() != nullptr ? GetCLFormHost()->LanguageData() : nullptr;
  if (language != nullptr && language->GetProp(L"SkinRes", L"", aInfo.TextName, text) &&
      !text.empty())
    return text;
  return aInfo.Text;
}
#pragma pop_macro("GetProp")

using TTaskDialogIndirect = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// Only the version 6 common controls have the task dialog; the manifest asks for them.
TTaskDialogIndirect TaskDialogFunction() {
  static const TTaskDialogIndirect function = [] {
    HMODULE controls = ::LoadLibraryW(L"comctl32.dll");
    return controls == nullptr ? nullptr
                               : reinterpret_cast<TTaskDialogIndirect>(reinterpret_cast<void*>(
                                     ::GetProcAddress(controls, "TaskDialogIndirect")));
  }();
  return function;
}

PCWSTR TaskDialogIcon(TMsgDlgType aType) {
  switch (aType) {
  case TMsgDlgType::mtWarning:
    return TD_WARNING_ICON;
  case TMsgDlgType::mtError:
    return TD_ERROR_ICON;
  case TMsgDlgType::mtInformation:
  case TMsgDlgType::mtConfirmation:
    return TD_INFORMATION_ICON;
  case TMsgDlgType::mtCustom:
    break;
  }
  return nullptr;
}

bool ShowTaskDialog(const TCLMessageRequest& aRequest, TMsgDlgButtons aButtons,
                    TModalResult& aResult, bool& aFlagChecked) {
  TTaskDialogIndirect taskDialog = TaskDialogFunction();
  if (taskDialog == nullptr)
    return false;
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof(config);
  config.hwndParent = ::GetActiveWindow();
  config.pszWindowTitle = aRequest.Caption.c_str();
  config.pszContent = aRequest.Text.c_str();
  config.pszMainIcon = TaskDialogIcon(aRequest.DlgType);
  std::vector<std::wstring> texts;
  std::vector<TASKDIALOG_BUTTON> custom;
  texts.reserve(std::size(kButtons));
  for (const TButtonInfo& info : kButtons) {
    if ((aButtons & info.Button) == 0)
      continue;
    if (config.nDefaultButton == 0)
      config.nDefaultButton = info.Result;
    if (info.Common != 0) {
      config.dwCommonButtons |= info.Common;
    } else {
      texts.push_back(ButtonText(info));
      custom.push_back({info.Result, texts.back().c_str()});
    }
  }
  config.pButtons = custom.empty() ? nullptr : custom.data();
  config.cButtons = static_cast<UINT>(custom.size());
  // Escape and the close box answer Cancel, or OK for a box that has only OK.
  if ((aButtons & mb::Cancel) != 0 || aButtons == mb::OK)
    config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
  if (!aRequest.ShowFlagCaption.empty())
    config.pszVerificationText = aRequest.ShowFlagCaption.c_str();
  int button = 0;
  BOOL checked = FALSE;
  if (FAILED(taskDialog(&config, &button, nullptr, &checked)))
    return false;
  if (button == IDCANCEL && (aButtons & mb::Cancel) == 0)
    button = IDOK;
  aResult = button;
  aFlagChecked = !aRequest.ShowFlagCaption.empty() && checked != FALSE;
  return true;
}

UINT PlainButtons(TMsgDlgButtons aButtons) {
  const bool yes = aButtons & mb::Yes;
  const bool no = aButtons & mb::No;
  const bool cancel = aButtons & mb::Cancel;
  if (aButtons & (mb::Abort | mb::Ignore))
    return MB_ABORTRETRYIGNORE;
  if (yes || no)
    return cancel ? MB_YESNOCANCEL : MB_YESNO;
  if (aButtons & mb::Retry)
    return MB_RETRYCANCEL;
  return cancel ? MB_OKCANCEL : MB_OK;
}

UINT PlainIcon(TMsgDlgType aType) {
  switch (aType) {
  case TMsgDlgType::mtWarning:
    return MB_ICONWARNING;
  case TMsgDlgType::mtError:
    return MB_ICONERROR;
  case TMsgDlgType::mtInformation:
    return MB_ICONINFORMATION;
  case TMsgDlgType::mtConfirmation:
    return MB_ICONQUESTION;
  case TMsgDlgType::mtCustom:
    break;
  }
  return 0;
}

} // namespace

TModalResult TWinMessageBox::Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) {
  aFlagChecked = false;
  const TMsgDlgButtons buttons = KnownButtons(aRequest.Buttons);
  TModalResult result = mr::None;
  if (!FPlainOnly && ShowTaskDialog(aRequest, buttons, result, aFlagChecked))
    return result;
  return ::MessageBoxW(::GetActiveWindow(), aRequest.Text.c_str(), aRequest.Caption.c_str(),
                       PlainButtons(buttons) | PlainIcon(aRequest.DlgType) | MB_DEFBUTTON1);
}
