#include "base/CLIniFiles.h"

#include "platform/FileIO.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/IniCorpus.h"

#include <gtest/gtest.h>

namespace {

TIniProfile Corpus(const std::string& aName) {
  TIniProfile profile;
  profile.LoadFromBytes(IniCorpusFile(aName).Bytes);
  return profile;
}

TIniProfile FromText(const std::string& aText) {
  TIniProfile profile;
  profile.LoadFromBytes(std::vector<uint8_t>(aText.begin(), aText.end()));
  return profile;
}

using TPairs = std::vector<std::pair<std::wstring, std::wstring>>;
using TNames = std::vector<std::wstring>;

} // namespace

TEST(IniProfile, NamesIgnoreCaseAndSurroundingBlanks) {
  const TIniProfile basic = Corpus("basic");
  EXPECT_EQ(basic.ReadString(L"sec", L"KEY", L"d"), L"Value");
  EXPECT_EQ(basic.ReadString(L"SEC", L"other", L"d"), L"Second value");
  EXPECT_EQ(basic.ReadString(L"Missing", L"Key", L"d"), L"d");
  EXPECT_EQ(basic.ReadString(L"Sec", L"Nope", L"d"), L"d");

  const TIniProfile blanks = Corpus("blanks");
  EXPECT_EQ(blanks.ReadString(L" Spaced ", L" key ", L"d"), L"value with blanks");
  EXPECT_EQ(blanks.ReadString(L"Spaced", L"Tab", L"d"), L"x");
  EXPECT_EQ(blanks.ReadString(L"Spaced", L"spaces", L"d"), L"");
  EXPECT_EQ(blanks.ReadSections(), TNames{L"Spaced"});

  const TIniProfile odd = Corpus("oddblanks");
  EXPECT_EQ(odd.ReadString(L"S", L"vt", L"d"), L"form"); // vertical tab and form feed are blanks
  EXPECT_EQ(odd.ReadString(L"S", L"nb", L"d"), L"d");    // a no-break space is not
  EXPECT_EQ(odd.ReadString(L"S", L"nb\u00A0", L"d"), L"\u00A0hard\u00A0");

  const TIniProfile equals = Corpus("equalsinvalue");
  EXPECT_EQ(equals.ReadString(L"S", L"k", L"d"), L"a=b");
  EXPECT_EQ(equals.ReadString(L"S", L"spaced key", L"d"), L"v");
  EXPECT_EQ(equals.ReadString(L"S", L"spaced  key", L"d"), L"d");
}

TEST(IniProfile, OnePairOfMatchingQuotesIsRemoved) {
  const TIniProfile q = Corpus("quotes");
  EXPECT_EQ(q.ReadString(L"Q", L"a", L"d"), L"double");
  EXPECT_EQ(q.ReadString(L"Q", L"b", L"d"), L"single");
  EXPECT_EQ(q.ReadString(L"Q", L"c", L"d"), L"\"mismatch'");
  EXPECT_EQ(q.ReadString(L"Q", L"d", L"d"), L"\"");
  EXPECT_EQ(q.ReadString(L"Q", L"e", L"d"), L"");
  EXPECT_EQ(q.ReadString(L"Q", L"f", L"d"), L" padded ");
  EXPECT_EQ(q.ReadString(L"Q", L"g", L"d"), L"one\"two");
  EXPECT_EQ(q.ReadString(L"Q", L"i", L"d"), L"\"open");
  EXPECT_EQ(q.ReadString(L"Q", L"j", L"d"), L"close\"");
  EXPECT_EQ(q.ReadString(L"Q", L"l", L"d"), L"\"inner\"");
}

TEST(IniProfile, ValuesAreCutTo2047CharactersAfterUnquoting) {
  const TIniProfile l = Corpus("long");
  EXPECT_EQ(l.ReadString(L"L", L"exact", L""), std::wstring(2047, L'a'));
  EXPECT_EQ(l.ReadString(L"L", L"over", L""), std::wstring(2047, L'a'));
  EXPECT_EQ(l.ReadString(L"L", L"long", L""), std::wstring(2000, L'b') + std::wstring(47, L'c'));
  EXPECT_EQ(l.ReadString(L"L", L"quoted", L""), std::wstring(2000, L'b') + std::wstring(47, L'c'));
  EXPECT_EQ(l.ReadString(L"L", L"shortq", L""), std::wstring(2000, L'q'));
  EXPECT_EQ(l.ReadString(L"L", L"q2047", L""), std::wstring(2047, L'a'));
  EXPECT_EQ(l.ReadString(L"L", L"q2046", L""), std::wstring(2046, L'a'));
}

