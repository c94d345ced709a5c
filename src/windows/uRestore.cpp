#include "windows/uRestore.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "components/CLMultiLang.h"
#include "cure/sysrestore.h"
#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"

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
  SetCaption(L"Restore Center");
  SetBounds(0, 0, 600, 380);

  lblSelectAnAction = NewComponent<TLabel>(this, L"lblSelectAnAction");
  lblSelectAnAction->SetParent(this);
  lblSelectAnAction->SetBounds(16, 16, 170, 20);
  lblSelectAnAction->SetCaption(L"Select an Action");
  llCreateRestorePoint = NewComponent<TLinkLabel>(this, L"llCreateRestorePoint");
  llCreateRestorePoint->SetParent(this);
  llCreateRestorePoint->SetBounds(24, 48, 162, 20);
  llCreateRestorePoint->SetCaption(L"Create Restore Point");
  btnViewSystemRestore = NewComponent<TLinkLabel>(this, L"btnViewSystemRestore");
  btnViewSystemRestore->SetParent(this);
  btnViewSystemRestore->SetBounds(24, 76, 162, 20);
  btnViewSystemRestore->SetCaption(L"View System Restore");
  btnSettings = NewComponent<TLinkLabel>(this, L"btnSettings");
  btnSettings->SetParent(this);
  btnSettings->SetBounds(24, 104, 162, 20);
  btnSettings->SetCaption(L"Settings");

  lblRestoreCenter = NewComponent<TLabel>(this, L"lblRestoreCenter");
  lblRestoreCenter->SetParent(this);
  lblRestoreCenter->SetBounds(200, 16, 384, 20);
  lblRestoreCenter->SetCaption(L"Restore Center");
  lvBackup = NewComponent<TListView>(this, L"lvBackup");
  lvBackup->SetParent(this);
  lvBackup->SetBounds(200, 44, 384, 256);
  lvBackup->SetViewStyle(TViewStyle::vsReport);
  lvBackup->SetReadOnly(true);
  lvBackup->SetRowSelect(true);
  lvBackup->SetSmallImages(FHost.SmallImages);
  TListColumn& dateColumn = lvBackup->Columns().Add();
  dateColumn.SetCaption(L"Datetime");
  dateColumn.SetWidth(180);
  TListColumn& changesColumn = lvBackup->Columns().Add();
  changesColumn.SetCaption(L"Changes");
  changesColumn.SetAutoSize(true);

  btnRestore = NewComponent<TButton>(this, L"btnRestore");
  btnRestore->SetParent(this);
  btnRestore->SetBounds(200, 312, 120, 28);
  btnRestore->SetCaption(L"Restore");
  btnDelete = NewComponent<TButton>(this, L"btnDelete");
  btnDelete->SetParent(this);
  btnDelete->SetBounds(332, 312, 120, 28);
  btnDelete->SetCaption(L"Delete Backup");
  btnClose = NewComponent<TButton>(this, L"btnClose");
  btnClose->SetParent(this);
  btnClose->SetBounds(464, 312, 120, 28);
  btnClose->SetCaption(L"&Close");
  btnClose->SetModalResult(mr::Cancel);

  pnlLoading = NewComponent<TPanel>(this, L"pnlLoading");
  pnlLoading->SetParent(this);
  pnlLoading->SetBounds(180, 150, 240, 60);
  pnlLoading->SetVisible(false);
  // Owned by the window, so that the language data reaches it.
  lblLoading = NewComponent<TLabel>(this, L"lblLoading");
  lblLoading->SetParent(pnlLoading);
  lblLoading->SetBounds(16, 20, 208, 20);
  lblLoading->SetCaption(L"Restore point creating...");

  llCreateRestorePoint->OnClick = [this](TObject& aSender) { llCreateRestorePointClick(aSender); };
  btnViewSystemRestore->OnClick = [this](TObject& aSender) { btnViewSystemRestoreClick(aSender); };
  btnSettings->OnClick = [this](TObject& aSender) { btnSettingsClick(aSender); };
  btnRestore->OnClick = [this](TObject& aSender) { btnRestoreClick(aSender); };
  btnDelete->OnClick = [this](TObject& aSender) { btnDeleteClick(aSender); };

  CLMultiLang1 = NewComponent<TCLMultiLang>(this, L"CLMultiLang1");
  if (TCLEngine* engine = GetCLEngine())
    CLMultiLang1->SetLanguageData(engine->LanguageData());
  Loaded();
  FormCreate();
}

void TfrmRestore::FormCreate() {
  const bool loaded = FCenter.Load(GetCLSettings().GetSettingInteger(L"Backup.MaxBackup"));
  FillList();
  if (!loaded)
    ShowMessage(FCenter.IndexUnreadable() ? L"MSGBox.BackupIndexReadError"
                                          : L"MSGBox.BackupIndexError",
                TMsgDlgType::mtWarning, {FCenter.LastError()});
}

void TfrmRestore::FillList() {
  lvBackup->Items().Clear();
  FBkFileNames.clear();
  for (const TBackupRow& row : FCenter.Rows()) {
    TListItem& item = lvBackup->Items().Add();
    item.SetCaption(row.DateTime);
    item.SubItems().Add(row.Changes);
    item.SetImageIndex(kBackupImage);
    FBkFileNames.push_back(row.FileName);
  }
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
  const TRestoreResult result = FCenter.Restore(row);
  if (!result.Started) {
    ShowMessage(L"MSGBox.RestoreFailed", TMsgDlgType::mtWarning);
    return;
  }
  // Even a partial restore, or one whose editor failed or did not end in time, may have put
  // findings back, so every topic is to be checked again. What counts is what the registry holds.
  if (FHost.Engine != nullptr)
    FHost.Engine->ResetStatus();
  if (result.Verified == result.Entries) {
    ShowMessage(L"MSGBox.RestoreSuccessed", TMsgDlgType::mtInformation);
    return;
  }
  ShowMessage(L"MSGBox.RestoreIncomplete", TMsgDlgType::mtWarning,
              {std::to_wstring(result.Entries - result.Verified), std::to_wstring(result.Entries)});
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
