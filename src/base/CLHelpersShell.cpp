// Registry strings, shell folders and starting programs.

#include "base/CLHelpers.h"

#include "platform/RegKey.h"

using kplat::Platform;

namespace {

const wchar_t kShellFoldersKey[] =
    L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t kBrowserCommandKey[] = L"HTTP\\shell\\open\\command";

bool IsAllowedAddress(const std::wstring& aAddress) {
  return StartsText(aAddress, L"http://") || StartsText(aAddress, L"https://") ||
         StartsText(aAddress, L"file://");
}

// The address with every character that could end or break a quoted command-line argument
// percent-encoded: the double quote and the control characters.
std::wstring EscapeAddress(const std::wstring& aAddress) {
  std::wstring result;
  for (const wchar_t c : aAddress) {
    if (c == L'"' || c < 0x20 || c == 0x7F) {
      result += L'%' + UpperHex(static_cast<uint32_t>(c), 2);
    } else {
      result += c;
    }
  }
  return result;
}

// Backslashes right before a double quote escape it on a Windows command line, so trailing ones
// are doubled when a quote follows.
std::wstring BeforeQuote(const std::wstring& aText) {
  size_t trailing = 0;
  while (trailing < aText.size() && aText[aText.size() - 1 - trailing] == L'\\') {
    ++trailing;
  }
  return aText + std::wstring(trailing, L'\\');
}

// Every "%1" of the command replaced in one pass. Inside a quoted part of the command the
// address goes in as it is, elsewhere it is quoted, so it is always exactly one argument.
std::wstring FillBrowserCommand(const std::wstring& aCommand, const std::wstring& aAddress) {
  std::wstring result;
  bool quoted = false;
  for (size_t i = 0; i < aCommand.size(); ++i) {
    if (aCommand.compare(i, 2, L"%1") == 0) {
      if (!quoted) {
        result += L'"' + BeforeQuote(aAddress) + L'"';
      } else if (i + 2 < aCommand.size() && aCommand[i + 2] == L'"') {
        result += BeforeQuote(aAddress);
      } else {
        result += aAddress;
      }
      ++i;
      continue;
    }
    if (aCommand[i] == L'"') {
      quoted = !quoted;
    }
    result += aCommand[i];
  }
  return result;
}

std::wstring ReadBrowserCommand() {
  kplat::TRegKey key;
  if (key.Open(kplat::regroot::ClassesRoot, kBrowserCommandKey) != kplat::err::Success) {
    return std::wstring();
  }
  kplat::TRegValue value;
  if (key.Query(L"", value) != kplat::err::Success) {
    return std::wstring();
  }
  if (value.Type == kplat::regtype::ExpandSz) {
    return Platform().System().ExpandEnvironmentStrings(kplat::RegDataToString(value.Data));
  }
  return value.Type == kplat::regtype::Sz ? kplat::RegDataToString(value.Data) : std::wstring();
}

const wchar_t* SystemErrorText(kplat::TErrorCode aError) {
  switch (aError) {
  case kplat::err::FileNotFound:
    return L"The system cannot find the file specified.";
  case kplat::err::PathNotFound:
    return L"The system cannot find the path specified.";
  case kplat::err::AccessDenied:
    return L"Access is denied.";
  case kplat::err::NotEnoughMemory:
    return L"Not enough memory resources are available to process this command.";
  case kplat::err::SharingViolation:
    return L"The process cannot access the file because it is being used by another process.";
  case kplat::err::InvalidParameter:
    return L"The parameter is incorrect.";
  case kplat::err::InvalidName:
    return L"The filename, directory name, or volume label syntax is incorrect.";
  case 193:
    return L"The file is not a valid Win32 application.";
  case 740:
    return L"The requested operation requires elevation.";
  case 1155:
    return L"No application is associated with the specified file for this operation.";
  case 1223:
    return L"The operation was canceled by the user.";
  case kplat::err::Timeout:
    return L"This operation returned because the timeout period expired.";
  default:
    return nullptr;
  }
}

} // namespace

std::wstring ReadRegString(kplat::TRegHandle aRoot, const std::wstring& aKey,
                           const std::wstring& aName, const std::wstring& aDefault) {
  kplat::TRegKey key;
  if (key.Open(aRoot, aKey) != kplat::err::Success) {
    return aDefault;
  }
  return key.ReadString(aName).value_or(aDefault);
}

