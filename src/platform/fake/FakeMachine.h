#pragma once
// An in-memory Windows machine: registry, drives and files, environment, processes, shell links,
// System Restore, a virtual clock and the debug channel. Native tests run the whole program
// against it; Windows tests may use it too. It behaves as Wine does wherever the conformance
// suite pins a behaviour down.
//
// Seeding and inspection methods (AddFile, SetRegValue, ...) bypass failure injection and are
// meant for tests; the IPlatform side behaves like the real system.

#include "platform/Platform.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kplat::fake {

// What a fake process launch does. The handler may change the machine (for example import a
// registry file) and decides the outcome; returning an error means the process did not start.
using TLaunchHandler = std::function<TErrorCode(const TProcessStart&, TProcessResult&)>;
using TShellHandler = std::function<TErrorCode(const TShellExecute&)>;

struct TDebugLine {
  std::wstring Tag;
  std::wstring Text;
};

class TFakeMachine : public IPlatform {
public:
  // A 64-bit Windows 10 machine for user "User" with the usual folders, environment variables
  // and the "Shell Folders" values of the current user and the local machine; the program runs
  // as "C:\Program Files\Kestrova\Kestrova.exe", whose folder is the current one. The usual
  // system programs (regedit.exe, cmd.exe, ...) exist as files, so launches by name find them. The
  // clock starts at 2026-03-02 09:00 UTC with local time one hour ahead.
  TFakeMachine();
  ~TFakeMachine() override;
  TFakeMachine(const TFakeMachine&) = delete;
  TFakeMachine& operator=(const TFakeMachine&) = delete;

  IRegistry& Registry() override;
  IFileSystem& Files() override;
  ISystem& System() override;
  IProcesses& Processes() override;
  IShellLinks& ShellLinks() override;
  ISystemRestore& SystemRestore() override;
  IClock& Clock() override;
  IDebugOutput& Debug() override;

  // --- Registry seeding and inspection. aRoot is a predefined root; keys are created as needed.
  void AddRegKey(TRegHandle aRoot, const std::wstring& aSubKey);
  void SetRegValue(TRegHandle aRoot, const std::wstring& aSubKey, const std::wstring& aName,
                   const TRegValue& aValue);
  void SetRegString(TRegHandle aRoot, const std::wstring& aSubKey, const std::wstring& aName,
                    const std::wstring& aText, uint32_t aType = regtype::Sz);
  void SetRegDword(TRegHandle aRoot, const std::wstring& aSubKey, const std::wstring& aName,
                   uint32_t aValue);
  bool RegKeyExists(TRegHandle aRoot, const std::wstring& aSubKey) const;
  std::optional<TRegValue> GetRegValue(TRegHandle aRoot, const std::wstring& aSubKey,
                                       const std::wstring& aName) const;
  std::optional<std::wstring> GetRegString(TRegHandle aRoot, const std::wstring& aSubKey,
                                           const std::wstring& aName) const;
  void RemoveRegKey(TRegHandle aRoot, const std::wstring& aSubKey);
  // Number of keys opened through the interface and not closed yet (leak checks).
  size_t OpenRegHandleCount() const;

  // --- Files. Paths are Windows paths ("C:\Dir\File.txt"); folders are created as needed.
  // A file made with a size only has no content (reads give zero bytes of that length).
  void AddFile(const std::wstring& aPath, uint64_t aSize = 0,
               uint32_t aAttributes = fileattr::Archive);
  void AddFileContent(const std::wstring& aPath, const std::vector<uint8_t>& aContent,
                      uint32_t aAttributes = fileattr::Archive);
  void AddTextFile(const std::wstring& aPath, const std::string& aUtf8Text);
  void AddFolder(const std::wstring& aPath, uint32_t aAttributes = fileattr::Directory);
  // Makes aPath (replacing whatever was there) a junction to the folder aTarget: a reparse point
  // that every path through it follows to the target, as on the real system.
  void AddFolderLink(const std::wstring& aPath, const std::wstring& aTarget);
  void SetCreationTime(const std::wstring& aPath, TFileTime aTime);
  bool HasFile(const std::wstring& aPath) const;
  // Whether the file was made by WriteProtectedFile: only administrators may change it.
  bool IsAdminOnly(const std::wstring& aPath) const;
  bool HasFolder(const std::wstring& aPath) const;
  std::optional<std::vector<uint8_t>> FileContent(const std::wstring& aPath) const;
  // Names in a folder (files and sub-folders), in enumeration order; empty when missing.
  std::vector<std::wstring> ListFolder(const std::wstring& aPath) const;
  size_t OpenFindHandleCount() const;

