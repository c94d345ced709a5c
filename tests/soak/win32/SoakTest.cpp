// Rounds of repair and restore through kestrova-cli on the real registry and disk. Each round
// seeds a random set of registry keys and values and of junk files and folders that a Winapp2
// file of its own finds, takes a snapshot of them, repairs everything the scan finds, restores
// the run and compares: every key, value, file, folder, time and attribute must be as it was.
// Every tenth round first kills a paced repair at a random point and restores what it backed up.
//
// KESTROVA_SOAK_ROUNDS (default 2) and KESTROVA_SOAK_SEED choose the rounds and the seed; both
// are printed, so a failing round can be run again as it was.

#include "base/CLHelpers.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/TestProcess.h"
#include "support/win32/WinScratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace kplat;

const std::wstring kRootKey = L"Software\\KestrovaSoak";
constexpr DWORD kLimitMs = 120000;
constexpr uint64_t kDefaultSeed = 20261210;

uint64_t EnvNumber(const char* aName, uint64_t aDefault) {
  const char* text = std::getenv(aName);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : aDefault;
}

// --- What a round compares

struct TFileState {
  bool Folder = false;
  uint32_t Attributes = 0;
  uint64_t Creation = 0;
  uint64_t LastWrite = 0;
  std::vector<uint8_t> Data;
};

struct TState {
  std::map<std::wstring, std::map<std::wstring, TRegValue>> Keys; // key path: its values
  std::map<std::wstring, TFileState> Files;                       // full path
};

uint64_t Ticks(const FILETIME& aTime) {
  return (static_cast<uint64_t>(aTime.dwHighDateTime) << 32) | aTime.dwLowDateTime;
}

void ReadKeys(const std::wstring& aKey, TState& aState) {
  TRegKey key;
  if (key.Open(regroot::CurrentUser, aKey) != err::Success) {
    return;
  }
  auto& values = aState.Keys[aKey];
  for (const std::wstring& name : key.ValueNames()) {
    key.Query(name, values[name]);
  }
  for (const std::wstring& sub : key.SubKeyNames()) {
    ReadKeys(aKey + L"\\" + sub, aState);
  }
}

void ReadFiles(const std::wstring& aFolder, TState& aState) {
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((aFolder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    return;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") {
      continue;
    }
    const std::wstring path = aFolder + L"\\" + name;
    TFileState& state = aState.Files[path];
    state.Folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    state.Attributes = found.dwFileAttributes;
    if (state.Folder) {
      ReadFiles(path, aState);
      continue;
    }
    // A folder's times change with what is put into it; a file's must come back as they were.
    state.Creation = Ticks(found.ftCreationTime);
    state.LastWrite = Ticks(found.ftLastWriteTime);
    if (Platform().Files().ReadFile(path, state.Data, 1u << 24) != err::Success) {
      state.Data = {'?', 'u', 'n', 'r', 'e', 'a', 'd', 'a', 'b', 'l', 'e'};
    }
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
}

std::string Hex(const std::vector<uint8_t>& aData) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < aData.size() && i < 48; ++i) {
    std::snprintf(byte, sizeof(byte), "%02x", aData[i]);
    text += byte;
  }
  return aData.size() > 48 ? text + "... (" + std::to_string(aData.size()) + " bytes)" : text;
}

std::string Value(const TRegValue& aValue) {
  return "type " + std::to_string(aValue.Type) + " data " + Hex(aValue.Data);
}

