#pragma once
// Rule styles and the reasons a rule reports, the two records every part of the program shares
// (a rule's verdict at one place and the place itself, which is also a finding once the verdict
// is filled in), and the rule processor that judges one place by a topic's rule.

#include "base/CLStrings.h"
#include "engine/FigTopic.h"
#include "platform/RegKey.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum TRuleStyle : uint8_t {
  rsRegistryBoostOrFix,
  rsActiveX,
  rsUninstall,
  rsAppPaths,
  rsFonts,
  rsSharedDlls,
  rsHelp,
  rsDrivers,
  rsShortcuts,
  rsHistoryNMRU,
  rsStartup,
  rsFileType,
  rsEmptyKey,
  rsJunkFile,
  rsRegistryHistory,
  rsSweepHelper,
  // A rule of a community rule file (FigWinapp2Topic.h): "rsWinapp2,patterns" judges files by
  // their names ("a.log;*.tmp"), a bare "rsWinapp2" the folders it is handed.
  rsWinapp2
};

// The names are also the keys of the reason texts ("Reason." followed by the name).
enum TFigReason : uint8_t {
  frActiveXServerCmdNotExists,
  frActiveXTypeLibNotExists,
  frActiveXAppIDNotExists,
  frActiveXEmptyKey,
  frUninstallFileNotExists,
  frEmptyUninstallInfo,
  frAppPathNotExists,
  frFontNotFound,
  frSharedDllNotFound,
  frSharedDllIsNotUsed,
  frHelpFileNotFound,
  frDriverNotFound,
  frShortcutLinkError,
  frHistoryNMRU,
  frStartupItemNotCorrect,
  frNoAppOpenWithFile,
  frEmptyKey,
  frJunkFile,
  frRegistryHistory,
  frIEStartPageIsNotBlank,
  frNeedRegistryBoostOrFix,
  frNeedSweep
};

template <> struct TFigEnumNames<TRuleStyle> {
  static constexpr std::array<std::wstring_view, 17> Names = {L"rsRegistryBoostOrFix",
                                                              L"rsActiveX",
                                                              L"rsUninstall",
                                                              L"rsAppPaths",
                                                              L"rsFonts",
                                                              L"rsSharedDlls",
                                                              L"rsHelp",
                                                              L"rsDrivers",
                                                              L"rsShortcuts",
                                                              L"rsHistoryNMRU",
                                                              L"rsStartup",
                                                              L"rsFileType",
                                                              L"rsEmptyKey",
                                                              L"rsJunkFile",
                                                              L"rsRegistryHistory",
                                                              L"rsSweepHelper",
                                                              L"rsWinapp2"};
};

template <> struct TFigEnumNames<TFigReason> {
  static constexpr std::array<std::wstring_view, 22> Names = {L"frActiveXServerCmdNotExists",
                                                              L"frActiveXTypeLibNotExists",
                                                              L"frActiveXAppIDNotExists",
                                                              L"frActiveXEmptyKey",
                                                              L"frUninstallFileNotExists",
                                                              L"frEmptyUninstallInfo",
                                                              L"frAppPathNotExists",
                                                              L"frFontNotFound",
                                                              L"frSharedDllNotFound",
                                                              L"frSharedDllIsNotUsed",
                                                              L"frHelpFileNotFound",
                                                              L"frDriverNotFound",
                                                              L"frShortcutLinkError",
                                                              L"frHistoryNMRU",
                                                              L"frStartupItemNotCorrect",
                                                              L"frNoAppOpenWithFile",
                                                              L"frEmptyKey",
                                                              L"frJunkFile",
                                                              L"frRegistryHistory",
                                                              L"frIEStartPageIsNotBlank",
                                                              L"frNeedRegistryBoostOrFix",
                                                              L"frNeedSweep"};
};

// The verdict of one rule at one place.
struct TFigResultItem {
  std::wstring Msg;
  int32_t Level = 0; // the topic's LEVEL once the match is recorded
  TFigReason Reason = frActiveXServerCmdNotExists;
  bool MatchFlag = false; // only the junk-file rule sets it
};

