#pragma once
// A push button: the dialog's default or cancel button where its modal result says so, a
// push-like check box where the button keeps a pressed state.

#include "components/win32/CLWinSite.h"

class TButtonSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void CaptionChanged() override;
  bool PaintsAtOnce() const override { return true; }
  bool Command(int aCode) override;
  TModalResult DialogResult() const override;

protected:
  TSiteWindowStyle WindowStyle() override;
  void PushState() override;

private:
  TButton& Button() const { return static_cast<TButton&>(Control()); }
};
