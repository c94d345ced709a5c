#include "windows/uSchedule.h"

#include "base/CLSettings.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/ProgramFolder.h"
#include "support/RunUntil.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace kplat;

namespace {

TDateTime At(int aYear, int aMonth, int aDay, int aHour, int aMinute, int aSecond = 0,
             int aMs = 0) {
  return *TryEncodeDateTime({aYear, aMonth, aDay, aHour, aMinute, aSecond, aMs});
}

class Schedule : public ::testing::Test {
protected:
  void SetUp() override { FMachine.SetLocalOffsetMinutes(0); }
  void TearDown() override { FreeCLSettings(); }

  // Ticks once a second from aFrom up to aTo; the times at which a scheduled scan was asked for.
  std::vector<std::wstring> RunTicks(TDateTime aFrom, TDateTime aTo) {
    std::vector<std::wstring> starts;
    SetLocalClock(FMachine, aFrom);
    while (Now() < aTo) {
      if (FCheck.Tick().StartAutoScan)
        starts.push_back(DateTimeToStr(Now(), kUs));
      FMachine.AdvanceMs(1000);
    }
    return starts;
  }

  void Arm(int aMode, const std::wstring& aHour, const std::wstring& aMinute,
           const std::wstring& aLastCure) {
    TCLSettings& settings = GetCLSettings();
    settings.SetSettingBool(L"AutoScan.Enabled", true);
    settings.SetSettingInteger(L"AutoScan.ScanMode", aMode);
    settings.SetSettingstring(L"AutoScan.LaunchHour", aHour);
    settings.SetSettingstring(L"AutoScan.LaunchMin", aMinute);
    settings.SetSettingstring(L"Schedule.LastCure", aLastCure);
  }

  std::wstring LastCure() { return GetCLSettings().GetSettingString(L"Schedule.LastCure"); }

  const TDateTimeFormats kUs;
  fake::TFakeMachineScope FScope;
  fake::TFakeMachine& FMachine = FScope.Machine();
  TScheduleCheck FCheck;
};

} // namespace

TEST_F(Schedule, LaunchWordComesFromTheCommandLineBehindRunas) {
  EXPECT_EQ(LaunchParamsFromCmdFile(L"ministart", {L"ministart"}), L"ministart");
  EXPECT_EQ(LaunchParamsFromCmdFile(L"runas", {L"runas", L"AutoSweep"}), L"AutoSweep");
  EXPECT_EQ(LaunchParamsFromCmdFile(L"runas", {L"runas"}), L"");
  EXPECT_EQ(LaunchParamsFromCmdFile(L"RUNAS", {L"RUNAS", L"x"}), L"RUNAS");

  GetCLSettings().SetSettingBool(L"AutoScan.Action0", true);
  GetCLSettings().SetSettingBool(L"AutoScan.Action2", true);
  EXPECT_EQ(PlanLaunch(L"").Action, TLaunchAction::laScan);
  EXPECT_EQ(PlanLaunch(L"MINISTART").Action, TLaunchAction::laMiniStart);
  EXPECT_FALSE(PlanLaunch(L"ministart").Automatic);
  EXPECT_EQ(PlanLaunch(L"other").Action, TLaunchAction::laNone);
  EXPECT_EQ(PlanLaunch(L"runas").Action, TLaunchAction::laNone);

  const TLaunchPlan scan = PlanLaunch(L"autoscan");
  EXPECT_EQ(scan.Action, TLaunchAction::laAutoScan);
  EXPECT_TRUE(scan.Automatic);
  EXPECT_FALSE(scan.LoadUserTopics);
  using TChoice = std::pair<TTopicCategory, bool>;
  EXPECT_EQ(scan.Categories, (std::vector<TChoice>{{tcARegFix, true},
                                                   {tcBPrivacySweep, false},
                                                   {tcCJunkFile, false},
                                                   {tcDSystemOptimization, true}}));
  const TLaunchPlan sweep = PlanLaunch(L"AUTOSWEEP");
  EXPECT_EQ(sweep.Action, TLaunchAction::laAutoSweep);
  EXPECT_TRUE(sweep.LoadUserTopics);
  EXPECT_EQ(sweep.Categories,
            (std::vector<TChoice>{
                {tcARegFix, false}, {tcCJunkFile, false}, {tcDSystemOptimization, false}}));
}

