#include "base/CLSettings.h"

#include "base/CLIniParse.h"
#include "base/CLMultiLangLan.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr wchar_t kSettingSection[] = L"setting";
constexpr wchar_t kShowAgainSection[] = L"ShowAgain";
constexpr wchar_t kShowAgainResultSection[] = L"ShowAgainModuleResult";
constexpr wchar_t kFlagSection[] = L"Flag";
constexpr wchar_t kAllUsersKey[] = L"AllUsers";
constexpr wchar_t kUserFlagFile[] = L"UserFlag.ini";
constexpr wchar_t kDebugTag[] = L"CLSettings";
constexpr kplat::TFileTime kFileTimeTicksPerDay = 864000000000ull;
// A file another program holds open for a moment (a virus scanner, a backup, a second start of
// ours) is read again a few times before it counts as unreadable.
constexpr int kReadAttempts = 4;
constexpr uint32_t kReadRetryMs = 50;

TIniLoadResult LoadPatiently(TCLMemIniFile& aFile) {
  TIniLoadResult loaded = aFile.Load();
  for (int attempt = 1; attempt < kReadAttempts && loaded.Status == TIniLoadStatus::Unreadable;
       ++attempt) {
    kplat::Platform().Clock().SleepMs(kReadRetryMs);
    loaded = aFile.Load();
  }
  return loaded;
}

std::wstring NoTrailingBackslash(std::wstring aFolder) {
  if (aFolder.size() > 3 && aFolder.back() == L'\\') {
    aFolder.pop_back();
  }
  return aFolder;
}

std::wstring DerivedConfigPathWord() {
  std::wstring word = GetAppExeName();
  std::replace_if(
      word.begin(), word.end(), [](wchar_t c) { return c == L'\\' || c == L':' || c == L'/'; },
      L'_');
  return word;
}

// A name=value line of one of the engine's lists.
std::optional<std::wstring> FindInList(const TStringList& aList, const std::wstring& strName) {
  const int index = aList.IndexOfName(strName);
  if (index < 0) {
    return std::nullopt;
  }
  return aList.ValueFromIndex(index);
}

std::optional<double> ParseFloat(std::wstring_view aText) {
  // Digits, one separator, a sign and an exponent are all ASCII; anything else is no number.
  std::string text;
  for (const wchar_t c : aText) {
    if (c > 0x7F) {
      return std::nullopt;
    }
    text.push_back(c == L',' ? '.' : static_cast<char>(c));
  }
  if (text.empty() || text.find_first_not_of("+-.0123456789eE") != std::string::npos) {
    return std::nullopt;
  }
  const char* first = text.data();
  if (*first == '+') {
    ++first;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::wstring FormatFloat(double aValue) {
  if (!std::isfinite(aValue)) {
    return L"0";
  }
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), aValue);
  return error == std::errc() ? std::wstring(buffer, end) : L"0";
}

} // namespace

TCLSettings::TCLSettings(const std::wstring& aSettingFile) {
  FSettingFilename = aSettingFile.empty() ? L"setting.dat" : aSettingFile;
  const std::wstring constFile = aSettingFile.empty() ? L"const.dat" : aSettingFile;

  FConstDataPath = GetAppPath();
  FConstValueIni.Load(FConstDataPath + constFile);
  FOemValueIni.Load(FConstDataPath + L"oem." + constFile);

  // The user file is not open yet: only the engine's lists and the read-only files count.
  FConfigPathWord = GetSettingString(L"App.ConfigPath");
  if (FConfigPathWord.empty()) {
    FConfigPathWord = DerivedConfigPathWord();
  }
  FUserDataPathCurrentUser = GetShellFolder(L"AppData") + L"\\" + FConfigPathWord + L"\\";
  FUserDataPathAllUsers = GetCommonShellFolder(L"Common AppData") + L"\\" + FConfigPathWord + L"\\";

  SetAllUser(DecideAllUser());

  // A settings file that is there but unreadable was written by an earlier start.
  FRunTimes = FSettingIniKept ? std::max(GetSettingInteger(L"RunTimes"), 1)
                              : GetSettingInteger(L"RunTimes");
  SetSettingInteger(L"RunTimes",
                    FRunTimes < std::numeric_limits<int32_t>::max() ? FRunTimes + 1 : FRunTimes);
}

