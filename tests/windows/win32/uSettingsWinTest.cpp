// The settings window on the real system, over the shipped topics: OK writes and removes the
// log-on sweep's Run entry as the system's own registry tool reads it, and every page is shown.
#include "windows/uSettings.h"

#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "engine/FigEngine.h"
#include "engine/FigExclusions.h"
#include "platform/TextCodec.h"
#include "support/ProgramFolder.h"
#include "support/win32/TestProcess.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinWindowTest.h"
#include "windows/uSchedule.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using ktest::win32::Click;

// What "reg query" prints about the Run key; the registry tool's exit code in aExitCode.
std::string QueryRunKey(DWORD& aExitCode) {
  const std::wstring outFile = ktest::win32::TempFolder() + L"kestrova-reg-query.txt";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE out = ::CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return "<no output file>";
  PROCESS_INFORMATION process{};
  const bool started =
      ktest::win32::StartProcess(L"reg query \"HKCU\\" + std::wstring(kRunKey) + L"\"", process,
                                 {.Flags = CREATE_NO_WINDOW, .Output = out, .Errors = out});
  ::CloseHandle(out);
  if (!started)
    return "<reg not started>";
  const bool ended = ::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  aExitCode = 99;
  ::GetExitCodeProcess(process.hProcess, &aExitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (!ended)
    return "<reg did not end>";
  std::ifstream file(std::filesystem::path(outFile), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  file.close();
  ::DeleteFileW(outFile.c_str());
  // The tool writes ANSI text, or UTF-16 on some systems; the texts looked for are ASCII.
  std::erase(text, '\0');
  return text;
}

// The centre of an item's check box: the state icon left of its text; x is -1 when none is found.
POINT CheckBoxOf(HWND aTree, HTREEITEM aItem) {
  // The message takes the item in the rectangle it fills.
  RECT text{};
  std::memcpy(&text, &aItem, sizeof(aItem));
  POINT box{-1, -1};
  if (!::SendMessageW(aTree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&text)))
    return box;
  box.y = (text.top + text.bottom) / 2;
  for (int x = 0; x < text.left && box.x < 0; ++x) {
    TVHITTESTINFO hit{};
    hit.pt = {x, box.y};
    ::SendMessageW(aTree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.hItem == aItem && (hit.flags & TVHT_ONITEMSTATEICON) != 0)
      box.x = x + 4;
  }
  return box;
}

// The user's left click at a point of a control of the form; the number of inputs sent.
UINT ClickAt(TForm& aForm, HWND aControl, POINT aPoint) {
  ::ClientToScreen(aControl, &aPoint);
  ::SetForegroundWindow(FormWindow(aForm));
  ::SetCursorPos(aPoint.x, aPoint.y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return ::SendInput(2, input, sizeof(INPUT));
}

HTREEITEM NextItem(HWND aTree, UINT aWhich, HTREEITEM aItem) {
  return reinterpret_cast<HTREEITEM>(
      ::SendMessageW(aTree, TVM_GETNEXTITEM, aWhich, reinterpret_cast<LPARAM>(aItem)));
}

class SettingsWin : public WinEngineWindowTest {
protected:
  SettingsWin() { EXPECT_TRUE(FFigEngine.LoadTopics(GetAppPath() + L"data\\topic.db")); }
  ~SettingsWin() override {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, RunEntryName().c_str());
  }

  // Opens the window, sets the two ticks that decide the Run entry as the user clicks them and
  // presses OK.
  void ChooseLogOnSweep(bool aSweep) {
    TfrmSettings window(nullptr, FFigEngine);
    window.ShowForm();
    window.SetPage(0);
    if (window.cbStartup->Checked())
      Click(*window.cbStartup);
    window.SetPage(15);
    if (window.cbASWLogin->Checked() != aSweep)
      Click(*window.cbASWLogin);
    EXPECT_EQ(window.cbASWLogin->Checked(), aSweep);
    Click(*window.btnOk);
    EXPECT_EQ(GetCLSettings().GetSettingBool(L"AutoSweep.Login"), aSweep);
  }

  TFigEngine FFigEngine;
};

TEST_F(SettingsWin, OkWritesAndRemovesTheLogOnSweepRunEntry) {
  const std::string name = kplat::ToUtf8(RunEntryName());
  ASSERT_FALSE(name.empty());
  std::string data = "\"";
  data += kplat::ToUtf8(FPlatform.System().GetProgramPath());
  data += "\" AutoSweep";

  ChooseLogOnSweep(true);
  DWORD exitCode = 99;
  std::string listing = QueryRunKey(exitCode);
  EXPECT_EQ(exitCode, 0u) << listing;
  const size_t line = listing.find(name);
  ASSERT_NE(line, std::string::npos) << listing;
  const std::string entry = listing.substr(line, listing.find_first_of("\r\n", line) - line);
  EXPECT_NE(entry.find("REG_SZ"), std::string::npos) << entry;
  EXPECT_EQ(entry.substr(entry.size() - std::min(entry.size(), data.size())), data) << entry;

  ChooseLogOnSweep(false);
  listing = QueryRunKey(exitCode);
  EXPECT_EQ(listing.find(name), std::string::npos) << listing;
  EXPECT_EQ(listing.find("AutoSweep"), std::string::npos) << listing;
}

TEST_F(SettingsWin, EveryPageOnScreen) {
  TfrmSettings window(nullptr, FFigEngine);
  window.ShowForm();
  HWND form = FormWindow(window);
  ASSERT_NE(form, nullptr);
  // The optimisation page shows the selected change's documentation.
  ASSERT_GT(window.tvSOTopics->Items().Count(), 0);
  window.tvSOTopics->SetSelected(&window.tvSOTopics->Items().Root(0));
  EXPECT_TRUE(window.llSOReference->Visible());
  for (int page : {0, 2, 3, 4, 5, 10, 11, 12, 13, 14, 15}) {
    window.SetPage(page);
    EXPECT_EQ(window.Page(), page);
    ktest::win32::Shoot(form, (L"settings-" + std::to_wstring(page)).c_str());
  }
  // The shipped topics fill the lists of the three scan pages.
  EXPECT_GT(window.lbRegistryFixList->Items().Count(), 0);
  EXPECT_GT(window.tvPSList->Items().Count(), 0);
  EXPECT_GT(window.lbJunkFiles->Items().Count(), 0);
}

TEST_F(SettingsWin, ClickingAPrivacyRootsBoxGivesItsChildrenItsNewTick) {
  TfrmSettings window(nullptr, FFigEngine);
  window.ShowForm();
  window.SetPage(11);
  ASSERT_GT(window.tvPSList->Items().RootCount(), 0);
  TTreeNode& root = window.tvPSList->Items().Root(0);
  ASSERT_GT(root.Count(), 0);
  HWND tree = ControlWindow(*window.tvPSList);
  ASSERT_NE(tree, nullptr);
  const HTREEITEM item = NextItem(tree, TVGN_ROOT, nullptr);
  ASSERT_NE(item, nullptr);
  const POINT box = CheckBoxOf(tree, item);
  ASSERT_GE(box.x, 0);
  const auto clickAt = [&window, tree](POINT aPoint) { return ClickAt(window, tree, aPoint); };
  RECT client{};
  ::GetClientRect(tree, &client);
  for (int click = 0; click < 2; ++click) {
    if (click > 0) {
      // A click on the empty end of the tree first, so that the next is no double click.
      ASSERT_EQ(clickAt({box.x, client.bottom - 4}), 2u);
      ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);
    }
    const bool before = root.Checked();
    ASSERT_EQ(clickAt(box), 2u);
    ASSERT_TRUE(ktest::win32::PumpUntil([&] { return root.Checked() != before; }, 5000))
        << "click " << click;
    // Whatever the window system sends after the click has arrived too.
    ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);
    EXPECT_EQ(root.Checked(), !before);
    for (int c = 0; c < root.Count(); ++c)
      EXPECT_EQ(root.Item(c).Checked(), root.Checked()) << "click " << click << ", child " << c;
    // The boxes on screen say the same.
    auto child = reinterpret_cast<HTREEITEM>(
        ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    for (int c = 0; child != nullptr; ++c) {
      TVITEMW shown{};
      shown.mask = TVIF_STATE | TVIF_HANDLE;
      shown.stateMask = TVIS_STATEIMAGEMASK;
      shown.hItem = child;
      ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&shown));
      EXPECT_EQ(shown.state & TVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(root.Checked() ? 2 : 1))
          << "click " << click << ", child " << c;
      child = reinterpret_cast<HTREEITEM>(
          ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
    }
  }
}