TEST(IniProfile, FirstSectionAndFirstKeyOfDuplicatesWin) {
  const TIniProfile dup = Corpus("duplicates");
  EXPECT_EQ(dup.ReadString(L"a", L"K", L"d"), L"1");
  EXPECT_EQ(dup.ReadString(L"A", L"m", L"d"), L"d"); // only in the second [a], never searched
  EXPECT_EQ(dup.ReadSectionKeys(L"A"), (TNames{L"k", L"k", L"n"}));
  EXPECT_EQ(dup.ReadSectionValues(L"A"), (TPairs{{L"k", L"1"}, {L"n", L"only"}}));
  EXPECT_EQ(dup.ReadSections(), (TNames{L"A", L"B"}));
}

TEST(IniProfile, LinesWithoutEqualsAndCommentsAreNotListed) {
  const TIniProfile none = Corpus("noequals");
  EXPECT_EQ(none.ReadString(L"S", L"lonely", L"d"), L"d");
  EXPECT_FALSE(none.ValueExists(L"S", L"lonely"));
  EXPECT_EQ(none.ReadString(L"S", L"", L"d"), L"emptykey");
  EXPECT_EQ(none.ReadSectionKeys(L"S"), TNames{L"k"});
  EXPECT_EQ(none.ReadSectionLines(L"S"), (TNames{L"lonely", L"k=v", L"=emptykey", L"last"}));

  const TIniProfile comments = Corpus("comments");
  EXPECT_EQ(comments.ReadSectionKeys(L"S"), (TNames{L"k", L"#hash", L"after"}));
  EXPECT_EQ(comments.ReadString(L"S", L";comment", L"d"), L"1");
  EXPECT_EQ(comments.ReadString(L"S", L"after", L"d"), L"v;not a comment");

  const TIniProfile open = Corpus("openbracket");
  EXPECT_FALSE(open.SectionExists(L"broken"));
  EXPECT_FALSE(open.SectionExists(L"T"));
  EXPECT_EQ(open.ReadString(L"S", L"m", L"d"), L"n");
  EXPECT_EQ(open.ReadString(L"S", L"[x", L"d"), L"1");

  const TIniProfile trailing = Corpus("trailingtext");
  EXPECT_EQ(trailing.ReadString(L"S", L"k", L"d"), L"v");
  EXPECT_EQ(trailing.ReadString(L"T]", L"m", L"d"), L"n"); // the name runs to the last "]"
}

TEST(IniProfile, KeysBeforeAnySectionBelongToTheUnnamedSection) {
  const TIniProfile before = Corpus("beforesection");
  EXPECT_EQ(before.ReadString(L"", L"k0", L"d"), L"top");
  EXPECT_EQ(before.ReadString(L"S", L"k0", L"d"), L"d");
  EXPECT_TRUE(before.SectionExists(L""));
  EXPECT_EQ(before.ReadSections(), TNames{L"S"});

  const TIniProfile empty = Corpus("emptysection");
  EXPECT_TRUE(empty.SectionExists(L"Empty"));
  EXPECT_FALSE(empty.SectionExists(L""));
  EXPECT_EQ(empty.ReadString(L"", L"e", L"d"), L"d"); // "[]" is a second unnamed section
}

TEST(IniProfile, AnyLineEndAndBlankLinesSeparateLines) {
  for (const char* name : {"cronly", "lfonly", "mixedends"}) {
    const TIniProfile p = Corpus(name);
    EXPECT_EQ(p.ReadString(L"S", L"k", L"d"), L"v") << name;
    EXPECT_EQ(p.ReadString(L"S", L"m", L"d"), L"n") << name;
    EXPECT_EQ(p.ReadString(L"T", L"x", L"d"), L"y") << name;
  }
  EXPECT_EQ(Corpus("blanklines").ReadString(L"T", L"m", L"d"), L"n");
  EXPECT_EQ(Corpus("nofinalbreak").ReadString(L"S", L"last", L"d"), L"end");
  EXPECT_EQ(Corpus("ctrlz").ReadString(L"S", L"z", L"d"), L"last");
}