TEST_F(Schedule, AutomaticStartsChooseTheirTopics) {
  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"Switch.RegistryFix", true);
  settings.SetSettingBool(L"Switch.PrivacySweep", true);
  settings.SetSettingBool(L"RegFix.Reg", true);
  settings.SetSettingBool(L"PrivacySweep.Trace", true);
  settings.SetSettingBool(L"AutoScan.Action1", true);
  TFigEngine engine;
  for (const auto& [name, category] : {std::pair{L"Reg", tcARegFix},
                                       {L"Trace", tcBPrivacySweep},
                                       {L"Other", tcBPrivacySweep},
                                       {L"Junk", tcCJunkFile},
                                       {L"Opt", tcDSystemOptimization}})
    engine.GetTopic(engine.AddTopic(name))->SetCategory(category);
  const auto enabled = [&engine] {
    std::wstring names;
    for (int i = 0; i < engine.TopicCount(); ++i)
      if (engine.GetTopic(i)->Enabled())
        names += engine.GetTopic(i)->Name() + L" ";
    return names;
  };
  ApplyLaunchTopics(PlanLaunch(L"AutoScan"), engine);
  EXPECT_EQ(enabled(), L"Junk ");
  ApplyLaunchTopics(PlanLaunch(L"AutoSweep"), engine);
  EXPECT_EQ(enabled(), L"Trace ");
  ApplyLaunchTopics(PlanLaunch(L"ministart"), engine);
  EXPECT_EQ(enabled(), L"Trace ");
}

TEST_F(Schedule, DailyRunNeedsAFullDayWithinTheMinute) {
  Arm(1, L"12", L"00", L"3/4/2026 12:00:30 PM");
  EXPECT_EQ(RunTicks(At(2026, 3, 5, 0, 0), At(2026, 3, 6, 0, 0)),
            (std::vector<std::wstring>{L"3/5/2026 12:00:30 PM"}));
  EXPECT_EQ(RunTicks(At(2026, 3, 6, 11, 0), At(2026, 3, 6, 13, 0)),
            (std::vector<std::wstring>{L"3/6/2026 12:00:30 PM"}));
  EXPECT_EQ(LastCure(), L"3/6/2026 12:00:30 PM");

  // Last run at 12:00:59.5: the minute ends before a day is full, so the next run is a day later.
  const TDateTime last = At(2026, 3, 4, 12, 0, 59, 500);
  std::vector<TDateTime> due;
  for (TDateTime t = At(2026, 3, 5, 0, 0, 0, 200); t < At(2026, 3, 7, 0, 0); t += 1.0 / 86400.0)
    if (ScheduleDue(1, t, last, 0.5, false))
      due.push_back(t);
  ASSERT_FALSE(due.empty());
  EXPECT_EQ(DateTimeToStr(due.front(), kUs), L"3/6/2026 12:00:00 PM");
}

TEST_F(Schedule, WeeklyAndMonthlyRunsCountWholeDays) {
  Arm(3, L"14", L"45", L"2/3/2026 1:00:00 PM");
  EXPECT_TRUE(RunTicks(At(2026, 3, 4, 13, 30), At(2026, 3, 4, 15, 0)).empty());
  EXPECT_EQ(RunTicks(At(2026, 3, 5, 13, 30), At(2026, 3, 5, 15, 0)),
            (std::vector<std::wstring>{L"3/5/2026 2:00:00 PM"}));

  Arm(2, L"8", L"5", L"3/1/2026 8:05:00 AM");
  EXPECT_TRUE(RunTicks(At(2026, 3, 7, 8, 0), At(2026, 3, 7, 9, 0)).empty());
  EXPECT_EQ(RunTicks(At(2026, 3, 8, 7, 0), At(2026, 3, 8, 9, 0)),
            (std::vector<std::wstring>{L"3/8/2026 8:05:00 AM"}));
  EXPECT_FALSE(ScheduleDue(7, At(2026, 3, 8, 8, 5), 0.0, At(1899, 12, 30, 8, 5), false));
}

TEST_F(Schedule, LaunchOnceRunsOnceUntilRearmed) {
  Arm(0, L"9", L"30", L"");
  EXPECT_EQ(RunTicks(At(2026, 3, 5, 9, 0), At(2026, 3, 5, 10, 0)),
            (std::vector<std::wstring>{L"3/5/2026 9:30:00 AM"}));
  EXPECT_TRUE(RunTicks(At(2026, 3, 6, 9, 0), At(2026, 3, 6, 10, 0)).empty());
  EXPECT_TRUE(GetCLSettings().GetSettingBool(L"AutoScan.LaunchOnce.Launched"));

  // The settings window clears the flag when the launch time changes.
  GetCLSettings().SetSettingstring(L"AutoScan.LaunchMin", L"45");
  GetCLSettings().SetSettingBool(L"AutoScan.LaunchOnce.Launched", false);
  EXPECT_EQ(RunTicks(At(2026, 3, 7, 9, 0), At(2026, 3, 7, 10, 0)),
            (std::vector<std::wstring>{L"3/7/2026 9:45:00 AM"}));
}

TEST_F(Schedule, WithoutALaunchTimeRunsAtNoon) {
  Arm(1, L"", L"", L"");
  EXPECT_EQ(RunTicks(At(2026, 3, 5, 11, 0), At(2026, 3, 5, 13, 0)),
            (std::vector<std::wstring>{L"3/5/2026 12:00:00 PM"}));
  GetCLSettings().SetSettingBool(L"AutoScan.Enabled", false);
  EXPECT_TRUE(RunTicks(At(2026, 3, 6, 11, 0), At(2026, 3, 6, 13, 0)).empty());
}

