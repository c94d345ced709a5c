#include "appengine/FigEngineSettings.h"

#include "base/CLSettings.h"
#include "base/CLStrings.h"

#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The topics of aCategory, through the engine's category list.
std::vector<TFigTopic*> CategoryTopics(const TFigEngine& aEngine, TTopicCategory aCategory) {
  TStringList indices;
  aEngine.GetCategoryList(aCategory, &indices);
  std::vector<TFigTopic*> topics;
  for (int i = 0; i < indices.Count(); ++i) {
    if (TFigTopic* topic = aEngine.GetTopic(
            static_cast<int>(std::wcstol(indices.Strings(i).c_str(), nullptr, 10)))) {
      topics.push_back(topic);
    }
  }
  return topics;
}

} // namespace

TFigCategorySwitches LoadCategorySwitches() {
  const TCLSettings& settings = GetCLSettings();
  return {settings.GetSettingBool(L"Switch.RegistryFix"),
          settings.GetSettingBool(L"Switch.PrivacySweep"),
          settings.GetSettingBool(L"Switch.JunkFilesClean"),
          settings.GetSettingBool(L"Switch.SystemOptimization")};
}

void LoadFigEngineSettings(TFigEngine& aEngine, const TFigCategorySwitches& aSwitches) {
  aEngine.SetAllEnabled(false);
  const TCLSettings& settings = GetCLSettings();
  struct TChoice {
    TTopicCategory Category;
    const wchar_t* Prefix;
  };
  constexpr TChoice kChoices[] = {
      {tcARegFix, L"RegFix."}, {tcBPrivacySweep, L"PrivacySweep."}, {tcCJunkFile, L"JunkFiles."}};
  for (size_t i = 0; i < std::size(kChoices); ++i) {
    if (!aSwitches[i]) {
      continue;
    }
    for (TFigTopic* topic : CategoryTopics(aEngine, kChoices[i].Category)) {
      topic->SetEnabled(settings.GetSettingBool(kChoices[i].Prefix + topic->Name()));
    }
  }
  if (aSwitches[3]) {
    ApplyOptimizationProfiles(aEngine);
  }
}

void ApplyOptimizationProfiles(TFigEngine& aEngine) {
  const TCLSettings& settings = GetCLSettings();
  const int32_t usage = settings.GetSettingInteger(L"SystemOptimization.CO");
  const int32_t connection = settings.GetSettingInteger(L"SystemOptimization.NO");
  for (TFigTopic* topic : CategoryTopics(aEngine, tcDSystemOptimization)) {
    const int32_t level = topic->GetInteger(kTopicKeyLevel, 1);
    topic->SetEnabled(OptimizationProfilesReach(level, usage, connection));
  }
}

bool OptimizationProfilesReach(int32_t aLevel, int32_t aUsage, int32_t aConnection) {
  return aLevel < 10 ? aUsage >= aLevel - 2 : aConnection >= aLevel - 12;
}

std::wstring LoadTopicDatabase(TFigEngine& aEngine, const std::wstring& aFileName,
                               const TCLEngine& aTexts) {
  if (!aEngine.LoadTopics(aFileName))
    return aEngine.LastError();
  if (aEngine.TopicCount() == 0)
    return L"\"" + aFileName + L"\": " + aTexts.GetAppString(L"TopicDb.NoTopics");
  return L"";
}