// Each difference between aBefore and aAfter, named exactly.
std::vector<std::string> Differences(const TState& aBefore, const TState& aAfter) {
  std::vector<std::string> found;
  const auto key = [](const std::wstring& aKey) { return "HKCU\\" + ToUtf8(aKey); };
  for (const auto& [path, values] : aBefore.Keys) {
    const auto after = aAfter.Keys.find(path);
    if (after == aAfter.Keys.end()) {
      found.push_back("key " + key(path) + " is missing");
      continue;
    }
    for (const auto& [name, value] : values) {
      const std::string place = "value \"" + ToUtf8(name) + "\" of " + key(path);
      const auto restored = after->second.find(name);
      if (restored == after->second.end()) {
        found.push_back(place + " is missing (was " + Value(value) + ")");
      } else if (restored->second.Type != value.Type || restored->second.Data != value.Data) {
        found.push_back(place + " was " + Value(value) + ", is " + Value(restored->second));
      }
    }
    for (const auto& [name, value] : after->second) {
      if (!values.count(name)) {
        found.push_back("value \"" + ToUtf8(name) + "\" of " + key(path) + " is new");
      }
    }
  }
  for (const auto& [path, values] : aAfter.Keys) {
    if (!aBefore.Keys.count(path)) {
      found.push_back("key " + key(path) + " is new");
    }
  }
  for (const auto& [path, file] : aBefore.Files) {
    const std::string place = (file.Folder ? "folder " : "file ") + ToUtf8(path);
    const auto after = aAfter.Files.find(path);
    if (after == aAfter.Files.end()) {
      found.push_back(place + " is missing");
      continue;
    }
    const TFileState& now = after->second;
    if (now.Attributes != file.Attributes) {
      found.push_back(place + ": attributes were " + std::to_string(file.Attributes) + ", are " +
                      std::to_string(now.Attributes));
    }
    if (now.Data != file.Data) {
      found.push_back(place + ": content was " + Hex(file.Data) + ", is " + Hex(now.Data));
    }
    if (now.Creation != file.Creation || now.LastWrite != file.LastWrite) {
      found.push_back(place + ": times (creation, last write) were " +
                      std::to_string(file.Creation) + ", " + std::to_string(file.LastWrite) +
                      ", are " + std::to_string(now.Creation) + ", " +
                      std::to_string(now.LastWrite));
    }
  }
  for (const auto& [path, file] : aAfter.Files) {
    if (!aBefore.Files.count(path)) {
      found.push_back((file.Folder ? "folder " : "file ") + ToUtf8(path) + " is new");
    }
  }
  return found;
}

// --- What a round seeds

// Names of keys, values, files and folders: spaces, dots, quotes, backslashes where the name
// may hold them, and letters of several scripts.
const std::vector<std::wstring> kNameParts = {
    L"plain",
    L"with space",
    L"many.dots.in.it",
    L"caf\x00e9",
    L"\x65e5\x672c",
    L"\x03a9mega",
    L"\x017dlu\x0165",
    L"semi;colon",
    L"brace{x}",
    L"#hash",
    L"per%cent%",
    L"it's",
    L"(paren)",
    L"a,b",
    L"x+y=z",
    L"\x0416\x0443\x043a",
    L"emoji\xd83d\xde00",
    L"tab-less_name",
    L"UPPER lower",
    L"~tilde",
};
const std::vector<std::wstring> kValueOnlyParts = {
    L"say \"quoted\"", L"back\\slash", L"trailing\\", L"\"", L"[bracket]", L"=equals"};

class TRoundSeed {
public:
  explicit TRoundSeed(uint64_t aSeed) : FDraw(aSeed) {}

  int Between(int aLow, int aHigh) {
    return std::uniform_int_distribution<int>(aLow, aHigh)(FDraw);
  }
  bool Chance(int aPercent) { return Between(1, 100) <= aPercent; }
  template <typename T> const T& Pick(const std::vector<T>& aItems) {
    return aItems[static_cast<size_t>(Between(0, static_cast<int>(aItems.size()) - 1))];
  }

  // A name no other name in aTaken has, without regard to case.
  std::wstring Name(std::set<std::wstring>& aTaken, bool aForValue, size_t aMaxLength) {
    for (;;) {
      std::wstring name = Pick(kNameParts);
      if (aForValue && Chance(40)) {
        name = Pick(kValueOnlyParts);
      }
      if (Chance(40)) {
        name += L" " + Pick(kNameParts);
      }
      if (Chance(8)) {
        name += L" " + std::wstring(static_cast<size_t>(Between(60, 110)), L'L');
      }
      name += L" " + std::to_wstring(Between(0, 999));
      if (name.size() > aMaxLength) {
        name = name.substr(name.size() - aMaxLength);
      }
      while (!name.empty() &&
             (name.front() == L' ' || name.back() == L' ' || name.back() == L'.')) {
        name.erase(name.front() == L' ' ? 0 : name.size() - 1, 1);
      }
      if (!name.empty() && aTaken.insert(UpperCase(name)).second) {
        return name;
      }
    }
  }

  std::vector<uint8_t> Bytes(int aMax) {
    std::vector<uint8_t> data(static_cast<size_t>(Between(0, aMax)));
    for (uint8_t& byte : data) {
      byte = static_cast<uint8_t>(Between(0, 255));
    }
    return data;
  }

