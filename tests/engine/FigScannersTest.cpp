// The location scanners: which places a topic's locations yield, with what fields and counts.
// The worker's checks are recorded instead of judged, and the scanners run on the test's thread.

#include "engine/FigDiskLocation.h"
#include "engine/FigEngine.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kplat::regroot::CurrentUser;

struct TPlace {
  TLocationStyle Style;
  std::wstring Root, Path, Section, Name;
  int32_t Count;
  bool operator==(const TPlace&) const = default;
};

class TRecordingScan : public TFigScanThread {
public:
  using TFigScanThread::TFigScanThread;
  bool CheckItem(TFigTopic& /*aTopic*/, TLocationStyle aLocationStyle, const std::wstring& aRoot,
                 const std::wstring& aPath, const std::wstring& aSection, const std::wstring& aName,
                 int32_t aCurrentPer, int64_t /*aFileSize*/) override {
    Places.push_back(TPlace{aLocationStyle, aRoot, aPath, aSection, aName, aCurrentPer});
    return true;
  }
  std::vector<TPlace> Places;
};

const std::wstring kKey = L"Software\\KestrovaScan";
const std::wstring kLocation = L"lsRegistry,HKEY_CURRENT_USER\\" + kKey;
const std::wstring kTemp = L"C:\\Users\\User\\AppData\\Local\\Temp\\";

class FigScannersTest : public ::testing::Test {
protected:
  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }

  // One topic with the given lines (name=value), scanned; returns the places checked.
  std::vector<TPlace> Scan(const std::vector<std::wstring>& aLines) {
    FEngine.ClearTopicList();
    TFigTopic* topic = FEngine.GetTopic(FEngine.AddTopic(L"Probe"));
    for (const std::wstring& line : aLines) {
      const size_t equals = line.find(L'=');
      topic->ValueList().SetValue(line.substr(0, equals), line.substr(equals + 1));
    }
    TRecordingScan scan(FEngine);
    EXPECT_TRUE(scan.ScanTopic(0));
    return scan.Places;
  }
  std::vector<std::wstring> Keys(const std::vector<TPlace>& aPlaces) {
    std::vector<std::wstring> keys;
    for (const TPlace& place : aPlaces) {
      keys.push_back(place.Path);
    }
    return keys;
  }
  std::vector<std::wstring> Names(const std::vector<TPlace>& aPlaces) {
    std::vector<std::wstring> names;
    for (const TPlace& place : aPlaces) {
      names.push_back(place.Name);
    }
    return names;
  }

  kplat::fake::TFakeMachineScope FScope;
  TFigEngine FEngine;
};

} // namespace

TEST_F(FigScannersTest, RegistryWalkFollowsFolderDepthOnlyWithSubFoldersIncluded) {
  Machine().SetRegString(CurrentUser, kKey, L"v", L"top");
  Machine().SetRegString(CurrentUser, kKey + L"\\B", L"v", L"middle");
  Machine().SetRegString(CurrentUser, kKey + L"\\B\\C", L"v", L"bottom");
  const std::wstring b = kKey + L"\\B";
  const std::wstring c = b + L"\\C";

  EXPECT_EQ(Keys(Scan({L"LOCATION_0=" + kLocation, L"FolderDepth=1", L"IncludeSubFolder=1"})),
            (std::vector<std::wstring>{kKey}));
  EXPECT_EQ(Keys(Scan({L"LOCATION_0=" + kLocation, L"FolderDepth=2", L"IncludeSubFolder=1"})),
            (std::vector<std::wstring>{kKey, b}));
  EXPECT_EQ(Keys(Scan({L"LOCATION_0=" + kLocation, L"FolderDepth=-1", L"IncludeSubFolder=0"})),
            (std::vector<std::wstring>{kKey}));
  EXPECT_EQ(Keys(Scan({L"LOCATION_0=" + kLocation, L"IncludeSubFolder=1"})),
            (std::vector<std::wstring>{kKey, b, c}));
  EXPECT_TRUE(Scan({L"LOCATION_0=" + kLocation, L"FolderDepth=0", L"IncludeSubFolder=1"}).empty());

  const std::vector<TPlace> all = Scan({L"LOCATION_0=" + kLocation, L"IncludeSubFolder=1"});
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2], (TPlace{lsRegistry, L"HKEY_CURRENT_USER", c, L"v", L"bottom", 3}));
}

