#include "windows/uStatistics.h"

#include "appengine/CLEngine.h"
#include "base/CLDateUtils.h"
#include "base/CLSettings.h"
#include "components/CLPlace.h"
#include "windows/CLWindowLanguage.h"

#include <cwchar>
#include <iterator>

namespace {

struct TStatisticsRow {
  const wchar_t* Key; // the setting and the text name of its caption
  bool Size;          // bytes, shown in megabytes
};

const TStatisticsRow kRows[] = {
    {L"Summary.AllCount", false},         {L"Summary.RegistryItemCount", false},
    {L"Summary.FileCount", false},        {L"Summary.FileSizeCount", true},
    {L"Summary.MatchedAllCount", false},  {L"Summary.MatchedRegItemCount", false},
    {L"Summary.MatchedFileCount", false}, {L"Summary.MatchedFileSizeCount", true},
};

} // namespace

std::wstring FormatMegabytes(double aBytes) {
  wchar_t buffer[64];
  std::swprintf(buffer, std::size(buffer), L"%.2f", aBytes / 1024 / 1024);
  std::wstring text = buffer;
  const size_t point = text.find(L'.');
  if (point != std::wstring::npos)
    text.replace(point, 1, UserDateTimeFormats().DecimalSeparator);
  return text + L" MB";
}

TfrmStatistics::TfrmStatistics(TComponent* aOwner) : TForm(aOwner, L"TfrmStatistics") {
  SetName(L"frmStatistics");
  SetBounds(0, 0, 420, 300);
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&TfrmStatistics::lvStatistics>, L"lvStatistics", nullptr, {12, 12, 396, 228}},
      {Field<&TfrmStatistics::btnClear>, L"btnClear", nullptr, {224, 252, 88, 28}},
      {Field<&TfrmStatistics::btnClose>, L"btnClose", nullptr, {320, 252, 88, 28}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  lvStatistics->SetViewStyle(TViewStyle::vsReport);
  lvStatistics->SetReadOnly(true);
  lvStatistics->SetRowSelect(true);
  lvStatistics->Columns().Add().SetWidth(220);
  lvStatistics->Columns().Add().SetAutoSize(true);
  btnClear->OnClick = [this](TObject& aSender) { btnClearClick(aSender); };
  btnClose->SetModalResult(mr::Cancel);

  CLMultiLang1 = NewWindowLanguage(*this);
  Loaded();
  FormCreate();
}

void TfrmStatistics::FormCreate() {
  const TCLSettings& settings = GetCLSettings();
  const TCLEngine* engine = GetCLEngine();
  lvStatistics->Items().Clear();
  for (const TStatisticsRow& row : kRows) {
    TListItem& line = lvStatistics->Items().Add();
    line.SetCaption(engine ? engine->GetAppString(row.Key) : std::wstring(row.Key));
    line.SubItems().Add(row.Size ? FormatMegabytes(settings.GetSettingFloat(row.Key))
                                 : std::to_wstring(settings.GetSettingInteger(row.Key)));
  }
}

void TfrmStatistics::btnClearClick(TObject&) {
  TCLSettings& settings = GetCLSettings();
  settings.BeginUpdate();
  for (const TStatisticsRow& row : kRows) {
    if (row.Size)
      settings.SetSettingFloat(row.Key, 0);
    else
      settings.SetSettingInteger(row.Key, 0);
  }
  settings.EndUpdate();
  for (int i = 0; i < lvStatistics->Items().Count(); ++i)
    lvStatistics->Items().Item(i).SubItems().SetStrings(0, L"-");
}
