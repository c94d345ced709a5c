#pragma once
// A panel: a container that shows its caption in the middle.

#include "components/win32/CLWinSite.h"

class TPanelSite : public TContainerSite {
public:
  using TContainerSite::TContainerSite;
  void CaptionChanged() override { Invalidate(); }

protected:
  void Paint(HDC aDC) override;
};