TEST_F(FigScannersTest, CheckValuesDecidesBetweenTheFirstValueAndEveryValue) {
  Machine().SetRegString(CurrentUser, kKey, L"a", L"text");
  Machine().SetRegDword(CurrentUser, kKey, L"b", 5);
  Machine().SetRegValue(CurrentUser, kKey, L"c", kplat::TRegValue{kplat::regtype::Binary, {1, 2}});
  Machine().SetRegValue(CurrentUser, kKey, L"d", kplat::MakeQwordValue(1ull << 40));
  Machine().SetRegValue(CurrentUser, kKey, L"e", kplat::MakeMultiStringValue({L"x", L"y"}));
  Machine().SetRegString(CurrentUser, kKey, L"f", L"%TEMP%\\x", kplat::regtype::ExpandSz);

  const std::vector<TPlace> first = Scan({L"LOCATION_0=" + kLocation, L"CHECKVALUES=0"});
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].Section, L"a");

  const std::vector<TPlace> every = Scan({L"LOCATION_0=" + kLocation, L"CheckValues=1"});
  ASSERT_EQ(every.size(), 6u);
  EXPECT_EQ(Names(every), (std::vector<std::wstring>{L"text", L"5", L"Binary Data",
                                                     L"1099511627776", L"", L"%TEMP%\\x"}));
  EXPECT_EQ(every[5].Count, 6);
}

TEST_F(FigScannersTest, KeysWithoutValuesAreVisitedOnceUnlessValuesAreChecked) {
  Machine().AddRegKey(CurrentUser, kKey + L"\\Empty");
  Machine().AddRegKey(CurrentUser, kKey + L"\\Parent\\Child");
  const std::wstring scanned = L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\" + kKey;

  const std::vector<TPlace> places = Scan({scanned, L"IncludeSubFolder=1"});
  EXPECT_EQ(Keys(places), (std::vector<std::wstring>{kKey, kKey + L"\\Empty", kKey + L"\\Parent",
                                                     kKey + L"\\Parent\\Child"}));
  for (const TPlace& place : places) {
    EXPECT_EQ(place.Section, L"");
    EXPECT_EQ(place.Name, L"");
  }
  // With values checked an empty key is no place, while one with sub-keys still is.
  EXPECT_EQ(Keys(Scan({scanned, L"IncludeSubFolder=1", L"CHECKVALUES=1"})),
            (std::vector<std::wstring>{kKey, kKey + L"\\Parent"}));
}

