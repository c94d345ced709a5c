#pragma once
// A progress bar in the skin's accent colour.

#include "components/win32/CLWinSite.h"

#include <optional>
#include <utility>

class TProgressSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void ApplyColours() override;

protected:
  TSiteWindowStyle WindowStyle() override { return {PROGRESS_CLASSW, 0, 0, {}}; }
  void PushState() override;

private:
  // As last given to the bar.
  std::optional<std::pair<int, int>> FRange;
  std::optional<std::pair<COLORREF, COLORREF>> FColours; // bar, background
};
