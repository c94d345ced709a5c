#pragma once
// The state of the in-memory machine, shared by the files that implement its parts. One
// recursive mutex guards everything: handlers run by a fake launch may call back into the machine
// on the same thread.

#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kplat::fake {

// Orders names as the registry and the file system compare them: without regard to case.
struct TNameLess {
  bool operator()(const std::wstring& aLeft, const std::wstring& aRight) const {
    return CompareText(aLeft, aRight) < 0;
  }
};

// The registry's enumeration order as Wine keeps it: names compared lower-cased, so "_x" comes
// before "a" (Windows compares upper-cased and puts it after "Z"; only the order differs).
struct TRegNameLess {
  bool operator()(const std::wstring& aLeft, const std::wstring& aRight) const {
    const size_t n = std::min(aLeft.size(), aRight.size());
    for (size_t i = 0; i < n; ++i) {
      const wchar_t l = Lower(aLeft[i]);
      const wchar_t r = Lower(aRight[i]);
      if (l != r) {
        return l < r;
      }
    }
    return aLeft.size() < aRight.size();
  }
  static wchar_t Lower(wchar_t aChar) {
    if (aChar < 0x80) {
      return (aChar >= L'A' && aChar <= L'Z') ? static_cast<wchar_t>(aChar + 32) : aChar;
    }
    // Beyond ASCII only whether two names are the same matters: they fold as the system folds.
    return UpperChar(aChar);
  }
};

// Windows' error for a folder operation on something that is not a folder (ERROR_DIRECTORY).
constexpr TErrorCode kErrorNotAFolder = 267;
// What a shortcut file that is not one reports (ERROR_INVALID_DATA).
constexpr TErrorCode kErrorInvalidData = 13;

// The machine's code page conversions (FakeCodePages.cpp), the same on every machine.
TErrorCode DecodeFakeCodePage(uint32_t aCodePage, std::string_view aBytes, std::wstring& aText);
TErrorCode EncodeFakeCodePage(uint32_t aCodePage, std::wstring_view aText, std::string& aBytes);

struct TRegNode {
  std::wstring Name;
  std::map<std::wstring, std::shared_ptr<TRegNode>, TRegNameLess> SubKeys;
  std::map<std::wstring, std::pair<std::wstring, TRegValue>, TRegNameLess> Values;
  bool Deleted = false;
};

struct TRegOpenKey {
  std::shared_ptr<TRegNode> Node;
  TRegHandle Root = kNoRegHandle;
  std::vector<std::wstring> Path; // from the root, with the names as stored
  TRegAccess Access = TRegAccess::Read;
};

struct TFsNode {
  std::wstring Name;
  bool IsFolder = false;
  uint32_t Attributes = 0;
  uint64_t Size = 0;
  std::optional<std::vector<uint8_t>> Content;
  TFileTime CreationTime = 0;
  TFileTime LastWriteTime = 0;
  TFileTime LastAccessTime = 0;
  bool WriteProtected = false;
  bool AdminOnly = false; // made by WriteProtectedFile
  // A junction: the folder every path through it leads to (Attributes hold the reparse point).
  std::optional<std::wstring> LinkTarget;
  std::map<std::wstring, std::unique_ptr<TFsNode>, TNameLess> Children;
};

// A file's bytes; a file made with a size only reads as that many zero bytes.
inline std::vector<uint8_t> ContentOf(const TFsNode& aNode) {
  if (aNode.Content) {
    return *aNode.Content;
  }
  return std::vector<uint8_t>(static_cast<size_t>(aNode.Size), 0);
}

// A parsed absolute path: the drive letter (upper case) and the names below the root. A network
// share ("\\server\share") stands in the drive map under a private key of its own.
struct TFsPath {
  wchar_t Drive = 0;
  std::wstring Share; // "\\server\share" as first written, for a path on a network share
  std::vector<std::wstring> Names;
};

struct TFindState {
  std::vector<TFindData> Entries;
  size_t Next = 0;
};

