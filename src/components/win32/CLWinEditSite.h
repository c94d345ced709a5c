#pragma once
// A one-line edit; the user's typing becomes the component's text.

#include "components/win32/CLWinSite.h"

class TEditSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  bool Command(int aCode) override;

protected:
  TSiteWindowStyle WindowStyle() override;
  void PushState() override;
};
