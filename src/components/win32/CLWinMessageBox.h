#pragma once
// The message box on the system's task dialog: the request's caption and
// text, the icon of its kind, its buttons (Yes, No, OK and Cancel as the system's own, Abort,
// Retry and Ignore with the language's captions "MSG_BTN_ABORT", ...), and the "do not display
// this message again" box when the request names one. The first requested button (in the order
// Yes, No, OK, Cancel, Abort, Retry, Ignore) is the default; the box is modal to the thread's
// active window. Where the task dialog is missing (no version 6 common controls) the plain
// system message box is shown, without the tick box. GUI thread only.

#include "components/CLMessageBox.h"

class TWinMessageBox : public ICLMessageBox {
public:
  // aPlainOnly: always the plain system message box.
  explicit TWinMessageBox(bool aPlainOnly = false) : FPlainOnly(aPlainOnly) {}
  // mr::None when no box could be shown.
  TModalResult Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) override;

private:
  bool FPlainOnly;
};
