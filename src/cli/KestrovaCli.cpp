#include "cli/KestrovaCli.h"

#include "appengine/CLEngine.h"
#include "appengine/FigEngineSettings.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "components/CLMultiLang.h"
#include "cure/FigCure.h"
#include "cure/RestoreCenter.h"
#include "engine/FigEngine.h"
#include "engine/FigExclusions.h"
#include "engine/FigPrograms.h"
#include "engine/FigWinapp2Topic.h"
#include "platform/FileIO.h"
#include "platform/Sha256.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

// A scan or repair run is given up after this long.
constexpr uint32_t kRunLimitMs = 12u * 60 * 60 * 1000;
// Progress lines are cut to this width so that they fit a console line.
constexpr size_t kProgressWidth = 78;

// The rule style of a topic: its Rule value up to the first comma.
std::wstring RuleStyleText(const TFigTopic& aTopic) {
  const std::wstring rule = aTopic.GetValue(kTopicKeyRule);
  return rule.substr(0, rule.find(L','));
}

// --- Output helpers

std::wstring JsonBool(bool aValue) {
  return aValue ? L"true" : L"false";
}

std::wstring JsonNumber(int64_t aValue) {
  return std::to_wstring(aValue);
}

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
std::wstring FormatTable(const std::vector<std::vector<std::wstring>>& aRows) {
  std::vector<size_t> widths;
  for (const auto& row : aRows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], row[i].size());
    }
  }
  std::wstring text;
  for (const auto& row : aRows) {
    std::wstring line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) {
        line += std::wstring(widths[i] - row[i].size() + 2, L' ');
      }
    }
    text += line + L"\n";
  }
  return text;
}

std::vector<std::wstring> SplitHeadings(const std::wstring& aText) {
  std::vector<std::wstring> headings;
  SplitText(aText, L'|', headings);
  return headings;
}

// Where a finding is, as one text.
std::wstring PlaceText(const TFigScanedItem& aItem) {
  switch (aItem.LocationStyle) {
  case lsRegistry:
  case lsRegistryItem: {
    std::wstring text = aItem.ScanedRoot + L"\\" + aItem.ScanedPath;
    if (aItem.ValueCheck || aItem.LocationStyle == lsRegistryItem) {
      text += L" [" + (aItem.ScanedSection.empty() ? L"@" : aItem.ScanedSection) + L"]";
    }
    return text;
  }
  case lsDisk:
    // A sweep's place is the sweep helper itself.
    return aItem.RuleStyle == rsSweepHelper ? aItem.ScanedRoot
                                            : JoinPath(aItem.ScanedRoot, aItem.ScanedName);
  default:
    return aItem.ScanedPath;
  }
}

// --- The session: settings, texts and the engines of one command.

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
  // Lists the backups as the Restore Center does; false, reported, when that fails.
  bool LoadBackups(TRestoreCenter& aCenter);
  int Backups();
  // What backup number FOptions.BackupNumber changed.
  int BackupDetails(TRestoreCenter& aCenter);
  int Restore();
  int Exclude();
  // Reads the list of exclusions; false, reported, when the file is damaged.
  bool LoadExclusions(TFigExclusions& aList);

  // How a run left one finding; a skipped one (csIgnored) says why.
  struct TOutcome {
    TFigCureStatus Status = csUncured;
    TFigCureFailure Failure = cfNone;
    std::wstring Program;
  };
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

std::wstring TCliSession::Winapp2CategoryText(const TFigTopic& aTopic) const {
  if (const std::wstring section = aTopic.GetValue(kTopicKeyWinapp2Section); !section.empty()) {
    return section;
  }
  const int number = aTopic.GetInteger(kTopicKeyWinapp2LangSecRef, 0);
  const std::wstring name = Winapp2CategoryTextName(number);
  return name.empty() ? std::to_wstring(number) : Text(name);
}