class TFakeRegistry : public IRegistry {
public:
  explicit TFakeRegistry(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  TErrorCode OpenKey(TRegHandle aParent, const std::wstring& aSubKey, TRegAccess aAccess,
                     TRegView aView, TRegHandle& aKey) override;
  TErrorCode CreateKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                       TRegHandle& aKey, bool* aCreated) override;
  TErrorCode CreateProtectedKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                                TRegHandle& aKey) override;
  void CloseKey(TRegHandle aKey) override;
  TErrorCode EnumSubKeys(TRegHandle aKey, std::vector<std::wstring>& aNames) override;
  TErrorCode EnumValues(TRegHandle aKey, std::vector<std::wstring>& aNames) override;
  TErrorCode QueryInfo(TRegHandle aKey, TRegKeyInfo& aInfo) override;
  TErrorCode QueryValue(TRegHandle aKey, const std::wstring& aName, TRegValue& aValue) override;
  TErrorCode SetValue(TRegHandle aKey, const std::wstring& aName, const TRegValue& aValue) override;
  TErrorCode DeleteValue(TRegHandle aKey, const std::wstring& aName) override;
  TErrorCode DeleteKeyTree(TRegHandle aParent, const std::wstring& aSubKey,
                           TRegView aView) override;

private:
  TFakeMachine::TImpl& FMachine;
};

class TFakeFiles : public IFileSystem {
public:
  explicit TFakeFiles(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  TErrorCode FindFirst(const std::wstring& aPattern, TFindHandle& aFind, TFindData& aData) override;
  TErrorCode FindNext(TFindHandle aFind, TFindData& aData) override;
  void FindClose(TFindHandle aFind) override;
  TErrorCode GetAttributes(const std::wstring& aPath, uint32_t& aAttributes) override;
  TErrorCode SetAttributes(const std::wstring& aPath, uint32_t aAttributes) override;
  TErrorCode GetFileSize(const std::wstring& aPath, uint64_t& aSize) override;
  TErrorCode GetCreationTime(const std::wstring& aPath, TFileTime& aTime) override;
  TErrorCode GetFileTimes(const std::wstring& aPath, TFileTimes& aTimes) override;
  TErrorCode GetFileInfo(const std::wstring& aPath, TFileInfo& aInfo) override;
  TErrorCode SetFileTimes(const std::wstring& aPath, const TFileTimes& aTimes) override;
  TErrorCode DeleteFile(const std::wstring& aPath) override;
  TErrorCode DeleteFileInFolder(const std::wstring& aPath, const std::wstring& aFolder) override;
  TErrorCode MoveFileInFolder(const std::wstring& aPath, const std::wstring& aFolder,
                              const std::wstring& aTo) override;
  TErrorCode RemoveFolder(const std::wstring& aPath) override;
  TErrorCode CreateFolder(const std::wstring& aPath) override;
  TErrorCode ReadFile(const std::wstring& aPath, std::vector<uint8_t>& aData,
                      uint64_t aMaxBytes) override;
  TErrorCode ReadFilePart(const std::wstring& aPath, uint64_t aOffset, uint32_t aMaxBytes,
                          std::vector<uint8_t>& aData) override;
  TErrorCode WriteFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) override;
  TErrorCode WriteProtectedFile(const std::wstring& aPath,
                                const std::vector<uint8_t>& aData) override;
  TErrorCode AppendFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) override;
  TErrorCode TruncateFile(const std::wstring& aPath, uint64_t aSize) override;
  TErrorCode ReplaceFile(const std::wstring& aFrom, const std::wstring& aTo) override;
  TErrorCode GetLongPath(const std::wstring& aPath, std::wstring& aLongPath) override;
  TErrorCode GetFinalPath(const std::wstring& aPath, std::wstring& aFinalPath) override;
  TErrorCode CheckWriteAccess(const std::wstring& aPath, bool& aWriteable) override;

private:
  // The node a path names: PathNotFound when the path is malformed or its folder is missing,
  // FileNotFound when only the last part is. With aOpening an injected open failure answers first.
  TErrorCode Locate(const std::wstring& aPath, bool aOpening, TFsNode*& aNode);
  TErrorCode Write(const std::wstring& aPath, const std::vector<uint8_t>& aData, bool aAppend);
  // Deletes the file the path names in its parent folder, after the injected failures and the
  // checks every deletion makes.
  TErrorCode RemoveFile(const TFsPath& aPath, TFsNode& aParent);
  // The parent of a file inside aFolder that no junction leads elsewhere, as DeleteFileInFolder
  // checks it.
  TErrorCode LocateInFolder(const std::wstring& aPath, const std::wstring& aFolder,
                            TFsPath& aParsed, TFsNode*& aParent);
  TFakeMachine::TImpl& FMachine;
};

