#include "components/CLControls.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <utility>

namespace {

TForm::TModalHandler& ModalHandler() {
  static TForm::TModalHandler handler;
  return handler;
}

int& ModalWindows() {
  static int count = 0;
  return count;
}

TForm::TFormBinder& FormBinder() {
  static TForm::TFormBinder binder;
  return binder;
}

std::wstring FormatNumber(double aValue, int aDecimal) {
  wchar_t buffer[64];
  std::swprintf(buffer, std::size(buffer), L"%.*f", std::clamp(aDecimal, 0, 15), aValue);
  return buffer;
}

} // namespace

// --- TControl -----------------------------------------------------------------------------------

TControl::TControl(TComponent* aOwner) : TComponent(aOwner) {
  PublishInt(
      L"Left", [this] { return FLeft; }, [this](int aV) { SetLeft(aV); });
  PublishInt(
      L"Top", [this] { return FTop; }, [this](int aV) { SetTop(aV); });
  PublishInt(
      L"Width", [this] { return FWidth; }, [this](int aV) { SetWidth(aV); });
  PublishInt(
      L"Height", [this] { return FHeight; }, [this](int aV) { SetHeight(aV); });
  PublishBool(
      L"Visible", [this] { return FVisible; }, [this](bool aV) { SetVisible(aV); });
  PublishBool(
      L"Enabled", [this] { return FEnabled; }, [this](bool aV) { SetEnabled(aV); });
  PublishString(
      L"Hint", [this] { return FHint; }, [this](const std::wstring& aV) { SetHint(aV); });
}

TControl::~TControl() {
  if (FParent != nullptr)
    std::erase(FParent->FControls, this);
}

void TControl::SetParent(TWinControl* aParent) {
  if (aParent == FParent || aParent == this)
    return;
  if (FParent != nullptr)
    std::erase(FParent->FControls, this);
  FParent = aParent;
  if (FParent != nullptr)
    FParent->FControls.push_back(this);
  // A control put on a window that already has its real controls gets one too.
  if (Binding() == nullptr && FParent != nullptr && FParent->Binding() != nullptr)
    SetBinding(FParent->Binding());
  Changed(L"Parent");
}

TForm* TControl::ParentForm() const {
  for (const TControl* control = this; control != nullptr; control = control->FParent) {
    if (auto* form = dynamic_cast<TForm*>(const_cast<TControl*>(control)); form && form != this)
      return form;
  }
  for (TComponent* owner = Owner(); owner != nullptr; owner = owner->Owner()) {
    if (auto* form = dynamic_cast<TForm*>(owner))
      return form;
  }
  return nullptr;
}

void TControl::SetBounds(int aLeft, int aTop, int aWidth, int aHeight) {
  aWidth = std::max(aWidth, 0);
  aHeight = std::max(aHeight, 0);
  if (aLeft == FLeft && aTop == FTop && aWidth == FWidth && aHeight == FHeight)
    return;
  FLeft = aLeft;
  FTop = aTop;
  FWidth = aWidth;
  FHeight = aHeight;
  Changed(L"Bounds");
}

void TControl::SetVisible(bool aValue) {
  SetProperty(FVisible, aValue, L"Visible");
}

void TControl::SetEnabled(bool aValue) {
  SetProperty(FEnabled, aValue, L"Enabled");
}

void TControl::SetCaption(const std::wstring& aValue) {
  SetProperty(FCaption, aValue, L"Caption");
}

void TControl::SetHint(const std::wstring& aValue) {
  SetProperty(FHint, aValue, L"Hint");
}

void TControl::SetCursor(TCursor aValue) {
  SetProperty(FCursor, aValue, L"Cursor");
}

void TControl::SetColor(TColor aValue) {
  SetProperty(FColor, aValue, L"Color");
}

void TControl::SetFontColor(TColor aValue) {
  SetProperty(FFontColor, aValue, L"Font.Color");
}

void TControl::SetAction(TAction* aAction) {
  if (!TAction::Relink(*this, FAction, aAction))
    return;
  if (FAction != nullptr)
    ActionChanged(*FAction);
  Changed(L"Action");
}

void TControl::ActionChanged(const TAction& aAction) {
  SetCaption(aAction.Caption());
  SetHint(aAction.Hint());
  SetEnabled(aAction.Enabled());
  SetVisible(aAction.Visible());
}