TEST_F(Schedule, BadStoredTimesResetTheLastRun) {
  Arm(1, L"10", L"0", L"yesterday");
  EXPECT_FALSE(FCheck.Tick().StartAutoScan);
  EXPECT_EQ(LastCure(), L"12/30/1899 12:00:00 AM");
  EXPECT_EQ(RunTicks(At(2026, 3, 5, 9, 0), At(2026, 3, 5, 11, 0)),
            (std::vector<std::wstring>{L"3/5/2026 10:00:00 AM"}));

  // A launch time that does not read resets it on every tick and never runs.
  for (const wchar_t* hour : {L"24", L"x", L"1 0"}) {
    Arm(1, hour, L"0", L"3/1/2026 10:00:00 AM");
    EXPECT_TRUE(RunTicks(At(2026, 3, 5, 0, 0), At(2026, 3, 5, 0, 2)).empty()) << hour;
    EXPECT_EQ(LastCure(), L"12/30/1899 12:00:00 AM");
  }

  // The stored text follows the user's formats and reads back with them.
  FMachine.SetDateTimeFormats({L"dd.MM.yyyy", L"HH:mm:ss", L".", L":", L"", L""});
  Arm(1, L"7", L"15", L"");
  EXPECT_EQ(RunTicks(At(2026, 3, 5, 7, 0), At(2026, 3, 5, 8, 0)).size(), 1u);
  EXPECT_EQ(RunTicks(At(2026, 3, 6, 7, 0), At(2026, 3, 6, 8, 0)).size(), 1u);
  EXPECT_EQ(LastCure(), L"06.03.2026 07:15:00");
}

TEST_F(Schedule, StatusResetsEvery301Ticks) {
  std::vector<int> resets;
  for (int tick = 1; tick <= 700; ++tick)
    if (FCheck.Tick().ResetStatus)
      resets.push_back(tick);
  EXPECT_EQ(resets, (std::vector<int>{302, 603}));
}

TEST_F(Schedule, RunEntryQuotesTheProgramAndKeepsItsWord) {
  const std::wstring program = L"C:\\Program Files\\Kestrova\\Kestrova.exe";
  EXPECT_EQ(RunEntryData(program, true, true), L"\"" + program + L"\" AutoSweep");
  EXPECT_EQ(RunEntryData(program, false, true), L"\"" + program + L"\" ministart");
  EXPECT_EQ(RunEntryData(program, false, false), L"");

  for (const auto& [sweep, word, action] :
       {std::tuple{true, L"AutoSweep", TLaunchAction::laAutoSweep},
        std::tuple{false, L"ministart", TLaunchAction::laMiniStart}}) {
    // At log-on Windows starts the data as a command line; the elevated restart puts "runas"
    // before the first argument.
    const std::vector<std::wstring> arguments =
        SplitCommandLine(RunEntryData(program, sweep, true));
    ASSERT_EQ(arguments, (std::vector<std::wstring>{program, word}));
    const std::vector<std::wstring> args(arguments.begin() + 1, arguments.end());
    EXPECT_EQ(PlanLaunch(LaunchParamsFromCmdFile(args[0], args)).Action, action);
    const std::vector<std::wstring> elevated{L"runas", args[0]};
    EXPECT_EQ(PlanLaunch(LaunchParamsFromCmdFile(elevated[0], elevated)).Action, action);
  }
  EXPECT_EQ(SplitCommandLine(L" a\\\\\"b c\" \"d\\\"e\"  \\x"),
            (std::vector<std::wstring>{L"a\\b c", L"d\"e", L"\\x"}));

  TCLSettings& settings = GetCLSettings();
  settings.SetSettingBool(L"General.Startup", true);
  UpdateRunEntry(L"Kestrova");
  EXPECT_EQ(FMachine.GetRegString(regroot::CurrentUser, kRunKey, L"Kestrova"),
            L"\"" + FMachine.System().GetProgramPath() + L"\" ministart");
  settings.SetSettingBool(L"General.Startup", false);
  UpdateRunEntry(L"Kestrova");
  EXPECT_FALSE(FMachine.GetRegValue(regroot::CurrentUser, kRunKey, L"Kestrova"));
  UpdateRunEntry(L"Kestrova");

  FMachine.FailSetValue(regroot::CurrentUser, kRunKey);
  settings.SetSettingBool(L"AutoSweep.Login", true);
  UpdateRunEntry(L"Kestrova");
  EXPECT_FALSE(FMachine.GetRegValue(regroot::CurrentUser, kRunKey, L"Kestrova"));
  EXPECT_TRUE(settings.GetSettingBool(L"AutoSweep.Login"));
}