std::optional<int> TCliSession::AddWinapp2(TFigEngine& aScan) {
  const TWinapp2File file = ReadWinapp2Rules(FOptions.Winapp2File);
  if (file.Status != TWinapp2Status::Loaded) {
    Fail(Text(Winapp2StatusTextName(file.Status),
              {FOptions.Winapp2File, SystemErrorMessage(file.Error)}));
    return kCliTopicDbError;
  }
  // A line that cannot be followed is reported; the rest of the file still counts.
  for (const TWinapp2Issue& issue : file.Issues) {
    Fail(Text(Winapp2IssueTextName(issue.Kind), {std::to_wstring(issue.Line), issue.Text}));
  }
  AddWinapp2Topics(aScan, file);
  for (int i = 0; i < aScan.TopicCount(); ++i) {
    if (aScan.GetTopic(i)->Winapp2Entry()) {
      aScan.SetTopicEnabled(i, true);
    }
  }
  aScan.SortByCategory();
  return std::nullopt;
}

std::wstring TCliSession::CategoryText(TTopicCategory aCategory) const {
  switch (aCategory) {
  case tcARegFix:
    return Text(L"Title.RegistryFix");
  case tcBPrivacySweep:
    return Text(L"Title.PrivacySweep");
  case tcCJunkFile:
    return Text(L"Title.JunkFilesClean");
  case tcDSystemOptimization:
    return Text(L"Title.SystemOptimization");
  default:
    return GetEnumName(aCategory);
  }
}

void TCliSession::Progress(const std::wstring& aText) {
  if (!FConsole.ErrIsConsole()) {
    return;
  }
  std::wstring line = aText.size() > kProgressWidth
                          ? L"..." + aText.substr(aText.size() - (kProgressWidth - 3))
                          : aText;
  const size_t shown = line.size();
  if (shown < FProgressShown) {
    line += std::wstring(FProgressShown - shown, L' ');
  }
  FConsole.Err(L"\r" + line);
  FProgressShown = shown;
}

void TCliSession::EndProgress() {
  if (FConsole.ErrIsConsole() && FProgressShown > 0) {
    FConsole.Err(L"\r" + std::wstring(FProgressShown, L' ') + L"\r");
  }
  FProgressShown = 0;
}

std::wstring TCliSession::BackupFolder() const {
  return BackupFolderIn(GetCLSettings().UserDataPath());
}

std::optional<int> TCliSession::LoadTopics(TFigEngine& aScan) {
  // A rule file alone is the whole selection: no topic of the database is wanted.
  const bool entriesAlone = !FOptions.Winapp2File.empty() && FOptions.TopicFile.empty() &&
                            FOptions.Categories.empty() && !FOptions.AllTopics;
  if (!entriesAlone) {
    const std::wstring file =
        FOptions.TopicFile.empty() ? JoinPath(GetAppPath(), L"data\\topic.db") : FOptions.TopicFile;
    if (const std::wstring problem = LoadTopicDatabase(aScan, file, FEngine); !problem.empty()) {
      Fail(Text(L"TopicDb.Error", {problem}));
      return kCliTopicDbError;
    }
    aScan.SortByCategory();
    if (FOptions.AllTopics) {
      aScan.SetAllEnabled(true);
    } else if (!FOptions.Categories.empty()) {
      aScan.SetAllEnabled(false);
      for (TTopicCategory category : FOptions.Categories) {
        aScan.SetTopicEnabledByCategory(category, true);
      }
    } else if (FOptions.TopicFile.empty()) {
      LoadFigEngineSettings(aScan, LoadCategorySwitches());
    }
  }
  // Another topic database alone keeps the topics its file enables.
  if (!FOptions.Winapp2File.empty()) {
    return AddWinapp2(aScan);
  }
  return std::nullopt;
}

int TCliSession::Run() {
  if (FOptions.Command == L"help") {
    FConsole.Out(CliUsage());
    return kCliSuccess;
  }
  if (FOptions.Command == L"version") {
    FConsole.Out(FEngine.GetAppName() + L" " + GetCLSettings().GetSettingString(L"App.Ver") +
                 L"\n");
    return kCliSuccess;
  }
  if (FOptions.Command == L"topics") {
    return Topics();
  }
  if (FOptions.Command == L"scan" || FOptions.Command == L"cure") {
    return ScanOrCure(FOptions.Command == L"cure");
  }
  if (FOptions.Command == L"backups") {
    return Backups();
  }
  if (FOptions.Command == L"exclude") {
    return Exclude();
  }
  return Restore();
}

