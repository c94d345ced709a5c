#pragma once
// The session of one command of the command-line program, and the output helpers its commands
// share. Private to the command-line program.

#include "cli/KestrovaCli.h"

#include "appengine/CLEngine.h"
#include "components/CLMultiLang.h"
#include "cure/FigCure.h"
#include "cure/RestoreCenter.h"
#include "engine/FigEngine.h"
#include "engine/FigExclusions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kcli {

// The rule style of a topic: its Rule value up to the first comma.
std::wstring RuleStyleText(const TFigTopic& aTopic);

std::wstring JsonBool(bool aValue);
std::wstring JsonNumber(int64_t aValue);

// A list of aCount objects, one to a line ("[]" when empty); aObject(i) writes the i-th.
template <typename TObject> std::wstring JsonList(size_t aCount, TObject aObject) {
  std::wstring json = L"[";
  for (size_t i = 0; i < aCount; ++i)
    json += (i > 0 ? L",\n " : L"\n ") + aObject(i);
  return json + (aCount == 0 ? L"]\n" : L"\n]\n");
}

// JsonList's list as a member of an object: without its last line break.
template <typename TObject> std::wstring JsonMember(size_t aCount, TObject aObject) {
  std::wstring json = JsonList(aCount, aObject);
  json.pop_back();
  return json;
}

// Columns padded to their widest cell, separated by two blanks.
std::wstring FormatTable(const std::vector<std::vector<std::wstring>>& aRows);

// The column headings of a table: a language text with "|" between them.
std::vector<std::wstring> SplitHeadings(const std::wstring& aText);

// Where a finding is, as one text.
std::wstring PlaceText(const TFigScanedItem& aItem);

// Settings, texts and the engines of one command.
class TCliSession {
public:
  TCliSession(const TCliOptions& aOptions, ICliConsole& aConsole)
      : FOptions(aOptions), FConsole(aConsole), FLanguage(nullptr), FEngine(nullptr) {
    UseWindowDataFolder(FEngine);
    FLanguage.DefaultData().LoadFromString(CLBuiltInEnglish());
    FEngine.SetLanguageData(&FLanguage);
    FEngine.SetLanguage(GetCLSettings().GetSettingString(L"Language"));
  }

  int Run();

private:
  std::wstring Text(const std::wstring& aName, const std::vector<std::wstring>& aArgs = {}) const {
    return FEngine.GetAppStringEx(aName, aArgs);
  }
  std::wstring CategoryText(TTopicCategory aCategory) const;
  std::wstring FileFailureText(const TFileRestoreFailure& aFailure) const {
    return aFailure.WindowsFile ? Text(L"Restore.WindowsFile") : aFailure.Reason;
  }
  // The category a community entry names: its Section, or its numbered category's text.
  std::wstring Winapp2CategoryText(const TFigTopic& aTopic) const;
  // Adds the applying entries of the rule file, enabled, and reports each line it skipped; an
  // exit code when the file cannot be used.
  std::optional<int> AddWinapp2(TFigEngine& aScan);
  std::wstring ReasonText(TFigReason aReason) const {
    return Text(L"Reason." + GetEnumName(aReason));
  }
  void Fail(const std::wstring& aMessage) { FConsole.Err(aMessage + L"\n"); }
  void Progress(const std::wstring& aText);
  void EndProgress();

  // Loads the topic database and enables the chosen topics; an exit code when that fails.
  std::optional<int> LoadTopics(TFigEngine& aScan);
  std::wstring BackupFolder() const;

  int Topics();
  int ScanOrCure(bool aCure);
  // Runs the scan to its end; false, reported, when it ran too long.
  bool RunScan(TFigEngine& aScan);
  // How a run left one finding; a skipped one (csIgnored) says why.
  struct TOutcome {
    TFigCureStatus Status = csUncured;
    TFigCureFailure Failure = cfNone;
    std::wstring Program;
  };
  // Repairs the checked findings, each one's outcome into aStatus, the backup's name into
  // aBackup; an exit code when the run could not start or end.
  std::optional<int> RunCure(TFigCure& aCure, std::vector<std::optional<TOutcome>>& aStatus,
                             std::wstring& aBackup);
  // Lists the backups as the Restore Center does; false, reported, when that fails.
  bool LoadBackups(TRestoreCenter& aCenter);
  int Backups();
  // What backup number FOptions.BackupNumber changed.
  int BackupDetails(TRestoreCenter& aCenter);
  int Restore();
  int Exclude();
  // Reads the list of exclusions; false, reported, when the file is damaged.
  bool LoadExclusions(TFigExclusions& aList);

  std::wstring StatusText(const TOutcome& aOutcome);

  void PrintFindings(const TFigSummary& aSummary, const std::vector<TFigScanedItem>& aItems,
                     const TUndoPlan& aPlan, const std::vector<std::optional<TOutcome>>& aStatus,
                     const std::wstring* aBackup);

  const TCliOptions& FOptions;
  ICliConsole& FConsole;
  TCLMultiLangData FLanguage;
  TCLEngine FEngine;
  size_t FProgressShown = 0;
};

} // namespace kcli
