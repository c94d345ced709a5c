#include "components/win32/CLWinProgressSite.h"

#include "components/CLSkin.h"
#include "components/win32/CLWinForm.h"

void TProgressSite::PushState() {
  const auto& bar = static_cast<const TProgressBar&>(Control());
  ::SendMessageW(Window(), PBM_SETRANGE32, static_cast<WPARAM>(bar.Min()), bar.Max());
  ::SendMessageW(Window(), PBM_SETPOS, static_cast<WPARAM>(bar.Position()), 0);
  ApplyColours();
}

void TProgressSite::ApplyColours() {
  const TCLSkinTheme& theme = CurrentSkinTheme();
  UseVisualStyles(Window(), theme.SystemColors);
  ::SendMessageW(Window(), PBM_SETBARCOLOR, 0,
                 static_cast<LPARAM>(theme.SystemColors ? CLR_DEFAULT : (theme.Accent & 0xFFFFFF)));
  ::SendMessageW(
      Window(), PBM_SETBKCOLOR, 0,
      static_cast<LPARAM>(theme.SystemColors ? CLR_DEFAULT : Form().Background(Control())));
  Invalidate();
}
