// A scan from start to end: the events and their order, findings and their numbering, counts,
// pacing on the platform clock, pause and abort, and what a repair manager receives.

#include "base/CLMainThread.h"
#include "engine/FigEngine.h"
#include "platform/fake/FakeMachine.h"
#include "support/CountingPlatform.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kLimitMs = 120000;
const std::wstring kTemp = L"C:\\Users\\User\\AppData\\Local\\Temp\\";

class TRecordingCure : public TFigCureLink {
public:
  void AddMatchedItem(const TFigScanedItem& aItem) override { Items.push_back(aItem); }
  std::vector<TFigScanedItem> Items;
};

class FigEngineScanTest : public ::testing::Test {
protected:
  FigEngineScanTest() {
    FEngine->SetPacing(false);
    FEngine->OnStarted = [this](TObject&) { FEvents.push_back(L"started"); };
    FEngine->OnCategoryStarted = [this](TTopicCategory aCategory) {
      FEvents.push_back(L"+" + GetEnumName(aCategory));
    };
    FEngine->OnCategoryFinished = [this](TTopicCategory aCategory) {
      FEvents.push_back(L"-" + GetEnumName(aCategory));
    };
    FEngine->OnTopicFinished = [this](TFigTopic& aTopic) { FEvents.push_back(aTopic.Name()); };
    FEngine->OnTopicMatched = [this](const TFigScanedItem& aItem) { FMatched.push_back(aItem); };
    FEngine->OnFinished = [this](TObject&) { FEvents.push_back(L"finished"); };
    FEngine->OnAbort = [this](TObject&) { FEvents.push_back(L"abort"); };
  }

  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }

  TFigTopic& AddTopic(const std::wstring& aName, TTopicCategory aCategory, bool aEnabled,
                      const std::vector<std::wstring>& aLines = {}) {
    TFigTopic* topic = FEngine->GetTopic(FEngine->AddTopic(aName));
    topic->SetCategory(aCategory);
    topic->SetEnabled(aEnabled);
    for (const std::wstring& line : aLines) {
      const size_t equals = line.find(L'=');
      topic->ValueList().SetValue(line.substr(0, equals), line.substr(equals + 1));
    }
    return *topic;
  }
  // A junk-file topic over the temporary folder.
  TFigTopic& AddJunkTopic(const std::wstring& aName, const std::vector<std::wstring>& aMore = {}) {
    std::vector<std::wstring> lines = {L"Rule=rsJunkFile,.tmp", L"LOCATION_0=lsDisk,@Temp",
                                       L"LEVEL=2"};
    lines.insert(lines.end(), aMore.begin(), aMore.end());
    return AddTopic(aName, tcCJunkFile, true, lines);
  }
  void AddJunkFiles(int aCount) {
    for (int i = 0; i < aCount; ++i) {
      Machine().AddFile(kTemp + L"f" + std::to_wstring(1000 + i) + L".tmp", 1);
    }
  }
  bool ScanToTheEnd() {
    FEngine->StartScan();
    return FMain.RunUntil([this] { return !FEngine->IsRunning(); }, kLimitMs);
  }

  kplat::fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  std::unique_ptr<TFigEngine> FEngine = std::make_unique<TFigEngine>();
  std::vector<std::wstring> FEvents;
  std::vector<TFigScanedItem> FMatched;
};

} // namespace

TEST_F(FigEngineScanTest, CategoriesOpenAndCloseAroundTheirEnabledTopics) {
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(FEvents, (std::vector<std::wstring>{L"started", L"finished"}));
  EXPECT_EQ(FEngine->Summary(), TFigSummary{});

  FEvents.clear();
  AddTopic(L"A1", tcARegFix, true);
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(FEvents, (std::vector<std::wstring>{L"started", L"+tcARegFix", L"A1", L"-tcARegFix",
                                                L"finished"}));

  FEvents.clear();
  AddTopic(L"A2", tcARegFix, false);
  AddTopic(L"B1", tcBPrivacySweep, false);
  AddTopic(L"C1", tcCJunkFile, true);
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(FEvents,
            (std::vector<std::wstring>{L"started", L"+tcARegFix", L"A1", L"-tcARegFix",
                                       L"+tcCJunkFile", L"C1", L"-tcCJunkFile", L"finished"}));
  EXPECT_FALSE(FEngine->IsScanning());
}

