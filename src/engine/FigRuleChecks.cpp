// The checks of the rule styles that look at the registry or the disk.

#include "base/CLHelpers.h"
#include "base/RegNotation.h"
#include "engine/FigRule.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <vector>

using kplat::Platform;

namespace {

constexpr std::wstring_view kUninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::wstring_view kAppPathsKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
// The same lists as 32-bit programs see them.
constexpr std::wstring_view kUninstallKey32 =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::wstring_view kAppPathsKey32 =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr std::wstring_view kFileExtsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr std::wstring_view kComDlg32Key =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32";
constexpr std::wstring_view kUserAssistKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist";
constexpr std::wstring_view kEmptyMark = L"@Empty";

// Case-sensitive, as every "contains" test of the rules is.
bool Contains(const std::wstring& aText, std::wstring_view aPart) {
  return aText.find(aPart) != std::wstring::npos;
}

bool OpenForReading(kplat::TRegHandle aRoot, const std::wstring& aPath, kplat::TRegKey& aKey) {
  return aKey.Open(aRoot, aPath, kplat::TRegAccess::Read) == kplat::err::Success;
}

// A key the user may not read still exists: only "not found" counts as missing, so that a
// protected registration is never reported (and deleted) as gone.
bool KeyExists(kplat::TRegHandle aRoot, const std::wstring& aPath) {
  kplat::TRegKey key;
  const kplat::TErrorCode rc = key.Open(aRoot, aPath, kplat::TRegAccess::Read);
  return rc != kplat::err::FileNotFound && rc != kplat::err::PathNotFound;
}

// A value's text; "" when it is missing or not a string.
std::wstring ReadText(const kplat::TRegKey& aKey, const std::wstring& aName) {
  return aKey.ReadString(aName).value_or(std::wstring());
}

std::wstring LastPart(const std::wstring& aPath) {
  const size_t pos = aPath.rfind(L'\\');
  return pos == std::wstring::npos ? aPath : aPath.substr(pos + 1);
}

// The same text without regard to case, aUpper being upper-cased already: the junk-file rule
// meets every file name of a walk with it.
bool SameTextAsUpper(std::wstring_view aText, std::wstring_view aUpper) {
  if (aText.size() != aUpper.size()) {
    return false;
  }
  for (size_t i = 0; i < aText.size(); ++i) {
    if (aText[i] != aUpper[i] && kplat::UpperChar(aText[i]) != aUpper[i]) {
      return false;
    }
  }
  return true;
}

std::wstring_view FileExtension(std::wstring_view aName) {
  const size_t dot = aName.rfind(L'.');
  return dot == std::wstring_view::npos ? std::wstring_view() : aName.substr(dot);
}

// Registry data names files with variables left in ("%SystemRoot%\\Help" in an expandable
// string); as written such a path would never exist.
std::wstring Expanded(const std::wstring& aPath) {
  return Platform().System().ExpandEnvironmentStrings(aPath);
}

std::wstring FontsFolder() {
  const std::wstring folder = GetShellFolder(L"Fonts");
  // Without the shell folder every font would be looked for in the current folder.
  return folder.empty() ? GetWindowsDir() + L"Fonts" : folder;
}

} // namespace

bool TFigRuleProcessor::CheckRegistryBoostOrFix(TFigResultItem& aRet) const {
  const TRegValueText current = FormatRegValue(FRoot, FPath, FSection);
  const int line = FRegItemList.IndexOfName(current.NamePart);
  const std::wstring wanted = line < 0 ? std::wstring() : FRegItemList.ValueFromIndex(line);
  if (wanted.empty() || kplat::SameText(wanted, current.DataPart)) {
    return false;
  }
  aRet.Reason = frNeedRegistryBoostOrFix;
  // The caption says what the change does; the bare reason is only a fallback.
  aRet.Msg = FRuleCaption.empty() ? std::wstring(L"Need Reg Boost") : FRuleCaption;
  return true;
}

