// The files a repair depends on, cut off at every byte: a backup file, the user settings file and
// the topic database. A cut file is refused or read in part, and what is read is never something
// the whole file did not say.

#include "base/CLSettings.h"
#include "cure/RegFileReader.h"
#include "cure/RegUtils.h"
#include "engine/FigEngine.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace kplat;

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& aBytes, size_t aLength) {
  return std::vector<uint8_t>(aBytes.begin(), aBytes.begin() + static_cast<ptrdiff_t>(aLength));
}

// Every value of a backup file by "key|name".
std::map<std::wstring, TRegValue> Values(const TRegFileReader& aReader) {
  std::map<std::wstring, TRegValue> values;
  for (const TRegFileKey& key : aReader.Keys()) {
    for (const TRegFileValue& value : key.Values) {
      values[key.SubKey + L'|' + value.Name] = value.Value;
    }
  }
  return values;
}

TEST(TruncatedFiles, ABackupFileCutAnywhereRestoresNoWrongValue) {
  fake::TFakeMachineScope scope;
  fake::TFakeMachine& machine = scope.Machine();
  const std::wstring key = L"Software\\Cut";
  machine.SetRegString(regroot::CurrentUser, key, L"", L"default");
  machine.SetRegString(regroot::CurrentUser, key, L"quoted", L"say \"hi\" \\ caf\x00e9");
  machine.SetRegString(regroot::CurrentUser, key, L"lines", L"one\r\ntwo");
  machine.SetRegString(regroot::CurrentUser, key, L"expand", L"%TEMP%\\x", regtype::ExpandSz);
  machine.SetRegDword(regroot::CurrentUser, key, L"dword", 0x12345678);
  machine.SetRegValue(regroot::CurrentUser, key, L"binary",
                      TRegValue{regtype::Binary, {0x01, 0xAB, 0x7F, 0x00, 0xFF}});
  machine.SetRegValue(regroot::CurrentUser, key + L"\\Sub", L"multi",
                      MakeMultiStringValue({L"a", L"b\\c"}));
  machine.SetRegValue(regroot::CurrentUser, key + L"\\Sub", L"qword",
                      MakeQwordValue(0x0102030405060708ull));
  TRegExporter exporter;
  for (const wchar_t* name : {L"", L"quoted", L"lines", L"expand", L"dword", L"binary"}) {
    ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", key, name));
  }
  ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", key + L"\\Sub", L"multi"));
  ASSERT_TRUE(exporter.AddItem(L"HKEY_CURRENT_USER", key + L"\\Sub", L"qword"));
  const std::vector<uint8_t>& file = exporter.Stream();

  TRegFileReader whole;
  ASSERT_TRUE(whole.LoadFromBytes(file)) << ToUtf8(whole.Error().Message);
  const auto original = Values(whole);
  ASSERT_EQ(original.size(), 8u);

  size_t loaded = 0;
  for (size_t length = 0; length < file.size(); ++length) {
    TRegFileReader reader;
    if (!reader.LoadFromBytes(Prefix(file, length))) {
      EXPECT_FALSE(reader.Error().Message.empty()) << length;
      EXPECT_TRUE(reader.Keys().empty()) << length;
      continue;
    }
    ++loaded;
    for (const auto& [name, value] : Values(reader)) {
      ASSERT_TRUE(original.count(name)) << ToUtf8(name) << " at " << length;
      EXPECT_EQ(value.Type, original.at(name).Type) << ToUtf8(name) << " at " << length;
      EXPECT_EQ(value.Data, original.at(name).Data) << ToUtf8(name) << " at " << length;
    }
  }
  // A cut between two entries is a sound shorter file.
  EXPECT_GT(loaded, 0u);
}

TEST(TruncatedFiles, ASettingsFileCutAnywhereGivesEachNameItsValueOrLess) {
  fake::TFakeMachineScope scope;
  const std::vector<std::pair<std::wstring, std::wstring>> settings = {
      {L"Language", L"Deutsch"},
      {L"Main.Bounds", L"10,20,810,620"},
      {L"Backup.Folder", L"C:\\Users\\User\\Sicherung \x00e4"}};
  std::wstring file;
  std::vector<uint8_t> bytes;
  std::map<std::wstring, std::wstring> without;
  {
    TCLSettings store;
    for (const auto& [name, value] : settings) {
      without[name] = store.GetSettingString(name);
    }
    for (const auto& [name, value] : settings) {
      store.SetSettingstring(name, value);
    }
    file = store.UserDataPath() + L"setting.dat";
    bytes = scope.Machine().FileContent(file).value_or(std::vector<uint8_t>());
  }
  ASSERT_FALSE(bytes.empty());
  for (size_t length = 0; length <= bytes.size(); ++length) {
    scope.Machine().AddFileContent(file, Prefix(bytes, length));
    const TCLSettings store;
    for (const auto& [name, value] : settings) {
      const std::wstring read = store.GetSettingString(name);
      // The value line may be cut, never changed into another text.
      EXPECT_TRUE(read == without[name] || (!read.empty() && value.rfind(read, 0) == 0))
          << ToUtf8(name) << " read as \"" << ToUtf8(read) << "\" at " << length;
    }
  }
}

TEST(TruncatedFiles, ATopicDatabaseCutAnywhereLoadsOnlyWholeTopicNames) {
  fake::TFakeMachineScope scope;
  const std::string db = "[GLOBAL]\r\nMAGICWORD=FIG\r\nDATETIME=12/9/2026\r\n\r\n"
                         "[TOPIC_0]\r\nNAME=TempFiles\r\nCategory=tcBPrivacySweep\r\nENABLED=1\r\n"
                         "LOCATION_0=lsDisk,%TEMP%\r\nRule=rsJunkFile,*.tmp\r\nLEVEL=2\r\n"
                         "WORKINGPERCENT=400\r\n\r\n"
                         "[TOPIC_1]\r\nNAME=RunHistory\r\nCategory=tcBPrivacySweep\r\n"
                         "LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\Software\\Run\r\n"
                         "Rule=rsRegistryHistory,History\r\nCHECKVALUES=1\r\n"
                         "WORKINGPERCENT=600\r\n";
  const std::wstring file = L"C:\\Program Files\\Kestrova\\data\\topic.db";
  const std::vector<uint8_t> bytes(db.begin(), db.end());
  const std::vector<std::wstring> names = {L"TempFiles", L"RunHistory"};
  for (size_t length = 0; length <= bytes.size(); ++length) {
    scope.Machine().AddFileContent(file, Prefix(bytes, length));
    TFigEngine engine;
    if (!engine.LoadTopics(file)) {
      EXPECT_FALSE(engine.LastError().empty()) << length;
      continue;
    }
    ASSERT_LE(engine.TopicCount(), 2) << length;
    for (int i = 0; i < engine.TopicCount(); ++i) {
      const std::wstring name = engine.GetTopic(i)->GetValue(L"NAME");
      EXPECT_EQ(names[static_cast<size_t>(i)].rfind(name, 0), 0u) << ToUtf8(name) << " " << length;
    }
  }
}

} // namespace
