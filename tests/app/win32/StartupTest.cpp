// Start-up on the real window system, with real processes: startprobe.exe (the window program's
// start-up around a main form that only carries the engine) beside the test program. The
// running instance is either another startprobe.exe or a window of the same class made here,
// which answers as a running instance would and notes what it is asked. What a process does
// inside is read from the debug channel, as a debug viewer reads it.

#include "platform/TextCodec.h"
#include "support/win32/DebugViewer.h"
#include "support/win32/TestProcess.h"
#include "support/win32/WinScreenshot.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kProbeClass[] = L"TfrmStartProbe";
constexpr wchar_t kMainClass[] = L"TfrmMain";
constexpr DWORD kLimitMs = 30000;

std::wstring ConstSetting(const wchar_t* aName) {
  wchar_t value[256] = {};
  GetPrivateProfileStringW(L"setting", aName, L"", value, 256,
                           (ktest::win32::ProgramFolder() + L"const.dat").c_str());
  return value;
}

class Startup : public ::testing::Test {
protected:
  ~Startup() override {
    // Whatever is left of the probes, also those the elevation step started.
    for (HANDLE process : FProcesses) {
      if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
      }
      CloseHandle(process);
    }
    for (const wchar_t* windowClass : {kProbeClass, kMainClass}) {
      for (HWND window = FindWindowW(windowClass, nullptr); window != nullptr;
           window = FindWindowExW(nullptr, window, windowClass, nullptr)) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (id == GetCurrentProcessId()) {
          continue;
        }
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
          TerminateProcess(process, 1);
          WaitForSingleObject(process, 5000);
          CloseHandle(process);
        }
      }
    }
  }

  // Starts the program beside the test program with the arguments; its process, or nullptr.
  HANDLE StartProbe(const std::wstring& aArguments, DWORD* aProcessId = nullptr,
                    const wchar_t* aProgram = L"startprobe.exe") {
    PROCESS_INFORMATION process{};
    const std::wstring folder = ktest::win32::ProgramFolder();
    if (!ktest::win32::StartProcess(L"\"" + folder + aProgram + L"\" " + aArguments, process,
                                    {.Folder = folder.c_str()})) {
      ADD_FAILURE() << kplat::ToUtf8(aProgram) << " is not beside the test program";
      return nullptr;
    }
    CloseHandle(process.hThread);
    FProcesses.push_back(process.hProcess);
    if (aProcessId != nullptr) {
      *aProcessId = process.dwProcessId;
    }
    return process.hProcess;
  }

  // The exit code once the process has ended, serving this thread's windows meanwhile; -1 when
  // it did not end in time.
  static long ExitCodeOf(HANDLE aProcess) {
    DWORD code = 0;
    if (aProcess == nullptr ||
        !ktest::win32::PumpUntil(
            [aProcess] { return WaitForSingleObject(aProcess, 0) == WAIT_OBJECT_0; }, kLimitMs) ||
        !GetExitCodeProcess(aProcess, &code)) {
      return -1;
    }
    return static_cast<long>(code);
  }

  static intptr_t Ask(HWND aWindow, const wchar_t* aMessage) {
    DWORD_PTR reply = 0;
    if (SendMessageTimeoutW(aWindow, RegisterWindowMessageW(aMessage), 0, 0, SMTO_ABORTIFHUNG, 2000,
                            &reply) == 0) {
      return -1;
    }
    return static_cast<intptr_t>(reply);
  }

  std::vector<HANDLE> FProcesses;
};

// A window of the probe's class in this process, answering as the running instance.
struct TFakeInstance {
  static inline TFakeInstance* Current = nullptr;
  intptr_t Busy = 1;
  std::vector<std::wstring> Asked;
  std::vector<std::wstring> CopyData;
  HWND Window = nullptr;

