#include "engine/FigEngine.h"

#include "base/CLIniFiles.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <utility>

namespace {

constexpr std::wstring_view kGlobalSection = L"GLOBAL";
constexpr std::wstring_view kKeyMagicWord = L"MAGICWORD";
constexpr std::wstring_view kKeyDateTime = L"DATETIME";
constexpr std::wstring_view kMagicWord = L"FIG";
// Share of the progress bar of a topic without WORKINGPERCENT, when summing the maximum.
constexpr int32_t kDefaultMaxWorkingPercent = 10;

std::wstring Quoted(std::wstring_view aText) {
  return L"\"" + std::wstring(aText) + L"\"";
}

std::wstring LoadFailureText(const std::wstring& aFileName, const TIniLoadResult& aResult) {
  switch (aResult.Status) {
  case TIniLoadStatus::Missing:
    return L"The topic database " + Quoted(aFileName) + L" was not found.";
  case TIniLoadStatus::TooLarge:
    return L"The topic database " + Quoted(aFileName) + L" is too large to be read.";
  case TIniLoadStatus::Unreadable:
  case TIniLoadStatus::Loaded:
    break;
  }
  return L"The topic database " + Quoted(aFileName) + L" could not be read (system error " +
         std::to_wstring(aResult.Error) + L").";
}

} // namespace

// --- The topic database
// ---------------------------------------------------------------------------

bool TFigEngine::LoadTopics(const std::wstring& aFileName) {
  FLastError.clear();
  TIniProfile ini;
  const TIniLoadResult loaded = ini.LoadFromFile(aFileName);
  if (!loaded) {
    FLastError = LoadFailureText(aFileName, loaded);
    return false;
  }
  const std::wstring magicWord = ini.ReadString(kGlobalSection, kKeyMagicWord, L"");
  if (!kplat::SameText(magicWord, kMagicWord)) {
    FLastError = Quoted(aFileName) + L" is not a topic database: its MAGICWORD is " +
                 Quoted(magicWord) + L" where " + Quoted(kMagicWord) + L" is expected.";
    return false;
  }
  const std::wstring dateText = ini.ReadString(kGlobalSection, kKeyDateTime, kDefaultTopicDateText);
  const std::optional<TDateTime> date = TryStrToDate(dateText, TDateOrder::MonthDayYear, L'/');
  if (!date) {
    FLastError = Quoted(dateText) + L" is not a valid date: the DATETIME of the topic database " +
                 Quoted(aFileName) + L" must be month/day/year, such as " +
                 Quoted(kDefaultTopicDateText) + L".";
    return false;
  }

  TFigTopicList topics;
  // Summed wide and clamped: the values come from the file and may be anything.
  int64_t maxProcessing = 0;
  for (int i = 0; i < INT_MAX; ++i) {
    if (ini.ReadString(TopicSectionName(i), kTopicKeyName, L"").empty())
      break;
    auto topic = std::make_unique<TFigTopic>();
    topic->Load(ini, i);
    maxProcessing += topic->GetInteger(kTopicKeyWorkingPercent, kDefaultMaxWorkingPercent);
    topics.Add(std::move(topic));
  }
  FTopicList = std::move(topics);
  FMaxProcessingCount = static_cast<int>(std::clamp<int64_t>(maxProcessing, INT_MIN, INT_MAX));
  FTopicDateTime = *date;
  if (FTopicList.Count() > 0 && OnTopicLoaded)
    OnTopicLoaded(*this);
  return true;
}

