#pragma once
// The components of a window that are not controls: actions, menus, timers, the tray icon and
// image lists.

#include "base/CLMainThread.h"
#include "components/CLComponents.h"

#include <string>
#include <vector>

class TAction;

// What a control or menu item that shows an action hears when the action changes.
class IActionClient {
public:
  virtual ~IActionClient() = default;
  virtual void ActionChanged(const TAction& aAction) = 0;
};

// A command with its caption, hint, check mark, enabled and visible state; the controls and
// menu items linked to it show that state and execute it when clicked.
class TAction : public TComponent {
public:
  explicit TAction(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TAction"; }

  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& aValue);
  const std::wstring& Hint() const { return FHint; }
  void SetHint(const std::wstring& aValue);
  bool Checked() const { return FChecked; }
  void SetChecked(bool aValue);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool aValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool aValue);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int aValue);

  // Runs OnExecute; false when the action is disabled or has no handler.
  bool Execute();
  TNotifyEvent OnExecute;

  // Used by the linked controls (they also ask for a free notification).
  void AddClient(TComponent* aClient);
  void RemoveClient(TComponent* aClient);
  // Moves aClient's link, held in aField, to aAction (which may be none); false when it is the
  // same action. The client then shows the new action's state.
  static bool Relink(TComponent& aClient, TAction*& aField, TAction* aAction);

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override;

private:
  void Propagate(std::wstring_view aProperty);
  // Stores a new value and passes the change on, unless the value is the same.
  template <class TField, class TValue>
  void SetState(TField& aField, TValue&& aValue, std::wstring_view aProperty) {
    if (aField != aValue) {
      aField = std::forward<TValue>(aValue);
      Propagate(aProperty);
    }
  }

  std::wstring FCaption;
  std::wstring FHint;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  int FImageIndex = -1;
  std::vector<TComponent*> FClients;
};

// A menu entry; a caption of "-" makes a separator. Sub-items are listed, not owned: like every
// component they belong to the window; a sub-item that is freed leaves its parent.
class TMenuItem : public TComponent, public IActionClient {
public:
  explicit TMenuItem(TComponent* aOwner);
  ~TMenuItem() override;
  std::wstring ClassName() const override { return L"TMenuItem"; }

  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& aValue);
  const std::wstring& Hint() const { return FHint; }
  void SetHint(const std::wstring& aValue);
  bool Checked() const { return FChecked; }
  void SetChecked(bool aValue);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool aValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool aValue);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int aValue);
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool aValue) { FRadioItem = aValue; }
  bool IsLine() const { return FCaption == L"-"; }

  TAction* Action() const { return FAction; }
  // Takes the action's state now and whenever it changes.
  void SetAction(TAction* aAction);
  bool HasAction() const override { return FAction != nullptr; }
  void ActionChanged(const TAction& aAction) override;

  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int aIndex) const { return FItems.at(aIndex); }
  TMenuItem* Parent() const { return FParent; }
  void Add(TMenuItem* aItem);
  void Insert(int aIndex, TMenuItem* aItem);
  void Remove(TMenuItem* aItem);
  // Frees every sub-item.
  void Clear();
  int IndexOf(const TMenuItem* aItem) const;

  // What choosing the entry does: OnClick when assigned, else the action.
  void Click();
  TNotifyEvent OnClick;

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override;

private:
  std::wstring FCaption;
  std::wstring FHint;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  bool FRadioItem = false;
  int FImageIndex = -1;
  TAction* FAction = nullptr;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
};

class TPopupMenu : public TComponent {
public:
  explicit TPopupMenu(TComponent* aOwner);
  ~TPopupMenu() override;
  std::wstring ClassName() const override { return L"TPopupMenu"; }

  // The root entry; its sub-items are the menu.
  TMenuItem& Items() { return *FItems; }
  // Fires OnPopup; the binding then shows the menu at the screen position.
  void Popup(int aX, int aY);
  int PopupX() const { return FPopupX; }
  int PopupY() const { return FPopupY; }
  TNotifyEvent OnPopup;

private:
  TMenuItem* FItems;
  int FPopupX = 0;
  int FPopupY = 0;
};

// A main-thread timer (on the dispatcher of CLMainThread.h, which must be installed before the
// first timer is made), ticking while enabled with a non-zero interval. Like the window system's
// timers it starts enabled, every 1000 ms.
class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* aOwner);
  ~TTimer() override;
  std::wstring ClassName() const override { return L"TTimer"; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool aValue);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t aValue);
  TNotifyEvent OnTimer;

private:
  void UpdateTimer();

  bool FEnabled = true;
  uint32_t FInterval = 1000;
  TCLTimerHandle FHandle = 0;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = uint32_t;
namespace ss {
constexpr TShiftState Shift = 0x1;
constexpr TShiftState Alt = 0x2;
constexpr TShiftState Ctrl = 0x4;
} // namespace ss
using TMouseEvent =
    std::function<void(TObject& Sender, TMouseButton aButton, TShiftState aShift, int aX, int aY)>;
using TMouseMoveEvent = std::function<void(TObject& Sender, TShiftState aShift, int aX, int aY)>;
// The mouse pointer's shape over a control.
enum class TCursor { crDefault, crHandPoint };

// The icon in the notification area.
class TTrayIcon : public TComponent {
public:
  explicit TTrayIcon(TComponent* aOwner);
  ~TTrayIcon() override;
  std::wstring ClassName() const override { return L"TTrayIcon"; }

  const std::wstring& Hint() const { return FHint; }
  void SetHint(const std::wstring& aValue);
  bool Visible() const { return FVisible; }
  void SetVisible(bool aValue);
  // The icon file shown; empty for the program's own icon.
  const std::wstring& IconFile() const { return FIconFile; }
  // False, keeping the icon, when the file does not exist.
  bool LoadIcon(const std::wstring& aFileName);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* aMenu);

  void Click();
  void DblClick();
  // A right-button release opens the pop-up menu at the position.
  void MouseUp(TMouseButton aButton, TShiftState aShift, int aX, int aY);
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseUp;

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override;

private:
  std::wstring FHint;
  bool FVisible = false;
  std::wstring FIconFile;
  TPopupMenu* FPopupMenu = nullptr;
};

// The pixel size from a PNG file's header; false when the file is missing, unreadable or no PNG.
bool ReadPngSize(const std::wstring& aFileName, uint32_t& aWidth, uint32_t& aHeight);

// Pictures of one size, loaded from a PNG strip; the binding decodes the pictures, the list
// knows their size and number.
class TImageList : public TComponent {
public:
  explicit TImageList(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TImageList"; }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetSize(int aWidth, int aHeight);
  int Count() const { return FCount; }
  const std::wstring& FileName() const { return FFileName; }
  // Reads the picture size from the file's PNG header; the list holds as many pictures as fit.
  // False, leaving the list empty, when the file is missing, unreadable, not a PNG or smaller
  // than one picture.
  bool LoadFromFile(const std::wstring& aFileName);
  void Clear();

private:
  int FWidth = 16;
  int FHeight = 16;
  int FCount = 0;
  std::wstring FFileName;
};