TEST_F(SettingsWin, TheCommunityRulesEntriesAreTickedOnScreenAfterTheirWarning) {
  const std::wstring rules = ktest::win32::TempFolder() + L"kestrova-winapp2-settings.ini";
  {
    std::ofstream file(std::filesystem::path(rules), std::ios::binary);
    file << "; Version: 990103\r\n\r\n"
            "[Kestrova Test Cache *]\r\nSection=Kestrova Tests\r\n"
            "Warning=This entry also removes the test's saved layouts.\r\n"
            "FileKey1=%Temp%\\KestrovaWinapp2Settings|*.tmp\r\n\r\n"
            "[Kestrova Test Keys *]\r\nLangSecRef=3024\r\n"
            "RegKey1=HKCU\\Software\\KestrovaWinapp2Settings\r\n";
  }
  GetCLSettings().SetSettingstring(L"Winapp2.File", rules);
  TfrmSettings window(nullptr, FFigEngine);
  window.ShowForm();
  window.SetPage(11);
  window.tvPSList->FullExpand();
  ktest::win32::Paint(FormWindow(window));
  EXPECT_EQ(window.lblWinapp2Info->Caption(),
            L"Version 990103: 2 entries, 2 of them for this computer.");
  TTreeNodes& nodes = window.tvPSList->Items();
  TTreeNode& applications = nodes.Root(nodes.RootCount() - 1);
  ASSERT_EQ(applications.Text(), L"Applications");
  ASSERT_EQ(applications.Count(), 2);
  TTreeNode& entry = applications.Item(0).Item(0);
  ASSERT_EQ(entry.Text(), L"Kestrova Test Cache");
  EXPECT_FALSE(entry.Checked());

  HWND tree = ControlWindow(*window.tvPSList);
  HTREEITEM item = NextItem(tree, TVGN_ROOT, nullptr);
  while (NextItem(tree, TVGN_NEXT, item) != nullptr)
    item = NextItem(tree, TVGN_NEXT, item);
  item = NextItem(tree, TVGN_CHILD, NextItem(tree, TVGN_CHILD, item));
  ASSERT_NE(item, nullptr);
  const POINT box = CheckBoxOf(tree, item);
  ASSERT_GE(box.x, 0);
  FBox.Answers = {mr::Yes};
  ASSERT_EQ(ClickAt(window, tree, box), 2u);
  ASSERT_TRUE(ktest::win32::PumpUntil([&] { return entry.Checked(); }, 5000));
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);
  ASSERT_EQ(FBox.Texts.size(), 1u);
  EXPECT_NE(FBox.Texts[0].find(L"saved layouts"), std::wstring::npos) << FBox.Texts[0];
  EXPECT_TRUE(applications.Item(0).Checked());
  ktest::win32::Shoot(FormWindow(window), L"settings-applications");
  Click(*window.btnOk);
  EXPECT_TRUE(GetCLSettings().GetSettingBool(L"PrivacySweep.Kestrova Test Cache"));
  ::DeleteFileW(rules.c_str());
}

} // namespace

