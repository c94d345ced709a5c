// Where the community rules come from: the chosen file's entries as topics, and a fetch on the
// user's command that keeps the copy before it unless the new file reads as Winapp2.
#include "appengine/FigWinapp2Source.h"

#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "support/FakeServer.h"
#include "support/Winapp2Sample.h"
#include "support/WindowTest.h"

#include <optional>

namespace {

std::vector<uint8_t> Bytes(std::string_view aText) {
  return {aText.begin(), aText.end()};
}

const std::string kOldCopy = "; Version: 100\r\n\r\n[Old *]\r\nRegKey1=HKCU\\Software\\Old\r\n";

class Winapp2Source : public WindowTest {
protected:
  Winapp2Source() {
    Program().Settings("URL.Winapp2=https://rules.example/Winapp2.ini\n");
    FCopy = Winapp2CopyIn(GetCLSettings().UserDataPath());
  }
  // Fetches and serves the main thread until the fetch told its outcome.
  std::optional<std::wstring> Fetch() {
    TWinapp2Fetch fetch(GetCLSettings().UserDataPath(), FEngine);
    std::optional<std::wstring> outcome;
    EXPECT_TRUE(fetch.Start([&](const std::wstring& aMessage) { outcome = aMessage; }));
    EXPECT_TRUE(RunUntil([&] { return outcome.has_value(); }));
    return outcome;
  }
  std::string Copy() {
    std::vector<uint8_t> data;
    Machine().Files().ReadFile(FCopy, data, 1 << 20);
    return {data.begin(), data.end()};
  }

  TScopedFakeServer FServer;
  std::wstring FCopy;
};

} // namespace

TEST_F(Winapp2Source, TheChosenFilesApplyingEntriesBecomeTopicsAndLeaveWithTheChoice) {
  Machine().AddRegKey(kplat::regroot::CurrentUser, L"Software\\Alpha");
  Machine().AddFileContent(L"C:\\Rules\\Winapp2.ini", Bytes(kWinapp2Sample));
  TFigEngine engine;
  engine.AddTopic(L"Own");
  TCLSettings& settings = GetCLSettings();

  TWinapp2Source source = LoadWinapp2Topics(engine);
  EXPECT_EQ(engine.TopicCount(), 1);
  EXPECT_EQ(DescribeWinapp2Source(source, FEngine), L"No community rule file is chosen.");

  settings.SetSettingstring(L"Winapp2.File", L"C:\\Rules\\Winapp2.ini");
  source = LoadWinapp2Topics(engine);
  EXPECT_EQ(source.Applying, 2); // Alpha Viewer and Epsilon Registry
  EXPECT_NE(engine.GetTopicByName(L"Alpha Viewer"), nullptr);
  EXPECT_EQ(DescribeWinapp2Source(source, FEngine),
            L"Version 990101: 5 entries, 2 of them for this computer.");

  settings.SetSettingstring(L"Winapp2.File", L"C:\\Rules\\Gone.ini");
  source = LoadWinapp2Topics(engine);
  EXPECT_EQ(engine.TopicCount(), 1);
  EXPECT_EQ(DescribeWinapp2Source(source, FEngine),
            L"The rule file \"C:\\Rules\\Gone.ini\" does not exist.");
}

TEST_F(Winapp2Source, AFetchedWinapp2FileReplacesTheCopyAndBecomesTheChoice) {
  Machine().AddFileContent(FCopy, Bytes(kOldCopy));
  FServer->Pages[L"rules.example/Winapp2.ini"] = std::string(kWinapp2Sample);
  EXPECT_EQ(Fetch(), L"");
  EXPECT_EQ(Copy(), kWinapp2Sample);
  EXPECT_EQ(GetCLSettings().GetSettingString(L"Winapp2.File"), FCopy);
  EXPECT_FALSE(kplat::FileExists(FCopy + L".new"));
}

TEST_F(Winapp2Source, ARefusedOrFailedFetchKeepsTheCopyAndSaysWhy) {
  Machine().AddFileContent(FCopy, Bytes(kOldCopy));
  GetCLSettings().SetSettingstring(L"Winapp2.File", L"C:\\Rules\\Mine.ini");
  struct TCase {
    std::optional<std::string> Page;
    const wchar_t* Says;
  } const cases[] = {
      {"<html><body>Not found</body></html>", L"is not a Winapp2 file"},
      {std::nullopt, L"could not be downloaded"},
  };
  for (const TCase& c : cases) {
    FServer->Pages.clear();
    if (c.Page)
      FServer->Pages[L"rules.example/Winapp2.ini"] = *c.Page;
    const std::optional<std::wstring> outcome = Fetch();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_NE(outcome->find(c.Says), std::wstring::npos) << *outcome;
    EXPECT_EQ(Copy(), kOldCopy);
    EXPECT_EQ(GetCLSettings().GetSettingString(L"Winapp2.File"), L"C:\\Rules\\Mine.ini");
    EXPECT_FALSE(kplat::FileExists(FCopy + L".new"));
  }
  // Without an address nothing is asked of the network.
  GetCLSettings().SetSettingstring(L"URL.Winapp2", L"");
  EXPECT_EQ(Fetch(), L"No address to download the community rule file from is set.");
  EXPECT_EQ(FServer.Requests(), 2);
}
