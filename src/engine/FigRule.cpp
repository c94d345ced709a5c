// The rule processor: the rule's parts, the dispatch by style, and the steps the checks share
// (command-file resolution, environment expansion, folder and path tests).

#include "engine/FigRule.h"

#include "base/CLHelpers.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <vector>

using kplat::Platform;

namespace {

std::wstring RemoveAll(std::wstring aText, const std::wstring& aPart) {
  for (size_t pos = aText.find(aPart); pos != std::wstring::npos; pos = aText.find(aPart, pos)) {
    aText.erase(pos, aPart.size());
  }
  return aText;
}

std::wstring RemoveQuotes(const std::wstring& aText) {
  return RemoveAll(aText, L"\"");
}

// Keeps the text up to and including the first aStop.
void CutAfter(std::wstring& aText, wchar_t aStop) {
  const size_t pos = aText.find(aStop);
  if (pos != std::wstring::npos) {
    aText.erase(pos + 1);
  }
}

std::wstring ClassicCommandFile(const std::wstring& aText) {
  std::wstring text = kplat::UpperCase(aText);
  text = Trim(RemoveAll(text, L"RUNDLL32.EXE"));
  text = Trim(RemoveAll(kplat::UpperCase(text), L"RUNDLL32"));
  const size_t split = text.find_last_of(L"\\:");
  const size_t nameStart = split == std::wstring::npos ? 0 : split + 1;
  std::wstring name = text.substr(nameStart);
  CutAfter(name, L'"');
  CutAfter(name, L' ');
  CutAfter(name, L',');
  return Trim(ExpandFirstEnvVar(RemoveQuotes(text.substr(0, nameStart) + name)));
}

bool HasPathDelimiter(const std::wstring& aPath) {
  return aPath.find_first_of(L"\\/:") != std::wstring::npos;
}

// A candidate program path as Windows would look it up: variables expanded, and a bare name
// also in the system and Windows folders.
bool FindProgram(const std::wstring& aCandidate, std::wstring& aFound) {
  const std::wstring path =
      Trim(RemoveQuotes(Platform().System().ExpandEnvironmentStrings(aCandidate)));
  if (path.empty()) {
    return false;
  }
  std::vector<std::wstring> tries{path};
  if (!HasPathDelimiter(path)) {
    tries.push_back(Platform().System().GetSystemFolder() + L"\\" + path);
    tries.push_back(Platform().System().GetWindowsFolder() + L"\\" + path);
  }
  for (const std::wstring& candidate : tries) {
    if (kplat::FileExists(candidate)) {
      aFound = kplat::UpperCase(candidate);
      return true;
    }
  }
  return false;
}

// The program of a command line read as Windows starts it: the quoted first part, or else the
// shortest start ending before a blank (or the whole line) that names a file.
bool FindStartedProgram(const std::wstring& aLine, std::wstring& aFound) {
  const std::wstring line = Trim(aLine);
  if (line.empty()) {
    return false;
  }
  if (line[0] == L'"') {
    const size_t close = line.find(L'"', 1);
    return FindProgram(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1),
                       aFound);
  }
  for (size_t blank = line.find(L' '); blank != std::wstring::npos;
       blank = line.find(L' ', blank + 1)) {
    if (FindProgram(line.substr(0, blank), aFound)) {
      return true;
    }
  }
  return FindProgram(line, aFound);
}

// What follows the rundll32 program on its command line (the library and its entry), or "" when
// the line does not start rundll32.
std::wstring AfterRundll32(const std::wstring& aLine) {
  const std::wstring upper = kplat::UpperCase(aLine);
  const size_t pos = upper.find(L"RUNDLL32");
  if (pos == std::wstring::npos) {
    return std::wstring();
  }
  size_t rest = pos + 8;
  if (upper.compare(rest, 4, L".EXE") == 0) {
    rest += 4;
  }
  if (rest < upper.size() && upper[rest] == L'"') {
    ++rest;
  }
  return aLine.substr(rest);
}

} // namespace

