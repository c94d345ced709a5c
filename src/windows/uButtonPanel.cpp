#include "windows/uButtonPanel.h"

#include "components/CLPlace.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace {

// Layout at 96 DPI.
constexpr int kMargin = 8;
constexpr int kNavHeight = 40;
constexpr int kNavGap = 8;
constexpr int kWorkHeight = 56;

} // namespace

const std::array<const wchar_t*, TfrmButtonPanel::kButtonCount> TfrmButtonPanel::kButtonNames = {
    L"Home", L"Adv", L"Utilities", L"Scan", L"Cure", L"Stop"};

void TFlashButton::SetState(TFlashButtonState aState) {
  const bool wasDown = Down();
  FState = aState;
  SetVisible(aState != KInvisibled);
  SetEnabled(aState != KDisabled);
  if (wasDown != Down())
    Changed(L"Down");
}

TfrmButtonPanel::TfrmButtonPanel(TComponent* aOwner) : TPanel(aOwner) {
  for (int i = 0; i < kButtonCount; ++i) {
    // The main window gives the buttons its actions' captions.
    TFlashButton* button = Place<TFlashButton>(this, this, std::wstring(L"btn") + kButtonNames[i]);
    const std::wstring name = kButtonNames[i];
    button->OnClick = [this, name](TObject&) { ButtonRelease(name); };
    FButtons[static_cast<size_t>(i)] = button;
  }
}

void TfrmButtonPanel::LoadPlayer(int aW, int aH) {
  SetBounds(0, 0, aW, aH);
  const int width = std::max(aW - 2 * kMargin, 0);
  for (int i = 0; i < 3; ++i) {
    FButtons[static_cast<size_t>(i)]->SetBounds(kMargin, kMargin + i * (kNavHeight + kNavGap),
                                                width, kNavHeight);
  }
  FWorkTop = std::max(aH - kMargin - kWorkHeight, kMargin + 3 * (kNavHeight + kNavGap));
  PlaceWorkButtons();
}

void TfrmButtonPanel::PlaceWorkButtons() {
  // Scan, Cure and Stop share the bottom place; when two show (Scan beside Cure with findings
  // waiting), the later one keeps it and the earlier one stands above it.
  int top = FWorkTop;
  for (int i = kButtonCount - 1; i >= 3; --i) {
    TFlashButton* button = FButtons[static_cast<size_t>(i)];
    button->SetBounds(kMargin, top, std::max(Width() - 2 * kMargin, 0), kWorkHeight);
    if (button->Visible())
      top -= kWorkHeight + kNavGap;
  }
}

TFlashButton* TfrmButtonPanel::Button(const std::wstring& aName) const {
  for (int i = 0; i < kButtonCount; ++i) {
    if (kplat::SameText(kButtonNames[i], aName))
      return FButtons[static_cast<size_t>(i)];
  }
  return nullptr;
}

void TfrmButtonPanel::SetBtnState(const std::wstring& aName, TFlashButtonState aState) {
  if (TFlashButton* button = Button(aName)) {
    button->SetState(aState);
    PlaceWorkButtons();
  }
}

TFlashButtonState TfrmButtonPanel::BtnState(const std::wstring& aName) const {
  const TFlashButton* button = Button(aName);
  return button ? button->State() : KInvisibled;
}

void TfrmButtonPanel::ButtonRelease(const std::wstring& aName) {
  const TFlashButton* button = Button(aName);
  if (button == nullptr || button->State() == KInvisibled || button->State() == KDisabled)
    return;
  if (OnButtonRelease)
    OnButtonRelease(button->Name().substr(3));
}
