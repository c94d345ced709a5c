#include "base/win32/CLHelpersWin.h"

#include "platform/fake/FakeMachine.h"
#include "support/win32/TestProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kChildMutexVariable[] = L"KESTROVA_TEST_MUTEX_CHILD";
constexpr DWORD kChildRefused = 10;
constexpr DWORD kChildCreated = 11;

// When this program is started as the child of the mutex test, it only tries the mutex named in
// the environment and reports the outcome as its exit code, before any test runs.
const bool GChildRoutine = [] {
  wchar_t name[256] = {};
  if (GetEnvironmentVariableW(kChildMutexVariable, name, 256) == 0) {
    return false;
  }
  ExitProcess(CreateSingleInstanceMutex(name) ? kChildCreated : kChildRefused);
}();

// Runs this test program as a child that tries the mutex aName; its exit code, or 0 on failure.
DWORD RunMutexChild(const std::wstring& aName) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=-*";
  SetEnvironmentVariableW(kChildMutexVariable, aName.c_str());
  PROCESS_INFORMATION process{};
  const bool started = ktest::win32::StartProcess(commandLine, process);
  SetEnvironmentVariableW(kChildMutexVariable, nullptr);
  if (!started) {
    return 0;
  }
  DWORD exitCode = 0;
  if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &exitCode);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

std::wstring UniqueMutexName(const wchar_t* aSuffix) {
  return L"Local\\KestrovaHelpersTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + aSuffix;
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// A plain top-level window of this thread, destroyed with the object.
class TTestWindow {
public:
  explicit TTestWindow(int aLeft) {
    static const ATOM kClass = [] {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = DefWindowProcW;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = L"KestrovaHelpersTestWindow";
      return RegisterClassW(&windowClass);
    }();
    FWindow = CreateWindowExW(0, MAKEINTATOM(kClass), L"Kestrova test", WS_OVERLAPPEDWINDOW, aLeft,
                              100, 320, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(FWindow, SW_SHOWNORMAL);
    PumpMessages();
  }
  ~TTestWindow() { DestroyWindow(FWindow); }
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;
  HWND Handle() const { return FWindow; }

private:
  HWND FWindow = nullptr;
};

struct TShownBox {
  std::wstring Text;
  std::wstring Caption;
  UINT Type = 0;
  int Count = 0;
};
TShownBox GShownBox;

int RecordBox(HWND, const std::wstring& aText, const std::wstring& aCaption, UINT aType) {
  GShownBox.Text = aText;
  GShownBox.Caption = aCaption;
  GShownBox.Type = aType;
  ++GShownBox.Count;
  return IDOK;
}

} // namespace

TEST(CLHelpersWin, SingleInstanceMutexIsHeldAcrossProcesses) {
  ASSERT_FALSE(GChildRoutine);
  const std::wstring held = UniqueMutexName(L"held");
  ASSERT_TRUE(CreateSingleInstanceMutex(held));
  EXPECT_FALSE(CreateSingleInstanceMutex(held));
  // The handle was kept: the mutex still exists after the call returned.
  HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, held.c_str());
  EXPECT_NE(opened, nullptr);
  CloseHandle(opened);
  EXPECT_EQ(RunMutexChild(held), kChildRefused);

  // A mutex the child created ends with the child.
  const std::wstring childs = UniqueMutexName(L"child");
  EXPECT_EQ(RunMutexChild(childs), kChildCreated);
  EXPECT_TRUE(CreateSingleInstanceMutex(childs));
}

TEST(CLHelpersWin, TopMostChangesTheBandOnly) {
  TTestWindow window(100);
  RECT before{};
  GetWindowRect(window.Handle(), &before);
  ASSERT_TRUE(SetWindowTopMost(window.Handle(), true));
  EXPECT_NE(GetWindowLongPtrW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT after{};
  GetWindowRect(window.Handle(), &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  ASSERT_TRUE(SetWindowTopMost(window.Handle(), false));
  EXPECT_EQ(GetWindowLongPtrW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST(CLHelpersWin, ForceForegroundRestoresAndActivates) {
  TTestWindow first(100);
  TTestWindow second(500);
  ShowWindow(first.Handle(), SW_MINIMIZE);
  SetForegroundWindow(second.Handle());
  PumpMessages();
  ASSERT_TRUE(IsIconic(first.Handle()));

  EXPECT_TRUE(ForceForegroundWindow(first.Handle()));
  PumpMessages();
  EXPECT_FALSE(IsIconic(first.Handle()));
  EXPECT_TRUE(IsWindowVisible(first.Handle()));
  EXPECT_EQ(GetForegroundWindow(), first.Handle());
  // Already in front: nothing more to do.
  EXPECT_TRUE(ForceForegroundWindow(first.Handle()));
}

TEST(CLHelpersWin, MailWithoutAnnouncedLibraryTellsTheUser) {
  kplat::fake::TFakeMachineScope scope;
  const TMailMessageBox previous = SetMailMessageBox(RecordBox);
  GShownBox = {};
  TTestWindow window(100);
  const ULONG result =
      SendMailByMAPI(window.Handle(), {{L"to", L"friend@example.com"}, {L"subject", L"Hi"}});
  SetMailMessageBox(previous);
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(GShownBox.Count, 1);
  EXPECT_EQ(GShownBox.Caption, L"Email");
  EXPECT_EQ(GShownBox.Text,
            L"There is no email program associated to perform this operation, or the email "
            L"account setup isn't completed. Please install an email program or complete the "
            L"email account creation first and try again.");
  EXPECT_EQ(GShownBox.Type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_TRUE(IsWindowEnabled(window.Handle()));
  // Without the announcement the mail library is not even loaded.
  EXPECT_EQ(GetModuleHandleW(L"MAPI32.DLL"), nullptr);
}
