// The program's built-in English texts, in the form of a language file: a translator copies
// this text into "<Language>.lan" and translates the values. "<BR>" is a line break, "<SP>" a
// blank, "{AppName}" the program's name and "{1}", "{2}", ... the values the program fills in.
//
// [LibRes] holds the framework's texts, [AppRes] the program's, [SkinRes] those of the skinned
// controls, and one section per window its controls' captions ("component.Property").

#include "components/CLMultiLang.h"

namespace {

constexpr std::wstring_view kEnglish = LR"lan([Info]
Language=English
Translator=Kestrova
Version=1.0

[SkinRes]
MI_CLOSECAPTION=Close
MI_MAXCAPTION=Maximize
MI_MINCAPTION=Minimize
MI_RESTORECAPTION=Restore
MI_ROLLUPCAPTION=Roll Up
MI_TRAYCAPTION=Minimize to Tray
MSG_BTN_ABORT=&Abort
MSG_BTN_CANCEL=Cancel
MSG_BTN_IGNORE=&Ignore
MSG_BTN_NO=&No
MSG_BTN_OK=OK
MSG_BTN_RETRY=&Retry
MSG_BTN_YES=&Yes
MSG_CAP_CONFIRM=Confirm
MSG_CAP_ERROR=Error
MSG_CAP_INFORMATION=Information
MSG_CAP_SHOWFLAG=Do not display this message again
MSG_CAP_WARNING=Warning

[LibRes]
btnCancel.Caption=Cancel
btnOk.Caption=OK
cbAutoCheckUpdate.Caption=Check for update automatically
lblSupport.Caption=Support
lblTimer.Caption=This window will close in {1} sec(s)...
Settings.Unreadable=Your settings could not be read from "{1}"; another program may be using the file. {AppName} runs with its default settings this time and will not save changes to them, so that the file stays as it is.
TfrmCLAboutForm.Caption=About {AppName}
TfrmCLAboutForm.CopyRightLine1={AppName}
TfrmCLAboutForm.CopyRightLine2=Version : {1}
TfrmCLAboutForm.CopyRightLine3={1} is tranlated by {2}
TfrmCLUpdateForm.Caption=Update {AppName}
Update.Connecting=Connecting to the update server...
Update.LastVersionAlready=You already have the latest version of {AppName}.
Update.NetError=The update server could not be reached. Your computer may be offline, or the server is busy; please try again later.

[AppRes]
AppName=Kestrova
CLI.BackupDetailHeadings=Kind|Name or size|Place
CLI.BackupFile=Backup file: {1}
CLI.BackupHeadings=No.|Datetime|Changes|File
CLI.BackupsFailed=The backups cannot be listed: {1}
CLI.CureFailed=The repair did not complete: {1}
CLI.ExclusionAdded=Excluded: {1}
CLI.ExclusionHeadings=No.|Place
CLI.ExclusionRemoved=No longer excluded: {1}
CLI.FindingHeadings=No.|Checked|Category|Reason|Message|Location|Status
CLI.No=no
CLI.NoBackups=There are no backups.
CLI.NoExclusions=There are no exclusions.
CLI.NoSuchBackup=There is no backup number {1}; {2} backup(s) are listed.
CLI.NoSuchExclusion=There is no exclusion number {1}; {2} exclusion(s) are listed.
CLI.Repairing=Repairing {1} of {2}...
CLI.RestoreIncomplete={1} of the {2} entries of {3} are not as the backup holds them:
CLI.RestoreFiles={1} of the {2} files are restored and checked; {3} kept as they were, {4} failed:
CLI.RestoreFileKept={1}: a file is there again; it was kept as it is
CLI.RestoreSealBroken=The backup {1} was changed after its repair run wrote it, or another program put it there; it is not restored.
CLI.RestoreUnchecked=The backup {1} has no seal that can be checked (an older version made it, or the seal key could not be read), so nothing tells whether another program changed it since. Give --unchecked to restore it anyway.
CLI.Undo={1} files ({2} bytes) can be restored after the repair; {3} files ({4} bytes) are deleted for good.
CLI.RestoreVerified=All {1} entries of {2} are restored.
CLI.RunTooLong=The run did not end in time and was stopped.
CLI.Status.csCured=Cured
CLI.Status.InUse=In use
CLI.Status.Skipped=Skipped: {1}
CLI.Status.csIgnored=Ignored
CLI.Status.csUncured=Not cured
CLI.Summary=Checked {1} places ({2} registry items, {3} files of {4} bytes); found {5} problem(s) ({6} registry items, {7} files of {8} bytes).
CLI.TopicHeadings=Topic|Category|Rule|Enabled|Locations
CLI.Yes=yes
Cure.NotBackedUp=its backup could not be written, so it was left as it was
Cure.NotChanged=Windows did not allow the change, or it is no longer where it was found
Cure.NotImported=the registry editor did not apply it
Cure.NotReached=the repair ended before it
Cure.Kept=it may hold bookmarks, passwords or your own files
Cure.Excluded=it is on your list of exclusions
Exclusions.Damaged=The list of exclusions {1} is damaged ({2}), so it is left as it is. The places of it that can be read are still excluded; correct or remove the file to change the list.
Exclusions.DamagedLine=line {1} is no place
Exclusions.Unreadable=it cannot be read as text
Exclusions.Refused="{1}" cannot be excluded: {2}.
Exclusions.SaveFailed=The list of exclusions could not be saved: {1}
Exclusions.eeEmpty=no place is given
Exclusions.eeRegistryRoot=a registry place starts with its root key by the long name, such as HKEY_CURRENT_USER
Exclusions.eeValueName=a value name must follow "|" (write "|@" for the default value)
Exclusions.eeNotFullPath=it is neither a registry key (HKEY_...) nor a full path such as C:\Folder, \\server\share\Folder or %LocalAppData%\Folder
Exclusions.eeBadCharacter=it holds a line break or a character no path may hold (< > " |)
Exclusions.eeBadPart=one of its parts is empty, "." or ".."
Exclusions.eeWildcardPart=* and ? are allowed in the last part only
Cure.KeptWarning={1} (left unticked: it may hold bookmarks, passwords or your own files)
Cure.ProgramRunning={1} is running
Cure.InUse=it is open in another program; close that program and repair again
Cure.NotRepaired={1} - not repaired: {2}
Cannot create restore point.=Cannot create restore point.
EMAIL.Body=Hello,<BR><BR>I use {AppName} to keep my computer clean and fast. Have a look at it.
EMAIL.Subject=Try {AppName}
MsgBox.LoadResourceError=Some of the program's pictures could not be loaded. Please reinstall {AppName}.
MsgBox.SelectAutoScanItemOrDisabledAutoScan=Please select at least one action for the automated scan. The automated scan has been disabled.
MSGBox.BackupIndexError=The list of backups could not be saved, so nothing was changed: {1}
MSGBox.BackupIndexReadError=The list of backups could not be read, so nothing was changed: {1}
MSGBox.CloseProgram=Close {1} to clean {2}. Choose Retry once it is closed, or Ignore to skip these items this time.
MSGBox.CureAfterScan=Do you want to cure these right now?
MSGBox.CureImportFailed=The system optimization changes were not applied: {1}
MSGBox.CureUndo=After this repair, {1} files ({2}) can be restored from the Restore Center. {3}Do you want to go on?
MSGBox.CureFilesNoUndo={1} files ({2}) will be deleted for good: their topics keep no copy, or they do not fit the room set for backups.
MSGBox.CureSweepNoUndo=The recycle bin, the DNS cache and the clipboard are emptied by the sweep helper; that cannot be undone.
MSGBox.CureNotStarted=Nothing was repaired, because the backup could not be prepared: {1}
MSGBox.NewsTemplateError=The news page cannot be shown: {1}
MSGBox.NewsTemplateInvalid=The news page template {1} is damaged and cannot be shown: {2}
MSGBox.NoCureItemSelected=Please select the items to repair.
MSGBox.NoRestoreSelected=Please select a backup first.
MSGBox.NoScanItemSelected=Please select something.
MSGBox.RestoreFailed=The backup could not be restored.
MSGBox.RestoreIncomplete={1} of the {2} changes of this backup could not be restored. The registry may not allow them to be written.
MSGBox.RestorePointCreated=The restore point has been created.
MSGBox.RestoreFiles=The registry changes are restored, and {1} of the {2} files of this backup. {3} files were left as they are, because a file is at their place again; {4} files could not be restored:{5}
MSGBox.RestoreSealBroken=This backup was changed after its repair run wrote it, or another program put it there. It is not restored.
MSGBox.RestoreUnchecked=This backup has no seal that can be checked: an older version made it, or the seal key could not be read. Nothing tells whether another program changed it since. Restore it anyway?
MSGBox.RestoreSuccessed=The backup has been restored.
MSGBox.RestoreWhileRepairing=A repair is running. Please restore the backup when it has finished.
MSGBox.RSTRUI=The System Restore program was not found on this computer.
MSGBox.SettingsNotSaved=The settings could not be saved and hold only until the program ends: {1}
MSGBox.ThereIsNoItemsToCure=No problems were found. Your computer is clean.
MSGBox.UtilitiesFileError=The list of tools {1} cannot be read: {2}
MsgBox.Winapp2Warning=The rules for "{1}" come with a warning: {2} Use them anyway?
News.LinkHelp=Help Center
News.LinkHome=Home Page
News.LinkSupport=Support
Reason.frActiveXAppIDNotExists=ActiveX AppID not exists
Reason.frActiveXEmptyKey=ActiveX is empty
Reason.frActiveXServerCmdNotExists=ActiveX Server Command not exists
Reason.frActiveXTypeLibNotExists=ActiveX TypeLib not exists
Reason.frAppPathNotExists=Application Path not exists
Reason.frDriverNotFound=Driver not found
Reason.frEmptyKey=Empty Key
Reason.frEmptyUninstallInfo=Uninstall info is empty
Reason.frFontNotFound=Font not found
Reason.frHelpFileNotFound=Help file not found
Reason.frHistoryNMRU=Start menu 'Run' history
Reason.frIEStartPageIsNotBlank=IE start page is not blank.
Reason.frJunkFile=Junk file
Reason.frNeedRegistryBoostOrFix=Need registry boost or fix
Reason.frNeedSweep=Need sweep.
Reason.frNoAppOpenWithFile=No application supports this file type
Reason.frRegistryHistory=Private information or history
Reason.frSharedDllIsNotUsed=Shared DLL is not used
Reason.frSharedDllNotFound=Shared DLL not found
Reason.frShortcutLinkError=Link address of Shortcut error
Reason.frStartupItemNotCorrect=Startup item not correct.
Reason.frUninstallFileNotExists=Uninstaller file not exists
Restore.Bytes={1} bytes
Restore.DefaultValue=(Default)
Restore.DetailsUnreadable=The rest cannot be shown: {1}
Restore.KindFile=File
Restore.KindFolder=Folder
Restore.KindKey=Registry key
Restore.KindValue=Registry value
Restore.MoreChanges=... and {1} more registry changes
Restore.MoreFiles=... and {1} more files and folders
Restore.RemovedByRestore=removed by a restore
Restore.WindowsFile=it lies where Windows keeps its own files, and no restore writes there
Settings.Applications=Applications
Result.CurrentPC=Current PC.
SState.ScanFinished=Scan finished.
State.AutoScanSkipped=Automatic scan skipped: the findings of the last scan wait for your decision.
State.Fixed=Fixed.
State.NotAllRepaired=Some items could not be repaired. They are still listed.
State.NotRepaired={1} fixed, {2} not repaired.
State.NotRepairedInUse={1} fixed, {2} not repaired, {3} left in use.
State.NoProblem=No problem.
State.Ready=Ready
State.Result=problem(s).
State.Scaned=Scanned
State.Scanning=Scanning...
State.TopicsLoaded=Scan Items Loaded
Settings.SONetworkAddsNothing=Choosing this network adds no optimisation of its own.
Settings.SOUsageAddsNothing=Choosing this computer usage adds no optimisation of its own.
SettingsTree.AutoScan=Automated Scan
SettingsTree.AutoSweep=Automated Sweep
SettingsTree.Backup=Backup
SettingsTree.General=General Settings
SettingsTree.IgnoreList=Exclusions
SettingsTree.JunkFiles=Junk Files Removal
SettingsTree.Maintenance=Windows Maintenance
SettingsTree.PrivacySweep=Privacy Sweep
SettingsTree.RegistryFix=Registry Clean
SettingsTree.SystemOptimization=System Optimization
SettingsTree.Update=Update
SettingsTree.UserInterface=User Interface
Summary.AllCount=All Scanned
Summary.FileCount=Files
Summary.FileSizeCount=File Size
Summary.MatchedAllCount=All Matched
Summary.MatchedFileCount=Matched Junk Files
Summary.MatchedFileSizeCount=Matched Junk Files Size
Summary.MatchedRegItemCount=Matched Registry Items
Summary.RegistryItemCount=Registry Items
Tips.JunkFilesClean=Remove all garbage files above to release your hard disk and keep your computer clean. Uncheck the box if you do not wish to clear an item.
Tips.PrivacySweep=The above items are traces of your online and offline activities. Remove them to enhance the system and protect your privacy. Uncheck the box if you decide not to remove an item.
Tips.RegistryFix=The items above are invalid registry entries that might be causing your PC issues. You can check the detailed info to decide whether to erase them. Uncheck the box if you decide not to delete an item.
Tips.SystemOptimization=The items above are detected as the obstruction of your system. Setup them to keep your system always at the best performance. Uncheck the box if you do not want to set an item.
Title.JunkFilesClean=Junk Files Removal
Title.PrivacySweep=Privacy Sweep
Title.RegistryFix=Registry Clean
Title.SystemOptimization=System Optimization
TopicDb.Error=The topic database cannot be used: {1}
TopicDb.NoTopics=the file holds no topic.
Winapp2.BadExcludeKey=Line {1}: an exclusion is written FILE|folder\|name, PATH|folder\|pattern or REG|key; it was skipped: {2}
Winapp2.BadFileKey=Line {1}: a FileKey is written folder|patterns, optionally followed by |RECURSE or |REMOVESELF; it was skipped: {2}
Winapp2.BadPath=Line {1}: the folder is not a full path (a drive, a network path or a variable such as %AppData%), or it leads out of its folder with ".."; the key was skipped: {2}
Winapp2.BadRegistryKey=Line {1}: a registry key needs a root (HKCU, HKLM, HKU, HKCR or HKCC), a key below it and, after a "|", a value name when one is given; it was skipped: {2}
Winapp2.BadValue=Line {1}: this key cannot have this value; it was skipped: {2}
Winapp2.Category.3001=Internet Explorer
Winapp2.Category.3005=Microsoft Edge (legacy)
Winapp2.Category.3006=Microsoft Edge
Winapp2.Category.3021=Applications
Winapp2.Category.3022=Internet
Winapp2.Category.3023=Multimedia
Winapp2.Category.3024=Utilities
Winapp2.Category.3025=Windows
Winapp2.Category.3026=Firefox
Winapp2.Category.3027=Opera
Winapp2.Category.3028=Safari
Winapp2.Category.3029=Google Chrome
Winapp2.Category.3030=Thunderbird
Winapp2.Category.3031=Windows Store
Winapp2.Category.3033=Vivaldi
Winapp2.Category.3034=Brave
Winapp2.Category.3035=Opera GX
Winapp2.Category.3036=Spotify
Winapp2.Category.3037=Avast Secure Browser
Winapp2.Category.3038=AVG Secure Browser
Winapp2.Category.3039=Arc Browser
Winapp2.Category.3040=iTunes
Winapp2.Category.3042=WhatsApp
Winapp2.Category.3043=Norton Private Browser
Winapp2.Category.3044=Avira Secure Browser
Winapp2.ChooseFilter=Winapp2 rule files (*.ini)|*.ini|All files (*.*)|*.*
Winapp2.ChooseTitle=Choose a Winapp2 rule file
Winapp2.DuplicateEntry=Line {1}: an entry of this name came before; this one was skipped: {2}
Winapp2.FetchFailed=The community rule file could not be downloaded from {1}; the copy you had is kept.
Winapp2.Fetching=Downloading the community rule file...
Winapp2.FetchNoAddress=No address to download the community rule file from is set.
Winapp2.FetchNotStored=The downloaded rule file could not be stored as "{1}", and the copy you had is kept: {2}
Winapp2.FetchRefused=The file downloaded from {1} was not taken, and the copy you had is kept. {2}
Winapp2.Guarded=Line {1}: this rule would clean a drive, the Windows folder, a program-files folder, the user's profile or documents as a whole, or a key of Windows itself; it was refused: {2}
Winapp2.GivenTwice=Line {1}: the entry already has this key, and the first one holds; this one was skipped: {2}
Winapp2.Missing=The rule file "{1}" does not exist.
Winapp2.NoDeletionKey=Line {1}: the entry names no files or registry keys to clean; it was skipped: {2}
Winapp2.NoFile=No community rule file is chosen.
Winapp2.NotAKey=Line {1}: this is not a key (there is no "="); it was skipped: {2}
Winapp2.NotAnEntry=Line {1}: a section whose name does not end with " *" is no entry; it was skipped with its keys: {2}
Winapp2.NotWinapp2=The file "{1}" is not a Winapp2 file: it holds no entry (a section whose name ends with " *"). Nothing was read from it.
Winapp2.OutsideEntry=Line {1}: a key outside any entry was skipped: {2}
Winapp2.Summary=Version {1}: {2} entries, {3} of them for this computer.
Winapp2.SummaryNoVersion=No version given: {2} entries, {3} of them for this computer.
Winapp2.TooLarge=The rule file "{1}" is too large to be a Winapp2 file.
Winapp2.UnknownKey=Line {1}: Winapp2 has no key of this name; it was skipped: {2}
Winapp2.Unreadable=The rule file "{1}" could not be read: {2}

[TfrmHome]
lblAutomatedScan.Caption=Automated Scan:
lblAutomatedSweep.Caption=Automated Sweep:
lblComputerOptimization.Caption=Computer Optimization:
lblDatabaseDate.Caption=Database Date:
lblLastScan.Caption=Last Scan:
lblNetworkOptimization.Caption=Network Optimization:
lblProgramVersion.Caption=Program Version:
lblStatistics.Caption=Statistics:
llViewSS.Caption=View
tsLastestNews.Caption=Latest News
tsOverview.Caption=Overview

[TfrmMain]
actAbout.Caption=About
actAlwaysOnTop.Caption=Always On Top
actCleanNow.Caption=Clean Now!
actCure.Caption=Cure
actExit.Caption=Exit
actHelpCenter.Caption=Help Center
actHome.Caption=Home
actHomePage.Caption=Home Page
actMaintainWindows.Caption=Advanced
actOpen.Caption=Open
actRestore.Caption=Restore
actScan.Caption=Scan!
actSettings.Caption=Settings
actStop.Caption=Stop
actStopCure.Caption=Stop
actTools.Caption=Utilities
actUpdate.Caption=Check For Update
actViewRestorePoint.Caption=View System Restore
frmMain.Caption={AppName}
llRestore.Caption=Restore
llSettings.Caption=Settings
llTellAFriend.Caption=Tell a Friend
llUpdate.Caption=Check For Update
miLanguage.Caption=Language
miSkin.Caption=Skin
spTray.Hint={AppName}

[TfrmMaintain]
cbJunkFilesClean.Caption=Junk Files Removal
cbPrivacySweep.Caption=Privacy Sweep
cbRegistryFix.Caption=Registry Clean
cbSystemOptimization.Caption=System Optimization
lblDescJunkFiles.Caption=Clear off junk files and release more disk space
lblDescPrivacySweep.Caption=Clear history of web surfing and computer use
lblDescRegistryFix.Caption=Cleanup registry to improve PC performance
lblDescSystemOptimization.Caption=Repair and optimize system configuration
lblMaintainText.Caption=Scan, clean and fix to speed up your computer. It includes: Registry Clean, Privacy Sweep, Junk Files Removal and System Optimization.
lblMaintainTitle.Caption=Windows Maintenance
tsFunction.Caption=Functions
tsSettings.Caption=Settings

[TfrmRestore]
btnClose.Caption=&Close
btnDelete.Caption=Delete Backup
btnRestore.Caption=Restore
btnSettings.Caption=Settings
btnViewSystemRestore.Caption=View System Restore
frmRestore.Caption=Restore Center
lblDetails.Caption=What the selected backup brings back:
lblLoading.Caption=Restore point creating...
lblRestoreCenter.Caption=Restore Center
lblSelectAnAction.Caption=Select an Action
llCreateRestorePoint.Caption=Create Restore Point
lvBackup.Columns[0].Caption=Datetime
lvBackup.Columns[1].Caption=Changes
lvBackup.Columns[2].Caption=Files
lvDetails.Columns[0].Caption=Kind
lvDetails.Columns[1].Caption=Name or size
lvDetails.Columns[2].Caption=Place

[TfrmScanedResult]
btnCancel.Caption=&Cancel
btnOk.Caption=&OK
btnSelectAll.Caption=Select All
btnUnSelectAll.Caption=Discard All
frmScanedResult.Caption=Detailed Results
lblPosition.Caption=Position of the selected item:
lvResult.Columns[0].Caption=Item Name
lvResult.Columns[1].Caption=Description
lvResult.Columns[2].Caption=Risk Level
lvResult.Columns[3].Caption=Position
miIgnoreFolder.Caption=Ignore this folder/key
miIgnoreItem.Caption=Ignore this item

[TfrmSettings]
btnApply.Caption=&Apply
btnCancel.Caption=&Cancel
btnClearShowAgainFlag.Caption=Clear Show Again Flag
btnExclusionAdd.Caption=Add
btnExclusionChange.Caption=Change
btnExclusionRemove.Caption=Remove
btnOk.Caption=&OK
btnRecommend.Caption=&Recommended
btnWinapp2Choose.Caption=Choose...
btnWinapp2Fetch.Caption=Download
cbASDisabled.Caption=Disabled automated scan
cbASEnabled.Caption=Perform computer scan and cure at a scheduled time
cbASSModeEveryDay.Caption=Every Day
cbASSModeEveryMonth.Caption=Every Month
cbASSModeEveryWeek.Caption=Every Week
cbASSModeOnce.Caption=Launch once
cbASWLogin.Caption=Automatically sweep privacy when logging on computer
cbASWLogoff.Caption=Automatically sweep privacy when logging off computer
cbAutoUpdate.Caption=Check for update automatically (Recommended)
cbCleanedShutdown.Caption=Prompt to shutdown computer when clean job is done
cbMinimize.Caption=Minimize to system tray when program is closed
cbShowBalloon.Caption=Show balloon tips in system tray
cbShowGuide.Caption=Show guide window
cbSOCO.Items=Basic<BR>Daily Use (Home User)<BR>Entertainment (Home User)<BR>Top Performance (Home User)<BR>Office Work (Business User)<BR>Server (Business User)<BR>Computing (Business User)<BR>
cbSONO.Items=Basic<BR>DSL<BR>LAN<BR>Dial-Up Modem<BR>
cbStartup.Caption=Execute at Windows Startup
frmSettings.Caption=Settings
lbASAction.Items=Registry Fix<BR>Junk Files Clean<BR>System Optimization<BR>
lblASTime.Caption=Launch time:
lblExclusionsText.Caption=Kestrova never reports or changes these places. Write a registry key as HKEY_CURRENT_USER\Software\Example (with everything below it), a value as ...\Example|Name (|@ for the default value), a folder or file as C:\Some\Folder, and a mask as C:\Some\Folder\*.log. Environment variables such as %LocalAppData% may be used.
lblMaxBackupFile.Caption=Number of backups to keep:
lblSOCO.Caption=Computer usage:
lblSONO.Caption=Network:
lblSONote.Caption=Some changes take effect only after the next sign-in or restart.
lblSOText.Caption=Each optimisation changes one Windows setting. The computer usage and network you choose below decide which ones a scan offers; the list shows them, and a link leads to Microsoft's description of the selected one.
lblWinapp2File.Caption=Community rules (Winapp2.ini):
llSOHelp.Caption=I need help!

[TfrmStatistics]
btnClear.Caption=Clear
btnClose.Caption=&Close
frmStatistics.Caption=Statistics
lvStatistics.Columns[0].Caption=Item
lvStatistics.Columns[1].Caption=Summary

[TfrmUtilities]
lblToolsText.Caption=Here lists a series of small utilities for computer optimization.
lblToolsTitle.Caption=Tools
)lan";

} // namespace

std::wstring_view CLBuiltInEnglish() {
  return kEnglish;
}

TCLMultiLangData& CLBuiltInEnglishData() {
  // Never freed: windows may be freed after static objects are.
  static TCLMultiLangData* data = [] {
    auto* english = new TCLMultiLangData(nullptr);
    english->DefaultData().LoadFromString(kEnglish);
    return english;
  }();
  return *data;
}
