#pragma once
// A combo box: a drop-down list, or a drop-down edit where the user may type a text of their own.

#include "components/win32/CLWinSite.h"

class TComboSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void Place() override;
  bool Command(int aCode) override;
  bool OwnsWindow(HWND aWindow) const override;

protected:
  TSiteWindowStyle WindowStyle() override;
  void PushState() override;

private:
  TComboBox& Combo() const { return static_cast<TComboBox&>(Control()); }
  bool ShowsItems() const;
};
