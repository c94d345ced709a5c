#include "windows/uRestore.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "components/CLPlace.h"
#include "cure/FigCure.h"
#include "cure/sysrestore.h"
#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "windows/CLWindowLanguage.h"
#include "windows/uStatistics.h"

#include <algorithm>
#include <cwchar>
#include <utility>

namespace {

constexpr int kBackupImage = 5;
constexpr int kSettingsBackupPage = 3;

void ShowMessage(const std::wstring& aName, TMsgDlgType aType,
                 const std::vector<std::wstring>& aArgs = {}) {
  if (TCLEngine* engine = GetCLEngine())
    engine->ShowMessageEx(aName, aArgs, false, mr::None, mb::OK, aType, 0);
}

void ShowRestorePointFailed() {
  // The language files know this message by its English text.
  ShowMessage(L"Cannot create restore point.", TMsgDlgType::mtError);
}

} // namespace

std::wstring SystemRestoreProgram() {
  const std::wstring system = NormalizeFolder(kplat::Platform().System().GetSystemFolder());
  for (const std::wstring& program : {system + L"restore\\rstrui.exe", system + L"rstrui.exe"})
    if (kplat::FileExists(program))
      return program;
  return std::wstring();
}

TfrmRestore::TfrmRestore(TComponent* aOwner, TRestoreWindowHost aHost)
    : TForm(aOwner, L"TfrmRestore"), FHost(std::move(aHost)), FCenter(FHost.BackupPath) {
  SetName(L"frmRestore");
  SetBounds(0, 0, 600, 560);
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&TfrmRestore::lblSelectAnAction>, L"lblSelectAnAction", nullptr, {16, 16, 170, 20}},
      {Field<&TfrmRestore::llCreateRestorePoint>, L"llCreateRestorePoint", nullptr,
       {24, 48, 162, 20}},
      {Field<&TfrmRestore::btnViewSystemRestore>, L"btnViewSystemRestore", nullptr,
       {24, 76, 162, 20}},
      {Field<&TfrmRestore::btnSettings>, L"btnSettings", nullptr, {24, 104, 162, 20}},
      {Field<&TfrmRestore::lblRestoreCenter>, L"lblRestoreCenter", nullptr, {200, 16, 384, 20}},
      {Field<&TfrmRestore::lvBackup>, L"lvBackup", nullptr, {200, 44, 384, 160}},
      {Field<&TfrmRestore::lblDetails>, L"lblDetails", nullptr, {16, 216, 568, 20}},
      {Field<&TfrmRestore::lvDetails>, L"lvDetails", nullptr, {16, 238, 568, 236}},
      {Field<&TfrmRestore::btnRestore>, L"btnRestore", nullptr, {200, 486, 120, 28}},
      {Field<&TfrmRestore::btnDelete>, L"btnDelete", nullptr, {332, 486, 120, 28}},
      {Field<&TfrmRestore::btnClose>, L"btnClose", nullptr, {464, 486, 120, 28}},
      {Field<&TfrmRestore::pnlLoading>, L"pnlLoading", nullptr, {180, 150, 240, 60}},
      {Field<&TfrmRestore::lblLoading>, L"lblLoading", L"pnlLoading", {16, 20, 208, 20}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  lvBackup->SetViewStyle(TViewStyle::vsReport);
  lvBackup->SetReadOnly(true);
  lvBackup->SetRowSelect(true);
  lvBackup->SetSmallImages(FHost.SmallImages);
  lvBackup->Columns().Add().SetWidth(180);
  lvBackup->Columns().Add().SetWidth(90);
  lvBackup->Columns().Add().SetAutoSize(true);
  lvBackup->OnSelectItem = [this](TObject&, TListItem& aItem, bool aSelected) {
    const TListItem* selected = aSelected ? &aItem : lvBackup->Selected();
    ShowDetails(selected != nullptr ? selected->Index() : -1);
  };
  lvDetails->SetViewStyle(TViewStyle::vsReport);
  lvDetails->SetReadOnly(true);
  lvDetails->SetRowSelect(true);
  lvDetails->Columns().Add().SetWidth(110);
  lvDetails->Columns().Add().SetWidth(150);
  lvDetails->Columns().Add().SetAutoSize(true);
  btnClose->SetModalResult(mr::Cancel);
  pnlLoading->SetVisible(false);

  llCreateRestorePoint->OnClick = [this](TObject& aSender) { llCreateRestorePointClick(aSender); };
  btnViewSystemRestore->OnClick = [this](TObject& aSender) { btnViewSystemRestoreClick(aSender); };
  btnSettings->OnClick = [this](TObject& aSender) { btnSettingsClick(aSender); };
  btnRestore->OnClick = [this](TObject& aSender) { btnRestoreClick(aSender); };
  btnDelete->OnClick = [this](TObject& aSender) { btnDeleteClick(aSender); };

  CLMultiLang1 = NewWindowLanguage(*this);
  Loaded();
  FormCreate();
}

