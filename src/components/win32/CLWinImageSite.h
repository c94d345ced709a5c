#pragma once
// An image: the component's PNG file, drawn to fill the control.

#include "components/win32/CLWinSite.h"

class TImageSite : public TContainerSite {
public:
  using TContainerSite::TContainerSite;
  ~TImageSite() override;
  void PropertyChanged(std::wstring_view aProperty) override;
  bool SeeThrough() const override { return true; }

protected:
  TSiteWindowStyle WindowStyle() override { return {}; }
  void PushState() override;
  void Paint(HDC aDC) override;

private:
  void Drop();

  HBITMAP FPicture = nullptr;
  int FWidth = 0;
  int FHeight = 0;
};
