#include "ui/CLForm.h"

#include "framework/CLEngine.h"
#include "framework/CLMultiLang.h"
#include "ui/CLSkin.h"

namespace {

// The window and every control on it, so that each is painted again.
void InvalidateAll(TControl& aControl) {
  aControl.Invalidate();
  if (auto* parent = dynamic_cast<TWinControl*>(&aControl)) {
    for (int i = 0; i < parent->ControlCount(); ++i)
      InvalidateAll(*parent->Controls(i));
  }
}

} // namespace

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
  TCLEngine* engine = GetCLEngine();
  if (engine == nullptr || engine->LanguageData() == nullptr)
    return;
  TCLMultiLangData* data = engine->LanguageData();
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
  TCLEngine* engine = GetCLEngine();
  auto* main = engine != nullptr ? dynamic_cast<TForm*>(engine->Owner()) : nullptr;
  if (main == nullptr || main == &aForm)
    return;
  aForm.SetBounds(main->Left() + (main->Width() - aForm.Width()) / 2,
                  main->Top() + (main->Height() - aForm.Height()) / 2, aForm.Width(),
                  aForm.Height());
}