  static LRESULT CALLBACK Proc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
    TFakeInstance& self = *Current;
    for (const wchar_t* name : {L"CL GetAppID", L"CL IfBusy", L"CL BringtoFront"}) {
      if (aMsg == RegisterWindowMessageW(name)) {
        self.Asked.emplace_back(name);
        if (aMsg == RegisterWindowMessageW(L"CL GetAppID")) {
          return _wtoi(ConstSetting(L"App.ID").c_str());
        }
        return aMsg == RegisterWindowMessageW(L"CL IfBusy") ? self.Busy : 0;
      }
    }
    if (aMsg == WM_COPYDATA) {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(aLParam);
      if (copy->dwData == 0) {
        self.CopyData.push_back(
            kplat::DecodeUtf16Le(static_cast<const uint8_t*>(copy->lpData), copy->cbData));
      }
      return 0;
    }
    return DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  }
};

} // namespace

TEST_F(Startup, SecondInstanceLeavesAStartingOneAloneAndHandsOverTheWholeArgument) {
  TFakeInstance instance;
  TFakeInstance::Current = &instance;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = TFakeInstance::Proc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kProbeClass;
  ASSERT_NE(RegisterClassW(&windowClass), 0);
  instance.Window = CreateWindowExW(0, kProbeClass, L"Running", WS_OVERLAPPEDWINDOW, 50, 50, 300,
                                    200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(instance.Window, nullptr);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Global\\" + ConstSetting(L"App.GUID")).c_str());
  ASSERT_NE(mutex, nullptr);

  // Still starting: it is asked, and left as it is.
  EXPECT_EQ(ExitCodeOf(StartProbe(L"runas")), 0);
  EXPECT_EQ(instance.Asked, (std::vector<std::wstring>{L"CL GetAppID", L"CL IfBusy"}));
  EXPECT_FALSE(IsWindowVisible(instance.Window));

  // Started: it comes forward; a switch is no command file.
  instance.Busy = 0;
  instance.Asked.clear();
  EXPECT_EQ(ExitCodeOf(StartProbe(L"runas -x")), 0);
  EXPECT_EQ(instance.Asked,
            (std::vector<std::wstring>{L"CL GetAppID", L"CL IfBusy", L"CL BringtoFront"}));
  EXPECT_TRUE(IsWindowVisible(instance.Window));
  EXPECT_TRUE(instance.CopyData.empty());

  // Without "runas" first the probe restarts itself with it unless it runs elevated already (as
  // under Wine); either way the argument is handed over whole, blanks and all.
  EXPECT_EQ(ExitCodeOf(StartProbe(L"\"C:\\My Files\\x.lst\"")), 0);
  EXPECT_TRUE(ktest::win32::PumpUntil([&] { return !instance.CopyData.empty(); }, kLimitMs));
  EXPECT_EQ(instance.CopyData, (std::vector<std::wstring>{L"C:\\My Files\\x.lst"}));

  CloseHandle(mutex);
  DestroyWindow(instance.Window);
  UnregisterClassW(kProbeClass, GetModuleHandleW(nullptr));
  TFakeInstance::Current = nullptr;
}

TEST_F(Startup, RunningInstanceTakesTheCommandFileAfterTheHandOverAndClosesOnS) {
  ktest::win32::TDebugViewer viewer(kLimitMs);
  ASSERT_TRUE(viewer.Valid());
  DWORD firstId = 0;
  HANDLE first = StartProbe(L"runas -d", &firstId);
  ASSERT_NE(first, nullptr);
  HWND window = nullptr;
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [&window] {
        window = FindWindowW(kProbeClass, nullptr);
        return window != nullptr && Ask(window, L"CL IfBusy") == 0;
      },
      kLimitMs));
  EXPECT_EQ(Ask(window, L"CL GetAppID"), _wtoi(ConstSetting(L"App.ID").c_str()));

  EXPECT_EQ(ExitCodeOf(StartProbe(L"runas \"C:\\My Files\\x.lst\"")), 0);
  std::vector<std::string> lines;
  EXPECT_TRUE(viewer.WaitFor(
      firstId,
      [](const auto& aLines) {
        return ktest::win32::Contains(aLines, "OnCmdFile C:\\My Files\\x.lst");
      },
      lines));
  // The file came in with the copy-data message and went to OnCmdFile only after it.
  size_t received = lines.size();
  size_t delivered = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("Command file received : C:\\My Files\\x.lst") != std::string::npos) {
      received = std::min(received, i);
    }
    if (lines[i].find("OnCmdFile C:\\My Files\\x.lst") != std::string::npos) {
      delivered = i;
    }
  }
  EXPECT_LT(received, delivered);

  EXPECT_EQ(ExitCodeOf(StartProbe(L"runas /S")), 0);
  EXPECT_EQ(ExitCodeOf(first), 0);
}

