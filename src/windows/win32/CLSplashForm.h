#pragma once
// The splash window shown while the program starts: a PNG picture with its own transparency in
// a borderless, topmost layered window, centred on the work area of the primary screen. It
// closes itself as soon as it loses activation (normally when the main window shows) or when
// SplashClose is called; a picture that is missing or cannot be decoded closes it at once,
// through a close request it posts itself. GUI thread only.

#include <windows.h>

#include <string>

class TfrmCLSplashForm {
public:
  // Makes the window from aImageFile and paints it at once.
  explicit TfrmCLSplashForm(const std::wstring& aImageFile);
  ~TfrmCLSplashForm();
  TfrmCLSplashForm(const TfrmCLSplashForm&) = delete;
  TfrmCLSplashForm& operator=(const TfrmCLSplashForm&) = delete;

  // nullptr once the window has closed.
  HWND Handle() const { return FWindow; }

private:
  static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
  bool ShowPicture(const std::wstring& aImageFile);

  HWND FWindow = nullptr;
};

// "res\images\splash.png" in the program's folder.
std::wstring SplashImageFile();
// Shows the process's splash window, replacing one that is still there.
void SplashShow(const std::wstring& aImageFile = SplashImageFile());
// Closes and frees the splash window if it is still there.
void SplashClose();
// The splash window while it is open, else nullptr.
HWND SplashWindow();