TEST(IniProfile, EncodingsAreDetected) {
  EXPECT_EQ(Corpus("utf8bom").ReadString(L"S", L"k", L""), L"Gr\u00FC\u00DFe");
  EXPECT_EQ(Corpus("utf16le").ReadString(L"S", L"k", L""), L"\u03A9mega");
  EXPECT_EQ(Corpus("utf16le").ReadString(L"\u0416", L"\u0436", L""), L"lower");
  EXPECT_EQ(Corpus("utf16be").ReadString(L"S", L"k", L""), L"big end");
  EXPECT_EQ(Corpus("ansi").ReadString(L"S", L"k", L""), L"caf\u00E9");
  EXPECT_EQ(Corpus("ansi").ReadString(L"S", L"euro", L""), L"\u20AC 5");
  EXPECT_EQ(FromText("[S]\nk=Gr\xC3\xBC\xC3\x9F"
                     "e\n")
                .ReadString(L"S", L"k", L""),
            L"Gr\u00FC\u00DFe");
  // One stray byte makes the whole file 8-bit text.
  EXPECT_EQ(FromText("[S]\nk=Gr\xC3\xBC\nx=\xFC\n").ReadString(L"S", L"k", L""), L"Gr\u00C3\u00BC");

  TIniEncoding encoding = TIniEncoding::Utf8;
  DecodeIniText(IniCorpusFile("utf16be").Bytes, &encoding);
  EXPECT_EQ(encoding, TIniEncoding::Utf16Be);
  DecodeIniText(IniCorpusFile("basic").Bytes, &encoding);
  EXPECT_EQ(encoding, TIniEncoding::Ansi);
  DecodeIniText(IniCorpusFile("utf8bom").Bytes, &encoding);
  EXPECT_EQ(encoding, TIniEncoding::Utf8Bom);
}

TEST(IniProfile, BooleansAndIntegersFallBackToTheDefault) {
  const TIniProfile p = FromText("[T]\nyes=yes\ntwo=2\nneg=-1\nzero=0\nt=TRUE\nf=fAlSe\nq=\"7\"\n"
                                 "hex=$1F\nbig=2147483648\nmin=-2147483648\nsign=+5\nblank=\n");
  EXPECT_FALSE(p.ReadBool(L"T", L"yes", false));
  EXPECT_TRUE(p.ReadBool(L"T", L"yes", true));
  EXPECT_TRUE(p.ReadBool(L"T", L"two", false));
  EXPECT_TRUE(p.ReadBool(L"T", L"neg", false));
  EXPECT_FALSE(p.ReadBool(L"T", L"zero", true));
  EXPECT_TRUE(p.ReadBool(L"T", L"t", false));
  EXPECT_FALSE(p.ReadBool(L"T", L"f", true));
  EXPECT_TRUE(p.ReadBool(L"T", L"missing", true));
  EXPECT_EQ(p.ReadInteger(L"T", L"q", 1), 7);
  EXPECT_EQ(p.ReadInteger(L"T", L"hex", 1), 1); // decimal only in rule files
  EXPECT_EQ(p.ReadInteger(L"T", L"big", 1), 1);
  EXPECT_EQ(p.ReadInteger(L"T", L"min", 1), INT32_MIN);
  EXPECT_EQ(p.ReadInteger(L"T", L"sign", 1), 5);
  EXPECT_EQ(p.ReadInteger(L"T", L"blank", 3), 3);
  EXPECT_EQ(p.ReadInteger(L"T", L"yes", 3), 3);
  EXPECT_EQ(ParseIniInteger(L"$FFFFFFFF", true), -1);
  EXPECT_EQ(ParseIniInteger(L"$1G", true), std::nullopt);
}

