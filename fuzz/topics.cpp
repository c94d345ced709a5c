// The topic database load over any "data\topic.db": every topic read, its rule set up, and the
// list saved and loaded again.
#include "FuzzMachine.h"

#include "engine/FigEngine.h"
#include "engine/FigRule.h"

#include <cstdlib>

namespace {

const std::wstring kFile = fuzz::kProgramFolder + L"data\\topic.db";
const std::wstring kSaved = fuzz::kProgramFolder + L"data\\saved.db";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  fuzz::Machine().AddFileContent(kFile, fuzz::Bytes(aData, aSize));
  TFigEngine engine;
  if (!engine.LoadTopics(kFile)) {
    return 0;
  }
  for (int i = 0; i < engine.TopicCount(); ++i) {
    const TFigTopic& topic = *engine.GetTopic(i);
    topic.Category();
    topic.Enabled();
    for (int l = 0; l < topic.LocationsCount(); ++l) {
      topic.GetLocation(l);
    }
    const TFigRuleSetup setup(topic.GetValue(L"Rule"), topic.GetValue(L"RuleCaption"),
                              topic.RegItem(), topic.Status(), topic.GetValue(L"ExceptOptions"));
  }
  engine.MaxProcessingCount();
  if (engine.SaveTopics(kSaved)) {
    // What was saved loads again whole: every topic with a name that survives saving.
    int count = 0;
    for (int i = 0; i < engine.TopicCount(); ++i) {
      count += engine.GetTopic(i)->HasStoredName() ? 1 : 0;
    }
    if (!engine.LoadTopics(kSaved) || engine.TopicCount() != count) {
      std::abort();
    }
  }
  return 0;
}