TEST_F(FigEngineScanTest, EachTopicLastsItsShareOfTwentySecondsOnThePlatformClock) {
  EXPECT_EQ(MinimumTopicTimeMs(1), 20000);
  EXPECT_EQ(MinimumTopicTimeMs(3), 6667);
  EXPECT_EQ(MinimumTopicTimeMs(4), 5000);
  EXPECT_EQ(MinimumTopicTimeMs(64), 312);  // 312.5, to even
  EXPECT_EQ(MinimumTopicTimeMs(160), 125); // exact
  EXPECT_EQ(MinimumTopicTimeMs(40000), 0); // 0.5, to even
  EXPECT_EQ(MinimumTopicTimeMs(0), 0);

  FEngine->SetPacing(true);
  AddJunkTopic(L"Only");
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_GE(FEngine->ProcessedTime(), 20);
  // A disabled topic is skipped without its wait.
  FEngine->SetTopicEnabled(0, false);
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(FEngine->ProcessedTime(), 0);
}

TEST_F(FigEngineScanTest, FindingsAreNumberedAndHandedToTheRepairManagerInOrder) {
  TRecordingCure cure;
  FEngine->SetFigCure(&cure);
  AddJunkFiles(3);
  Machine().AddFile(kTemp + L"keep.txt", 7);
  AddJunkTopic(L"Temp files", {L"Rule_Caption=Temporary files", L"WorkingPercent=30"});
  AddTopic(L"Look only", tcCJunkFile, true,
           {L"Rule=rsJunkFile,.txt", L"LOCATION_0=lsDisk,@Temp", L"LEVEL=1", L"CHECKVALUES=0"});
  ASSERT_TRUE(ScanToTheEnd());

  ASSERT_EQ(FMatched.size(), 4u);
  ASSERT_EQ(cure.Items.size(), 4u);
  for (size_t i = 0; i < FMatched.size(); ++i) {
    EXPECT_EQ(FMatched[i].SID, static_cast<int32_t>(i));
    EXPECT_EQ(cure.Items[i].SID, static_cast<int32_t>(i));
    EXPECT_EQ(cure.Items[i].ScanedName, FMatched[i].ScanedName);
  }
  const TFigScanedItem& first = FMatched[0];
  EXPECT_EQ(first.TopicName, L"Temp files");
  EXPECT_EQ(first.Category, tcCJunkFile);
  EXPECT_EQ(first.RuleStyle, rsJunkFile);
  EXPECT_EQ(first.RuleCaption, L"Temporary files");
  EXPECT_EQ(first.RuleParams, L"rsJunkFile\r\n.tmp\r\n");
  EXPECT_EQ(first.ScanedPath, kTemp);
  EXPECT_EQ(first.ScanedName, L"f1000.tmp");
  EXPECT_EQ(first.FigResult.Level, 2);
  EXPECT_TRUE(first.FigResult.MatchFlag);
  EXPECT_TRUE(first.Checked);
  EXPECT_TRUE(first.ValueCheck);
  // Level 1 findings are shown unticked.
  EXPECT_EQ(FMatched[3].ScanedName, L"keep.txt");
  EXPECT_FALSE(FMatched[3].Checked);
  EXPECT_FALSE(FMatched[3].ValueCheck);

  const TFigSummary& summary = FEngine->Summary();
  EXPECT_EQ(summary.AllCount, 8);
  EXPECT_EQ(summary.FileCount, 8);
  EXPECT_EQ(summary.FileSizeCount, 2 * (3 + 7));
  EXPECT_EQ(summary.MatchedAllCount, 4);
  EXPECT_EQ(summary.MatchedFileCount, 4);
  EXPECT_EQ(summary.MatchedFileSizeCount, 3 + 7);
}

