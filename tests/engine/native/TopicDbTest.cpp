// The shipped topic database, read from bin/data beside the test program and loaded into the
// in-memory machine: that it loads whole, covers every rule and location style, shares the
// progress bar sensibly, and that its rules judge real places the way its captions promise.

#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "cure/RegUtils.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using kplat::fake::TFakeMachine;
namespace regroot = kplat::regroot;

const std::wstring kTopicDb = L"C:\\Program Files\\Kestrova\\data\\topic.db";

// A file as the build ships it, relative to the folder of the test program.
std::string ShippedFile(const char* aRelative) {
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
  std::ifstream in(exe.parent_path() / aRelative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::wstring> Split(const std::wstring& aText, wchar_t aDelimiter) {
  std::vector<std::wstring> parts;
  SplitText(aText, aDelimiter, parts);
  return parts;
}

// Root name and key path of a registry location, as the scanners take them apart.
struct TRegPlace {
  std::wstring Root;
  std::wstring Path;
};

TRegPlace RegPlace(const std::wstring& aLocation) {
  const size_t slash = aLocation.find(L'\\');
  return {aLocation.substr(0, slash), aLocation.substr(slash + 1)};
}

bool Judge(const TFigTopic& aTopic, TLocationStyle aStyle, const std::wstring& aRoot,
           const std::wstring& aPath, const std::wstring& aSection, const std::wstring& aName) {
  const TFigRuleProcessor processor(aTopic.GetValue(L"Rule"), aTopic.GetValue(L"Rule_Caption"),
                                    aStyle, aRoot, aPath, aSection, aName, aTopic.RegItem(),
                                    tsUncured, aTopic.GetValue(L"EXCEPTOPTIONS"));
  TFigResultItem result;
  return processor.DoSearch(result);
}

class TopicDb : public ::testing::Test {
protected:
  void SetUp() override {
    FText = ShippedFile("data/topic.db");
    ASSERT_FALSE(FText.empty()) << "data/topic.db is not beside the test program";
    Machine().AddTextFile(kTopicDb, FText);
    ASSERT_TRUE(FEngine.LoadTopics(kTopicDb)) << kplat::ToUtf8(FEngine.LastError());
  }

  TFakeMachine& Machine() { return FScope.Machine(); }
  const TFigTopic& Topic(const wchar_t* aName) {
    const TFigTopic* topic = FEngine.GetTopicByName(aName);
    EXPECT_NE(topic, nullptr) << kplat::ToUtf8(aName);
    return topic ? *topic : FEmpty;
  }

  kplat::fake::TFakeMachineScope FScope;
  TFigEngine FEngine;
  TFigTopic FEmpty;
  std::string FText;
};

TEST_F(TopicDb, LoadsWholeWithValidTopics) {
  size_t sections = 0;
  for (size_t pos = FText.find("[TOPIC_"); pos != std::string::npos;
       pos = FText.find("[TOPIC_", pos + 1)) {
    ++sections;
  }
  EXPECT_EQ(static_cast<size_t>(FEngine.TopicCount()), sections) << "a TOPIC_n number is missing";
  EXPECT_GE(FEngine.TopicCount(), 60);

  std::set<std::wstring> names;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    const std::string name = kplat::ToUtf8(topic.Name());
    // The name is part of a setting key ("RegFix." + name): one word, unique.
    EXPECT_EQ(topic.Name().find_first_of(L" .=[]\""), std::wstring::npos) << name;
    EXPECT_TRUE(names.insert(kplat::UpperCase(topic.Name())).second) << name << " twice";
    EXPECT_NE(topic.Category(), static_cast<TTopicCategory>(kNoEnumValue)) << name;
    EXPECT_NE(topic.Category(), tcUnknow) << name;
    EXPECT_TRUE(IsValidEnum(StrToEnum<TRuleStyle>(Split(topic.GetValue(L"Rule"), L',')[0])))
        << name;
    EXPECT_FALSE(topic.GetValue(L"Rule_Caption").empty()) << name;
    EXPECT_FALSE(topic.GetValue(L"Root_Caption").empty()) << name;
    EXPECT_TRUE(topic.Enabled()) << name;
    ASSERT_GE(topic.LocationsCount(), 1) << name;
    for (int n = 0; n < topic.LocationsCount(); ++n) {
      const auto fields = Split(topic.GetLocation(n), L',');
      ASSERT_EQ(fields.size(), 2u) << name << ": a location holds no comma";
      const TLocationStyle style = StrToEnum<TLocationStyle>(fields[0]);
      EXPECT_TRUE(style == lsRegistry || style == lsDisk || style == lsRegistryItem) << name;
      if (style != lsDisk) {
        EXPECT_NE(RootKeyFromName(RegPlace(fields[1]).Root), kplat::kNoRegHandle) << name;
      }
    }
    // A registry-item topic without lines, or lines for a topic that never reads them, is a
    // mistake in the file.
    EXPECT_EQ(topic.RegItemsCount() > 0,
              StrToEnum<TLocationStyle>(Split(topic.GetLocation(0), L',')[0]) == lsRegistryItem)
        << name;
  }
}

TEST_F(TopicDb, UsesEveryStyleAndNamedFolder) {
  std::set<int> rules;
  std::set<int> locations;
  std::set<std::wstring> folders;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    rules.insert(StrToEnum<TRuleStyle>(Split(topic.GetValue(L"Rule"), L',')[0]));
    for (int n = 0; n < topic.LocationsCount(); ++n) {
      const auto fields = Split(topic.GetLocation(n), L',');
      locations.insert(StrToEnum<TLocationStyle>(fields[0]));
      folders.insert(kplat::UpperCase(fields[1]));
    }
  }
  // Every style but the one of community rule files, whose topics are made from their entries.
  EXPECT_EQ(rules.size(), TFigEnumNames<TRuleStyle>::Names.size() - 1);
  EXPECT_EQ(rules.count(rsWinapp2), 0u);
  EXPECT_EQ(locations, (std::set<int>{lsRegistry, lsDisk, lsRegistryItem}));
  for (const wchar_t* folder : {L"@TEMP", L"@WINDOWSTEMP", L"@WINDOWSDEBUG", L"@DESKTOP",
                                L"@RECENT", L"@COMMON START MENU", L"SWEEPHELPER.EXE"}) {
    EXPECT_EQ(folders.count(folder), 1u) << kplat::ToUtf8(folder);
  }
}