  // --- System.
  void SetEnvVar(const std::wstring& aName, const std::wstring& aValue);
  void SetVersion(const TOSVersion& aVersion);
  void SetLangID(uint16_t aLangID);
  // The user's formats; United States English until set.
  void SetDateTimeFormats(const TDateTimeFormats& aFormats);
  // The system's 8-bit code page; 1252 until set. The machine converts 1250, 1251 and 1252, and
  // 932 (Japanese) where the C library can.
  void SetAnsiCodePage(uint32_t aCodePage);
  void SetProgramPath(const std::wstring& aPath); // also creates the file
  void SetTempFolder(const std::wstring& aPath);  // with trailing backslash
  void SetCurrentFolder(const std::wstring& aPath);
  // Maps a short (8.3) path to its long form for GetLongPath.
  void AddShortName(const std::wstring& aShortPath, const std::wstring& aLongPath);
  // Marks a file or folder as not writeable for the current user (CheckWriteAccess).
  void SetWriteProtected(const std::wstring& aPath, bool aProtected);

  // --- Failure injection, through the IPlatform side only.
  void FailOpenKey(TRegHandle aRoot, const std::wstring& aSubKey,
                   TErrorCode aError = err::AccessDenied);
  void FailDeleteValue(TRegHandle aRoot, const std::wstring& aSubKey, const std::wstring& aName,
                       TErrorCode aError = err::AccessDenied);
  void FailSetValue(TRegHandle aRoot, const std::wstring& aSubKey,
                    TErrorCode aError = err::AccessDenied);
  void FailDeleteKey(TRegHandle aRoot, const std::wstring& aSubKey,
                     TErrorCode aError = err::AccessDenied);
  void FailDeleteFile(const std::wstring& aPath, TErrorCode aError = err::SharingViolation);
  // With aForMs the file is free again once the virtual clock has gone on that long (a file
  // another program holds open for a moment).
  void FailOpenFile(const std::wstring& aPath, TErrorCode aError = err::SharingViolation,
                    std::optional<uint64_t> aForMs = std::nullopt);
  // Every write, append, folder creation and replace fails with DiskFull while set.
  void SetDiskFull(bool aFull);
  // Writes fail after this many more bytes have been written in total (a disk that fills up
  // part way through a file); the part written stays on disk, as it would on a real one.
  void SetDiskSpace(std::optional<uint64_t> aBytesLeft);

  // --- Processes and the shell. Without a handler a launch starts and ends with exit code 0.
  void SetLaunchHandler(TLaunchHandler aHandler);
  void SetShellHandler(TShellHandler aHandler);
  std::vector<TProcessStart> Launches() const;
  std::vector<TShellExecute> ShellExecutions() const;
  // Forgets the launches, shell executions, restore point calls and debug lines recorded so far
  // (a machine that serves many runs in turn).
  void ClearRecords();
  // The programs the machine runs besides this one (file names such as "chrome.exe");
  // "explorer.exe" until changed.
  void StartProgram(const std::wstring& aName);
  // Ends every process of the program.
  void EndProgram(const std::wstring& aName);
  // Makes listing the running programs fail (the system refusing a snapshot).
  void FailListRunningPrograms(std::optional<TErrorCode> aError);

  // --- System Restore: whether "SRCLIENT.DLL" and its entry points are there, and the status
  // code every SetRestorePoint call reports (0: success). Calls are recorded.
  void SetRestoreLibrary(TErrorCode aLoadResult, const std::wstring& aMissingEntryPoint = L"");
  void SetRestorePointStatus(uint32_t aStatus);
  // Makes every SetRestorePoint call fail while still reporting the status set above; Wine's
  // stub answers this way (false with status 0).
  void SetRestorePointRefused(bool aRefused);
  std::vector<TRestorePointInfo> RestorePointCalls() const;

  // --- Virtual clock: sleeps advance it at once, nothing waits.
  void SetNow(TFileTime aUtc);
  void AdvanceMs(uint64_t aMs);
  void SetLocalOffsetMinutes(int aMinutes);

  // --- Debug channel.
  std::vector<TDebugLine> DebugLines() const;

  // --- Snapshots: a copy of the whole machine (registry, files, system, injected failures,
  // handlers, clock and records) that puts it back exactly as it was. Copying costs a fraction of
  // building a machine, for a process that runs many inputs on one machine.
  struct TSnapshot;
  std::shared_ptr<const TSnapshot> TakeSnapshot() const;
  void RestoreSnapshot(const TSnapshot& aSnapshot);

  // The machine's state, shared by the files that implement it.
  struct TImpl;

private:
  std::unique_ptr<TImpl> FImpl;
};

// A fixture helper: a fresh machine installed as the process's platform for its lifetime.
class TFakeMachineScope {
public:
  TFakeMachineScope() : FScope(FMachine) {}
  TFakeMachine& Machine() { return FMachine; }

private:
  TFakeMachine FMachine;
  TScopedPlatform FScope;
};

} // namespace kplat::fake
