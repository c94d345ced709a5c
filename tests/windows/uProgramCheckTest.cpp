// The decision before a watched repair: which running program holds ticked findings, and what
// trying again, skipping or cancelling leaves ticked.

#include "windows/uProgramCheck.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TFigScanedItem Finding(const std::wstring& aTopic, const std::wstring& aPrograms) {
  TFigScanedItem item;
  item.TopicName = aTopic;
  item.RuleCaption = aTopic + L" history";
  item.Programs = aPrograms;
  item.Checked = true;
  return item;
}

} // namespace

TEST(ProgramCheck, EachRunningProgramIsAskedAboutUntilNoneHoldsATickedFinding) {
  const struct {
    std::vector<TProgramAnswer> Answers;
    bool Settled;
    std::vector<std::wstring> Asked;
    std::vector<bool> Ticked;
  } cases[] = {
      // Closing Chrome and trying again leaves its findings ticked; Edge's are skipped.
      {{TProgramAnswer::TryAgain, TProgramAnswer::Skip},
       true,
       {L"chrome.exe Chrome history 0,1", L"msedge.exe Edge history 2"},
       {true, true, false, true, false}},
      {{TProgramAnswer::Skip, TProgramAnswer::Skip},
       true,
       {L"chrome.exe Chrome history 0,1", L"msedge.exe Edge history 2"},
       {false, false, false, true, false}},
      {{TProgramAnswer::Cancel},
       false,
       {L"chrome.exe Chrome history 0,1"},
       {true, true, true, true, false}},
  };
  for (const auto& test : cases) {
    kplat::fake::TFakeMachineScope scope;
    scope.Machine().StartProgram(L"CHROME.EXE");
    scope.Machine().StartProgram(L"msedge.exe");
    TFigCure cure;
    cure.AddMatchedItem(Finding(L"Chrome", L"chrome.exe"));
    cure.AddMatchedItem(Finding(L"Chrome", L"chrome.exe"));
    cure.AddMatchedItem(Finding(L"Edge", L"msedge.exe"));
    cure.AddMatchedItem(Finding(L"Temp", L""));
    TFigScanedItem unticked = Finding(L"Firefox", L"firefox.exe;msedge.exe");
    unticked.Checked = false;
    cure.AddMatchedItem(unticked);

    std::vector<std::wstring> asked;
    size_t next = 0;
    const bool settled = SettleRunningPrograms(cure, [&](const THeldFindings& aHeld) {
      std::wstring indexes;
      for (const int index : aHeld.Findings) {
        indexes += (indexes.empty() ? L"" : L",") + std::to_wstring(index);
      }
      asked.push_back(aHeld.Program + L" " + aHeld.Caption + L" " + indexes);
      const TProgramAnswer answer = test.Answers.at(next++);
      if (answer == TProgramAnswer::TryAgain) {
        scope.Machine().EndProgram(aHeld.Program);
      }
      return answer;
    });
    EXPECT_EQ(settled, test.Settled);
    EXPECT_EQ(asked, test.Asked);
    std::vector<bool> ticked;
    for (int i = 0; i < cure.ItemCount(); ++i) {
      ticked.push_back(cure.GetMatchedItem(i).Checked);
    }
    EXPECT_EQ(ticked, test.Ticked);
  }
}
