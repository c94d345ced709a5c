#pragma once
// The modal message box as the program's logic sees it: kinds, buttons, one request and the box
// behind an interface, so that decisions that ask the user run without a window.

#include "components/CLControls.h"

#include <cstdint>
#include <string>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// The buttons of a message box, a set of bits.
using TMsgDlgButtons = uint32_t;
namespace mb {
constexpr TMsgDlgButtons Yes = 0x1;
constexpr TMsgDlgButtons No = 0x2;
constexpr TMsgDlgButtons OK = 0x4;
constexpr TMsgDlgButtons Cancel = 0x8;
constexpr TMsgDlgButtons Abort = 0x10;
constexpr TMsgDlgButtons Retry = 0x20;
constexpr TMsgDlgButtons Ignore = 0x40;
constexpr TMsgDlgButtons YesNo = Yes | No;
constexpr TMsgDlgButtons OKCancel = OK | Cancel;
} // namespace mb

struct TCLMessageRequest {
  std::wstring Text;
  std::wstring Caption;
  TMsgDlgType DlgType = TMsgDlgType::mtInformation;
  TMsgDlgButtons Buttons = mb::OK;
  // The "do not display this message again" box and its caption; hidden when empty.
  std::wstring ShowFlagCaption;
};

// The modal message box.
class ICLMessageBox {
public:
  virtual ~ICLMessageBox() = default;
  // Shows the box and returns the dialog result; aFlagChecked tells whether the user ticked the
  // "do not display again" box (false when it was hidden).
  virtual TModalResult Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) = 0;
};