int TCliSession::Topics() {
  TFigEngine scan;
  if (const std::optional<int> failed = LoadTopics(scan)) {
    return *failed;
  }
  const auto entryCategory = [this](const TFigTopic& aTopic) {
    return aTopic.Winapp2Entry() ? Winapp2CategoryText(aTopic) : std::wstring();
  };
  if (FOptions.Json) {
    FConsole.Out(JsonList(scan.TopicCount(), [&](size_t i) {
      const TFigTopic& topic = *scan.GetTopic(static_cast<int>(i));
      return L"{\"name\": " + JsonString(topic.Name()) + L", \"category\": " +
             JsonString(GetEnumName(topic.Category())) + L", \"rule\": " +
             JsonString(RuleStyleText(topic)) + L", \"enabled\": " + JsonBool(topic.Enabled()) +
             L", \"locations\": " + JsonNumber(topic.LocationsCount()) +
             (topic.Winapp2Entry() ? L", \"winapp2Category\": " + JsonString(entryCategory(topic))
                                   : L"") +
             L"}";
    }));
    return kCliSuccess;
  }
  std::vector<std::vector<std::wstring>> rows{SplitHeadings(Text(L"CLI.TopicHeadings"))};
  for (int i = 0; i < scan.TopicCount(); ++i) {
    const TFigTopic& topic = *scan.GetTopic(i);
    const std::wstring group = entryCategory(topic);
    rows.push_back({topic.Name(),
                    CategoryText(topic.Category()) + (group.empty() ? L"" : L": " + group),
                    RuleStyleText(topic), Text(topic.Enabled() ? L"CLI.Yes" : L"CLI.No"),
                    std::to_wstring(topic.LocationsCount())});
  }
  FConsole.Out(FormatTable(rows));
  return kCliSuccess;
}

int TCliSession::ScanOrCure(bool aCure) {
  TFigEngine scan;
  if (const std::optional<int> failed = LoadTopics(scan)) {
    return *failed;
  }
  // A damaged list is reported; the places of it that can be read are still excluded.
  TFigExclusions exclusions;
  LoadExclusions(exclusions);
  TFigCure cure;
  const std::wstring backupFolder = BackupFolder();
  cure.SetBackupPath(backupFolder);
  scan.SetExclusionsFile(ExclusionsFileIn(GetCLSettings().UserDataPath()));
  cure.SetExclusionsFile(scan.ExclusionsFile());
  scan.SetFigCure(&cure);
  scan.SetPacing(FOptions.Pace);
  cure.SetPaced(FOptions.Pace);
  scan.OnTopicProcessing = [this](const std::wstring& aTopicName, TLocationStyle,
                                  const std::wstring& aRoot, const std::wstring& aPath,
                                  const std::wstring&, const std::wstring& aName, int32_t) {
    Progress(Text(L"State.Scanning") + L" [" + aTopicName + L"] " + aRoot + L"\\" + aPath +
             (aName.empty() ? L"" : L"\\" + aName));
  };
  TCLMainThread& main = GetCLMainThread();
  scan.StartScan();
  const bool scanned = main.RunUntil([&scan] { return !scan.IsRunning(); }, kRunLimitMs);
  EndProgress();
  if (!scanned) {
    scan.Abort();
    Fail(Text(L"CLI.RunTooLong"));
    return kCliFailed;
  }

  std::vector<std::optional<TOutcome>> status(static_cast<size_t>(cure.ItemCount()));
  // Nobody watches a command-line run: it never deletes what people keep.
  cure.SetUnattended(true);
  std::wstring backup;
  if (aCure && FOptions.All) {
    for (int i = 0; i < cure.ItemCount(); ++i) {
      cure.SetChecked(i, true);
    }
  }
  // Taken before the repair: what it deletes is gone from its place afterwards.
  cure.SetQuarantineBytes(QuarantineBytesSetting());
  const TUndoPlan plan = cure.PlanUndo();
  if (aCure) {
    if (cure.GetCheckedItem() > 0) {
      if (const kplat::TErrorCode rc = ForceBackupFolder(backupFolder); rc != kplat::err::Success) {
        Fail(Text(L"CLI.CureFailed", {L"\"" + backupFolder + L"\": " + SystemErrorMessage(rc)}));
        return kCliFailed;
      }
      cure.OnCured = [this, &status, &cure](const TFigScanedItem&, TFigCureStatus aStatus,
                                            int aCurrentIndex, int aMax) {
        if (aCurrentIndex >= 0 && aCurrentIndex < static_cast<int>(status.size())) {
          status[static_cast<size_t>(aCurrentIndex)] =
              TOutcome{aStatus, cure.CurrentFailure(), cure.CurrentProgram()};
        }
        Progress(
            Text(L"CLI.Repairing", {std::to_wstring(aCurrentIndex + 1), std::to_wstring(aMax)}));
      };
      if (!cure.StartCure()) {
        Fail(Text(L"CLI.CureFailed", {cure.LastError()}));
        return kCliFailed;
      }
      const bool cured = main.RunUntil([&cure] { return !cure.IsRunning(); }, kRunLimitMs);
      EndProgress();
      if (!cured) {
        cure.Abort();
        Fail(Text(L"CLI.RunTooLong"));
        return kCliFailed;
      }
      if (cure.LastRunNotStarted()) {
        Fail(Text(L"CLI.CureFailed", {cure.LastError()}));
        return kCliFailed;
      }
      backup = ExtractFileName(cure.LastBackupFile());
    }
  }

  std::vector<TFigScanedItem> items;
  for (int i = 0; i < cure.ItemCount(); ++i) {
    items.push_back(cure.GetMatchedItem(i));
  }
  PrintFindings(scan.Summary(), items, plan, status, backup.empty() ? nullptr : &backup);
  if (aCure && !backup.empty() && cure.LastImportStatus() != isImported &&
      cure.LastImportStatus() != isNone) {
    Fail(Text(L"CLI.CureFailed", {cure.LastError()}));
    return kCliFailed;
  }
  return kCliSuccess;
}

