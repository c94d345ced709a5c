// The sweep helper as Kestrova starts it: a separate program beside the test program, given the
// parameter text of a sweep topic, judged by its exit status, its error output and its effect.

#include "platform/TextCodec.h"
#include "support/win32/TestProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct TRun {
  DWORD ExitCode = 0xFFFFFFFF;
  std::string ErrorOutput;
};

std::wstring HelperPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"sweephelper.exe";
}

TRun RunHelper(const std::wstring& aParameters) {
  TRun run;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  PROCESS_INFORMATION process{};
  const bool started = ktest::win32::StartProcess(
      L"\"" + HelperPath() + L"\" " + aParameters, process,
      {.Flags = CREATE_NO_WINDOW, .Output = writeEnd, .Errors = writeEnd});
  CloseHandle(writeEnd);
  EXPECT_TRUE(started) << "sweephelper.exe is not beside the test program";
  if (started) {
    char buffer[512];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
      run.ErrorOutput.append(buffer, read);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.hProcess, &run.ExitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(readEnd);
  return run;
}

bool PutTextOnClipboard(const wchar_t* aText) {
  if (!OpenClipboard(nullptr)) {
    return false;
  }
  EmptyClipboard();
  const size_t bytes = (wcslen(aText) + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  memcpy(GlobalLock(memory), aText, bytes);
  GlobalUnlock(memory);
  const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  return placed;
}

TEST(SweepHelper, EmptiesTheClipboard) {
  ASSERT_TRUE(PutTextOnClipboard(L"account number 1234"));
  ASSERT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  const TRun run = RunHelper(L"clipboard");
  EXPECT_EQ(run.ExitCode, 0u) << run.ErrorOutput;
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST(SweepHelper, ReportsAndIgnoresUnknownWords) {
  TRun run = RunHelper(L"/Clipboard,defrag;RecentDocs");
  EXPECT_EQ(run.ExitCode, 0u) << run.ErrorOutput;
  EXPECT_NE(run.ErrorOutput.find("unknown sweep \"defrag\" ignored"), std::string::npos)
      << run.ErrorOutput;

  // Nothing it knows: nothing done, which the status says.
  run = RunHelper(L"defrag");
  EXPECT_EQ(run.ExitCode, 2u);
  run = RunHelper(L"");
  EXPECT_EQ(run.ExitCode, 2u);
}

// The other sweeps end with success on this system, asking nothing. The Recycle Bin is left
// alone: on a real machine the test would destroy what the user may still want back.
TEST(SweepHelper, OtherSweepsRun) {
  for (const wchar_t* sweep : {L"recentdocs", L"dnscache", L"thumbcache"}) {
    const TRun run = RunHelper(sweep);
    EXPECT_EQ(run.ExitCode, 0u) << kplat::ToUtf8(sweep) << ": " << run.ErrorOutput;
  }
}

} // namespace