TEST_F(TopicDb, SharesAndLevelsFollowTheProfiles) {
  // What a first scan runs: every topic but the optimisations beyond the basic profiles.
  int defaultShare = 0;
  std::set<int> usageLevels;
  std::set<int> connectionLevels;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    const std::string name = kplat::ToUtf8(topic.Name());
    const int share = topic.GetInteger(L"WORKINGPERCENT", -1);
    EXPECT_GT(share, 0) << name;
    const int level = topic.GetInteger(L"LEVEL", -1);
    if (topic.Category() != tcDSystemOptimization) {
      EXPECT_TRUE(level == 1 || level == 2) << name;
      defaultShare += share;
      continue;
    }
    if (level >= 2 && level <= 8) {
      usageLevels.insert(level);
    } else if (level >= 12 && level <= 15) {
      connectionLevels.insert(level);
    } else {
      ADD_FAILURE() << name << " has level " << level;
    }
    if (level == 2 || level == 12) {
      defaultShare += share;
    }
  }
  EXPECT_EQ(FEngine.MaxProcessingCount(), 1000);
  EXPECT_GE(defaultShare, 950);
  // A profile may be left without a topic of its own (the settings window says so), but the
  // basic usage profile always changes something.
  EXPECT_EQ(usageLevels.count(2), 1u);
  EXPECT_FALSE(connectionLevels.empty());
}

