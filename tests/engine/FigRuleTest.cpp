// The rule processor: how a rule is read, the steps the checks share, and the rules that judge a
// place by its text alone.

#include "engine/FigRule.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TVerdict {
  bool Found = false;
  TFigResultItem Result;
};

TVerdict Judge(const std::wstring& aRule, const std::wstring& aPath, const std::wstring& aSection,
               const std::wstring& aName, TTopicStatus aStatus = tsUncured) {
  TFigRuleProcessor processor(aRule, L"caption", lsRegistry, L"HKEY_CURRENT_USER", aPath, aSection,
                              aName, TStringList(), aStatus, L"");
  TVerdict verdict;
  verdict.Result.MatchFlag = true;
  verdict.Found = processor.DoSearch(verdict.Result);
  return verdict;
}

class FigRuleTest : public ::testing::Test {
protected:
  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }

  kplat::fake::TFakeMachineScope FScope;
};

} // namespace

TEST_F(FigRuleTest, RuleSplitsAtEveryCommaAndNamesItsStyleIgnoringCase) {
  TStringList items;
  items.Add(L"\"a\"=\"1\"");
  const TFigRuleProcessor processor(L"RSJUNKFILE,.tmp, ", L"Junk", lsDisk, L"C:\\T\\", L"C:\\T\\",
                                    L"@Temp", L"x.tmp", items, tsUncured, L"a.tmp");
  EXPECT_EQ(processor.RuleStyle(), rsJunkFile);
  ASSERT_EQ(processor.RuleParams().Count(), 3);
  EXPECT_EQ(processor.RuleParams().Strings(0), L"RSJUNKFILE");
  EXPECT_EQ(processor.RuleParams().Strings(2), L" ");
  EXPECT_EQ(processor.RuleString(), L"RSJUNKFILE,.tmp, ");
  EXPECT_EQ(processor.RuleCaption(), L"Junk");
  EXPECT_EQ(processor.LocationStyle(), lsDisk);
  EXPECT_EQ(processor.Section(), L"@Temp");
  EXPECT_EQ(processor.Name(), L"x.tmp");

  for (const wchar_t* rule : {L"", L"rsNoSuchRule", L" rsRegistryHistory"}) {
    const TFigRuleProcessor invalid(rule, L"", lsRegistry, L"", L"", L"", L"", items, tsUncured,
                                    L"");
    EXPECT_FALSE(IsValidEnum(invalid.RuleStyle())) << rule;
    TFigResultItem result;
    EXPECT_FALSE(invalid.DoSearch(result)) << rule;
  }
}

TEST_F(FigRuleTest, CuredTopicFindsNothingForAnyStyle) {
  Machine().AddFile(L"C:\\Temp\\a.tmp");
  for (const auto& name : TFigEnumNames<TRuleStyle>::Names) {
    const std::wstring rule = std::wstring(name) + L",.*";
    const TFigRuleProcessor processor(rule, L"", lsDisk, L"C:\\Temp\\", L"C:\\Temp\\", L"@Empty",
                                      L"@Empty", TStringList(), tsCured, L"");
    TFigResultItem result;
    result.MatchFlag = true;
    EXPECT_FALSE(processor.DoSearch(result)) << rule;
    EXPECT_FALSE(result.MatchFlag) << rule;
  }
}

TEST_F(FigRuleTest, ExpandFirstEnvVarKeepsOnlyTheFirstVariableAndWhatFollowsIt) {
  Machine().SetEnvVar(L"A", L"C:\\Alpha");
  Machine().SetEnvVar(L"B", L"C:\\Beta");
  EXPECT_EQ(ExpandFirstEnvVar(L"%A%\\x\\%B%\\y"), L"C:\\Alpha\\x\\");
  EXPECT_EQ(ExpandFirstEnvVar(L"%SystemRoot%\\system32\\x.dll"), L"C:\\Windows\\system32\\x.dll");
  EXPECT_EQ(ExpandFirstEnvVar(L"pre%a%post"), L"C:\\Alphapost");
  EXPECT_EQ(ExpandFirstEnvVar(L"%NOT_SET%\\x"), L"\\x");
  EXPECT_EQ(ExpandFirstEnvVar(L"100% sure"), L"100% sure");
  EXPECT_EQ(ExpandFirstEnvVar(L""), L"");
}

