#pragma once
// A check box; the radio button is one that starts its group where it is its parent's first.

#include "components/win32/CLWinSite.h"

class TCheckBoxSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  void CaptionChanged() override;
  bool PaintsAtOnce() const override { return true; }
  void ApplyColours() override;
  bool Command(int aCode) override;
  bool SeeThrough() const override { return true; }

protected:
  TSiteWindowStyle WindowStyle() override;
  void PushState() override;
  virtual bool Checked() const;
};
