#include "components/CLNonVisual.h"

#include "platform/FileIO.h"
#include "platform/Platform.h"

#include <algorithm>

// --- TAction ------------------------------------------------------------------------------------

TAction::TAction(TComponent* aOwner) : TComponent(aOwner) {
  PublishString(
      L"Caption", [this] { return FCaption; }, [this](const std::wstring& aV) { SetCaption(aV); },
      L"TCaption");
  PublishString(
      L"Hint", [this] { return FHint; }, [this](const std::wstring& aV) { SetHint(aV); });
  PublishBool(
      L"Checked", [this] { return FChecked; }, [this](bool aV) { SetChecked(aV); });
  PublishBool(
      L"Enabled", [this] { return FEnabled; }, [this](bool aV) { SetEnabled(aV); });
  PublishBool(
      L"Visible", [this] { return FVisible; }, [this](bool aV) { SetVisible(aV); });
  PublishInt(
      L"ImageIndex", [this] { return FImageIndex; }, [this](int aV) { SetImageIndex(aV); });
}

void TAction::SetCaption(const std::wstring& aValue) {
  SetState(FCaption, aValue, L"Caption");
}

void TAction::SetHint(const std::wstring& aValue) {
  SetState(FHint, aValue, L"Hint");
}

void TAction::SetChecked(bool aValue) {
  SetState(FChecked, aValue, L"Checked");
}

void TAction::SetEnabled(bool aValue) {
  SetState(FEnabled, aValue, L"Enabled");
}

void TAction::SetVisible(bool aValue) {
  SetState(FVisible, aValue, L"Visible");
}

void TAction::SetImageIndex(int aValue) {
  SetState(FImageIndex, aValue, L"ImageIndex");
}

bool TAction::Execute() {
  if (!FEnabled || !OnExecute)
    return false;
  OnExecute(*this);
  return true;
}

void TAction::AddClient(TComponent* aClient) {
  if (std::find(FClients.begin(), FClients.end(), aClient) == FClients.end())
    FClients.push_back(aClient);
}

void TAction::RemoveClient(TComponent* aClient) {
  std::erase(FClients, aClient);
}

bool TAction::Relink(TComponent& aClient, TAction*& aField, TAction* aAction) {
  if (aField == aAction)
    return false;
  if (aField != nullptr) {
    aField->RemoveClient(&aClient);
    aClient.RemoveFreeNotification(aField);
  }
  aField = aAction;
  if (aField != nullptr) {
    aClient.FreeNotification(aField);
    aField->AddClient(&aClient);
  }
  return true;
}

void TAction::Notification(TComponent& aComponent, TOperation aOperation) {
  if (aOperation == TOperation::opRemove)
    RemoveClient(&aComponent);
}

void TAction::Propagate(std::wstring_view aProperty) {
  Changed(aProperty);
  const std::vector<TComponent*> clients = FClients;
  for (TComponent* client : clients) {
    if (auto* actionClient = dynamic_cast<IActionClient*>(client))
      actionClient->ActionChanged(*this);
  }
}

// --- TMenuItem ----------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* aOwner) : TComponent(aOwner) {
  PublishString(
      L"Caption", [this] { return FCaption; }, [this](const std::wstring& aV) { SetCaption(aV); },
      L"TCaption");
  PublishString(
      L"Hint", [this] { return FHint; }, [this](const std::wstring& aV) { SetHint(aV); });
  PublishBool(
      L"Checked", [this] { return FChecked; }, [this](bool aV) { SetChecked(aV); });
  PublishBool(
      L"Enabled", [this] { return FEnabled; }, [this](bool aV) { SetEnabled(aV); });
  PublishBool(
      L"Visible", [this] { return FVisible; }, [this](bool aV) { SetVisible(aV); });
  PublishInt(
      L"ImageIndex", [this] { return FImageIndex; }, [this](int aV) { SetImageIndex(aV); });
}

TMenuItem::~TMenuItem() {
  for (TMenuItem* item : FItems)
    item->FParent = nullptr;
  FItems.clear();
  if (FParent != nullptr)
    FParent->Remove(this);
}

void TMenuItem::SetCaption(const std::wstring& aValue) {
  SetProperty(FCaption, aValue, L"Caption");
}

void TMenuItem::SetHint(const std::wstring& aValue) {
  SetProperty(FHint, aValue, L"Hint");
}

