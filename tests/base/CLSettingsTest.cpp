#include "base/CLSettings.h"

#include "appengine/CLEngine.h"
#include "base/CLMultiLangLan.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"
#include "support/ProgramFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const std::wstring kWord = L"C__Program Files_Kestrova_Kestrova.exe";
const std::wstring kUserFolder = L"C:\\Users\\User\\AppData\\Roaming\\" + kWord + L"\\";
const std::wstring kMachineFolder = L"C:\\ProgramData\\" + kWord + L"\\";

class CLSettings : public ::testing::Test {
protected:
  void TearDown() override { kplat::SetDebugEnabled(false); }

  std::unique_ptr<TCLSettings> Open() { return std::make_unique<TCLSettings>(); }

  // The text of a file as the store reads it back.
  std::wstring FileText(const std::wstring& aPath) {
    std::wstring text;
    ReadIniTextFile(aPath, text);
    return text;
  }

  std::wstring FileValue(const std::wstring& aPath, const std::wstring& aSection,
                         const std::wstring& aKey) {
    TCLMemIniFile file(aPath);
    file.Load();
    return file.ReadString(aSection, aKey, L"<none>");
  }

  kplat::fake::TFakeMachineScope FScope;
  kplat::fake::TFakeMachine& FMachine = FScope.Machine();
};

} // namespace

