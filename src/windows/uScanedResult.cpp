#include "windows/uScanedResult.h"

#include "base/CLIniFiles.h"
#include "base/CLSettings.h"
#include "components/CLPlace.h"
#include "windows/CLWindowLanguage.h"

#include <algorithm>
#include <array>

namespace {

// The sub-item that holds the position.
constexpr int kPositionText = 2;
constexpr std::array kDefaultWidths = {150, 180, 80};
// A stored width outside these is damaged and gives way to the default.
constexpr int kMinWidth = 20;
constexpr int kMaxWidth = 1000;
const wchar_t kWidthsSetting[] = L"ResultList.ColumnWidths";

std::wstring WidthsText(const std::array<int, kDefaultWidths.size()>& aWidths) {
  std::wstring text;
  for (const int width : aWidths)
    text += (text.empty() ? L"" : L",") + std::to_wstring(width);
  return text;
}

} // namespace

TfrmScanedResult::TfrmScanedResult(TComponent* aOwner, TCLMultiLangData* aLanguageData)
    : TForm(aOwner, L"TfrmScanedResult") {
  SetName(L"frmScanedResult");
  SetBounds(0, 0, 640, 490);
  FLanguage = NewWindowLanguage(*this, aLanguageData);

  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&TfrmScanedResult::lblTitle>, L"lblTitle", nullptr, {12, 10, 600, 20}},
      {Field<&TfrmScanedResult::lvResult>, L"lvResult", nullptr, {12, 34, 600, 268}},
      {Field<&TfrmScanedResult::lblPosition>, L"lblPosition", nullptr, {12, 308, 600, 16}},
      {Field<&TfrmScanedResult::edtPosition>, L"edtPosition", nullptr, {12, 326, 600, 22}},
      {Field<&TfrmScanedResult::tlTips>, L"tlTips", nullptr, {12, 356, 600, 52}},
      {Field<&TfrmScanedResult::btnSelectAll>, L"btnSelectAll", nullptr, {12, 416, 100, 28}},
      {Field<&TfrmScanedResult::btnUnSelectAll>, L"btnUnSelectAll", nullptr, {120, 416, 100, 28}},
      {Field<&TfrmScanedResult::btnOk>, L"btnOk", nullptr, {404, 416, 100, 28}},
      {Field<&TfrmScanedResult::btnCancel>, L"btnCancel", nullptr, {512, 416, 100, 28}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  lvResult->SetViewStyle(TViewStyle::vsReport);
  lvResult->SetCheckboxes(true);
  lvResult->SetRowSelect(true);
  lvResult->SetReadOnly(true);
  for (const int width : kDefaultWidths)
    lvResult->Columns().Add().SetWidth(width);
  lvResult->Columns().Add().SetAutoSize(true);
  LoadColumnWidths();
  lvResult->OnSelectItem = [this](TObject&, TListItem& aItem, bool aSelected) {
    ShowPosition(aSelected ? &aItem : lvResult->Selected());
  };
  edtPosition->SetReadOnly(true);
  tlTips->SetWordWrap(true);
  btnSelectAll->OnClick = [this](TObject&) { CheckAll(true); };
  btnUnSelectAll->OnClick = [this](TObject&) { CheckAll(false); };
  pmResult = NewComponent<TPopupMenu>(this, L"pmResult");
  miIgnoreItem = NewComponent<TMenuItem>(this, L"miIgnoreItem");
  miIgnoreItem->OnClick = [this](TObject&) { IgnoreSelected(false); };
  pmResult->Items().Add(miIgnoreItem);
  miIgnoreFolder = NewComponent<TMenuItem>(this, L"miIgnoreFolder");
  miIgnoreFolder->OnClick = [this](TObject&) { IgnoreSelected(true); };
  pmResult->Items().Add(miIgnoreFolder);
  pmResult->OnPopup = [this](TObject&) {
    const bool selected = lvResult->Selected() != nullptr;
    miIgnoreItem->SetEnabled(selected);
    miIgnoreFolder->SetEnabled(selected);
  };
  lvResult->SetPopupMenu(pmResult);
  btnOk->SetModalResult(mr::OK);
  btnCancel->SetModalResult(mr::Cancel);
  OnHide = [this](TObject&) { SaveColumnWidths(); };

  Loaded();
}

void TfrmScanedResult::CheckAll(bool aChecked) {
  for (int i = 0; i < lvResult->Items().Count(); ++i)
    lvResult->Items().Item(i).SetChecked(aChecked);
}

void TfrmScanedResult::ShowPosition(const TListItem* aItem) {
  edtPosition->SetText(aItem != nullptr ? aItem->SubItems().Strings(kPositionText) : L"");
}

void TfrmScanedResult::LoadColumnWidths() {
  const TCLSettings& settings = GetCLSettings();
  if (!settings.GetSettingExists(kWidthsSetting))
    return;
  std::vector<std::wstring> parts;
  SplitText(settings.GetSettingString(kWidthsSetting), L',', parts);
  for (size_t i = 0; i < kDefaultWidths.size() && i < parts.size(); ++i) {
    const std::optional<int32_t> width = ParseIniInteger(Trim(parts[i]));
    if (width && *width >= kMinWidth && *width <= kMaxWidth)
      lvResult->Columns().Items(static_cast<int>(i)).SetWidth(*width);
  }
}

void TfrmScanedResult::SaveColumnWidths() {
  std::array<int, kDefaultWidths.size()> widths{};
  for (size_t i = 0; i < widths.size(); ++i)
    widths[i] =
        std::clamp(lvResult->Columns().Items(static_cast<int>(i)).Width(), kMinWidth, kMaxWidth);
  const std::wstring text = WidthsText(widths);
  TCLSettings& settings = GetCLSettings();
  const std::wstring stored = settings.GetSettingExists(kWidthsSetting)
                                  ? settings.GetSettingString(kWidthsSetting)
                                  : WidthsText(kDefaultWidths);
  if (text != stored)
    settings.SetSettingstring(kWidthsSetting, text);
}

void TfrmScanedResult::IgnoreSelected(bool aContainer) {
  const TListItem* row = lvResult->Selected();
  if (row == nullptr || !OnIgnore)
    return;
  std::vector<int> covered = OnIgnore(*row, aContainer);
  // From the last, so that the indices still to go stay valid.
  std::sort(covered.rbegin(), covered.rend());
  for (const int index : covered)
    lvResult->Items().Delete(index);
}