TEST_F(FigEngineScanTest, ProgressAddsEachFinishedTopicAndCapsThePlacesAtItsShare) {
  AddJunkFiles(5);
  AddJunkTopic(L"First", {L"WorkingPercent=10"});
  AddJunkTopic(L"Second", {L"WorkingPercent=3"});
  ASSERT_TRUE(ScanToTheEnd());
  std::vector<int32_t> progress;
  for (const TFigScanedItem& item : FMatched) {
    progress.push_back(item.CurrentPer);
  }
  EXPECT_EQ(progress, (std::vector<int32_t>{1, 2, 3, 4, 5, 11, 12, 13, 13, 13}));
}

TEST_F(FigEngineScanTest, FileSizesCountInFullAlsoAboveFourGigabytes) {
  const uint64_t huge = 5ull << 30;
  Machine().AddFile(kTemp + L"huge.tmp", huge);
  Machine().AddFile(kTemp + L"small.tmp", 100);
  Machine().AddFolder(kTemp + L"Sub");
  AddJunkTopic(L"Temp files");
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(FEngine->Summary().FileCount, 3);
  EXPECT_EQ(FEngine->Summary().FileSizeCount, static_cast<int64_t>(huge + 100));
  EXPECT_EQ(FEngine->Summary().MatchedFileSizeCount, static_cast<int64_t>(huge + 100));
}

TEST_F(FigEngineScanTest, ACuredTopicIsWalkedAndCountedWithoutFindings) {
  TRecordingCure cure;
  FEngine->SetFigCure(&cure);
  AddJunkFiles(2);
  AddJunkTopic(L"Temp files");
  ASSERT_TRUE(cure.OnTopicCured);
  cure.OnTopicCured(L"TEMP FILES", tsCured);
  EXPECT_EQ(FEngine->GetTopic(0)->Status(), tsCured);
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(FEngine->Summary().AllCount, 2);
  EXPECT_EQ(FEngine->Summary().MatchedAllCount, 0);
  EXPECT_TRUE(cure.Items.empty());

  FEngine->ResetStatus();
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(cure.Items.size(), 2u);
}

TEST_F(FigEngineScanTest, AbortDuringAWalkEndsOnceWithTheCountsSoFar) {
  AddJunkFiles(1000);
  AddJunkTopic(L"Temp files");
  FEngine->OnTopicMatched = [this](const TFigScanedItem& aItem) {
    FMatched.push_back(aItem);
    if (FMatched.size() == 10) {
      FEngine->Abort();
      EXPECT_FALSE(FEngine->IsScanning());
      EXPECT_TRUE(FEngine->IsRunning());
    }
  };
  ASSERT_TRUE(ScanToTheEnd());
  // The stop came during the last topic's only location: still an abort, never a finish.
  EXPECT_EQ(FEvents, (std::vector<std::wstring>{L"started", L"+tcCJunkFile", L"abort"}));
  EXPECT_EQ(FMatched.size(), 10u);
  EXPECT_EQ(FEngine->Summary().MatchedAllCount, 10);
  EXPECT_GE(FEngine->Summary().AllCount, 10);
  EXPECT_LT(FEngine->Summary().AllCount, 1000);
}

TEST_F(FigEngineScanTest, APausedScanWaitsUntilResumedOrAborted) {
  AddJunkFiles(20);
  AddJunkTopic(L"Temp files");
  bool paused = false;
  FEngine->OnTopicMatched = [&](const TFigScanedItem& aItem) {
    FMatched.push_back(aItem);
    if (FMatched.size() == 5) {
      FEngine->Pause();
      paused = true;
    }
  };
  FEngine->StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return paused; }, kLimitMs));
  FEngine->Resume();
  ASSERT_TRUE(FMain.RunUntil([this] { return !FEngine->IsRunning(); }, kLimitMs));
  EXPECT_EQ(FMatched.size(), 20u);
  EXPECT_EQ(FEvents.back(), L"finished");

  FEvents.clear();
  FMatched.clear();
  paused = false;
  FEngine->StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return paused; }, kLimitMs));
  EXPECT_TRUE(FEngine->IsScanning());
  FEngine->Abort();
  ASSERT_TRUE(FMain.RunUntil([this] { return !FEngine->IsRunning(); }, kLimitMs));
  EXPECT_EQ(FEvents, (std::vector<std::wstring>{L"started", L"+tcCJunkFile", L"abort"}));
  EXPECT_EQ(FMatched.size(), 5u);
}

