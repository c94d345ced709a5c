#pragma once
// The application engine: the program's interface texts, window title, web addresses, skin and
// language lists and choice, and the message service that remembers a "Do not display this
// message again" answer. One engine exists per process; the first one made is the process-wide
// engine that GetCLEngine returns, through which the settings store reaches its overwrite and
// default lists.
//
// Texts come from the language data (TCLMultiLangData): the current language, falling back to
// the built-in English. The message box itself is behind ICLMessageBox, so that the service's
// decisions work without a window. GUI thread only.

#include "base/CLSettings.h"
#include "base/CLStrings.h"
#include "components/CLComponents.h"
#include "components/CLControls.h"
#include "components/CLForm.h"
#include "components/CLMessageBox.h"
#include "components/CLMultiLang.h"
#include "components/CLNonVisual.h"
#include "components/CLSkin.h"
#include "platform/PlatformTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TSingleDownloader;

// The kind of Windows the program runs on, as far as the program needs to know it.
enum class TWindowsType {
  winUnknown,
  win31,
  win95,
  win95OSR2,
  winNT,
  win98,
  win98se,
  winME,
  win2000,
  winXP,
  winXPx64,
  win2003,
  win2003R2,
  winVista,
  winVista64,
  winLonghorn
};
struct TWindowsTypeEx {
  TWindowsType OSKind = TWindowsType::winUnknown;
};
// Only 6.0 is told apart: winVista64 for a workstation on a 64-bit processor (a 32-bit process
// there sees the native architecture too), winVista for other workstations, winLonghorn for
// servers; every other version is winUnknown.
TWindowsTypeEx WindowsTypeOf(const kplat::TOSVersion& aVersion);
// The running system's kind.
TWindowsTypeEx GetWindowsTypeEx();

class TCLEngine : public TComponent, public ICLSettingsOwner, public ICLFormHost {
public:
  // aOwner is the main window.
  explicit TCLEngine(TComponent* aOwner);
  ~TCLEngine() override;

  std::wstring ClassName() const override { return L"TCLEngine"; }
  TCLEngine(const TCLEngine&) = delete;
  TCLEngine& operator=(const TCLEngine&) = delete;

  // name=value lines that beat every settings file, and those used when no file has the name
  // (created holding "Path.Skins=skins" and "Path.Languages=lang"). The setters copy the list.
  const TStringList& SettingOverwrite() const override { return FSettingOverwrite; }
  void SetSettingOverwrite(const TStringList& aList) { FSettingOverwrite = aList; }
  const TStringList& SettingDefault() const override { return FSettingDefault; }
  void SetSettingDefault(const TStringList& aList) { FSettingDefault = aList; }
  // The settings store's message that "setting.dat" could not be read.
  void TellSettingsUnreadable(const std::wstring& aFileName) override;

  // Not owned; the engine lets go of language data that is freed.
  TCLMultiLangData* LanguageData() const override { return FLanguageData; }
  // The owner, when it is a form.
  TForm* MainForm() const override;
  void SetLanguageData(TCLMultiLangData* aData);
  // Not owned; must outlive the engine or be unset first.
  void SetMessageBox(ICLMessageBox* aBox) { FMessageDlg = aBox; }

  bool Debug() const { return FDebug; }

  // --- Texts. Empty when the language data has no such name.
  std::wstring GetLibString(const std::wstring& strName) const; // section "LibRes"
  std::wstring GetAppString(const std::wstring& strName) const; // section "AppRes"
  // With "{1}", "{2}", ... replaced by the arguments.
  std::wstring GetLibStringEx(const std::wstring& strName,
                              const std::vector<std::wstring>& aArgs) const;
  std::wstring GetAppStringEx(const std::wstring& strName,
                              const std::vector<std::wstring>& aArgs) const;
  // The language's "AppName", else setting "App.Name".
  std::wstring GetAppName() const;

  // --- Title: the application name, with "  " and setting "App.Ver" when TitleIncludeVer.
  const std::wstring& AppTitle() const { return FAppTitle; }
  void SetTitleIncludeVer(bool aValue);
  // Recomposes the title; unless setting "App.NoAutoTitle" is true it becomes the owner's
  // "Caption" and OnTitleChange fires.
  void UpdateTitle();
  TNotifyEvent OnTitleChange;

