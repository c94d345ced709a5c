#pragma once
// The about window: the program's logo from "res\images\about.png" in the program's folder, the
// name, version, copyright and (for a translation) its translator, and a link to the support
// page. AppAbout shows it.

#include "components/CLControls.h"

#include <cstdint>
#include <functional>
#include <string>

class TCLEngine;

class TfrmCLAboutForm : public TForm {
public:
  // Loads the logo: the window's client width becomes the picture's width and the logo panel
  // its height, the window growing or shrinking by the difference; without a picture the logo
  // panel is hidden and the window shrinks by its height.
  TfrmCLAboutForm(TComponent* aOwner, TCLEngine& aEngine);

  // The caption, information lines and button texts in the engine's current language.
  void UpdateTexts();
  // As the constructor does with "res\images\about.png"; for a window that has not lost its
  // logo panel yet.
  void LoadLogo(const std::wstring& aFileName);

  TPanel* pnlLogo;
  TImage* imgLogo;
  TLabel* lblInfo; // one line per item
  TLinkLabel* lblSupport;
  TButton* btnOk;

private:
  // Moves everything below the logo panel by aDelta.
  void MoveBelowLogo(int aDelta);

  TCLEngine& FEngine;
};

// Places a form's window inside another window (an HWND) at 0,0. The window-system binding
// installs the way to do it; without one the form stays where it is. Returns the previous one.
using TFormPlacer = std::function<void(TForm& aForm, uintptr_t aParentWindow)>;
TFormPlacer SetFormPlacer(TFormPlacer aPlacer);
void PlaceFormInWindow(TForm& aForm, uintptr_t aParentWindow);

// Shows the engine's about window modally, placed into the engine's ParentHWND when it has one;
// the window is made on first use and kept, owned by the engine. Nothing happens while it is
// showing.
void AppAbout(TCLEngine& aEngine);
