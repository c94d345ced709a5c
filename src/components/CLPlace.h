#pragma once
// A window's controls as data. A window lists its controls once, in creation order, one row each:
// the kind (the window's field that keeps the control, or only the control's class), the name,
// the parent and the bounds at 96 DPI. Texts are not part of a row: the window's language data
// gives every caption.
//
//   const TCLPlace kControls[] = {
//       {Field<&TfrmX::lblTitle>, L"lblTitle", nullptr, {16, 16, 170, 20}},
//       {Field<&TfrmX::pcPages>, L"pcPages", nullptr, {8, 44, 584, 300}},
//       {Field<&TfrmX::tsFirst>, L"tsFirst", L"pcPages", {}},
//       {Kind<TLabel>, L"lblNote", L"tsFirst", {12, 12, 200, 20}}};
//   PlaceControls(*this, kControls);
//
// A tab sheet joins its page control (which gives it its bounds); every other control sets its
// parent and bounds.

#include "components/CLControls.h"

#include <span>
#include <type_traits>

struct TCLBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

// Puts a control made by its window onto aParent.
void AttachControl(TControl& aControl, TWinControl& aParent, const TCLBounds& aBounds);
void AttachControl(TTabSheet& aSheet, TWinControl& aParent, const TCLBounds& aBounds);

// One control, owned by aWindow (so that the window frees it and its texts are translated).
template <class T>
T* Place(TComponent* aWindow, TWinControl* aParent, const std::wstring& aName,
         const TCLBounds& aBounds = {}) {
  T* control = NewComponent<T>(aWindow, aName);
  AttachControl(*control, *aParent, aBounds);
  return control;
}

struct TCLPlace {
  // Makes the control on aParent and keeps it where the window wants it.
  TControl* (*Make)(TForm& aWindow, const wchar_t* aName, TWinControl& aParent,
                    const TCLBounds& aBounds);
  const wchar_t* Name;
  // A control of an earlier row, or nullptr for the window itself.
  const wchar_t* Parent = nullptr;
  TCLBounds Bounds;
};

// A row's kind: a control that no field keeps.
template <class T>
TControl* Kind(TForm& aWindow, const wchar_t* aName, TWinControl& aParent,
               const TCLBounds& aBounds) {
  return Place<T>(&aWindow, &aParent, aName, aBounds);
}

namespace clplace_detail {

template <class TMember> struct TFieldOf;

template <class TWindow, class T> struct TFieldOf<T * TWindow::*> {
  using Window = TWindow;
  using Control = T;
};

} // namespace clplace_detail

// A row's kind: the window's field, which gets the control.
template <auto AField>
TControl* Field(TForm& aWindow, const wchar_t* aName, TWinControl& aParent,
                const TCLBounds& aBounds) {
  using TInfo = clplace_detail::TFieldOf<decltype(AField)>;
  static_assert(std::is_base_of_v<TForm, typename TInfo::Window>);
  auto* control = Place<typename TInfo::Control>(&aWindow, &aParent, aName, aBounds);
  static_cast<typename TInfo::Window&>(aWindow).*AField = control;
  return control;
}

// Makes the rows' controls in order. A parent that names no control made before is the window.
void PlaceControls(TForm& aWindow, std::span<const TCLPlace> aRows);
