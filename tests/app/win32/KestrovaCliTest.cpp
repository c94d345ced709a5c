// kestrova-cli as a script runs it, on the real registry and drive: a topic file written here, a
// stale application path and a junk file seeded, then scan, cure, backups and restore, each
// judged by its exit code, its output and what the registry and the disk hold afterwards.

#include "cli/KestrovaCli.h"
#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "engine/FigExclusions.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/TestProcess.h"
#include "support/win32/WinScratch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::wstring kTestKey = L"Software\\KestrovaCliTest";
const std::wstring kAppPaths = kTestKey + L"\\App Paths";
const std::wstring kStale = kAppPaths + L"\\gone.exe";

using TRun = ktest::win32::TProgramRun;
using ktest::win32::Exists;
using ktest::win32::ProgramFolder;
using ktest::win32::ReadAll;
using ktest::win32::WriteAll;

std::string Escaped(const std::wstring& aText) {
  std::string text;
  for (const char c : kplat::ToUtf8(aText)) {
    text += c == '\\' ? std::string("\\\\") : std::string(1, c);
  }
  return text;
}

// The sections of the shipped topic database whose names are listed, numbered from 0.
std::string ShippedTopics(const std::vector<std::string>& aNames) {
  std::istringstream shipped(ReadAll(ProgramFolder() + L"data\\topic.db"));
  std::string topics;
  std::string section;
  int count = 0;
  const auto take = [&] {
    for (const std::string& name : aNames) {
      if (section.find("\nNAME=" + name + "\n") != std::string::npos) {
        topics += "[TOPIC_" + std::to_string(count++) + "]" + section;
      }
    }
    section.clear();
  };
  for (std::string line; std::getline(shipped, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.rfind("[TOPIC_", 0) == 0) {
      take();
      section = "\n";
    } else if (!section.empty()) {
      section += line + "\n";
    }
  }
  take();
  return topics;
}

// Writes a file of a few bytes, with its folders.
void Seed(const std::wstring& aFile) {
  std::filesystem::create_directories(std::filesystem::path(aFile).parent_path());
  WriteAll(aFile, "data");
}

// An environment variable set for as long as this lives, then as it was.
class TScopedEnv {
public:
  TScopedEnv(const wchar_t* aName, const std::wstring& aValue) : FName(aName) {
    wchar_t old[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(aName, old, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      FOld = old;
    }
    SetEnvironmentVariableW(aName, aValue.c_str());
  }
  ~TScopedEnv() { SetEnvironmentVariableW(FName, FOld ? FOld->c_str() : nullptr); }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
  const wchar_t* FName;
  std::optional<std::wstring> FOld;
};

class KestrovaCli : public testing::Test {
protected:
  KestrovaCli() : FScratch(ktest::win32::TempFolder() + L"KestrovaCliTest\\") {
    kplat::win32::InstallWin32Platform();
    {
      // Where the window keeps its backups.
      TCLEngine engine(nullptr);
      UseWindowDataFolder(engine);
      FBackup = JoinPath(GetCLSettings().UserDataPath(), L"backup");
      FreeCLSettings();
    }
    ktest::win32::RemoveTree(FScratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey.c_str());
    CreateDirectoryW(FScratch.c_str(), nullptr);
    CreateDirectoryW((FScratch + L"junk").c_str(), nullptr);
    WriteAll(FScratch + L"junk\\old.tmp", "junk");
    // The list's own key names a program that exists, so that only the entry below is stale.
    SetDefault(kAppPaths, L"C:\\windows\\regedit.exe");
    SetDefault(kStale, L"C:\\KestrovaCliTest\\missing\\gone.exe");
    FTopics = FScratch + L"topics.db";
    WriteAll(FTopics, "[GLOBAL]\r\nMAGICWORD=FIG\r\nDATETIME=12/9/2026\r\n"
                      "[TOPIC_0]\r\nNAME=TestAppPaths\r\nCategory=tcARegFix\r\nENABLED=1\r\n"
                      "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\" +
                          kplat::ToUtf8(kAppPaths) +
                          "\r\nRule=rsAppPaths\r\nLEVEL=2\r\nCHECKVALUES=0\r\nFolderDepth=2\r\n"
                          "IncludeSubFolder=1\r\n"
                          "[TOPIC_1]\r\nNAME=TestJunk\r\nCategory=tcCJunkFile\r\nENABLED=1\r\n"
                          "LOCATION_0=lsDisk," +
                          kplat::ToUtf8(FScratch) + "junk\r\nRule=rsJunkFile,.tmp\r\nLEVEL=2\r\n");
    FIndexBefore = ReadAll(FBackup + L"\\info.rec");
  }

