#include "platform/win32/Win32Com.h"
#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Parts.h"

#include <tlhelp32.h>

namespace kplat::win32 {

namespace {

class TWin32Processes : public IProcesses {
public:
  TErrorCode StartProcess(const TProcessStart& aStart, TProcessResult& aResult) override {
    aResult = TProcessResult{};
    if (aStart.Application.empty() && aStart.CommandLine.empty()) {
      return err::InvalidParameter;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (aStart.Hidden) {
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = SW_HIDE;
    }
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring commandLine = aStart.CommandLine;
    commandLine.push_back(L'\0');
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(aStart.Application.empty() ? nullptr : aStart.Application.c_str(),
                          commandLine.data(), nullptr, nullptr,
                          aStart.InheritHandles ? TRUE : FALSE, 0, nullptr,
                          aStart.WorkingFolder.empty() ? nullptr : aStart.WorkingFolder.c_str(),
                          &startup, &info)) {
      return LastError();
    }
    const THandle process(info.hProcess);
    const THandle thread(info.hThread);
    switch (::WaitForSingleObject(process.Get(), aStart.WaitMs)) {
    case WAIT_OBJECT_0: {
      DWORD exitCode = 0;
      if (!::GetExitCodeProcess(process.Get(), &exitCode)) {
        return LastError();
      }
      aResult.Finished = true;
      aResult.ExitCode = exitCode;
      return err::Success;
    }
    case WAIT_TIMEOUT:
      return err::Success; // started and still running
    default:
      return LastError();
    }
  }

  TErrorCode ShellExecute(const TShellExecute& aRequest) override {
    // The shell may hand the request to extensions that need COM on this thread.
    EnsureComApartment();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = (aRequest.NoErrorUi ? SEE_MASK_FLAG_NO_UI : 0) |
                 (aRequest.WaitForStart ? SEE_MASK_NOASYNC : 0);
    info.lpVerb = aRequest.Verb.empty() ? nullptr : aRequest.Verb.c_str();
    info.lpFile = aRequest.File.c_str();
    info.lpParameters = aRequest.Parameters.empty() ? nullptr : aRequest.Parameters.c_str();
    info.lpDirectory = aRequest.Folder.empty() ? nullptr : aRequest.Folder.c_str();
    info.nShow = aRequest.Hidden ? SW_HIDE : SW_SHOWNORMAL;
    ::SetLastError(ERROR_SUCCESS);
    if (ShellExecuteExLate(&info)) {
      return err::Success;
    }
    return LastError(err::FileNotFound);
  }

  TErrorCode ListRunningPrograms(std::vector<std::wstring>& aNames) override {
    aNames.clear();
    const THandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid()) {
      return LastError(err::AccessDenied);
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    // The snapshot is taken once; processes that start or end meanwhile are not in it.
    for (BOOL found = ::Process32FirstW(snapshot.Get(), &entry); found;
         found = ::Process32NextW(snapshot.Get(), &entry)) {
      aNames.emplace_back(entry.szExeFile);
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_NO_MORE_FILES || error == ERROR_SUCCESS ? err::Success
                                                                  : static_cast<TErrorCode>(error);
  }
};

} // namespace

std::unique_ptr<IProcesses> MakeWin32Processes() {
  return std::make_unique<TWin32Processes>();
}

} // namespace kplat::win32
