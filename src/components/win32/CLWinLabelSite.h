#pragma once
// A label (a static control that answers clicks) and a link label (the system's link control).

#include "components/win32/CLWinSite.h"

class TLabelSite : public TControlSite {
public:
  // aPlain: the stand-in for a link, which keeps its text on one line only where it must.
  TLabelSite(TFormWindow& aForm, TControl& aControl, int aId, bool aPlain = false);
  void CaptionChanged() override;
  void PropertyChanged(std::wstring_view aProperty) override;
  bool Command(int aCode) override;
  bool SeeThrough() const override { return true; }
  // The static control draws itself on every text change and every enable.
  bool PaintsAtOnce() const override { return true; }

protected:
  TSiteWindowStyle WindowStyle() override;

private:
  bool FPlain;
};

class TLinkSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  std::unique_ptr<TControlSite> Fallback() override;
  void CaptionChanged() override;
  bool SeeThrough() const override { return true; }
  bool PaintsAtOnce() const override { return true; }
  HBRUSH ColourBrush(HDC aDC) override;
  bool Notify(NMHDR& aHeader, LRESULT& aResult) override;

protected:
  TSiteWindowStyle WindowStyle() override;
};