TEST(IniProfile, SectionValuesComeInFileOrderUnquoted) {
  const TIniProfile p =
      FromText("[TOPIC_0]\nNAME=First\nRule_Caption=\"EMPTY KEY\"\nLOCATION_0=lsRegistry,X\n"
               "Extra=kept\n[TOPIC_1]\nNAME=Second\n");
  EXPECT_EQ(p.ReadSectionValues(L"topic_0"), (TPairs{{L"NAME", L"First"},
                                                     {L"Rule_Caption", L"EMPTY KEY"},
                                                     {L"LOCATION_0", L"lsRegistry,X"},
                                                     {L"Extra", L"kept"}}));
  EXPECT_EQ(p.ReadSections(), (TNames{L"TOPIC_0", L"TOPIC_1"}));
  EXPECT_TRUE(p.ReadSectionValues(L"TOPIC_2").empty());
}

class IniFileTest : public testing::Test {
protected:
  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }

  kplat::fake::TFakeMachineScope FScope;
};

TEST_F(IniFileTest, ProfileLoadReportsWhyAFileCouldNotBeRead) {
  Machine().AddTextFile(L"C:\\Data\\topic.db", "[GLOBAL]\r\nMAGICWORD=FIG\r\n");
  TIniProfile profile;
  EXPECT_TRUE(profile.LoadFromFile(L"C:\\Data\\topic.db"));
  EXPECT_EQ(profile.ReadString(L"global", L"magicword", L""), L"FIG");

  EXPECT_EQ(profile.LoadFromFile(L"C:\\Data\\none.db").Status, TIniLoadStatus::Missing);
  EXPECT_FALSE(profile.SectionExists(L"GLOBAL")); // a failed load leaves nothing behind
  EXPECT_EQ(profile.LoadFromFile(L"C:\\Nowhere\\none.db").Status, TIniLoadStatus::Missing);

  Machine().FailOpenFile(L"C:\\Data\\topic.db");
  const TIniLoadResult locked = profile.LoadFromFile(L"C:\\Data\\topic.db");
  EXPECT_EQ(locked.Status, TIniLoadStatus::Unreadable);
  EXPECT_EQ(locked.Error, kplat::err::SharingViolation);

  Machine().AddFile(L"C:\\Data\\huge.db", kMaxIniFileBytes + 1);
  EXPECT_EQ(profile.LoadFromFile(L"C:\\Data\\huge.db").Status, TIniLoadStatus::TooLarge);
}

TEST_F(IniFileTest, MemFileReadsAsTheProfileButNeverCuts) {
  TCLMemIniFile ini;
  ini.SetText(L"k0=top\n[S]\nk=\"quoted\"\nk=second\nlonely\n;c=1\n[s]\nm=4\n[L]\nv=" +
              std::wstring(3000, L'x') + L"\n");
  EXPECT_EQ(ini.ReadString(L"s", L"K", L"d"), L"quoted");
  EXPECT_EQ(ini.ReadString(L"S", L"m", L"d"), L"d");
  EXPECT_EQ(ini.ReadString(L"S", L"lonely", L"d"), L"d");
  EXPECT_EQ(ini.ReadString(L"", L"k0", L"d"), L"top");
  EXPECT_EQ(ini.ReadString(L"L", L"v", L"").size(), 3000u);
  EXPECT_EQ(ini.ReadSection(L"S"), TNames{L"k"});
  EXPECT_EQ(ini.ReadSections(), (TNames{L"S", L"L"}));
  EXPECT_FALSE(ini.ValueExists(L"S", L"lonely"));
  EXPECT_TRUE(ini.ValueExists(L"S", L"K"));
  EXPECT_EQ(ini.FindString(L" s", L"K "), L"quoted");
  EXPECT_EQ(ini.FindString(L"S", L"lonely"), std::nullopt);
  EXPECT_EQ(ini.FindString(L"X", L"k"), std::nullopt);
  EXPECT_TRUE(ini.SectionExists(L"l"));
  EXPECT_FALSE(ini.SectionExists(L"X"));
}