void TControl::SetPopupMenu(TPopupMenu* aMenu) {
  if (FPopupMenu != nullptr)
    RemoveFreeNotification(FPopupMenu);
  FPopupMenu = aMenu;
  FreeNotification(FPopupMenu);
}

void TControl::Click() {
  if (!FEnabled)
    return;
  if (FAction != nullptr)
    FAction->Execute();
  else
    DoClick();
}

void TControl::DoClick() {
  if (OnClick)
    OnClick(*this);
}

void TControl::DblClick() {
  if (FEnabled && OnDblClick)
    OnDblClick(*this);
}

void TControl::MouseDown(TMouseButton aButton, TShiftState aShift, int aX, int aY) {
  if (FEnabled && OnMouseDown)
    OnMouseDown(*this, aButton, aShift, aX, aY);
}

void TControl::MouseMove(TShiftState aShift, int aX, int aY) {
  if (OnMouseMove)
    OnMouseMove(*this, aShift, aX, aY);
}

void TControl::MouseUp(TMouseButton aButton, TShiftState aShift, int aX, int aY) {
  if (!FEnabled)
    return;
  if (OnMouseUp)
    OnMouseUp(*this, aButton, aShift, aX, aY);
  if (aButton != TMouseButton::mbRight || FPopupMenu == nullptr)
    return;
  // At the screen position when there is a window; headless, the position in the parent.
  auto* form = dynamic_cast<TForm*>(this);
  if (form == nullptr)
    form = ParentForm();
  int x = aX;
  int y = aY;
  if (form == nullptr || form->Host() == nullptr || !form->Host()->ClientToScreen(*this, x, y)) {
    x = FLeft + aX;
    y = FTop + aY;
  }
  FPopupMenu->Popup(x, y);
}

void TControl::Notification(TComponent& aComponent, TOperation aOperation) {
  if (aOperation != TOperation::opRemove)
    return;
  if (&aComponent == FAction)
    FAction = nullptr;
  if (&aComponent == FPopupMenu)
    FPopupMenu = nullptr;
}

void TControl::PublishCaption() {
  PublishString(
      L"Caption", [this] { return FCaption; }, [this](const std::wstring& aV) { SetCaption(aV); },
      L"TCaption");
}

void TControl::PublishColors() {
  PublishColor(
      L"Color", [this] { return FColor; }, [this](TColor aV) { SetColor(aV); });
}

TWinControl::~TWinControl() {
  for (TControl* control : FControls)
    control->FParent = nullptr;
  FControls.clear();
}

// --- TForm --------------------------------------------------------------------------------------

TForm::TForm(TComponent* aOwner, std::wstring aClassName)
    : TWinControl(aOwner), FClassName(std::move(aClassName)) {
  SetVisible(false);
  PublishCaption();
  PublishColors();
}

TForm::~TForm() {
  *FAlive = false;
}

TForm::TFormBinder TForm::SetFormBinder(TFormBinder aBinder) {
  return std::exchange(FormBinder(), std::move(aBinder));
}

void TForm::HandleNeeded() {
  if (!FHost && FormBinder())
    FormBinder()(*this);
}

uintptr_t TForm::Handle() {
  HandleNeeded();
  return FHost ? FHost->Handle() : 0;
}

bool TForm::Perform(TWindowMessage& aMessage) {
  return FWindowProc && FWindowProc(aMessage);
}

bool TForm::PostMessage(uint32_t aMsg, uintptr_t aWParam, intptr_t aLParam) {
  if (FHost && FHost->Handle() != 0)
    return FHost->PostMessage(aMsg, aWParam, aLParam);
  return GetCLMainThread().Post([this, alive = FAlive, aMsg, aWParam, aLParam] {
    if (!*alive)
      return;
    TWindowMessage message;
    message.Msg = aMsg;
    message.WParam = aWParam;
    message.LParam = aLParam;
    Perform(message);
  });
}

void TForm::Loaded() {
  if (IsLoaded())
    return;
  MarkLoaded();
  for (int i = 0; i < ComponentCount(); ++i)
    Components(i)->Loaded();
}

void TForm::SetStayOnTop(bool aValue) {
  SetProperty(FStayOnTop, aValue, L"FormStyle");
}

void TForm::SetWindowState(TWindowState aValue) {
  SetProperty(FWindowState, aValue, L"WindowState");
}

void TForm::SetBorderStyle(TFormBorderStyle aValue) {
  SetProperty(FBorderStyle, aValue, L"BorderStyle");
}