// One place the scan looked at: the progress snapshot, and with the verdict filled in a finding.
// By location style the place fields hold:
//   lsRegistry      root name as written, key path, value name ("" for the default value or a
//                   key visited without a value), the value's data as text
//   lsDisk          folder searched with trailing backslash, the same folder, the location as
//                   written, the file or folder name found (for "sweephelper.exe" its full path
//                   three times, then "sweephelper.exe"); StartFolder holds the folder the walk
//                   began in
//   lsRegistryItem  root name, key path, the REGITEM_n value name without quotes ("" for @),
//                   the whole REGITEM_n line
struct TFigScanedItem {
  // Number of the finding within the scan, and so its index in the repair manager's list; 0 in
  // progress snapshots.
  int32_t SID = 0;
  std::wstring TopicName;
  TTopicCategory Category = tcUnknow;
  TRuleStyle RuleStyle = rsRegistryBoostOrFix;
  std::wstring RuleParams; // every field of the topic's Rule, each followed by CR LF
  std::wstring RuleCaption;
  TFigResultItem FigResult;
  TLocationStyle LocationStyle = lsUnknow;
  std::wstring ScanedRoot;
  std::wstring ScanedPath;
  std::wstring ScanedSection;
  std::wstring ScanedName;
  // For a disk place: the folder its location's walk began in, where it really is (a location
  // that is a junction resolved once, at the start), with trailing backslash; the repair deletes
  // nothing outside it. Empty for other places.
  std::wstring StartFolder;
  int32_t CurrentPer = 0;
  bool ValueCheck = false; // the finding concerns the single value ScanedSection, not the key
  bool Checked = false;    // selected for repair
  // The place holds what people keep (FigProtected.h): it starts unticked, and only a run the
  // user watches may repair it.
  bool Kept = false;
  // The topic's programs ("name.exe;other.exe") that hold its places while they run.
  std::wstring Programs;
  // The topic says UNDO=0: its files are deleted for good, not kept for a restore.
  bool NoUndo = false;
  // For a disk place that is a file: its size in bytes when the scan found it. -1 for a folder,
  // for a file whose size could not be read, and for every other place.
  int64_t FileSize = -1;
};

// --- Steps the rule checks share
// -----------------------------------------------------------------------------

// Whether the program or library a command line or path value names exists as a file.
// aTestedPath receives the path as the classic resolution reads it: text after the first comma
// dropped, "RUNDLL32.EXE" and "RUNDLL32" removed, the file name cut at its first quote, blank or
// comma, quotes removed, the first environment variable expanded; upper-cased apart from that
// variable's value. When that path is no file, the line is also read the way Windows starts it
// (a quoted program, or the shortest blank-separated start that is a file, the command after
// rundll32, a bare name in the system or Windows folder), so that a program with blanks in its
// folder or with backslashes in its arguments is not judged missing; a path found so becomes
// aTestedPath.
bool ResolveCommandFile(const std::wstring& aCommand, std::wstring& aTestedPath);
// The text split at every "%": with fewer than three pieces unchanged, otherwise the value of
// the variable named by piece 1 followed by piece 2 (what stands before the first "%" and from
// the third on is dropped).
std::wstring ExpandFirstEnvVar(const std::wstring& aText);
// Whether the folder part of aText (up to its last backslash or colon), quotes removed, is a
// folder.
bool SourceFolderExists(const std::wstring& aText);
// JoinPath for a path whose existence is tested: below a network base ("\\server\share") the
// parts are joined with a backslash instead of leaving the relative part alone, and a relative
// path that is itself a network path is kept whole.
std::wstring JoinCheckedPath(const std::wstring& aBase, const std::wstring& aRelative);

// --- TFigRuleProcessor
// ---------------------------------------------------------------------------------------
// Judges one place by one topic's rule. Created for a single check on the scan worker; keeps no
// shared state and opens registry keys for reading only.

// What the caller knows of a disk place, so that the rule need not ask the file system.
enum class TFigPlaceKind : uint8_t { Unknown, File, Folder };

// What a rule reads of its topic, read once for all the places a scan judges by that topic.
struct TFigRuleSetup {
  TFigRuleSetup(const std::wstring& aRuleString, const std::wstring& aRuleCaption,
                const TStringList& aRegItemList, TTopicStatus aTopicStatus,
                const std::wstring& aTopicExceptOptions);

  // Whether the fields name a file of this name as the junk-file rule reads them: ".*" for
  // every file, an extension with its dot, or a whole file name.
  bool ListsJunkFile(std::wstring_view aName) const;
  // Whether the place is no finding by its kind and name alone, without the rule's check being
  // set up: most files of a junk walk are of no kind the rule lists.
  bool RulesOut(TFigPlaceKind aKind, std::wstring_view aName) const {
    return RuleStyle == rsJunkFile && aKind == TFigPlaceKind::File && !ListsJunkFile(aName);
  }

  std::wstring RuleString;
  std::wstring RuleCaption;
  TRuleStyle RuleStyle;
  TStringList RuleParams;
  // For the junk-file rule, the fields after the style name, blanks around them removed and
  // upper-cased: ".*", extensions with their dot (an empty field stands for no extension), and
  // whole file names.
  bool JunkEveryFile = false;
  std::vector<std::wstring> JunkExtensions;
  std::vector<std::wstring> JunkNames;
  TStringList RegItemList;
  TTopicStatus TopicStatus;
  TStringList ExceptOptions; // upper case
};

// What the registry walk already holds of the key a place is in: the key open for reading and
// its value names as listed. The sub-key names are listed once, by whichever of the walk and the
// rule asks first. A rule judging the place reads through it instead of opening the key again.
class TFigOpenRegKey {
public:
  TFigOpenRegKey(const kplat::TRegKey& aKey, const std::vector<std::wstring>& aValueNames)
      : FKey(aKey), FValueNames(aValueNames) {}