// Each optimisation line is written as the registry shows the value once it is set: the wanted
// value is no finding, any other is one.
TEST_F(TopicDb, OptimisationLinesMatchTheValuesTheySet) {
  int lines = 0;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    if (topic.RegItemsCount() == 0) {
      continue;
    }
    const TRegPlace place = RegPlace(Split(topic.GetLocation(0), L',')[1]);
    const kplat::TRegHandle root = RootKeyFromName(place.Root);
    for (int n = 0; n < topic.RegItemsCount(); ++n, ++lines) {
      const std::wstring line = topic.GetRegItem(n);
      const std::string text = kplat::ToUtf8(line);
      const size_t eq = line.find(L"\"=");
      ASSERT_TRUE(line.starts_with(L"\"") && eq != std::wstring::npos) << text;
      const std::wstring name = line.substr(1, eq - 1);
      const std::wstring data = line.substr(eq + 2);
      EXPECT_TRUE(Judge(topic, lsRegistryItem, place.Root, place.Path, name, line))
          << text << " is no finding while the value is missing";
      if (data.starts_with(L"dword:")) {
        ASSERT_EQ(data.size(), 14u) << text;
        const uint32_t value = static_cast<uint32_t>(std::stoul(data.substr(6), nullptr, 16));
        Machine().SetRegDword(root, place.Path, name, value);
        EXPECT_FALSE(Judge(topic, lsRegistryItem, place.Root, place.Path, name, line)) << text;
        Machine().SetRegDword(root, place.Path, name, value + 1);
      } else {
        ASSERT_TRUE(data.size() >= 2 && data.starts_with(L"\"") && data.ends_with(L"\"")) << text;
        Machine().SetRegString(root, place.Path, name, data.substr(1, data.size() - 2));
        EXPECT_FALSE(Judge(topic, lsRegistryItem, place.Root, place.Path, name, line)) << text;
        Machine().SetRegString(root, place.Path, name, L"1234");
      }
      EXPECT_TRUE(Judge(topic, lsRegistryItem, place.Root, place.Path, name, line)) << text;
    }
  }
  EXPECT_GE(lines, 7);
}

// A registry walk visits its starting key first. Judged as an entry, the list key would be
// removed whole with everything in it; no topic may report it.
TEST_F(TopicDb, ListKeysAreNeverFindings) {
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    const auto fields = Split(topic.GetLocation(0), L',');
    const TTopicCategory category = topic.Category();
    if (StrToEnum<TLocationStyle>(fields[0]) != lsRegistry || category != tcARegFix) {
      continue;
    }
    for (int n = 0; n < topic.LocationsCount(); ++n) {
      const TRegPlace place = RegPlace(Split(topic.GetLocation(n), L',')[1]);
      // Empty, as on a system where no program of that kind registered, and with an entry.
      Machine().AddRegKey(RootKeyFromName(place.Root), place.Path);
      EXPECT_FALSE(Judge(topic, lsRegistry, place.Root, place.Path, L"", L""))
          << kplat::ToUtf8(topic.Name()) << " reports the empty " << kplat::ToUtf8(place.Path);
      Machine().AddRegKey(RootKeyFromName(place.Root), place.Path + L"\\Entry");
      EXPECT_FALSE(Judge(topic, lsRegistry, place.Root, place.Path, L"", L""))
          << kplat::ToUtf8(topic.Name()) << " reports " << kplat::ToUtf8(place.Path);
    }
  }
}

