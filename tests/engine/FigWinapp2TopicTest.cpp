// Community rule files in the scan: which entries become topics, which places their rules find
// (and in what order), what they keep, and the rules refused as too dangerous to follow.

#include "engine/FigWinapp2Topic.h"
#include "base/CLMainThread.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/RunUntil.h"
#include "support/Winapp2Sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using kplat::regroot::CurrentUser;

const std::wstring kLocal = L"C:\\Users\\User\\AppData\\Local\\";

class FigWinapp2TopicTest : public ::testing::Test {
protected:
  FigWinapp2TopicTest() {
    FEngine.SetPacing(false);
    FEngine.OnTopicMatched = [this](const TFigScanedItem& aItem) { FMatched.push_back(aItem); };
  }
  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // The findings of the file's entries that apply, every one of them ticked.
  std::vector<TFigScanedItem> Scan(std::string_view aFile, bool aGuarded = true) {
    TWinapp2File file = ReadWinapp2Text(kplat::FromUtf8(aFile));
    if (aGuarded) {
      GuardWinapp2File(file);
    }
    AddWinapp2Topics(FEngine, file);
    FEngine.SetAllEnabled(true);
    FMatched.clear();
    FEngine.StartScan();
    EXPECT_TRUE(RunUntil([this] { return !FEngine.IsRunning(); }));
    return FMatched;
  }
  static std::vector<std::wstring> Places(const std::vector<TFigScanedItem>& aItems) {
    std::vector<std::wstring> places;
    for (const TFigScanedItem& item : aItems) {
      places.push_back(item.LocationStyle == lsDisk
                           ? item.ScanedPath + item.ScanedName
                           : item.ScanedRoot + L"\\" + item.ScanedPath +
                                 (item.ValueCheck ? L"|" + item.ScanedSection : L""));
    }
    return places;
  }

  kplat::fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  TFigEngine FEngine;
  std::vector<TFigScanedItem> FMatched;
};

} // namespace

TEST_F(FigWinapp2TopicTest, OnlyApplyingEntriesBecomeUntickedPrivacySweepTopics) {
  Machine().AddRegKey(CurrentUser, L"Software\\Alpha");
  FEngine.AddTopic(L"Own");
  TWinapp2File file = ReadWinapp2Text(kplat::FromUtf8(kWinapp2Sample));
  // Alpha is detected, Epsilon has no detection; Beta Quest, Gamma and Delta are not here.
  EXPECT_EQ(AddWinapp2Topics(FEngine, file), 2);
  // A second file replaces the first one's topics and keeps the database's.
  EXPECT_EQ(AddWinapp2Topics(FEngine, file), 2);
  ASSERT_EQ(FEngine.TopicCount(), 3);
  const TFigTopic* alpha = FEngine.GetTopicByName(L"Alpha Viewer");
  ASSERT_NE(alpha, nullptr);
  EXPECT_EQ(alpha->Category(), tcBPrivacySweep);
  EXPECT_FALSE(alpha->Enabled());
  EXPECT_EQ(alpha->GetValue(kTopicKeyWinapp2LangSecRef), L"3021");
  ASSERT_NE(FEngine.GetTopicByName(L"Epsilon Registry"), nullptr);
  RemoveWinapp2Topics(FEngine);
  EXPECT_EQ(FEngine.TopicCount(), 1);
}

