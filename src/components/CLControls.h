#pragma once
// The controls of the windows, as far as their logical state goes: forms, labels and links,
// buttons, check boxes and radio buttons, edits and spin edits, combo boxes and check lists,
// panels, progress bars, page controls and tab sheets. List and tree views are in
// CLListControls.h, the components without a window in CLNonVisual.h.
//
// A setter changes the state and tells the binding; events fire as the window system would fire
// them: a check box's or radio button's OnClick also when code changes its check mark, an edit's
// OnChange on every change of its text, a combo box's OnChange and a page control's OnChange only
// for the user's choice (the simulation calls SelectByUser).

#include "components/CLNonVisual.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using TModalResult = int32_t;
namespace mr {
constexpr TModalResult None = 0;
constexpr TModalResult OK = 1;
constexpr TModalResult Cancel = 2;
constexpr TModalResult Abort = 3;
constexpr TModalResult Retry = 4;
constexpr TModalResult Ignore = 5;
constexpr TModalResult Yes = 6;
constexpr TModalResult No = 7;
} // namespace mr

class TWinControl;
class TForm;

class TControl : public TComponent, public IActionClient {
public:
  friend class TWinControl;
  explicit TControl(TComponent* aOwner);
  ~TControl() override;
  std::wstring ClassName() const override { return L"TControl"; }

  TWinControl* Parent() const { return FParent; }
  void SetParent(TWinControl* aParent);
  // The form the control sits on (through its parents, else its owners), or nullptr.
  TForm* ParentForm() const;

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int aValue) { SetBounds(aValue, FTop, FWidth, FHeight); }
  void SetTop(int aValue) { SetBounds(FLeft, aValue, FWidth, FHeight); }
  void SetWidth(int aValue) { SetBounds(FLeft, FTop, aValue, FHeight); }
  void SetHeight(int aValue) { SetBounds(FLeft, FTop, FWidth, aValue); }
  void SetBounds(int aLeft, int aTop, int aWidth, int aHeight);

  bool Visible() const { return FVisible; }
  void SetVisible(bool aValue);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool aValue);
  const std::wstring& Caption() const { return FCaption; }
  void SetCaption(const std::wstring& aValue);
  const std::wstring& Hint() const { return FHint; }
  void SetHint(const std::wstring& aValue);
  TColor Color() const { return FColor; }
  void SetColor(TColor aValue);
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor aValue);
  // The pointer's shape while it is over the control; changed at once when it is there now.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor aValue);
  // Asks the binding to paint the control again.
  void Invalidate() { Changed(L"Invalidate"); }

  TAction* Action() const { return FAction; }
  // Takes the action's caption, hint, enabled and visible state now and whenever they change.
  void SetAction(TAction* aAction);
  bool HasAction() const override { return FAction != nullptr; }
  void ActionChanged(const TAction& aAction) override;
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* aMenu);

  // What the user's click does: the action when there is one, else OnClick. Nothing while the
  // control is disabled.
  virtual void Click();
  void DblClick();
  void MouseDown(TMouseButton aButton, TShiftState aShift, int aX, int aY);
  void MouseUp(TMouseButton aButton, TShiftState aShift, int aX, int aY);
  // The pointer moved over the control (also while it is disabled, as the window system does).
  void MouseMove(TShiftState aShift, int aX, int aY);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override;
  // Publishes Caption for the controls that show one.
  void PublishCaption();
  void PublishColors();
  // OnClick, without the action.
  void DoClick();

  std::wstring FCaption;
  TColor FColor = clBtnFace;
  TColor FFontColor = clBlack;

private:
  TWinControl* FParent = nullptr;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  std::wstring FHint;
  TCursor FCursor = TCursor::crDefault;
  TAction* FAction = nullptr;
  TPopupMenu* FPopupMenu = nullptr;
};

// A control that holds other controls.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* aOwner) : TControl(aOwner) {}
  ~TWinControl() override;
  std::wstring ClassName() const override { return L"TWinControl"; }

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int aIndex) const { return FControls.at(aIndex); }

