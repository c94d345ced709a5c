// What people keep (bookmarks, passwords, their own documents) against every shipped topic:
// on a machine with browser profiles and user folders, whatever finds such a file leaves it
// unticked and marked, and a run nobody watches deletes none of it even when told to repair all.

#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"
#include "support/SourceTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace kplat;

constexpr uint32_t kLimitMs = 600000;
const std::wstring kTopicDb = L"C:\\Program Files\\Kestrova\\data\\topic.db";
const std::wstring kLocal = L"C:\\Users\\User\\AppData\\Local\\";
const std::wstring kRoaming = L"C:\\Users\\User\\AppData\\Roaming\\";
const std::wstring kProfile = L"C:\\Users\\User\\";

const std::vector<std::wstring> kChromiumKept = {L"Bookmarks", L"Login Data", L"Login Data-journal",
                                                 L"Web Data", L"Preferences"};
const std::vector<std::wstring> kChromiumJunk = {L"History",
                                                 L"History-journal",
                                                 L"Visited Links",
                                                 L"Top Sites",
                                                 L"Shortcuts",
                                                 L"Current Session",
                                                 L"Cookies",
                                                 L"Cache\\Cache_Data\\f_000001",
                                                 L"Code Cache\\js\\index",
                                                 L"GPUCache\\data_0"};
const std::vector<std::wstring> kFirefoxKept = {
    L"places.sqlite", L"places.sqlite-wal", L"key4.db", L"logins.json", L"cert9.db", L"prefs.js"};
const std::vector<std::wstring> kFirefoxJunk = {L"formhistory.sqlite", L"cookies.sqlite",
                                                L"sessionstore-backups\\recovery.jsonlz4"};
const std::vector<std::wstring> kUserFiles = {
    L"Documents\\report.tmp", L"Documents\\Old\\notes.bak", L"Pictures\\holiday.tmp",
    L"Music\\mix.log",        L"Videos\\clip.tmp",          L"Desktop\\todo.txt"};

class KeptFilesTest : public testing::Test {
protected:
  KeptFilesTest() {
    Machine().AddFolder(L"C:\\Backup");
    InstallFakeRegEdit(Machine());
    // The sweep helper the privacy topics start, beside the program.
    Machine().AddFile(L"C:\\Program Files\\Kestrova\\sweephelper.exe");
    std::ifstream file(SourceTree() / "data" / "topic.db", std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    Machine().AddFileContent(kTopicDb, bytes);
    SeedProfiles();
  }
  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  void Seed(const std::wstring& aFolder, const std::vector<std::wstring>& aFiles, bool aKept) {
    for (const std::wstring& name : aFiles) {
      Machine().AddFile(aFolder + name, 100);
      if (aKept) {
        FKept.push_back(aFolder + name);
      }
    }
  }
  // Two profiles of every Chromium browser, one Firefox profile, the user's own folders.
  void SeedProfiles() {
    for (const std::wstring& userData :
         {kLocal + L"Google\\Chrome\\User Data\\", kLocal + L"Microsoft\\Edge\\User Data\\",
          kLocal + L"BraveSoftware\\Brave-Browser\\User Data\\",
          kLocal + L"Vivaldi\\User Data\\"}) {
      Seed(userData, {L"Local State"}, true);
      for (const wchar_t* profile : {L"Default\\", L"Profile 1\\"}) {
        Seed(userData + profile, kChromiumKept, true);
        Seed(userData + profile, kChromiumJunk, false);
      }
    }
    Seed(kRoaming + L"Opera Software\\Opera Stable\\", kChromiumKept, true);
    Seed(kRoaming + L"Opera Software\\Opera Stable\\", kChromiumJunk, false);
    Seed(kRoaming + L"Mozilla\\Firefox\\Profiles\\k3x9.default-release\\", kFirefoxKept, true);
    Seed(kRoaming + L"Mozilla\\Firefox\\Profiles\\k3x9.default-release\\", kFirefoxJunk, false);
    Seed(kLocal + L"Mozilla\\Firefox\\Profiles\\k3x9.default-release\\cache2\\entries\\",
         {L"0A1B2C"}, false);
    Seed(kProfile, kUserFiles, true);
  }

  fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  std::vector<std::wstring> FKept;
};

} // namespace

TEST_F(KeptFilesTest, NoTopicTicksOrUnattendedRunDeletesWhatPeopleKeep) {
  TFigEngine engine;
  ASSERT_TRUE(engine.LoadTopics(kTopicDb)) << ToUtf8(engine.LastError());
  ASSERT_GT(engine.TopicCount(), 0);
  for (int i = 0; i < engine.TopicCount(); ++i) {
    engine.GetTopic(i)->SetEnabled(true);
  }
  // A rule that takes every file of the profile, as a careless community rule would: the list
  // must hold whatever finds the files, not only the shipped topics.
  TFigTopic* probe = engine.GetTopic(engine.AddTopic(L"EveryFile"));
  probe->SetCategory(tcCJunkFile);
  probe->SetEnabled(true);
  probe->ValueList().SetValue(L"LOCATION_0", L"lsDisk,%UserProfile%");
  probe->ValueList().SetValue(L"Rule", L"rsJunkFile,.*");
  probe->ValueList().SetValue(L"IncludeSubFolder", L"1");
  probe->ValueList().SetValue(L"LEVEL", L"2");

  TFigCure cure;
  cure.SetBackupPath(L"C:\\Backup");
  cure.SetPaced(false);
  engine.SetFigCure(&cure);
  engine.SetPacing(false);
  engine.StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return !engine.IsRunning(); }, kLimitMs));

  std::set<std::wstring> keptFound;
  for (int i = 0; i < cure.ItemCount(); ++i) {
    const TFigScanedItem item = cure.GetMatchedItem(i);
    if (item.LocationStyle != lsDisk) {
      continue;
    }
    const std::wstring path = item.ScanedPath + item.ScanedName;
    bool holdsKept = false;
    for (const std::wstring& kept : FKept) {
      if (SameText(kept, path) ||
          (kept.size() > path.size() && SameText(kept.substr(0, path.size()), path) &&
           kept[path.size()] == L'\\')) {
        keptFound.insert(kept);
        holdsKept = true;
      }
    }
    // A finding after a kept one is judged on its own.
    EXPECT_EQ(item.Kept, holdsKept) << item.TopicName << ": " << ToUtf8(path);
    EXPECT_EQ(item.Checked, !holdsKept && item.FigResult.Level > 1)
        << item.TopicName << ": " << ToUtf8(path);
  }
  EXPECT_EQ(keptFound.size(), FKept.size());

  // The command line's "repair all", which nobody watches.
  for (int i = 0; i < cure.ItemCount(); ++i) {
    cure.SetChecked(i, true);
  }
  cure.SetUnattended(true);
  ASSERT_TRUE(cure.StartCure());
  ASSERT_TRUE(FMain.RunUntil([&] { return !cure.IsRunning(); }, kLimitMs));
  for (const std::wstring& kept : FKept) {
    EXPECT_TRUE(Machine().HasFile(kept)) << ToUtf8(kept);
  }
  // The rest was there to be cleaned.
  EXPECT_FALSE(Machine().HasFile(kLocal + L"Google\\Chrome\\User Data\\Default\\History"));
}