bool TFigRuleProcessor::CheckActiveX(TFigResultItem& aRet) const {
  const kplat::TRegHandle root = kplat::regroot::ClassesRoot;
  // The class list of either view is no class: an empty one must not be removed as an empty key.
  if (kplat::SameText(FPath, L"CLSID") || kplat::SameText(FPath, L"Wow6432Node\\CLSID")) {
    return false;
  }
  // The class key as the walk holds it; a place judged on its own opens it here.
  kplat::TRegKey opened;
  if (FOpenKey == nullptr && !OpenForReading(root, FPath, opened)) {
    return false;
  }
  const kplat::TRegKey& key = FOpenKey != nullptr ? FOpenKey->Key() : opened;
  std::vector<std::wstring> ownValues;
  if (FOpenKey == nullptr) {
    ownValues = key.ValueNames();
  }
  const std::vector<std::wstring>& values =
      FOpenKey != nullptr ? FOpenKey->ValueNames() : ownValues;
  // Only a class without values can be empty; whether it has sub-keys is asked only then, from
  // the walk's list when it made one.
  if (values.empty() || (values.size() == 1 && values[0].empty() && FName.empty())) {
    bool hasSubKeys = false;
    if (FOpenKey != nullptr && FOpenKey->SubKeysListed()) {
      hasSubKeys = !FOpenKey->SubKeyNames().empty();
    } else {
      kplat::TRegKeyInfo info;
      if (key.Info(info) != kplat::err::Success) {
        return false;
      }
      hasSubKeys = info.SubKeyCount > 0;
    }
    if (!hasSubKeys) {
      aRet.Reason = frActiveXEmptyKey;
      aRet.Msg = L"Empty key.";
      return true;
    }
  }
  // A class whose sub-keys the walk listed is looked into only for a library it names.
  const bool mayNameLibrary =
      FOpenKey == nullptr || !FOpenKey->SubKeysListed() ||
      std::any_of(FOpenKey->SubKeyNames().begin(), FOpenKey->SubKeyNames().end(),
                  [](const std::wstring& aName) { return kplat::SameText(aName, L"TypeLib"); });
  kplat::TRegKey typeLibKey;
  const std::wstring typeLib =
      mayNameLibrary && OpenForReading(key.Handle(), L"TypeLib", typeLibKey)
          ? Trim(ReadText(typeLibKey, L""))
          : std::wstring();
  bool missing = false;
  if (!typeLib.empty() && typeLib != L"{}" && !KeyExists(root, L"TypeLib\\" + typeLib)) {
    missing = true;
  } else if (FOpenKey == nullptr || FOpenKey->HasValue(L"AppID")) {
    const std::wstring appId = Trim(ReadText(key, L"AppID"));
    missing = !appId.empty() && !KeyExists(root, L"AppID\\" + appId);
  }
  if (!missing) {
    return false;
  }
  aRet.Reason = frActiveXTypeLibNotExists;
  aRet.Msg = L"TypeLib and AppID is not exists.";
  return true;
}

bool TFigRuleProcessor::CheckUninstall(TFigResultItem& aRet) const {
  // The list itself is no entry: judged as one it would be removed with every entry in it.
  if (kplat::SameText(FPath, kUninstallKey) || kplat::SameText(FPath, kUninstallKey32)) {
    return false;
  }
  if (kplat::SameText(FName, kEmptyMark)) {
    aRet.Reason = frEmptyUninstallInfo;
    aRet.Msg = L"Empty uninstall info";
    return true;
  }
  kplat::TRegKey key;
  if (!OpenForReading(kplat::regroot::LocalMachine, FPath, key) ||
      key.ValueExists(L"SystemComponent")) {
    return false;
  }
  std::wstring tested;
  if (ResolveCommandFile(ReadText(key, L"UninstallString"), tested) ||
      kplat::SameText(tested, L"MsiExec.exe")) {
    return false;
  }
  const std::wstring upper = kplat::UpperCase(tested);
  if (Contains(upper, L".EXE") || Contains(upper, L".DLL") ||
      SourceFolderExists(ReadText(key, L"InstallSource"))) {
    return false;
  }
  aRet.Reason = frUninstallFileNotExists;
  aRet.Msg = L"Uninstall file [" + tested + L"] is not exists";
  return true;
}