  // --- Message service. With a show-again number the box offers "do not display again"; once
  // the user ticked it, nothing is shown and aDefaultResult (when non-zero) or the stored answer
  // is returned. Without a message box nothing is shown and the result is mr::None.
  TModalResult ShowMessageEx(const std::wstring& strName, const std::vector<std::wstring>& aArgs,
                             bool bLib, TModalResult aDefaultResult, TMsgDlgButtons aButtons,
                             TMsgDlgType aDlgType, int32_t aShowAgain);
  TModalResult ShowErrorMessage(const std::wstring& strError, const std::wstring& strErrorParam,
                                bool bLib);

  // --- Web addresses.
  // Setting "URL." + strPage ("%exepath%" made the program's folder), else "URL.Redirect"; with
  // aAddParams an http address gets "ACTION=" + strPage + "&" + GetURLParam() as its query.
  std::wstring GetURL(const std::wstring& strPage, bool bAddParams) const;
  // The program's identification parameters, starting with a token that makes each unique.
  std::wstring GetURLParam() const;
  void ShowPage(const std::wstring& strPage) const;
  // Opens the address in the browser. A path of the program's folder ("%exepath%\\...") opens as
  // the file address of an existing file there; any other path is refused (false).
  bool ShowPageByURL(const std::wstring& strURL) const;
  // The embedded browser's before-navigate event: a "wcme:" address is the program's own,
  // opening the page named by its PAGE parameter, and is never navigated to.
  void WebBeforeNavigate2(const std::wstring& URL, bool& Cancel) const;

  // --- Skins and languages.
  // "Default", then the "*.skn" files of the skins folder, sorted, without their last two
  // extensions; built once.
  const TStringList& GetSkinList();
  // "English", then the "*.lan" files of the languages folder, sorted, without extension; built
  // once.
  const TStringList& GetLanguageList();
  const std::wstring& Language() const { return FLanguage; }
  // Loads the named language (empty: "Default") from the languages folder, or goes back to the
  // built-in English when it has no file; a name equal to the current one, in the same case,
  // changes nothing. Stores the choice in setting "Language".
  void SetLanguage(const std::wstring& Value);
  TNotifyEvent OnLanguageChanged;

  // Not owned; the engine lets go of skin data that is freed.
  void SetSkinData(TCLSkinData* aData);
  const std::wstring& Skin() const { return FSkin; }
  // Loads the named skin (empty: "Default") from the skins folder: "<name>.skn" with the skin's
  // own window frame, else "<name>.nsf.skn" with the system's frame. Without a file that can be
  // loaded the built-in skin comes back and the name is "Default". Stores the choice in setting
  // "Skin". Nothing happens without skin data or for the current name in the same case.
  void SetSkin(const std::wstring& Value);
  TNotifyEvent OnSkinChanged;

  // The parent entries of the skin and language menus; not owned.
  TMenuItem* SkinMenuItem() const { return FSkinMenuItem; }
  void SetSkinMenuItem(TMenuItem* aItem);
  void SetLanguageMenuItem(TMenuItem* aItem);
  // Fill the parent entry with one entry per skin (language), ticked for the current one, each
  // choosing its skin (language); with one entry or none the parent entry is hidden instead.
  // Nothing without a parent entry.
  void BuildSkinMenu();
  void BuildLanguageMenu();

  // The window (an HWND) into which the about window is placed at 0,0; 0 for none.
  uintptr_t ParentHWND() const { return FParentHWND; }
  void SetParentHWND(uintptr_t aValue) { FParentHWND = aValue; }

  // --- Update check. Fired by InitPost when setting "Update.BeginAuto" is on; the program's
  // start-up sets it to the automatic check of the update window (AppUpdateAuto).
  TNotifyEvent OnUpdateCheck;

  // --- Download cache. Starts a file download of strURL into strCacheFile (its folder made
  // first) that calls onDone when the file arrived whole; an address already requested during
  // this run is ignored. DownloadtoCacheCancel detaches the completion event of every download
  // of that address (without regard to case); the downloads go on.
  using TDownloadDoneEvent =
      std::function<void(TObject& Sender, const std::wstring& aFileName, int64_t aSize)>;
  void DownloadtoCache(const std::wstring& strURL, const std::wstring& strCacheFile,
                       TDownloadDoneEvent onDone);
  void DownloadtoCacheCancel(const std::wstring& strURL);
  // The addresses requested through DownloadtoCache, in order.
  const std::vector<std::wstring>& DownloadCacheList() const { return FDownloadCacheList; }

