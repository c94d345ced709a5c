#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace kplat;

constexpr uint32_t kLimitMs = 600000;

// A privacy topic whose rule takes every value (or, without CHECKVALUES, every key) it visits.
void AddHistoryTopic(TFigEngine& aEngine, const std::wstring& aName, const std::wstring& aKey,
                     bool aCheckValues) {
  TFigTopic* topic = aEngine.GetTopic(aEngine.AddTopic(aName));
  topic->SetCategory(tcBPrivacySweep);
  topic->SetEnabled(true);
  topic->ValueList().SetValue(L"LOCATION_0", L"lsRegistry,HKEY_CURRENT_USER\\" + aKey);
  topic->ValueList().SetValue(L"Rule", L"rsRegistryHistory,History");
  topic->ValueList().SetValue(L"LEVEL", L"2");
  topic->ValueList().SetValue(L"CHECKVALUES", aCheckValues ? L"-1" : L"0");
}

// A junk topic that takes every ".tmp" file in a folder and its sub-folders.
void AddJunkTopic(TFigEngine& aEngine, const std::wstring& aFolder) {
  TFigTopic* topic = aEngine.GetTopic(aEngine.AddTopic(L"Junk"));
  topic->SetCategory(tcCJunkFile);
  topic->SetEnabled(true);
  topic->ValueList().SetValue(L"LOCATION_0", L"lsDisk," + aFolder);
  topic->ValueList().SetValue(L"Rule", L"rsJunkFile,.tmp");
  topic->ValueList().SetValue(L"IncludeSubFolder", L"1");
  topic->ValueList().SetValue(L"LEVEL", L"2");
}

// Scans the junk topic over aFolder, lets aBetween change the machine, then repairs every
// finding; the status each finding was repaired with, by its folder and name.
class FigCureDiskScan : public testing::Test {
protected:
  FigCureDiskScan() { Machine().AddFolder(L"C:\\Backup"); }
  fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // Scans the junk topic over aFolder into aCure; aEngine hears of the repairs and must outlive
  // them.
  void Scan(const std::wstring& aFolder, TFigEngine& aEngine, TFigCure& aCure) {
    AddJunkTopic(aEngine, aFolder);
    aEngine.SetFigCure(&aCure);
    aEngine.SetPacing(false);
    aEngine.StartScan();
    EXPECT_TRUE(FMain.RunUntil([&] { return !aEngine.IsRunning(); }, kLimitMs));
  }

  std::vector<std::wstring> ScanAndRepair(const std::wstring& aFolder,
                                          const std::function<void()>& aBetween = {}) {
    TFigEngine engine;
    TFigCure cure;
    Scan(aFolder, engine, cure);
    if (aBetween) {
      aBetween();
    }
    std::vector<std::wstring> repaired;
    cure.OnCured = [&](const TFigScanedItem& aItem, TFigCureStatus aStatus, int, int) {
      repaired.push_back(aItem.ScanedPath + aItem.ScanedName + L" " + GetEnumName(aStatus));
    };
    cure.SetBackupPath(L"C:\\Backup");
    cure.SetPaced(false);
    EXPECT_TRUE(cure.StartCure());
    EXPECT_TRUE(FMain.RunUntil([&] { return !cure.IsRunning(); }, kLimitMs));
    return repaired;
  }

  fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
};

TEST_F(FigCureDiskScan, AFolderSwappedForALinkAfterTheScanLeadsNoDeletionOutOfTheWalk) {
  // Whichever folder from the scanned one down to the finding's becomes a junction to a
  // protected folder with the same names below it, the file there stays.
  const std::vector<std::wstring> swappedBelowScanned = {L"", L"\\A", L"\\A\\B"};
  for (size_t i = 0; i < swappedBelowScanned.size(); ++i) {
    const std::wstring scanned = L"C:\\Work\\Junk" + std::to_wstring(i);
    const std::wstring swapped = scanned + swappedBelowScanned[i];
    const std::wstring target = L"C:\\Windows\\Protected" + std::to_wstring(i);
    const std::wstring victim =
        target + std::wstring(L"\\A\\B\\x.tmp").substr(swappedBelowScanned[i].size());
    Machine().AddFile(scanned + L"\\A\\B\\x.tmp", 1);
    Machine().AddFile(victim, 1);
    const std::vector<std::wstring> repaired =
        ScanAndRepair(scanned, [&] { Machine().AddFolderLink(swapped, target); });
    EXPECT_EQ(repaired, (std::vector<std::wstring>{scanned + L"\\A\\B\\x.tmp csUncured"}))
        << ToUtf8(swapped);
    EXPECT_TRUE(Machine().HasFile(victim)) << ToUtf8(swapped);
  }
}

