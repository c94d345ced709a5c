#include "engine/FigEngine.h"

#include "base/CLDateUtils.h"
#include "base/CLIniFiles.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kTopicDb = L"C:\\Program Files\\Kestrova\\data\\topic.db";

const char* const kThreeTopics = "[GLOBAL]\r\n"
                                 "MAGICWORD=fig\r\n"
                                 "DATETIME=\"12/1/2011\"\r\n"
                                 "[TOPIC_0]\r\n"
                                 "NAME=ActiveX\r\n"
                                 "Category=tcARegFix\r\n"
                                 "ENABLED=1\r\n"
                                 "LOCATION_0=lsRegistry,HKEY_CLASSES_ROOT\\CLSID\r\n"
                                 "Rule=rsActiveX\r\n"
                                 "WORKINGPERCENT=20\r\n"
                                 "[TOPIC_1]\r\n"
                                 "NAME=Temp files\r\n"
                                 "Category=tcCJunkFile\r\n"
                                 "Custom=carried along\r\n"
                                 "[TOPIC_2]\r\n"
                                 "NAME=Start page\r\n"
                                 "Category=tcDSystemOptimization\r\n"
                                 "WORKINGPERCENT=30\r\n"
                                 "[TOPIC_4]\r\n"
                                 "NAME=Never read\r\n";

class FigEngineTopics : public ::testing::Test {
protected:
  void WriteDb(const std::string& aText) { FScope.Machine().AddTextFile(kTopicDb, aText); }

  // The names of the engine's topics in list order.
  std::vector<std::wstring> TopicNames() const {
    std::vector<std::wstring> names;
    for (int i = 0; i < FEngine.TopicCount(); ++i)
      names.push_back(FEngine.GetTopic(i)->Name());
    return names;
  }

  void AddTopics(std::initializer_list<std::pair<const wchar_t*, TTopicCategory>> aTopics) {
    for (const auto& [name, category] : aTopics)
      FEngine.GetTopic(FEngine.AddTopic(name))->SetCategory(category);
  }

  kplat::fake::TFakeMachineScope FScope;
  TFigEngine FEngine;
};

using Names = std::vector<std::wstring>;

} // namespace

TEST_F(FigEngineTopics, LoadReadsTopicsUpToTheFirstMissingName) {
  WriteDb(kThreeTopics);
  int loadedEvents = 0;
  FEngine.OnTopicLoaded = [&](TObject& aSender) {
    EXPECT_EQ(&aSender, &FEngine);
    ++loadedEvents;
  };
  ASSERT_TRUE(FEngine.LoadTopics(kTopicDb)) << kplat::ToUtf8(FEngine.LastError());
  EXPECT_EQ(loadedEvents, 1);
  EXPECT_EQ(TopicNames(), (Names{L"ActiveX", L"Temp files", L"Start page"}));
  EXPECT_EQ(FEngine.MaxProcessingCount(), 60);
  EXPECT_EQ(FEngine.TopicDateTime(), *TryEncodeDate(2011, 12, 1));
  EXPECT_EQ(FEngine.GetTopic(1)->GetValue(L"CUSTOM"), L"carried along");
  EXPECT_EQ(FEngine.GetTopic(0)->LocationsCount(), 1);
  EXPECT_TRUE(FEngine.LastError().empty());
}

TEST_F(FigEngineTopics, LoadWithoutTopicsOrDateFiresNothingAndUsesTheDefaultDate) {
  WriteDb("[GLOBAL]\nMAGICWORD=FIG\n[TOPIC_0]\nCategory=tcARegFix\n[TOPIC_1]\nNAME=unreached\n");
  bool fired = false;
  FEngine.OnTopicLoaded = [&](TObject&) { fired = true; };
  ASSERT_TRUE(FEngine.LoadTopics(kTopicDb));
  EXPECT_FALSE(fired);
  EXPECT_EQ(FEngine.TopicCount(), 0);
  EXPECT_EQ(FEngine.MaxProcessingCount(), 0);
  EXPECT_EQ(FEngine.TopicDateTime(), *TryEncodeDate(2010, 5, 31));
}

