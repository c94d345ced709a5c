// Our INI readers against the system's profile functions, file by file of the corpus.
#include "base/CLIniFiles.h"

#include "platform/TextCodec.h"
#include "support/IniCorpus.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <unordered_set>

namespace {

using TNames = std::vector<std::wstring>;

bool WriteBytes(const std::wstring& aPath, const std::vector<uint8_t>& aBytes) {
  HANDLE file = CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file, aBytes.data(), static_cast<DWORD>(aBytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == aBytes.size();
}

// A NUL-separated list as the profile functions fill it, without empty names.
TNames SplitList(const std::vector<wchar_t>& aBuffer, DWORD aLength) {
  TNames names;
  std::wstring current;
  for (DWORD i = 0; i < aLength; ++i) {
    if (aBuffer[i] == L'\0') {
      if (!current.empty()) {
        names.push_back(current);
      }
      current.clear();
    } else {
      current.push_back(aBuffer[i]);
    }
  }
  if (!current.empty()) {
    names.push_back(current);
  }
  return names;
}

class IniPeer : public testing::Test {
protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    FFolder = std::wstring(temp) + L"kestrova-ini-peer-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(FFolder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteIniCorpus(FFolder, WriteBytes));
  }
  void TearDown() override {
    for (const TIniCorpusFile& file : IniCorpus()) {
      DeleteFileW(PathOf(file).c_str());
    }
    DeleteFileW(Scratch().c_str());
    RemoveDirectoryW(FFolder.c_str());
  }

  std::wstring PathOf(const TIniCorpusFile& aFile) const {
    return FFolder + L"\\" + std::wstring(aFile.Name.begin(), aFile.Name.end()) + L".ini";
  }
  std::wstring Scratch() const { return FFolder + L"\\scratch.ini"; }

  static std::wstring SystemString(const std::wstring& aPath, const std::wstring& aSection,
                                   const std::wstring& aKey) {
    std::vector<wchar_t> buffer(kMaxProfileValueLength + 1);
    const DWORD length =
        GetPrivateProfileStringW(aSection.c_str(), aKey.c_str(), L"<default>", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), aPath.c_str());
    return std::wstring(buffer.data(), length);
  }

  std::wstring FFolder;
  std::vector<wchar_t> FBuffer = std::vector<wchar_t>(1 << 16);
};

TEST_F(IniPeer, ProfileAnswersAsTheSystemDoes) {
  for (const TIniCorpusFile& file : IniCorpus()) {
    SCOPED_TRACE(file.Name);
    const std::wstring path = PathOf(file);
    TIniProfile ours;
    ours.LoadFromBytes(file.Bytes);
    TCLMemIniFile mem;
    mem.SetText(DecodeIniText(file.Bytes));

    // The system lists a repeated section name each time; ours once.
    DWORD length = GetPrivateProfileSectionNamesW(FBuffer.data(),
                                                  static_cast<DWORD>(FBuffer.size()), path.c_str());
    TNames systemSections;
    std::unordered_set<std::wstring> seen;
    for (const std::wstring& name : SplitList(FBuffer, length)) {
      if (seen.insert(kplat::UpperCase(name)).second) {
        systemSections.push_back(name);
      }
    }
    EXPECT_EQ(ours.ReadSections(), systemSections);
    EXPECT_EQ(mem.ReadSections(), systemSections);

    for (const std::wstring& section : file.Sections) {
      SCOPED_TRACE(kplat::ToUtf8(section));
      // The listing calls do not trim the section name they are given, the value calls do; ours
      // trim always, so listings are compared for trimmed names only.
      if (section.empty() || (section.front() != L' ' && section.back() != L' ')) {
        length = GetPrivateProfileSectionW(section.c_str(), FBuffer.data(),
                                           static_cast<DWORD>(FBuffer.size()), path.c_str());
        EXPECT_EQ(ours.ReadSectionLines(section), SplitList(FBuffer, length));
        length = GetPrivateProfileStringW(section.c_str(), nullptr, L"", FBuffer.data(),
                                          static_cast<DWORD>(FBuffer.size()), path.c_str());
        EXPECT_EQ(ours.ReadSectionKeys(section), SplitList(FBuffer, length));
      }
      for (const std::wstring& key : file.Keys) {
        // Wine drops the last character of a quoted value exactly as long as its buffer; we
        // keep it.
        if (key == L"q2047") {
          continue;
        }
        SCOPED_TRACE(kplat::ToUtf8(key));
        const std::wstring expected = SystemString(path, section, key);
        EXPECT_EQ(ours.ReadString(section, key, L"<default>"), expected);
        if (expected.size() < kMaxProfileValueLength) {
          EXPECT_EQ(mem.ReadString(section, key, L"<default>"), expected);
        }
      }
    }
  }
}

TEST_F(IniPeer, SystemReadsWhatTheMemFileWrites) {
  const std::vector<std::wstring> values = {
      L"  padded  ", L"\"quoted\"", L"'single'", L"plain",
      L"",           L"\"",         L"a=b;c",    L"\u0416\u00E9 \u20AC"};
  TCLMemIniFile mem;
  for (size_t i = 0; i < values.size(); ++i) {
    ASSERT_TRUE(mem.WriteString(L"setting", L"Value" + std::to_wstring(i), values[i]));
  }
  ASSERT_TRUE(mem.WriteQuotedString(L"TOPIC_0", L"Rule_Caption", L"EMPTY KEY"));
  ASSERT_TRUE(WriteBytes(Scratch(), EncodeIniText(mem.GetText())));
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(SystemString(Scratch(), L"setting", L"Value" + std::to_wstring(i)), values[i]);
  }
  EXPECT_EQ(SystemString(Scratch(), L"topic_0", L"RULE_CAPTION"), L"EMPTY KEY");
}

TEST_F(IniPeer, MemFileReadsWhatTheSystemWrites) {
  ASSERT_TRUE(WriteBytes(Scratch(), EncodeIniText(L"")));
  ASSERT_TRUE(WritePrivateProfileStringW(L"Flag", L"AllUsers", L"1", Scratch().c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"setting", L"Name", L"\u0416 x", Scratch().c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"setting", L"RunTimes", L"12", Scratch().c_str()));
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, Scratch().c_str()); // flush the cache

  HANDLE file = CreateFileW(Scratch().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  std::vector<uint8_t> bytes(GetFileSize(file, nullptr));
  DWORD read = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);

  TCLMemIniFile mem;
  mem.SetText(DecodeIniText(bytes));
  EXPECT_TRUE(mem.ReadBool(L"Flag", L"AllUsers", false));
  EXPECT_EQ(mem.ReadString(L"setting", L"Name", L""), L"\u0416 x");
  EXPECT_EQ(mem.ReadInteger(L"setting", L"RunTimes", 0), 12);
  EXPECT_EQ(mem.ReadSections(), (TNames{L"Flag", L"setting"}));
}

} // namespace