TEST_F(FigCureDiskScan, ALocationThatIsALinkIsScannedAndRepairedWhereItReallyIs) {
  // The temporary folder moved to another drive by its owner, with a junction left in its place.
  Machine().AddFile(L"D:\\Temp\\x.tmp", 1);
  Machine().AddFile(L"D:\\Temp\\Sub\\y.tmp", 1);
  Machine().AddFolderLink(L"C:\\Users\\User\\AppData\\Local\\Temp", L"D:\\Temp");
  EXPECT_EQ(ScanAndRepair(L"@Temp"), (std::vector<std::wstring>{L"D:\\Temp\\x.tmp csCured",
                                                                L"D:\\Temp\\Sub\\y.tmp csCured"}));
  EXPECT_FALSE(Machine().HasFile(L"D:\\Temp\\x.tmp"));
  EXPECT_FALSE(Machine().HasFile(L"D:\\Temp\\Sub\\y.tmp"));
}

TEST_F(FigCureDiskScan, TheRepairPlanCountsTheFileSizesTheScanFound) {
  Machine().AddFile(L"C:\\Work\\Junk\\a.tmp", 600);
  Machine().AddFile(L"C:\\Work\\Junk\\b.tmp", 500);
  TFigEngine engine;
  TFigCure cure;
  Scan(L"C:\\Work\\Junk", engine, cure);
  ASSERT_EQ(cure.ItemCount(), 2);
  // Grown since: asking before a repair reads no file again, however many there are.
  Machine().AddFile(L"C:\\Work\\Junk\\a.tmp", 5000);
  cure.SetQuarantineBytes(1000);
  const TUndoPlan plan = cure.PlanUndo();
  EXPECT_EQ(plan.RestorableFiles, 1);
  EXPECT_EQ(plan.RestorableBytes, 600u);
  EXPECT_EQ(plan.PermanentFiles, 1);
  EXPECT_EQ(plan.PermanentBytes, 500u);
}

TEST(FigCureScan, EveryFindingOfAScanLandsInSidOrderAndIsRepaired) {
  fake::TFakeMachineScope scope;
  fake::TFakeMachine& machine = scope.Machine();
  InstallFakeRegEdit(machine);
  machine.AddFolder(L"C:\\Backup");
  for (int i = 0; i < 20; ++i) {
    machine.SetRegDword(regroot::CurrentUser, L"Software\\Trace\\Values", L"v" + std::to_wstring(i),
                        static_cast<uint32_t>(i));
  }
  machine.SetRegString(regroot::CurrentUser, L"Software\\Trace\\Dead", L"a", L"x");
  machine.SetRegString(regroot::CurrentUser, L"Software\\Trace\\Dead\\Sub", L"b", L"y");
  // The engine's progress timer would race a virtual clock through the wait's limit.
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread mainScope(mainThread);
  TFigEngine engine;
  AddHistoryTopic(engine, L"Values", L"Software\\Trace\\Values", true);
  AddHistoryTopic(engine, L"Keys", L"Software\\Trace\\Dead", false);
  TFigCure cure;
  engine.SetFigCure(&cure);
  engine.SetPacing(false);
  engine.StartScan();
  ASSERT_TRUE(mainThread.RunUntil([&] { return !engine.IsRunning(); }, kLimitMs));

  ASSERT_EQ(cure.ItemCount(), 21);
  EXPECT_EQ(cure.GetCheckedItem(), 21);
  for (int i = 0; i < cure.ItemCount(); ++i) {
    EXPECT_EQ(cure.GetMatchedItem(i).SID, cure.GetMatchedItem(0).SID + i);
  }
  EXPECT_TRUE(cure.GetMatchedItem(0).ValueCheck);
  EXPECT_FALSE(cure.GetMatchedItem(20).ValueCheck);

  cure.SetBackupPath(L"C:\\Backup");
  cure.SetPaced(false);
  ASSERT_TRUE(cure.StartCure());
  ASSERT_TRUE(mainThread.RunUntil([&] { return !cure.IsRunning(); }, kLimitMs));
  EXPECT_FALSE(machine.RegKeyExists(regroot::CurrentUser, L"Software\\Trace\\Dead"));
  EXPECT_FALSE(machine.GetRegValue(regroot::CurrentUser, L"Software\\Trace\\Values", L"v7"));
  // The cured topics are reported back to the engine.
  EXPECT_EQ(engine.GetTopicByName(L"Values")->Status(), tsCured);
  EXPECT_EQ(engine.GetTopicByName(L"Keys")->Status(), tsCured);
}

} // namespace
