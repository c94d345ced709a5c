#include "engine/FigTopic.h"
#include "cure/FigCure.h"
#include "engine/FigRule.h"

#include "base/CLIniFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<TFigTopic> TopicOf(std::initializer_list<const wchar_t*> aLines) {
  auto topic = std::make_unique<TFigTopic>();
  for (const wchar_t* line : aLines)
    topic->ValueList().Add(line);
  return topic;
}

} // namespace

TEST(FigEnums, NamesMatchIgnoringCaseAndUnknownHoldsByte255) {
  EXPECT_EQ(GetEnumValue<TLocationStyle>(L"LSREGISTRYITEM"), 3);
  EXPECT_EQ(GetEnumValue<TTopicCategory>(L"tcdsystemoptimization"), 4);
  EXPECT_EQ(GetEnumValue<TRuleStyle>(L"rsSweepHelper"), 15);
  EXPECT_EQ(GetEnumValue<TFigReason>(L"frNeedSweep"), 21);
  EXPECT_EQ(GetEnumValue<TFigCureStatus>(L"csIgnored"), 2);
  EXPECT_EQ(GetEnumValue<TTopicStatus>(L"tsCured"), 1);

  EXPECT_EQ(GetEnumValue<TTopicCategory>(L"tcRegFix"), -1);
  EXPECT_EQ(GetEnumValue<TTopicCategory>(L""), -1);
  const TTopicCategory unknown = StrToEnum<TTopicCategory>(L" tcARegFix");
  EXPECT_EQ(static_cast<int>(unknown), 255);
  EXPECT_FALSE(IsValidEnum(unknown));
  EXPECT_EQ(GetEnumName(unknown), L"");

  EXPECT_EQ(GetEnumName(frIEStartPageIsNotBlank), L"frIEStartPageIsNotBlank");
  EXPECT_EQ(GetEnumName(rsRegistryHistory), L"rsRegistryHistory");
  EXPECT_EQ(StrToEnum<TFigReason>(GetEnumName(frNoAppOpenWithFile)), frNoAppOpenWithFile);
}

TEST(FigTopic, PropertiesReadTheirKeysIgnoringCase) {
  auto topic = TopicOf({L"NAME=Fonts", L"CATEGORY=tcarEGFIX", L"enabled=1", L"Rule=rsFonts"});
  EXPECT_EQ(topic->Name(), L"Fonts");
  EXPECT_EQ(topic->Category(), tcARegFix);
  EXPECT_TRUE(topic->Enabled());
  EXPECT_EQ(topic->GetValue(L"RULE"), L"rsFonts");
  EXPECT_EQ(topic->GetValue(L"Missing"), L"");
  EXPECT_EQ(topic->Status(), tsUncured);

  topic->SetCategory(tcCJunkFile);
  topic->SetName(L"Junk");
  EXPECT_EQ(topic->GetValue(L"Category"), L"tcCJunkFile");
  EXPECT_EQ(topic->Name(), L"Junk");
  EXPECT_EQ(topic->ValueList().Count(), 4);

  auto bad = TopicOf({L"Category=Registry"});
  EXPECT_EQ(static_cast<int>(bad->Category()), 255);
}

TEST(FigTopic, EnabledReadsNumbersAndWordsAndWritesMinusOne) {
  EXPECT_FALSE(TopicOf({L"ENABLED=yes"})->Enabled());
  EXPECT_TRUE(TopicOf({L"ENABLED=2"})->Enabled());
  EXPECT_TRUE(TopicOf({L"ENABLED=TRUE"})->Enabled());
  EXPECT_FALSE(TopicOf({L"ENABLED=0"})->Enabled());
  EXPECT_FALSE(TopicOf({})->Enabled());

  auto topic = TopicOf({L"NAME=a", L"ENABLED=yes"});
  topic->SetEnabled(true);
  EXPECT_EQ(topic->GetValue(L"ENABLED"), L"-1");
  EXPECT_TRUE(topic->Enabled());
  topic->SetEnabled(false);
  EXPECT_EQ(topic->GetValue(L"ENABLED"), L"0");
  EXPECT_FALSE(topic->Enabled());
  EXPECT_EQ(topic->ValueList().Count(), 2);
}

TEST(FigTopic, CountsStopAtTheFirstGap) {
  auto topic = TopicOf({L"LOCATION_0=lsRegistry,HKEY_CLASSES_ROOT\\CLSID",
                        L"LOCATION_2=lsDisk,@Temp", L"REGITEM_0=\"a\"=dword:00000001",
                        L"REGITEM_1=@=\"x\"", L"REGITEM_2=", L"REGITEM_3=\"b\"=\"y\""});
  EXPECT_EQ(topic->LocationsCount(), 1);
  EXPECT_EQ(topic->GetLocation(0), L"lsRegistry,HKEY_CLASSES_ROOT\\CLSID");
  EXPECT_EQ(topic->GetLocation(2), L"lsDisk,@Temp");
  EXPECT_EQ(topic->GetLocation(1), L"");
  EXPECT_EQ(topic->RegItemsCount(), 2);

  const TStringList& items = topic->RegItem();
  ASSERT_EQ(items.Count(), 2);
  EXPECT_EQ(items.Strings(0), L"\"a\"=dword:00000001");
  EXPECT_EQ(items.Strings(1), L"@=\"x\"");

  topic->ValueList().SetValue(L"REGITEM_2", L"\"c\"=\"z\"");
  EXPECT_EQ(topic->RegItem().Count(), 4);
  EXPECT_EQ(TopicOf({})->LocationsCount(), 0);
}

