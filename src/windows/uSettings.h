#pragma once
// The settings window: which topics of each scan category are used, the two system-optimisation
// profiles, the automated scan and sweep, update checking and the number of backups. A
// navigation tree on the left chooses the page; OK and Apply store the choices, Cancel stores
// nothing, Recommended sets the controls to the recommended values without storing them. The
// page "Exclusions" lists the places no scan reports and no repair changes, to add, change and
// remove; they are stored with the other choices. The Privacy Sweep page also takes the community
// rules (a Winapp2 file) the user chooses or fetches; their entries that apply to this computer
// form the tree's root "Applications", by category, each one unticked until the user ticks it.

#include "appengine/FigWinapp2Source.h"
#include "components/CLControls.h"
#include "components/CLListControls.h"
#include "engine/FigExclusions.h"

#include <map>
#include <memory>
#include <string>

class TFigEngine;
class TCLMultiLang;

class TfrmSettings : public TForm {
public:
  // The lists are built from aEngine's topics; it must outlive the window.
  TfrmSettings(TComponent* aOwner, TFigEngine& aEngine);

  // Shows the page of the number (0-5, 10-15) and selects its node in the tree, where it has one.
  // Other numbers do nothing.
  void SetPage(int aState);
  // The number of the page shown.
  int Page() const { return FPage; }
  // True from creation until the window has been shown.
  bool Init() const { return FInit; }

  void FormShow(TObject& Sender);
  void Save();
  void btnRecommendClick(TObject& Sender);
  // A press on a privacy node with children gives every child the node's tick.
  void tvPSListMouseDown(TObject& Sender, TMouseButton aButton, TShiftState aShift, int aX, int aY);
  void tvSettingsListMouseUp(TObject& Sender, TMouseButton aButton, TShiftState aShift, int aX,
                             int aY);
  // The user ticks a node of the privacy tree. Under "Applications" a category or the root passes
  // its tick to every entry below it, and an entry with a warning is ticked only when the user,
  // shown the warning, says yes.
  void tvPSListCheckClick(TTreeNode& aNode);
  // Asks for a rule file and takes it at once; another file's entries replace the tree's.
  void btnWinapp2ChooseClick();
  // Fetches the published rule file; once it arrives as Winapp2 its entries are taken.
  void btnWinapp2FetchClick();

  TTreeView* tvSettingsList;
  TPanel* pnlGeneralSettings;
  TPanel* pnlUpdate;
  TPanel* pnlBackup;
  TPanel* pnlIgnoreList;
  TPanel* pnlUserInterface;
  TPanel* pnlRegistryFix;
  TPanel* pnlPrivacySweep;
  TPanel* pnlJunkFilesClean;
  TPanel* pnlSystemOptimization;
  TPanel* pnlAutoScan;
  TPanel* pnlAutoSweep;

  TCheckBox* cbStartup;
  TCheckBox* cbMinimize;
  TCheckBox* cbCleanedShutdown;
  TCheckBox* cbShowGuide;
  TCheckBox* cbShowBalloon;
  TButton* btnClearShowAgainFlag;
  TCheckListBox* lbRegistryFixList;
  TTreeView* tvPSList;
  TLabel* lblWinapp2File;
  TEdit* edtWinapp2File;
  TButton* btnWinapp2Choose;
  TButton* btnWinapp2Fetch;
  // The rule file's version and entry count, or why it cannot be used or fetched.
  TLabel* lblWinapp2Info;
  TCheckListBox* lbJunkFiles;
  TLabel* lblSOText;
  TLabel* lblSONote;
  // Said when the chosen usage or network has no optimisation of its own.
  TLabel* lblSONothing;
  // The optimisations the chosen profiles use; the link opens Microsoft's description of the
  // selected one.
  TTreeView* tvSOTopics;
  // The selected optimisation's whole caption, wrapped.
  TLabel* lblSOCaption;
  TLinkLabel* llSOReference;
  TComboBox* cbSOCO;
  TComboBox* cbSONO;
  TLinkLabel* llSOHelp;
  TRadioButton* cbASEnabled;
  TRadioButton* cbASDisabled;
  TPanel* pnlASMode;
  TRadioButton* cbASSModeOnce;
  TRadioButton* cbASSModeEveryDay;
  TRadioButton* cbASSModeEveryWeek;
  TRadioButton* cbASSModeEveryMonth;
  TSpinEdit* edtASHour;
  TSpinEdit* edtASMin;
  TCheckListBox* lbASAction;
  TCheckBox* cbASWLogin;
  TCheckBox* cbASWLogoff;
  TCheckBox* cbAutoUpdate;
  TSpinEdit* edtMaxBackupFile;
  TLabel* lblExclusionsText;
  TTreeView* tvExclusions;
  TEdit* edtExclusion;
  TButton* btnExclusionAdd;
  TButton* btnExclusionChange;
  TButton* btnExclusionRemove;
  // Why a place was refused, or that the stored list is damaged and stays as it is.
  TLabel* lblExclusionsProblem;
  TButton* btnOk;
  TButton* btnApply;
  TButton* btnCancel;
  TButton* btnRecommend;
  TCLMultiLang* CLMultiLang1;

private:
  void CreatePages();
  void CreateControls();
  void ConnectControls();
  void BuildLists();
  void LoadValues();
  void SetAutoScanControlsEnabled(bool aEnabled);
  TRadioButton* ModeRadio(int aMode) const;
  // Ticks every privacy root whose children are all ticked (also one without children).
  void TickFullRoots();
  void ShowOptimizations();
  // The community rules (uSettingsApplications.cpp): read the chosen file into the engine and
  // rebuild the "Applications" branch, keeping the ticks the user gave and did not save yet.
  void LoadApplications();
  void BuildApplications();
  bool InApplications(const TTreeNode& aNode) const;
  // A category or the root is ticked when every entry below it is.
  void TickApplicationGroups();
  void ShowWinapp2Source(const std::wstring& aProblem);
  void ShowOptimizationReference();
  // The exclusions page (uSettingsExclusions.cpp).
  void LoadExclusions();
  void ShowExclusions(int aSelected);
  int SelectedExclusion() const;
  void EditExclusion(bool aAdd);
  void RemoveExclusion();
  // Writes the list when it changed; false, with the user told, when it cannot be written.
  bool SaveExclusions();

  TFigEngine& FEngine;
  bool FInit = true;
  int FPage = -1;
  std::map<int, TPanel*> FPages;
  std::map<int, TTreeNode*> FPageNodes;
  std::map<const TTreeNode*, int> FNodePages;
  TFigExclusions FExclusions;
  TTreeNode* FApplications = nullptr;
  TWinapp2Source FWinapp2Source;
  std::unique_ptr<TWinapp2Fetch> FWinapp2Fetch;
  bool FExclusionsChanged = false;
};
