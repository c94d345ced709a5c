// The shipped topic database on the real registry and disk: a scan of this machine with every
// topic, and a scan after planting what an uninstalled program leaves behind.

#include "base/win32/CLMainThreadWin.h"
#include "engine/FigEngine.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kScanLimitMs = 300000;
const std::wstring kGuid = L"{0C5D7E2F-41A8-4B96-9E3D-6F2A1B8C7D40}";
const std::wstring kMissingTypeLib = L"{0C5D7E2F-41A8-4B96-9E3D-6F2A1B8C7D41}";
const std::wstring kGoneTool = L"C:\\Program Files\\KestrovaGoneTool\\gonetool.exe";

std::wstring ShippedTopicDb() {
  wchar_t path[MAX_PATH];
  const std::wstring exe(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return exe.substr(0, exe.find_last_of(L'\\') + 1) + L"data\\topic.db";
}

void SetString(HKEY aRoot, const std::wstring& aKey, const std::wstring& aName,
               const std::wstring& aText) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(aRoot, aKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  RegSetValueExW(key, aName.empty() ? nullptr : aName.c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(aText.c_str()),
                 static_cast<DWORD>((aText.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void MakeKey(HKEY aRoot, const std::wstring& aKey) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(aRoot, aKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  RegCloseKey(key);
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH];
  return std::wstring(path, GetTempPathW(MAX_PATH, path));
}

class TopicDbScan : public ::testing::Test {
protected:
  TopicDbScan() { kplat::win32::InstallWin32Platform(); }

  // Scans with every topic and the optimisations of every profile.
  std::vector<TFigScanedItem> ScanAll() {
    EXPECT_TRUE(FEngine.LoadTopics(ShippedTopicDb())) << kplat::ToUtf8(FEngine.LastError());
    FEngine.SortByCategory();
    FEngine.SetAllEnabled(true);
    FEngine.SetPacing(false);
    std::vector<TFigScanedItem> found;
    FEngine.OnTopicMatched = [&](const TFigScanedItem& aItem) { found.push_back(aItem); };
    bool finished = false;
    FEngine.OnFinished = [&](TObject&) { finished = true; };
    FEngine.StartScan();
    EXPECT_TRUE(FMain.RunUntil([&] { return !FEngine.IsRunning(); }, kScanLimitMs));
    EXPECT_TRUE(finished);
    return found;
  }

  static std::string Describe(const TFigScanedItem& aItem) {
    return kplat::ToUtf8(aItem.TopicName + L": " + aItem.ScanedRoot + L" | " + aItem.ScanedPath +
                         L" | " + aItem.ScanedSection + L" | " + aItem.ScanedName + L" -> " +
                         aItem.FigResult.Msg);
  }

  TCLMainThreadWin FMain;
  TCLScopedMainThread FMainScope{FMain};
  TFigEngine FEngine;
};

// Prints what the database finds here, for the record. Whatever it finds, no registry fix that
// removes a key may name the starting key of a topic's walk: that would remove the whole list.
TEST_F(TopicDbScan, FindingsOfThisMachine) {
  const std::vector<TFigScanedItem> found = ScanAll();
  std::set<std::wstring> listKeys;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    const TFigTopic& topic = *FEngine.GetTopic(i);
    for (int n = 0; n < topic.LocationsCount(); ++n) {
      const std::wstring location = topic.GetLocation(n);
      listKeys.insert(kplat::UpperCase(location.substr(location.find(L'\\') + 1)));
    }
  }
  for (const TFigScanedItem& item : found) {
    std::printf("finding %s\n", Describe(item).c_str());
    if (item.Category == tcARegFix && item.LocationStyle == lsRegistry && !item.ValueCheck) {
      EXPECT_EQ(listKeys.count(kplat::UpperCase(item.ScanedPath)), 0u) << Describe(item);
    }
  }
  EXPECT_EQ(FEngine.Summary().MatchedAllCount, static_cast<int64_t>(found.size()));
  // The walks really ran over this machine's class list, programs and folders.
  EXPECT_GT(FEngine.Summary().RegistryItemCount, 100);
}

// The leftovers of an uninstalled program, a history, a junk file and a value off its
// optimisation: each is found by the topic that covers it.
class TopicDbDemoScan : public TopicDbScan {
protected:
  TopicDbDemoScan() {
    wchar_t delay[32] = L"";
    DWORD size = sizeof(delay);
    FHadDelay = RegGetValueW(HKEY_CURRENT_USER, kDesktop, L"MenuShowDelay", RRF_RT_REG_SZ, nullptr,
                             delay, &size) == ERROR_SUCCESS;
    FDelay = delay;
    HKEY key = nullptr;
    FHadTypedPaths =
        RegOpenKeyExW(HKEY_CURRENT_USER, kTypedPaths, 0, KEY_READ, &key) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~TopicDbDemoScan() override {
    for (const std::wstring& key : {kUninstall, kAppPath}) {
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + kGuid).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kFileExt.c_str());
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"KestrovaGoneTool");
    if (FHadTypedPaths) {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kTypedPaths, L"url99");
    } else {
      RegDeleteTreeW(HKEY_CURRENT_USER, kTypedPaths);
    }
    if (FHadDelay) {
      SetString(HKEY_CURRENT_USER, kDesktop, L"MenuShowDelay", FDelay);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"MenuShowDelay");
    }
    DeleteFileW(FJunk.c_str());
  }

  static constexpr const wchar_t* kDesktop = L"Control Panel\\Desktop";
  static constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  static constexpr const wchar_t* kTypedPaths =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\TypedPaths";
  const std::wstring kUninstall =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KestrovaGoneTool";
  const std::wstring kAppPath =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\gonetool.exe";
  const std::wstring kFileExt =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.kestrovagone";
  const std::wstring FJunk = TempFolder() + L"kestrova-gone-setup.tmp";
  bool FHadDelay = false;
  bool FHadTypedPaths = false;
  std::wstring FDelay;
};