TEST_F(FigEngineScanTest, ANewScanReplacesARunningOneSilently) {
  AddJunkFiles(20);
  AddJunkTopic(L"Temp files");
  bool paused = false;
  FEngine->OnTopicMatched = [&](const TFigScanedItem& aItem) {
    FMatched.push_back(aItem);
    if (!paused && FMatched.size() == 3) {
      FEngine->Pause();
      paused = true;
    }
  };
  FEngine->StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return paused; }, kLimitMs));
  FMatched.clear();
  FEngine->StartScan();
  ASSERT_TRUE(FMain.RunUntil([this] { return !FEngine->IsRunning(); }, kLimitMs));
  // The replaced scan reports nothing more; the new one runs whole.
  EXPECT_EQ(FEvents,
            (std::vector<std::wstring>{L"started", L"+tcCJunkFile", L"started", L"+tcCJunkFile",
                                       L"Temp files", L"-tcCJunkFile", L"finished"}));
  EXPECT_EQ(FMatched.size(), 20u);
  EXPECT_EQ(FEngine->Summary().MatchedAllCount, 20);
}

TEST_F(FigEngineScanTest, TheProgressTimerShowsThePlaceBeingChecked) {
  AddJunkFiles(3);
  AddJunkTopic(L"Temp files");
  std::vector<std::wstring> shown;
  FEngine->OnTopicProcessing = [&](const std::wstring& aTopicName, TLocationStyle aStyle,
                                   const std::wstring&, const std::wstring&,
                                   const std::wstring& aSection, const std::wstring& aName,
                                   int32_t aCurrentPer) {
    EXPECT_EQ(aTopicName, L"Temp files");
    EXPECT_EQ(aStyle, lsDisk);
    EXPECT_EQ(aSection, L"@Temp");
    shown.push_back(aName + L" " + std::to_wstring(aCurrentPer));
  };
  FEngine->OnTopicMatched = [&](const TFigScanedItem& aItem) {
    FMatched.push_back(aItem);
    if (FMatched.size() == 2) {
      // The worker waits here for the main thread; let the timer come due and serve it.
      Machine().AdvanceMs(200);
      FMain.ProcessMessages();
    }
  };
  ASSERT_TRUE(ScanToTheEnd());
  EXPECT_EQ(shown, (std::vector<std::wstring>{L"f1001.tmp 2"}));
}

