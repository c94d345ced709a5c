#include "platform/fake/FakeMachineImpl.h"

#include "platform/RegKey.h"
#include "platform/TextCodec.h"

namespace kplat::fake {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// 2026-03-02 09:00 UTC: a fixed start so that every run sees the same dates.
constexpr TFileTime kStartTime = 134169156000000000ull;
constexpr uint64_t kStartTick = 3600000;
constexpr int kStartLocalOffsetMinutes = 60;

const wchar_t* const kProfile = L"C:\\Users\\User";
const wchar_t* const kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const wchar_t* const kUserShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct TShellFolder {
  const wchar_t* Name;
  const wchar_t* Below; // below the profile (user) or as an environment form (machine)
};

// The current user's folders, below the profile.
const TShellFolder kUserFolders[] = {
    {L"AppData", L"AppData\\Roaming"},
    {L"Local AppData", L"AppData\\Local"},
    {L"Desktop", L"Desktop"},
    {L"Personal", L"Documents"},
    {L"Favorites", L"Favorites"},
    {L"Cookies", L"AppData\\Local\\Microsoft\\Windows\\INetCookies"},
    {L"History", L"AppData\\Local\\Microsoft\\Windows\\History"},
    {L"Cache", L"AppData\\Local\\Microsoft\\Windows\\INetCache"},
    {L"Recent", L"AppData\\Roaming\\Microsoft\\Windows\\Recent"},
    {L"SendTo", L"AppData\\Roaming\\Microsoft\\Windows\\SendTo"},
    {L"Start Menu", L"AppData\\Roaming\\Microsoft\\Windows\\Start Menu"},
    {L"Programs", L"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    {L"Startup", L"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
    {L"Templates", L"AppData\\Roaming\\Microsoft\\Windows\\Templates"},
    {L"My Pictures", L"Pictures"},
    {L"My Music", L"Music"},
    {L"My Video", L"Videos"},
};

// The machine's folders: the stored form and the expanded one.
struct TMachineFolder {
  const wchar_t* Name;
  const wchar_t* Form;
  const wchar_t* Path;
};
const TMachineFolder kMachineFolders[] = {
    {L"Common AppData", L"%ProgramData%", L"C:\\ProgramData"},
    {L"Common Desktop", L"%PUBLIC%\\Desktop", L"C:\\Users\\Public\\Desktop"},
    {L"Common Documents", L"%PUBLIC%\\Documents", L"C:\\Users\\Public\\Documents"},
    {L"Common Programs", L"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs",
     L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"},
    {L"Common Start Menu", L"%ProgramData%\\Microsoft\\Windows\\Start Menu",
     L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu"},
    {L"Common Startup", L"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
     L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"},
};

// Programs a maintenance tool starts, so that launching them by name finds a file.
const wchar_t* const kSystemPrograms[] = {
    L"C:\\Windows\\explorer.exe",
    L"C:\\Windows\\regedit.exe",
    L"C:\\Windows\\notepad.exe",
    L"C:\\Windows\\System32\\cmd.exe",
    L"C:\\Windows\\System32\\reg.exe",
    L"C:\\Windows\\System32\\regedt32.exe",
    L"C:\\Windows\\System32\\rundll32.exe",
    L"C:\\Windows\\System32\\control.exe",
    L"C:\\Windows\\System32\\mmc.exe",
    L"C:\\Windows\\System32\\msconfig.exe",
    L"C:\\Windows\\System32\\cleanmgr.exe",
    L"C:\\Windows\\System32\\dfrgui.exe",
    L"C:\\Windows\\System32\\taskmgr.exe",
    L"C:\\Windows\\System32\\notepad.exe",
    L"C:\\Windows\\System32\\rstrui.exe",
    L"C:\\Windows\\System32\\schtasks.exe",
    L"C:\\Windows\\System32\\srclient.dll",
};

} // namespace

TFakeMachine::TImpl::TImpl() {
  for (TRegHandle root = regroot::ClassesRoot; root <= regroot::DynData; ++root) {
    Roots[root] = std::make_shared<TRegNode>();
  }
  Version = TOSVersion{10, 0, 19045, L"", 1, 9};
  Now = kStartTime;
  Tick = kStartTick;
  LocalOffsetMinutes = kStartLocalOffsetMinutes;
  ProgramPath = L"C:\\Program Files\\Kestrova\\Kestrova.exe";
  TempFolder = L"C:\\Users\\User\\AppData\\Local\\Temp\\";
  CurrentFolder = L"C:\\Program Files\\Kestrova";
}

TFakeMachine::TFakeMachine() : FImpl(std::make_unique<TImpl>()) {
  const std::wstring profile = kProfile;
  for (const wchar_t* folder :
       {L"C:\\Windows\\System32", L"C:\\Windows\\Fonts", L"C:\\ProgramData",
        L"C:\\Program Files\\Common Files", L"C:\\Program Files (x86)\\Common Files",
        L"C:\\Users\\Public\\Desktop", L"C:\\Users\\Public\\Documents",
        L"C:\\Users\\User\\AppData\\Local\\Temp", L"C:\\Users\\User\\Documents"}) {
    AddFolder(folder);
  }
  for (const wchar_t* program : kSystemPrograms) {
    AddFile(program, 65536);
  }
  SetProgramPath(FImpl->ProgramPath);

  const std::pair<const wchar_t*, std::wstring> variables[] = {
      {L"ALLUSERSPROFILE", L"C:\\ProgramData"},
      {L"APPDATA", profile + L"\\AppData\\Roaming"},
      {L"CommonProgramFiles", L"C:\\Program Files\\Common Files"},
      {L"CommonProgramFiles(x86)", L"C:\\Program Files (x86)\\Common Files"},
      {L"CommonProgramW6432", L"C:\\Program Files\\Common Files"},
      {L"COMPUTERNAME", L"KESTROVA-PC"},
      {L"ComSpec", L"C:\\Windows\\system32\\cmd.exe"},
      {L"HOMEDRIVE", L"C:"},
      {L"HOMEPATH", L"\\Users\\User"},
      {L"LOCALAPPDATA", profile + L"\\AppData\\Local"},
      {L"NUMBER_OF_PROCESSORS", L"4"},
      {L"OS", L"Windows_NT"},
      {L"Path", L"C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem"},
      {L"PATHEXT", L".COM;.EXE;.BAT;.CMD;.VBS;.JS;.WSF;.MSC"},
      {L"PROCESSOR_ARCHITECTURE", L"AMD64"},
      {L"ProgramData", L"C:\\ProgramData"},
      {L"ProgramFiles", L"C:\\Program Files"},
      {L"ProgramFiles(x86)", L"C:\\Program Files (x86)"},
      {L"ProgramW6432", L"C:\\Program Files"},
      {L"PUBLIC", L"C:\\Users\\Public"},
      {L"SystemDrive", L"C:"},
      {L"SystemRoot", L"C:\\Windows"},
      {L"TEMP", profile + L"\\AppData\\Local\\Temp"},
      {L"TMP", profile + L"\\AppData\\Local\\Temp"},
      {L"USERDOMAIN", L"KESTROVA-PC"},
      {L"USERNAME", L"User"},
      {L"USERPROFILE", profile},
      {L"windir", L"C:\\Windows"},
  };
  for (const auto& [name, value] : variables) {
    SetEnvVar(name, value);
  }

  for (const TShellFolder& folder : kUserFolders) {
    const std::wstring below = folder.Below;
    AddFolder(profile + L"\\" + below);
    SetRegString(regroot::CurrentUser, kShellFoldersKey, folder.Name, profile + L"\\" + below);
    SetRegString(regroot::CurrentUser, kUserShellFoldersKey, folder.Name,
                 L"%USERPROFILE%\\" + below, regtype::ExpandSz);
  }
  SetRegString(regroot::CurrentUser, kShellFoldersKey, L"Fonts", L"C:\\Windows\\Fonts");
  for (const TMachineFolder& folder : kMachineFolders) {
    AddFolder(folder.Path);
    SetRegString(regroot::LocalMachine, kShellFoldersKey, folder.Name, folder.Path);
    SetRegString(regroot::LocalMachine, kUserShellFoldersKey, folder.Name, folder.Form,
                 regtype::ExpandSz);
  }
  const wchar_t* const currentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  SetRegString(regroot::LocalMachine, currentVersion, L"ProgramFilesDir", L"C:\\Program Files");
  SetRegString(regroot::LocalMachine, currentVersion, L"CommonFilesDir",
               L"C:\\Program Files\\Common Files");
  AddRegKey(regroot::LocalMachine, L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion");
  AddRegKey(regroot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  AddRegKey(regroot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
  AddRegKey(regroot::LocalMachine, L"SYSTEM\\CurrentControlSet\\Services");
}

TFakeMachine::~TFakeMachine() = default;

IRegistry& TFakeMachine::Registry() {
  return FImpl->RegistryPart;
}
IFileSystem& TFakeMachine::Files() {
  return FImpl->FilesPart;
}
ISystem& TFakeMachine::System() {
  return FImpl->SystemPart;
}
IProcesses& TFakeMachine::Processes() {
  return FImpl->ProcessesPart;
}
IShellLinks& TFakeMachine::ShellLinks() {
  return FImpl->ShellLinksPart;
}
ISystemRestore& TFakeMachine::SystemRestore() {
  return FImpl->RestorePart;
}
IClock& TFakeMachine::Clock() {
  return FImpl->ClockPart;
}
IDebugOutput& TFakeMachine::Debug() {
  return FImpl->DebugPart;
}

// --- System seeding.

void TFakeMachine::SetEnvVar(const std::wstring& aName, const std::wstring& aValue) {
  TGuard guard(FImpl->Lock);
  FImpl->Env[aName] = {aName, aValue};
}

void TFakeMachine::SetVersion(const TOSVersion& aVersion) {
  TGuard guard(FImpl->Lock);
  FImpl->Version = aVersion;
}

void TFakeMachine::SetLangID(uint16_t aLangID) {
  TGuard guard(FImpl->Lock);
  FImpl->LangID = aLangID;
}

void TFakeMachine::SetDateTimeFormats(const TDateTimeFormats& aFormats) {
  TGuard guard(FImpl->Lock);
  FImpl->DateTimeFormats = aFormats;
}

void TFakeMachine::SetAnsiCodePage(uint32_t aCodePage) {
  TGuard guard(FImpl->Lock);
  FImpl->AnsiCodePage = aCodePage;
}

void TFakeMachine::SetProgramPath(const std::wstring& aPath) {
  TGuard guard(FImpl->Lock);
  FImpl->ProgramPath = aPath;
  if (!HasFile(aPath)) {
    AddFile(aPath, 4u << 20);
  }
}

void TFakeMachine::SetTempFolder(const std::wstring& aPath) {
  TGuard guard(FImpl->Lock);
  FImpl->TempFolder = aPath;
  if (!FImpl->TempFolder.empty() && FImpl->TempFolder.back() != L'\\') {
    FImpl->TempFolder += L'\\';
  }
  AddFolder(FImpl->TempFolder);
}

void TFakeMachine::SetCurrentFolder(const std::wstring& aPath) {
  TGuard guard(FImpl->Lock);
  FImpl->CurrentFolder = aPath;
  while (FImpl->CurrentFolder.size() > 3 && FImpl->CurrentFolder.back() == L'\\') {
    FImpl->CurrentFolder.pop_back();
  }
}

// --- Processes, shell, restore, clock and debug seeding and inspection.

void TFakeMachine::SetLaunchHandler(TLaunchHandler aHandler) {
  TGuard guard(FImpl->Lock);
  FImpl->LaunchHandler = std::move(aHandler);
}

void TFakeMachine::SetShellHandler(TShellHandler aHandler) {
  TGuard guard(FImpl->Lock);
  FImpl->ShellHandler = std::move(aHandler);
}

std::vector<TProcessStart> TFakeMachine::Launches() const {
  TGuard guard(FImpl->Lock);
  return FImpl->Launches;
}

std::vector<TShellExecute> TFakeMachine::ShellExecutions() const {
  TGuard guard(FImpl->Lock);
  return FImpl->ShellExecutions;
}

void TFakeMachine::ClearRecords() {
  TGuard guard(FImpl->Lock);
  FImpl->Launches = {};
  FImpl->ShellExecutions = {};
  FImpl->RestoreCalls = {};
  FImpl->DebugLines = {};
}

void TFakeMachine::StartProgram(const std::wstring& aName) {
  TGuard guard(FImpl->Lock);
  FImpl->RunningPrograms.push_back(aName);
}

void TFakeMachine::EndProgram(const std::wstring& aName) {
  TGuard guard(FImpl->Lock);
  std::erase_if(FImpl->RunningPrograms,
                [&aName](const std::wstring& aRunning) { return SameText(aRunning, aName); });
}

void TFakeMachine::FailListRunningPrograms(std::optional<TErrorCode> aError) {
  TGuard guard(FImpl->Lock);
  FImpl->ListProgramsFailure = aError;
}

void TFakeMachine::SetRestoreLibrary(TErrorCode aLoadResult,
                                     const std::wstring& aMissingEntryPoint) {
  TGuard guard(FImpl->Lock);
  FImpl->RestoreLoadResult = aLoadResult;
  FImpl->RestoreMissingEntryPoint = aMissingEntryPoint;
}

void TFakeMachine::SetRestorePointStatus(uint32_t aStatus) {
  TGuard guard(FImpl->Lock);
  FImpl->RestoreStatus = aStatus;
}

void TFakeMachine::SetRestorePointRefused(bool aRefused) {
  TGuard guard(FImpl->Lock);
  FImpl->RestoreRefused = aRefused;
}

std::vector<TRestorePointInfo> TFakeMachine::RestorePointCalls() const {
  TGuard guard(FImpl->Lock);
  return FImpl->RestoreCalls;
}

void TFakeMachine::SetNow(TFileTime aUtc) {
  TGuard guard(FImpl->Lock);
  FImpl->Now = aUtc;
}

void TFakeMachine::AdvanceMs(uint64_t aMs) {
  TGuard guard(FImpl->Lock);
  FImpl->Tick += aMs;
  FImpl->Now += aMs * 10000;
}

void TFakeMachine::SetLocalOffsetMinutes(int aMinutes) {
  TGuard guard(FImpl->Lock);
  FImpl->LocalOffsetMinutes = aMinutes;
}

std::vector<TDebugLine> TFakeMachine::DebugLines() const {
  TGuard guard(FImpl->Lock);
  return FImpl->DebugLines;
}

} // namespace kplat::fake