bool TFigRuleProcessor::CheckAppPaths(TFigResultItem& aRet) const {
  const std::wstring keyName = LastPart(FPath);
  if (kplat::SameText(FPath, kAppPathsKey) || kplat::SameText(FPath, kAppPathsKey32) ||
      kplat::SameText(keyName, L"install.exe")) {
    return false;
  }
  kplat::TRegKey key;
  OpenForReading(kplat::regroot::LocalMachine, FPath, key);
  std::wstring tested;
  if (ResolveCommandFile(FName, tested)) {
    return false;
  }
  if (Contains(kplat::UpperCase(tested), L"CMMGR32.EXE") ||
      key.ValueExists(L"RunAsOnNonAdminInstall")) {
    return false;
  }
  const std::wstring folder = ReadText(key, L"Path");
  std::wstring ignored;
  if (ResolveCommandFile(JoinCheckedPath(folder, FName), ignored) ||
      ResolveCommandFile(JoinCheckedPath(folder, keyName), ignored)) {
    return false;
  }
  aRet.Reason = frAppPathNotExists;
  aRet.Msg = L"File [" + FPath + L"] is not Exists.";
  return true;
}

bool TFigRuleProcessor::CheckFonts(TFigResultItem& aRet) const {
  if (IsBareKey() || kplat::FileExists(JoinCheckedPath(FontsFolder(), Expanded(FName)))) {
    return false;
  }
  aRet.Reason = frFontNotFound;
  aRet.Msg = L"Font not found.";
  return true;
}

bool TFigRuleProcessor::CheckSharedDlls(TFigResultItem& aRet) const {
  if (IsBareKey()) {
    return false;
  }
  if (kplat::SameText(FName, L"0")) {
    aRet.Reason = frSharedDllIsNotUsed;
    aRet.Msg = L"Shared Dll [" + FSection + L"] is not used.";
    return true;
  }
  if (kplat::FileExists(Expanded(FSection))) {
    return false;
  }
  aRet.Reason = frSharedDllNotFound;
  aRet.Msg = L"Shared Dll [" + FSection + L"] not found.";
  return true;
}

bool TFigRuleProcessor::CheckHelp(TFigResultItem& aRet) const {
  if (IsBareKey() || kplat::FileExists(JoinCheckedPath(Expanded(FName), Expanded(FSection)))) {
    return false;
  }
  aRet.Reason = frHelpFileNotFound;
  aRet.Msg = L"Help not found.";
  return true;
}

bool TFigRuleProcessor::CheckDrivers(TFigResultItem& aRet) const {
  if (IsBareKey() || kplat::FileExists(Expanded(FName))) {
    return false;
  }
  const std::wstring expanded = ExpandFirstEnvVar(L"%systemroot%\\system32\\" + FName);
  if (kplat::FileExists(expanded)) {
    return false;
  }
  aRet.Reason = frDriverNotFound;
  aRet.Msg = L"Driver [" + expanded + L"] not found.";
  return true;
}

bool TFigRuleProcessor::CheckShortcuts(TFigResultItem& aRet) const {
  const std::wstring link = JoinCheckedPath(FPath, FName);
  if (!kplat::SameText(FileExtension(FName), L".lnk") || !kplat::FileExists(link)) {
    return false;
  }
  kplat::TShortcut shortcut;
  // A link the shell cannot read, or one to something that is no file (a printer, a control
  // panel item), has no target path to test; it is not judged broken.
  if (Platform().ShellLinks().ReadShortcut(link, shortcut) != kplat::err::Success ||
      Trim(shortcut.Target).empty() || kplat::PathExists(shortcut.Target)) {
    return false;
  }
  std::wstring tested;
  if (ResolveCommandFile(shortcut.Target, tested)) {
    return false;
  }
  aRet.Reason = frShortcutLinkError;
  aRet.Msg = L"Shortfile [" + tested + L"] is not correct";
  return true;
}

bool TFigRuleProcessor::CheckHistoryNMRU(TFigResultItem& aRet) const {
  if (!Contains(FPath, kComDlg32Key) && !Contains(FPath, kUserAssistKey)) {
    return false;
  }
  aRet.Reason = frHistoryNMRU;
  aRet.Msg = L"History";
  return true;
}

