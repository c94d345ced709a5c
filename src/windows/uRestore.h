#pragma once
// The Restore Center: lists the backups that repair runs left, newest first and pruned to the
// user's limit each time it opens, restores one (and says whether the registry shows every entry
// back), shows what a selected one changed (its registry entries, files and folders), deletes one,
// makes a system restore point and starts the system's own restore program. The main window opens
// it modally while neither a scan nor a repair runs; it restores nothing while a repair runs.

#include "components/CLControls.h"
#include "components/CLListControls.h"
#include "cure/RestoreCenter.h"

#include <functional>
#include <string>
#include <vector>

class TFigEngine;
class TCLMultiLang;

// What the window needs of the main window.
struct TRestoreWindowHost {
  std::wstring BackupPath;
  // Its topics go back to uncured after a restore.
  TFigEngine* Engine = nullptr;
  // The main window's 16-pixel pictures; every row shows picture 5.
  TImageList* SmallImages = nullptr;
  // Opens the settings window on a page (3: backups).
  std::function<void(int aPage)> OpenSettings;
  // Whether a repair runs now: a restore then waits, as the two would change the same keys.
  std::function<bool()> RepairRunning;
};

class TfrmRestore : public TForm {
public:
  TfrmRestore(TComponent* aOwner, TRestoreWindowHost aHost);

  // Fills the list and prunes old backups (also done once by the constructor).
  void FormCreate();

  void btnRestoreClick(TObject& Sender);
  void btnDeleteClick(TObject& Sender);
  void btnSettingsClick(TObject& Sender);
  void btnViewSystemRestoreClick(TObject& Sender);
  void llCreateRestorePointClick(TObject& Sender);

  // The backup file of each row, in row order.
  const std::vector<std::wstring>& BkFileNames() const { return FBkFileNames; }

  TLabel* lblSelectAnAction;
  TLinkLabel* llCreateRestorePoint;
  TLinkLabel* btnViewSystemRestore;
  TLinkLabel* btnSettings;
  TLabel* lblRestoreCenter;
  TListView* lvBackup;
  TLabel* lblDetails;
  // What the selected backup changed: kind, name or size, place.
  TListView* lvDetails;
  TButton* btnRestore;
  TButton* btnDelete;
  TButton* btnClose;
  TPanel* pnlLoading;
  TLabel* lblLoading;
  TCLMultiLang* CLMultiLang1;

  // The details list shows at most this many registry entries and this many files and folders,
  // each followed by a row saying how many more there are.
  static constexpr size_t kDetailEntries = 500;
  static constexpr size_t kDetailFiles = 500;

private:
  void FillList();
  // Fills lvDetails with what row aRow changed; -1 empties it.
  void ShowDetails(int aRow);
  void AddDetail(const std::wstring& aKind, const std::wstring& aName, const std::wstring& aPlace);
  // The selected row, or -1 after telling the user to select one.
  int SelectedRow();

  TRestoreWindowHost FHost;
  TRestoreCenter FCenter;
  std::vector<std::wstring> FBkFileNames;
};

// "restore\rstrui.exe" in the system folder when it exists, else "rstrui.exe" there; "" when
// neither exists.
std::wstring SystemRestoreProgram();