TEST_F(FigWinapp2TopicTest, FileKeysFindMatchingFilesThenTheFoldersTheyEmpty) {
  const std::string rules =
      "[App *]\r\nLangSecRef=3021\r\n"
      "FileKey1=%LocalAppData%\\App\\Logs|*.log;trace.txt\r\n"
      "FileKey2=%LocalAppData%\\App\\Profiles\\*\\Sessions|*|RECURSE\r\n"
      "FileKey3=%LocalAppData%\\App\\Cache|*|REMOVESELF\r\n"
      "ExcludeKey1=FILE|%LocalAppData%\\App\\Logs\\|keep.log\r\n"
      "ExcludeKey2=PATH|%LocalAppData%\\App\\Profiles\\*\\Sessions\\|*.cfg\r\n";
  const std::wstring app = kLocal + L"App\\";
  for (const wchar_t* file :
       {L"Logs\\a.log", L"Logs\\trace.txt", L"Logs\\xtrace.txt", L"Logs\\keep.log",
        L"Logs\\Old\\b.log", L"Profiles\\P1\\Sessions\\s1", L"Profiles\\P1\\Sessions\\Deep\\s2",
        L"Profiles\\P1\\Sessions\\Deep\\own.cfg", L"Cache\\c1", L"Cache\\Sub\\Deeper\\c2"}) {
    Machine().AddFile(app + file, 1);
  }
  Machine().AddFolder(L"C:\\Elsewhere\\Sessions");
  Machine().AddFile(L"C:\\Elsewhere\\Sessions\\foreign", 1);
  Machine().AddFolderLink(app + L"Profiles\\Linked", L"C:\\Elsewhere");

  const std::vector<std::wstring> expected = {app + L"Logs\\a.log",
                                              app + L"Logs\\trace.txt",
                                              app + L"Profiles\\P1\\Sessions\\s1",
                                              app + L"Profiles\\P1\\Sessions\\Deep\\s2",
                                              app + L"Cache\\c1",
                                              app + L"Cache\\Sub\\Deeper\\c2",
                                              app + L"Cache\\Sub\\Deeper",
                                              app + L"Cache\\Sub",
                                              app + L"Cache"};
  const std::vector<TFigScanedItem> found = Scan(rules);
  EXPECT_EQ(Places(found), expected);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].TopicName, L"App");
  EXPECT_EQ(found[0].Category, tcBPrivacySweep);
  EXPECT_TRUE(found[0].Checked);
  // The folder itself is held to the folder above it, nothing wider.
  EXPECT_EQ(found.back().StartFolder, app);
}

TEST_F(FigWinapp2TopicTest, RegKeysFindWholeKeysAndSingleValuesLessWhatIsKept) {
  const std::string rules = "[Reg *]\r\nLangSecRef=3021\r\n"
                            "RegKey1=HKCU\\Software\\Reg\\Recent\r\n"
                            "RegKey2=HKCU\\Software\\Reg\\Settings|LastPath\r\n"
                            "RegKey3=HKCU\\Software\\Reg\\Settings|Missing\r\n"
                            "RegKey4=HKCU\\Software\\Reg\\Gone\r\n"
                            "RegKey5=HKCU\\Software\\Reg\\Mixed\r\n"
                            "ExcludeKey1=REG|HKCU\\Software\\Reg\\Mixed\\Pinned\r\n";
  Machine().SetRegString(CurrentUser, L"Software\\Reg\\Recent\\List", L"1", L"a");
  Machine().SetRegString(CurrentUser, L"Software\\Reg\\Settings", L"LastPath", L"C:\\x");
  Machine().SetRegString(CurrentUser, L"Software\\Reg\\Mixed", L"v", L"1");
  Machine().SetRegString(CurrentUser, L"Software\\Reg\\Mixed\\Pinned", L"p", L"1");
  Machine().SetRegString(CurrentUser, L"Software\\Reg\\Mixed\\Other", L"o", L"1");

  const std::vector<TFigScanedItem> found = Scan(rules);
  EXPECT_EQ(Places(found), (std::vector<std::wstring>{
                               L"HKEY_CURRENT_USER\\Software\\Reg\\Recent",
                               L"HKEY_CURRENT_USER\\Software\\Reg\\Settings|LastPath",
                               L"HKEY_CURRENT_USER\\Software\\Reg\\Mixed|v",
                               L"HKEY_CURRENT_USER\\Software\\Reg\\Mixed\\Other",
                           }));
}