void TfrmRestore::FormCreate() {
  const bool loaded = FCenter.Load(MaxBackupSetting());
  FillList();
  if (!loaded)
    ShowMessage(FCenter.IndexUnreadable() ? L"MSGBox.BackupIndexReadError"
                                          : L"MSGBox.BackupIndexError",
                TMsgDlgType::mtWarning, {FCenter.LastError()});
}

void TfrmRestore::FillList() {
  ShowDetails(-1);
  lvBackup->Items().Clear();
  FBkFileNames.clear();
  for (const TBackupRow& row : FCenter.Rows()) {
    TListItem& item = lvBackup->Items().Add();
    item.SetCaption(row.DateTime);
    item.SubItems().Add(row.Changes);
    item.SubItems().Add(row.Files > 0
                            ? std::to_wstring(row.Files) + L" (" +
                                  FormatMegabytes(static_cast<double>(row.FileBytes)) + L")"
                            : std::wstring());
    item.SetImageIndex(kBackupImage);
    FBkFileNames.push_back(row.FileName);
  }
}

void TfrmRestore::AddDetail(const std::wstring& aKind, const std::wstring& aName,
                            const std::wstring& aPlace) {
  TListItem& item = lvDetails->Items().Add();
  item.SetCaption(aKind);
  item.SubItems().Add(aName);
  item.SubItems().Add(aPlace);
}

void TfrmRestore::ShowDetails(int aRow) {
  lvDetails->Items().Clear();
  TCLEngine* engine = GetCLEngine();
  if (aRow < 0 || aRow >= static_cast<int>(FCenter.Rows().size()) || engine == nullptr)
    return;
  const TBackupRow& row = FCenter.Rows()[static_cast<size_t>(aRow)];
  TBackupDetails details;
  std::wstring error;
  const bool read = ReadBackupDetails(row.FileName, kDetailEntries, kDetailFiles, details, error);
  const std::wstring removed = L" (" + engine->GetAppString(L"Restore.RemovedByRestore") + L")";
  for (const TBackupKeyDetail& key : details.Keys) {
    if (key.Values.empty())
      AddDetail(engine->GetAppString(L"Restore.KindKey"), key.Delete ? removed.substr(1) : L"",
                key.Place());
    for (const TBackupValueDetail& value : key.Values)
      AddDetail(engine->GetAppString(L"Restore.KindValue"),
                (value.Name.empty() ? engine->GetAppString(L"Restore.DefaultValue") : value.Name) +
                    (value.Delete ? removed : L""),
                key.Place());
  }
  if (details.MoreEntries) {
    // The row's count covers the whole file; it is read only as far as the list shows.
    const long total = std::wcstol(row.Changes.c_str(), nullptr, 10);
    AddDetail(L"", L"",
              engine->GetAppStringEx(L"Restore.MoreChanges",
                                     {std::to_wstring(std::max(total - details.Entries, 1L))}));
  }
  for (const TQuarantineEntry& file : details.Files)
    AddDetail(engine->GetAppString(L"Restore.KindFile"),
              engine->GetAppStringEx(L"Restore.Bytes", {std::to_wstring(file.Size)}), file.Path);
  for (const std::wstring& folder : details.Folders)
    AddDetail(engine->GetAppString(L"Restore.KindFolder"), L"", folder);
  if (details.MoreFiles > 0)
    AddDetail(L"", L"",
              engine->GetAppStringEx(L"Restore.MoreFiles", {std::to_wstring(details.MoreFiles)}));
  if (!read)
    AddDetail(L"", L"", engine->GetAppStringEx(L"Restore.DetailsUnreadable", {error}));
}