// The window program itself, started as the log-on entry starts it (nothing scanned), is the
// instance that a second start finds and closes.
TEST_F(Startup, KestrovaIsFoundAndClosedBySwitchS) {
  HANDLE first = StartProbe(L"runas ministart", nullptr, L"Kestrova.exe");
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(ktest::win32::PumpUntil(
      [] {
        HWND window = FindWindowW(kMainClass, nullptr);
        return window != nullptr && Ask(window, L"CL IfBusy") == 0;
      },
      kLimitMs));
  EXPECT_EQ(ExitCodeOf(StartProbe(L"runas -s", nullptr, L"Kestrova.exe")), 0);
  EXPECT_EQ(ExitCodeOf(first), 0);
}

// A visible dialog window of the process (a message box), or nullptr.
static HWND VisibleDialogOf(DWORD aProcess) {
  struct TSearch {
    DWORD Process;
    HWND Dialog;
  } search{aProcess, nullptr};
  EnumWindows(
      [](HWND aWindow, LPARAM aSearch) {
        auto& wanted = *reinterpret_cast<TSearch*>(aSearch);
        DWORD owner = 0;
        GetWindowThreadProcessId(aWindow, &owner);
        wchar_t name[16] = {};
        GetClassNameW(aWindow, name, 16);
        if (owner != wanted.Process || std::wstring(name) != L"#32770" || !IsWindowVisible(aWindow))
          return TRUE;
        wanted.Dialog = aWindow;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Dialog;
}

// Without the System Restore library the program shows the plain warning before any window of
// its own and ends with exit code 1 once the user has pressed OK.
TEST_F(Startup, WithoutTheSystemRestoreLibraryTheUserIsWarnedAndTheExitCodeIsOne) {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
    GTEST_SKIP() << "only Wine lets a library be switched off for one program";
  }
  // A copy of the probe under a name of its own, for which Wine's per-program settings switch
  // the library off; no other program is touched.
  constexpr wchar_t kProbeCopy[] = L"startprobe-nosrclient.exe";
  constexpr wchar_t kOverrides[] =
      L"Software\\Wine\\AppDefaults\\startprobe-nosrclient.exe\\DllOverrides";
  const std::wstring copy = ktest::win32::ProgramFolder() + kProbeCopy;
  ASSERT_TRUE(
      CopyFileW((ktest::win32::ProgramFolder() + L"startprobe.exe").c_str(), copy.c_str(), FALSE));
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kOverrides, L"srclient", REG_SZ, L"", sizeof(L"")),
            ERROR_SUCCESS);
  DWORD id = 0;
  HANDLE probe = StartProbe(L"runas", &id, kProbeCopy);

  HWND box = nullptr;
  const bool shown = probe != nullptr &&
                     ktest::win32::PumpUntil(
                         [id, &box] { return (box = VisibleDialogOf(id)) != nullptr; }, kLimitMs);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\startprobe-nosrclient.exe");
  if (shown) {
    // The box's text is its static control 0xFFFF.
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_EQ(std::wstring(text), L"System Restore Interface Not Present.");
    EXPECT_EQ(FindWindowW(kProbeClass, nullptr), nullptr);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(ExitCodeOf(probe), 1);
  }
  EXPECT_TRUE(shown) << "no warning box";
  if (probe != nullptr && WaitForSingleObject(probe, 0) != WAIT_OBJECT_0) {
    TerminateProcess(probe, 1);
    WaitForSingleObject(probe, 5000);
  }
  DeleteFileW(copy.c_str());
}