std::wstring ExpandFirstEnvVar(const std::wstring& aText) {
  std::vector<std::wstring> pieces;
  SplitText(aText, L'%', pieces);
  if (pieces.size() < 3) {
    return aText;
  }
  std::wstring value;
  Platform().System().GetEnv(pieces[1], value);
  return value + pieces[2];
}

bool ResolveCommandFile(const std::wstring& aCommand, std::wstring& aTestedPath) {
  const std::wstring line = aCommand.substr(0, aCommand.find(L','));
  aTestedPath = ClassicCommandFile(line);
  if (!aTestedPath.empty() && kplat::FileExists(aTestedPath)) {
    return true;
  }
  const std::wstring rundllCommand = AfterRundll32(line);
  return FindStartedProgram(rundllCommand.empty() ? line : rundllCommand, aTestedPath);
}

bool SourceFolderExists(const std::wstring& aText) {
  const size_t split = aText.find_last_of(L"\\:");
  if (split == std::wstring::npos) {
    return false;
  }
  const std::wstring folder = RemoveQuotes(aText.substr(0, split + 1));
  return !folder.empty() && kplat::FolderExists(folder);
}

std::wstring JoinCheckedPath(const std::wstring& aBase, const std::wstring& aRelative) {
  if (aRelative.starts_with(L"\\\\")) {
    return aRelative;
  }
  if (aBase.starts_with(L"\\\\") && aRelative.find(L':') == std::wstring::npos) {
    std::wstring relative = UnixToDosPath(aRelative);
    while (!relative.empty() && relative[0] == L'\\') {
      relative.erase(0, 1);
    }
    return NormalizeFolder(aBase) + relative;
  }
  return JoinPath(aBase, aRelative);
}

bool TFigOpenRegKey::HasValue(const std::wstring& aName) const {
  return std::any_of(FValueNames.begin(), FValueNames.end(),
                     [&](const std::wstring& aListed) { return kplat::SameText(aListed, aName); });
}

const std::vector<std::wstring>& TFigOpenRegKey::SubKeyNames() const {
  if (!FSubKeys) {
    FSubKeys = FKey.SubKeyNames();
  }
  return *FSubKeys;
}

TFigRuleSetup::TFigRuleSetup(const std::wstring& aRuleString, const std::wstring& aRuleCaption,
                             const TStringList& aRegItemList, TTopicStatus aTopicStatus,
                             const std::wstring& aTopicExceptOptions)
    : RuleString(aRuleString), RuleCaption(aRuleCaption),
      RuleStyle(static_cast<TRuleStyle>(kNoEnumValue)), RegItemList(aRegItemList),
      TopicStatus(aTopicStatus) {
  std::vector<std::wstring> params;
  SplitText(aRuleString, L',', params);
  for (auto& param : params) {
    RuleParams.Add(std::move(param));
  }
  if (!RuleParams.Empty()) {
    RuleStyle = StrToEnum<TRuleStyle>(RuleParams.Strings(0));
  }
  // Blanks around a field are how "rsJunkFile, .tmp, .chk" is usually written. A field without
  // its leading dot is a whole file name ("History", "Cookies-journal").
  for (int i = 1; RuleStyle == rsJunkFile && i < RuleParams.Count(); ++i) {
    const std::wstring field = kplat::UpperCase(Trim(RuleParams.Strings(i)));
    JunkEveryFile = JunkEveryFile || field == L".*";
    (field.empty() || field[0] == L'.' ? JunkExtensions : JunkNames).push_back(field);
  }
  ExceptOptions.SetCommaText(kplat::UpperCase(aTopicExceptOptions));
}