  const kplat::TRegKey& Key() const { return FKey; }
  const std::vector<std::wstring>& ValueNames() const { return FValueNames; }
  bool HasValue(const std::wstring& aName) const;
  // Whether the sub-key names have been listed already.
  bool SubKeysListed() const { return FSubKeys.has_value(); }
  const std::vector<std::wstring>& SubKeyNames() const;

private:
  const kplat::TRegKey& FKey;
  const std::vector<std::wstring>& FValueNames;
  mutable std::optional<std::vector<std::wstring>> FSubKeys;
};

class TFigRuleProcessor {
public:
  TFigRuleProcessor(const std::wstring& aRuleString, const std::wstring& aRuleCaption,
                    TLocationStyle aLocationStyle, const std::wstring& aRoot,
                    const std::wstring& aPath, const std::wstring& aSection,
                    const std::wstring& aName, const TStringList& aRegItemList,
                    TTopicStatus aTopicStatus, const std::wstring& aTopicExceptOptions);
  // The same over a setup and place strings that outlive the processor: nothing is copied, as
  // the scan makes one processor for every place it checks. aOpenKey, when given, is the key of
  // a registry place as the walk holds it.
  TFigRuleProcessor(const TFigRuleSetup& aSetup, TLocationStyle aLocationStyle,
                    const std::wstring& aRoot, const std::wstring& aPath,
                    const std::wstring& aSection, const std::wstring& aName,
                    TFigPlaceKind aPlaceKind = TFigPlaceKind::Unknown,
                    const TFigOpenRegKey* aOpenKey = nullptr);
  TFigRuleProcessor(const TFigRuleProcessor&) = delete;
  TFigRuleProcessor& operator=(const TFigRuleProcessor&) = delete;

  // Clears aRet's MatchFlag. True for a finding, with Msg and Reason (for junk files also
  // MatchFlag) set; false at once for a cured topic or a rule without a valid style. Level is
  // the caller's.
  bool DoSearch(TFigResultItem& aRet) const;

  const std::wstring& RuleString() const { return FRuleString; }
  const std::wstring& RuleCaption() const { return FRuleCaption; }
  TLocationStyle LocationStyle() const { return FLocationStyle; }
  const std::wstring& RootName() const { return FRoot; }
  const std::wstring& Section() const { return FSection; }
  const std::wstring& Name() const { return FName; }
  // No valid value (IsValidEnum false) for an empty rule or an unknown style name.
  TRuleStyle RuleStyle() const { return FRuleStyle; }
  // The rule split at every comma, blanks kept; line 0 is the style name.
  const TStringList& RuleParams() const { return FRuleParams; }

private:
  bool CheckRegistryBoostOrFix(TFigResultItem& aRet) const;
  bool CheckActiveX(TFigResultItem& aRet) const;
  bool CheckUninstall(TFigResultItem& aRet) const;
  bool CheckAppPaths(TFigResultItem& aRet) const;
  bool CheckFonts(TFigResultItem& aRet) const;
  bool CheckSharedDlls(TFigResultItem& aRet) const;
  bool CheckHelp(TFigResultItem& aRet) const;
  bool CheckDrivers(TFigResultItem& aRet) const;
  bool CheckShortcuts(TFigResultItem& aRet) const;
  bool CheckHistoryNMRU(TFigResultItem& aRet) const;
  bool CheckStartup(TFigResultItem& aRet) const;
  bool CheckFileType(TFigResultItem& aRet) const;
  bool CheckEmptyKey(TFigResultItem& aRet) const;
  bool CheckJunkFile(TFigResultItem& aRet) const;
  bool CheckWinapp2(TFigResultItem& aRet) const;
  // A registry place without any value (a key visited on its own): nothing for the value rules
  // to judge.
  bool IsBareKey() const { return FSection.empty() && FName.empty(); }

  struct TOwnedPlace {
    std::wstring Root;
    std::wstring Path;
    std::wstring Section;
    std::wstring Name;
  };

  std::unique_ptr<const TFigRuleSetup> FOwnedSetup; // when made from the topic's values
  std::unique_ptr<const TOwnedPlace> FOwnedPlace;   // likewise
  const TFigRuleSetup& FSetup;
  const std::wstring& FRuleString;
  const std::wstring& FRuleCaption;
  TLocationStyle FLocationStyle;
  const std::wstring& FRoot;
  const std::wstring& FPath;
  const std::wstring& FSection;
  const std::wstring& FName;
  TFigPlaceKind FPlaceKind;
  const TFigOpenRegKey* FOpenKey = nullptr;
  const TRuleStyle FRuleStyle;
  const TStringList& FRuleParams;
  const TStringList& FRegItemList;
  const TTopicStatus FTopicStatus;
  const TStringList& FExceptOptions;
};