TEST(FigTopic, TypedLookupsFallBackToTheirDefaults) {
  auto topic = TopicOf({L"LEVEL=3", L"FolderDepth=-1", L"WORKINGPERCENT=ten", L"CHECKVALUES=0"});
  EXPECT_EQ(topic->GetInteger(L"level", 1), 3);
  EXPECT_EQ(topic->GetInteger(L"FOLDERDEPTH", 5), -1);
  EXPECT_EQ(topic->GetInteger(L"WorkingPercent", 50), 50);
  EXPECT_EQ(topic->GetInteger(L"Missing", 7), 7);
  EXPECT_FALSE(topic->GetBool(L"CHECKVALUES", true));
  EXPECT_TRUE(topic->GetBool(L"IncludeSubFolder", true));
}

TEST(FigTopic, LoadReplacesTheValuesWithTheWholeSection) {
  TIniProfile ini;
  ini.LoadFromText(L"[TOPIC_0]\r\nNAME=First\r\n[topic_1]\r\nname = ' Second '\r\n"
                   L"Custom=kept along\r\nCategory=tcBPrivacySweep\r\n");
  auto topic = TopicOf({L"Old=gone"});
  topic->Load(ini, 1);
  EXPECT_EQ(topic->ValueList().Count(), 3);
  EXPECT_EQ(topic->Name(), L" Second ");
  EXPECT_EQ(topic->GetValue(L"custom"), L"kept along");
  EXPECT_EQ(topic->GetValue(L"Old"), L"");
  EXPECT_EQ(topic->Category(), tcBPrivacySweep);

  topic->Load(ini, 5);
  EXPECT_EQ(topic->ValueList().Count(), 0);
}

TEST(FigTopic, SaveUpperCasesTrimsAndQuotesEveryValue) {
  auto topic =
      TopicOf({L"NAME=Empty keys", L"Rule_Caption=Empty key", L"LEVEL= 2 ", L"no key line"});
  TCLMemIniFile ini;
  ASSERT_TRUE(topic->Save(ini, 3));
  const std::wstring text = ini.GetText();
  EXPECT_NE(text.find(L"[TOPIC_3]"), std::wstring::npos);
  EXPECT_NE(text.find(L"Rule_Caption=\"EMPTY KEY\""), std::wstring::npos);
  EXPECT_NE(text.find(L"LEVEL=\"2\""), std::wstring::npos);
  EXPECT_EQ(text.find(L"no key line"), std::wstring::npos);
  EXPECT_EQ(ini.ReadString(L"TOPIC_3", L"NAME", L""), L"EMPTY KEYS");

  auto nameless = TopicOf({L"Rule=rsJunkFile"});
  TCLMemIniFile untouched;
  EXPECT_TRUE(nameless->Save(untouched, 0));
  EXPECT_FALSE(untouched.SectionExists(L"TOPIC_0"));

  auto broken = TopicOf({L"NAME=x", L"Rule=line\nbreak"});
  TCLMemIniFile refused;
  EXPECT_FALSE(broken->Save(refused, 0));
}

TEST(FigTopic, AssignCopiesValuesAndStatusIndependently) {
  auto source = TopicOf({L"NAME=a", L"ENABLED=1"});
  source->SetStatus(tsCured);
  TFigTopic copy;
  copy.ValueList().Add(L"Stale=1");
  copy.Assign(*source);
  EXPECT_EQ(copy.ValueList(), source->ValueList());
  EXPECT_EQ(copy.Status(), tsCured);

  source->SetEnabled(false);
  EXPECT_TRUE(copy.Enabled());
}

TEST(FigTopicList, AssignMakesDeepCopiesAndDeleteIgnoresBadIndices) {
  TFigTopicList list;
  list.Add(TopicOf({L"NAME=a"}));
  list.Add(TopicOf({L"NAME=b"}));
  list.Add(TopicOf({L"NAME=c"}));

  TFigTopicList copy;
  copy.Add(TopicOf({L"NAME=old"}));
  copy.Assign(list);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_NE(copy.Items(0), list.Items(0));
  list.Items(0)->SetName(L"changed");
  EXPECT_EQ(copy.Items(0)->Name(), L"a");

  copy.Delete(3);
  copy.Delete(-1);
  EXPECT_EQ(copy.Count(), 3);
  copy.Delete(0);
  EXPECT_EQ(copy.Items(0)->Name(), L"b");
  EXPECT_EQ(copy.Items(2), nullptr);
  EXPECT_EQ(copy.IndexOfName(L"C"), 1);
  EXPECT_EQ(copy.IndexOfName(L"a"), -1);
}
