#pragma once
// The window of one form: a site (CLWinSite.h) for the real control of each of its components,
// the messages routed to them, the scaling for the window's DPI and the painting of backgrounds
// (used by CLWinBinding.cpp; other units reach it through the lookups of CLWinBinding.h).

#include "components/win32/CLWinSite.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class TFormWindow : public IFormHost, public IComponentBinding {
public:
  explicit TFormWindow(TForm& aForm);
  ~TFormWindow() override;
  TFormWindow(const TFormWindow&) = delete;
  TFormWindow& operator=(const TFormWindow&) = delete;

  // Makes the window and every control; false (and the form stays headless) on failure.
  bool Create();

  static TFormWindow* Find(const TForm& aForm);
  // The form window for the form's window or any window on it.
  static TFormWindow* FromWindow(HWND aWindow);
  static const std::vector<TFormWindow*>& All();

  TForm& Form() const { return FForm; }
  HWND Window() const { return FWindow; }
  HWND ControlWindow(const TComponent& aControl) const;

  // IFormHost
  uintptr_t Handle() const override { return reinterpret_cast<uintptr_t>(FWindow); }
  bool PostMessage(uint32_t aMsg, uintptr_t aWParam, intptr_t aLParam) override;
  bool ClientToScreen(const TControl& aControl, int& aX, int& aY) const override;
  void AnimateToTray() override;

  // IComponentBinding
  void PropertyChanged(TComponent& aComponent, std::wstring_view aProperty) override;
  void ComponentDestroyed(TComponent& aComponent) override;

  // The skin changed: new font and colours, everything painted again.
  void ApplySkin();
  // The button that Enter (mr::OK) or Escape (mr::Cancel) clicks, or nullptr.
  TButton* DialogButton(TModalResult aResult) const;

  // For the sites of the controls.
  TControlSite* SiteOf(const TComponent* aComponent);
  // Routes the messages of a window the site made beside its control to the site.
  void AddWindow(HWND aWindow, TControlSite& aSite);
  // Calls the site's PostedRead once the messages in the queue have been handled.
  void PostRead(TControlSite& aSite);
  HFONT Font() const { return FFont; }
  COLORREF Background(const TControl& aControl) const;
  COLORREF TextColour(const TControl& aControl) const;
  HBRUSH Brush(COLORREF aColour);
  int Scale(int aValue) const;
  int Unscale(int aValue) const;

  // Window procedures of the form window and of the binding's own container windows.
  static LRESULT CALLBACK FormProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  static LRESULT CALLBACK ContainerProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam);

private:
  LRESULT FormMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  LRESULT ContainerMessage(TControlSite& aSite, UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  // The messages the controls send their parent; true when handled.
  bool ChildMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam, LRESULT& aResult);
  void ContextMenu(HWND aWindow, LPARAM aLParam);
  static LRESULT CALLBACK MouseSubclass(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam,
                                        UINT_PTR aId, DWORD_PTR aData);
  // A press or release, after the control's own handling, to the component.
  static void MouseButton(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  // The form window whose site has aWindow (a page docked in another form puts its controls in
  // that form's window), or nullptr.
  static TControlSite* SiteOfAny(HWND aWindow, TFormWindow*& aForm);
  // The brush for a WM_CTLCOLOR* message of aWindow, or nullptr when it is no control's.
  HBRUSH ColourMessage(HDC aDC, HWND aWindow, UINT aMsg);

  // Controls
  void CreateChildren(TWinControl& aParent);
  void CreateSite(TControl& aControl);
  HWND ParentWindow(const TControl& aControl) const;
  void DestroySite(TComponent& aControl);
  void ForgetDeadWindows();
  void ControlChanged(TControlSite& aSite, std::wstring_view aProperty);
  void PlaceAll();
  void SetHint(TControlSite& aSite);
  void ShowCursor(TControlSite& aSite);
  TControlSite* SiteOfWindow(HWND aWindow);
  // The site of aWindow, or of the control that made aWindow as a part of itself.
  TControlSite* SiteOwning(HWND aWindow);
  // The message that asks for a site's PostedRead (lParam: the site's window).
  static UINT ReadMessage();
  // The message that hands the form's tray icons to the shell, once the form is on show.
  static UINT TrayMessage();

  // Form
  void FormChanged(std::wstring_view aProperty);
  void PlaceForm();
  void ShowFormWindow();
  void UpdateFont();
  void ApplyFrameTheme();
  void UserResized(WPARAM aKind);
  // The focus kept when the window is left and given back when it is activated; true when given.
  bool Activated(bool aActive);

  TForm& FForm;
  HWND FWindow = nullptr;
  HWND FToolTip = nullptr;
  HFONT FFont = nullptr;
  int FDpi = 96;
  int FNextId = 1000;
  // Set while the binding moves or resizes the window, whose WM_SIZE is then its own.
  int FPlacing = 0;
  bool FClosing = false;
  HWND FLastFocus = nullptr;
  std::map<const TComponent*, std::unique_ptr<TControlSite>> FSites;
  std::map<HWND, TControlSite*> FWindows;
  std::map<COLORREF, HBRUSH> FBrushes;
};