TEST_F(SettingsWin, EveryFormOfExclusionIsTypedAddedAndStored) {
  const std::wstring file = ExclusionsFileIn(GetCLSettings().UserDataPath());
  ::DeleteFileW(file.c_str());
  const std::vector<std::wstring> places = {L"HKEY_CURRENT_USER\\Software\\Example",
                                            L"HKEY_CURRENT_USER\\Software\\Example|Last",
                                            L"HKEY_CURRENT_USER\\Software\\Example|@",
                                            L"C:\\Some\\Folder",
                                            L"C:\\Some\\File.txt",
                                            L"%LocalAppData%\\Game\\*.log"};
  {
    TfrmSettings window(nullptr, FFigEngine);
    window.ShowForm();
    window.SetPage(4);
    HWND edit = ControlWindow(*window.edtExclusion);
    ASSERT_NE(edit, nullptr);
    for (const std::wstring& place : places) {
      // Typed into the edit on screen, then added with the button.
      ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(place.c_str()));
      Click(*window.btnExclusionAdd);
    }
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"HKCU\\Software"));
    Click(*window.btnExclusionAdd);
    EXPECT_NE(window.lblExclusionsProblem->Caption().find(L"cannot be excluded"),
              std::wstring::npos);
    HWND tree = ControlWindow(*window.tvExclusions);
    EXPECT_EQ(::SendMessageW(tree, TVM_GETCOUNT, 0, 0), static_cast<LRESULT>(places.size()));
    ktest::win32::Shoot(FormWindow(window), L"settings-exclusions");
    Click(*window.btnOk);
  }
  TFigExclusions stored;
  ASSERT_TRUE(stored.Load(file));
  ASSERT_EQ(stored.Count(), static_cast<int>(places.size()));
  for (size_t i = 0; i < places.size(); ++i)
    EXPECT_EQ(stored.Items()[i].Place, places[i]);
  ::DeleteFileW(file.c_str());
}