TEST_F(IniFileTest, MemFileWritesReadBackUnchangedAndKeepOrder) {
  TCLMemIniFile ini;
  ini.SetText(L"; settings\n[setting]\nRunTimes=3\nLanguage=English\n[ShowAgain]\n12=0\n");
  const std::vector<std::wstring> values = {
      L"  padded  ", L"\"quoted\"", L"'single'", L"plain",
      L"",           L"\"",         L"a=b",      L"\u0416\u00E9 \U0001F600"};
  for (size_t i = 0; i < values.size(); ++i) {
    ASSERT_TRUE(ini.WriteString(L"setting", L"Value" + std::to_wstring(i), values[i]));
  }
  ASSERT_TRUE(ini.WriteInteger(L"SETTING", L"runtimes", 4));
  ASSERT_TRUE(ini.WriteBool(L"New", L"Flag", true));

  TCLMemIniFile again;
  again.SetText(ini.GetText());
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(again.ReadString(L"setting", L"Value" + std::to_wstring(i), L"d"), values[i]);
  }
  EXPECT_EQ(again.ReadInteger(L"setting", L"RunTimes", 0), 4);
  EXPECT_TRUE(again.ReadBool(L"new", L"flag", false));
  EXPECT_EQ(again.ReadSections(), (TNames{L"setting", L"ShowAgain", L"New"}));
  EXPECT_EQ(again.ReadSection(L"setting").front(), L"RunTimes"); // replaced where it stood
  EXPECT_EQ(again.GetStrings().front(), L"; settings");          // the comment survives
  EXPECT_EQ(again.GetText(), ini.GetText());
}

TEST_F(IniFileTest, MemFileRefusesNamesAndValuesThatWouldBreakTheFile) {
  TCLMemIniFile ini;
  ini.SetText(L"[S]\nk=v\n");
  const std::wstring before = ini.GetText();
  EXPECT_FALSE(ini.WriteString(L"S", L"k", L"line\r\n[Injected]"));
  EXPECT_FALSE(ini.WriteString(L"S", L"a=b", L"v"));
  EXPECT_FALSE(ini.WriteString(L"S", L"", L"v"));
  EXPECT_FALSE(ini.WriteString(L"S", L";c", L"v"));
  EXPECT_FALSE(ini.WriteString(L"S", L"[x", L"v"));
  EXPECT_FALSE(ini.WriteString(L"S]x", L"k", L"v"));
  EXPECT_FALSE(ini.WriteString(L"S\nT", L"k", L"v"));
  EXPECT_EQ(ini.GetText(), before);
}

TEST_F(IniFileTest, MemFileQuotedWritesAndHexIntegers) {
  TCLMemIniFile ini;
  ASSERT_TRUE(ini.WriteQuotedString(L"TOPIC_0", L"Rule_Caption", L"EMPTY KEY"));
  ASSERT_TRUE(ini.WriteString(L"setting", L"Mask", L"$FF"));
  EXPECT_EQ(ini.GetText(), L"[TOPIC_0]\r\nRule_Caption=\"EMPTY KEY\"\r\n\r\n[setting]\r\n"
                           L"Mask=$FF\r\n");
  EXPECT_EQ(ini.ReadString(L"TOPIC_0", L"Rule_Caption", L""), L"EMPTY KEY");
  EXPECT_EQ(ini.ReadInteger(L"setting", L"Mask", 0), 255);
}

TEST_F(IniFileTest, MemFileEraseSectionAndDeleteKeyRemoveEveryCopy) {
  TCLMemIniFile ini;
  ini.SetText(L"[A]\nk=1\nK=2\nn=3\n[B]\nx=1\n[a]\nm=4\n");
  ini.DeleteKey(L"a", L"k");
  EXPECT_EQ(ini.ReadSection(L"A"), TNames{L"n"});
  ini.EraseSection(L"A");
  EXPECT_FALSE(ini.SectionExists(L"A"));
  EXPECT_EQ(ini.GetText(), L"[B]\r\nx=1\r\n");
  ini.EraseSection(L"missing");
  ini.Clear();
  EXPECT_TRUE(ini.ReadSections().empty());
  EXPECT_EQ(ini.GetText(), L"");
}