TCLSettings::~TCLSettings() = default;

bool TCLSettings::DecideAllUser() {
  // The flag file is read once: a file held open by another program costs one patient read.
  TCLMemIniFile flags(UserFlagFileName());
  const TIniLoadResult loaded = LoadPatiently(flags);
  const bool writeable = IsAllUserPathWriteable();
  const bool exists = flags.ValueExists(kFlagSection, kAllUsersKey);
  // A flag file that cannot be read says nothing: the per-machine folder only when writeable.
  const bool flag = flags.ReadInteger(kFlagSection, kAllUsersKey, 1) != 0;
  // A missing flag is set to whether the per-machine folder is writeable; one that chooses a
  // folder the user cannot write is turned off. A flag file we cannot read is left as it is.
  if ((!exists || (flag && !writeable)) && (loaded || loaded.Status == TIniLoadStatus::Missing)) {
    flags.WriteString(kFlagSection, kAllUsersKey, !exists && writeable ? L"1" : L"0");
    flags.UpdateFile();
  }
  return flag && writeable;
}

std::optional<std::wstring> TCLSettings::FindSetting(const std::wstring& strName) const {
  const ICLSettingsOwner* owner = GetCLSettingsOwner();
  if (owner != nullptr) {
    if (std::optional<std::wstring> value = FindInList(owner->SettingOverwrite(), strName)) {
      return value;
    }
  }
  if (FSettingIni != nullptr) {
    if (std::optional<std::wstring> value = FSettingIni->FindString(kSettingSection, strName)) {
      return value;
    }
  }
  if (std::optional<std::wstring> value = FOemValueIni.FindString(kSettingSection, strName)) {
    return value;
  }
  if (std::optional<std::wstring> value = FConstValueIni.FindString(kSettingSection, strName)) {
    return value;
  }
  if (owner != nullptr) {
    return FindInList(owner->SettingDefault(), strName);
  }
  return std::nullopt;
}

std::wstring TCLSettings::GetSettingString(const std::wstring& strName) const {
  if (std::optional<std::wstring> value = FindSetting(strName)) {
    return *value;
  }
  kplat::DebugLog(kDebugTag, L"Setting Not Found :" + strName);
  return std::wstring();
}

int32_t TCLSettings::GetSettingInteger(const std::wstring& strName) const {
  return ParseIniInteger(GetSettingString(strName), true).value_or(0);
}

double TCLSettings::GetSettingFloat(const std::wstring& strName) const {
  return ParseFloat(GetSettingString(strName)).value_or(0);
}

bool TCLSettings::GetSettingBool(const std::wstring& strName) const {
  return GetSettingInteger(strName) != 0;
}

TRect TCLSettings::GetSettingRect(const std::wstring& strName, const TRect& aDefault) const {
  std::vector<std::wstring> parts;
  SplitText(GetSettingString(strName), L',', parts);
  if (parts.size() != 4) {
    return aDefault;
  }
  const auto part = [&parts](size_t aIndex) {
    return ParseIniInteger(ini::TrimLine(parts[aIndex]), true).value_or(0);
  };
  return TRect{part(0), part(1), part(2), part(3)};
}

bool TCLSettings::GetSettingExists(const std::wstring& strName) const {
  return FindSetting(strName).has_value();
}

void TCLSettings::WriteSetting(const std::wstring& strSection, const std::wstring& strName,
                               const std::wstring& strValue) {
  if (FSettingIni != nullptr && FSettingIni->WriteString(strSection, strName, strValue)) {
    WriteChanged();
  }
}