TFigRuleProcessor::TFigRuleProcessor(const std::wstring& aRuleString,
                                     const std::wstring& aRuleCaption,
                                     TLocationStyle aLocationStyle, const std::wstring& aRoot,
                                     const std::wstring& aPath, const std::wstring& aSection,
                                     const std::wstring& aName, const TStringList& aRegItemList,
                                     TTopicStatus aTopicStatus,
                                     const std::wstring& aTopicExceptOptions)
    : FOwnedSetup(std::make_unique<TFigRuleSetup>(aRuleString, aRuleCaption, aRegItemList,
                                                  aTopicStatus, aTopicExceptOptions)),
      FOwnedPlace(std::make_unique<const TOwnedPlace>(TOwnedPlace{aRoot, aPath, aSection, aName})),
      FSetup(*FOwnedSetup), FRuleString(FSetup.RuleString), FRuleCaption(FSetup.RuleCaption),
      FLocationStyle(aLocationStyle), FRoot(FOwnedPlace->Root), FPath(FOwnedPlace->Path),
      FSection(FOwnedPlace->Section), FName(FOwnedPlace->Name), FPlaceKind(TFigPlaceKind::Unknown),
      FRuleStyle(FSetup.RuleStyle), FRuleParams(FSetup.RuleParams),
      FRegItemList(FSetup.RegItemList), FTopicStatus(FSetup.TopicStatus),
      FExceptOptions(FSetup.ExceptOptions) {}

TFigRuleProcessor::TFigRuleProcessor(const TFigRuleSetup& aSetup, TLocationStyle aLocationStyle,
                                     const std::wstring& aRoot, const std::wstring& aPath,
                                     const std::wstring& aSection, const std::wstring& aName,
                                     TFigPlaceKind aPlaceKind, const TFigOpenRegKey* aOpenKey)
    : FSetup(aSetup), FRuleString(FSetup.RuleString), FRuleCaption(FSetup.RuleCaption),
      FLocationStyle(aLocationStyle), FRoot(aRoot), FPath(aPath), FSection(aSection), FName(aName),
      FPlaceKind(aPlaceKind), FOpenKey(aOpenKey), FRuleStyle(FSetup.RuleStyle),
      FRuleParams(FSetup.RuleParams), FRegItemList(FSetup.RegItemList),
      FTopicStatus(FSetup.TopicStatus), FExceptOptions(FSetup.ExceptOptions) {}

bool TFigRuleProcessor::DoSearch(TFigResultItem& aRet) const {
  aRet.MatchFlag = false;
  if (FTopicStatus == tsCured || !IsValidEnum(FRuleStyle)) {
    return false;
  }
  switch (FRuleStyle) {
  case rsRegistryBoostOrFix:
    return CheckRegistryBoostOrFix(aRet);
  case rsActiveX:
    return CheckActiveX(aRet);
  case rsUninstall:
    return CheckUninstall(aRet);
  case rsAppPaths:
    return CheckAppPaths(aRet);
  case rsFonts:
    return CheckFonts(aRet);
  case rsSharedDlls:
    return CheckSharedDlls(aRet);
  case rsHelp:
    return CheckHelp(aRet);
  case rsDrivers:
    return CheckDrivers(aRet);
  case rsShortcuts:
    return CheckShortcuts(aRet);
  case rsHistoryNMRU:
    return CheckHistoryNMRU(aRet);
  case rsStartup:
    return CheckStartup(aRet);
  case rsFileType:
    return CheckFileType(aRet);
  case rsEmptyKey:
    return CheckEmptyKey(aRet);
  case rsJunkFile:
    return CheckJunkFile(aRet);
  case rsRegistryHistory:
    aRet.Reason = frRegistryHistory;
    aRet.Msg = FRuleParams.Strings(0);
    return true;
  case rsSweepHelper:
    aRet.Reason = frNeedSweep;
    aRet.Msg = FRuleParams.Strings(0);
    return true;
  case rsWinapp2:
    return CheckWinapp2(aRet);
  }
  return false;
}