  std::wstring Text() {
    std::wstring text;
    const int parts = Between(0, 4);
    for (int i = 0; i < parts; ++i) {
      text += Pick(std::vector<std::wstring>{L"C:\\Dir\\Sub\\", L"say \"hi\"", L"\\\\server\\share",
                                             L"%SystemRoot%\\system32", L"line\r\nbreak",
                                             L"caf\x00e9 \x4e2d\x6587", L"100%", L"\"", L"\\"});
    }
    return text;
  }

  // A value of every type the registry holds, in turn and at random.
  TRegValue Value() {
    switch (Between(0, 11)) {
    case 0:
      return MakeStringValue(Text());
    case 1:
      return MakeStringValue(Text(), regtype::ExpandSz);
    case 2: {
      std::vector<std::wstring> items;
      for (int i = Between(0, 3); i > 0; --i) {
        items.push_back(Text() + L"item" + std::to_wstring(i));
      }
      return MakeMultiStringValue(items);
    }
    case 3:
      return MakeDwordValue(static_cast<uint32_t>(FDraw()));
    case 4:
      return MakeQwordValue(FDraw());
    case 5:
      return TRegValue{regtype::Binary, Bytes(300)};
    case 6:
      return TRegValue{regtype::None, Bytes(20)};
    case 7:
      return TRegValue{regtype::DwordBigEndian, Bytes(4)};
    case 8:
      return TRegValue{regtype::ResourceList, Bytes(40)};
    case 9:
      return TRegValue{static_cast<uint32_t>(Pick(std::vector<int>{6, 9, 10})), Bytes(24)};
    case 10:
      return MakeDwordValue(Chance(50) ? 0u : 0xFFFFFFFFu);
    default:
      return MakeStringValue(L"");
    }
  }

  FILETIME Time() {
    // Between 2001 and 2025, to the tick.
    const uint64_t ticks = 126227808000000000ull +
                           std::uniform_int_distribution<uint64_t>(0, 7890000000000000ull)(FDraw);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  }

  uint32_t Attributes() {
    uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE;
    if (Chance(20)) {
      attributes |= FILE_ATTRIBUTE_READONLY;
    }
    if (Chance(20)) {
      attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (Chance(5)) {
      attributes |= FILE_ATTRIBUTE_SYSTEM;
    }
    return attributes;
  }

private:
  std::mt19937_64 FDraw;
};

// --- The round

struct TTotals {
  int Rounds = 0;
  int Kills = 0;
  int Findings = 0;
  int Repaired = 0;
  int NotRepaired = 0; // read-only files, which a repair leaves
  int ValuesRestored = 0;
  int FilesRestored = 0;
  std::vector<std::string> Differences;
};

int Count(const std::string& aText, const std::string& aWhat) {
  int count = 0;
  for (size_t at = aText.find(aWhat); at != std::string::npos; at = aText.find(aWhat, at + 1)) {
    ++count;
  }
  return count;
}

// The number after "aName": in a JSON answer, or 0.
int Number(const std::string& aText, const std::string& aName) {
  const size_t at = aText.find("\"" + aName + "\": ");
  return at == std::string::npos ? 0 : std::atoi(aText.c_str() + at + aName.size() + 4);
}

class Soak : public testing::Test {
protected:
  Soak()
      : FPlatform(win32::InstallWin32Platform()),
        FScratch(ktest::win32::TempFolder() + L"KestrovaSoak-" +
                 std::to_wstring(::GetCurrentProcessId()) + L"\\"),
        FJunk(GetShellFolder(L"Local AppData") + L"\\KestrovaSoak") {
    ktest::win32::RemoveTree(FScratch);
    ForceFolders(FScratch);
    // A copy of the program of its own, which keeps its backups in a data folder of its own:
    // the other tests' backups are neither seen nor changed.
    FCli = FScratch + L"kestrova-cli.exe";
    for (const wchar_t* file : {L"kestrova-cli.exe", L"const.dat"}) {
      ::CopyFileW((ktest::win32::ProgramFolder() + file).c_str(), (FScratch + file).c_str(), FALSE);
    }
    Clear();
  }

  ~Soak() override {
    Clear();
    std::wstring word = FScratch + L"Kestrova.exe";
    std::replace_if(
        word.begin(), word.end(), [](wchar_t c) { return c == L'\\' || c == L':'; }, L'_');
    ktest::win32::RemoveTree(GetShellFolder(L"AppData") + L"\\" + word);
    ktest::win32::RemoveTree(GetCommonShellFolder(L"Common AppData") + L"\\" + word);
    ktest::win32::RemoveTree(FScratch);
  }