void TCLSettings::WriteChanged() {
  if (!FUpdating) {
    UpdateSettingINI();
  }
}

void TCLSettings::SetSettingstring(const std::wstring& strName, const std::wstring& strValue) {
  WriteSetting(kSettingSection, strName, strValue);
}

void TCLSettings::SetSettingInteger(const std::wstring& strName, int32_t iValue) {
  SetSettingstring(strName, std::to_wstring(iValue));
}

void TCLSettings::SetSettingFloat(const std::wstring& strName, double fValue) {
  SetSettingstring(strName, FormatFloat(fValue));
}

void TCLSettings::SetSettingBool(const std::wstring& strName, bool ibValue) {
  SetSettingInteger(strName, ibValue ? 1 : 0);
}

void TCLSettings::SetSettingRect(const std::wstring& strName, const TRect& rcValue) {
  SetSettingstring(strName, std::to_wstring(rcValue.Left) + L"," + std::to_wstring(rcValue.Top) +
                                L"," + std::to_wstring(rcValue.Right) + L"," +
                                std::to_wstring(rcValue.Bottom));
}

bool TCLSettings::GetMessageShowAgainFlag(int32_t iNumber) const {
  return FSettingIni == nullptr ||
         FSettingIni->ReadInteger(kShowAgainSection, std::to_wstring(iNumber), 1) != 0;
}

void TCLSettings::SetMessageShowAgainFlag(int32_t iNumber, bool bValue) {
  WriteSetting(kShowAgainSection, std::to_wstring(iNumber), bValue ? L"1" : L"0");
}

int32_t TCLSettings::GetMessageShowAgainResult(int32_t iNumber) const {
  return FSettingIni == nullptr
             ? 1
             : FSettingIni->ReadInteger(kShowAgainResultSection, std::to_wstring(iNumber), 1);
}

void TCLSettings::SetMessageShowAgainResult(int32_t iNumber, int32_t iValue) {
  WriteSetting(kShowAgainResultSection, std::to_wstring(iNumber), std::to_wstring(iValue));
}

void TCLSettings::ClearShowAgainFlag() {
  if (FSettingIni == nullptr) {
    return;
  }
  FSettingIni->EraseSection(kShowAgainSection);
  FSettingIni->EraseSection(kShowAgainResultSection);
  WriteChanged();
}

std::wstring TCLSettings::UserFlagFileName() const {
  kplat::ForceFolders(NoTrailingBackslash(FUserDataPathCurrentUser));
  return FUserDataPathCurrentUser + kUserFlagFile;
}

bool TCLSettings::IsAllUserFlagExists() const {
  TCLMemIniFile flags(UserFlagFileName());
  LoadPatiently(flags);
  return flags.ValueExists(kFlagSection, kAllUsersKey);
}

bool TCLSettings::GetAllUserFlag() const {
  TCLMemIniFile flags(UserFlagFileName());
  LoadPatiently(flags);
  return flags.ReadInteger(kFlagSection, kAllUsersKey, 1) != 0;
}

void TCLSettings::SetAllUserFlag(bool bValue) {
  TCLMemIniFile flags(UserFlagFileName());
  const TIniLoadResult loaded = LoadPatiently(flags);
  if (!loaded && loaded.Status != TIniLoadStatus::Missing) {
    return; // a flag file we cannot read is left as it is
  }
  flags.WriteString(kFlagSection, kAllUsersKey, bValue ? L"1" : L"0");
  flags.UpdateFile();
}

bool TCLSettings::IsAllUserPathWriteable() const {
  const std::wstring folder = NoTrailingBackslash(FUserDataPathAllUsers);
  return kplat::ForceFolders(folder) == kplat::err::Success && IsPathWriteable(folder);
}