TEST_F(FigEngineScanTest, AFindingAfterAKeptOneIsNeitherKeptNorUnticked) {
  // The kept file is the last finding of the first topic, so it is reported just before the
  // next topic's first finding is made, in the record that held the kept one: a registry value,
  // which is never judged as kept, then a file.
  const std::wstring profile = L"C:\\Profile\\";
  Machine().AddFile(profile + L"Bookmarks", 1);
  Machine().SetRegString(kplat::regroot::CurrentUser, L"Software\\Stale", L"", L"C:\\gone.exe");
  AddJunkFiles(1);
  AddTopic(L"Profile", tcCJunkFile, true,
           {L"Rule=rsJunkFile,Bookmarks", L"LOCATION_0=lsDisk," + profile, L"LEVEL=2"});
  AddTopic(
      L"Stale", tcCJunkFile, true,
      {L"Rule=rsStartup", L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\Stale", L"LEVEL=2"});
  AddJunkTopic(L"Temp files");
  ASSERT_TRUE(ScanToTheEnd());
  ASSERT_EQ(FMatched.size(), 3u);
  EXPECT_TRUE(FMatched[0].Kept);
  EXPECT_FALSE(FMatched[0].Checked);
  EXPECT_EQ(FMatched[1].ScanedPath, L"Software\\Stale");
  EXPECT_FALSE(FMatched[1].Kept);
  EXPECT_TRUE(FMatched[1].Checked);
  EXPECT_EQ(FMatched[1].StartFolder, L"");
  EXPECT_EQ(FMatched[1].FileSize, -1);
  EXPECT_EQ(FMatched[2].ScanedName, L"f1000.tmp");
  EXPECT_FALSE(FMatched[2].Kept);
  EXPECT_TRUE(FMatched[2].Checked);
}

TEST_F(FigEngineScanTest, DestroyingTheEngineStopsItsScanWithoutAnotherEvent) {
  AddJunkFiles(20);
  AddJunkTopic(L"Temp files");
  bool paused = false;
  FEngine->OnTopicMatched = [&](const TFigScanedItem&) {
    FEngine->Pause();
    paused = true;
  };
  FEngine->StartScan();
  ASSERT_TRUE(FMain.RunUntil([&] { return paused; }, kLimitMs));
  FEvents.clear();
  FEngine.reset();
  FMain.ProcessMessages();
  EXPECT_TRUE(FEvents.empty());
}

TEST_F(FigEngineScanTest, ScansRegistryKeysAndRegistryItems) {
  Machine().SetRegString(kplat::regroot::CurrentUser, L"Software\\Stale", L"", L"C:\\gone.exe");
  Machine().SetRegString(kplat::regroot::CurrentUser, L"Control Panel\\Desktop", L"MenuShowDelay",
                         L"400");
  AddTopic(L"Stale", tcARegFix, true,
           {L"Rule=rsStartup", L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\Stale"});
  AddTopic(L"Menu delay", tcDSystemOptimization, true,
           {L"Rule=rsRegistryBoostOrFix",
            L"LOCATION_0=lsRegistryItem,HKEY_CURRENT_USER\\Control Panel\\Desktop",
            L"REGITEM_0=\"MenuShowDelay\"=\"200\""});
  ASSERT_TRUE(ScanToTheEnd());
  ASSERT_EQ(FMatched.size(), 2u);
  EXPECT_EQ(FMatched[0].ScanedPath, L"Software\\Stale");
  EXPECT_EQ(FMatched[0].LocationStyle, lsRegistry);
  EXPECT_EQ(FMatched[1].ScanedSection, L"MenuShowDelay");
  EXPECT_EQ(FMatched[1].LocationStyle, lsRegistryItem);
  EXPECT_EQ(FEngine->Summary().RegistryItemCount, 2);
  EXPECT_EQ(FEngine->Summary().MatchedRegItemCount, 2);
  EXPECT_EQ(FEngine->Summary().FileCount, 0);
}

TEST_F(FigEngineScanTest, AClassRegistrationAsksOnlyWhatItsCheckNeedsBeyondTheWalk) {
  // The walk of a class costs open, list the values, read the first, close. Beyond that a class
  // pays for what it names: a type library looked up, an application registration looked up.
  using kplat::regroot::ClassesRoot;
  struct TCase {
    const wchar_t* What;
    std::function<void(const std::wstring&)> Plant; // the class key below CLSID
    bool Finding;
    size_t CallsPerClass;
  };
  const std::vector<TCase> cases = {
      {L"a class naming nothing",
       [&](const std::wstring& aKey) {
         Machine().SetRegString(ClassesRoot, aKey, L"", L"Control");
         Machine().SetRegString(ClassesRoot, aKey + L"\\InprocServer32", L"", L"c.dll");
       },
       false, 4 + 1},
      // The walk lists the sub-keys of a key without values; the check has nothing to add.
      {L"an empty class", [&](const std::wstring& aKey) { Machine().AddRegKey(ClassesRoot, aKey); },
       true, 5},
      // Open the library's key, read it, close; look the library up.
      {L"a class with a missing type library",
       [&](const std::wstring& aKey) {
         Machine().SetRegString(ClassesRoot, aKey, L"", L"Control");
         Machine().SetRegString(ClassesRoot, aKey + L"\\TypeLib", L"", L"{GONE}");
       },
       true, 4 + 4},
      // Look for the library, read the named application, look it up.
      {L"a class with a missing application",
       [&](const std::wstring& aKey) {
         Machine().SetRegString(ClassesRoot, aKey, L"", L"Control");
         Machine().SetRegString(ClassesRoot, aKey, L"AppID", L"{GONE}");
       },
       true, 4 + 3},
  };
  TCountingPlatform counting(Machine());
  const kplat::TScopedPlatform countingScope(counting);
  constexpr int kFew = 5;
  constexpr int kMany = 25;
  for (const TCase& test : cases) {
    Machine().RemoveRegKey(ClassesRoot, L"CLSID");
    FEngine->ClearTopicList();
    AddTopic(L"Classes", tcARegFix, true,
             {L"Rule=rsActiveX", L"LOCATION_0=lsRegistry,HKEY_CLASSES_ROOT\\CLSID",
              L"FolderDepth=2", L"IncludeSubFolder=1", L"CHECKVALUES=0"});
    std::vector<size_t> calls;
    for (int count : {kFew, kMany}) {
      for (int i = 0; i < count; ++i) {
        test.Plant(L"CLSID\\{C" + std::to_wstring(i) + L"}");
      }
      counting.Reset();
      FMatched.clear();
      ASSERT_TRUE(ScanToTheEnd());
      EXPECT_EQ(FMatched.size(), test.Finding ? static_cast<size_t>(count) : 0u) << test.What;
      calls.push_back(counting.CallsBesidesEnumeration());
    }
    EXPECT_LE(calls[1] - calls[0], (kMany - kFew) * test.CallsPerClass) << test.What;
  }
}

TEST_F(FigEngineScanTest, APlaceAsksTheSystemNothingBeyondTheWalkThatMeetsIt) {
  // Every place is a finding, so that whatever a finding asks of the system shows too.
  const std::wstring history =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\Bench";
  struct TCase {
    std::vector<std::wstring> Lines;
    std::function<void(int)> Plant; // the place numbered aNumber
    size_t WalkCallsPerPlace;       // besides the enumeration of a folder's entries
  };
  const std::vector<TCase> cases = {
      {{L"Rule=rsJunkFile,.tmp", L"LOCATION_0=lsDisk,@Temp"},
       [&](int aNumber) { Machine().AddFile(kTemp + L"f" + std::to_wstring(aNumber) + L".tmp"); },
       0},
      // A folder walked is met by its parent's enumeration: its own is all it asks.
      {{L"Rule=rsJunkFile,.tmp", L"LOCATION_0=lsDisk,@Temp", L"IncludeSubFolder=1"},
       [&](int aNumber) {
         Machine().AddFile(kTemp + L"d" + std::to_wstring(aNumber) + L"\\f.tmp");
       },
       0},
      // Open, list the values, read the one there, list the sub-keys, close.
      {{L"Rule=rsHistoryNMRU", L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\" + history,
        L"IncludeSubFolder=1", L"CHECKVALUES=1"},
       [&](int aNumber) {
         Machine().SetRegString(kplat::regroot::CurrentUser,
                                history + L"\\k" + std::to_wstring(aNumber), L"Path", L"x");
       },
       5},
  };
  TCountingPlatform counting(Machine());
  const kplat::TScopedPlatform countingScope(counting);
  constexpr int kFew = 5;
  constexpr int kMany = 25;
  for (const TCase& test : cases) {
    FEngine->ClearTopicList();
    AddTopic(L"Bench", tcCJunkFile, true, test.Lines);
    std::vector<size_t> calls;
    for (int count : {kFew, kMany}) {
      for (int i = 0; i < count; ++i) {
        test.Plant(i);
      }
      counting.Reset();
      FMatched.clear();
      ASSERT_TRUE(ScanToTheEnd());
      ASSERT_GE(FMatched.size(), static_cast<size_t>(count));
      calls.push_back(counting.CallsBesidesEnumeration());
    }
    EXPECT_LE(calls[1] - calls[0], (kMany - kFew) * test.WalkCallsPerPlace) << test.Lines[0];
  }
}