TEST_F(FigRuleTest, ResolveCommandFileReadsTheProgramOfCommandLines) {
  Machine().AddFile(L"C:\\Program Files\\Tool\\run.exe");
  Machine().AddFile(L"C:\\Program Files\\Tool\\Lib Dir\\tool.dll");
  std::wstring tested;

  EXPECT_TRUE(ResolveCommandFile(L"\"C:\\Program Files\\Tool\\run.exe\" -start", tested));
  EXPECT_EQ(tested, L"C:\\PROGRAM FILES\\TOOL\\RUN.EXE");

  EXPECT_TRUE(ResolveCommandFile(
      L"rundll32.exe \"C:\\Program Files\\Tool\\Lib Dir\\tool.dll\",Entry param", tested));
  EXPECT_EQ(tested, L"C:\\PROGRAM FILES\\TOOL\\LIB DIR\\TOOL.DLL");

  Machine().AddFile(L"C:\\Windows\\system32\\x.dll");
  EXPECT_TRUE(ResolveCommandFile(L"%SystemRoot%\\system32\\x.dll", tested));

  EXPECT_FALSE(ResolveCommandFile(L"C:\\Gone\\app.exe /quiet", tested));
  EXPECT_EQ(tested, L"C:\\GONE\\APP.EXE");
  EXPECT_FALSE(ResolveCommandFile(L"%SystemRoot%\\gone.exe", tested));
  EXPECT_EQ(tested, L"C:\\Windows\\GONE.EXE");
  EXPECT_FALSE(ResolveCommandFile(L"", tested));
  EXPECT_EQ(tested, L"");
}

TEST_F(FigRuleTest, ResolveCommandFileFindsProgramsTheCutAloneWouldMiss) {
  Machine().AddFile(L"C:\\Program Files\\My App\\My App.exe");
  Machine().AddFile(L"C:\\Tools\\run.exe");
  Machine().AddFile(L"C:\\Libs\\helper.dll");
  Machine().AddFile(L"C:\\Windows\\System32\\shell32.dll");
  std::wstring tested;

  // Blanks in an unquoted path.
  EXPECT_TRUE(ResolveCommandFile(L"C:\\Program Files\\My App\\My App.exe", tested));
  EXPECT_EQ(tested, L"C:\\PROGRAM FILES\\MY APP\\MY APP.EXE");
  EXPECT_TRUE(ResolveCommandFile(L"C:\\Program Files\\My App\\My App.exe -tray", tested));
  // Backslashes in the arguments.
  EXPECT_TRUE(ResolveCommandFile(L"\"C:\\Tools\\run.exe\" /log C:\\Logs\\run.log", tested));
  EXPECT_EQ(tested, L"C:\\TOOLS\\RUN.EXE");
  EXPECT_TRUE(ResolveCommandFile(L"C:\\Tools\\run.exe /log C:\\Logs\\run.log", tested));
  // The system's rundll32 named with its folder, and a bare library name.
  EXPECT_TRUE(
      ResolveCommandFile(L"C:\\Windows\\System32\\rundll32.exe C:\\Libs\\helper.dll,Go", tested));
  EXPECT_EQ(tested, L"C:\\LIBS\\HELPER.DLL");
  EXPECT_TRUE(ResolveCommandFile(L"rundll32.exe shell32.dll,Control_RunDLL", tested));
  EXPECT_EQ(tested, L"C:\\WINDOWS\\SYSTEM32\\SHELL32.DLL");
}

TEST_F(FigRuleTest, SourceFolderExistsTestsTheFolderPart) {
  Machine().AddFolder(L"C:\\Setup Files");
  EXPECT_TRUE(SourceFolderExists(L"\"C:\\Setup Files\\\""));
  EXPECT_TRUE(SourceFolderExists(L"C:\\Setup Files\\setup.exe"));
  EXPECT_FALSE(SourceFolderExists(L"C:\\Gone\\setup.exe"));
  EXPECT_FALSE(SourceFolderExists(L"setup.exe"));
  EXPECT_FALSE(SourceFolderExists(L""));
}