std::wstring TCliSession::StatusText(const TOutcome& aOutcome) {
  switch (aOutcome.Failure) {
  case cfInUse:
    return Text(L"CLI.Status.InUse");
  case cfProgramRunning:
    return Text(L"CLI.Status.Skipped",
                {Text(L"Cure.ProgramRunning", {ProgramCaption(aOutcome.Program)})});
  case cfKept:
    return Text(L"CLI.Status.Skipped", {Text(L"Cure.Kept")});
  case cfExcluded:
    return Text(L"CLI.Status.Skipped", {Text(L"Cure.Excluded")});
  default:
    return Text(L"CLI.Status." + GetEnumName(aOutcome.Status));
  }
}

void TCliSession::PrintFindings(const TFigSummary& aSummary,
                                const std::vector<TFigScanedItem>& aItems, const TUndoPlan& aPlan,
                                const std::vector<std::optional<TOutcome>>& aStatus,
                                const std::wstring* aBackup) {
  if (FOptions.Json) {
    std::wstring json = L"{\"summary\": {\"AllCount\": " + JsonNumber(aSummary.AllCount) +
                        L", \"RegistryItemCount\": " + JsonNumber(aSummary.RegistryItemCount) +
                        L", \"FileCount\": " + JsonNumber(aSummary.FileCount) +
                        L", \"FileSizeCount\": " + JsonNumber(aSummary.FileSizeCount) +
                        L", \"MatchedAllCount\": " + JsonNumber(aSummary.MatchedAllCount) +
                        L", \"MatchedRegItemCount\": " + JsonNumber(aSummary.MatchedRegItemCount) +
                        L", \"MatchedFileCount\": " + JsonNumber(aSummary.MatchedFileCount) +
                        L", \"MatchedFileSizeCount\": " +
                        JsonNumber(aSummary.MatchedFileSizeCount) + L"},\n\"findings\": [";
    for (size_t i = 0; i < aItems.size(); ++i) {
      const TFigScanedItem& item = aItems[i];
      json += (i > 0 ? L",\n " : L"\n ") + std::wstring(L"{\"sid\": ") + JsonNumber(item.SID) +
              L", \"topic\": " + JsonString(item.TopicName) + L", \"category\": " +
              JsonString(GetEnumName(item.Category)) + L", \"rule\": " +
              JsonString(GetEnumName(item.RuleStyle)) + L", \"reason\": " +
              JsonString(GetEnumName(item.FigResult.Reason)) + L", \"message\": " +
              JsonString(item.FigResult.Msg) + L", \"level\": " + JsonNumber(item.FigResult.Level) +
              L", \"checked\": " + JsonBool(item.Checked) + L", \"location\": " +
              JsonString(GetEnumName(item.LocationStyle)) + L", \"root\": " +
              JsonString(item.ScanedRoot) + L", \"path\": " + JsonString(item.ScanedPath) +
              L", \"section\": " + JsonString(item.ScanedSection) + L", \"name\": " +
              JsonString(item.ScanedName) + L", \"valueCheck\": " + JsonBool(item.ValueCheck) +
              L", \"status\": " +
              (aStatus[i] ? JsonString(GetEnumName(aStatus[i]->Status)) : L"null") +
              L", \"skipped\": " +
              (aStatus[i] && aStatus[i]->Status == csIgnored && aStatus[i]->Failure != cfNone
                   ? JsonString(StatusText(*aStatus[i]))
                   : L"null") +
              L", \"undo\": " + JsonBool(i < aPlan.Undo.size() && aPlan.Undo[i]) + L"}";
    }
    json += aItems.empty() ? L"],\n" : L"\n],\n";
    json += L"\"undo\": {\"restorableFiles\": " + JsonNumber(aPlan.RestorableFiles) +
            L", \"restorableBytes\": " + JsonNumber(static_cast<int64_t>(aPlan.RestorableBytes)) +
            L", \"permanentFiles\": " + JsonNumber(aPlan.PermanentFiles) +
            L", \"permanentBytes\": " + JsonNumber(static_cast<int64_t>(aPlan.PermanentBytes)) +
            L", \"sweepActions\": " + JsonNumber(aPlan.SweepActions) + L"},\n";
    json += L"\"backup\": " + (aBackup != nullptr ? JsonString(*aBackup) : L"null") + L"}\n";
    FConsole.Out(json);
    return;
  }
  const bool withStatus = aBackup != nullptr;
  std::vector<std::vector<std::wstring>> rows{SplitHeadings(Text(L"CLI.FindingHeadings"))};
  if (!withStatus) {
    rows.front().pop_back();
  }
  for (size_t i = 0; i < aItems.size(); ++i) {
    const TFigScanedItem& item = aItems[i];
    std::vector<std::wstring> row{std::to_wstring(item.SID),   item.Checked ? L"x" : L"",
                                  CategoryText(item.Category), ReasonText(item.FigResult.Reason),
                                  item.FigResult.Msg,          PlaceText(item)};
    if (withStatus) {
      row.push_back(aStatus[i] ? StatusText(*aStatus[i]) : L"");
    }
    rows.push_back(std::move(row));
  }
  std::wstring text = aItems.empty() ? Text(L"State.NoProblem") + L"\n" : FormatTable(rows);
  text += Text(L"CLI.Summary",
               {std::to_wstring(aSummary.AllCount), std::to_wstring(aSummary.RegistryItemCount),
                std::to_wstring(aSummary.FileCount), std::to_wstring(aSummary.FileSizeCount),
                std::to_wstring(aSummary.MatchedAllCount),
                std::to_wstring(aSummary.MatchedRegItemCount),
                std::to_wstring(aSummary.MatchedFileCount),
                std::to_wstring(aSummary.MatchedFileSizeCount)}) +
          L"\n";
  text += Text(L"CLI.Undo",
               {std::to_wstring(aPlan.RestorableFiles), std::to_wstring(aPlan.RestorableBytes),
                std::to_wstring(aPlan.PermanentFiles), std::to_wstring(aPlan.PermanentBytes)}) +
          L"\n";
  if (aPlan.SweepActions > 0) {
    text += Text(L"MSGBox.CureSweepNoUndo") + L"\n";
  }
  if (withStatus) {
    text += Text(L"CLI.BackupFile", {*aBackup}) + L"\n";
  }
  FConsole.Out(text);
}

