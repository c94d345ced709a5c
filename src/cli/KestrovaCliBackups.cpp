// The commands about what earlier runs left: the backups, their details and restore, and the
// list of exclusions.

#include "cli/CliSession.h"

#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "platform/FileIO.h"
#include "platform/Sha256.h"

namespace kcli {

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

} // namespace kcli