class TFakeSystem : public ISystem {
public:
  explicit TFakeSystem(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  bool GetEnv(const std::wstring& aName, std::wstring& aValue) override;
  TErrorCode SetEnv(const std::wstring& aName, const std::wstring& aValue) override;
  std::wstring ExpandEnvironmentStrings(const std::wstring& aText) override;
  TOSVersion GetVersion() override;
  uint16_t GetSystemDefaultLangID() override;
  TErrorCode GetDateTimeFormats(TDateTimeFormats& aFormats) override;
  uint32_t GetAnsiCodePage() override;
  TErrorCode DecodeCodePage(uint32_t aCodePage, std::string_view aBytes,
                            std::wstring& aText) override;
  TErrorCode EncodeCodePage(uint32_t aCodePage, std::wstring_view aText,
                            std::string& aBytes) override;
  TErrorCode GetRandomBytes(uint8_t* aData, size_t aSize) override;
  std::wstring GetProgramPath() override;
  std::wstring GetTempFolder() override;
  std::wstring GetWindowsFolder() override;
  std::wstring GetSystemFolder() override;
  std::wstring GetCurrentFolder() override;

private:
  TFakeMachine::TImpl& FMachine;
};

class TFakeProcesses : public IProcesses {
public:
  explicit TFakeProcesses(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  TErrorCode StartProcess(const TProcessStart& aStart, TProcessResult& aResult) override;
  TErrorCode ShellExecute(const TShellExecute& aRequest) override;
  TErrorCode ListRunningPrograms(std::vector<std::wstring>& aNames) override;

private:
  TFakeMachine::TImpl& FMachine;
};

class TFakeShellLinks : public IShellLinks {
public:
  explicit TFakeShellLinks(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  TErrorCode ReadShortcut(const std::wstring& aPath, TShortcut& aShortcut) override;
  TErrorCode WriteShortcut(const std::wstring& aPath, const TShortcut& aShortcut) override;

private:
  TFakeMachine::TImpl& FMachine;
};

class TFakeSystemRestore : public ISystemRestore {
public:
  explicit TFakeSystemRestore(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  TErrorCode LoadLibrary(std::wstring& aMissingEntryPoint) override;
  bool SetRestorePoint(const TRestorePointInfo& aInfo, TRestorePointStatus& aStatus) override;

private:
  TFakeMachine::TImpl& FMachine;
};

class TFakeClock : public IClock {
public:
  explicit TFakeClock(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  TFileTime NowUtc() override;
  TFileTime UtcToLocal(TFileTime aUtc) override;
  uint64_t TickMs() override;
  void SleepMs(uint32_t aMs) override;

private:
  TFakeMachine::TImpl& FMachine;
};

class TFakeDebug : public IDebugOutput {
public:
  explicit TFakeDebug(TFakeMachine::TImpl& aMachine) : FMachine(aMachine) {}
  void Output(const std::wstring& aTag, const std::wstring& aText) override;

private:
  TFakeMachine::TImpl& FMachine;
};

// A registry key failure: the root, the upper-cased key path and, for values, the value name.
struct TRegFailure {
  TRegHandle Root;
  std::wstring Path;
  std::wstring Name;
  bool operator<(const TRegFailure& aOther) const {
    if (Root != aOther.Root) {
      return Root < aOther.Root;
    }
    if (Path != aOther.Path) {
      return Path < aOther.Path;
    }
    return Name < aOther.Name;
  }
};

struct TFakeMachine::TImpl {
  TImpl();

  mutable std::recursive_mutex Lock;

  // --- Registry.
  std::map<TRegHandle, std::shared_ptr<TRegNode>> Roots;
  std::map<TRegHandle, TRegOpenKey> OpenKeys;
  TRegHandle NextRegHandle = 0x1000;
  std::map<TRegFailure, TErrorCode> FailOpenKey, FailSetValue, FailDeleteValue, FailDeleteKey;
  // Random bytes drawn so far: each machine gives the same sequence.
  uint64_t RandomDrawn = 0;

  // Splits a key path into its names; empty parts (doubled or trailing backslashes) are skipped.
  static std::vector<std::wstring> SplitKeyPath(const std::wstring& aPath);
  static std::wstring JoinUpper(const std::vector<std::wstring>& aNames);
  // The root and full path a parent handle and sub-key name, mapped into the requested view.
  TErrorCode ResolveKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                        TRegHandle& aRoot, std::vector<std::wstring>& aPath) const;
  std::shared_ptr<TRegNode> FindKey(TRegHandle aRoot, const std::vector<std::wstring>& aPath) const;
  // Creates the missing keys of the path; aCreated tells whether the last one was new.
  std::shared_ptr<TRegNode> MakeKey(TRegHandle aRoot, std::vector<std::wstring>& aPath,
                                    bool* aCreated);
  // The open key behind a handle (a root counts as an open key with full access).
  TErrorCode UseKey(TRegHandle aKey, TRegOpenKey& aOpen) const;

