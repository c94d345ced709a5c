#pragma once
// The real control of one component on a form window. The base holds what every control
// shares: its window, id and component, enabling, visibility and bounds, and the guard that tells
// the binding's own changes from the user's. Each kind of control derives a small class that
// makes its control, pushes the component's state to it and reads the user's actions back.

#include "components/CLControls.h"

#include <windows.h>

#include <commctrl.h>

// The form host's PostMessage, not the system's macro of that name.
#undef PostMessage

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TFormWindow;

// How a kind's control window is made: its class (nullptr for the binding's own container
// window), the styles added to WS_CHILD | WS_CLIPSIBLINGS, and its first text.
struct TSiteWindowStyle {
  const wchar_t* Class = nullptr;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  std::wstring Text;
};

class TControlSite {
public:
  TControlSite(TFormWindow& aForm, TControl& aControl, int aId);
  virtual ~TControlSite() = default;
  TControlSite(const TControlSite&) = delete;
  TControlSite& operator=(const TControlSite&) = delete;

  TFormWindow& Form() const { return FForm; }
  TControl& Control() const { return FControl; }
  HWND Window() const { return FWindow; }
  int Id() const { return FId; }

  // Makes the control in aParent; false when the system refuses it.
  virtual bool Create(HWND aParent);
  // The site that stands in when Create failed (a link without Common Controls 6), or nullptr.
  virtual std::unique_ptr<TControlSite> Fallback() { return nullptr; }
  // Once the form knows the site: windows of its own beside the control, styles the control
  // takes only once it exists.
  virtual void Attached(HWND aParent);
  // Once the component's children have their controls.
  virtual void ChildrenMade() {}
  // Every window of the control (a spin edit's edit and its arrows).
  virtual std::vector<HWND> Windows() const { return {FWindow}; }

  // The component's whole state to the control.
  void Push();
  virtual void Place();
  virtual void Show();
  void Enable();
  void Reparent(HWND aParent);
  virtual void CaptionChanged() {}
  // A property the form window does not handle for every control.
  virtual void PropertyChanged(std::wstring_view aProperty);
  // The component's or the skin's colours to the control.
  virtual void ApplyColours();
  // True for a control that shows its parent's background unless it has a colour of its own.
  virtual bool SeeThrough() const { return false; }
  // The brush a WM_CTLCOLOR* answer gives, the DC's colours set.
  virtual HBRUSH ColourBrush(HDC aDC);

  // True for a control that paints itself at once, not with the next paint messages, whenever it
  // is enabled, disabled or given a text (a button).
  virtual bool PaintsAtOnce() const { return false; }

  // The user's actions: a WM_COMMAND code or a WM_NOTIFY of the control; true when handled.
  // The component's handlers may free the site: nothing of it is used after them.
  virtual bool Command(int aCode);
  virtual bool Notify(NMHDR& aHeader, LRESULT& aResult);
  // A reading the control asked for with TFormWindow::PostRead.
  virtual void PostedRead() {}
  // Before a mouse message of the control reaches the component.
  virtual void BeforeMouse() {}
  // True when the control keeps a left press to itself until the release and swallows the
  // button-up.
  virtual bool HoldsButtonDown() const { return false; }
  // True for a window of the control that no site has (a combo box's drop-down list).
  virtual bool OwnsWindow(HWND) const { return false; }
  // The result a button sends Enter or Escape to, mr::None for every other control.
  virtual TModalResult DialogResult() const { return mr::None; }
  // A message of the binding's own container window.
  virtual LRESULT ContainerMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);

  // Set while the binding itself changes the control, whose notifications are then ours.
  int Updating = 0;

protected:
  virtual TSiteWindowStyle WindowStyle() = 0;
  virtual void PushState() {}
  // The component's bounds, scaled to the window's DPI.
  RECT Bounds() const;
  void SetId(int aId) { FId = aId; }
  void Invalidate() const;
  // Turns the control's visual styles on or off; nothing when they already are, since the
  // control opens its theme again and repaints on every change.
  void SetVisualStyles(bool aOn);
  // Sets the control's text. A control that paints at once is kept from drawing meanwhile and
  // painted once with the next paint messages, so that a window state that changes several
  // controls together paints each of them once.
  void SetText(const std::wstring& aText);

private:
  // Runs aChange on aWindow as SetText says.
  template <typename TChange> void Deferred(HWND aWindow, TChange aChange) const;

  TFormWindow& FForm;
  TControl& FControl;
  HWND FWindow = nullptr;
  int FId = 0;
  std::optional<bool> FVisualStyles; // as last set
};

// A control of the binding's own window class, which paints the component's background.
class TContainerSite : public TControlSite {
public:
  using TControlSite::TControlSite;
  bool Create(HWND aParent) override;
  LRESULT ContainerMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) override;

protected:
  TSiteWindowStyle WindowStyle() override {
    return {nullptr, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, {}};
  }
  virtual void Paint(HDC) {}
};

std::wstring WindowText(HWND aWindow);
// Sets or clears style bits and lets the window take them.
void SetStyleBit(HWND aWindow, LONG_PTR aBit, bool aOn);
// Skinned colours reach check boxes, radio buttons and progress bars only without visual
// styles; with the system's colours the styles come back.
void UseVisualStyles(HWND aWindow, bool aOn);