TEST_F(FigEngineTopics, LoadRefusesMissingFilesAndWrongMagicWords) {
  bool fired = false;
  FEngine.OnTopicLoaded = [&](TObject&) { fired = true; };
  EXPECT_FALSE(FEngine.LoadTopics(kTopicDb));
  EXPECT_NE(FEngine.LastError().find(kTopicDb), std::wstring::npos);
  EXPECT_NE(FEngine.LastError().find(L"not found"), std::wstring::npos);

  WriteDb("[GLOBAL]\nDATETIME=5/31/2010\n[TOPIC_0]\nNAME=a\nWORKINGPERCENT=5\n");
  EXPECT_FALSE(FEngine.LoadTopics(kTopicDb));
  EXPECT_NE(FEngine.LastError().find(L"MAGICWORD"), std::wstring::npos);

  WriteDb("[GLOBAL]\nMAGICWORD=FIGS\n[TOPIC_0]\nNAME=a\n");
  EXPECT_FALSE(FEngine.LoadTopics(kTopicDb));
  EXPECT_FALSE(fired);
  EXPECT_EQ(FEngine.TopicCount(), 0);
  EXPECT_EQ(FEngine.MaxProcessingCount(), 0);
}

TEST_F(FigEngineTopics, LoadRefusesADateThatIsNotMonthDayYear) {
  for (const char* date : {"31/5/2010", "2010-05-31", "5/31/10", "May 31, 2010", "2/30/2011", ""}) {
    WriteDb(std::string("[GLOBAL]\nMAGICWORD=FIG\nDATETIME=") + date + "\n[TOPIC_0]\nNAME=a\n");
    EXPECT_FALSE(FEngine.LoadTopics(kTopicDb)) << date;
    const std::wstring error = FEngine.LastError();
    EXPECT_NE(error.find(L"\"" + kplat::FromUtf8(date) + L"\""), std::wstring::npos) << date;
    EXPECT_NE(error.find(kTopicDb), std::wstring::npos) << date;
    EXPECT_EQ(FEngine.TopicCount(), 0) << date;
  }
}

TEST_F(FigEngineTopics, AFailedReloadKeepsTheTopicsAndASuccessfulOneReplacesThem) {
  WriteDb(kThreeTopics);
  ASSERT_TRUE(FEngine.LoadTopics(kTopicDb));
  FScope.Machine().AddTextFile(kTopicDb, "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=13/1/2011\n");
  EXPECT_FALSE(FEngine.LoadTopics(kTopicDb));
  EXPECT_EQ(FEngine.TopicCount(), 3);
  EXPECT_EQ(FEngine.MaxProcessingCount(), 60);

  WriteDb("[GLOBAL]\nMAGICWORD=FIG\n[TOPIC_0]\nNAME=only\n");
  ASSERT_TRUE(FEngine.LoadTopics(kTopicDb));
  EXPECT_EQ(TopicNames(), (Names{L"only"}));
  EXPECT_EQ(FEngine.MaxProcessingCount(), 10);
}

TEST_F(FigEngineTopics, WorkingPercentSumIsClampedNotOverflowed) {
  WriteDb("[GLOBAL]\nMAGICWORD=FIG\n[TOPIC_0]\nNAME=a\nWORKINGPERCENT=2147483647\n"
          "[TOPIC_1]\nNAME=b\nWORKINGPERCENT=2147483647\n");
  ASSERT_TRUE(FEngine.LoadTopics(kTopicDb));
  EXPECT_EQ(FEngine.MaxProcessingCount(), 2147483647);
}

TEST_F(FigEngineTopics, SaveWritesANewFileThatLoadsAgain) {
  auto& machine = FScope.Machine();
  machine.AddFolder(L"C:\\Program Files\\Kestrova\\data");
  machine.SetLocalOffsetMinutes(60);
  // 23:30 UTC is already the next day locally.
  const double utcDays = *TryEncodeDate(2026, 3, 4) + 109205;
  machine.SetNow(static_cast<kplat::TFileTime>(utcDays) * 864000000000ull +
                 (23 * 60 + 30) * 600000000ull);

  AddTopics({{L"Fonts", tcARegFix},
             {L"", tcARegFix},
             {L"\x01 \x1f", tcARegFix},
             {L"Cookies", tcBPrivacySweep}});
  FEngine.GetTopic(0)->ValueList().Add(L"Rule_Caption=Missing font");
  ASSERT_TRUE(FEngine.SaveTopics(kTopicDb)) << kplat::ToUtf8(FEngine.LastError());

  TIniProfile ini;
  ASSERT_TRUE(ini.LoadFromFile(kTopicDb));
  EXPECT_EQ(ini.ReadString(L"GLOBAL", L"MAGICWORD", L""), L"FIG");
  EXPECT_EQ(ini.ReadString(L"GLOBAL", L"DATETIME", L""), L"3/5/2026");
  // The nameless topics (also one whose name is trimmed away) are left out without leaving a gap
  // that would end the list.
  EXPECT_EQ(ini.ReadString(L"TOPIC_1", L"NAME", L""), L"COOKIES");
  EXPECT_FALSE(ini.SectionExists(L"TOPIC_2"));

  TFigEngine reloaded;
  ASSERT_TRUE(reloaded.LoadTopics(kTopicDb));
  ASSERT_EQ(reloaded.TopicCount(), 2);
  EXPECT_EQ(reloaded.GetTopic(0)->GetValue(L"Rule_Caption"), L"MISSING FONT");
  EXPECT_EQ(reloaded.GetTopic(1)->Category(), tcBPrivacySweep);
  EXPECT_EQ(reloaded.TopicDateTime(), *TryEncodeDate(2026, 3, 5));
}

