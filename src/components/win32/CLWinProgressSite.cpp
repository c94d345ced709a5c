#include "components/win32/CLWinProgressSite.h"

#include "components/CLSkin.h"
#include "components/win32/CLWinForm.h"

void TProgressSite::PushState() {
  const auto& bar = static_cast<const TProgressBar&>(Control());
  // A new range repaints the whole bar; a position the bar already shows is left alone by it.
  const std::pair range{bar.Min(), bar.Max()};
  if (FRange != range) {
    FRange = range;
    ::SendMessageW(Window(), PBM_SETRANGE32, static_cast<WPARAM>(bar.Min()), bar.Max());
  }
  ::SendMessageW(Window(), PBM_SETPOS, static_cast<WPARAM>(bar.Position()), 0);
  ApplyColours();
}

void TProgressSite::ApplyColours() {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  SetVisualStyles(theme.SystemColors);
  // The bar repaints all of itself on every colour it is given, changed or not.
  const std::pair colours{theme.SystemColors ? CLR_DEFAULT : (theme.Accent & 0xFFFFFF),
                          theme.SystemColors ? CLR_DEFAULT : Form().Background(Control())};
  if (FColours == colours)
    return;
  FColours = colours;
  ::SendMessageW(Window(), PBM_SETBARCOLOR, 0, static_cast<LPARAM>(colours.first));
  ::SendMessageW(Window(), PBM_SETBKCOLOR, 0, static_cast<LPARAM>(colours.second));
  Invalidate();
}