private:
  friend class TControl;
  std::vector<TControl*> FControls;
};

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
// A top-level window's frame: sizeable with a maximise box, or fixed (it can still be minimised).
// The window takes it when it is made.
enum class TFormBorderStyle { bsSizeable, bsSingle };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// A window message as a form's message handler sees it. The binding decodes WM_COPYDATA into
// CopyData, so that handlers never follow a pointer out of another process's message.
struct TWindowMessage {
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
  bool HasCopyData = false;
  uintptr_t CopyDataId = 0;
  std::vector<uint8_t> CopyData;
};
// Returns true when it handled the message (Result is then the reply).
using TWndMethod = std::function<bool(TWindowMessage& aMessage)>;

// The window system's side of a form, set by the binding when it makes the window.
class IFormHost {
public:
  virtual ~IFormHost() = default;
  // The window's handle (an HWND), 0 while there is no window.
  virtual uintptr_t Handle() const = 0;
  // Queues the message for the window; it reaches the form's WindowProc from the message loop.
  virtual bool PostMessage(uint32_t aMsg, uintptr_t aWParam, intptr_t aLParam) = 0;
  // Turns a point in aControl's client area into a screen position (pop-up menus open there);
  // false when the control has no window.
  virtual bool ClientToScreen(const TControl& aControl, int& aX, int& aY) const {
    (void)aControl, (void)aX, (void)aY;
    return false;
  }
  // The caption animation from the window's rectangle to the screen's bottom-right corner, where
  // the notification area is; shown before the window hides there.
  virtual void AnimateToTray() {}
};

class TForm : public TWinControl {
public:
  // aClassName is the window's class name, which names its language section ("TfrmMain").
  explicit TForm(TComponent* aOwner, std::wstring aClassName = L"TForm");
  ~TForm() override;
  std::wstring ClassName() const override { return FClassName; }

  // Passes the load step to every owned component, in creation order, once.
  void Loaded() override;

  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult aValue) { FModalResult = aValue; }
  bool StayOnTop() const { return FStayOnTop; }
  void SetStayOnTop(bool aValue);
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState aValue);
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle aValue);
  bool Modal() const { return FModal; }

  // Shows the window (OnShow fires when it becomes visible); Hide fires OnHide.
  void ShowForm();
  void HideForm();
  // OnClose decides (default: hide); caNone keeps the window open.
  void Close();
  // Shows the window modally and returns how it was closed. The modal loop belongs to whoever
  // installed the modal handler (the binding, or a test acting as the user); without one the
  // result is the ModalResult set so far, else mr::Cancel.
  TModalResult ShowModal();

  using TModalHandler = std::function<TModalResult(TForm& aForm)>;
  // Returns the previous handler.
  static TModalHandler SetModalHandler(TModalHandler aHandler);
  // How many modal windows of the program are open now: forms in ShowModal and message boxes
  // (TModalWindowScope). A modal loop serves every timer of the program, so work that must not
  // run under an open dialog asks this first.
  static int ModalCount();

  // Makes the window for a form that has none (installed by the window-system binding; without
  // one, forms stay headless). Returns the previous binder.
  using TFormBinder = std::function<void(TForm& aForm)>;
  static TFormBinder SetFormBinder(TFormBinder aBinder);
  // Asks the binder for the window now, unless there is one; ShowForm does it too.
  void HandleNeeded();
  IFormHost* Host() const { return FHost; }
  void SetHost(IFormHost* aHost) { FHost = aHost; }
  // The window's handle, made on demand; 0 without a window system.
  uintptr_t Handle();

  // The message handler chain: the binding hands every message of the window to WindowProc
  // first; whoever replaces it keeps the previous one and passes on what it does not handle.
  const TWndMethod& WindowProc() const { return FWindowProc; }
  void SetWindowProc(TWndMethod aProc) { FWindowProc = std::move(aProc); }
  // Runs the message through WindowProc; false when nobody handled it.
  bool Perform(TWindowMessage& aMessage);
  // Queues a message for the form: through the window when there is one, else on the
  // main-thread dispatcher. A form freed before the message arrives never sees it.
  bool PostMessage(uint32_t aMsg, uintptr_t aWParam = 0, intptr_t aLParam = 0);

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  std::function<void(TObject& Sender, TCloseAction& aAction)> OnClose;
  // A key (its virtual-key code) released anywhere in the window.
  std::function<void(TObject& Sender, uint16_t aKey)> OnKeyUp;