TEST_F(FigEngineTopics, SaveNeverWritesOverAFileAndReportsWriteFailures) {
  WriteDb("kept");
  AddTopics({{L"a", tcARegFix}});
  EXPECT_FALSE(FEngine.SaveTopics(kTopicDb));
  EXPECT_NE(FEngine.LastError().find(L"already exists"), std::wstring::npos);
  EXPECT_EQ(*FScope.Machine().FileContent(kTopicDb), (std::vector<uint8_t>{'k', 'e', 'p', 't'}));

  const std::wstring other = L"C:\\Program Files\\Kestrova\\data\\new.db";
  EXPECT_FALSE(FEngine.SaveTopics(L"C:\\Missing\\topic.db"));
  EXPECT_NE(FEngine.LastError().find(L"could not be written"), std::wstring::npos);
  FScope.Machine().SetDiskFull(true);
  EXPECT_FALSE(FEngine.SaveTopics(other));
  EXPECT_NE(FEngine.LastError().find(L"could not be written"), std::wstring::npos);
  EXPECT_FALSE(FScope.Machine().HasFile(other));

  FScope.Machine().SetDiskFull(false);
  FEngine.GetTopic(0)->ValueList().Add(L"Rule=two\rlines");
  EXPECT_FALSE(FEngine.SaveTopics(other));
  EXPECT_FALSE(FScope.Machine().HasFile(other));
}

TEST_F(FigEngineTopics, AddDeleteAndFindByName) {
  EXPECT_EQ(FEngine.AddTopic(L"First"), 0);
  EXPECT_EQ(FEngine.AddTopic(L"Second"), 1);
  EXPECT_EQ(FEngine.AddTopic(L"second"), 2);
  EXPECT_EQ(FEngine.GetTopic(0)->ValueList().Text(), L"NAME=First\r\n");
  EXPECT_EQ(FEngine.GetTopicByName(L"SECOND"), FEngine.GetTopic(1));
  EXPECT_EQ(FEngine.GetTopicByName(L"Third"), nullptr);
  EXPECT_EQ(FEngine.GetTopic(3), nullptr);
  EXPECT_EQ(FEngine.GetTopic(-1), nullptr);

  FEngine.DeleteTopic(5);
  FEngine.DeleteTopic(-1);
  EXPECT_EQ(FEngine.TopicCount(), 3);
  FEngine.DeleteTopic(1);
  EXPECT_EQ(TopicNames(), (Names{L"First", L"second"}));
  FEngine.ClearTopicList();
  EXPECT_EQ(FEngine.TopicCount(), 0);
}

TEST_F(FigEngineTopics, EnablingByIndexNameCategoryAndAll) {
  AddTopics({{L"a", tcARegFix}, {L"b", tcBPrivacySweep}, {L"c", tcARegFix}, {L"d", tcCJunkFile}});
  auto enabled = [&] {
    std::wstring flags;
    for (int i = 0; i < FEngine.TopicCount(); ++i)
      flags += FEngine.GetTopic(i)->Enabled() ? L'1' : L'0';
    return flags;
  };
  FEngine.SetTopicEnabledByCategory(tcARegFix, true);
  EXPECT_EQ(enabled(), L"1010");
  FEngine.SetTopicEnabledByName(L"D", true);
  FEngine.SetTopicEnabledByName(L"none", true);
  EXPECT_EQ(enabled(), L"1011");
  FEngine.SetTopicEnabled(0, false);
  FEngine.SetTopicEnabled(9, true);
  EXPECT_EQ(enabled(), L"0011");
  FEngine.SetAllEnabled(true);
  EXPECT_EQ(enabled(), L"1111");
  EXPECT_EQ(FEngine.GetTopic(1)->GetValue(L"ENABLED"), L"-1");
}