TEST_F(CLSettings, DataFoldersFollowTheConfigPathWord) {
  // No read-only files and no engine: the word comes from the program's path.
  auto settings = Open();
  EXPECT_EQ(settings->UserDataPathCurrentUser(), kUserFolder);
  EXPECT_EQ(settings->UserDataPathAllUsers(), kMachineFolder);
  EXPECT_EQ(settings->ConstDataPath(), kProgram);
  settings.reset();

  FMachine.AddTextFile(kProgram + L"const.dat", "[setting]\nApp.ConfigPath=Kestrova\n");
  settings = Open();
  EXPECT_EQ(settings->UserDataPathCurrentUser(), L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\");
  settings.reset();

  // An engine made before the store beats the files with its overwrite list.
  TCLEngine engine(nullptr);
  TStringList overwrite;
  overwrite.Add(L"App.ConfigPath=Forced");
  engine.SetSettingOverwrite(overwrite);
  settings = Open();
  EXPECT_EQ(settings->UserDataPathAllUsers(), L"C:\\ProgramData\\Forced\\");
}

TEST_F(CLSettings, FirstLayerThatHasTheNameWins) {
  FMachine.AddTextFile(kProgram + L"const.dat",
                       "[setting]\nBoth=const\nConstOnly=c\nEmptied=const\nOverwritten=const\n");
  FMachine.AddTextFile(kProgram + L"oem.const.dat", "[setting]\nBoth=oem\n");
  FMachine.AddTextFile(kMachineFolder + L"setting.dat", "[setting]\nEmptied=\n");
  TCLEngine engine(nullptr);
  TStringList overwrite;
  overwrite.Add(L"overwritten=engine");
  engine.SetSettingOverwrite(overwrite);
  auto settings = Open();

  EXPECT_EQ(settings->GetSettingString(L"Both"), L"oem");
  EXPECT_EQ(settings->GetSettingString(L"ConstOnly"), L"c");
  EXPECT_EQ(settings->GetSettingString(L"Emptied"), L"");
  EXPECT_TRUE(settings->GetSettingExists(L"Emptied"));
  EXPECT_EQ(settings->GetSettingString(L"Overwritten"), L"engine");
  EXPECT_EQ(settings->GetSettingString(L"Path.Languages"), L"lang");

  // A setter writes the user file only; the overwrite list still wins.
  settings->SetSettingstring(L"Overwritten", L"user");
  EXPECT_EQ(settings->GetSettingString(L"Overwritten"), L"engine");
  EXPECT_EQ(FileValue(kMachineFolder + L"setting.dat", L"setting", L"Overwritten"), L"user");
  EXPECT_EQ(FileValue(kProgram + L"const.dat", L"setting", L"Overwritten"), L"const");

  kplat::SetDebugEnabled(true);
  EXPECT_EQ(settings->GetSettingString(L"Nowhere"), L"");
  EXPECT_FALSE(settings->GetSettingExists(L"Nowhere"));
  ASSERT_FALSE(FMachine.DebugLines().empty());
  EXPECT_EQ(FMachine.DebugLines().back().Tag, L"CLSettings");
  EXPECT_EQ(FMachine.DebugLines().back().Text, L"Setting Not Found :Nowhere");
}

TEST_F(CLSettings, RunTimesCountsEarlierStarts) {
  EXPECT_EQ(Open()->RunTimes(), 0);
  EXPECT_EQ(FileValue(kMachineFolder + L"setting.dat", L"setting", L"RunTimes"), L"1");
  EXPECT_EQ(Open()->RunTimes(), 1);
  EXPECT_EQ(FileValue(kMachineFolder + L"setting.dat", L"setting", L"RunTimes"), L"2");

  // A counter at its limit stays there instead of turning negative.
  FMachine.AddTextFile(kMachineFolder + L"setting.dat", "[setting]\nRunTimes=2147483647\n");
  EXPECT_EQ(Open()->RunTimes(), 2147483647);
  EXPECT_EQ(FileValue(kMachineFolder + L"setting.dat", L"setting", L"RunTimes"), L"2147483647");
}

TEST_F(CLSettings, AllUsersOnlyWhereTheUserMayWrite) {
  const std::wstring flagFile = kUserFolder + L"UserFlag.ini";
  auto settings = Open();
  EXPECT_TRUE(settings->AllUser());
  EXPECT_EQ(settings->UserDataPath(), kMachineFolder);
  EXPECT_EQ(FileValue(flagFile, L"Flag", L"AllUsers"), L"1");
  EXPECT_TRUE(FMachine.HasFile(kMachineFolder + L"setting.dat"));
  settings.reset();

  // A per-machine folder the user cannot write forces the flag off, even when it was on.
  FMachine.SetWriteProtected(L"C:\\ProgramData\\" + kWord, true);
  settings = Open();
  EXPECT_FALSE(settings->AllUser());
  EXPECT_EQ(settings->UserDataPath(), kUserFolder);
  EXPECT_EQ(FileValue(flagFile, L"Flag", L"AllUsers"), L"0");
  EXPECT_EQ(FileValue(kUserFolder + L"setting.dat", L"setting", L"RunTimes"), L"1");
  settings.reset();

  // A flag that is off stays off when the folder becomes writeable again.
  FMachine.SetWriteProtected(L"C:\\ProgramData\\" + kWord, false);
  settings = Open();
  EXPECT_FALSE(settings->AllUser());
  EXPECT_TRUE(settings->IsAllUserPathWriteable());

  // Switching reopens the other folder's file; the flag file is the caller's to change.
  settings->SetAllUser(true);
  EXPECT_EQ(settings->UserDataPath(), kMachineFolder);
  EXPECT_EQ(settings->GetSettingInteger(L"RunTimes"), 1);
  EXPECT_EQ(FileValue(flagFile, L"Flag", L"AllUsers"), L"0");
}

TEST_F(CLSettings, TypedValuesReadAndWriteTheirText) {
  FMachine.AddTextFile(kProgram + L"const.dat",
                       "[setting]\nHex=$1F\nNeg=-12\nJunk=12a\nComma=2,5\nFloatJunk=1.5x\n"
                       "Rect3=1,2,3\nRectX=1,x,3,4\nYes=7\nWord=True\n");
  auto settings = Open();
  EXPECT_EQ(settings->GetSettingInteger(L"Hex"), 31);
  EXPECT_EQ(settings->GetSettingInteger(L"Neg"), -12);
  EXPECT_EQ(settings->GetSettingInteger(L"Junk"), 0);
  EXPECT_EQ(settings->GetSettingInteger(L"Missing"), 0);
  EXPECT_DOUBLE_EQ(settings->GetSettingFloat(L"Comma"), 2.5);
  EXPECT_DOUBLE_EQ(settings->GetSettingFloat(L"FloatJunk"), 0);
  EXPECT_TRUE(settings->GetSettingBool(L"Yes"));
  EXPECT_FALSE(settings->GetSettingBool(L"Word"));

  const TRect kept{9, 9, 9, 9};
  EXPECT_EQ(settings->GetSettingRect(L"Rect3", kept), kept);
  EXPECT_EQ(settings->GetSettingRect(L"RectX", kept), (TRect{1, 0, 3, 4}));

  const std::wstring file = kMachineFolder + L"setting.dat";
  settings->SetSettingBool(L"Flag", true);
  EXPECT_EQ(FileValue(file, L"setting", L"Flag"), L"1");
  settings->SetSettingRect(L"Window", TRect{-5, 10, 200, 300});
  EXPECT_EQ(FileValue(file, L"setting", L"Window"), L"-5,10,200,300");
  EXPECT_EQ(settings->GetSettingRect(L"Window"), (TRect{-5, 10, 200, 300}));

  const TDateTime date = *TryEncodeDateTime({2026, 3, 2, 10, 30, 15, 250});
  settings->SetSettingDate(L"Update.LastDate", date);
  EXPECT_EQ(settings->GetSettingDate(L"Update.LastDate"), date);
  settings->SetSettingFloat(L"Half", 0.5);
  EXPECT_EQ(FileValue(file, L"setting", L"Half"), L"0.5");
}

TEST_F(CLSettings, BatchWritesOnceAtTheEnd) {
  auto settings = Open();
  const std::wstring file = kMachineFolder + L"setting.dat";
  const std::wstring before = FileText(file);
  settings->BeginUpdate();
  settings->SetSettingInteger(L"A", 1);
  settings->SetMessageShowAgainFlag(7, false);
  EXPECT_EQ(FileText(file), before);
  EXPECT_EQ(settings->GetSettingInteger(L"A"), 1);
  settings->EndUpdate();
  EXPECT_EQ(FileValue(file, L"setting", L"A"), L"1");
  EXPECT_EQ(FileValue(file, L"ShowAgain", L"7"), L"0");
}

TEST_F(CLSettings, ShowAgainAnswersAreKeptUntilCleared) {
  auto settings = Open();
  EXPECT_TRUE(settings->GetMessageShowAgainFlag(3));
  EXPECT_EQ(settings->GetMessageShowAgainResult(3), 1);
  settings->SetMessageShowAgainFlag(3, false);
  settings->SetMessageShowAgainResult(3, 6);
  settings.reset();

  settings = Open();
  EXPECT_FALSE(settings->GetMessageShowAgainFlag(3));
  EXPECT_EQ(settings->GetMessageShowAgainResult(3), 6);
  settings->ClearShowAgainFlag();
  EXPECT_TRUE(settings->GetMessageShowAgainFlag(3));
  EXPECT_EQ(FileValue(kMachineFolder + L"setting.dat", L"ShowAgainModuleResult", L"3"), L"<none>");
}

TEST_F(CLSettings, DamagedSettingFileKeepsWhatItHeld) {
  // Binary garbage and a huge line between readable lines.
  std::string garbage = "[setting]\r\nLanguage=German\r\n";
  for (int i = 0; i < 2000; ++i) {
    garbage.push_back(static_cast<char>((i * 37) % 256));
  }
  garbage += "\r\n" + std::string(200000, 'x') + "\r\n[setting]\r\nSkin=Blue\r\n";
  const std::wstring file = kMachineFolder + L"setting.dat";
  FMachine.AddFileContent(file, std::vector<uint8_t>(garbage.begin(), garbage.end()));
  auto settings = Open();
  EXPECT_EQ(settings->GetSettingString(L"Language"), L"German");
  settings->SetSettingstring(L"Skin", L"Green");
  EXPECT_EQ(FileValue(file, L"setting", L"Language"), L"German");
  EXPECT_EQ(FileValue(file, L"setting", L"Skin"), L"Green");
  EXPECT_NE(FileText(file).find(std::wstring(200000, L'x')), std::wstring::npos);
  settings.reset();

  // A file too large to read is never replaced by the little the store knows.
  constexpr uint64_t kHuge = kMaxIniFileBytes + 1;
  FMachine.AddFile(file, kHuge);
  settings = Open();
  settings->SetSettingstring(L"Skin", L"Red");
  EXPECT_EQ(settings->UpdateSettingINI(), kplat::err::AccessDenied);
  EXPECT_EQ(GetFileSizeByName(file), static_cast<int64_t>(kHuge));
}

TEST_F(CLSettings, ASettingFileHeldOpenForAMomentIsReadOnceFree) {
  const std::wstring file = kMachineFolder + L"setting.dat";
  FMachine.AddTextFile(file, "[setting]\nRunTimes=7\nSkin=Blue\n");
  FMachine.FailOpenFile(file, kplat::err::SharingViolation, 120);
  auto settings = Open();
  EXPECT_FALSE(settings->SettingsUnreadable());
  EXPECT_EQ(settings->RunTimes(), 7);
  EXPECT_EQ(FileValue(file, L"setting", L"RunTimes"), L"8");
  EXPECT_EQ(FileValue(file, L"setting", L"Skin"), L"Blue");
}

TEST_F(CLSettings, AnUnreadableSettingFileIsNoFirstStartAndStaysAsItIs) {
  const std::wstring file = kMachineFolder + L"setting.dat";
  FMachine.AddTextFile(file, "[setting]\nRunTimes=7\n");
  const auto before = FMachine.FileContent(file);
  FMachine.FailOpenFile(file, kplat::err::SharingViolation);
  auto settings = Open();
  EXPECT_TRUE(settings->SettingsUnreadable());
  EXPECT_GE(settings->RunTimes(), 1);
  settings->SetSettingstring(L"Skin", L"Green");
  EXPECT_EQ(settings->GetSettingString(L"Skin"), L"Green"); // for this run
  EXPECT_EQ(FMachine.FileContent(file), before);
}

TEST_F(CLSettings, AnUnreadableFlagFileNeverChoosesAFolderTheUserCannotWrite) {
  const std::wstring flagFile = kUserFolder + L"UserFlag.ini";
  FMachine.AddTextFile(flagFile, "[Flag]\nAllUsers=1\n");
  FMachine.FailOpenFile(flagFile, kplat::err::AccessDenied);
  FMachine.AddFolder(L"C:\\ProgramData\\" + kWord);
  FMachine.SetWriteProtected(L"C:\\ProgramData\\" + kWord, true);
  auto settings = Open();
  EXPECT_FALSE(settings->AllUser());
  EXPECT_EQ(settings->UserDataPath(), kUserFolder);
  EXPECT_EQ(FileValue(kUserFolder + L"setting.dat", L"setting", L"RunTimes"), L"1");
}

TEST_F(CLSettings, AFlagFileHeldOpenDelaysTheStartByOnePatientReadAndStaysAsItIs) {
  const std::wstring flagFile = kUserFolder + L"UserFlag.ini";
  FMachine.AddTextFile(flagFile, "[Flag]\nAllUsers=0\n");
  const auto before = FMachine.FileContent(flagFile);
  FMachine.FailOpenFile(flagFile, kplat::err::SharingViolation);
  kplat::IClock& clock = FMachine.Clock();
  const kplat::TFileTime start = clock.NowUtc();
  auto settings = Open();
  // Three more tries 50 ms apart, not three for every question asked of the file.
  EXPECT_LE((clock.NowUtc() - start) / 10000, 150u);
  EXPECT_TRUE(settings->AllUser()); // the file said nothing readable
  EXPECT_EQ(FMachine.FileContent(flagFile), before);
}

TEST_F(CLSettings, AFullDiskAtAnyByteLeavesTheSettingFileWhole) {
  auto settings = Open();
  settings->BeginUpdate();
  for (int i = 0; i < 20; ++i) {
    settings->SetSettingInteger(L"Summary.Count" + std::to_wstring(i), i);
  }
  ASSERT_EQ(settings->EndUpdate(), kplat::err::Success);
  const std::wstring file = kMachineFolder + L"setting.dat";
  const auto before = FMachine.FileContent(file);
  ASSERT_TRUE(before.has_value());
  const std::vector<std::wstring> names = FMachine.ListFolder(kMachineFolder);
  settings->BeginUpdate();
  settings->SetSettingstring(L"Language", L"Deutsch");
  for (uint64_t room = 0; room <= before->size(); ++room) {
    FMachine.SetDiskSpace(room);
    EXPECT_NE(settings->UpdateSettingINI(), kplat::err::Success) << room;
    EXPECT_EQ(FMachine.FileContent(file), before) << room;
    EXPECT_EQ(FMachine.ListFolder(kMachineFolder), names) << room;
  }
  FMachine.SetDiskSpace(std::nullopt);
  ASSERT_EQ(settings->EndUpdate(), kplat::err::Success);
  EXPECT_EQ(FileValue(file, L"setting", L"Language"), L"Deutsch");
  EXPECT_EQ(FileValue(file, L"setting", L"Summary.Count19"), L"19");
}

TEST_F(CLSettings, RunDaysCountFromTheOldestFolder) {
  auto settings = Open();
  constexpr kplat::TFileTime kDay = 864000000000ull;
  const kplat::TFileTime now = FMachine.Clock().NowUtc();
  FMachine.SetCreationTime(L"C:\\Program Files\\Kestrova", now - 3 * kDay);
  FMachine.SetCreationTime(L"C:\\Users\\User\\AppData\\Roaming\\" + kWord, now - 10 * kDay - 5);
  FMachine.SetCreationTime(L"C:\\ProgramData\\" + kWord, now - kDay / 2);
  EXPECT_EQ(settings->GetRunDays(), 10);
}

TEST_F(CLSettings, SlowLanguageStringReadsTheChosenFile) {
  FMachine.AddTextFile(kProgram + L"lang\\German.lan", "[AppRes]\nState.Ready=Bereit\n");
  FMachine.AddTextFile(kProgram + L"lang\\French.lan", "\xEF\xBB\xBF[AppRes]\nState.Ready=Prêt\n");
  auto settings = Open();
  EXPECT_EQ(settings->SlowGetLanguageString(L"AppRes", L"State.Ready", L"Ready"), L"Ready");
  settings->SetSettingstring(L"Language", L"German");
  EXPECT_EQ(settings->SlowGetLanguageString(L"AppRes", L"State.Ready", L"Ready"), L"Bereit");
  settings->SetSettingstring(L"Language.Force", L"French");
  EXPECT_EQ(settings->SlowGetLanguageString(L"appres", L"state.ready", L"Ready"), L"Prêt");
  EXPECT_EQ(settings->SlowGetLanguageString(L"AppRes", L"Missing", L"dflt"), L"dflt");
}

TEST_F(CLSettings, LanguageFilesWithoutAMarkAreReadInTheSystemCodePage) {
  struct TCase {
    uint32_t CodePage;
    std::string Ready; // "Ready" in the code page's bytes
    std::wstring Text;
  };
  const TCase cases[] = {
      {1251, "\xC3\xEE\xF2\xEE\xE2\xEE", L"\u0413\u043E\u0442\u043E\u0432\u043E"},
      {932, "\x8F\x80\x94\xF5\x8A\xAE\x97\xB9", L"\u6E96\u5099\u5B8C\u4E86"},
      {1252, "Pr\xEAt", L"Pr\u00EAt"}};
  auto settings = Open();
  settings->SetSettingstring(L"Language", L"Local");
  const std::wstring file = kProgram + L"lang\\Local.lan";
  for (const TCase& c : cases) {
    // The in-memory machine of the Windows build has no Shift-JIS converter; the conformance
    // suite proves 932 on the real system there.
    std::wstring probe;
    if (FMachine.System().DecodeCodePage(c.CodePage, c.Ready, probe) != kplat::err::Success)
      continue;
    FMachine.SetAnsiCodePage(c.CodePage);
    const std::string text = "[AppRes]\r\nState.Ready=" + c.Ready + "\r\n";
    FMachine.AddFileContent(file, std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(settings->SlowGetLanguageString(L"AppRes", L"State.Ready", L""), c.Text)
        << c.CodePage;
    TCLMultiLangLan lan;
    ASSERT_TRUE(lan.LoadFromFile(file));
    std::wstring value;
    EXPECT_TRUE(lan.GetProp(L"AppRes", L"", L"State.Ready", value));
    EXPECT_EQ(value, c.Text) << c.CodePage;
  }
}
