#pragma once
// Before a repair the user watches: findings whose topic's program runs (a browser holding its
// history) are not repaired while it runs, so the window names the program and lets the user
// close it and try again, or skip those findings.

#include "cure/FigCure.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The ticked findings one running program holds.
struct THeldFindings {
  std::wstring Program;      // as the topic names it ("chrome.exe")
  std::wstring Caption;      // the findings' caption ("Chrome history")
  std::vector<int> Findings; // their indexes in the repair manager
};

// The first running program that holds ticked findings, with every ticked finding it holds.
std::optional<THeldFindings> FindHeldFindings(const TFigCure& aCure);

enum class TProgramAnswer : uint8_t {
  TryAgain, // the user closed the program (or says so): look again
  Skip,     // untick the findings it holds
  Cancel    // no repair now
};

// Asks about each running program until none holds a ticked finding; false when the user
// cancelled. Skipped findings are unticked.
bool SettleRunningPrograms(TFigCure& aCure,
                           const std::function<TProgramAnswer(const THeldFindings&)>& aAsk);