  ~KestrovaCli() override {
    // The backups this test made go, and the index is as it was.
    if (!FBackupMade.empty()) {
      DeleteFileW((FBackup + L"\\" + FBackupMade).c_str());
      ktest::win32::RemoveTree(FBackup + L"\\" + FBackupMade.substr(0, FBackupMade.rfind(L'.')) +
                               L".files");
      WriteAll(FBackup + L"\\info.rec", FIndexBefore);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey.c_str());
    ktest::win32::RemoveTree(FScratch);
  }

  static void SetDefault(const std::wstring& aKey, const std::wstring& aText) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, aKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(aText.c_str()),
                   static_cast<DWORD>((aText.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }

  static std::wstring ReadDefault(const std::wstring& aKey) {
    wchar_t data[MAX_PATH] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CURRENT_USER, aKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS) {
      return L"(missing)";
    }
    return data;
  }

  TRun Run(const std::wstring& aArguments) {
    ++FRuns;
    TRun run =
        ktest::win32::RunProgram(L"\"" + ProgramFolder() + L"kestrova-cli.exe\" " + aArguments,
                                 FScratch + std::to_wstring(FRuns), 120000);
    EXPECT_TRUE(run.Started) << run.Errors;
    EXPECT_TRUE(run.Finished);
    return run;
  }

  // A repair run that must change everything it was given; its backup is noted for removal.
  TRun Cure(const std::wstring& aArguments) {
    TRun run = Run(aArguments);
    EXPECT_EQ(run.ExitCode, 0u) << run.Errors;
    EXPECT_EQ(run.Output.find("\"status\": \"csUncured\""), std::string::npos) << run.Output;
    const size_t backupAt = run.Output.find("\"backup\": \"");
    EXPECT_NE(backupAt, std::string::npos) << run.Output;
    if (backupAt != std::string::npos) {
      const size_t nameAt = backupAt + 11;
      FBackupMade =
          kplat::FromUtf8(run.Output.substr(nameAt, run.Output.find('"', nameAt) - nameAt));
    }
    return run;
  }

  std::wstring FScratch;
  std::wstring FTopics;
  std::wstring FBackup;
  std::string FIndexBefore;
  std::wstring FBackupMade;
  int FRuns = 0;
};

TEST_F(KestrovaCli, ScanCureBackupsAndVerifiedRestore) {
  EXPECT_NE(FBackup.find(L"_Kestrova.exe\\"), std::wstring::npos) << kplat::ToUtf8(FBackup);
  const std::wstring topics = L" --topics \"" + FTopics + L"\"";
  TRun run = Run(L"scan" + topics + L" --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_NE(run.Output.find("\"reason\": \"frAppPathNotExists\", \"message\": \"File [" +
                            Escaped(kStale) + "] is not Exists.\""),
            std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("\"reason\": \"frJunkFile\", \"message\": \"rsJunkFile\""),
            std::string::npos);
  EXPECT_NE(run.Output.find("\"name\": \"old.tmp\""), std::string::npos);
  EXPECT_NE(run.Output.find("\"MatchedAllCount\": 2"), std::string::npos);
  EXPECT_EQ(ReadDefault(kStale), L"C:\\KestrovaCliTest\\missing\\gone.exe");