// The registry fixes find the leftovers of a program that was removed, and leave alone what a
// working program registered.
TEST_F(TopicDb, RegistryFixesTellLeftoversFromWorkingPrograms) {
  TFakeMachine& m = Machine();
  const std::wstring tool = L"C:\\Program Files\\Tool\\tool.exe";
  m.AddFile(tool);
  const std::wstring gone = L"C:\\Program Files\\Gone\\gone.exe";

  const std::wstring paths32 =
      L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths";
  m.SetRegString(regroot::LocalMachine, paths32 + L"\\tool.exe", L"", tool);
  m.SetRegString(regroot::LocalMachine, paths32 + L"\\gone.exe", L"", gone);
  const TFigTopic& appPaths = Topic(L"AppPaths32");
  EXPECT_FALSE(
      Judge(appPaths, lsRegistry, L"HKEY_LOCAL_MACHINE", paths32 + L"\\tool.exe", L"", tool));
  EXPECT_TRUE(
      Judge(appPaths, lsRegistry, L"HKEY_LOCAL_MACHINE", paths32 + L"\\gone.exe", L"", gone));

  const std::wstring run = L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
  const TFigTopic& startup = Topic(L"StartupMachineRun32");
  EXPECT_FALSE(
      Judge(startup, lsRegistry, L"HKEY_LOCAL_MACHINE", run, L"Tool", L"\"" + tool + L"\" /tray"));
  EXPECT_TRUE(
      Judge(startup, lsRegistry, L"HKEY_LOCAL_MACHINE", run, L"Gone", L"\"" + gone + L"\" /tray"));

  // A file type whose only program is the one the user chose keeps that choice.
  const std::wstring exts = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
  m.SetRegString(regroot::CurrentUser, exts + L"\\.abc\\UserChoice", L"ProgId", L"Tool.abc");
  m.AddRegKey(regroot::CurrentUser, exts + L"\\.old");
  const TFigTopic& fileTypes = Topic(L"FileTypes");
  EXPECT_FALSE(Judge(fileTypes, lsRegistry, L"HKEY_CURRENT_USER", exts + L"\\.abc", L"", L""));
  EXPECT_TRUE(Judge(fileTypes, lsRegistry, L"HKEY_CURRENT_USER", exts + L"\\.old", L"", L""));
}

TEST_F(TopicDb, JunkTopicsSpareFilesInUse) {
  const TFigTopic& temp = Topic(L"UserTemp");
  const std::wstring folder = L"C:\\Users\\User\\AppData\\Local\\Temp\\";
  EXPECT_TRUE(Judge(temp, lsDisk, folder, folder, L"@Temp", L"setup4711.tmp"));
  EXPECT_TRUE(Judge(temp, lsDisk, folder, folder, L"@Temp", L"install.log"));
  EXPECT_FALSE(Judge(temp, lsDisk, folder, folder, L"@Temp", L"Desktop.ini"));

  const TFigTopic& cache = Topic(L"InternetCache");
  EXPECT_FALSE(Judge(cache, lsDisk, folder, folder, L"@Cache", L"container.dat"));
  EXPECT_FALSE(Judge(cache, lsDisk, folder, folder, L"@Cache", L"INDEX.DAT"));

  const TFigTopic& recent = Topic(L"RecentDocsFiles");
  EXPECT_TRUE(Judge(recent, lsDisk, folder, folder, L"@Recent", L"Report.docx.lnk"));
  EXPECT_FALSE(Judge(recent, lsDisk, folder, folder, L"@Recent", L"desktop.ini"));
}