bool TCliSession::LoadBackups(TRestoreCenter& aCenter) {
  const std::wstring folder = BackupFolder();
  if (const kplat::TErrorCode rc = ForceBackupFolder(folder); rc != kplat::err::Success) {
    Fail(Text(L"CLI.BackupsFailed", {L"\"" + folder + L"\": " + SystemErrorMessage(rc)}));
    return false;
  }
  if (!aCenter.Load(MaxBackupSetting())) {
    Fail(Text(L"CLI.BackupsFailed", {aCenter.LastError()}));
    return false;
  }
  return true;
}

int TCliSession::Backups() {
  TRestoreCenter center(BackupFolder());
  // An index that cannot be written still lists what it holds.
  const bool loaded = LoadBackups(center);
  if (FOptions.BackupNumber > 0) {
    return loaded ? BackupDetails(center) : kCliFailed;
  }
  const std::vector<TBackupRow>& rows = center.Rows();
  if (FOptions.Json) {
    FConsole.Out(JsonList(rows.size(), [&](size_t i) {
      return L"{\"index\": " + JsonNumber(static_cast<int64_t>(i) + 1) + L", \"datetime\": " +
             JsonString(rows[i].DateTime) + L", \"changes\": " + rows[i].Changes + L", \"file\": " +
             JsonString(ExtractFileName(rows[i].FileName)) + L", \"files\": " +
             JsonNumber(rows[i].Files) + L", \"fileBytes\": " +
             JsonNumber(static_cast<int64_t>(rows[i].FileBytes)) + L"}";
    }));
  } else if (rows.empty()) {
    FConsole.Out(Text(L"CLI.NoBackups") + L"\n");
  } else {
    std::vector<std::vector<std::wstring>> table{SplitHeadings(Text(L"CLI.BackupHeadings"))};
    for (size_t i = 0; i < rows.size(); ++i) {
      table.push_back({std::to_wstring(i + 1), rows[i].DateTime, rows[i].Changes,
                       ExtractFileName(rows[i].FileName)});
    }
    FConsole.Out(FormatTable(table));
  }
  return loaded ? kCliSuccess : kCliFailed;
}

