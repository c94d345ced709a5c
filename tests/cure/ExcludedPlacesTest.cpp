// The user's exclusions in a scan and a repair: an excluded place is counted but never found,
// and no repair changes it, also one of findings made before the place was excluded.

#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "engine/FigExclusions.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace kplat;

constexpr uint32_t kLimitMs = 600000;
const std::wstring kList = L"C:\\Data\\Exclusions.txt";
const std::wstring kJunk = L"C:\\Work\\Junk\\";

class ExcludedPlacesTest : public testing::Test {
protected:
  ExcludedPlacesTest() {
    Machine().AddFolder(L"C:\\Backup");
    Machine().AddFolder(L"C:\\Data");
    InstallFakeRegEdit(Machine());
    for (const wchar_t* name : {L"a.tmp", L"keep.tmp", L"Sub\\b.tmp", L"Kept\\c.tmp"}) {
      Machine().AddFile(kJunk + name, 10);
    }
    for (const wchar_t* value : {L"one", L"two", L"three"}) {
      Machine().SetRegString(regroot::CurrentUser, L"Software\\Trace\\Values", value, L"x");
    }
    Machine().SetRegString(regroot::CurrentUser, L"Software\\Trace\\Values\\Deep", L"four", L"x");
    AddTopic(L"Junk", tcCJunkFile, L"lsDisk,C:\\Work\\Junk", L"rsJunkFile,.tmp");
    AddTopic(L"Values", tcBPrivacySweep, L"lsRegistry,HKEY_CURRENT_USER\\Software\\Trace",
             L"rsRegistryHistory,History");
    FEngine.SetFigCure(&FCure);
    FEngine.SetPacing(false);
    FCure.SetBackupPath(L"C:\\Backup");
    FCure.SetPaced(false);
  }
  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  void AddTopic(const std::wstring& aName, TTopicCategory aCategory, const std::wstring& aLocation,
                const std::wstring& aRule) {
    TFigTopic* topic = FEngine.GetTopic(FEngine.AddTopic(aName));
    topic->SetCategory(aCategory);
    topic->SetEnabled(true);
    topic->ValueList().SetValue(L"LOCATION_0", aLocation);
    topic->ValueList().SetValue(L"Rule", aRule);
    topic->ValueList().SetValue(L"IncludeSubFolder", L"1");
    topic->ValueList().SetValue(L"CHECKVALUES", L"-1");
    topic->ValueList().SetValue(L"LEVEL", L"2");
  }
  void Exclude(const std::vector<std::wstring>& aPlaces) {
    TFigExclusions list;
    for (const std::wstring& place : aPlaces) {
      ASSERT_EQ(list.Add(place), eeNone);
    }
    ASSERT_EQ(list.Save(kList), err::Success);
  }
  std::vector<std::wstring> Scan() {
    FEngine.StartScan();
    EXPECT_TRUE(FMain.RunUntil([&] { return !FEngine.IsRunning(); }, kLimitMs));
    std::vector<std::wstring> found;
    for (int i = 0; i < FCure.ItemCount(); ++i) {
      found.push_back(PlaceOf(FCure.GetMatchedItem(i)));
    }
    return found;
  }
  // Repairs every finding; the places of those left as they were because they are excluded.
  std::vector<std::wstring> RepairAll() {
    std::vector<std::wstring> excluded;
    FCure.OnCured = [&](const TFigScanedItem& aItem, TFigCureStatus aStatus, int, int) {
      if (FCure.CurrentFailure() == cfExcluded) {
        EXPECT_EQ(aStatus, csIgnored);
        excluded.push_back(PlaceOf(aItem));
      }
    };
    for (int i = 0; i < FCure.ItemCount(); ++i) {
      FCure.SetChecked(i, true);
    }
    EXPECT_TRUE(FCure.StartCure());
    EXPECT_TRUE(FMain.RunUntil([&] { return !FCure.IsRunning(); }, kLimitMs));
    return excluded;
  }
  static std::wstring PlaceOf(const TFigScanedItem& aItem) {
    return aItem.LocationStyle == lsDisk ? aItem.ScanedPath + aItem.ScanedName
                                         : aItem.ScanedPath + L"|" + aItem.ScanedSection;
  }

  fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  TFigEngine FEngine;
  TFigCure FCure;
};

} // namespace

TEST_F(ExcludedPlacesTest, AnExcludedPlaceIsCountedButNeverFound) {
  FEngine.SetExclusionsFile(kList);
  Scan();
  const TFigSummary everything = FEngine.Summary();
  ASSERT_EQ(FCure.ItemCount(), 9);
  FCure.Clear();

  Exclude({kJunk + L"Kept", kJunk + L"k*.tmp", L"HKEY_CURRENT_USER\\Software\\Trace\\Values|two",
           L"HKEY_CURRENT_USER\\Software\\Trace\\Values\\Deep"});
  EXPECT_EQ(Scan(),
            (std::vector<std::wstring>{L"C:\\Work\\Junk\\a.tmp", L"C:\\Work\\Junk\\Sub\\b.tmp",
                                       L"Software\\Trace|", L"Software\\Trace\\Values|one",
                                       L"Software\\Trace\\Values|three"}));
  EXPECT_EQ(FEngine.Summary().AllCount, everything.AllCount);
  EXPECT_EQ(FEngine.Summary().FileCount, everything.FileCount);
  EXPECT_EQ(FEngine.Summary().MatchedAllCount, 5);
}

TEST_F(ExcludedPlacesTest, ARepairOfOlderFindingsLeavesWhatIsExcludedSinceAsItWas) {
  ASSERT_EQ(Scan().size(), 9u);
  Exclude({kJunk + L"a.tmp", L"HKEY_CURRENT_USER\\Software\\Trace\\Values|one"});
  FCure.SetExclusionsFile(kList);
  EXPECT_EQ(RepairAll(),
            (std::vector<std::wstring>{L"C:\\Work\\Junk\\a.tmp", L"Software\\Trace\\Values|one"}));
  EXPECT_TRUE(Machine().HasFile(kJunk + L"a.tmp"));
  EXPECT_FALSE(Machine().HasFile(kJunk + L"keep.tmp"));
  EXPECT_TRUE(Machine().GetRegString(regroot::CurrentUser, L"Software\\Trace\\Values", L"one"));
  EXPECT_FALSE(Machine().GetRegString(regroot::CurrentUser, L"Software\\Trace\\Values", L"two"));
}
