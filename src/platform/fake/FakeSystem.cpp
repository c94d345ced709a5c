#include "platform/Sha256.h"
#include "platform/fake/FakeMachineImpl.h"

#include <algorithm>
#include <iterator>

namespace kplat::fake {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// The program a command line names: the quoted first part, or everything up to the first blank.
std::wstring ProgramOf(const TProcessStart& aStart) {
  if (!aStart.Application.empty()) {
    return aStart.Application;
  }
  const std::wstring& line = aStart.CommandLine;
  const size_t first = line.find_first_not_of(L" \t");
  if (first == std::wstring::npos) {
    return L"";
  }
  if (line[first] == L'"') {
    const size_t close = line.find(L'"', first + 1);
    return line.substr(first + 1,
                       close == std::wstring::npos ? std::wstring::npos : close - first - 1);
  }
  const size_t end = line.find_first_of(L" \t", first);
  return line.substr(first, end == std::wstring::npos ? std::wstring::npos : end - first);
}

bool HasExtension(const std::wstring& aName) {
  const size_t dot = aName.find_last_of(L'.');
  const size_t slash = aName.find_last_of(L"\\/");
  return dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
}

std::wstring FolderOf(const std::wstring& aPath) {
  const size_t slash = aPath.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : aPath.substr(0, slash);
}

const uint8_t kShortcutMagic[] = {'K', 'L', 'N', 'K'};

} // namespace

// --- System.

bool TFakeSystem::GetEnv(const std::wstring& aName, std::wstring& aValue) {
  TGuard guard(FMachine.Lock);
  const auto it = FMachine.Env.find(aName);
  if (aName.empty() || it == FMachine.Env.end()) {
    aValue.clear();
    return false;
  }
  aValue = it->second.second;
  return true;
}

TErrorCode TFakeSystem::SetEnv(const std::wstring& aName, const std::wstring& aValue) {
  TGuard guard(FMachine.Lock);
  if (aName.empty() || aName.find(L'=') != std::wstring::npos) {
    return err::InvalidParameter;
  }
  auto it = FMachine.Env.find(aName);
  if (it == FMachine.Env.end()) {
    FMachine.Env.emplace(aName, std::make_pair(aName, aValue));
  } else {
    it->second.second = aValue;
  }
  return err::Success;
}

std::wstring TFakeSystem::ExpandEnvironmentStrings(const std::wstring& aText) {
  TGuard guard(FMachine.Lock);
  std::wstring out;
  size_t i = 0;
  while (i < aText.size()) {
    if (aText[i] != L'%') {
      const size_t next = aText.find(L'%', i);
      const size_t end = next == std::wstring::npos ? aText.size() : next;
      out.append(aText, i, end - i);
      i = end;
      continue;
    }
    const size_t close = aText.find(L'%', i + 1);
    if (close == std::wstring::npos) {
      out.append(aText, i, std::wstring::npos); // an unfinished name stays as written
      break;
    }
    const std::wstring name = aText.substr(i + 1, close - i - 1);
    const auto it = name.empty() ? FMachine.Env.end() : FMachine.Env.find(name);
    if (it != FMachine.Env.end()) {
      out += it->second.second;
    } else {
      out.append(aText, i, close - i + 1);
    }
    i = close + 1;
  }
  return out;
}

TOSVersion TFakeSystem::GetVersion() {
  TGuard guard(FMachine.Lock);
  return FMachine.Version;
}

uint16_t TFakeSystem::GetSystemDefaultLangID() {
  TGuard guard(FMachine.Lock);
  return FMachine.LangID;
}

TErrorCode TFakeSystem::GetDateTimeFormats(TDateTimeFormats& aFormats) {
  TGuard guard(FMachine.Lock);
  aFormats = FMachine.DateTimeFormats;
  return err::Success;
}

uint32_t TFakeSystem::GetAnsiCodePage() {
  TGuard guard(FMachine.Lock);
  return FMachine.AnsiCodePage;
}

TErrorCode TFakeSystem::DecodeCodePage(uint32_t aCodePage, std::string_view aBytes,
                                       std::wstring& aText) {
  return DecodeFakeCodePage(aCodePage, aBytes, aText);
}

TErrorCode TFakeSystem::EncodeCodePage(uint32_t aCodePage, std::wstring_view aText,
                                       std::string& aBytes) {
  return EncodeFakeCodePage(aCodePage, aText, aBytes);
}

