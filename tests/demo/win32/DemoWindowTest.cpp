// Kestrova.exe on the demo machine (a Wine prefix that tests/demo/demo-window-test seeds with the
// leftovers of an uninstalled program), driven from outside its process as a person would: the
// window is found by its class, its controls by class and text, and they are clicked with the
// messages a click sends. Every wait is for something the window shows, within a limit. A
// screenshot of each state and of the result dialog goes to the screenshots folder.

#include "support/win32/TestProcess.h"
#include "support/win32/WinScreenshot.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"TfrmMain";
constexpr wchar_t kResultClass[] = L"TfrmScanedResult";
constexpr wchar_t kDialogClass[] = L"#32770";
// The scan and the repair keep a pace of their own (some 20 and 12 seconds) and Wine is slow to
// start a program: generous limits, which only a fault reaches.
constexpr DWORD kLimitMs = 180000;

std::wstring BinFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring ClassOf(HWND aWindow) {
  wchar_t name[128] = {};
  ::GetClassNameW(aWindow, name, 128);
  return name;
}

// The window's text as the window itself answers it, also across processes.
std::wstring TextOf(HWND aWindow) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(aWindow, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
    return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(aWindow, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 2000,
                             &copied))
    return L"";
  text.resize(copied);
  return text;
}

// The text without its accelerator marks ("&Yes" reads "Yes").
std::wstring Plain(const std::wstring& aText) {
  std::wstring plain;
  for (wchar_t c : aText) {
    if (c != L'&')
      plain += c;
  }
  return plain;
}