TEST_F(FigScannersTest, RegistryLocationsAreReadAsWritten) {
  Machine().SetRegString(CurrentUser, kKey, L"", L"default");
  // Only the leading root name is the root; the rest is the key path as written.
  EXPECT_EQ(Keys(Scan({L"LOCATION_0=lsRegistry,hkey_current_user\\" + kKey})),
            (std::vector<std::wstring>{kKey}));
  EXPECT_TRUE(Scan({L"LOCATION_0=lsRegistry,HKEY_NOWHERE\\" + kKey}).empty());
  EXPECT_TRUE(Scan({L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\Missing"}).empty());
  EXPECT_TRUE(Scan({L"LOCATION_0=lsElsewhere,HKEY_CURRENT_USER\\" + kKey}).empty());
  EXPECT_TRUE(Scan({L"LOCATION_0=HKEY_CURRENT_USER\\" + kKey}).empty());
  // A later location still runs after one that yields nothing.
  EXPECT_EQ(Scan({L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\Missing",
                  L"LOCATION_1=" + kLocation})
                .size(),
            1u);
}

TEST_F(FigScannersTest, DeepRegistryTreesAreWalkedToTheBottom) {
  std::wstring key = kKey;
  for (int level = 0; level < 511; ++level) {
    key += L"\\k";
  }
  Machine().SetRegString(CurrentUser, key, L"v", L"bottom");
  const std::vector<TPlace> places = Scan({L"LOCATION_0=" + kLocation, L"IncludeSubFolder=1"});
  ASSERT_EQ(places.size(), 512u);
  EXPECT_EQ(places.back().Path, key);
  EXPECT_EQ(places.back().Name, L"bottom");
  EXPECT_EQ(Machine().OpenRegHandleCount(), 0u);
}

TEST_F(FigScannersTest, DiskWalkChecksEveryEntryWithTheFilesCounted) {
  Machine().AddFile(kTemp + L"a.tmp", 10);
  Machine().AddFile(kTemp + L"b.tmp", 20);
  Machine().AddFile(kTemp + L"One\\c.tmp");
  Machine().AddFile(kTemp + L"Two\\d.tmp");

  const std::vector<TPlace> places = Scan({L"LOCATION_0=lsDisk,@Temp", L"IncludeSubFolder=1"});
  ASSERT_EQ(places.size(), 6u);
  EXPECT_EQ(places[0], (TPlace{lsDisk, kTemp, kTemp, L"@Temp", L"a.tmp", 1}));
  EXPECT_EQ(places[2], (TPlace{lsDisk, kTemp, kTemp, L"@Temp", L"One", 2}));
  // Each sub-folder goes on from its parent's count; what it adds does not come back.
  EXPECT_EQ(places[4],
            (TPlace{lsDisk, kTemp + L"One\\", kTemp + L"One\\", kTemp + L"One", L"c.tmp", 3}));
  EXPECT_EQ(places[5].Name, L"d.tmp");
  EXPECT_EQ(places[5].Count, 3);

  EXPECT_EQ(Scan({L"LOCATION_0=lsDisk,@Temp", L"IncludeSubFolder=0"}).size(), 4u);
  EXPECT_EQ(Scan({L"LOCATION_0=lsDisk,@Temp", L"FolderDepth=1", L"IncludeSubFolder=1"}).size(), 4u);
  EXPECT_TRUE(Scan({L"LOCATION_0=lsDisk,@Temp", L"FolderDepth=0"}).empty());
  EXPECT_EQ(Scan({L"LOCATION_0=lsDisk," + kTemp + L",extra"}).size(), 4u);
}

TEST_F(FigScannersTest, NamedFoldersResolveToShellAndSystemFolders) {
  Machine().AddFile(kTemp + L"user.tmp");
  Machine().AddFile(L"C:\\Windows\\Temp\\system.tmp");
  Machine().AddFile(L"C:\\Windows\\Debug\\trace.log");
  Machine().AddFile(L"C:\\Users\\User\\Recent\\doc.lnk");
  Machine().SetRegString(CurrentUser,
                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         L"Recent", L"C:\\Users\\User\\Recent");
  EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@temp"})), (std::vector<std::wstring>{L"user.tmp"}));
  EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@WindowsTemp"})),
            (std::vector<std::wstring>{L"system.tmp"}));
  EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@WindowsDebug"})),
            (std::vector<std::wstring>{L"trace.log"}));
  EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@Recent"})), (std::vector<std::wstring>{L"doc.lnk"}));

  // A shell folder named Temp wins over the temporary folder.
  Machine().AddFile(L"C:\\Elsewhere\\shell.tmp");
  Machine().SetRegString(CurrentUser,
                         L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         L"Temp", L"C:\\Elsewhere");
  EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@Temp"})), (std::vector<std::wstring>{L"shell.tmp"}));
}

TEST_F(FigScannersTest, NothingIsLookedForInTheCurrentFolder) {
  Machine().AddFile(L"C:\\Work\\Unknown\\x.tmp");
  Machine().AddFile(L"C:\\Work\\Temp\\y.tmp");
  Machine().SetCurrentFolder(L"C:\\Work");
  Machine().SetEnvVar(L"SYSTEMROOT", L"");
  EXPECT_TRUE(Scan({L"LOCATION_0=lsDisk,@Unknown"}).empty());
  EXPECT_TRUE(Scan({L"LOCATION_0=lsDisk,Unknown"}).empty());
  // Without SYSTEMROOT the Windows folder is used, never "Temp" below the current folder.
  Machine().AddFile(L"C:\\Windows\\Temp\\system.tmp");
  EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@WindowsTemp"})),
            (std::vector<std::wstring>{L"system.tmp"}));
}

