#include "engine/FigWinapp2.h"

#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace {

// An issue quotes the line it skips; a line longer than this is cut, so that one line of
// outside input cannot fill a message.
constexpr size_t kMaxQuotedLine = 200;

constexpr std::wstring_view kEntryMark = L" *";

// The numbered categories the format has (3041 is not one).
constexpr std::array<int, 25> kCategories = {3001, 3005, 3006, 3021, 3022, 3023, 3024, 3025, 3026,
                                             3027, 3028, 3029, 3030, 3031, 3033, 3034, 3035, 3036,
                                             3037, 3038, 3039, 3040, 3042, 3043, 3044};

struct TRoot {
  std::wstring_view Short;
  std::wstring_view Long;
  kplat::TRegHandle Handle;
};
constexpr std::array<TRoot, 5> kRoots = {{
    {L"HKCU", L"HKEY_CURRENT_USER", kplat::regroot::CurrentUser},
    {L"HKLM", L"HKEY_LOCAL_MACHINE", kplat::regroot::LocalMachine},
    {L"HKU", L"HKEY_USERS", kplat::regroot::Users},
    {L"HKCR", L"HKEY_CLASSES_ROOT", kplat::regroot::ClassesRoot},
    {L"HKCC", L"HKEY_CURRENT_CONFIG", kplat::regroot::CurrentConfig},
}};

constexpr std::array<std::pair<std::wstring_view, TWinapp2Special>, 4> kSpecials = {{
    {L"DET_CHROME", TWinapp2Special::Chrome},
    {L"DET_MOZILLA", TWinapp2Special::Mozilla},
    {L"DET_THUNDERBIRD", TWinapp2Special::Thunderbird},
    {L"DET_OPERA", TWinapp2Special::Opera},
}};

std::wstring_view TrimView(std::wstring_view aText) {
  return TrimBy(aText, [](wchar_t c) { return c <= L' '; });
}

std::wstring_view WithoutTrailingBackslashes(std::wstring_view aText) {
  while (!aText.empty() && (aText.back() == L'\\' || aText.back() == L'/')) {
    aText.remove_suffix(1);
  }
  return aText;
}

bool HasSeparator(std::wstring_view aText) {
  return aText.find_first_of(L"\\/") != aText.npos;
}

// Windows reads "*.*" as every file, with an extension or without.
std::wstring FilePattern(std::wstring_view aPattern) {
  return aPattern == L"*.*" ? std::wstring(L"*") : std::wstring(aPattern);
}

