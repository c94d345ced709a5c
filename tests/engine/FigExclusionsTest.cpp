// The user's exclusions: which texts are places, what each covers, and the file that keeps them.

#include "engine/FigExclusions.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kFile = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\Exclusions.txt";

std::vector<uint8_t> Bytes(std::string_view aText) {
  return {aText.begin(), aText.end()};
}

TFigScanedItem RegistryFinding(const std::wstring& aKey, const std::wstring* aValue) {
  TFigScanedItem item;
  item.LocationStyle = lsRegistry;
  item.ScanedRoot = L"HKEY_CURRENT_USER";
  item.ScanedPath = aKey;
  item.ValueCheck = aValue != nullptr;
  item.ScanedSection = aValue != nullptr ? *aValue : L"";
  return item;
}

TFigScanedItem DiskFinding(const std::wstring& aFolder, const std::wstring& aName) {
  TFigScanedItem item;
  item.LocationStyle = lsDisk;
  item.ScanedRoot = aFolder;
  item.ScanedPath = aFolder;
  item.ScanedName = aName;
  return item;
}

bool Covers(const std::wstring& aPlace, const TFigScanedItem& aItem) {
  TFigExclusions list;
  EXPECT_EQ(list.Add(aPlace), eeNone) << kplat::ToUtf8(aPlace);
  return TFigExclusionMatcher(list.Items()).Covers(aItem);
}

} // namespace

TEST(FigExclusions, EachFormIsReadAndAnythingElseRefusedWithItsReason) {
  struct TCase {
    std::wstring Text;
    TFigExclusionError Error;
    TFigExclusionKind Kind;
    std::wstring Place;
  };
  const std::vector<TCase> cases = {
      {L"HKEY_CURRENT_USER\\Software\\Example", eeNone, ekKey,
       L"HKEY_CURRENT_USER\\Software\\Example"},
      {L"  hkey_local_machine\\Software\\Example\\ ", eeNone, ekKey,
       L"hkey_local_machine\\Software\\Example"},
      {L"HKEY_CLASSES_ROOT\\*\\shellex", eeNone, ekKey, L"HKEY_CLASSES_ROOT\\*\\shellex"},
      {L"HKEY_CURRENT_USER\\Software\\Example \\", eeNone, ekKey,
       L"HKEY_CURRENT_USER\\Software\\Example"},
      {L"HKEY_CURRENT_USER\\Software\\Example \\|Last File", eeNone, ekValue,
       L"HKEY_CURRENT_USER\\Software\\Example |Last File"},
      {L"HKEY_CURRENT_USER\\Software\\Example|Last File", eeNone, ekValue,
       L"HKEY_CURRENT_USER\\Software\\Example|Last File"},
      {L"HKEY_CURRENT_USER\\Software\\Example|@", eeNone, ekValue,
       L"HKEY_CURRENT_USER\\Software\\Example|@"},
      {L"C:\\Some\\Folder\\", eeNone, ekPath, L"C:\\Some\\Folder"},
      {L"C:\\Some\\Folder \\", eeNone, ekPath, L"C:\\Some\\Folder"},
      {L"C:\\Some\\File.txt", eeNone, ekPath, L"C:\\Some\\File.txt"},
      {L"D:\\", eeNone, ekPath, L"D:\\"},
      {L"\\\\server\\share\\Logs", eeNone, ekPath, L"\\\\server\\share\\Logs"},
      {L"\\\\server\\share \\", eeNone, ekPath, L"\\\\server\\share"},
      {L"\\\\server\\ \\", eeNotFullPath, ekPath, L""},
      {L"%LocalAppData%\\Google", eeNone, ekPath, L"%LocalAppData%\\Google"},
      {L"C:\\Some\\Folder\\*.log", eeNone, ekMask, L"C:\\Some\\Folder\\*.log"},
      {L"C:\\Some\\Folder\\report-??.txt", eeNone, ekMask, L"C:\\Some\\Folder\\report-??.txt"},
      {L"   ", eeEmpty, ekPath, L""},
      {L"HKCU\\Software\\Example", eeRegistryRoot, ekPath, L""},
      {L"HKEY_NOWHERE\\Software", eeRegistryRoot, ekPath, L""},
      {L"HKEY_CURRENT_USER\\Software\\Example|", eeValueName, ekPath, L""},
      {L"HKEY_CURRENT_USER\\Software\\\\Example", eeBadPart, ekPath, L""},
      {L"Some\\Folder", eeNotFullPath, ekPath, L""},
      {L"C:Folder", eeNotFullPath, ekPath, L""},
      {L"\\\\server", eeNotFullPath, ekPath, L""},
      {L"%%\\Folder", eeNotFullPath, ekPath, L""},
      {L"C:\\Some\\..\\Windows", eeBadPart, ekPath, L""},
      {L"C:\\Some\\\\Folder", eeBadPart, ekPath, L""},
      {L"C:\\Some\\*\\Cache", eeWildcardPart, ekPath, L""},
      {L"C:\\Some|Folder", eeBadCharacter, ekPath, L""},
      {L"C:\\Some\nC:\\Windows", eeBadCharacter, ekPath, L""},
  };
  for (const TCase& test : cases) {
    TFigExclusion exclusion;
    EXPECT_EQ(ParseExclusion(test.Text, exclusion), test.Error) << kplat::ToUtf8(test.Text);
    if (test.Error == eeNone) {
      EXPECT_EQ(exclusion, (TFigExclusion{test.Kind, test.Place})) << kplat::ToUtf8(test.Text);
    }
  }
}