TEST(JoinCheckedPath, NetworkBaseJoinsWithBackslash) {
  EXPECT_EQ(JoinCheckedPath(L"\\\\server\\share", L"help\\a.hlp"),
            L"\\\\server\\share\\help\\a.hlp");
  EXPECT_EQ(JoinCheckedPath(L"\\\\server\\share\\", L"\\a.lnk"), L"\\\\server\\share\\a.lnk");
  EXPECT_EQ(JoinCheckedPath(L"\\\\server\\share", L"C:\\x.hlp"), L"C:\\x.hlp");
  EXPECT_EQ(JoinCheckedPath(L"C:\\Windows\\Fonts", L"\\\\server\\f\\a.ttf"),
            L"\\\\server\\f\\a.ttf");
  EXPECT_EQ(JoinCheckedPath(L"C:\\Windows\\Fonts", L"arial.ttf"), L"C:\\Windows\\Fonts\\arial.ttf");
  EXPECT_EQ(JoinCheckedPath(L"SOFTWARE\\Key", L"OpenWithProgids"), L"OpenWithProgids");
}

TEST_F(FigRuleTest, HistoryNMRUMatchesTheTwoHistoryKeysCaseSensitively) {
  const std::wstring explorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  const TVerdict dialog = Judge(L"rsHistoryNMRU", explorer + L"ComDlg32\\OpenSaveMRU", L"a", L"b");
  EXPECT_TRUE(dialog.Found);
  EXPECT_EQ(dialog.Result.Reason, frHistoryNMRU);
  EXPECT_EQ(dialog.Result.Msg, L"History");
  EXPECT_FALSE(dialog.Result.MatchFlag);
  EXPECT_TRUE(Judge(L"rsHistoryNMRU", explorer + L"UserAssist\\{GUID}\\Count", L"", L"").Found);
  EXPECT_FALSE(Judge(L"rsHistoryNMRU", kplat::UpperCase(explorer) + L"COMDLG32", L"a", L"b").Found);
  EXPECT_FALSE(Judge(L"rsHistoryNMRU", explorer + L"RecentDocs", L"a", L"b").Found);
}

TEST_F(FigRuleTest, EmptyKeyNeedsTheEmptyMarkOutsideMicrosoftKeys) {
  const TVerdict found = Judge(L"rsEmptyKey", L"Software\\Vendor\\Old", L"", L"@empty");
  EXPECT_TRUE(found.Found);
  EXPECT_EQ(found.Result.Reason, frEmptyKey);
  EXPECT_EQ(found.Result.Msg, L"Empty key");
  EXPECT_FALSE(Judge(L"rsEmptyKey", L"Software\\Microsoft\\Old", L"", L"@Empty").Found);
  EXPECT_TRUE(Judge(L"rsEmptyKey", L"SOFTWARE\\MICROSOFT\\Old", L"", L"@Empty").Found);
  EXPECT_FALSE(Judge(L"rsEmptyKey", L"Software\\Vendor\\Old", L"", L"").Found);
}

TEST_F(FigRuleTest, RegistryHistoryAndSweepHelperAlwaysMatchWithTheStyleNameAsText) {
  const TVerdict history = Judge(L"rsRegistryHistory,x", L"Any", L"", L"");
  EXPECT_TRUE(history.Found);
  EXPECT_EQ(history.Result.Reason, frRegistryHistory);
  EXPECT_EQ(history.Result.Msg, L"rsRegistryHistory");
  const TVerdict sweep = Judge(L"RSSWEEPHELPER", L"C:\\K\\sweephelper.exe", L"", L"");
  EXPECT_TRUE(sweep.Found);
  EXPECT_EQ(sweep.Result.Reason, frNeedSweep);
  EXPECT_EQ(sweep.Result.Msg, L"RSSWEEPHELPER");
  EXPECT_FALSE(sweep.Result.MatchFlag);
}
