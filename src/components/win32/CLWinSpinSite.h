#pragma once
// A spin edit: an edit whose number the arrows beside it step.

#include "components/win32/CLWinEditSite.h"

class TSpinSite : public TEditSite {
public:
  using TEditSite::TEditSite;
  void Attached(HWND aParent) override;
  std::vector<HWND> Windows() const override;
  void Place() override;
  bool Notify(NMHDR& aHeader, LRESULT& aResult) override;

private:
  HWND FUpDown = nullptr;
};