// Deterministic: SHA-256 of the number of each block drawn, so a test sees the same bytes on
// every run.
TErrorCode TFakeSystem::GetRandomBytes(uint8_t* aData, size_t aSize) {
  TGuard guard(FMachine.Lock);
  while (aSize > 0) {
    TSha256 hash;
    const uint64_t block = FMachine.RandomDrawn++;
    hash.Update(reinterpret_cast<const uint8_t*>(&block), sizeof(block));
    TSha256Digest digest{};
    hash.Final(digest);
    const size_t piece = aSize < digest.size() ? aSize : digest.size();
    std::copy_n(digest.begin(), piece, aData);
    aData += piece;
    aSize -= piece;
  }
  return err::Success;
}

std::wstring TFakeSystem::GetProgramPath() {
  TGuard guard(FMachine.Lock);
  return FMachine.ProgramPath;
}

std::wstring TFakeSystem::GetTempFolder() {
  TGuard guard(FMachine.Lock);
  return FMachine.TempFolder;
}

std::wstring TFakeSystem::GetWindowsFolder() {
  TGuard guard(FMachine.Lock);
  return FMachine.WindowsFolder;
}

std::wstring TFakeSystem::GetSystemFolder() {
  TGuard guard(FMachine.Lock);
  return FMachine.SystemFolder;
}

std::wstring TFakeSystem::GetCurrentFolder() {
  TGuard guard(FMachine.Lock);
  return FMachine.CurrentFolder;
}

// --- Processes and the shell.

TErrorCode TFakeProcesses::StartProcess(const TProcessStart& aStart, TProcessResult& aResult) {
  aResult = TProcessResult{};
  TLaunchHandler handler;
  {
    TGuard guard(FMachine.Lock);
    FMachine.Launches.push_back(aStart);
    handler = FMachine.LaunchHandler;
  }
  // The handler runs unlocked: it may change the machine from another thread's point of view.
  if (handler) {
    return handler(aStart, aResult);
  }
  if (aStart.Application.empty() && aStart.CommandLine.empty()) {
    return err::InvalidParameter;
  }
  const std::wstring program = ProgramOf(aStart);
  if (program.empty()) {
    return err::FileNotFound;
  }
  std::vector<std::wstring> candidates;
  if (program.find_first_of(L"\\/:") != std::wstring::npos) {
    candidates.push_back(program);
  } else {
    TGuard guard(FMachine.Lock);
    std::vector<std::wstring> folders{FolderOf(FMachine.ProgramPath), FMachine.CurrentFolder,
                                      FMachine.SystemFolder, FMachine.WindowsFolder};
    if (const auto path = FMachine.Env.find(L"PATH"); path != FMachine.Env.end()) {
      const std::wstring& list = path->second.second;
      size_t start = 0;
      while (start <= list.size()) {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos) {
          end = list.size();
        }
        if (end > start) {
          folders.push_back(list.substr(start, end - start));
        }
        start = end + 1;
      }
    }
    for (const std::wstring& folder : folders) {
      candidates.push_back(folder + L"\\" + program);
    }
  }
  for (const std::wstring& candidate : candidates) {
    uint32_t attributes = 0;
    for (const std::wstring& path :
         {candidate, HasExtension(candidate) ? std::wstring() : candidate + L".exe"}) {
      if (!path.empty() && FMachine.FilesPart.GetAttributes(path, attributes) == err::Success &&
          (attributes & fileattr::Directory) == 0) {
        aResult.Finished = aStart.WaitMs != kNoWait;
        aResult.ExitCode = 0;
        return err::Success;
      }
    }
  }
  // A named folder that is missing altogether is reported as such, as CreateProcess does.
  uint32_t attributes = 0;
  if (candidates.size() == 1 && !FolderOf(program).empty() &&
      FMachine.FilesPart.GetAttributes(FolderOf(program), attributes) != err::Success) {
    return err::PathNotFound;
  }
  return err::FileNotFound;
}

TErrorCode TFakeProcesses::ListRunningPrograms(std::vector<std::wstring>& aNames) {
  TGuard guard(FMachine.Lock);
  aNames.clear();
  if (FMachine.ListProgramsFailure) {
    return *FMachine.ListProgramsFailure;
  }
  // The running program is one of them, as on the real system.
  aNames.push_back(FMachine.ProgramPath.substr(FMachine.ProgramPath.find_last_of(L'\\') + 1));
  aNames.insert(aNames.end(), FMachine.RunningPrograms.begin(), FMachine.RunningPrograms.end());
  return err::Success;
}