TEST_F(IniFileTest, MemFileLoadsEveryEncodingAndWritesUtf16) {
  Machine().AddTextFile(L"C:\\Data\\u8.lan", "\xEF\xBB\xBF[Info]\r\nLanguage=Deutsch \xC3\xBC\r\n");
  Machine().AddFileContent(L"C:\\Data\\u16.lan", IniCorpusFile("utf16le").Bytes);
  Machine().AddFileContent(L"C:\\Data\\ansi.lan", IniCorpusFile("ansi").Bytes);

  TCLMemIniFile ini(L"C:\\Data\\u8.lan");
  ASSERT_TRUE(ini.Load());
  EXPECT_EQ(ini.LoadedEncoding(), TIniEncoding::Utf8Bom);
  EXPECT_EQ(ini.ReadString(L"info", L"language", L""), L"Deutsch \u00FC");
  ASSERT_TRUE(ini.Load(L"C:\\Data\\u16.lan"));
  EXPECT_EQ(ini.ReadString(L"S", L"k", L""), L"\u03A9mega");
  ASSERT_TRUE(ini.Load(L"C:\\Data\\ansi.lan"));
  EXPECT_EQ(ini.LoadedEncoding(), TIniEncoding::Ansi);
  EXPECT_EQ(ini.ReadString(L"S", L"euro", L""), L"\u20AC 5");

  ASSERT_TRUE(ini.WriteString(L"S", L"new", L"\u0416"));
  ASSERT_EQ(ini.UpdateFile(), kplat::err::Success);
  const auto bytes = Machine().FileContent(L"C:\\Data\\ansi.lan");
  ASSERT_TRUE(bytes.has_value());
  ASSERT_GE(bytes->size(), 2u);
  EXPECT_EQ((*bytes)[0], 0xFF);
  EXPECT_EQ((*bytes)[1], 0xFE);
  TCLMemIniFile reread(L"C:\\Data\\ansi.lan");
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.ReadString(L"S", L"new", L""), L"\u0416");
  EXPECT_EQ(reread.ReadString(L"S", L"k", L""), L"caf\u00E9");
}

TEST_F(IniFileTest, MemFileLoadOfAMissingFileStartsEmpty) {
  TCLMemIniFile ini;
  ini.SetText(L"[Old]\nk=v\n");
  const TIniLoadResult result = ini.Load(L"C:\\Data\\setting.dat");
  EXPECT_EQ(result.Status, TIniLoadStatus::Missing);
  EXPECT_FALSE(ini.SectionExists(L"Old"));
  ASSERT_TRUE(ini.WriteString(L"setting", L"RunTimes", L"1"));
  kplat::ForceFolders(L"C:\\Data");
  ASSERT_EQ(ini.UpdateFile(), kplat::err::Success);
  EXPECT_TRUE(Machine().HasFile(L"C:\\Data\\setting.dat"));
  EXPECT_EQ(TCLMemIniFile().UpdateFile(), kplat::err::InvalidName);
}

TEST_F(IniFileTest, FailedWriteReportsAndKeepsTheOldFile) {
  const std::string old = "[setting]\r\nRunTimes=7\r\n";
  Machine().AddTextFile(L"C:\\Data\\setting.dat", old);
  TCLMemIniFile ini(L"C:\\Data\\setting.dat");
  ASSERT_TRUE(ini.Load());
  ASSERT_TRUE(ini.WriteString(L"setting", L"Big", std::wstring(5000, L'z')));

  Machine().SetDiskFull(true);
  EXPECT_EQ(ini.UpdateFile(), kplat::err::DiskFull);
  Machine().SetDiskFull(false);
  EXPECT_EQ(Machine().FileContent(L"C:\\Data\\setting.dat"),
            std::vector<uint8_t>(old.begin(), old.end()));

  Machine().SetDiskSpace(100); // fills up part way through the new file
  EXPECT_NE(ini.UpdateFile(), kplat::err::Success);
  EXPECT_EQ(Machine().FileContent(L"C:\\Data\\setting.dat"),
            std::vector<uint8_t>(old.begin(), old.end()));
  EXPECT_EQ(Machine().ListFolder(L"C:\\Data"), TNames{L"setting.dat"}); // no leftovers

  Machine().SetDiskSpace(std::nullopt);
  EXPECT_EQ(ini.UpdateFile(), kplat::err::Success);
  TCLMemIniFile reread(L"C:\\Data\\setting.dat");
  ASSERT_TRUE(reread.Load());
  EXPECT_EQ(reread.ReadInteger(L"setting", L"RunTimes", 0), 7);
  EXPECT_EQ(reread.ReadString(L"setting", L"Big", L"").size(), 5000u);
}