bool TFigRuleProcessor::CheckStartup(TFigResultItem& aRet) const {
  std::wstring tested;
  if (IsBareKey() || kplat::SameText(FName, kEmptyMark) || ResolveCommandFile(FName, tested) ||
      ResolveCommandFile(L"%Systemroot%\\" + FName, tested)) {
    return false;
  }
  aRet.Reason = frStartupItemNotCorrect;
  aRet.Msg = L"Startup [" + tested + L"]Item is not correct.";
  return true;
}

bool TFigRuleProcessor::CheckFileType(TFigResultItem& aRet) const {
  const kplat::TRegHandle root = RootKeyFromName(FRoot);
  kplat::TRegKey key;
  // The extension's own key must be there: a key that vanished or cannot be read says nothing
  // about its programs. The program the user chose (UserChoice) is a program too; removing the
  // key would lose that choice.
  if (kplat::SameText(FPath, kFileExtsKey) || !OpenForReading(root, FPath, key) ||
      KeyExists(root, FPath + L"\\OpenWithProgids") || KeyExists(root, FPath + L"\\OpenWithList") ||
      KeyExists(root, FPath + L"\\UserChoice")) {
    return false;
  }
  aRet.Reason = frNoAppOpenWithFile;
  aRet.Msg = JoinPath(FPath, L"OpenWithProgids");
  return true;
}

bool TFigRuleProcessor::CheckEmptyKey(TFigResultItem& aRet) const {
  if (Contains(FPath, L"Software\\Microsoft") || !kplat::SameText(FName, kEmptyMark)) {
    return false;
  }
  aRet.Reason = frEmptyKey;
  aRet.Msg = L"Empty key";
  return true;
}

bool TFigRuleSetup::ListsJunkFile(std::wstring_view aName) const {
  const std::wstring_view extension = FileExtension(aName);
  const auto matches = [](std::wstring_view aText) {
    return [aText](std::wstring_view aUpper) { return SameTextAsUpper(aText, aUpper); };
  };
  return JunkEveryFile ||
         std::any_of(JunkExtensions.begin(), JunkExtensions.end(), matches(extension)) ||
         std::any_of(JunkNames.begin(), JunkNames.end(), matches(aName));
}

bool TFigRuleProcessor::CheckJunkFile(TFigResultItem& aRet) const {
  if (FPlaceKind == TFigPlaceKind::Folder || (FPlaceKind == TFigPlaceKind::Unknown &&
                                              kplat::FolderExists(JoinCheckedPath(FRoot, FName)))) {
    return false;
  }
  if (!FSetup.ListsJunkFile(FName) || FExceptOptions.IndexOf(kplat::UpperCase(FName)) >= 0) {
    return false;
  }
  aRet.Reason = frJunkFile;
  aRet.Msg = FRuleParams.Strings(0);
  aRet.MatchFlag = true;
  return true;
}

bool TFigRuleProcessor::CheckWinapp2(TFigResultItem& aRet) const {
  bool found = FLocationStyle != lsDisk; // a registry place is what the rule itself names
  if (!found) {
    const bool folder =
        FPlaceKind == TFigPlaceKind::Folder || (FPlaceKind == TFigPlaceKind::Unknown &&
                                                kplat::FolderExists(JoinCheckedPath(FRoot, FName)));
    if (FRuleParams.Count() < 2) {
      found = folder;
    } else if (!folder) {
      // A file name may hold a comma, which splits the rule's fields: joined again.
      std::wstring patterns = FRuleParams.Strings(1);
      for (int i = 2; i < FRuleParams.Count(); ++i) {
        patterns += L',' + FRuleParams.Strings(i);
      }
      std::vector<std::wstring> list;
      SplitText(patterns, L';', list);
      found = std::any_of(list.begin(), list.end(), [this](const std::wstring& aPattern) {
        return !aPattern.empty() && kplat::MatchesWildcard(FName, aPattern);
      });
    }
  }
  if (!found) {
    return false;
  }
  aRet.Reason = frRegistryHistory;
  aRet.Msg = FRuleCaption.empty() ? FRuleParams.Strings(0) : FRuleCaption;
  return true;
}