void WriteRegString(kplat::TRegHandle aRoot, const std::wstring& aKey, const std::wstring& aName,
                    const std::wstring& aValue) {
  kplat::TRegKey key;
  if (key.Create(aRoot, aKey) == kplat::err::Success) {
    key.WriteString(aName, aValue);
  }
}

bool DeleteRegValue(kplat::TRegHandle aRoot, const std::wstring& aKey, const std::wstring& aName) {
  kplat::TRegKey key;
  return key.Open(aRoot, aKey, kplat::TRegAccess::FullAccess) == kplat::err::Success &&
         key.DeleteValue(aName) == kplat::err::Success;
}

std::wstring GetShellFolder(const std::wstring& aName) {
  const std::wstring folder =
      ReadRegString(kplat::regroot::CurrentUser, kShellFoldersKey, aName, L"");
  return folder.empty() ? GetCommonShellFolder(aName) : folder;
}

std::wstring GetCommonShellFolder(const std::wstring& aName) {
  return ReadRegString(kplat::regroot::LocalMachine, kShellFoldersKey, aName, L"");
}

uint32_t GetWindowsMajorVersion() {
  return Platform().System().GetVersion().Major;
}

bool OpenURLInBrowser(const std::wstring& aAddress) {
  if (!IsAllowedAddress(aAddress)) {
    return false;
  }
  const std::wstring address = EscapeAddress(aAddress);
  const std::wstring command = ReadBrowserCommand();
  if (command.empty()) {
    kplat::TShellExecute request;
    request.Verb = L"open";
    request.File = address;
    return Platform().Processes().ShellExecute(request) == kplat::err::Success;
  }
  kplat::TProcessStart start;
  if (command.find(L"%1") != std::wstring::npos) {
    start.CommandLine = FillBrowserCommand(command, address);
  } else {
    start.CommandLine = command + L"  \"" + BeforeQuote(address) + L'"';
  }
  kplat::TProcessResult result;
  return Platform().Processes().StartProcess(start, result) == kplat::err::Success;
}

void RunAsAdmin(const std::wstring& aProgram, const std::wstring& aParameters) {
  kplat::TShellExecute request;
  request.Verb = L"runas";
  request.File = aProgram;
  request.Parameters = aParameters;
  request.NoErrorUi = true;
  request.WaitForStart = true;
  const kplat::TErrorCode error = Platform().Processes().ShellExecute(request);
  if (error != kplat::err::Success) {
    throw ECLError(SystemErrorMessage(error), error);
  }
}

bool RunProgram(const std::wstring& aProgram, const std::wstring& aParameters, bool aHide,
                uint32_t aWaitMs) {
  kplat::TProcessStart start;
  if (aProgram.empty()) {
    start.CommandLine = aParameters;
  } else {
    const std::wstring path = JoinPath(GetAppPath(), aProgram);
    start.CommandLine = L'"' + path + L"\" " + aParameters;
    start.WorkingFolder = ExtractFileDir(path);
  }
  start.Hidden = aHide;
  start.WaitMs = aWaitMs;
  kplat::TProcessResult result;
  return Platform().Processes().StartProcess(start, result) == kplat::err::Success;
}

bool RunProcess(const std::wstring& aProgram, const std::wstring& aCommandLine,
                const std::wstring& aFolder, bool aHide, bool aWait, int64_t aWaitMs) {
  kplat::TProcessStart start;
  if (!aProgram.empty()) {
    start.Application = JoinPath(GetAppPath(), aProgram);
  }
  start.CommandLine = aCommandLine;
  start.WorkingFolder = aFolder.empty() ? ExtractFileDir(start.Application) : aFolder;
  start.Hidden = aHide;
  start.InheritHandles = true;
  if (aWait) {
    start.WaitMs = aWaitMs < 0 || aWaitMs >= kplat::kWaitForever ? kplat::kWaitForever
                                                                 : static_cast<uint32_t>(aWaitMs);
  }
  kplat::TProcessResult result;
  return Platform().Processes().StartProcess(start, result) == kplat::err::Success;
}

std::wstring SystemErrorMessage(kplat::TErrorCode aError) {
  std::wstring message = L"System error " + std::to_wstring(aError);
  const wchar_t* text = SystemErrorText(aError);
  return text == nullptr ? message + L'.' : message + L": " + text;
}