bool TFigEngine::SaveTopics(const std::wstring& aFileName) {
  FLastError.clear();
  if (kplat::PathExists(aFileName)) {
    FLastError =
        L"The topic database " + Quoted(aFileName) + L" already exists and is not written over.";
    return false;
  }
  TCLMemIniFile ini(aFileName);
  ini.WriteString(kGlobalSection, kKeyMagicWord, kMagicWord);
  ini.WriteString(kGlobalSection, kKeyDateTime, DateToStr(Today(), TDateOrder::MonthDayYear, L'/'));
  int index = 0;
  for (int i = 0; i < FTopicList.Count(); ++i) {
    const TFigTopic& topic = *FTopicList.Items(i);
    if (!topic.HasStoredName())
      continue;
    if (!topic.Save(ini, index)) {
      FLastError = L"The topic " + Quoted(topic.Name()) +
                   L" holds a value that cannot be written to the topic database " +
                   Quoted(aFileName) + L".";
      return false;
    }
    ++index;
  }
  const kplat::TErrorCode error = ini.UpdateFile();
  if (error != kplat::err::Success) {
    FLastError = L"The topic database " + Quoted(aFileName) +
                 L" could not be written (system error " + std::to_wstring(error) + L").";
    return false;
  }
  return true;
}

// --- The topic list
// -------------------------------------------------------------------------------

int TFigEngine::AddTopic(std::wstring_view aName) {
  auto topic = std::make_unique<TFigTopic>();
  topic->ValueList().Add(std::wstring(kTopicKeyName) + L'=' + std::wstring(aName));
  return FTopicList.Add(std::move(topic));
}

void TFigEngine::DeleteTopic(int aIndex) {
  FTopicList.Delete(aIndex);
}

TFigTopic* TFigEngine::GetTopicByName(std::wstring_view aName) const {
  return FTopicList.Items(FTopicList.IndexOfName(aName));
}

void TFigEngine::SetTopicEnabled(int aIndex, bool aEnabled) {
  if (TFigTopic* topic = GetTopic(aIndex))
    topic->SetEnabled(aEnabled);
}

void TFigEngine::SetAllEnabled(bool aEnabled) {
  for (int i = 0; i < TopicCount(); ++i)
    GetTopic(i)->SetEnabled(aEnabled);
}

void TFigEngine::SetTopicEnabledByName(std::wstring_view aName, bool aEnabled) {
  if (TFigTopic* topic = GetTopicByName(aName))
    topic->SetEnabled(aEnabled);
}

void TFigEngine::SetTopicEnabledByCategory(TTopicCategory aCategory, bool aEnabled) {
  for (int i = 0; i < TopicCount(); ++i) {
    TFigTopic* topic = GetTopic(i);
    if (topic->Category() == aCategory)
      topic->SetEnabled(aEnabled);
  }
}

int TFigEngine::GetCategoryList(TTopicCategory aCategory, TStringList* aList) const {
  if (!aList)
    return 0;
  int added = 0;
  for (int i = 0; i < TopicCount(); ++i) {
    if (GetTopic(i)->Category() == aCategory) {
      aList->Add(std::to_wstring(i));
      ++added;
    }
  }
  return added;
}

int TFigEngine::GetRootList(TTopicCategory aCategory, TStringList* aList) const {
  if (!aList)
    return 0;
  int added = 0;
  for (int i = 0; i < TopicCount(); ++i) {
    const TFigTopic* topic = GetTopic(i);
    if (topic->Category() != aCategory)
      continue;
    std::wstring root = topic->GetValue(kTopicKeyRootCaption);
    if (aList->IndexOf(root) < 0) {
      aList->Add(std::move(root));
      ++added;
    }
  }
  return added;
}

int TFigEngine::GetChildList(TTopicCategory aCategory, std::wstring_view aRoot,
                             TStringList* aList) const {
  if (!aList)
    return 0;
  int added = 0;
  for (int i = 0; i < TopicCount(); ++i) {
    TFigTopic* topic = GetTopic(i);
    if (topic->Category() == aCategory &&
        kplat::SameText(topic->GetValue(kTopicKeyRootCaption), aRoot)) {
      aList->AddObject(topic->GetValue(kTopicKeyRuleCaption), topic);
      ++added;
    }
  }
  return added;
}

void TFigEngine::ResetStatus() {
  for (int i = 0; i < TopicCount(); ++i)
    GetTopic(i)->SetStatus(tsUncured);
}

void TFigEngine::SetTopicStatusByName(std::wstring_view aTopicName, TTopicStatus aStatus) {
  if (TFigTopic* topic = GetTopicByName(aTopicName))
    topic->SetStatus(aStatus);
}