void TForm::ShowForm() {
  if (Visible())
    return;
  HandleNeeded();
  SetVisible(true);
  if (OnShow)
    OnShow(*this);
}

void TForm::HideForm() {
  if (!Visible())
    return;
  SetVisible(false);
  if (OnHide)
    OnHide(*this);
}

void TForm::Close() {
  TCloseAction action = TCloseAction::caHide;
  if (OnClose)
    OnClose(*this, action);
  if (action == TCloseAction::caNone)
    return;
  if (action == TCloseAction::caMinimize)
    SetWindowState(TWindowState::wsMinimized);
  else
    HideForm();
  if (FModal && FModalResult == mr::None)
    FModalResult = mr::Cancel;
}

TModalResult TForm::ShowModal() {
  FModalResult = mr::None;
  FModal = true;
  ShowForm();
  const TModalHandler handler = ModalHandler();
  TModalResult result = mr::None;
  {
    const TModalWindowScope modal;
    result = handler ? handler(*this) : FModalResult;
  }
  if (result == mr::None)
    result = FModalResult != mr::None ? FModalResult : mr::Cancel;
  FModalResult = result;
  FModal = false;
  HideForm();
  return result;
}

TForm::TModalHandler TForm::SetModalHandler(TModalHandler aHandler) {
  return std::exchange(ModalHandler(), std::move(aHandler));
}

int TForm::ModalCount() {
  return ModalWindows();
}

TModalWindowScope::TModalWindowScope() {
  ++ModalWindows();
}

TModalWindowScope::~TModalWindowScope() {
  --ModalWindows();
}

// --- Simple controls ----------------------------------------------------------------------------

bool TImage::LoadFromFile(const std::wstring& aFileName) {
  uint32_t width = 0;
  uint32_t height = 0;
  if (!ReadPngSize(aFileName, width, height) || width > 0x7FFF || height > 0x7FFF) {
    Clear();
    return false;
  }
  FFileName = aFileName;
  FPictureWidth = static_cast<int>(width);
  FPictureHeight = static_cast<int>(height);
  Changed(L"Picture");
  return true;
}

void TImage::Clear() {
  if (FFileName.empty())
    return;
  FFileName.clear();
  FPictureWidth = 0;
  FPictureHeight = 0;
  Changed(L"Picture");
}

TLabel::TLabel(TComponent* aOwner) : TControl(aOwner) {
  PublishCaption();
  PublishColors();
  PublishBool(
      L"WordWrap", [this] { return FWordWrap; }, [this](bool aV) { SetWordWrap(aV); });
}

void TLabel::SetWordWrap(bool aValue) {
  SetProperty(FWordWrap, aValue, L"WordWrap");
}

TButton::TButton(TComponent* aOwner) : TWinControl(aOwner) {
  PublishCaption();
  PublishInt(
      L"ModalResult", [this] { return FModalResult; }, [this](int aV) { FModalResult = aV; },
      L"TModalResult");
}

void TButton::Click() {
  if (!Enabled())
    return;
  TControl::Click();
  if (FModalResult != mr::None) {
    if (TForm* form = ParentForm())
      form->SetModalResult(FModalResult);
  }
}

TCheckBox::TCheckBox(TComponent* aOwner) : TWinControl(aOwner) {
  PublishCaption();
  PublishBool(
      L"Checked", [this] { return FChecked; }, [this](bool aV) { SetChecked(aV); });
}

void TCheckBox::SetChecked(bool aValue) {
  if (FChecked == aValue)
    return;
  FChecked = aValue;
  Changed(L"Checked");
  DoClick();
}

void TCheckBox::Click() {
  if (Enabled())
    SetChecked(!FChecked);
}

TRadioButton::TRadioButton(TComponent* aOwner) : TWinControl(aOwner) {
  PublishCaption();
  PublishBool(
      L"Checked", [this] { return FChecked; }, [this](bool aV) { SetChecked(aV); });
}

void TRadioButton::SetChecked(bool aValue) {
  if (FChecked == aValue)
    return;
  FChecked = aValue;
  Changed(L"Checked");
  if (!aValue)
    return;
  if (TWinControl* parent = Parent()) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
      auto* sibling = dynamic_cast<TRadioButton*>(parent->Controls(i));
      if (sibling != nullptr && sibling != this)
        sibling->SetChecked(false);
    }
  }
  DoClick();
}