void TMenuItem::SetChecked(bool aValue) {
  if (FChecked == aValue)
    return;
  FChecked = aValue;
  if (aValue && FRadioItem && FParent != nullptr) {
    for (TMenuItem* sibling : FParent->FItems) {
      if (sibling != this && sibling->FRadioItem)
        sibling->SetChecked(false);
    }
  }
  Changed(L"Checked");
}

void TMenuItem::SetEnabled(bool aValue) {
  SetProperty(FEnabled, aValue, L"Enabled");
}

void TMenuItem::SetVisible(bool aValue) {
  SetProperty(FVisible, aValue, L"Visible");
}

void TMenuItem::SetImageIndex(int aValue) {
  SetProperty(FImageIndex, aValue, L"ImageIndex");
}

void TMenuItem::SetAction(TAction* aAction) {
  if (!TAction::Relink(*this, FAction, aAction))
    return;
  if (FAction != nullptr)
    ActionChanged(*FAction);
  Changed(L"Action");
}

void TMenuItem::ActionChanged(const TAction& aAction) {
  SetCaption(aAction.Caption());
  SetHint(aAction.Hint());
  SetChecked(aAction.Checked());
  SetEnabled(aAction.Enabled());
  SetVisible(aAction.Visible());
  SetImageIndex(aAction.ImageIndex());
}

void TMenuItem::Add(TMenuItem* aItem) {
  Insert(Count(), aItem);
}

void TMenuItem::Insert(int aIndex, TMenuItem* aItem) {
  if (aItem == nullptr || aItem == this || aIndex < 0 || aIndex > Count())
    return;
  if (aItem->FParent != nullptr)
    aItem->FParent->Remove(aItem);
  aIndex = std::min(aIndex, Count());
  FItems.insert(FItems.begin() + aIndex, aItem);
  aItem->FParent = this;
  Changed(L"Items");
}

void TMenuItem::Remove(TMenuItem* aItem) {
  const int index = IndexOf(aItem);
  if (index < 0)
    return;
  FItems.erase(FItems.begin() + index);
  aItem->FParent = nullptr;
  Changed(L"Items");
}

void TMenuItem::Clear() {
  while (!FItems.empty())
    delete FItems.back();
}