private:
  std::wstring FClassName;
  IFormHost* FHost = nullptr;
  TWndMethod FWindowProc;
  // Shared with messages queued on the dispatcher, which check it before they run.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  TModalResult FModalResult = mr::None;
  bool FStayOnTop = false;
  bool FModal = false;
  TWindowState FWindowState = TWindowState::wsNormal;
  TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
};

// Counts a modal window of the program for as long as it lives (TForm::ModalCount).
class TModalWindowScope {
public:
  TModalWindowScope();
  ~TModalWindowScope();
  TModalWindowScope(const TModalWindowScope&) = delete;
  TModalWindowScope& operator=(const TModalWindowScope&) = delete;
};

class TLabel : public TControl {
public:
  explicit TLabel(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TLabel"; }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool aValue);

private:
  bool FWordWrap = false;
};

class TLinkLabel : public TLabel {
public:
  explicit TLinkLabel(TComponent* aOwner) : TLabel(aOwner) {}
  std::wstring ClassName() const override { return L"TLinkLabel"; }
};

class TButton : public TWinControl {
public:
  explicit TButton(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TButton"; }
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult aValue) { FModalResult = aValue; }
  // Then, with a modal result, closes the modal window with it.
  void Click() override;
  // A button that keeps a pressed state of its own (a page button of a bar) is drawn pushed in
  // while Down; a plain push button is pressed only while the user holds it.
  virtual bool KeepsState() const { return false; }
  virtual bool Down() const { return false; }

private:
  TModalResult FModalResult = mr::None;
};

class TCheckBox : public TWinControl {
public:
  explicit TCheckBox(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TCheckBox"; }
  bool Checked() const { return FChecked; }
  // A change fires OnClick.
  void SetChecked(bool aValue);
  // The user's click toggles the mark.
  void Click() override;

private:
  bool FChecked = false;
};

// Checking one unchecks the other radio buttons of the same parent.
class TRadioButton : public TWinControl {
public:
  explicit TRadioButton(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TRadioButton"; }
  bool Checked() const { return FChecked; }
  // Becoming checked fires OnClick.
  void SetChecked(bool aValue);
  void Click() override;

private:
  bool FChecked = false;
};

class TEdit : public TWinControl {
public:
  explicit TEdit(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TEdit"; }
  const std::wstring& Text() const { return FText; }
  // A change fires OnChange.
  void SetText(const std::wstring& aValue);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool aValue) { FReadOnly = aValue; }
  TNotifyEvent OnChange;

protected:
  std::wstring FText;

private:
  bool FReadOnly = false;
};

// An edit for a number between MinValue and MaxValue (no limit while they are equal).
class TSpinEdit : public TEdit {
public:
  explicit TSpinEdit(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TSpinEdit"; }
  double MinValue() const { return FMinValue; }
  double MaxValue() const { return FMaxValue; }
  void SetRange(double aMin, double aMax);
  // The text as a number within the range (the minimum for a text that is no number).
  double Value() const;
  void SetValue(double aValue);
  // The arrows.
  void StepUp() { SetValue(Value() + FIncrement); }
  void StepDown() { SetValue(Value() - FIncrement); }

private:
  double Clamp(double aValue) const;
  double FMinValue = 0;
  double FMaxValue = 0;
  double FIncrement = 1;
  int FDecimal = 0;
};

enum class TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TWinControl {
public:
  explicit TComboBox(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TComboBox"; }
  TStrings& Items() { return FItems; }
  const TStrings& Items() const { return FItems; }
  // -1 for none; out of range gives -1. Keeps its value when the items are replaced and it
  // still points at one.
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int aValue);
  // The chosen item's text (with csDropDown, the edited text when none is chosen).
  std::wstring Text() const;
  void SetText(const std::wstring& aValue);
  TComboBoxStyle Style() const { return FStyle; }
  // The user's choice: fires OnChange.
  void SelectByUser(int aIndex);
  TNotifyEvent OnChange;

private:
  TStrings FItems;
  int FItemIndex = -1;
  std::wstring FText;
  TComboBoxStyle FStyle = TComboBoxStyle::csDropDownList;
};

// A list whose lines carry check marks (TStrings::Checked) and objects.
class TCheckListBox : public TWinControl {
public:
  explicit TCheckListBox(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TCheckListBox"; }
  TStrings& Items() { return FItems; }
  const TStrings& Items() const { return FItems; }
  bool Checked(int aIndex) const { return FItems.Checked(aIndex); }
  void SetChecked(int aIndex, bool aValue) { FItems.SetChecked(aIndex, aValue); }
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int aValue);
  // The user ticks or unticks a line: fires OnClickCheck.
  void ToggleByUser(int aIndex);
  TNotifyEvent OnClickCheck;

private:
  TStrings FItems;
  int FItemIndex = -1;
};

class TPanel : public TWinControl {
public:
  explicit TPanel(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TPanel"; }
};

// A picture from a PNG file, drawn by the binding at the control's size.
class TImage : public TControl {
public:
  explicit TImage(TComponent* aOwner) : TControl(aOwner) {}
  std::wstring ClassName() const override { return L"TImage"; }
  const std::wstring& FileName() const { return FFileName; }
  int PictureWidth() const { return FPictureWidth; }
  int PictureHeight() const { return FPictureHeight; }
  // Reads the picture's size from the file; false, leaving the control empty, when the file is
  // missing or no PNG.
  bool LoadFromFile(const std::wstring& aFileName);
  void Clear();

private:
  std::wstring FFileName;
  int FPictureWidth = 0;
  int FPictureHeight = 0;
};

class TProgressBar : public TWinControl {
public:
  explicit TProgressBar(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TProgressBar"; }
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int Position() const { return FPosition; }
  // Max below Min is raised to Min; the position stays within them.
  void SetRange(int aMin, int aMax);
  void SetMin(int aValue) { SetRange(aValue, std::max(aValue, FMax)); }
  void SetMax(int aValue) { SetRange(std::min(FMin, aValue), aValue); }
  void SetPosition(int aValue);

private:
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
};

class TPageControl;

class TTabSheet : public TWinControl {
public:
  explicit TTabSheet(TComponent* aOwner);
  ~TTabSheet() override;
  std::wstring ClassName() const override { return L"TTabSheet"; }
  TPageControl* PageControl() const { return FPageControl; }
  // Appends the sheet to the page control's pages (and makes the control its parent).
  void SetPageControl(TPageControl* aPageControl);
  int PageIndex() const;
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool aValue);

private:
  friend class TPageControl;
  TPageControl* FPageControl = nullptr;
  bool FTabVisible = true;
};

class TPageControl : public TWinControl {
public:
  explicit TPageControl(TComponent* aOwner);
  ~TPageControl() override;
  std::wstring ClassName() const override { return L"TPageControl"; }
  int PageCount() const { return static_cast<int>(FPages.size()); }
  TTabSheet* Pages(int aIndex) const { return FPages.at(aIndex); }
  TTabSheet* ActivePage() const { return FActivePage; }
  // From code: no event.
  void SetActivePage(TTabSheet* aPage);
  int ActivePageIndex() const;
  void SetActivePageIndex(int aIndex);
  // The user's choice of a tab: OnChange fires after the page changed.
  void SelectByUser(int aIndex);
  TNotifyEvent OnChange;

private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* aPage);
  void RemovePage(TTabSheet* aPage);
  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage = nullptr;
};
