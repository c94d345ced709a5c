#include "components/CLPlace.h"

void AttachControl(TControl& aControl, TWinControl& aParent, const TCLBounds& aBounds) {
  aControl.SetParent(&aParent);
  aControl.SetBounds(aBounds.Left, aBounds.Top, aBounds.Width, aBounds.Height);
}

void AttachControl(TTabSheet& aSheet, TWinControl& aParent, const TCLBounds&) {
  aSheet.SetPageControl(dynamic_cast<TPageControl*>(&aParent));
}

void PlaceControls(TForm& aWindow, std::span<const TCLPlace> aRows) {
  for (const TCLPlace& row : aRows) {
    auto* parent =
        row.Parent ? dynamic_cast<TWinControl*>(aWindow.FindComponent(row.Parent)) : nullptr;
    row.Make(aWindow, row.Name, parent ? *parent : aWindow, row.Bounds);
  }
}