TEST(FigExclusions, APlaceCoversWhatLiesBelowItOnWholePartsWithoutRegardToCase) {
  kplat::fake::TFakeMachineScope scope;
  const std::wstring history = L"History";
  const std::wstring other = L"Other";
  const std::wstring standard;
  struct TCase {
    std::wstring Place;
    TFigScanedItem Finding;
    bool Covered;
  };
  const std::vector<TCase> cases = {
      {L"HKEY_CURRENT_USER\\Software\\Example", RegistryFinding(L"software\\example", nullptr),
       true},
      {L"HKEY_CURRENT_USER\\Software\\Example", RegistryFinding(L"Software\\Example\\Sub", &other),
       true},
      {L"HKEY_CURRENT_USER\\Software\\Example", RegistryFinding(L"Software\\Examples", nullptr),
       false},
      // Removing a key removes everything below it.
      {L"HKEY_CURRENT_USER\\Software\\Example\\Sub", RegistryFinding(L"Software\\Example", nullptr),
       true},
      {L"HKEY_CURRENT_USER\\Software\\Example\\Sub", RegistryFinding(L"Software\\Example", &other),
       false},
      {L"HKEY_CURRENT_USER\\Software\\Example|History",
       RegistryFinding(L"Software\\Example", &history), true},
      {L"HKEY_CURRENT_USER\\Software\\Example|History",
       RegistryFinding(L"Software\\Example", &other), false},
      {L"HKEY_CURRENT_USER\\Software\\Example|History",
       RegistryFinding(L"Software\\Example\\Sub", &history), false},
      {L"HKEY_CURRENT_USER\\Software\\Example|History",
       RegistryFinding(L"Software\\Example", nullptr), true},
      {L"HKEY_CURRENT_USER\\Software\\Example|@", RegistryFinding(L"Software\\Example", &standard),
       true},
      {L"HKEY_CURRENT_USER\\Software\\Example|@", RegistryFinding(L"Software\\Example", &history),
       false},
      {L"HKEY_LOCAL_MACHINE\\Software\\Example", RegistryFinding(L"Software\\Example", nullptr),
       false},
      {L"C:\\Foo", DiskFinding(L"C:\\Foo", L"a.tmp"), true},
      {L"c:\\foo", DiskFinding(L"C:\\Foo\\Deep", L"a.tmp"), true},
      {L"C:\\Foo", DiskFinding(L"C:\\", L"Foo"), true},
      {L"C:\\Foo", DiskFinding(L"C:\\Foobar", L"a.tmp"), false},
      {L"C:\\Foo\\a.tmp", DiskFinding(L"C:\\Foo", L"a.tmp"), true},
      {L"C:\\Foo\\a.tmp", DiskFinding(L"C:\\Foo", L"a.tmp2"), false},
      {L"C:\\", DiskFinding(L"C:\\Foo", L"a.tmp"), true},
      {L"C:\\Foo\\*.log", DiskFinding(L"C:\\Foo", L"Setup.LOG"), true},
      {L"C:\\Foo\\*.log", DiskFinding(L"C:\\Foo", L"Setup.tmp"), false},
      {L"C:\\Foo\\*.log", DiskFinding(L"C:\\Foo\\Sub", L"Setup.log"), false},
      {L"C:\\Foo\\*.log", DiskFinding(L"C:\\Foo\\old.log", L"part"), true},
      {L"C:\\Foo\\f?.tmp", DiskFinding(L"C:\\Foo", L"f1.tmp"), true},
      {L"C:\\Foo\\f?.tmp", DiskFinding(L"C:\\Foo", L"f12.tmp"), false},
  };
  for (const TCase& test : cases) {
    EXPECT_EQ(Covers(test.Place, test.Finding), test.Covered)
        << kplat::ToUtf8(test.Place) << " / " << kplat::ToUtf8(test.Finding.ScanedPath) << " "
        << kplat::ToUtf8(test.Finding.ScanedName) << kplat::ToUtf8(test.Finding.ScanedSection);
  }
}

