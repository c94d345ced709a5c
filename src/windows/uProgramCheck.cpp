#include "windows/uProgramCheck.h"

#include "engine/FigPrograms.h"
#include "platform/TextCodec.h"

#include <map>

std::optional<THeldFindings> FindHeldFindings(const TFigCure& aCure) {
  // Each topic's programs are looked up once, not once per finding.
  std::map<std::wstring, std::vector<std::wstring>> runningByTopic;
  std::optional<THeldFindings> held;
  for (int i = 0; i < aCure.ItemCount(); ++i) {
    const TFigScanedItem& item = aCure.GetMatchedItem(i);
    if (!item.Checked || item.Programs.empty()) {
      continue;
    }
    auto found = runningByTopic.find(item.TopicName);
    if (found == runningByTopic.end()) {
      found = runningByTopic.emplace(item.TopicName, RunningProgramsOf(item.Programs)).first;
    }
    const std::vector<std::wstring>& running = found->second;
    if (running.empty()) {
      continue;
    }
    if (!held) {
      held = THeldFindings{running.front(), item.RuleCaption, {}};
    }
    for (const std::wstring& program : running) {
      if (kplat::SameText(program, held->Program)) {
        held->Findings.push_back(i);
        break;
      }
    }
  }
  return held;
}

bool SettleRunningPrograms(TFigCure& aCure,
                           const std::function<TProgramAnswer(const THeldFindings&)>& aAsk) {
  while (const std::optional<THeldFindings> held = FindHeldFindings(aCure)) {
    switch (aAsk(*held)) {
    case TProgramAnswer::TryAgain:
      break;
    case TProgramAnswer::Skip:
      for (const int index : held->Findings) {
        aCure.SetChecked(index, false);
      }
      break;
    case TProgramAnswer::Cancel:
      return false;
    }
  }
  return true;
}