TEST_F(FigWinapp2TopicTest, RulesThatWouldWipeTheSystemAreRefusedWithTheirLines) {
  TWinapp2File file = ReadWinapp2Text(kplat::FromUtf8(kWinapp2Hostile));
  GuardWinapp2File(file);
  std::vector<int> refused;
  for (const TWinapp2Issue& issue : file.Issues) {
    if (issue.Kind == TWinapp2IssueKind::Guarded) {
      refused.push_back(issue.Line);
    }
  }
  std::vector<int> hostile;
  for (int line = 4; line <= 26; ++line) {
    hostile.push_back(line);
  }
  hostile.push_back(38); // the second entry's only rule
  EXPECT_EQ(refused, hostile);
  // The safe rules stay; an entry left without any is no entry.
  ASSERT_EQ(file.Entries.size(), 1u);
  EXPECT_EQ(file.Entries[0].FileKeys.size(), 5u);
  EXPECT_EQ(file.Entries[0].RegKeys.size(), 3u);
  EXPECT_TRUE(std::any_of(file.Issues.begin(), file.Issues.end(), [](const TWinapp2Issue& aIssue) {
    return aIssue.Line == 36 && aIssue.Kind == TWinapp2IssueKind::NoDeletionKey;
  }));

  // Topics made from a file read without the guards still hold to them when they scan.
  for (const wchar_t* file : {L"C:\\Windows\\setup.log", L"C:\\Windows\\System32\\a.dll",
                              L"C:\\Users\\User\\Documents\\letter.doc",
                              L"C:\\Program Files\\App\\app.exe", L"C:\\boot.log"}) {
    Machine().AddFile(file, 1);
  }
  EXPECT_EQ(Places(Scan(kWinapp2Hostile, false)), std::vector<std::wstring>{});
}

TEST_F(FigWinapp2TopicTest, AJunctionInAWrittenPartOfARulesFolderIsNeverFollowed) {
  const std::string rules = "[Linked *]\r\nLangSecRef=3021\r\n"
                            "FileKey1=%LocalAppData%\\Vendor\\Link\\Cache|*.tmp\r\n"
                            "FileKey2=%LocalAppData%\\Vendor\\Link|*.tmp|RECURSE\r\n"
                            "FileKey3=C:\\Vendor\\Link\\Cache|*.tmp\r\n"
                            "FileKey4=%LocalAppData%\\Vendor\\Real\\Cache|*.tmp\r\n";
  Machine().AddFile(L"C:\\Precious\\Cache\\work.tmp", 1);
  Machine().AddFolderLink(kLocal + L"Vendor\\Link", L"C:\\Precious");
  Machine().AddFolderLink(L"C:\\Vendor\\Link", L"C:\\Precious");
  Machine().AddFile(kLocal + L"Vendor\\Real\\Cache\\old.tmp", 1);
  EXPECT_EQ(Places(Scan(rules)),
            std::vector<std::wstring>{kLocal + L"Vendor\\Real\\Cache\\old.tmp"});
}

TEST_F(FigWinapp2TopicTest, RegKeysUnderHklmSoftwareFindThe32BitApplicationsKeysToo) {
  using kplat::regroot::LocalMachine;
  const std::string rules = "[Reg32 *]\r\nLangSecRef=3021\r\n"
                            "RegKey1=HKLM\\Software\\Reg32\\Recent\r\n"
                            "RegKey2=HKLM\\Software\\Reg32\\Settings|LastPath\r\n"
                            "RegKey3=HKLM\\Software\\WOW6432Node\\Only32\\Recent\r\n"
                            "ExcludeKey1=REG|HKLM\\Software\\Reg32\\Recent\\Pinned\r\n";
  for (const wchar_t* view : {L"Software\\", L"Software\\WOW6432Node\\"}) {
    Machine().SetRegString(LocalMachine, view + std::wstring(L"Reg32\\Recent"), L"v", L"1");
    Machine().SetRegString(LocalMachine, view + std::wstring(L"Reg32\\Recent\\Pinned"), L"p", L"1");
    Machine().SetRegString(LocalMachine, view + std::wstring(L"Reg32\\Settings"), L"LastPath",
                           L"C:\\x");
  }
  Machine().SetRegString(LocalMachine, L"Software\\WOW6432Node\\Only32\\Recent", L"v", L"1");
  EXPECT_EQ(Places(Scan(rules)),
            (std::vector<std::wstring>{
                L"HKEY_LOCAL_MACHINE\\Software\\Reg32\\Recent|v",
                L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Reg32\\Recent|v",
                L"HKEY_LOCAL_MACHINE\\Software\\Reg32\\Settings|LastPath",
                L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Reg32\\Settings|LastPath",
                L"HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Only32\\Recent",
            }));
}