TEST(FigExclusions, AFindingNamesItsOwnPlaceAndTheKeyOrFolderThatHoldsIt) {
  kplat::fake::TFakeMachineScope scope;
  const std::wstring history = L"History";
  TFigScanedItem item = RegistryFinding(L"Software\\Example", &history);
  EXPECT_EQ(ExclusionPlaceOf(item, false), L"HKEY_CURRENT_USER\\Software\\Example|History");
  EXPECT_EQ(ExclusionPlaceOf(item, true), L"HKEY_CURRENT_USER\\Software\\Example");
  item.ScanedSection.clear();
  EXPECT_EQ(ExclusionPlaceOf(item, false), L"HKEY_CURRENT_USER\\Software\\Example|@");
  item = RegistryFinding(L"Software\\Example", nullptr);
  EXPECT_EQ(ExclusionPlaceOf(item, false), L"HKEY_CURRENT_USER\\Software\\Example");
  item = DiskFinding(L"C:\\Temp\\", L"a.tmp");
  EXPECT_EQ(ExclusionPlaceOf(item, false), L"C:\\Temp\\a.tmp");
  EXPECT_EQ(ExclusionPlaceOf(item, true), L"C:\\Temp");
  item.RuleStyle = rsSweepHelper;
  EXPECT_EQ(ExclusionPlaceOf(item, false), L"");
  // Each is a place the list takes, and covers the finding it was made from.
  for (const TFigScanedItem& finding :
       {RegistryFinding(L"Software\\Example", &history), DiskFinding(L"C:\\Temp\\", L"a.tmp")}) {
    for (const bool container : {false, true}) {
      EXPECT_TRUE(Covers(ExclusionPlaceOf(finding, container), finding));
    }
  }
}

TEST(FigExclusions, VariablesAreExpandedWhenTheListIsUsedAndAnUnsetOneExcludesNothing) {
  kplat::fake::TFakeMachineScope scope;
  scope.Machine().SetEnvVar(L"KestrovaKeep", L"D:\\Keep");
  TFigExclusions list;
  ASSERT_EQ(list.Add(L"%KestrovaKeep%\\Logs"), eeNone);
  ASSERT_EQ(list.Add(L"%KestrovaUnset%\\Temp"), eeNone);
  ASSERT_EQ(list.Add(L"%KestrovaKeep%\\*.bak"), eeNone);
  EXPECT_EQ(list.Items()[0].Place, L"%KestrovaKeep%\\Logs");
  const TFigExclusionMatcher matcher(list.Items());
  EXPECT_TRUE(matcher.CoversPath(L"D:\\Keep\\Logs\\a.log"));
  EXPECT_TRUE(matcher.CoversPath(L"D:\\Keep\\old.bak"));
  EXPECT_FALSE(matcher.CoversPath(L"D:\\Keep\\old.tmp"));
  // Never read as a folder below the current one.
  EXPECT_FALSE(matcher.CoversPath(L"C:\\Temp\\a.tmp"));
  EXPECT_FALSE(matcher.CoversPath(L"C:\\Users\\User\\Temp\\a.tmp"));
}