// The fixed-values file holds every product value and default the program reads from it, and
// the per-topic choices of every topic the topic database has.
TEST_F(TopicDb, FixedValuesCoverProductAndTopics) {
  const std::string text = ShippedFile("const.dat");
  ASSERT_FALSE(text.empty()) << "const.dat is not beside the test program";
  TIniProfile constDat;
  constDat.LoadFromText(kplat::FromUtf8(text));
  std::vector<std::wstring> keys = {L"App.Name",
                                    L"App.Ver",
                                    L"App.SubVer",
                                    L"App.GUID",
                                    L"App.ID",
                                    L"App.Copyright",
                                    L"App.MagicWord",
                                    L"App.RegPath",
                                    L"App.Splash",
                                    L"URL.home",
                                    L"URL.help",
                                    L"URL.Update",
                                    L"URL.UpdateInfoURL",
                                    L"URL.InfoHeight",
                                    L"Update.AutoCheck",
                                    L"Update.NoAutoCheck",
                                    L"Update.Days",
                                    L"Update.AutoClose",
                                    L"Update.BeginAuto",
                                    L"Update.DelaySeconds",
                                    L"MainForm.W",
                                    L"MainForm.H",
                                    L"Switch.RegistryFix",
                                    L"Switch.PrivacySweep",
                                    L"Switch.JunkFilesClean",
                                    L"Switch.SystemOptimization",
                                    L"SystemOptimization.CO",
                                    L"SystemOptimization.NO",
                                    L"Backup.MaxBackup",
                                    L"Recommend.General.Minimize",
                                    L"Recommend.General.Startup",
                                    L"Recommend.General.CleanedShutdown",
                                    L"Recommend.General.ShowGuide",
                                    L"Recommend.General.ShowBalloon",
                                    L"Recommend.SystemOptimization.CO",
                                    L"Recommend.SystemOptimization.NO",
                                    L"Recommend.Backup.MaxBackup"};
  for (const wchar_t* family : {L"Container.", L"ButtonPanel.", L"llRestore.", L"llSettings."}) {
    for (const wchar_t* side : {L"L", L"T", L"W", L"H"}) {
      if (std::wstring(family).starts_with(L"ll") && (side[0] == L'W' || side[0] == L'H')) {
        continue;
      }
      keys.push_back(std::wstring(family) + side);
    }
  }
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    const wchar_t* prefix = topic.Category() == tcARegFix         ? L"RegFix."
                            : topic.Category() == tcBPrivacySweep ? L"PrivacySweep."
                            : topic.Category() == tcCJunkFile     ? L"JunkFiles."
                                                                  : nullptr;
    if (prefix) {
      keys.push_back(prefix + topic.Name());
      keys.push_back(L"Recommend." + (prefix + topic.Name()));
    }
  }
  for (const std::wstring& key : keys) {
    EXPECT_TRUE(constDat.ValueExists(L"setting", key)) << kplat::ToUtf8(key);
  }
  EXPECT_EQ(constDat.ReadString(L"setting", L"App.Name", L""), L"Kestrova");
  EXPECT_EQ(Split(constDat.ReadString(L"setting", L"App.Ver", L""), L'.').size(), 4u);
}

// Every optimisation names Microsoft's description of the value it sets, and none of the values
// that do nothing or harm on Windows 10 and 11 comes back.
TEST_F(TopicDb, OptimisationsNameTheirDocumentation) {
  int optimisations = 0;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    const std::string name = kplat::ToUtf8(topic.Name());
    for (int n = 0; n < topic.RegItemsCount(); ++n) {
      const std::wstring line = kplat::UpperCase(topic.GetRegItem(n));
      for (const wchar_t* value :
           {L"LARGESYSTEMCACHE", L"DISABLEPAGINGEXECUTIVE", L"TCP1323OPTS", L"DEFAULTTTL",
            L"SACKOPTS", L"TCPMAXDUPACKS", L"TCPWINDOWSIZE", L"GLOBALMAXTCPWINDOWSIZE"}) {
        EXPECT_FALSE(line.starts_with(L"\"" + std::wstring(value) + L"\"")) << name;
      }
    }
    if (topic.Category() != tcDSystemOptimization) {
      EXPECT_TRUE(topic.GetValue(L"REFERENCE").empty()) << name;
      continue;
    }
    ++optimisations;
    EXPECT_TRUE(topic.GetValue(L"REFERENCE").starts_with(L"https://learn.microsoft.com/")) << name;
  }
  EXPECT_GE(optimisations, 5);
}

