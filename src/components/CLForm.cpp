#include "components/CLForm.h"

#include "components/CLMultiLang.h"
#include "components/CLSkin.h"

#include <utility>

namespace {

ICLFormHost* GFormHost = nullptr;

// The window and every control on it, so that each is painted again.
void InvalidateAll(TControl& aControl) {
  aControl.Invalidate();
  if (auto* parent = dynamic_cast<TWinControl*>(&aControl)) {
    for (int i = 0; i < parent->ControlCount(); ++i)
      InvalidateAll(*parent->Controls(i));
  }
}

} // namespace

ICLFormHost* GetCLFormHost() {
  return GFormHost;
}

ICLFormHost* SetCLFormHost(ICLFormHost* aHost) {
  return std::exchange(GFormHost, aHost);
}

TCLForm::TCLForm(TComponent* aOwner) : TComponent(aOwner) {
  PublishBool(
      L"RuntimeSetSkinData", [this] { return FRuntimeSetSkinData; },
      [this](bool aValue) { FRuntimeSetSkinData = aValue; });
  PublishBool(
      L"RuntimeSetLanguageData", [this] { return FRuntimeSetLanguageData; },
      [this](bool aValue) { FRuntimeSetLanguageData = aValue; });
  PublishBool(
      L"RunTimeSetFormProperties", [this] { return FRunTimeSetFormProperties; },
      [this](bool aValue) { FRunTimeSetFormProperties = aValue; });
}

TCLForm::~TCLForm() {
  if (FSkinListener != 0)
    RemoveSkinThemeListener(FSkinListener);
}

void TCLForm::Loaded() {
  if (IsLoaded())
    return;
  MarkLoaded();
  TComponent* window = Owner();
  if (window == nullptr)
    return;
  auto* form = dynamic_cast<TForm*>(window);
  if (FRuntimeSetSkinData && form != nullptr && FSkinListener == 0)
    FSkinListener = AddSkinThemeListener([form] { InvalidateAll(*form); });
  if (FRuntimeSetLanguageData)
    SetLanguageData(*window);
  if (FRunTimeSetFormProperties && form != nullptr)
    CenterOnMainForm(*form);
}

void TCLForm::SetLanguageData(TComponent& aWindow) {
  TCLMultiLangData* data = GFormHost != nullptr ? GFormHost->LanguageData() : nullptr;
  if (data == nullptr)
    return;
  for (int i = 0; i < aWindow.ComponentCount(); ++i) {
    TComponent* component = aWindow.Components(i);
    if (component->ClassName() != L"TCLMultiLang")
      continue;
    auto* language = static_cast<TCLMultiLang*>(component);
    if (language->LanguageData() != nullptr)
      continue;
    language->SetLanguageData(data);
    // One loaded before this component found no data to register with and apply.
    if (language->IsLoaded() && data->AutoApply())
      language->ApplyData();
  }
}

void TCLForm::CenterOnMainForm(TForm& aForm) {
  TForm* main = GFormHost != nullptr ? GFormHost->MainForm() : nullptr;
  if (main == nullptr || main == &aForm)
    return;
  aForm.SetBounds(main->Left() + (main->Width() - aForm.Width()) / 2,
                  main->Top() + (main->Height() - aForm.Height()) / 2, aForm.Width(),
                  aForm.Height());
}