TEST(FigExclusions, APlaceWrittenThroughALinkCoversWhereItReallyIs) {
  kplat::fake::TFakeMachineScope scope;
  scope.Machine().AddFile(L"D:\\Data\\Keep\\a.tmp");
  scope.Machine().AddFile(L"D:\\Data\\b.log");
  scope.Machine().AddFile(L"D:\\Data\\c.tmp");
  scope.Machine().AddFolderLink(L"C:\\Work\\Linked", L"D:\\Data");
  TFigExclusions list;
  ASSERT_EQ(list.Add(L"C:\\Work\\Linked\\Keep"), eeNone);
  ASSERT_EQ(list.Add(L"C:\\Work\\Linked\\*.log"), eeNone);
  ASSERT_EQ(list.Add(L"C:\\Work\\Linked\\c.tmp"), eeNone);
  ASSERT_EQ(list.Add(L"C:\\Work\\Linked\\Gone"), eeNone);
  const TFigExclusionMatcher matcher(list.Items());
  EXPECT_TRUE(matcher.CoversPath(L"C:\\Work\\Linked\\Keep\\a.tmp"));
  EXPECT_TRUE(matcher.CoversPath(L"D:\\Data\\Keep\\a.tmp"));
  EXPECT_TRUE(matcher.CoversPath(L"d:\\data\\B.LOG"));
  EXPECT_TRUE(matcher.CoversPath(L"D:\\Data\\c.tmp"));
  EXPECT_FALSE(matcher.CoversPath(L"D:\\Data\\d.tmp"));
  // What does not exist is taken as written.
  EXPECT_TRUE(matcher.CoversPath(L"C:\\Work\\Linked\\Gone\\e.tmp"));
  EXPECT_FALSE(matcher.CoversPath(L"D:\\Data\\Gone\\e.tmp"));
}

TEST(FigExclusions, TheListIsKeptInAFileThatADamageNeverEmpties) {
  kplat::fake::TFakeMachineScope scope;
  kplat::fake::TFakeMachine& machine = scope.Machine();
  machine.AddFolder(L"C:\\Users\\User\\AppData\\Roaming\\Kestrova");
  TFigExclusions list;
  EXPECT_TRUE(list.Load(kFile)); // no file yet: an empty list
  EXPECT_EQ(list.Count(), 0);
  ASSERT_EQ(list.Add(L"C:\\Fotos\\Ärger"), eeNone);
  ASSERT_EQ(list.Add(L"HKEY_CURRENT_USER\\Software\\Example|@"), eeNone);
  ASSERT_EQ(list.Add(L"c:\\FOTOS\\Ärger"), eeNone); // already listed
  ASSERT_EQ(list.Save(kFile), kplat::err::Success);
  EXPECT_EQ(machine.FileContent(kFile),
            Bytes("\xEF\xBB\xBF"
                  "C:\\Fotos\\\xC3\x84rger\r\nHKEY_CURRENT_USER\\Software\\Example|@\r\n"));
  TFigExclusions again;
  EXPECT_TRUE(again.Load(kFile));
  EXPECT_EQ(again.Items(), list.Items());

  std::vector<uint8_t> utf16{0xFF, 0xFE};
  const std::vector<uint8_t> text = kplat::EncodeUtf16Le(L"C:\\A\r\n\r\nC:\\B\\*.log\n");
  utf16.insert(utf16.end(), text.begin(), text.end());
  machine.AddFileContent(kFile, utf16);
  EXPECT_TRUE(again.Load(kFile));
  EXPECT_EQ(again.Count(), 2);

  struct TDamage {
    std::vector<uint8_t> Content;
    int Line;
    size_t Readable;
  };
  const std::vector<TDamage> damages = {
      {Bytes("C:\\A\r\nnot a place\r\nC:\\B\r\n"), 2, 2},
      {Bytes("C:\\A\r\nC:\\\xFF\xFE\r\n"), 0, 0},
      {{0xFF, 0xFE, 'C', 0, ':', 0, '\\', 0, 0x00, 0xD8}, 0, 0},
  };
  for (const TDamage& damage : damages) {
    machine.AddFileContent(kFile, damage.Content);
    TFigExclusions damaged;
    EXPECT_FALSE(damaged.Load(kFile));
    EXPECT_TRUE(damaged.Damaged());
    EXPECT_EQ(damaged.DamagedLine(), damage.Line);
    EXPECT_EQ(damaged.Items().size(), damage.Readable);
    ASSERT_EQ(damaged.Add(L"C:\\New"), eeNone);
    EXPECT_NE(damaged.Save(kFile), kplat::err::Success);
    EXPECT_EQ(machine.FileContent(kFile), damage.Content);
  }
}