TEST_F(FigScannersTest, LinkedFoldersAreNeitherPlacesNorWalked) {
  Machine().AddFile(kTemp + L"a.tmp");
  Machine().AddFolder(kTemp + L"Loop", kplat::fileattr::Directory | kplat::fileattr::ReparsePoint);
  Machine().AddFile(kTemp + L"Loop\\victim.dll");
  EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@Temp", L"IncludeSubFolder=1"})),
            (std::vector<std::wstring>{L"a.tmp"}));
}

TEST_F(FigScannersTest, NetworkFoldersAreWalkedBelowTheShare) {
  const std::wstring share = L"\\\\server\\share\\Junk";
  Machine().AddFile(share + L"\\Deep\\old.tmp");
  const std::vector<TPlace> places = Scan({L"LOCATION_0=lsDisk," + share, L"IncludeSubFolder=1"});
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[1].Path, share + L"\\Deep\\");
  EXPECT_EQ(places[1].Name, L"old.tmp");
}

TEST_F(FigScannersTest, DeepFolderTreesAreWalkedToTheBottom) {
  std::wstring folder = L"C:\\Deep";
  for (int level = 0; level < 300; ++level) {
    folder += L"\\d";
  }
  Machine().AddFile(folder + L"\\bottom.tmp");
  const std::vector<TPlace> places = Scan({L"LOCATION_0=lsDisk,C:\\Deep", L"IncludeSubFolder=1"});
  ASSERT_EQ(places.size(), 301u);
  EXPECT_EQ(places.back().Name, L"bottom.tmp");
}

TEST_F(FigScannersTest, SweepHelperIsOnePlaceBesideTheProgram) {
  const std::wstring helper = L"C:\\Program Files\\Kestrova\\SweepHelper.exe";
  EXPECT_EQ(Scan({L"LOCATION_0=lsDisk,SweepHelper.exe"}),
            (std::vector<TPlace>{{lsDisk, helper, helper, helper, L"SweepHelper.exe", 0}}));
}

TEST_F(FigScannersTest, RegistryItemsAreCheckedLineByLineAgainstOneKey) {
  const std::vector<TPlace> places =
      Scan({L"LOCATION_0=lsRegistryItem,HKEY_CURRENT_USER\\Control Panel\\Desktop",
            L"REGITEM_0=\"MenuShowDelay\"=\"200\"", L"REGITEM_1=@=\"wallpaper\"",
            L"REGITEM_2=Plain=dword:00000001", L"REGITEM_4=after a gap"});
  const std::wstring key = L"Control Panel\\Desktop";
  EXPECT_EQ(places, (std::vector<TPlace>{
                        {lsRegistryItem, L"HKEY_CURRENT_USER", key, L"MenuShowDelay",
                         L"\"MenuShowDelay\"=\"200\"", 0},
                        {lsRegistryItem, L"HKEY_CURRENT_USER", key, L"", L"@=\"wallpaper\"", 0},
                        {lsRegistryItem, L"HKEY_CURRENT_USER", key, L"Plain",
                         L"Plain=dword:00000001", 0}}));
}

