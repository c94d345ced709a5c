// The scan and cure commands: a scan of the chosen topics, the repair of its checked findings,
// and the findings with their outcomes.

#include "cli/CliSession.h"

#include "appengine/FigEngineSettings.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "engine/FigPrograms.h"

namespace kcli {

namespace {

// A scan or repair run is given up after this long.
constexpr uint32_t kRunLimitMs = 12u * 60 * 60 * 1000;

} // namespace

int TCliSession::ScanOrCure(bool aCure) {
  TFigEngine scan;
  if (const std::optional<int> failed = LoadTopics(scan)) {
    return *failed;
  }
  // A damaged list is reported; the places of it that can be read are still excluded.
  TFigExclusions exclusions;
  LoadExclusions(exclusions);
  TFigCure cure;
  cure.SetBackupPath(BackupFolder());
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
  if (!RunScan(scan)) {
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
  if (aCure && cure.GetCheckedItem() > 0) {
    if (const std::optional<int> failed = RunCure(cure, status, backup)) {
      return *failed;
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

bool TCliSession::RunScan(TFigEngine& aScan) {
  aScan.StartScan();
  const bool scanned =
      GetCLMainThread().RunUntil([&aScan] { return !aScan.IsRunning(); }, kRunLimitMs);
  EndProgress();
  if (!scanned) {
    aScan.Abort();
    Fail(Text(L"CLI.RunTooLong"));
  }
  return scanned;
}

std::optional<int> TCliSession::RunCure(TFigCure& aCure,
                                        std::vector<std::optional<TOutcome>>& aStatus,
                                        std::wstring& aBackup) {
  const std::wstring backupFolder = BackupFolder();
  if (const kplat::TErrorCode rc = ForceBackupFolder(backupFolder); rc != kplat::err::Success) {
    Fail(Text(L"CLI.CureFailed", {L"\"" + backupFolder + L"\": " + SystemErrorMessage(rc)}));
    return kCliFailed;
  }
  aCure.OnCured = [this, &aStatus, &aCure](const TFigScanedItem&, TFigCureStatus aCureStatus,
                                           int aCurrentIndex, int aMax) {
    if (aCurrentIndex >= 0 && aCurrentIndex < static_cast<int>(aStatus.size())) {
      aStatus[static_cast<size_t>(aCurrentIndex)] =
          TOutcome{aCureStatus, aCure.CurrentFailure(), aCure.CurrentProgram()};
    }
    Progress(Text(L"CLI.Repairing", {std::to_wstring(aCurrentIndex + 1), std::to_wstring(aMax)}));
  };
  if (!aCure.StartCure()) {
    Fail(Text(L"CLI.CureFailed", {aCure.LastError()}));
    return kCliFailed;
  }
  const bool cured =
      GetCLMainThread().RunUntil([&aCure] { return !aCure.IsRunning(); }, kRunLimitMs);
  EndProgress();
  if (!cured) {
    aCure.Abort();
    Fail(Text(L"CLI.RunTooLong"));
    return kCliFailed;
  }
  if (aCure.LastRunNotStarted()) {
    Fail(Text(L"CLI.CureFailed", {aCure.LastError()}));
    return kCliFailed;
  }
  aBackup = ExtractFileName(aCure.LastBackupFile());
  return std::nullopt;
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

} // namespace kcli