TErrorCode TFakeProcesses::ShellExecute(const TShellExecute& aRequest) {
  TShellHandler handler;
  {
    TGuard guard(FMachine.Lock);
    FMachine.ShellExecutions.push_back(aRequest);
    handler = FMachine.ShellHandler;
  }
  if (handler) {
    return handler(aRequest);
  }
  const bool isPath = aRequest.File.size() >= 2 &&
                      (aRequest.File[1] == L':' || aRequest.File.rfind(L"\\\\", 0) == 0);
  uint32_t attributes = 0;
  if (isPath && FMachine.FilesPart.GetAttributes(aRequest.File, attributes) != err::Success) {
    return err::FileNotFound;
  }
  return err::Success;
}

// --- Shell links: kept as files of their own simple format.

TErrorCode TFakeShellLinks::ReadShortcut(const std::wstring& aPath, TShortcut& aShortcut) {
  std::vector<uint8_t> data;
  if (const TErrorCode rc = FMachine.FilesPart.ReadFile(aPath, data, 1u << 20);
      rc != err::Success) {
    return rc;
  }
  if (data.size() < sizeof(kShortcutMagic) ||
      !std::equal(std::begin(kShortcutMagic), std::end(kShortcutMagic), data.begin())) {
    return kErrorInvalidData;
  }
  const std::wstring text =
      DecodeUtf16Le(data.data() + sizeof(kShortcutMagic), data.size() - sizeof(kShortcutMagic));
  std::vector<std::wstring> parts(1);
  for (const wchar_t c : text) {
    if (c == L'\0') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  parts.resize(3);
  aShortcut = TShortcut{parts[0], parts[1], parts[2]};
  return err::Success;
}

TErrorCode TFakeShellLinks::WriteShortcut(const std::wstring& aPath, const TShortcut& aShortcut) {
  std::vector<uint8_t> data(std::begin(kShortcutMagic), std::end(kShortcutMagic));
  const std::vector<uint8_t> text = EncodeUtf16Le(aShortcut.Target + L'\0' + aShortcut.Arguments +
                                                  L'\0' + aShortcut.WorkingFolder);
  data.insert(data.end(), text.begin(), text.end());
  return FMachine.FilesPart.WriteFile(aPath, data);
}

// --- System Restore.

TErrorCode TFakeSystemRestore::LoadLibrary(std::wstring& aMissingEntryPoint) {
  TGuard guard(FMachine.Lock);
  aMissingEntryPoint =
      FMachine.RestoreLoadResult == err::ProcNotFound ? FMachine.RestoreMissingEntryPoint : L"";
  return FMachine.RestoreLoadResult;
}

bool TFakeSystemRestore::SetRestorePoint(const TRestorePointInfo& aInfo,
                                         TRestorePointStatus& aStatus) {
  TGuard guard(FMachine.Lock);
  FMachine.RestoreCalls.push_back(aInfo);
  if (FMachine.RestoreLoadResult != err::Success) {
    aStatus = TRestorePointStatus{static_cast<uint32_t>(FMachine.RestoreLoadResult), 0};
    return false;
  }
  aStatus.Status = FMachine.RestoreStatus;
  if (aStatus.Status != 0 || FMachine.RestoreRefused) {
    aStatus.SequenceNumber = 0;
    return false;
  }
  constexpr uint32_t kBeginSystemChange = 100;
  aStatus.SequenceNumber =
      aInfo.EventType == kBeginSystemChange ? ++FMachine.RestoreSequence : aInfo.SequenceNumber;
  return true;
}

// --- Clock and debug channel.

TFileTime TFakeClock::NowUtc() {
  TGuard guard(FMachine.Lock);
  return FMachine.Now;
}

TFileTime TFakeClock::UtcToLocal(TFileTime aUtc) {
  TGuard guard(FMachine.Lock);
  const int64_t shift = static_cast<int64_t>(FMachine.LocalOffsetMinutes) * 60 * 10000000;
  return static_cast<TFileTime>(static_cast<int64_t>(aUtc) + shift);
}

uint64_t TFakeClock::TickMs() {
  return FMachine.Tick.load();
}

void TFakeClock::SleepMs(uint32_t aMs) {
  TGuard guard(FMachine.Lock);
  FMachine.Tick += aMs;
  FMachine.Now += static_cast<uint64_t>(aMs) * 10000;
}

void TFakeDebug::Output(const std::wstring& aTag, const std::wstring& aText) {
  TGuard guard(FMachine.Lock);
  FMachine.DebugLines.push_back(TDebugLine{aTag, aText});
}

} // namespace kplat::fake