TEST_F(FigEngineTopics, ListsAppendInListOrderWithoutClearing) {
  AddTopics({{L"a", tcBPrivacySweep},
             {L"b", tcARegFix},
             {L"c", tcBPrivacySweep},
             {L"d", tcBPrivacySweep},
             {L"e", tcBPrivacySweep}});
  const wchar_t* roots[] = {L"A", L"", L"a", L"B", L"b"};
  for (int i = 0; i < 5; ++i) {
    FEngine.GetTopic(i)->ValueList().SetValue(L"Root_Caption", roots[i]);
    FEngine.GetTopic(i)->ValueList().SetValue(L"Rule_Caption",
                                              std::wstring(L"rule ") + wchar_t(L'a' + i));
  }

  TStringList list;
  list.Add(L"kept");
  EXPECT_EQ(FEngine.GetCategoryList(tcBPrivacySweep, &list), 4);
  EXPECT_EQ(list.Text(), L"kept\r\n0\r\n2\r\n3\r\n4\r\n");
  EXPECT_EQ(FEngine.GetCategoryList(tcCJunkFile, &list), 0);

  TStringList rootList;
  rootList.Add(L"b");
  EXPECT_EQ(FEngine.GetRootList(tcBPrivacySweep, &rootList), 1);
  EXPECT_EQ(rootList.Text(), L"b\r\nA\r\n");
  TStringList fresh;
  EXPECT_EQ(FEngine.GetRootList(tcBPrivacySweep, &fresh), 2);
  EXPECT_EQ(fresh.Text(), L"A\r\nB\r\n");

  TStringList children;
  EXPECT_EQ(FEngine.GetChildList(tcBPrivacySweep, L"a", &children), 2);
  EXPECT_EQ(children.Text(), L"rule a\r\nrule c\r\n");
  EXPECT_EQ(children.Objects(0), FEngine.GetTopic(0));
  EXPECT_EQ(children.Objects(1), FEngine.GetTopic(2));
  EXPECT_EQ(FEngine.GetChildList(tcARegFix, L"A", &children), 0);

  EXPECT_EQ(FEngine.GetCategoryList(tcBPrivacySweep, nullptr), 0);
  EXPECT_EQ(FEngine.GetRootList(tcBPrivacySweep, nullptr), 0);
  EXPECT_EQ(FEngine.GetChildList(tcBPrivacySweep, L"A", nullptr), 0);
}

TEST_F(FigEngineTopics, SortByCategoryFollowsTheExchangeSteps) {
  // Worked by hand: i=4 swaps A4 and E2; i=3 swaps E2 and D1, then C3 and E2; nothing after.
  AddTopics({{L"A4", tcDSystemOptimization},
             {L"B1", tcARegFix},
             {L"C3", tcCJunkFile},
             {L"D1", tcARegFix},
             {L"E2", tcBPrivacySweep}});
  FEngine.SortByCategory();
  EXPECT_EQ(TopicNames(), (Names{L"D1", L"B1", L"E2", L"C3", L"A4"}));

  FEngine.ClearTopicList();
  AddTopics({{L"X", tcDSystemOptimization}, {L"U", tcUnknow}, {L"Y", tcARegFix}});
  FEngine.GetTopic(FEngine.AddTopic(L"Bad"))->ValueList().Add(L"Category=tcZ");
  FEngine.GetTopic(0)->ValueList().SetValue(L"Category", L"nonsense");
  FEngine.SortByCategory();
  // Invalid categories count as 127 and end last, after valid ones including tcUnknow.
  EXPECT_EQ(TopicNames(), (Names{L"U", L"Y", L"X", L"Bad"}));
}

TEST_F(FigEngineTopics, StatusIsSetByNameAndResetForAll) {
  AddTopics({{L"Fonts", tcARegFix}, {L"Cookies", tcBPrivacySweep}});
  FEngine.SetTopicStatusByName(L"COOKIES", tsCured);
  FEngine.SetTopicStatusByName(L"Unknown", tsCured);
  EXPECT_EQ(FEngine.GetTopic(0)->Status(), tsUncured);
  EXPECT_EQ(FEngine.GetTopic(1)->Status(), tsCured);
  FEngine.GetTopic(0)->SetStatus(tsCured);
  FEngine.ResetStatus();
  EXPECT_EQ(FEngine.GetTopic(0)->Status(), tsUncured);
  EXPECT_EQ(FEngine.GetTopic(1)->Status(), tsUncured);
}