int TCliSession::BackupDetails(TRestoreCenter& aCenter) {
  const int count = static_cast<int>(aCenter.Rows().size());
  if (FOptions.BackupNumber > count) {
    Fail(Text(L"CLI.NoSuchBackup",
              {std::to_wstring(FOptions.BackupNumber), std::to_wstring(count)}));
    return kCliFailed;
  }
  const TBackupRow& row = aCenter.Rows()[static_cast<size_t>(FOptions.BackupNumber - 1)];
  TBackupDetails details;
  std::wstring error;
  const bool read = ReadBackupDetails(row.FileName, SIZE_MAX, SIZE_MAX, details, error);
  if (FOptions.Json) {
    const std::wstring keys = JsonMember(details.Keys.size(), [&](size_t i) {
      const TBackupKeyDetail& key = details.Keys[i];
      std::wstring values;
      for (size_t v = 0; v < key.Values.size(); ++v) {
        values += (v > 0 ? L", " : L"") + std::wstring(L"{\"name\": ") +
                  JsonString(key.Values[v].Name) + L", \"delete\": " +
                  JsonBool(key.Values[v].Delete) + L"}";
      }
      return L"{\"root\": " + JsonString(key.Root) + L", \"path\": " + JsonString(key.Path) +
             L", \"delete\": " + JsonBool(key.Delete) + L", \"values\": [" + values + L"]}";
    });
    const std::wstring files = JsonMember(details.Files.size(), [&](size_t i) {
      const TQuarantineEntry& file = details.Files[i];
      return L"{\"path\": " + JsonString(file.Path) + L", \"size\": " +
             JsonNumber(static_cast<int64_t>(file.Size)) + L", \"sha256\": " +
             JsonString(kplat::DigestText(file.Digest)) + L"}";
    });
    const std::wstring folders = JsonMember(
        details.Folders.size(), [&](size_t i) { return JsonString(details.Folders[i]); });
    FConsole.Out(L"{\"index\": " + JsonNumber(FOptions.BackupNumber) + L", \"datetime\": " +
                 JsonString(row.DateTime) + L", \"file\": " +
                 JsonString(ExtractFileName(row.FileName)) + L",\n\"keys\": " + keys +
                 L", \"files\": " + files + L", \"folders\": " + folders + L"}\n");
  } else {
    std::vector<std::vector<std::wstring>> table{SplitHeadings(Text(L"CLI.BackupDetailHeadings"))};
    const std::wstring removed = L" (" + Text(L"Restore.RemovedByRestore") + L")";
    for (const TBackupKeyDetail& key : details.Keys) {
      if (key.Values.empty()) {
        table.push_back(
            {Text(L"Restore.KindKey"), key.Delete ? removed.substr(1) : L"", key.Place()});
      }
      for (const TBackupValueDetail& value : key.Values) {
        table.push_back({Text(L"Restore.KindValue"),
                         (value.Name.empty() ? Text(L"Restore.DefaultValue") : value.Name) +
                             (value.Delete ? removed : L""),
                         key.Place()});
      }
    }
    for (const TQuarantineEntry& file : details.Files) {
      table.push_back({Text(L"Restore.KindFile"),
                       Text(L"Restore.Bytes", {std::to_wstring(file.Size)}), file.Path});
    }
    for (const std::wstring& folder : details.Folders) {
      table.push_back({Text(L"Restore.KindFolder"), L"", folder});
    }
    FConsole.Out(FormatTable(table));
  }
  if (!read) {
    Fail(error);
    return kCliFailed;
  }
  return kCliSuccess;
}