// A path a rule may name: a drive ("C:"), a network path or one that starts with a variable,
// and no ".." part that could lead out of the folder it names.
bool IsRulePath(std::wstring_view aPath) {
  bool rooted = false;
  if (aPath.size() >= 2 && aPath[1] == L':' &&
      ((aPath[0] >= L'A' && aPath[0] <= L'Z') || (aPath[0] >= L'a' && aPath[0] <= L'z'))) {
    rooted = aPath.size() == 2 || aPath[2] == L'\\' || aPath[2] == L'/';
  } else if (aPath.starts_with(L"\\\\")) {
    rooted = aPath.size() > 2;
  } else if (aPath.starts_with(L'%')) {
    const size_t close = aPath.find(L'%', 1);
    rooted = close != aPath.npos && close > 1 && !HasSeparator(aPath.substr(1, close - 1));
  }
  if (!rooted) {
    return false;
  }
  size_t start = 0;
  while (start <= aPath.size()) {
    size_t end = aPath.find_first_of(L"\\/", start);
    if (end == aPath.npos) {
      end = aPath.size();
    }
    if (TrimView(aPath.substr(start, end - start)) == L"..") {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// "HKCU\Software\Vendor": a known root and a key below it.
bool ParseRegPath(std::wstring_view aText, TWinapp2RegPath& aPath) {
  const std::wstring_view text = TrimView(aText);
  const size_t slash = text.find(L'\\');
  if (slash == text.npos) {
    return false;
  }
  const std::wstring_view root = text.substr(0, slash);
  const auto known = std::find_if(kRoots.begin(), kRoots.end(), [&](const TRoot& aRoot) {
    return kplat::SameText(root, aRoot.Short) || kplat::SameText(root, aRoot.Long);
  });
  std::wstring_view key = WithoutTrailingBackslashes(text.substr(slash + 1));
  while (!key.empty() && key.front() == L'\\') {
    key.remove_prefix(1);
  }
  if (known == kRoots.end() || key.empty()) {
    return false;
  }
  aPath.Root = known->Handle;
  aPath.Key = std::wstring(key);
  return true;
}

// "ROOT\Key" with an optional "|Value"; a bar without a value name is refused rather than read
// as the key's default value.
bool ParseRegRule(std::wstring_view aText, TWinapp2RegPath& aPath,
                  std::optional<std::wstring>& aValue) {
  const size_t bar = aText.find(L'|');
  if (!ParseRegPath(aText.substr(0, bar), aPath)) {
    return false;
  }
  if (bar != aText.npos) {
    const std::wstring_view value = TrimView(aText.substr(bar + 1));
    if (value.empty()) {
      return false;
    }
    aValue = std::wstring(value);
  }
  return true;
}

std::optional<uint32_t> ParseNumber(std::wstring_view aText) {
  if (aText.empty() || aText.size() > 5) {
    return std::nullopt;
  }
  uint32_t value = 0;
  for (const wchar_t c : aText) {
    if (c < L'0' || c > L'9') {
      return std::nullopt;
    }
    value = value * 10 + static_cast<uint32_t>(c - L'0');
  }
  return value;
}

// "6.1" or "10": an empty side is open.
bool ParseKernelVersion(std::wstring_view aText,
                        std::optional<std::pair<uint32_t, uint32_t>>& aVersion) {
  const std::wstring_view text = TrimView(aText);
  if (text.empty()) {
    return true;
  }
  const size_t dot = text.find(L'.');
  const auto major = ParseNumber(text.substr(0, dot));
  const auto minor =
      dot == text.npos ? std::optional<uint32_t>(0) : ParseNumber(text.substr(dot + 1));
  if (!major || !minor) {
    return false;
  }
  aVersion = std::make_pair(*major, *minor);
  return true;
}

class TReader {
public:
  TWinapp2File Read(std::wstring_view aText);

private:
  void Line(std::wstring_view aLine);
  void StartSection(std::wstring_view aName);
  void FinishEntry();
  void Key(std::wstring_view aName, std::wstring_view aValue);
  // Each returns the issue that skips the key, or nothing when the key was taken.
  std::optional<TWinapp2IssueKind> Single(std::wstring_view aKind, std::wstring_view aValue);
  std::optional<TWinapp2IssueKind> Detection(std::wstring_view aKind, std::wstring_view aValue);
  std::optional<TWinapp2IssueKind> FileKey(std::wstring_view aValue);
  std::optional<TWinapp2IssueKind> RegKey(std::wstring_view aValue);
  std::optional<TWinapp2IssueKind> ExcludeKey(std::wstring_view aValue);
  void Issue(TWinapp2IssueKind aKind, int aLine, std::wstring_view aText);

  TWinapp2File FFile;
  int FLine = 0;
  std::wstring_view FLineText;
  bool FInSection = false; // past the first section line
  bool FSawEntry = false;
  std::optional<TWinapp2Entry> FEntry;
  std::wstring FEntryLine;
  bool FCategoryGiven = false, FWarningGiven = false;
  std::unordered_set<std::wstring> FNames; // upper-case
};

TWinapp2File TReader::Read(std::wstring_view aText) {
  size_t start = 0;
  while (start < aText.size()) {
    size_t end = aText.find(L'\n', start);
    if (end == aText.npos) {
      end = aText.size();
    }
    ++FLine;
    Line(aText.substr(start, end - start));
    start = end + 1;
  }
  FinishEntry();
  if (!FSawEntry) {
    FFile = TWinapp2File{};
    FFile.Status = TWinapp2Status::NotWinapp2;
    return FFile;
  }
  std::stable_sort(FFile.Issues.begin(), FFile.Issues.end(),
                   [](const TWinapp2Issue& a, const TWinapp2Issue& b) { return a.Line < b.Line; });
  return std::move(FFile);
}

void TReader::Line(std::wstring_view aLine) {
  const std::wstring_view line = TrimView(aLine);
  FLineText = line;
  if (line.empty()) {
    return;
  }
  if (line.front() == L';') {
    constexpr std::wstring_view kVersion = L"Version:";
    const std::wstring_view comment = TrimView(line.substr(1));
    if (!FInSection && FFile.Version.empty() && StartsText(comment, kVersion)) {
      FFile.Version = std::wstring(TrimView(comment.substr(kVersion.size())));
    }
    return;
  }
  if (line.front() == L'[' && line.back() == L']') {
    StartSection(line.substr(1, line.size() - 2));
    return;
  }
  if (!FEntry) {
    // Lines of a section that is no entry were reported with its name.
    if (!FInSection) {
      Issue(TWinapp2IssueKind::OutsideEntry, FLine, line);
    }
    return;
  }
  const size_t equals = line.find(L'=');
  if (equals == line.npos) {
    Issue(TWinapp2IssueKind::NotAKey, FLine, line);
    return;
  }
  Key(TrimView(line.substr(0, equals)), TrimView(line.substr(equals + 1)));
}

void TReader::StartSection(std::wstring_view aName) {
  FinishEntry();
  FInSection = true;
  const std::wstring_view name = TrimView(aName);
  if (!name.ends_with(kEntryMark) ||
      TrimView(name.substr(0, name.size() - kEntryMark.size())).empty()) {
    Issue(TWinapp2IssueKind::NotAnEntry, FLine, FLineText);
    return;
  }
  FSawEntry = true;
  TWinapp2Entry entry;
  entry.Name = std::wstring(TrimView(name.substr(0, name.size() - kEntryMark.size())));
  entry.Line = FLine;
  if (!FNames.insert(kplat::UpperCase(entry.Name)).second) {
    Issue(TWinapp2IssueKind::DuplicateEntry, FLine, FLineText);
    return;
  }
  FEntry = std::move(entry);
  FEntryLine = std::wstring(FLineText);
  FCategoryGiven = FWarningGiven = false;
}

void TReader::FinishEntry() {
  if (!FEntry) {
    return;
  }
  if (FEntry->FileKeys.empty() && FEntry->RegKeys.empty()) {
    Issue(TWinapp2IssueKind::NoDeletionKey, FEntry->Line, FEntryLine);
  } else {
    FFile.Entries.push_back(std::move(*FEntry));
  }
  FEntry.reset();
}

void TReader::Key(std::wstring_view aName, std::wstring_view aValue) {
  // "FileKey12" is kind "FileKey"; a single Detect or DetectFile may go without its number.
  std::wstring_view kind = aName;
  while (!kind.empty() && kind.back() >= L'0' && kind.back() <= L'9') {
    kind.remove_suffix(1);
  }
  std::optional<TWinapp2IssueKind> issue;
  if (kplat::SameText(kind, L"FileKey")) {
    issue = FileKey(aValue);
  } else if (kplat::SameText(kind, L"RegKey")) {
    issue = RegKey(aValue);
  } else if (kplat::SameText(kind, L"ExcludeKey")) {
    issue = ExcludeKey(aValue);
  } else if (kplat::SameText(kind, L"Detect") || kplat::SameText(kind, L"DetectFile") ||
             kplat::SameText(kind, L"DetectOS") || kplat::SameText(kind, L"SpecialDetect")) {
    issue = Detection(kind, aValue);
  } else if (kplat::SameText(kind, L"LangSecRef") || kplat::SameText(kind, L"Section") ||
             kplat::SameText(kind, L"Warning") || kplat::SameText(kind, L"Default")) {
    issue = Single(kind, aValue);
  } else {
    issue = TWinapp2IssueKind::UnknownKey;
  }
  if (issue) {
    Issue(*issue, FLine, FLineText);
  }
}

std::optional<TWinapp2IssueKind> TReader::Single(std::wstring_view aKind,
                                                 std::wstring_view aValue) {
  TWinapp2Entry& entry = *FEntry;
  if (kplat::SameText(aKind, L"Default")) {
    if (entry.Default) {
      return TWinapp2IssueKind::GivenTwice;
    }
    if (!kplat::SameText(aValue, L"True") && !kplat::SameText(aValue, L"False")) {
      return TWinapp2IssueKind::BadValue;
    }
    entry.Default = kplat::SameText(aValue, L"True");
    return std::nullopt;
  }
  if (kplat::SameText(aKind, L"Warning")) {
    if (FWarningGiven) {
      return TWinapp2IssueKind::GivenTwice;
    }
    if (aValue.empty()) {
      return TWinapp2IssueKind::BadValue;
    }
    FWarningGiven = true;
    entry.Warning = std::wstring(aValue);
    return std::nullopt;
  }
  if (FCategoryGiven) {
    return TWinapp2IssueKind::GivenTwice;
  }
  if (kplat::SameText(aKind, L"Section")) {
    if (aValue.empty()) {
      return TWinapp2IssueKind::BadValue;
    }
    entry.Section = std::wstring(aValue);
  } else {
    const auto number = ParseNumber(aValue);
    if (!number || *number == 0) {
      return TWinapp2IssueKind::BadValue;
    }
    entry.LangSecRef = static_cast<int>(*number);
  }
  FCategoryGiven = true;
  return std::nullopt;
}

std::optional<TWinapp2IssueKind> TReader::Detection(std::wstring_view aKind,
                                                    std::wstring_view aValue) {
  TWinapp2Entry& entry = *FEntry;
  if (kplat::SameText(aKind, L"Detect")) {
    TWinapp2RegPath path;
    if (aValue.find(L'|') != aValue.npos || !ParseRegPath(aValue, path)) {
      return TWinapp2IssueKind::BadRegistryKey;
    }
    entry.DetectKeys.push_back(std::move(path));
  } else if (kplat::SameText(aKind, L"DetectFile")) {
    const std::wstring_view path = WithoutTrailingBackslashes(aValue);
    if (!IsRulePath(path) || aValue.find(L'|') != aValue.npos) {
      return TWinapp2IssueKind::BadPath;
    }
    entry.DetectFiles.emplace_back(path);
  } else if (kplat::SameText(aKind, L"DetectOS")) {
    if (entry.DetectOS) {
      return TWinapp2IssueKind::GivenTwice;
    }
    const size_t bar = aValue.find(L'|');
    TWinapp2OSRange range;
    if (bar == aValue.npos || aValue.find(L'|', bar + 1) != aValue.npos ||
        !ParseKernelVersion(aValue.substr(0, bar), range.Min) ||
        !ParseKernelVersion(aValue.substr(bar + 1), range.Max)) {
      return TWinapp2IssueKind::BadValue;
    }
    entry.DetectOS = range;
  } else {
    const auto special = std::find_if(kSpecials.begin(), kSpecials.end(), [&](const auto& aPair) {
      return kplat::SameText(aValue, aPair.first);
    });
    if (special == kSpecials.end()) {
      return TWinapp2IssueKind::BadValue;
    }
    entry.SpecialDetects.push_back(special->second);
  }
  return std::nullopt;
}

std::optional<TWinapp2IssueKind> TReader::FileKey(std::wstring_view aValue) {
  std::vector<std::wstring> parts;
  SplitText(std::wstring(aValue), L'|', parts);
  if (parts.size() < 2 || parts.size() > 3) {
    return TWinapp2IssueKind::BadFileKey;
  }
  TWinapp2FileKey key;
  key.Line = FLine;
  const std::wstring_view folder = WithoutTrailingBackslashes(TrimView(parts[0]));
  if (!IsRulePath(folder)) {
    return TWinapp2IssueKind::BadPath;
  }
  key.Folder = std::wstring(folder);
  std::vector<std::wstring> patterns;
  SplitText(parts[1], L';', patterns);
  for (const std::wstring& pattern : patterns) {
    const std::wstring_view trimmed = TrimView(pattern);
    if (HasSeparator(trimmed)) {
      return TWinapp2IssueKind::BadFileKey;
    }
    if (!trimmed.empty()) {
      key.Patterns.push_back(FilePattern(trimmed));
    }
  }
  if (key.Patterns.empty()) {
    return TWinapp2IssueKind::BadFileKey;
  }
  const std::wstring_view flag = parts.size() == 3 ? TrimView(parts[2]) : std::wstring_view();
  if (kplat::SameText(flag, L"RECURSE")) {
    key.Scope = TWinapp2FileScope::Recurse;
  } else if (kplat::SameText(flag, L"REMOVESELF")) {
    key.Scope = TWinapp2FileScope::RemoveSelf;
  } else if (!flag.empty()) {
    return TWinapp2IssueKind::BadFileKey;
  }
  FEntry->FileKeys.push_back(std::move(key));
  return std::nullopt;
}

std::optional<TWinapp2IssueKind> TReader::RegKey(std::wstring_view aValue) {
  TWinapp2RegKey key;
  key.Line = FLine;
  if (!ParseRegRule(aValue, key.Path, key.Value)) {
    return TWinapp2IssueKind::BadRegistryKey;
  }
  FEntry->RegKeys.push_back(std::move(key));
  return std::nullopt;
}

std::optional<TWinapp2IssueKind> TReader::ExcludeKey(std::wstring_view aValue) {
  const size_t bar = aValue.find(L'|');
  if (bar == aValue.npos) {
    return TWinapp2IssueKind::BadExcludeKey;
  }
  const std::wstring_view kind = TrimView(aValue.substr(0, bar));
  const std::wstring_view rest = TrimView(aValue.substr(bar + 1));
  TWinapp2Exclude exclude;
  exclude.Line = FLine;
  if (kplat::SameText(kind, L"REG")) {
    exclude.Kind = TWinapp2ExcludeKind::Reg;
    if (!ParseRegRule(rest, exclude.Reg, exclude.Value)) {
      return TWinapp2IssueKind::BadRegistryKey;
    }
    FEntry->Excludes.push_back(std::move(exclude));
    return std::nullopt;
  }
  if (!kplat::SameText(kind, L"FILE") && !kplat::SameText(kind, L"PATH")) {
    return TWinapp2IssueKind::BadExcludeKey;
  }
  exclude.Kind =
      kplat::SameText(kind, L"FILE") ? TWinapp2ExcludeKind::File : TWinapp2ExcludeKind::Path;
  // "folder\|name"; written without the bar, FILE names its file as the last part of the path
  // and PATH keeps the whole folder.
  std::wstring_view folder = rest;
  std::wstring_view name;
  if (const size_t second = rest.rfind(L'|'); second != rest.npos) {
    folder = rest.substr(0, second);
    name = TrimView(rest.substr(second + 1));
  } else if (exclude.Kind == TWinapp2ExcludeKind::File) {
    const std::wstring_view path = WithoutTrailingBackslashes(rest);
    const size_t slash = path.find_last_of(L"\\/");
    folder = slash == path.npos ? std::wstring_view() : path.substr(0, slash);
    name = slash == path.npos ? path : path.substr(slash + 1);
  }
  folder = WithoutTrailingBackslashes(TrimView(folder));
  if (exclude.Kind == TWinapp2ExcludeKind::Path && name.empty()) {
    name = L"*";
  }
  if (name.empty() || HasSeparator(name) || folder.find(L'|') != folder.npos) {
    return TWinapp2IssueKind::BadExcludeKey;
  }
  if (!IsRulePath(folder)) {
    return TWinapp2IssueKind::BadPath;
  }
  exclude.Folder = std::wstring(folder);
  exclude.Pattern = FilePattern(name);
  FEntry->Excludes.push_back(std::move(exclude));
  return std::nullopt;
}

void TReader::Issue(TWinapp2IssueKind aKind, int aLine, std::wstring_view aText) {
  FFile.Issues.push_back(
      TWinapp2Issue{aLine, aKind, std::wstring(aText.substr(0, kMaxQuotedLine))});
}

} // namespace

TWinapp2File ReadWinapp2Text(std::wstring_view aText) {
  return TReader().Read(aText);
}

TWinapp2File ReadWinapp2Bytes(const std::vector<uint8_t>& aBytes) {
  const std::wstring text = DecodeIniText(aBytes);
  return ReadWinapp2Text(text);
}

TWinapp2File ReadWinapp2File(const std::wstring& aFileName) {
  std::wstring text;
  const TIniLoadResult loaded = ReadIniTextFile(aFileName, text);
  if (!loaded) {
    TWinapp2File file;
    file.Error = loaded.Error;
    file.Status = loaded.Status == TIniLoadStatus::Missing    ? TWinapp2Status::Missing
                  : loaded.Status == TIniLoadStatus::TooLarge ? TWinapp2Status::TooLarge
                                                              : TWinapp2Status::Unreadable;
    return file;
  }
  return ReadWinapp2Text(text);
}

std::wstring Winapp2IssueTextName(TWinapp2IssueKind aKind) {
  static constexpr std::array<std::wstring_view, 13> kNames = {
      L"Winapp2.OutsideEntry",  L"Winapp2.NotAnEntry", L"Winapp2.DuplicateEntry",
      L"Winapp2.NotAKey",       L"Winapp2.UnknownKey", L"Winapp2.GivenTwice",
      L"Winapp2.BadFileKey",    L"Winapp2.BadPath",    L"Winapp2.BadRegistryKey",
      L"Winapp2.BadExcludeKey", L"Winapp2.BadValue",   L"Winapp2.NoDeletionKey",
      L"Winapp2.Guarded"};
  return std::wstring(kNames.at(static_cast<size_t>(aKind)));
}

std::wstring Winapp2StatusTextName(TWinapp2Status aStatus) {
  switch (aStatus) {
  case TWinapp2Status::Missing:
    return L"Winapp2.Missing";
  case TWinapp2Status::Unreadable:
    return L"Winapp2.Unreadable";
  case TWinapp2Status::TooLarge:
    return L"Winapp2.TooLarge";
  case TWinapp2Status::NotWinapp2:
    return L"Winapp2.NotWinapp2";
  case TWinapp2Status::Loaded:
    break;
  }
  return L"";
}

std::wstring Winapp2CategoryTextName(int aLangSecRef) {
  if (std::find(kCategories.begin(), kCategories.end(), aLangSecRef) == kCategories.end()) {
    return L"";
  }
  return L"Winapp2.Category." + std::to_wstring(aLangSecRef);
}

std::wstring Winapp2RootName(kplat::TRegHandle aRoot) {
  const auto root = std::find_if(kRoots.begin(), kRoots.end(),
                                 [aRoot](const TRoot& aKnown) { return aKnown.Handle == aRoot; });
  return root == kRoots.end() ? std::wstring() : std::wstring(root->Long);
}