TEST_F(FigScannersTest, VariablesAndWildcardsNameEveryMatchingFolder) {
  const std::wstring userData = L"C:\\Users\\User\\AppData\\Local\\Google\\Chrome\\User Data\\";
  Machine().AddFile(userData + L"Default\\Cache\\Cache_Data\\f_000001");
  Machine().AddFile(userData + L"Profile 1\\Cache\\Cache_Data\\f_000002");
  Machine().AddFolder(userData + L"System Profile");
  // A wildcard part never matches through a link, even to a folder that would match.
  Machine().AddFile(L"C:\\Elsewhere\\Cache\\Cache_Data\\victim.doc");
  Machine().AddFolderLink(userData + L"Linked", L"C:\\Elsewhere");
  Machine().AddFile(L"C:\\Data\\Profile\\Logs\\a.log");
  Machine().AddFile(L"C:\\Data\\Profiles\\Logs\\b.log");
  Machine().AddFile(L"C:\\Work\\Cache\\here.tmp");
  Machine().SetCurrentFolder(L"C:\\Work");

  const struct {
    std::wstring Location;
    std::vector<std::wstring> Places; // folder + name
  } cases[] = {
      {L"%LocalAppData%\\Google\\Chrome\\User Data\\*\\Cache\\Cache_Data",
       {userData + L"Default\\Cache\\Cache_Data\\f_000001",
        userData + L"Profile 1\\Cache\\Cache_Data\\f_000002"}},
      {L"%LOCALAPPDATA%\\Google\\Chrome\\User Data\\Prof*\\Cache\\Cache_Data",
       {userData + L"Profile 1\\Cache\\Cache_Data\\f_000002"}},
      {L"C:\\Data\\Pro?ile\\Logs", {L"C:\\Data\\Profile\\Logs\\a.log"}},
      {L"C:\\data\\*S\\Logs", {L"C:\\Data\\Profiles\\Logs\\b.log"}},
      {L"%SystemDrive%\\Data\\Profile\\Logs", {L"C:\\Data\\Profile\\Logs\\a.log"}},
      // An unset variable names nothing, never a folder below the current one.
      {L"%KestrovaUnset%\\Cache", {}},
      {L"%KestrovaUnset%Cache", {}},
      {L"C:\\Nowhere\\*\\Cache", {}},
  };
  for (const auto& test : cases) {
    std::vector<std::wstring> found;
    for (const TPlace& place : Scan({L"LOCATION_0=lsDisk," + test.Location})) {
      found.push_back(place.Path + place.Name);
      // Each matched folder is a location of its own, named by its path.
      EXPECT_EQ(place.Section + L"\\", place.Path) << test.Location;
    }
    EXPECT_EQ(found, test.Places) << test.Location;
  }
}

TEST_F(FigScannersTest, WildcardsMatchWholeNamesWithoutRegardToCase) {
  const struct {
    std::wstring_view Name, Pattern;
    bool Matches;
  } cases[] = {
      {L"Profile 1", L"*", true},
      {L"Profile 1", L"profile ?", true},
      {L"Profile 12", L"Profile ?", false},
      {L"Default", L"*ault", true},
      {L"Default", L"D*f*t", true},
      {L"Default", L"D*x*t", false},
      {L"aaab", L"*a*b", true},
      {L"abcabd", L"*abd", true},
      {L"", L"*", true},
      {L"x", L"", false},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(kplat::MatchesWildcard(test.Name, test.Pattern), test.Matches)
        << std::wstring(test.Name) << L" / " << std::wstring(test.Pattern);
  }
}

TEST_F(FigScannersTest, FilesYoungerThanTheTopicsMinimumAgeAreNoPlaces) {
  Machine().AddFile(kTemp + L"old.tmp");
  Machine().AdvanceMs(3ull * 24 * 3600 * 1000);
  Machine().AddFile(kTemp + L"edge.tmp");
  Machine().AdvanceMs(25ull * 3600 * 1000);
  Machine().AddFile(kTemp + L"new.tmp");
  Machine().AdvanceMs(60ull * 1000);
  const struct {
    std::wstring MinAge;
    std::vector<std::wstring> Names;
  } cases[] = {
      {L"MINAGEHOURS=24", {L"edge.tmp", L"old.tmp"}},
      {L"MINAGEHOURS=48", {L"old.tmp"}},
      {L"MINAGEHOURS=0", {L"edge.tmp", L"new.tmp", L"old.tmp"}},
      {L"MINAGEHOURS=1000", {}},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(Names(Scan({L"LOCATION_0=lsDisk,@Temp", test.MinAge})), test.Names) << test.MinAge;
  }
}