TEST_F(TopicDbDemoScan, FindsWhatAnUninstalledProgramLeftInEveryCategory) {
  SetString(HKEY_LOCAL_MACHINE, kUninstall, L"DisplayName", L"Kestrova Gone Tool 1.0");
  SetString(HKEY_LOCAL_MACHINE, kUninstall, L"UninstallString",
            L"C:\\Program Files\\KestrovaGoneTool\\uninstall.cmd");
  SetString(HKEY_LOCAL_MACHINE, kAppPath, L"", kGoneTool);
  SetString(HKEY_CURRENT_USER, kRun, L"KestrovaGoneTool", L"\"" + kGoneTool + L"\" /tray");
  SetString(HKEY_CLASSES_ROOT, L"CLSID\\" + kGuid, L"", L"Gone Tool Viewer");
  SetString(HKEY_CLASSES_ROOT, L"CLSID\\" + kGuid + L"\\TypeLib", L"", kMissingTypeLib);
  MakeKey(HKEY_CURRENT_USER, kFileExt);
  SetString(HKEY_CURRENT_USER, kTypedPaths, L"url99", L"C:\\KestrovaGoneTool");
  SetString(HKEY_CURRENT_USER, kDesktop, L"MenuShowDelay", L"400");
  const HANDLE junk =
      CreateFileW(FJunk.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(junk, INVALID_HANDLE_VALUE);
  // Written nine days ago: a temporary file of the last day may still belong to a running setup.
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER written;
  written.LowPart = now.dwLowDateTime;
  written.HighPart = now.dwHighDateTime;
  written.QuadPart -= 9ULL * 24 * 3600 * 10000000;
  const FILETIME lastWrite{written.LowPart, written.HighPart};
  EXPECT_TRUE(SetFileTime(junk, nullptr, nullptr, &lastWrite));
  CloseHandle(junk);

  std::set<std::wstring> topics;
  for (const TFigScanedItem& item : ScanAll()) {
    const std::wstring place = item.ScanedPath + L"|" + item.ScanedSection + L"|" + item.ScanedName;
    if (place.find(L"KestrovaGone") != std::wstring::npos ||
        place.find(L"kestrova-gone") != std::wstring::npos ||
        place.find(L"gonetool") != std::wstring::npos || place.find(kGuid) != std::wstring::npos ||
        place.find(L"kestrovagone") != std::wstring::npos ||
        (item.TopicName == L"MenuShowDelay" &&
         item.ScanedName.find(L"\"200\"") != std::wstring::npos) ||
        item.TopicName == L"TypedPaths") {
      topics.insert(item.TopicName);
    }
  }
  // Where the system shares the application paths of both views, the 32-bit topic finds the
  // entry as well.
  topics.erase(L"AppPaths32");
  EXPECT_EQ(topics, (std::set<std::wstring>{L"UninstallEntries", L"AppPaths", L"StartupUserRun",
                                            L"ActiveXClasses", L"FileTypes", L"TypedPaths",
                                            L"UserTemp", L"MenuShowDelay"}));
}

} // namespace