  void Clear() {
    Platform().Registry().DeleteKeyTree(regroot::CurrentUser, kRootKey, TRegView::Default);
    ktest::win32::RemoveTree(FJunk);
  }

  ktest::win32::TProgramRun Cli(const std::wstring& aArguments,
                                const std::function<bool()>& aKillWhen = {}) {
    ++FRuns;
    return ktest::win32::RunProgram(L"\"" + FCli + L"\" " + aArguments,
                                    FScratch + std::to_wstring(FRuns), kLimitMs, aKillWhen);
  }

  void WriteValue(const std::wstring& aKey, const std::wstring& aName, const TRegValue& aValue) {
    TRegKey key;
    ASSERT_EQ(key.Create(regroot::CurrentUser, aKey), err::Success) << ToUtf8(aKey);
    ASSERT_EQ(key.Write(aName, aValue), err::Success) << ToUtf8(aKey + L" " + aName);
  }

  // A key with random values and, down to aDepth levels, keys below it (some of them empty).
  void SeedTree(TRoundSeed& aSeed, const std::wstring& aKey, int aDepth) {
    TRegKey key;
    ASSERT_EQ(key.Create(regroot::CurrentUser, aKey), err::Success) << ToUtf8(aKey);
    std::set<std::wstring> names;
    for (int i = aSeed.Between(0, 4); i > 0; --i) {
      WriteValue(aKey, aSeed.Chance(15) ? L"" : aSeed.Name(names, true, 80), aSeed.Value());
    }
    std::set<std::wstring> keys;
    for (int i = aDepth > 0 ? aSeed.Between(0, 3) : 0; i > 0; --i) {
      SeedTree(aSeed, aKey + L"\\" + aSeed.Name(keys, false, 60), aDepth - 1);
    }
  }