  run = Cure(L"cure" + topics + L" --json");
  EXPECT_EQ(ReadDefault(kStale), L"(missing)");
  EXPECT_EQ(GetFileAttributesW((FScratch + L"junk\\old.tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW((FBackup + L"\\" + FBackupMade).c_str()), INVALID_FILE_ATTRIBUTES);
  const std::string line = kplat::ToUtf8(L"," + FBackupMade + L"\r\n");
  EXPECT_NE(ReadAll(FBackup + L"\\info.rec").find(line), std::string::npos);

  run = Run(L"backups --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_NE(run.Output.find("{\"index\": 1, "), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("\"changes\": 1, \"file\": \"" + kplat::ToUtf8(FBackupMade) +
                            "\", \"files\": 1, \"fileBytes\": 4}"),
            std::string::npos)
      << run.Output;
  run = Run(L"backups");
  EXPECT_NE(run.Output.find(kplat::ToUtf8(FBackupMade)), std::string::npos) << run.Output;
  // What the run changed, before it is restored.
  run = Run(L"backups 1 --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_NE(
      run.Output.find("\"path\": \"" + Escaped(kStale) +
                      "\", \"delete\": false, \"values\": [{\"name\": \"\", \"delete\": false}]}"),
      std::string::npos)
      << run.Output;
  EXPECT_NE(
      run.Output.find("\"files\": [\n {\"path\": \"" + Escaped(FScratch + L"junk\\old.tmp") +
                      "\", \"size\": 4, \"sha256\": "
                      "\"ef875a1705a5fdac206be996f4dc1f726ea6b68861eb741c37def7277f179e37\"}"),
      std::string::npos)
      << run.Output;

  run = Run(L"restore 1 --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Output << run.Errors;
  EXPECT_NE(run.Output.find("\"entries\": 1, \"verified\": 1, \"failed\": []"), std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find("\"files\": 1, \"filesRestored\": 1, \"filesKept\": [], "
                            "\"filesFailed\": []"),
            std::string::npos)
      << run.Output;
  EXPECT_EQ(ReadDefault(kStale), L"C:\\KestrovaCliTest\\missing\\gone.exe");
  // The junk file is back from the run's quarantine as it was.
  EXPECT_EQ(ReadAll(FScratch + L"junk\\old.tmp"), "junk");
}

TEST_F(KestrovaCli, EveryFormOfExclusionKeepsItsPlaceOutOfAScan) {
  const std::wstring list = ExclusionsFileIn(ExtractFilePath(FBackup));
  const bool hadList = Exists(list);
  const std::string listBefore = ReadAll(list);
  DeleteFileW(list.c_str());
  const std::wstring topics = L" --topics \"" + FTopics + L"\" --json";
  const std::string staleKey = "File [" + Escaped(kStale) + "]";
  const std::string junkFile = "\"name\": \"old.tmp\"";
  const struct {
    std::wstring Place;
    const std::string& Hidden;
    const std::string& Shown;
  } cases[] = {
      {L"HKEY_CURRENT_USER\\" + kAppPaths, staleKey, junkFile},
      {L"HKEY_CURRENT_USER\\" + kStale + L"|@", staleKey, junkFile},
      {FScratch + L"junk", junkFile, staleKey},
      {FScratch + L"junk\\old.tmp", junkFile, staleKey},
      {FScratch + L"junk\\*.TMP", junkFile, staleKey},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(kplat::ToUtf8(test.Place));
    TRun run = Run(L"exclude add \"" + test.Place + L"\"");
    ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
    run = Run(L"exclude list --json");
    EXPECT_NE(run.Output.find("{\"index\": 1, \"place\": \"" + Escaped(test.Place) + "\"}"),
              std::string::npos)
        << run.Output;
    run = Run(L"scan" + topics);
    EXPECT_EQ(run.Output.find(test.Hidden), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find(test.Shown), std::string::npos) << run.Output;
    EXPECT_EQ(Run(L"exclude remove 1").ExitCode, 0u);
  }
  EXPECT_EQ(Run(L"exclude add HKCU\\Software").ExitCode, 2u);
  EXPECT_EQ(Run(L"exclude remove 1").ExitCode, 1u);
  if (hadList) {
    WriteAll(list, listBefore);
  } else {
    DeleteFileW(list.c_str());
  }
}

TEST_F(KestrovaCli, UsageAndTopicDatabaseErrors) {
  TRun run = Run(L"restore");
  EXPECT_EQ(run.ExitCode, 2u);
  EXPECT_NE(run.Errors.find("Usage:"), std::string::npos);
  EXPECT_EQ(Run(L"scan --category windows").ExitCode, 2u);
  EXPECT_EQ(Run(L"").ExitCode, 2u);

  const std::wstring missing = FScratch + L"none.db";
  run = Run(L"scan --topics \"" + missing + L"\"");
  EXPECT_EQ(run.ExitCode, 3u);
  EXPECT_NE(run.Errors.find(kplat::ToUtf8(missing)), std::string::npos) << run.Errors;
  WriteAll(FScratch + L"bad.db", "[GLOBAL]\r\nMAGICWORD=NOPE\r\n");
  run = Run(L"topics --topics \"" + FScratch + L"bad.db\"");
  EXPECT_EQ(run.ExitCode, 3u);
  EXPECT_NE(run.Errors.find("bad.db"), std::string::npos) << run.Errors;
}

TEST_F(KestrovaCli, CorruptBackupIsReportedAndNothingImported) {
  // A first entry that would import, then a line the registry editor cannot read.
  FBackupMade = L"corrupt-cli-test.reg";
  std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                      kTestKey + L"]\r\n\"Corrupt\"=\"imported\"\r\n\r\n[HKEY_CURRENT_USER\\" +
                      kTestKey + L"]\r\n\"Other\"=dword:nothex\r\n\r\n";
  const std::vector<uint8_t> bytes = kplat::EncodeUtf16Le(text);
  WriteAll(FBackup + L"\\" + FBackupMade, std::string(bytes.begin(), bytes.end()));
  std::string index = FIndexBefore;
  if (!index.empty() && index.back() != '\n') {
    index += "\r\n";
  }
  WriteAll(FBackup + L"\\info.rec",
           index + "2030-01-01 00:00:00,2," + kplat::ToUtf8(FBackupMade) + "\r\n");

  const TRun run = Run(L"restore 1");
  EXPECT_EQ(run.ExitCode, 1u) << run.Output;
  EXPECT_NE(run.Errors.find(kplat::ToUtf8(FBackupMade)), std::string::npos) << run.Errors;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    EXPECT_NE(RegQueryValueExW(key, L"Corrupt", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
  }
}

// The shipped browser rules on two Chrome profiles and a Firefox profile seeded in the user's
// folders: while a program named chrome.exe runs, Chrome's findings are skipped with the reason;
// a cache file held open is left in use; bookmarks, passwords and the Firefox history stay even
// when a rule names them; a file of today is no finding of a rule that leaves young files alone.
TEST_F(KestrovaCli, BrowserProfilesAreCleanedWithCare) {
  const std::wstring local = FScratch + L"Local\\";
  const std::wstring roaming = FScratch + L"Roaming\\";
  const TScopedEnv localAppData(L"LOCALAPPDATA", local);
  const TScopedEnv appData(L"APPDATA", roaming);
  const std::wstring chrome = local + L"Google\\Chrome\\User Data\\";
  const std::wstring firefox = roaming + L"Mozilla\\Firefox\\Profiles\\k3x9.default-release\\";
  const std::wstring firefoxCache =
      local + L"Mozilla\\Firefox\\Profiles\\k3x9.default-release\\cache2\\entries\\";
  std::vector<std::wstring> chromeData;
  std::vector<std::wstring> kept;
  for (const wchar_t* profile : {L"Default\\", L"Profile 1\\"}) {
    for (const wchar_t* file : {L"History", L"Network\\Cookies", L"Cache\\Cache_Data\\data_1"}) {
      chromeData.push_back(chrome + profile + file);
    }
    kept.push_back(chrome + profile + L"Bookmarks");
    kept.push_back(chrome + profile + L"Login Data");
  }
  for (const wchar_t* file : {L"places.sqlite", L"key4.db", L"logins.json"}) {
    kept.push_back(firefox + file);
  }
  for (const std::wstring& file : chromeData) {
    Seed(file);
  }
  for (const std::wstring& file : kept) {
    Seed(file);
  }
  const std::vector<std::wstring> firefoxData = {firefox + L"formhistory.sqlite",
                                                 firefox + L"cookies.sqlite", firefoxCache + L"A1"};
  for (const std::wstring& file : firefoxData) {
    Seed(file);
  }
  Seed(firefoxCache + L"B2");
  Seed(FScratch + L"aged\\fresh.tmp");
  Seed(FScratch + L"aged\\old.tmp");
  HANDLE old = CreateFileW((FScratch + L"aged\\old.tmp").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(old, INVALID_HANDLE_VALUE);
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER daysAgo{{now.dwLowDateTime, now.dwHighDateTime}};
  daysAgo.QuadPart -= 3ULL * 24 * 3600 * 10000000;
  const FILETIME written{daysAgo.LowPart, daysAgo.HighPart};
  SetFileTime(old, &written, &written, &written);
  CloseHandle(old);

  // The shipped rules, a careless rule that names what people keep, and an age rule.
  const std::wstring topics = FScratch + L"browsers.db";
  WriteAll(topics, "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n" +
                       ShippedTopics({"ChromeHistory", "ChromeCookies", "ChromeCache",
                                      "FirefoxFormHistory", "FirefoxCookies", "FirefoxCache"}) +
                       "[TOPIC_6]\nNAME=Careless\nCategory=tcCJunkFile\nENABLED=1\n"
                       "LOCATION_0=lsDisk,%LocalAppData%\\Google\\Chrome\\User Data\\*\n"
                       "LOCATION_1=lsDisk,%AppData%\\Mozilla\\Firefox\\Profiles\\*\n"
                       "Rule=rsJunkFile,Bookmarks,Login Data,places.sqlite,key4.db,logins.json\n"
                       "LEVEL=2\nFolderDepth=1\nIncludeSubFolder=0\n"
                       "[TOPIC_7]\nNAME=Aged\nCategory=tcCJunkFile\nENABLED=1\n"
                       "LOCATION_0=lsDisk," +
                       kplat::ToUtf8(FScratch) +
                       "aged\nRule=rsJunkFile,.tmp\nLEVEL=2\nMINAGEHOURS=24\n");
  ASSERT_NE(ReadAll(topics).find("NAME=FirefoxCache"), std::string::npos);

  // A small program of ours, named as Chrome is, runs until the test ends it.
  const std::wstring browser = FScratch + L"chrome.exe";
  ASSERT_TRUE(CopyFileW((ProgramFolder() + L"waitwindow.exe").c_str(), browser.c_str(), FALSE));
  std::wstring commandLine = L"\"" + browser + L"\" KestrovaNoSuchWindow 300";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION running{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &startup, &running));
  HANDLE held = CreateFileW((firefoxCache + L"A1").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(held, INVALID_HANDLE_VALUE);

  const std::wstring selection = L" --topics \"" + topics + L"\" --all-topics --all";
  TRun run = Run(L"cure" + selection);
  const bool stillRunning = WaitForSingleObject(running.hProcess, 0) == WAIT_TIMEOUT;
  CloseHandle(held);
  TerminateProcess(running.hProcess, 0);
  WaitForSingleObject(running.hProcess, 10000);
  CloseHandle(running.hThread);
  CloseHandle(running.hProcess);
  ASSERT_TRUE(stillRunning);
  ASSERT_EQ(run.ExitCode, 0u) << run.Output << run.Errors;
  EXPECT_NE(run.Output.find("Skipped: Google Chrome is running"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("Skipped: it may hold bookmarks"), std::string::npos);
  EXPECT_NE(run.Output.find("In use"), std::string::npos);
  EXPECT_EQ(run.Output.find("Not cured"), std::string::npos);
  EXPECT_EQ(run.Output.find("fresh.tmp"), std::string::npos);
  for (const std::wstring& file : chromeData) {
    EXPECT_TRUE(Exists(file)) << kplat::ToUtf8(file);
  }
  EXPECT_FALSE(Exists(firefox + L"formhistory.sqlite"));
  EXPECT_FALSE(Exists(firefox + L"cookies.sqlite"));
  EXPECT_TRUE(Exists(firefoxCache + L"A1"));
  EXPECT_FALSE(Exists(firefoxCache + L"B2"));
  EXPECT_TRUE(Exists(FScratch + L"aged\\fresh.tmp"));
  EXPECT_FALSE(Exists(FScratch + L"aged\\old.tmp")) << run.Output;

  // Chrome has ended: its findings go, what people keep stays.
  run = Run(L"cure" + selection + L" --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_EQ(run.Output.find("\"status\": \"csUncured\""), std::string::npos) << run.Output;
  for (const std::wstring& file : chromeData) {
    EXPECT_FALSE(Exists(file)) << kplat::ToUtf8(file);
  }
  EXPECT_FALSE(Exists(firefoxCache + L"A1"));
  for (const std::wstring& file : kept) {
    EXPECT_TRUE(Exists(file)) << kplat::ToUtf8(file);
  }
}

} // namespace

TEST_F(KestrovaCli, CommunityRulesAreCuredAndRestoredWithTheirFoldersKeysAndValues) {
  wchar_t local[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
  // Not in the temporary folder, whose young files no rule takes.
  const std::wstring app = std::wstring(local) + L"\\KestrovaCliTestVendor\\";
  ktest::win32::RemoveTree(app);
  Seed(app + L"Logs\\run.log");
  Seed(app + L"Logs\\notes.txt");
  Seed(app + L"Cache\\Sub\\blob");
  std::filesystem::create_directories(app + L"Cache\\Empty");
  SetDefault(kTestKey + L"\\Vendor\\Recent\\List", L"recent");
  const std::wstring settings = kTestKey + L"\\Vendor\\Settings";
  const std::wstring lastPath = L"C:\\last";
  SetDefault(settings, L"settings");
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, settings.c_str(), L"LastPath", REG_SZ,
                            lastPath.c_str(), static_cast<DWORD>((lastPath.size() + 1) * 2)),
            ERROR_SUCCESS);
  const auto readLastPath = [&] {
    wchar_t data[MAX_PATH] = {};
    DWORD size = sizeof(data);
    return RegGetValueW(HKEY_CURRENT_USER, settings.c_str(), L"LastPath", RRF_RT_REG_SZ, nullptr,
                        data, &size) == ERROR_SUCCESS
               ? std::wstring(data)
               : std::wstring(L"(missing)");
  };
  const std::wstring key = L"HKCU\\" + kTestKey + L"\\Vendor";
  const std::wstring rules = FScratch + L"winapp2.ini";
  WriteAll(rules, kplat::ToUtf8(L"; Version: 990104\r\n[Vendor App *]\r\nSection=Games\r\n"
                                L"Detect=" +
                                key +
                                L"\r\n"
                                L"FileKey1=%LocalAppData%\\KestrovaCliTestVendor\\Logs|*.log\r\n"
                                L"FileKey2=%LocalAppData%\\KestrovaCliTestVendor\\Cache|*|"
                                L"REMOVESELF\r\nFileKey3=%LocalAppData%\\Broken\r\n"
                                L"RegKey1=" +
                                key +
                                L"\\Recent\r\n"
                                L"RegKey2=" +
                                key + L"\\Settings|LastPath\r\n"));
  const std::wstring file = L" --winapp2 \"" + rules + L"\" --json";

  TRun run = Run(L"topics" + file);
  ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_NE(run.Output.find("\"name\": \"Vendor App\", \"category\": \"tcBPrivacySweep\""),
            std::string::npos)
      << run.Output;
  EXPECT_NE(run.Errors.find("Line 7:"), std::string::npos) << run.Errors;
  run = Run(L"scan" + file);
  ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_NE(run.Output.find("\"MatchedAllCount\": 7"), std::string::npos) << run.Output;

  run = Cure(L"cure" + file + L" --all");
  EXPECT_FALSE(Exists(app + L"Logs\\run.log"));
  EXPECT_TRUE(Exists(app + L"Logs\\notes.txt"));
  EXPECT_FALSE(Exists(app + L"Cache"));
  EXPECT_EQ(ReadDefault(kTestKey + L"\\Vendor\\Recent\\List"), L"(missing)");
  EXPECT_EQ(readLastPath(), L"(missing)");

  run = Run(L"restore 1 --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Output << run.Errors;
  EXPECT_EQ(ReadAll(app + L"Cache\\Sub\\blob"), "data");
  EXPECT_TRUE(Exists(app + L"Cache\\Empty"));
  EXPECT_TRUE(Exists(app + L"Logs\\run.log"));
  EXPECT_EQ(ReadDefault(kTestKey + L"\\Vendor\\Recent\\List"), L"recent");
  EXPECT_EQ(readLastPath(), lastPath);
  ktest::win32::RemoveTree(app);
}

TEST_F(KestrovaCli, CommunityRulesCureAndRestoreA32BitApplicationsKey) {
  // The key as a 32-bit application writes it: in the 32-bit view of HKLM\Software.
  const std::wstring name = L"KestrovaCliTest32-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring key = L"Software\\" + name + L"\\Recent";
  const auto readView32 = [&] {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &opened) !=
        ERROR_SUCCESS)
      return std::wstring(L"(missing)");
    wchar_t data[MAX_PATH] = {};
    DWORD size = sizeof(data);
    const LSTATUS rc = RegGetValueW(opened, nullptr, L"Last", RRF_RT_REG_SZ, nullptr, data, &size);
    RegCloseKey(opened);
    return rc == ERROR_SUCCESS ? std::wstring(data) : std::wstring(L"(no value)");
  };
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                            KEY_WRITE | KEY_WOW64_32KEY, nullptr, &created, nullptr),
            ERROR_SUCCESS);
  const std::wstring last = L"C:\\doc.txt";
  RegSetValueExW(created, L"Last", 0, REG_SZ, reinterpret_cast<const BYTE*>(last.c_str()),
                 static_cast<DWORD>((last.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(created);
  const std::wstring rules = FScratch + L"winapp2-32.ini";
  WriteAll(rules, kplat::ToUtf8(L"[Old 32-bit App *]\r\nLangSecRef=3021\r\nRegKey1=HKLM\\" + key +
                                L"\r\n"));
  const std::wstring file = L" --winapp2 \"" + rules + L"\" --json";

  TRun run = Run(L"scan" + file);
  ASSERT_EQ(run.ExitCode, 0u) << run.Errors;
  EXPECT_NE(run.Output.find("WOW6432Node\\\\" + kplat::ToUtf8(name) + "\\\\Recent"),
            std::string::npos)
      << run.Output;
  run = Cure(L"cure" + file + L" --all");
  EXPECT_EQ(readView32(), L"(missing)");
  run = Run(L"restore 1 --json");
  ASSERT_EQ(run.ExitCode, 0u) << run.Output << run.Errors;
  EXPECT_EQ(readView32(), last);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\WOW6432Node\\" + name).c_str());
}