  // --- Start-up. The engine hooks its owner form's message handler from creation to
  // destruction: it answers a second instance ("CL GetAppID", "CL CloseApp", "CL IfBusy",
  // "CL BringtoFront"), takes a command file handed over as WM_COPYDATA and delivers it to
  // OnCmdFile from a posted "CL CmdParam" (never inside the copy-data message), and notes
  // end-of-session queries.

  // Chooses the skin (setting "Skin", "Default" when empty) and the language (setting
  // "Language", "English" when empty) without firing their change events, builds both menus,
  // then posts "CL InitPost" to the owner form.
  void Loaded() override;
  // Runs from the message loop once the main form exists: fires OnLanguageChanged and
  // OnSkinChanged, recomposes the title, and delivers the first command-line argument to
  // OnCmdFile unless it is a switch. The engine is busy for a second instance until it is done.
  void InitPost();
  // Closes the splash window if it is still there.
  void SplashClose();
  // True for five minutes after the system asked whether the session may end.
  bool SessionEnding() const;
  std::function<void(const std::wstring& strFileName)> OnCmdFile;

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override;

private:
  std::wstring GetText(const std::wstring& aSection, const std::wstring& strName) const;
  std::wstring GetMessageText(const std::wstring& strName, bool bLib) const;
  // A text of the skinned controls: the skin data's, else the language's "SkinRes".
  std::wstring GetSkinResString(const std::wstring& strName) const;
  void FillSkinResStrings();
  void TickMenu(const std::vector<TMenuItem*>& aItems, const TStringList& aNames,
                const std::wstring& aName);
  void BuildMenu(TMenuItem* aParent, std::vector<TMenuItem*>& aItems, const TStringList& aNames,
                 const std::wstring& aCurrent, void (TCLEngine::*aChoose)(const std::wstring&));

  bool FDebug = false;
  // True while Loaded runs: change events are not fired then.
  bool FInLoaded = false;
  TStringList FSettingOverwrite;
  TStringList FSettingDefault;
  std::wstring FAppTitle;
  bool FTitleIncludeVer = true;
  std::wstring FSkin;
  TCLSkinData* FSkinData = nullptr;
  TStringList FSkinList;
  bool FSkinListBuilt = false;
  TMenuItem* FSkinMenuItem = nullptr;
  std::vector<TMenuItem*> FSkinMenuItems;
  std::wstring FLanguage;
  TCLMultiLangData* FLanguageData = nullptr;
  TStringList FLanguageList;
  bool FLanguageListBuilt = false;
  TMenuItem* FLanguageMenuItem = nullptr;
  std::vector<TMenuItem*> FLanguageMenuItems;
  uintptr_t FParentHWND = 0;
  std::vector<std::wstring> FDownloadCacheList;
  std::vector<TSingleDownloader*> FDownloaderList;
  ICLMessageBox* FMessageDlg = nullptr;

  void HookOwnerForm();
  void UnhookOwnerForm();
  bool WndProc(TWindowMessage& aMessage);
  // Restores the owner form from the notification area: true when it sat there.
  bool BringToFront();
  TForm* FForm = nullptr;
  TWndMethod FOrigWndProc;
  uint32_t FWM_CL_GET_APPID = 0;
  uint32_t FWM_CL_CLOSE_APP = 0;
  uint32_t FWM_CL_INITPOST = 0;
  uint32_t FWM_CL_CMDPARAM = 0;
  uint32_t FWM_CL_IF_BUSY = 0;
  uint32_t FWM_CL_BRING_TO_FRONT = 0;
  std::wstring FParamFile;
  bool FInInited = true;
  // Tick count of the last end-of-session query, when there was one.
  bool FQueryEndSession = false;
  uint64_t FQueryEndSessionTime = 0;
};

// aText with every "%exepath%" (in any case) replaced by the program's folder without its
// trailing backslash.
std::wstring ExpandExePath(const std::wstring& aText);

// The process-wide engine, or nothing while none exists.
TCLEngine* GetCLEngine();

// "App.Ver" packed for the address parameters: the text before the first blank split at ".";
// four parts a.b.c.d give a * 2^24 + (b mod 256) * 2^16 + (c mod 256) * 2^8 + (d mod 256) as
// eight upper-case hexadecimal digits, anything else "00000000".
std::wstring PackVersion(const std::wstring& aVersion);