// A browser's topics reach every profile, wait for the browser to be closed, start cookies and
// sessions unticked, and never report what people keep in the profile folder.
TEST_F(TopicDb, BrowserTopicsReachEveryProfileAndSpareWhatPeopleKeep) {
  const struct {
    const wchar_t* Prefix;
    const wchar_t* Process;
  } browsers[] = {{L"Chrome", L"chrome.exe"}, {L"Edge", L"msedge.exe"},
                  {L"Brave", L"brave.exe"},   {L"Vivaldi", L"vivaldi.exe"},
                  {L"Opera", L"opera.exe"},   {L"Firefox", L"firefox.exe"}};
  const wchar_t* kept[] = {L"Bookmarks",   L"Login Data",    L"Web Data",       L"Preferences",
                           L"Local State", L"places.sqlite", L"key4.db",        L"logins.json",
                           L"cert9.db",    L"prefs.js",      L"favicons.sqlite"};
  const std::wstring folder = L"C:\\Users\\User\\AppData\\Local\\Browser\\User Data\\Default\\";
  for (const auto& browser : browsers) {
    int topics = 0;
    for (const wchar_t* kind : {L"Cache", L"Sessions", L"Cookies"}) {
      const TFigTopic& topic = Topic((std::wstring(browser.Prefix) + kind).c_str());
      const std::string name = kplat::ToUtf8(topic.Name());
      ++topics;
      EXPECT_EQ(topic.GetValue(L"PROCESS"), browser.Process) << name;
      EXPECT_EQ(topic.GetInteger(L"LEVEL", -1), std::wstring(kind) == L"Cache" ? 2 : 1) << name;
      int everyProfile = 0;
      int operaDefault = 0;
      for (int n = 0; n < topic.LocationsCount(); ++n) {
        const std::wstring location = topic.GetLocation(n);
        EXPECT_TRUE(location.starts_with(L"lsDisk,%")) << name << ": " << kplat::ToUtf8(location);
        everyProfile += location.ends_with(L"\\*") || location.find(L"\\*\\") != std::wstring::npos;
        const std::wstring section = Split(location, L',')[1];
        operaDefault += section.find(L"Opera Stable\\Default") != std::wstring::npos;
        for (const wchar_t* file : kept) {
          // Only the profile folder itself holds them; a cache folder is the cache's own.
          if (section.ends_with(L"*") || section.ends_with(L"Opera Stable") ||
              section.ends_with(L"Opera Stable\\Default")) {
            EXPECT_FALSE(Judge(topic, lsDisk, folder, folder, section, file))
                << name << " reports " << kplat::ToUtf8(file);
          }
        }
      }
      // Opera has a single profile: in its own folder, or in "Default" since it offers profiles.
      EXPECT_EQ(everyProfile > 0, std::wstring(browser.Prefix) != L"Opera") << name;
      EXPECT_EQ(operaDefault > 0, std::wstring(browser.Prefix) == L"Opera") << name;
    }
    EXPECT_EQ(topics, 3);
  }
  EXPECT_TRUE(Judge(Topic(L"ChromeSessions"), lsDisk, folder, folder, L"Sessions",
                    L"Session_13401234567890123"));
  EXPECT_NE(Topic(L"ChromeCookies").GetValue(L"Rule_Caption").find(L"signs you out"),
            std::wstring::npos);
}

// Files Windows may still be writing are left for a while.
TEST_F(TopicDb, WindowsCachesWaitForFilesInUse) {
  for (const auto& [name, hours] :
       std::vector<std::pair<const wchar_t*, int>>{{L"UserTemp", 24},
                                                   {L"WindowsTemp", 24},
                                                   {L"WindowsUpdateDownloads", 72},
                                                   {L"DeliveryOptimizationCache", 72},
                                                   {L"DirectXShaderCache", 24},
                                                   {L"ProgramCrashDumps", 24},
                                                   {L"ErrorReports", 24},
                                                   {L"WindowsLogs", 168}}) {
    EXPECT_EQ(Topic(name).GetInteger(L"MINAGEHOURS", 0), hours) << kplat::ToUtf8(name);
  }
}

} // namespace