int TCliSession::Restore() {
  TRestoreCenter center(BackupFolder());
  if (!LoadBackups(center)) {
    return kCliFailed;
  }
  const int count = static_cast<int>(center.Rows().size());
  if (FOptions.BackupNumber > count) {
    Fail(Text(L"CLI.NoSuchBackup",
              {std::to_wstring(FOptions.BackupNumber), std::to_wstring(count)}));
    return kCliFailed;
  }
  const TBackupRow& row = center.Rows()[static_cast<size_t>(FOptions.BackupNumber - 1)];
  const std::wstring file = ExtractFileName(row.FileName);
  const TRestoreResult result = center.Restore(FOptions.BackupNumber - 1, FOptions.Unchecked);
  if (result.Seal == TSealState::Broken || result.NeedsConsent) {
    Fail(Text(result.NeedsConsent ? L"CLI.RestoreUnchecked" : L"CLI.RestoreSealBroken", {file}));
    return kCliFailed;
  }
  const TFileRestoreResult& files = result.Files;
  if (FOptions.Json) {
    std::wstring failed;
    for (size_t i = 0; i < result.Failed.size(); ++i) {
      failed += (i > 0 ? L", " : L"") + JsonString(result.Failed[i]);
    }
    std::wstring kept;
    for (size_t i = 0; i < files.Kept.size(); ++i) {
      kept += (i > 0 ? L", " : L"") + JsonString(files.Kept[i]);
    }
    std::wstring filesFailed;
    for (size_t i = 0; i < files.Failed.size(); ++i) {
      filesFailed += (i > 0 ? L", " : L"") + std::wstring(L"{\"path\": ") +
                     JsonString(files.Failed[i].Path) + L", \"reason\": " +
                     JsonString(FileFailureText(files.Failed[i])) + L"}";
    }
    FConsole.Out(L"{\"file\": " + JsonString(file) + L", \"entries\": " +
                 JsonNumber(result.Entries) + L", \"verified\": " + JsonNumber(result.Verified) +
                 L", \"failed\": [" + failed + L"], \"files\": " + JsonNumber(files.Files) +
                 L", \"filesRestored\": " + JsonNumber(files.Restored) + L", \"filesKept\": [" +
                 kept + L"], \"filesFailed\": [" + filesFailed + L"]}\n");
    if (!result.Error.empty()) {
      Fail(result.Error);
    }
    return result.Complete() ? kCliSuccess : kCliFailed;
  }
  if (files.Files > 0 || !files.Failed.empty()) {
    std::wstring text =
        Text(L"CLI.RestoreFiles",
             {std::to_wstring(files.Restored), std::to_wstring(files.Files),
              std::to_wstring(files.Kept.size()), std::to_wstring(files.Failed.size())}) +
        L"\n";
    for (const std::wstring& path : files.Kept) {
      text += L"  " + Text(L"CLI.RestoreFileKept", {path}) + L"\n";
    }
    for (const TFileRestoreFailure& failure : files.Failed) {
      text += L"  " + failure.Path + L": " + FileFailureText(failure) + L"\n";
    }
    FConsole.Out(text);
  }
  if (result.Complete()) {
    if (result.Entries > 0) {
      FConsole.Out(Text(L"CLI.RestoreVerified", {std::to_wstring(result.Entries), file}) + L"\n");
    }
  } else if (result.Entries > result.Verified || !result.Failed.empty()) {
    std::wstring text =
        Text(L"CLI.RestoreIncomplete", {std::to_wstring(result.Entries - result.Verified),
                                        std::to_wstring(result.Entries), file}) +
        L"\n";
    for (const std::wstring& entry : result.Failed) {
      text += L"  " + entry + L"\n";
    }
    FConsole.Out(text);
  }
  if (!result.Error.empty()) {
    Fail(result.Error);
  }
  return result.Complete() ? kCliSuccess : kCliFailed;
}