void TRadioButton::Click() {
  if (Enabled())
    SetChecked(true);
}

TEdit::TEdit(TComponent* aOwner) : TWinControl(aOwner) {
  FColor = clWindow;
  PublishString(
      L"Text", [this] { return FText; }, [this](const std::wstring& aV) { SetText(aV); },
      L"TCaption");
  PublishColors();
}

void TEdit::SetText(const std::wstring& aValue) {
  if (FText == aValue)
    return;
  FText = aValue;
  Changed(L"Text");
  if (OnChange)
    OnChange(*this);
}

TSpinEdit::TSpinEdit(TComponent* aOwner) : TEdit(aOwner) {
  FText = L"0";
  const auto number = [](std::function<double()> aGet, std::function<void(double)> aSet) {
    return std::pair{[aGet] { return std::to_wstring(aGet()); },
                     [aSet](const std::wstring& aText) {
                       wchar_t* end = nullptr;
                       const double value = std::wcstod(aText.c_str(), &end);
                       if (end != aText.c_str() && *end == L'\0' && std::isfinite(value))
                         aSet(value);
                     }};
  };
  auto [getMin, setMin] = number([this] { return FMinValue; },
                                 [this](double aV) { SetRange(aV, std::max(aV, FMaxValue)); });
  Publish({L"MinValue", TPropKind::Other, L"Double", getMin, setMin, nullptr});
  auto [getMax, setMax] = number([this] { return FMaxValue; },
                                 [this](double aV) { SetRange(std::min(FMinValue, aV), aV); });
  Publish({L"MaxValue", TPropKind::Other, L"Double", getMax, setMax, nullptr});
  auto [getValue, setValue] =
      number([this] { return Value(); }, [this](double aV) { SetValue(aV); });
  Publish({L"Value", TPropKind::Other, L"Double", getValue, setValue, nullptr});
}

void TSpinEdit::SetRange(double aMin, double aMax) {
  FMinValue = aMin;
  FMaxValue = std::max(aMin, aMax);
}

double TSpinEdit::Clamp(double aValue) const {
  if (FMaxValue > FMinValue)
    return std::clamp(aValue, FMinValue, FMaxValue);
  return aValue;
}

double TSpinEdit::Value() const {
  wchar_t* end = nullptr;
  const double value = std::wcstod(FText.c_str(), &end);
  if (end == FText.c_str() || !std::isfinite(value))
    return FMinValue;
  return Clamp(value);
}

void TSpinEdit::SetValue(double aValue) {
  SetText(FormatNumber(Clamp(aValue), FDecimal));
}

TComboBox::TComboBox(TComponent* aOwner) : TWinControl(aOwner) {
  FColor = clWindow;
  FItems.OnChange = [this] {
    if (FItemIndex >= FItems.Count())
      FItemIndex = -1;
    Changed(L"Items");
  };
  PublishStrings(L"Items", FItems);
  PublishInt(
      L"ItemIndex", [this] { return FItemIndex; }, [this](int aV) { SetItemIndex(aV); });
  PublishString(
      L"Text", [this] { return Text(); }, [this](const std::wstring& aV) { SetText(aV); },
      L"TCaption");
}

void TComboBox::SetItemIndex(int aValue) {
  if (aValue < -1 || aValue >= FItems.Count())
    aValue = -1;
  if (FItemIndex != aValue) {
    FItemIndex = aValue;
    Changed(L"ItemIndex");
  }
}

std::wstring TComboBox::Text() const {
  if (FItemIndex >= 0)
    return FItems.Strings(FItemIndex);
  return FStyle == TComboBoxStyle::csDropDown ? FText : std::wstring();
}

void TComboBox::SetText(const std::wstring& aValue) {
  const int index = FItems.IndexOf(aValue);
  if (FStyle == TComboBoxStyle::csDropDownList) {
    SetItemIndex(index);
    return;
  }
  FText = aValue;
  SetItemIndex(index);
  Changed(L"Text");
}

void TComboBox::SelectByUser(int aIndex) {
  if (!Enabled() || aIndex < 0 || aIndex >= FItems.Count())
    return;
  SetItemIndex(aIndex);
  if (OnChange)
    OnChange(*this);
}

