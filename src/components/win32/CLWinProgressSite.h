#pragma once
// A progress bar in the skin's accent colour.

#include "components/win32/CLWinSite.h"

class TProgressSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void ApplyColours() override;

protected:
  TSiteWindowStyle WindowStyle() override { return {PROGRESS_CLASSW, 0, 0, {}}; }
  void PushState() override;
};