  // --- Files.
  std::map<wchar_t, std::unique_ptr<TFsNode>> Drives;
  // Network shares met so far, by upper-case "\\SERVER\SHARE": their key in Drives and the
  // name as first written.
  mutable std::map<std::wstring, std::pair<wchar_t, std::wstring>> Shares;
  std::map<TFindHandle, TFindState> Finds;
  TFindHandle NextFindHandle = 0x2000;
  std::map<std::wstring, std::wstring, TNameLess> ShortNames;
  std::map<std::wstring, TErrorCode, TNameLess> FailDeleteFile;
  // Opens that fail, until the tick count reaches the given one where one is given.
  std::map<std::wstring, std::pair<TErrorCode, std::optional<uint64_t>>, TNameLess> FailOpenFile;
  bool DiskFull = false;
  std::optional<uint64_t> DiskSpace;

  // Parses an absolute or current-folder-relative path; false when it has no usable form.
  bool ParsePath(const std::wstring& aPath, TFsPath& aParsed) const;
  static std::wstring FormatPath(const TFsPath& aPath);
  // The path with every junction on the way replaced by its target, and the last name's too with
  // aFollowLast; names as stored where they exist. False when junctions nest too deep.
  bool RealPath(const TFsPath& aPath, bool aFollowLast, TFsPath& aReal) const;
  // The same, with the node there (nullptr when the path leads to nothing).
  bool RealPath(const TFsPath& aPath, bool aFollowLast, TFsPath& aReal, TFsNode*& aNode) const;
  // The node at a path, through junctions on the way as the system goes through them.
  TFsNode* FindNode(const TFsPath& aPath, bool aFollowLast = false) const;
  // The error an open of the path fails with now; Success when it may be opened.
  TErrorCode OpenFailure(const TFsPath& aPath) const;
  // The folder that holds the path's last name: PathNotFound when it is missing.
  TErrorCode FindParent(const TFsPath& aPath, TFsNode*& aParent) const;
  // Creates the drive and the folders of the path as needed (seeding).
  TFsNode* MakeFolders(const TFsPath& aPath);
  // A new empty file (replacing what was there); null when the path names no file.
  TFsNode* MakeFileNode(const std::wstring& aPath);
  // Takes up to aWanted bytes of the remaining disk space; the number that fit.
  uint64_t TakeSpace(uint64_t aWanted);

  // --- System.
  std::map<std::wstring, std::pair<std::wstring, std::wstring>, TNameLess> Env; // name, value
  TOSVersion Version;
  uint16_t LangID = 0x0409;
  TDateTimeFormats DateTimeFormats;
  uint32_t AnsiCodePage = 1252;
  std::wstring ProgramPath;
  std::wstring TempFolder;
  std::wstring WindowsFolder = L"C:\\Windows";
  std::wstring SystemFolder = L"C:\\Windows\\System32";
  std::wstring CurrentFolder;

  // --- Processes, shell, restore, clock, debug.
  TLaunchHandler LaunchHandler;
  TShellHandler ShellHandler;
  std::vector<TProcessStart> Launches;
  std::vector<TShellExecute> ShellExecutions;
  std::vector<std::wstring> RunningPrograms{L"explorer.exe"};
  std::optional<TErrorCode> ListProgramsFailure;
  TErrorCode RestoreLoadResult = err::Success;
  std::wstring RestoreMissingEntryPoint;
  uint32_t RestoreStatus = 0;
  bool RestoreRefused = false;
  int64_t RestoreSequence = 100;
  std::vector<TRestorePointInfo> RestoreCalls;
  TFileTime Now = 0;
  // Read without the lock, as the system's tick count is: a scan reads it at every place.
  std::atomic<uint64_t> Tick{0};
  int LocalOffsetMinutes = 0;
  std::vector<TDebugLine> DebugLines;

  TFakeRegistry RegistryPart{*this};
  TFakeFiles FilesPart{*this};
  TFakeSystem SystemPart{*this};
  TFakeProcesses ProcessesPart{*this};
  TFakeShellLinks ShellLinksPart{*this};
  TFakeSystemRestore RestorePart{*this};
  TFakeClock ClockPart{*this};
  TFakeDebug DebugPart{*this};
};

} // namespace kplat::fake
