#pragma once
// The scan engine: it owns the topics of the topic database and the statistics of a scan.

#include "engine/FigRule.h"
#include "engine/FigTopic.h"
#include "framework/CLDateUtils.h"
#include "framework/CLStrings.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Counters of one scan: places looked at, then findings; the two sizes are sums of file sizes in
// bytes.
struct TFigSummary {
  int64_t AllCount = 0;
  int64_t RegistryItemCount = 0;
  int64_t FileCount = 0;
  int64_t FileSizeCount = 0;
  int64_t MatchedAllCount = 0;
  int64_t MatchedRegItemCount = 0;
  int64_t MatchedFileCount = 0;
  int64_t MatchedFileSizeCount = 0;
  bool operator==(const TFigSummary&) const = default;
};

// The repair manager's report that a topic's finding was repaired.
using TOnTopicCuredEvent =
    std::function<void(const std::wstring& aTopicName, TTopicStatus aStatus)>;

// What the scan engine needs of the repair manager: it hands over every finding, in SID order,
// and listens for cured topics.
class TFigCureLink : public TObject {
public:
  // Appends a copy of the finding to the manager's list.
  virtual void AddMatchedItem(const TFigScanedItem& aItem) = 0;

  TOnTopicCuredEvent OnTopicCured;
};

// The date DATETIME holds when the topic database gives none.
inline constexpr std::wstring_view kDefaultTopicDateText = L"5/31/2010";

class TFigEngine : public TObject {
public:
  TFigEngine() = default;
  TFigEngine(const TFigEngine&) = delete;
  TFigEngine& operator=(const TFigEngine&) = delete;

  // --- The topic database.
  // Replaces the topic list with the topics of a topic database, read up to the first TOPIC_n
  // without a NAME; OnTopicLoaded follows when at least one topic was read. False, with
  // LastError naming the file and the cause, when the file is missing or unreadable, its
  // MAGICWORD is not "FIG" or its DATETIME is no month/day/year date: then nothing changes.
  bool LoadTopics(const std::wstring& aFileName);
  // Writes a new topic database with today's date: never over an existing file (false then).
  // Topics without a name are left out and the others numbered without gaps, so that the file
  // loads again whole. False, with LastError, when the file cannot be written.
  bool SaveTopics(const std::wstring& aFileName);
  const std::wstring& LastError() const { return FLastError; }

  // Sum of every topic's WORKINGPERCENT (10 when absent): the progress bar's maximum.
  int MaxProcessingCount() const { return FMaxProcessingCount; }
  TDateTime TopicDateTime() const { return FTopicDateTime; }

  // --- The topic list. Indices out of range are ignored or give nothing.
  int TopicCount() const { return FTopicList.Count(); }
  // Appends a topic whose only line is NAME=aName; returns its index.
  int AddTopic(std::wstring_view aName);
  void DeleteTopic(int aIndex);
  void ClearTopicList() { FTopicList.Clear(); }
  TFigTopic* GetTopic(int aIndex) const { return FTopicList.Items(aIndex); }
  // The first topic with that name ignoring case, or nothing.
  TFigTopic* GetTopicByName(std::wstring_view aName) const;
  const TFigTopicList& TopicList() const { return FTopicList; }

  void SetTopicEnabled(int aIndex, bool aEnabled);
  void SetAllEnabled(bool aEnabled);
  void SetTopicEnabledByName(std::wstring_view aName, bool aEnabled);
  void SetTopicEnabledByCategory(TTopicCategory aCategory, bool aEnabled);

  // These append to aList (never clearing it) and return how many lines they appended; with no
  // list they do nothing and return 0.
  // The index, as decimal text, of every topic of the category, in list order.
  int GetCategoryList(TTopicCategory aCategory, TStringList* aList) const;
  // Each Root_Caption of the category's topics that aList does not hold yet (ignoring case).
  int GetRootList(TTopicCategory aCategory, TStringList* aList) const;
  // The Rule_Caption of each topic of the category whose Root_Caption is aRoot (ignoring case),
  // with the topic as the line's object.
  int GetChildList(TTopicCategory aCategory, std::wstring_view aRoot, TStringList* aList) const;

  // Orders the topics by category, so that a scan meets the categories in ordinal order.
  void SortByCategory() { FTopicList.SortByCategory(); }
  void ResetStatus();
  // The repair manager's report that a topic was cured; no topic of that name, no effect.
  void SetTopicStatusByName(std::wstring_view aTopicName, TTopicStatus aStatus);

  TNotifyEvent OnTopicLoaded;

private:
  TFigTopicList FTopicList;
  int FMaxProcessingCount = 0;
  TDateTime FTopicDateTime = 0;
  std::wstring FLastError;
};