int TfrmRestore::SelectedRow() {
  const TListItem* selected = lvBackup->Selected();
  if (selected == nullptr) {
    ShowMessage(L"MSGBox.NoRestoreSelected", TMsgDlgType::mtWarning);
    return -1;
  }
  return selected->Index();
}

void TfrmRestore::btnRestoreClick(TObject&) {
  if (FHost.RepairRunning && FHost.RepairRunning()) {
    ShowMessage(L"MSGBox.RestoreWhileRepairing", TMsgDlgType::mtWarning);
    return;
  }
  const int row = SelectedRow();
  if (row < 0)
    return;
  TRestoreResult result = FCenter.Restore(row);
  if (result.Seal == TSealState::Broken) {
    ShowMessage(L"MSGBox.RestoreSealBroken", TMsgDlgType::mtError);
    return;
  }
  if (result.NeedsConsent) {
    TCLEngine* engine = GetCLEngine();
    if (engine == nullptr ||
        engine->ShowMessageEx(L"MSGBox.RestoreUnchecked", {}, false, mr::None, mb::YesNo,
                              TMsgDlgType::mtConfirmation, 0) != mr::Yes)
      return;
    result = FCenter.Restore(row, true);
  }
  if (!result.Started) {
    ShowMessage(L"MSGBox.RestoreFailed", TMsgDlgType::mtWarning);
    return;
  }
  // Even a partial restore, or one whose editor failed or did not end in time, may have put
  // findings back, so every topic is to be checked again. What counts is what the registry holds.
  if (FHost.Engine != nullptr)
    FHost.Engine->ResetStatus();
  if (result.Verified != result.Entries) {
    ShowMessage(
        L"MSGBox.RestoreIncomplete", TMsgDlgType::mtWarning,
        {std::to_wstring(result.Entries - result.Verified), std::to_wstring(result.Entries)});
    return;
  }
  const TFileRestoreResult& files = result.Files;
  if (files.Failed.empty() && files.Kept.empty()) {
    ShowMessage(L"MSGBox.RestoreSuccessed", TMsgDlgType::mtInformation);
    return;
  }
  std::wstring details;
  for (const std::wstring& path : files.Kept)
    details += L"\n" + path;
  for (const TFileRestoreFailure& failure : files.Failed)
    details += L"\n" + failure.Path + L": " +
               (failure.WindowsFile && GetCLEngine() != nullptr
                    ? GetCLEngine()->GetAppString(L"Restore.WindowsFile")
                    : failure.Reason);
  ShowMessage(L"MSGBox.RestoreFiles",
              files.Failed.empty() ? TMsgDlgType::mtInformation : TMsgDlgType::mtWarning,
              {std::to_wstring(files.Restored), std::to_wstring(files.Files),
               std::to_wstring(files.Kept.size()), std::to_wstring(files.Failed.size()), details});
}

void TfrmRestore::btnDeleteClick(TObject&) {
  const int row = SelectedRow();
  if (row < 0)
    return;
  if (!FCenter.Delete(row)) {
    ShowMessage(L"MSGBox.BackupIndexError", TMsgDlgType::mtWarning, {FCenter.LastError()});
    return;
  }
  FBkFileNames.erase(FBkFileNames.begin() + row);
  lvBackup->Items().Delete(row);
  ShowDetails(-1);
}

void TfrmRestore::btnSettingsClick(TObject&) {
  if (FHost.OpenSettings)
    FHost.OpenSettings(kSettingsBackupPage);
}

void TfrmRestore::btnViewSystemRestoreClick(TObject&) {
  const std::wstring program = SystemRestoreProgram();
  if (program.empty()) {
    ShowMessage(L"MSGBox.RSTRUI", TMsgDlgType::mtInformation);
    return;
  }
  RunProcess(program, L"", ExtractFileDir(program), false, false, 0);
}

void TfrmRestore::llCreateRestorePointClick(TObject&) {
  pnlLoading->Show();
  // The panel is drawn before the system call blocks the window.
  GetCLMainThread().ProcessMessages();
  const std::wstring description =
      GetCLSettings().GetSettingString(L"APP.NAME") + L" Restore point";
  int64_t sequence = 0;
  const bool made = BeginRestorePoint(description, sequence) == 0 && EndRestorePoint(sequence) == 0;
  if (made)
    ShowMessage(L"MSGBox.RestorePointCreated", TMsgDlgType::mtInformation);
  else
    ShowRestorePointFailed();
  pnlLoading->Hide();
}
