#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "framework/CLMainThread.h"
#include "platform/fake/FakeMachine.h"
#include "support/FakeRegEdit.h"

#include <gtest/gtest.h>

#include <string>

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
