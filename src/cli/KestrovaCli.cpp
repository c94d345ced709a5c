#include "cli/KestrovaCli.h"
#include "cli/CliSession.h"

#include "appengine/FigEngineSettings.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "engine/FigWinapp2Topic.h"

#include <algorithm>

namespace kcli {

namespace {

// Progress lines are cut to this width so that they fit a console line.
constexpr size_t kProgressWidth = 78;

} // namespace

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

} // namespace kcli

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
  kcli::TCliSession session(options, aConsole);
  return session.Run();
}
