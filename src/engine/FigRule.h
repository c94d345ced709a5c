#pragma once
// Rule styles and the reasons a rule reports, and the two records every part of the program
// shares: a rule's verdict at one place and the place itself, which is also a finding once the
// verdict is filled in.

#include "engine/FigTopic.h"

#include <array>
#include <cstdint>
#include <string>

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
  rsSweepHelper
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
  static constexpr std::array<std::wstring_view, 16> Names = {L"rsRegistryBoostOrFix",
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
                                                              L"rsSweepHelper"};
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
//                   three times, then "sweephelper.exe")
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
  int32_t CurrentPer = 0;
  bool ValueCheck = false; // the finding concerns the single value ScanedSection, not the key
  bool Checked = false;    // selected for repair
};
