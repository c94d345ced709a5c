#pragma once
// The main window's button bar: six named buttons ("Home", "Adv", "Utilities" to switch pages,
// "Scan", "Cure", "Stop" for the work), each in one of five states, reporting a release by the
// button's name. The bar is a panel of push buttons that the main window docks into its button
// panel; the navigation buttons stand in a column at the top, the three work buttons share one
// large place at the bottom (the window's state shows exactly one of them).
//
// How each state looks:
// - KNormal: a visible, enabled push button.
// - KMouseOver: the same button drawn hot; the window system shows it while the mouse is over
//   it, so it looks like KNormal to the program.
// - KDown: visible and enabled, drawn pushed in (the binding hears "Down" and keeps the button
//   pressed), marking the page on show.
// - KInvisibled: hidden.
// - KDisabled: visible and greyed; a release is not reported.

#include "components/CLControls.h"

#include <array>
#include <functional>
#include <string>

enum TFlashButtonState { KNormal, KMouseOver, KDown, KInvisibled, KDisabled };

// A push button of the bar with its state.
class TFlashButton : public TButton {
public:
  explicit TFlashButton(TComponent* aOwner) : TButton(aOwner) {}

  TFlashButtonState State() const { return FState; }
  void SetState(TFlashButtonState aState);
  bool KeepsState() const override { return true; }
  // Whether the button is to be drawn pushed in.
  bool Down() const override { return FState == KDown; }

private:
  TFlashButtonState FState = KNormal;
};

class TfrmButtonPanel : public TPanel {
public:
  static constexpr int kButtonCount = 6;
  // The button names in bar order.
  static const std::array<const wchar_t*, kButtonCount> kButtonNames;

  explicit TfrmButtonPanel(TComponent* aOwner);

  // Sizes the bar to aW x aH at its parent's top-left and lays the buttons out in it.
  void LoadPlayer(int aW, int aH);
  // The named button (ignoring case) takes the state; an unknown name does nothing.
  void SetBtnState(const std::wstring& aName, TFlashButtonState aState);
  // The state of the named button; KInvisibled for an unknown name.
  TFlashButtonState BtnState(const std::wstring& aName) const;
  // The named button, or nullptr.
  TFlashButton* Button(const std::wstring& aName) const;
  // What the user's release of a button does: reported with the button's name, unless the
  // button is hidden or disabled.
  void ButtonRelease(const std::wstring& aName);

  std::function<void(const std::wstring& aName)> OnButtonRelease;

private:
  void PlaceWorkButtons();

  std::array<TFlashButton*, kButtonCount> FButtons{};
  int FWorkTop = 0;
};