  void SeedFile(TRoundSeed& aSeed, const std::wstring& aPath, bool aJunk) {
    std::vector<uint8_t> data = aSeed.Bytes(aSeed.Chance(5) ? 100000 : 2000);
    ASSERT_EQ(Platform().Files().WriteFile(aPath, data), err::Success) << ToUtf8(aPath);
    HANDLE file = ::CreateFileW(aPath.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << ToUtf8(aPath);
    const FILETIME created = aSeed.Time();
    const FILETIME written = aSeed.Time();
    ::SetFileTime(file, &created, &written, &written);
    ::CloseHandle(file);
    const uint32_t attributes = aSeed.Attributes();
    ::SetFileAttributesW(aPath.c_str(), attributes);
    // A read-only file is never deleted; it stays where it is.
    FSeeded += aJunk && (attributes & FILE_ATTRIBUTE_READONLY) == 0 ? 1 : 0;
  }

  // Files below aFolder, in folders down to aDepth levels; each file's name ends in aSuffix.
  void SeedFolder(TRoundSeed& aSeed, const std::wstring& aFolder, int aDepth,
                  const std::wstring& aSuffix, bool aJunk) {
    ASSERT_EQ(ForceFolders(aFolder), err::Success) << ToUtf8(aFolder);
    // Paths stay within MAX_PATH, the quarantine's own folder names included.
    const size_t room = aFolder.size() < 170 ? 200 - aFolder.size() : 30;
    std::set<std::wstring> names;
    for (int i = aSeed.Between(aDepth > 1 ? 1 : 0, 3); i > 0; --i) {
      SeedFile(aSeed, aFolder + L"\\" + aSeed.Name(names, false, room) + aSuffix, aJunk);
    }
    for (int i = aDepth > 0 ? aSeed.Between(0, 2) : 0; i > 0; --i) {
      SeedFolder(aSeed, aFolder + L"\\" + aSeed.Name(names, false, std::min<size_t>(room, 40)),
                 aDepth - 1, aSuffix, aJunk);
    }
  }

  // Seeds the round's registry entries and files and writes the Winapp2 file that finds them.
  void Seed(TRoundSeed& aSeed) {
    FSeeded = 0;
    const std::wstring hkcu = L"HKCU\\" + kRootKey;
    std::wstring rules = L"\xFEFF; Version: 990301\r\n[Kestrova Soak *]\r\nSection=Soak\r\n"
                         L"Detect=" +
                         hkcu +
                         L"\r\nFileKey1=%LocalAppData%\\KestrovaSoak\\Deep|*|RECURSE\r\n"
                         L"FileKey2=%LocalAppData%\\KestrovaSoak\\Whole|*|REMOVESELF\r\n"
                         L"FileKey3=%LocalAppData%\\KestrovaSoak\\Flat|*.tmp;*.log\r\n";
    int regKey = 0;
    const auto addRule = [&](const std::wstring& aRule) {
      rules += L"RegKey" + std::to_wstring(++regKey) + L"=" + hkcu + L"\\" + aRule + L"\r\n";
    };
    std::set<std::wstring> trees;
    for (int i = aSeed.Between(1, 3); i > 0; --i) {
      const std::wstring tree = L"Trees\\" + aSeed.Name(trees, false, 60);
      SeedTree(aSeed, kRootKey + L"\\" + tree, 3);
      addRule(tree);
      ++FSeeded;
    }
    // Single values, each its own rule, beside values no rule names.
    std::set<std::wstring> names;
    for (int i = aSeed.Between(1, 4); i > 0; --i) {
      const std::wstring name = aSeed.Name(names, true, 80);
      WriteValue(kRootKey + L"\\Values", name, aSeed.Value());
      addRule(L"Values|" + name);
      ++FSeeded;
    }
    for (int i = aSeed.Between(1, 2); i > 0; --i) {
      WriteValue(kRootKey + L"\\Values", aSeed.Name(names, true, 80), aSeed.Value());
    }
    // A key whose part below is kept: its values and other keys go one by one.
    SeedTree(aSeed, kRootKey + L"\\Partly", 2);
    WriteValue(kRootKey + L"\\Partly\\Pinned", L"kept", aSeed.Value());
    addRule(L"Partly");
    rules += L"ExcludeKey1=REG|" + hkcu + L"\\Partly\\Pinned\r\n";
    SeedTree(aSeed, kRootKey + L"\\Bystander", 1);

    SeedFolder(aSeed, FJunk + L"\\Deep", 2, L"", true);
    SeedFolder(aSeed, FJunk + L"\\Whole", 2, L"", true);
    if (aSeed.Chance(30)) {
      ASSERT_EQ(ForceFolders(FJunk + L"\\Whole\\empty folder\\below"), err::Success);
    }
    SeedFolder(aSeed, FJunk + L"\\Flat", 0, L".tmp", true);
    SeedFolder(aSeed, FJunk + L"\\Flat", 0, L".log", true);
    SeedFolder(aSeed, FJunk + L"\\Flat", 1, L".txt", false);
    FRules = FScratch + L"soak.ini";
    ASSERT_EQ(Platform().Files().WriteFile(FRules, EncodeUtf16Le(rules)), err::Success);
  }

  TState Snapshot() {
    TState state;
    ReadKeys(kRootKey, state);
    ReadFiles(FJunk, state);
    return state;
  }

  // Seeded places that a repair has taken so far.
  int Taken(const TState& aBefore) {
    int taken = 0;
    TRegKey key;
    for (const auto& [path, values] : aBefore.Keys) {
      if (path.rfind(kRootKey + L"\\Trees\\", 0) == 0 &&
          path.find(L'\\', kRootKey.size() + 7) == std::wstring::npos &&
          key.Open(regroot::CurrentUser, path) != err::Success) {
        ++taken;
      }
    }
    if (key.Open(regroot::CurrentUser, kRootKey + L"\\Values") == err::Success) {
      TRegKeyInfo info;
      key.Info(info);
      taken += static_cast<int>(aBefore.Keys.at(kRootKey + L"\\Values").size()) -
               static_cast<int>(info.ValueCount);
    }
    for (const auto& [path, file] : aBefore.Files) {
      if (!file.Folder && (file.Attributes & FILE_ATTRIBUTE_READONLY) == 0 &&
          path.find(L".txt") == std::wstring::npos &&
          ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ++taken;
      }
    }
    return taken;
  }

  // Restores the newest run and compares with aBefore; what differs is noted under aWhat.
  void RestoreAndCompare(const TState& aBefore, const std::string& aWhat) {
    const ktest::win32::TProgramRun restore = Cli(L"restore 1 --json");
    if (restore.ExitCode != 0) {
      FTotals.Differences.push_back(aWhat + ": restore failed (" +
                                    std::to_string(restore.ExitCode) + "): " + restore.Output +
                                    restore.Errors);
    }
    FTotals.ValuesRestored += Number(restore.Output, "verified");
    FTotals.FilesRestored += Number(restore.Output, "filesRestored");
    for (const std::string& difference : Differences(aBefore, Snapshot())) {
      FTotals.Differences.push_back(aWhat + ": " + difference);
    }
  }

  void Round(uint64_t aSeed, int aRound, bool aKill) {
    TRoundSeed seed(aSeed * 1000003ull + static_cast<uint64_t>(aRound));
    Clear();
    Seed(seed);
    const TState before = Snapshot();
    const std::string name = "round " + std::to_string(aRound);
    const std::wstring selection = L"--winapp2 \"" + FRules + L"\" --all --json";
    if (aKill) {
      // Killed once it has taken at least one seeded place and before the last.
      const int killPoint = seed.Between(1, std::max(FSeeded - 1, 1));
      const ktest::win32::TProgramRun cut =
          Cli(L"cure --pace " + selection, [&] { return Taken(before) >= killPoint; });
      if (cut.ExitCode == ktest::win32::kKilledExitCode) {
        ++FTotals.Kills;
      }
      RestoreAndCompare(before, name + " (killed after " + std::to_string(killPoint) + ")");
    }
    const ktest::win32::TProgramRun cure = Cli(L"cure " + selection);
    if (cure.ExitCode != 0 || cure.Output.find("\"backup\": null") != std::string::npos) {
      FTotals.Differences.push_back(name + ": cure failed (" + std::to_string(cure.ExitCode) +
                                    "): " + cure.Output + cure.Errors);
    }
    FTotals.Findings += Count(cure.Output, "{\"sid\": ");
    FTotals.Repaired += Count(cure.Output, "\"status\": \"csCured\"");
    FTotals.NotRepaired += Count(cure.Output, "\"status\": \"csUncured\"");
    if (Taken(before) < FSeeded) {
      FTotals.Differences.push_back(name + ": the repair left " +
                                    std::to_string(FSeeded - Taken(before)) +
                                    " seeded places in place: " + cure.Output);
    }
    RestoreAndCompare(before, name);
    ++FTotals.Rounds;
  }

  TScopedPlatform FPlatform;
  std::wstring FScratch;
  std::wstring FJunk;
  std::wstring FCli;
  std::wstring FRules;
  int FRuns = 0;
  int FSeeded = 0;
  TTotals FTotals;
};

TEST_F(Soak, EveryRepairIsRestoredExactly) {
  const uint64_t seed = EnvNumber("KESTROVA_SOAK_SEED", kDefaultSeed);
  const int rounds = static_cast<int>(EnvNumber("KESTROVA_SOAK_ROUNDS", 2));
  std::printf("soak: seed %llu, %d rounds (KESTROVA_SOAK_SEED, KESTROVA_SOAK_ROUNDS)\n",
              static_cast<unsigned long long>(seed), rounds);
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  size_t shown = 0;
  for (int round = 1; round <= rounds; ++round) {
    // Every tenth round, and the last of a short soak, first kills a repair.
    Round(seed, round, round % 10 == 0 || (rounds < 10 && round == rounds));
    // Named as they are found: a long soak shows what differs while it goes on.
    for (size_t i = shown; i < FTotals.Differences.size(); ++i) {
      std::printf("  %s\n", FTotals.Differences[i].substr(0, 400).c_str());
    }
    shown = FTotals.Differences.size();
    std::printf("round %d: %d findings repaired so far, %zu differences\n", round, FTotals.Repaired,
                shown);
    std::fflush(stdout);
  }
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  for (const std::string& difference : FTotals.Differences) {
    ADD_FAILURE() << difference;
  }
  std::printf("soak: %d rounds (%d killed repairs), %d findings, %d repaired (%d read-only "
              "files left), %d values "
              "restored, %d files "
              "restored, %zu differences, seed %llu, %lld s\n",
              FTotals.Rounds, FTotals.Kills, FTotals.Findings, FTotals.Repaired,
              FTotals.NotRepaired, FTotals.ValuesRestored, FTotals.FilesRestored,
              FTotals.Differences.size(), static_cast<unsigned long long>(seed),
              static_cast<long long>(seconds));
  EXPECT_EQ(FTotals.Rounds, rounds);
  EXPECT_GT(FTotals.Repaired, 0);
}

} // namespace