TCheckListBox::TCheckListBox(TComponent* aOwner) : TWinControl(aOwner) {
  FColor = clWindow;
  FItems.OnChange = [this] {
    if (FItemIndex >= FItems.Count())
      FItemIndex = -1;
    Changed(L"Items");
  };
  PublishStrings(L"Items", FItems);
}

void TCheckListBox::SetItemIndex(int aValue) {
  if (aValue < -1 || aValue >= FItems.Count())
    aValue = -1;
  if (FItemIndex != aValue) {
    FItemIndex = aValue;
    Changed(L"ItemIndex");
  }
}

void TCheckListBox::ToggleByUser(int aIndex) {
  if (!Enabled() || aIndex < 0 || aIndex >= FItems.Count())
    return;
  FItems.SetChecked(aIndex, !FItems.Checked(aIndex));
  if (OnClickCheck)
    OnClickCheck(*this);
}

TPanel::TPanel(TComponent* aOwner) : TWinControl(aOwner) {
  PublishCaption();
  PublishColors();
}

TProgressBar::TProgressBar(TComponent* aOwner) : TWinControl(aOwner) {
  PublishInt(
      L"Min", [this] { return FMin; }, [this](int aV) { SetMin(aV); });
  PublishInt(
      L"Max", [this] { return FMax; }, [this](int aV) { SetMax(aV); });
  PublishInt(
      L"Position", [this] { return FPosition; }, [this](int aV) { SetPosition(aV); });
}

void TProgressBar::SetRange(int aMin, int aMax) {
  aMax = std::max(aMin, aMax);
  // A run sets its range with every step; the window hears only a new one.
  if (FMin == aMin && FMax == aMax)
    return;
  FMin = aMin;
  FMax = aMax;
  FPosition = std::clamp(FPosition, FMin, FMax);
  Changed(L"Range");
}

void TProgressBar::SetPosition(int aValue) {
  aValue = std::clamp(aValue, FMin, FMax);
  if (FPosition != aValue) {
    FPosition = aValue;
    Changed(L"Position");
  }
}

// --- Pages --------------------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* aOwner) : TWinControl(aOwner) {
  PublishCaption();
  PublishBool(
      L"TabVisible", [this] { return FTabVisible; }, [this](bool aV) { SetTabVisible(aV); });
}

TTabSheet::~TTabSheet() {
  if (FPageControl != nullptr)
    FPageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* aPageControl) {
  if (FPageControl == aPageControl)
    return;
  if (FPageControl != nullptr)
    FPageControl->RemovePage(this);
  if (aPageControl != nullptr)
    aPageControl->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (FPageControl == nullptr)
    return -1;
  const auto& pages = FPageControl->FPages;
  return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetTabVisible(bool aValue) {
  SetProperty(FTabVisible, aValue, L"TabVisible");
}

TPageControl::TPageControl(TComponent* aOwner) : TWinControl(aOwner) {
  PublishInt(
      L"ActivePageIndex", [this] { return ActivePageIndex(); },
      [this](int aV) { SetActivePageIndex(aV); });
}

TPageControl::~TPageControl() {
  for (TTabSheet* page : FPages)
    page->FPageControl = nullptr;
  FPages.clear();
}

void TPageControl::InsertPage(TTabSheet* aPage) {
  FPages.push_back(aPage);
  aPage->FPageControl = this;
  aPage->SetParent(this);
  if (FActivePage == nullptr)
    FActivePage = aPage;
  Changed(L"Pages");
}

void TPageControl::RemovePage(TTabSheet* aPage) {
  std::erase(FPages, aPage);
  aPage->FPageControl = nullptr;
  if (FActivePage == aPage)
    FActivePage = FPages.empty() ? nullptr : FPages.front();
  Changed(L"Pages");
}

void TPageControl::SetActivePage(TTabSheet* aPage) {
  if (aPage != nullptr && aPage->FPageControl != this)
    return;
  if (FActivePage != aPage) {
    FActivePage = aPage;
    Changed(L"ActivePage");
  }
}

int TPageControl::ActivePageIndex() const {
  return FActivePage != nullptr ? FActivePage->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int aIndex) {
  SetActivePage(aIndex >= 0 && aIndex < PageCount() ? FPages[aIndex] : nullptr);
}

void TPageControl::SelectByUser(int aIndex) {
  if (!Enabled() || aIndex < 0 || aIndex >= PageCount() || FPages[aIndex] == FActivePage)
    return;
  SetActivePage(FPages[aIndex]);
  if (OnChange)
    OnChange(*this);
}
