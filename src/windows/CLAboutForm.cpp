#include "windows/CLAboutForm.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "components/CLPlace.h"
#include "platform/TextCodec.h"

#include <utility>

namespace {

// The designed layout, at 96 DPI; the logo changes the window's size from here.
constexpr int kClientWidth = 380;
constexpr int kLogoHeight = 96;
constexpr int kMargin = 16;
constexpr int kInfoHeight = 72; // four lines
constexpr int kLinkHeight = 18;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kInfoTop = kLogoHeight + kMargin;
constexpr int kButtonTop = kInfoTop + kInfoHeight + kMargin / 2;
constexpr int kTextWidth = kClientWidth - 2 * kMargin;
constexpr int kButtonLeft = kClientWidth - kMargin - kButtonWidth;

TFormPlacer& Placer() {
  static TFormPlacer placer;
  return placer;
}

} // namespace

TFormPlacer SetFormPlacer(TFormPlacer aPlacer) {
  return std::exchange(Placer(), std::move(aPlacer));
}

void PlaceFormInWindow(TForm& aForm, uintptr_t aParentWindow) {
  aForm.SetLeft(0);
  aForm.SetTop(0);
  // Last: a binding may take 0,0 for a window not placed yet and centre it on the screen.
  if (Placer()) {
    Placer()(aForm, aParentWindow);
  }
}

TfrmCLAboutForm::TfrmCLAboutForm(TComponent* aOwner, TCLEngine& aEngine)
    : TForm(aOwner, L"TfrmCLAboutForm"), FEngine(aEngine) {
  using W = TfrmCLAboutForm;
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&W::pnlLogo>, L"pnlLogo", nullptr, {0, 0, kClientWidth, kLogoHeight}},
      {Field<&W::imgLogo>, L"imgLogo", L"pnlLogo", {0, 0, kClientWidth, kLogoHeight}},
      {Field<&W::lblInfo>, L"lblInfo", nullptr, {kMargin, kInfoTop, kTextWidth, kInfoHeight}},
      {Field<&W::lblSupport>, L"lblSupport", nullptr,
       {kMargin, kButtonTop + (kButtonHeight - kLinkHeight) / 2,
        kTextWidth - kMargin - kButtonWidth, kLinkHeight}},
      {Field<&W::btnOk>, L"btnOk", nullptr, {kButtonLeft, kButtonTop, kButtonWidth, kButtonHeight}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  lblSupport->OnClick = [this](TObject&) { FEngine.ShowPage(L"support"); };
  btnOk->SetModalResult(mr::OK);
  SetBounds(0, 0, kClientWidth, kButtonTop + kButtonHeight + kMargin);

  LoadLogo(GetAppPath() + L"res\\images\\about.png");
  UpdateTexts();
}

void TfrmCLAboutForm::LoadLogo(const std::wstring& aFileName) {
  if (!pnlLogo->Visible()) {
    return;
  }
  if (!imgLogo->LoadFromFile(aFileName)) {
    pnlLogo->Hide();
    MoveBelowLogo(-pnlLogo->Height());
    SetHeight(Height() - pnlLogo->Height());
    return;
  }
  const int width = imgLogo->PictureWidth();
  const int height = imgLogo->PictureHeight();
  const int widthDelta = width - Width();
  const int heightDelta = height - pnlLogo->Height();
  pnlLogo->SetBounds(0, 0, width, height);
  imgLogo->SetBounds(0, 0, width, height);
  MoveBelowLogo(heightDelta);
  // The texts keep their margins; the button stays at the right.
  lblInfo->SetWidth(std::max(0, lblInfo->Width() + widthDelta));
  lblSupport->SetWidth(std::max(0, lblSupport->Width() + widthDelta));
  btnOk->SetLeft(btnOk->Left() + widthDelta);
  SetBounds(Left(), Top(), width, Height() + heightDelta);
}

void TfrmCLAboutForm::MoveBelowLogo(int aDelta) {
  for (TControl* control : {static_cast<TControl*>(lblInfo), static_cast<TControl*>(lblSupport),
                            static_cast<TControl*>(btnOk)}) {
    control->SetTop(control->Top() + aDelta);
  }
}

void TfrmCLAboutForm::UpdateTexts() {
  TCLSettings& settings = GetCLSettings();
  SetCaption(FEngine.GetLibString(ClassName() + L".Caption"));
  btnOk->SetCaption(FEngine.GetLibString(L"btnOk.Caption"));
  lblSupport->SetCaption(FEngine.GetLibString(L"lblSupport.Caption"));

  std::wstring info = FEngine.GetLibString(L"TfrmCLAboutForm.CopyRightLine1");
  info += L"\r\n" + FEngine.GetLibStringEx(L"TfrmCLAboutForm.CopyRightLine2",
                                           {settings.GetSettingString(L"App.Ver")});
  info += L"\r\n" + settings.GetSettingString(L"App.Copyright");
  // No language chosen yet is the built-in English too.
  const std::wstring& chosen = FEngine.Language();
  if (!chosen.empty() && !kplat::SameText(chosen, L"English") &&
      FEngine.LanguageData() != nullptr) {
    // The loaded file's own name and translator: the built-in English's would name the wrong
    // language when the file has no [Info].
    const TCLMultiLangLan& current = FEngine.LanguageData()->CurrentData();
    std::wstring language = FEngine.Language();
    std::wstring translator;
    current.GetProp(L"Info", L"", L"Language", language);
    current.GetProp(L"Info", L"", L"Translator", translator);
    info +=
        L"\r\n" + FEngine.GetLibStringEx(L"TfrmCLAboutForm.CopyRightLine3", {language, translator});
  }
  lblInfo->SetCaption(info);
}

void AppAbout(TCLEngine& aEngine) {
  auto* form = dynamic_cast<TfrmCLAboutForm*>(aEngine.FindComponent(L"frmCLAboutForm"));
  if (form == nullptr) {
    form = NewComponent<TfrmCLAboutForm>(&aEngine, L"frmCLAboutForm", aEngine);
  }
  if (form->Visible()) {
    return;
  }
  form->UpdateTexts();
  if (aEngine.ParentHWND() != 0) {
    PlaceFormInWindow(*form, aEngine.ParentHWND());
  }
  form->ShowModal();
}
