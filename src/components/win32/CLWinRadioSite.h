#pragma once
// A radio button: the first of its parent's starts the group the arrow keys move in.

#include "components/win32/CLWinCheckBoxSite.h"

class TRadioSite : public TCheckBoxSite {
public:
  using TCheckBoxSite::TCheckBoxSite;

protected:
  TSiteWindowStyle WindowStyle() override;
  bool Checked() const override;
};