int TMenuItem::IndexOf(const TMenuItem* aItem) const {
  const auto it = std::find(FItems.begin(), FItems.end(), aItem);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TMenuItem::Click() {
  if (!FEnabled)
    return;
  if (OnClick)
    OnClick(*this);
  else if (FAction != nullptr)
    FAction->Execute();
}

void TMenuItem::Notification(TComponent& aComponent, TOperation aOperation) {
  if (aOperation == TOperation::opRemove && &aComponent == FAction)
    FAction = nullptr;
}

// --- TPopupMenu ---------------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* aOwner) : TComponent(aOwner), FItems(new TMenuItem(nullptr)) {}

TPopupMenu::~TPopupMenu() {
  delete FItems;
}

void TPopupMenu::Popup(int aX, int aY) {
  FPopupX = aX;
  FPopupY = aY;
  if (OnPopup)
    OnPopup(*this);
  Changed(L"Popup");
}

// --- TTimer -------------------------------------------------------------------------------------

TTimer::TTimer(TComponent* aOwner) : TComponent(aOwner) {
  PublishBool(
      L"Enabled", [this] { return FEnabled; }, [this](bool aV) { SetEnabled(aV); });
  PublishInt(
      L"Interval", [this] { return static_cast<int>(FInterval); },
      [this](int aV) { SetInterval(static_cast<uint32_t>(std::max(aV, 0))); }, L"Cardinal");
  UpdateTimer();
}

TTimer::~TTimer() {
  if (FHandle != 0)
    GetCLMainThread().DestroyTimer(FHandle);
}

void TTimer::SetEnabled(bool aValue) {
  if (FEnabled != aValue) {
    FEnabled = aValue;
    UpdateTimer();
  }
}

void TTimer::SetInterval(uint32_t aValue) {
  if (FInterval != aValue) {
    FInterval = aValue;
    UpdateTimer();
  }
}

void TTimer::UpdateTimer() {
  const bool wanted = FEnabled && FInterval > 0;
  if (FHandle == 0 && wanted) {
    FHandle = GetCLMainThread().CreateTimer(
        FInterval,
        [this] {
          if (OnTimer)
            OnTimer(*this);
        },
        true);
  } else if (FHandle != 0) {
    GetCLMainThread().SetTimerInterval(FHandle, FInterval);
    GetCLMainThread().SetTimerEnabled(FHandle, wanted);
  }
}

// --- TTrayIcon ----------------------------------------------------------------------------------

TTrayIcon::TTrayIcon(TComponent* aOwner) : TComponent(aOwner) {
  PublishString(
      L"Hint", [this] { return FHint; }, [this](const std::wstring& aV) { SetHint(aV); });
  PublishBool(
      L"Visible", [this] { return FVisible; }, [this](bool aV) { SetVisible(aV); });
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::SetHint(const std::wstring& aValue) {
  SetProperty(FHint, aValue, L"Hint");
}

void TTrayIcon::SetVisible(bool aValue) {
  SetProperty(FVisible, aValue, L"Visible");
}

bool TTrayIcon::LoadIcon(const std::wstring& aFileName) {
  if (!kplat::FileExists(aFileName))
    return false;
  FIconFile = aFileName;
  Changed(L"Icon");
  return true;
}

void TTrayIcon::SetPopupMenu(TPopupMenu* aMenu) {
  if (FPopupMenu != nullptr)
    RemoveFreeNotification(FPopupMenu);
  FPopupMenu = aMenu;
  FreeNotification(FPopupMenu);
}

void TTrayIcon::Click() {
  if (OnClick)
    OnClick(*this);
}

void TTrayIcon::DblClick() {
  if (OnDblClick)
    OnDblClick(*this);
}

void TTrayIcon::MouseUp(TMouseButton aButton, TShiftState aShift, int aX, int aY) {
  if (OnMouseUp)
    OnMouseUp(*this, aButton, aShift, aX, aY);
  if (aButton == TMouseButton::mbRight && FPopupMenu != nullptr)
    FPopupMenu->Popup(aX, aY);
}

void TTrayIcon::Notification(TComponent& aComponent, TOperation aOperation) {
  if (aOperation == TOperation::opRemove && &aComponent == FPopupMenu)
    FPopupMenu = nullptr;
}

// --- TImageList ---------------------------------------------------------------------------------

namespace {

uint32_t BigEndian32(const std::vector<uint8_t>& aData, size_t aAt) {
  return (uint32_t{aData[aAt]} << 24) | (uint32_t{aData[aAt + 1]} << 16) |
         (uint32_t{aData[aAt + 2]} << 8) | uint32_t{aData[aAt + 3]};
}

} // namespace

TImageList::TImageList(TComponent* aOwner) : TComponent(aOwner) {
  PublishInt(
      L"Width", [this] { return FWidth; }, [this](int aV) { SetSize(aV, FHeight); });
  PublishInt(
      L"Height", [this] { return FHeight; }, [this](int aV) { SetSize(FWidth, aV); });
}

void TImageList::SetSize(int aWidth, int aHeight) {
  if (aWidth <= 0 || aHeight <= 0 || (aWidth == FWidth && aHeight == FHeight))
    return;
  FWidth = aWidth;
  FHeight = aHeight;
  Clear();
}

bool ReadPngSize(const std::wstring& aFileName, uint32_t& aWidth, uint32_t& aHeight) {
  // The signature and the IHDR chunk: 8 + 4 + 4 + width and height.
  constexpr size_t kHeaderBytes = 24;
  constexpr uint64_t kMaxPictureBytes = 64ull * 1024 * 1024;
  static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> data;
  if (kplat::Platform().Files().ReadFile(aFileName, data, kMaxPictureBytes) !=
          kplat::err::Success ||
      data.size() < kHeaderBytes ||
      !std::equal(std::begin(kSignature), std::end(kSignature), data.begin()) ||
      std::string(data.begin() + 12, data.begin() + 16) != "IHDR")
    return false;
  aWidth = BigEndian32(data, 16);
  aHeight = BigEndian32(data, 20);
  return aWidth > 0 && aHeight > 0;
}

bool TImageList::LoadFromFile(const std::wstring& aFileName) {
  Clear();
  uint32_t width = 0;
  uint32_t height = 0;
  if (!ReadPngSize(aFileName, width, height))
    return false;
  const uint64_t count =
      uint64_t{width / static_cast<uint32_t>(FWidth)} * (height / static_cast<uint32_t>(FHeight));
  if (count == 0 || count > 0x7FFFFFFF)
    return false;
  FCount = static_cast<int>(count);
  FFileName = aFileName;
  Changed(L"Images");
  return true;
}

void TImageList::Clear() {
  if (FCount == 0 && FFileName.empty())
    return;
  FCount = 0;
  FFileName.clear();
  Changed(L"Images");
}
