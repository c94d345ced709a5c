// The settings window's page "Exclusions": the user's list of places that no scan reports and no
// repair changes.

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "platform/FileIO.h"
#include "windows/CLWindowLanguage.h"
#include "windows/uSettings.h"

namespace {

std::wstring ExclusionsFile() {
  return ExclusionsFileIn(GetCLSettings().UserDataPath());
}

} // namespace

void TfrmSettings::LoadExclusions() {
  FExclusionsChanged = false;
  const bool loaded = FExclusions.Load(ExclusionsFile());
  // A damaged list is shown as far as it can be read, and left as it is.
  for (TControl* edit : std::initializer_list<TControl*>{edtExclusion, btnExclusionAdd,
                                                         btnExclusionChange, btnExclusionRemove})
    edit->SetEnabled(loaded);
  lblExclusionsProblem->SetCaption(
      loaded
          ? L""
          : AppText(L"Exclusions.Damaged",
                    {ExclusionsFile(), FExclusions.DamagedLine() > 0
                                           ? AppText(L"Exclusions.DamagedLine",
                                                     {std::to_wstring(FExclusions.DamagedLine())})
                                           : AppText(L"Exclusions.Unreadable")}));
  ShowExclusions(-1);
}

void TfrmSettings::ShowExclusions(int aSelected) {
  TTreeNodes& nodes = tvExclusions->Items();
  nodes.Clear();
  for (const TFigExclusion& exclusion : FExclusions.Items())
    nodes.Add(exclusion.Place);
  if (aSelected >= 0 && aSelected < nodes.RootCount())
    tvExclusions->SetSelected(&nodes.Root(aSelected));
}

int TfrmSettings::SelectedExclusion() const {
  const TTreeNode* selected = tvExclusions->Selected();
  for (int i = 0; selected != nullptr && i < tvExclusions->Items().RootCount(); ++i)
    if (&tvExclusions->Items().Root(i) == selected)
      return i;
  return -1;
}

void TfrmSettings::EditExclusion(bool aAdd) {
  const int selected = SelectedExclusion();
  if (!aAdd && selected < 0)
    return;
  const std::wstring place = edtExclusion->Text();
  const TFigExclusionError error =
      aAdd ? FExclusions.Add(place) : FExclusions.Replace(selected, place);
  if (error != eeNone) {
    lblExclusionsProblem->SetCaption(
        AppText(L"Exclusions.Refused", {place, AppText(L"Exclusions." + GetEnumName(error))}));
    return;
  }
  lblExclusionsProblem->SetCaption(L"");
  FExclusionsChanged = true;
  edtExclusion->SetText(L"");
  ShowExclusions(aAdd ? -1 : selected);
}

void TfrmSettings::RemoveExclusion() {
  const int selected = SelectedExclusion();
  if (!FExclusions.Remove(selected))
    return;
  FExclusionsChanged = true;
  edtExclusion->SetText(L"");
  ShowExclusions(std::min(selected, FExclusions.Count() - 1));
}

bool TfrmSettings::SaveExclusions() {
  if (!FExclusionsChanged)
    return true;
  const std::wstring file = ExclusionsFile();
  kplat::TErrorCode rc = kplat::ForceFolders(ExtractFilePath(file));
  if (rc == kplat::err::Success)
    rc = FExclusions.Save(file);
  if (rc != kplat::err::Success) {
    if (TCLEngine* engine = GetCLEngine())
      engine->ShowMessageEx(L"Exclusions.SaveFailed",
                            {L"\"" + file + L"\": " + SystemErrorMessage(rc)}, false, mr::None,
                            mb::OK, TMsgDlgType::mtError, 0);
    return false;
  }
  FExclusionsChanged = false;
  return true;
}