std::vector<HWND> Descendants(HWND aParent) {
  std::vector<HWND> found;
  ::EnumChildWindows(
      aParent,
      [](HWND aWindow, LPARAM aList) {
        reinterpret_cast<std::vector<HWND>*>(aList)->push_back(aWindow);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The first visible descendant of aParent of the class whose text is aText (accelerator marks
// aside); nullptr when there is none.
HWND FindControl(HWND aParent, const wchar_t* aClass, const std::wstring& aText) {
  for (HWND child : Descendants(aParent)) {
    if (::IsWindowVisible(child) && ClassOf(child) == aClass && Plain(TextOf(child)) == aText)
      return child;
  }
  return nullptr;
}

bool HasText(HWND aParent, const std::wstring& aPart) {
  for (HWND child : Descendants(aParent)) {
    if (::IsWindowVisible(child) && TextOf(child).find(aPart) != std::wstring::npos)
      return true;
  }
  return false;
}

// A visible top-level window of the process with the class; nullptr when there is none.
HWND FindTopWindow(DWORD aProcessId, const wchar_t* aClass) {
  struct TSearch {
    DWORD ProcessId;
    const wchar_t* Class;
    HWND Found;
  } search{aProcessId, aClass, nullptr};
  ::EnumWindows(
      [](HWND aWindow, LPARAM aSearch) {
        auto& self = *reinterpret_cast<TSearch*>(aSearch);
        DWORD process = 0;
        ::GetWindowThreadProcessId(aWindow, &process);
        if (process != self.ProcessId || !::IsWindowVisible(aWindow) ||
            ClassOf(aWindow) != self.Class)
          return TRUE;
        self.Found = aWindow;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

bool WaitFor(const std::function<bool()>& aDone) {
  return ktest::win32::PumpUntil(aDone, kLimitMs);
}

// A click as the button hears it from the mouse; posted, so that a modal window it opens does
// not hold the test.
void Click(HWND aButton) {
  ASSERT_NE(aButton, nullptr);
  ::PostMessageW(aButton, BM_CLICK, 0, 0);
}

// Presses and releases the left mouse button over the start of a link's text.
void ClickLink(HWND aLink) {
  ASSERT_NE(aLink, nullptr);
  const LPARAM point = MAKELPARAM(6, 8);
  ::PostMessageW(aLink, WM_LBUTTONDOWN, MK_LBUTTON, point);
  ::PostMessageW(aLink, WM_LBUTTONUP, 0, point);
}

// Brings the window to the front, lets it paint and saves it.
void Shoot(HWND aWindow, const wchar_t* aName) {
  ::SetForegroundWindow(aWindow);
  ::RedrawWindow(aWindow, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  // The other process paints when it next serves its messages; a message that it answers
  // only after serving those before it marks that moment.
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(aWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
  EXPECT_TRUE(ktest::win32::SaveWindowPng(aWindow, ktest::win32::ScreenshotPath(aName))) << aName;
}

bool KeyExists(HKEY aRoot, const wchar_t* aPath) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(aRoot, aPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

bool ValueExists(HKEY aRoot, const wchar_t* aPath, const wchar_t* aName) {
  return ::RegGetValueW(aRoot, aPath, aName, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

bool FileExists(const wchar_t* aPath) {
  return ::GetFileAttributesW(aPath) != INVALID_FILE_ATTRIBUTES;
}

constexpr wchar_t kAppPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\photodesk.exe";
constexpr wchar_t kUninstall[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ContosoPhotoDesk";
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr wchar_t kSharedDll[] = L"C:\\Program Files\\Common Files\\Contoso\\pdimage.dll";
constexpr wchar_t kJunkFile[] = L"C:\\windows\\Temp\\cab_2280_3.tmp";

class DemoMachine : public ::testing::Test {
protected:
  ~DemoMachine() override {
    // Whatever is left of the program: closed by its own switch, else ended.
    if (FProcess.hProcess == nullptr)
      return;
    if (::WaitForSingleObject(FProcess.hProcess, 0) != WAIT_OBJECT_0)
      ::TerminateProcess(FProcess.hProcess, 1);
    ::WaitForSingleObject(FProcess.hProcess, 10000);
    ::CloseHandle(FProcess.hProcess);
    ::CloseHandle(FProcess.hThread);
  }

  // Starts Kestrova.exe beside the test program; "runas" first, as the elevated start has it.
  bool Start(const std::wstring& aArguments, PROCESS_INFORMATION& aProcess) {
    const std::wstring folder = BinFolder();
    return ktest::win32::StartProcess(L"\"" + folder + L"Kestrova.exe\" runas " + aArguments,
                                      aProcess, {.Folder = folder.c_str()});
  }

  PROCESS_INFORMATION FProcess{};
};

TEST_F(DemoMachine, ScanAndRepairThroughTheRealWindow) {
  if (::GetEnvironmentVariableW(L"KESTROVA_DEMO_MACHINE", nullptr, 0) == 0)
    GTEST_SKIP() << "only on the demo machine that tests/demo/demo-window-test prepares";
  ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
  ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstall));
  ASSERT_TRUE(ValueExists(HKEY_CURRENT_USER, kRun, L"PhotoDeskTray"));
  ASSERT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kSharedDlls, kSharedDll));
  ASSERT_TRUE(FileExists(kJunkFile));

  // Started as the log-on entry starts it, so that it does not scan by itself: the window shows,
  // goes to the tray after the launch delay, and comes back as a second start brings it.
  ASSERT_TRUE(Start(L"ministart", FProcess));
  const DWORD id = FProcess.dwProcessId;
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = FindTopWindow(id, kMainClass)) != nullptr; }));
  ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(main); }));
  PROCESS_INFORMATION second{};
  ASSERT_TRUE(Start(L"", second));
  EXPECT_EQ(::WaitForSingleObject(second.hProcess, kLimitMs), WAIT_OBJECT_0);
  ::CloseHandle(second.hProcess);
  ::CloseHandle(second.hThread);
  ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(main) != FALSE; }));
  // A window of one size: no maximise box, no sizing frame.
  const LONG_PTR style = ::GetWindowLongPtrW(main, GWL_STYLE);
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);

  // Ready, on the maintenance page.
  Click(FindControl(main, L"Button", L"Advanced"));
  ASSERT_TRUE(WaitFor([&] { return HasText(main, L"Windows Maintenance"); }));
  ASSERT_TRUE(WaitFor([&] { return FindControl(main, L"Static", L"Ready") != nullptr; }));
  Shoot(main, L"demo-ready");

  // Scanning: only Stop is offered.
  Click(FindControl(main, L"Button", L"Scan!"));
  ASSERT_TRUE(WaitFor([&] { return FindControl(main, L"Button", L"Stop") != nullptr; }));
  EXPECT_EQ(FindControl(main, L"Button", L"Scan!"), nullptr);
  ASSERT_TRUE(WaitFor([&] { return HasText(main, L"Scanning..."); }));
  Shoot(main, L"demo-scanning");

  // The end of the scan asks whether to repair at once; the answer is No, to review first.
  HWND question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (question = FindTopWindow(id, kDialogClass)) != nullptr; }));
  ASSERT_TRUE(WaitFor([&] { return FindControl(question, L"Button", L"No") != nullptr; }));
  EXPECT_TRUE(HasText(question, L"Do you want to cure these right now?"));
  Shoot(question, L"demo-cure-question");
  Click(FindControl(question, L"Button", L"No"));

  // Results: Cure is offered and each category links to its findings.
  ASSERT_TRUE(WaitFor([&] { return FindControl(main, L"Button", L"Cure") != nullptr; }));
  HWND registryLink = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND child : Descendants(main)) {
      if (::IsWindowVisible(child) && ClassOf(child) == L"SysLink" &&
          TextOf(child).find(L"problem(s).") != std::wstring::npos)
        return (registryLink = child) != nullptr;
    }
    return false;
  }));
  Shoot(main, L"demo-results");

  // The first category's findings in the result dialog, accepted as they are.
  ClickLink(registryLink);
  HWND results = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (results = FindTopWindow(id, kResultClass)) != nullptr; }));
  HWND list = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND child : Descendants(results)) {
      if (ClassOf(child) == L"SysListView32" && ::SendMessageW(child, LVM_GETITEMCOUNT, 0, 0) > 0)
        return (list = child) != nullptr;
    }
    return false;
  }));
  EXPECT_TRUE(HasText(results, L"Registry Clean"));
  Shoot(results, L"demo-result-list");
  Click(FindControl(results, L"Button", L"OK"));
  ASSERT_TRUE(WaitFor([&] { return FindTopWindow(id, kResultClass) == nullptr; }));

  // Repairing, then Ready again. What the sweep helper empties cannot come back, and the
  // question before the repair says so.
  Click(FindControl(main, L"Button", L"Cure"));
  ASSERT_TRUE(WaitFor([&] { return (question = FindTopWindow(id, kDialogClass)) != nullptr; }));
  ASSERT_TRUE(WaitFor([&] { return FindControl(question, L"Button", L"Yes") != nullptr; }));
  EXPECT_TRUE(HasText(question, L"Do you want to go on?"));
  Shoot(question, L"demo-undo-question");
  Click(FindControl(question, L"Button", L"Yes"));
  ASSERT_TRUE(WaitFor([&] { return FindControl(main, L"Button", L"Stop") != nullptr; }));
  ASSERT_TRUE(WaitFor([&] { return HasText(main, L"]....."); }));
  Shoot(main, L"demo-repairing");
  ASSERT_TRUE(WaitFor([&] {
    return FindControl(main, L"Button", L"Scan!") != nullptr &&
           FindControl(main, L"Static", L"Ready") != nullptr;
  }));
  EXPECT_TRUE(HasText(main, L"Fixed.") || HasText(main, L"No problem."));
  Shoot(main, L"demo-repaired");

  // The leftovers are gone.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kAppPath));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstall));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, L"PhotoDeskTray"));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kSharedDlls, kSharedDll));
  EXPECT_FALSE(FileExists(kJunkFile));

  // Tell a Friend hands a new mail to the system's mail interface (Wine's passes it on to the
  // desktop without a dialog); the click's handler returns and the window goes on.
  HWND friendLink = nullptr;
  for (HWND child : Descendants(main)) {
    if (ClassOf(child) == L"SysLink" && TextOf(child).find(L"Tell a Friend") != std::wstring::npos)
      friendLink = child;
  }
  ASSERT_NE(friendLink, nullptr);
  const LPARAM point = MAKELPARAM(6, 8);
  DWORD_PTR ignored = 0;
  EXPECT_NE(::SendMessageTimeoutW(friendLink, WM_LBUTTONDOWN, MK_LBUTTON, point, SMTO_ABORTIFHUNG,
                                  kLimitMs, &ignored),
            0);
  EXPECT_NE(::SendMessageTimeoutW(friendLink, WM_LBUTTONUP, 0, point, SMTO_ABORTIFHUNG, kLimitMs,
                                  &ignored),
            0);
  EXPECT_EQ(::WaitForSingleObject(FProcess.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(::IsWindowVisible(main));

  // The close button puts the window in the tray; the program goes on until it is told to end.
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(main); }));
  EXPECT_EQ(::WaitForSingleObject(FProcess.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  PROCESS_INFORMATION closer{};
  ASSERT_TRUE(Start(L"-s", closer));
  ::WaitForSingleObject(closer.hProcess, kLimitMs);
  ::CloseHandle(closer.hProcess);
  ::CloseHandle(closer.hThread);
  EXPECT_TRUE(
      WaitFor([&] { return ::WaitForSingleObject(FProcess.hProcess, 0) == WAIT_OBJECT_0; }));
}

} // namespace