void TCLSettings::SetAllUser(bool Value) {
  FAllUser = Value;
  FUserDataPath = Value ? FUserDataPathAllUsers : FUserDataPathCurrentUser;
  kplat::ForceFolders(NoTrailingBackslash(FUserDataPath));
  FUserDataPath = NormalizeFolder(GetLongPath(NoTrailingBackslash(FUserDataPath)));

  FSettingIni.reset();
  FSettingIniKept = false;
  const std::wstring fileName = FUserDataPath + FSettingFilename;
  if (!kplat::PathExists(fileName)) {
    kplat::WriteFileAtomic(fileName, {0x20});
  }
  FSettingIni = std::make_unique<TCLMemIniFile>(fileName);
  const TIniLoadResult loaded = LoadPatiently(*FSettingIni);
  FSettingIniKept = !loaded && loaded.Status != TIniLoadStatus::Missing;
  if (FSettingIniKept) {
    kplat::DebugLog(kDebugTag, L"Settings unreadable (" + std::to_wstring(loaded.Error) +
                                   L"), not saved this run: " + fileName);
  }
}

void TCLSettings::TellUnreadable() {
  ICLSettingsOwner* owner = GetCLSettingsOwner();
  if (!FSettingIniKept || FUnreadableTold || owner == nullptr) {
    return;
  }
  FUnreadableTold = true;
  owner->TellSettingsUnreadable(FSettingIni->FileName());
}

kplat::TErrorCode TCLSettings::EndUpdate() {
  FUpdating = false;
  return UpdateSettingINI();
}

kplat::TErrorCode TCLSettings::UpdateSettingINI() {
  if (FSettingIni == nullptr || FSettingIniKept) {
    return kplat::err::AccessDenied;
  }
  return FSettingIni->UpdateFile();
}

int32_t TCLSettings::GetRunDays() const {
  kplat::IClock& clock = kplat::Platform().Clock();
  const kplat::TFileTime now = clock.UtcToLocal(clock.NowUtc());
  int32_t days = 0;
  for (const std::wstring& folder :
       {FConstDataPath, FUserDataPathCurrentUser, FUserDataPathAllUsers}) {
    kplat::TFileTime created = 0;
    if (!GetFileCreationTime(NoTrailingBackslash(folder), created)) {
      continue;
    }
    created = clock.UtcToLocal(created);
    if (created < now) {
      const uint64_t whole = (now - created) / kFileTimeTicksPerDay;
      days = std::max<int32_t>(days, static_cast<int32_t>(std::min<uint64_t>(
                                         whole, std::numeric_limits<int32_t>::max())));
    }
  }
  return days;
}

std::wstring TCLSettings::SlowGetLanguageString(const std::wstring& strSection,
                                                const std::wstring& strValue,
                                                const std::wstring& strDefault) const {
  std::wstring language = GetSettingString(L"Language.Force");
  if (language.empty()) {
    language = GetSettingString(L"Language");
  }
  // Without the engine its defaults are not there to name the folder and the language.
  if (language.empty()) {
    language = L"English";
  }
  std::wstring folder = GetSettingString(L"Path.Languages");
  if (folder.empty()) {
    folder = L"lang";
  }
  std::wstring text;
  TCLMemIniFile languageFile;
  if (ReadLangFile(FConstDataPath + folder + L"\\" + language + L".lan", text)) {
    languageFile.SetText(text);
  }
  return languageFile.ReadString(strSection, strValue, strDefault);
}

namespace {
std::unique_ptr<TCLSettings> GSettings;
ICLSettingsOwner* GSettingsOwner = nullptr;
} // namespace

ICLSettingsOwner* GetCLSettingsOwner() {
  return GSettingsOwner;
}

ICLSettingsOwner* SetCLSettingsOwner(ICLSettingsOwner* aOwner) {
  return std::exchange(GSettingsOwner, aOwner);
}

TCLSettings& GetCLSettings(const std::wstring& aSettingFile) {
  if (GSettings == nullptr) {
    GSettings = std::make_unique<TCLSettings>(aSettingFile);
  }
  return *GSettings;
}

void FreeCLSettings() {
  GSettings.reset();
}