bool TCliSession::LoadExclusions(TFigExclusions& aList) {
  const std::wstring file = ExclusionsFileIn(GetCLSettings().UserDataPath());
  if (aList.Load(file)) {
    return true;
  }
  Fail(Text(L"Exclusions.Damaged",
            {file, aList.DamagedLine() > 0
                       ? Text(L"Exclusions.DamagedLine", {std::to_wstring(aList.DamagedLine())})
                       : Text(L"Exclusions.Unreadable")}));
  return false;
}

int TCliSession::Exclude() {
  TFigExclusions list;
  const bool loaded = LoadExclusions(list);
  if (FOptions.Action == L"list") {
    const std::vector<TFigExclusion>& items = list.Items();
    if (FOptions.Json) {
      FConsole.Out(JsonList(items.size(), [&](size_t i) {
        return L"{\"index\": " + JsonNumber(static_cast<int64_t>(i) + 1) + L", \"place\": " +
               JsonString(items[i].Place) + L"}";
      }));
    } else if (items.empty()) {
      FConsole.Out(Text(L"CLI.NoExclusions") + L"\n");
    } else {
      std::vector<std::vector<std::wstring>> table{SplitHeadings(Text(L"CLI.ExclusionHeadings"))};
      for (size_t i = 0; i < items.size(); ++i) {
        table.push_back({std::to_wstring(i + 1), items[i].Place});
      }
      FConsole.Out(FormatTable(table));
    }
    return loaded ? kCliSuccess : kCliFailed;
  }
  if (!loaded) {
    return kCliFailed;
  }
  std::wstring place;
  if (FOptions.Action == L"add") {
    if (const TFigExclusionError error = list.Add(FOptions.Place); error != eeNone) {
      Fail(
          Text(L"Exclusions.Refused", {FOptions.Place, Text(L"Exclusions." + GetEnumName(error))}));
      return kCliUsageError;
    }
    TFigExclusion added;
    ParseExclusion(FOptions.Place, added);
    place = added.Place;
  } else {
    if (FOptions.ExclusionNumber > list.Count()) {
      Fail(Text(L"CLI.NoSuchExclusion",
                {std::to_wstring(FOptions.ExclusionNumber), std::to_wstring(list.Count())}));
      return kCliFailed;
    }
    place = list.Items()[static_cast<size_t>(FOptions.ExclusionNumber - 1)].Place;
    list.Remove(FOptions.ExclusionNumber - 1);
  }
  const std::wstring file = ExclusionsFileIn(GetCLSettings().UserDataPath());
  kplat::TErrorCode rc = kplat::ForceFolders(ExtractFilePath(file));
  if (rc == kplat::err::Success) {
    rc = list.Save(file);
  }
  if (rc != kplat::err::Success) {
    Fail(Text(L"Exclusions.SaveFailed", {L"\"" + file + L"\": " + SystemErrorMessage(rc)}));
    return kCliFailed;
  }
  FConsole.Out(
      Text(FOptions.Action == L"add" ? L"CLI.ExclusionAdded" : L"CLI.ExclusionRemoved", {place}) +
      L"\n");
  return kCliSuccess;
}

} // namespace

void UseWindowDataFolder(TCLEngine& aEngine) {
  // The store names its folder after the full path of the program that creates it.
  std::wstring word = JoinPath(GetAppPath(), L"Kestrova.exe");
  std::replace_if(
      word.begin(), word.end(), [](wchar_t c) { return c == L'\\' || c == L':' || c == L'/'; },
      L'_');
  TStringList defaults = aEngine.SettingDefault();
  defaults.SetValue(L"App.ConfigPath", word);
  aEngine.SetSettingDefault(defaults);
}

int RunKestrovaCli(const std::vector<std::wstring>& aArgs, ICliConsole& aConsole) {
  TCliOptions options;
  std::wstring error;
  if (!ParseCliArgs(aArgs, options, error)) {
    aConsole.Err(error + L"\n" + CliUsage());
    return kCliUsageError;
  }
  TCliSession session(options, aConsole);
  return session.Run();
}
