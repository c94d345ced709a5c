#pragma once
// The one way Kestrova's own code reaches the operating system. Two backends implement it: win32
// (the real API, Windows build only) and fake (an in-memory machine for tests). The program sets
// the backend once at start with SetPlatform; everything else calls Platform().
//
// Every call reports failure by its result, a system error code (kplat::err), never by exception.
// Backends are safe to call from any thread.

#include "platform/PlatformTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace kplat {

class IRegistry {
public:
  virtual ~IRegistry() = default;

  // Opens an existing key below aParent (a root or an open key); never creates it. An empty
  // aSubKey opens aParent again.
  virtual TErrorCode OpenKey(TRegHandle aParent, const std::wstring& aSubKey, TRegAccess aAccess,
                             TRegView aView, TRegHandle& aKey) = 0;
  // Opens a key, creating it and any missing parents. aCreated tells whether it was new.
  virtual TErrorCode CreateKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                               TRegHandle& aKey, bool* aCreated = nullptr) = 0;
  // CreateKey for a key that only administrators and the system may read or change: a key it
  // creates gets that security (its missing parents get their usual one); an existing key keeps
  // whatever it has. A process without the right to create it there gets AccessDenied.
  virtual TErrorCode CreateProtectedKey(TRegHandle aParent, const std::wstring& aSubKey,
                                        TRegView aView, TRegHandle& aKey) = 0;
  virtual void CloseKey(TRegHandle aKey) = 0;

  // Names in the order the system enumerates them.
  virtual TErrorCode EnumSubKeys(TRegHandle aKey, std::vector<std::wstring>& aNames) = 0;
  virtual TErrorCode EnumValues(TRegHandle aKey, std::vector<std::wstring>& aNames) = 0;
  virtual TErrorCode QueryInfo(TRegHandle aKey, TRegKeyInfo& aInfo) = 0;

  // An empty name is the key's default value.
  virtual TErrorCode QueryValue(TRegHandle aKey, const std::wstring& aName, TRegValue& aValue) = 0;
  virtual TErrorCode SetValue(TRegHandle aKey, const std::wstring& aName,
                              const TRegValue& aValue) = 0;
  virtual TErrorCode DeleteValue(TRegHandle aKey, const std::wstring& aName) = 0;
  // Deletes aSubKey of aParent with all its sub-keys and values; aSubKey must not be empty.
  virtual TErrorCode DeleteKeyTree(TRegHandle aParent, const std::wstring& aSubKey,
                                   TRegView aView) = 0;
};

class IFileSystem {
public:
  virtual ~IFileSystem() = default;

  // Find-first/find-next over a pattern such as "C:\Temp\*.tmp" (wildcards * and ? in the last
  // part). FindFirst reports FileNotFound when nothing matches; FindNext reports NoMoreItems.
  virtual TErrorCode FindFirst(const std::wstring& aPattern, TFindHandle& aFind,
                               TFindData& aData) = 0;
  virtual TErrorCode FindNext(TFindHandle aFind, TFindData& aData) = 0;
  virtual void FindClose(TFindHandle aFind) = 0;

  virtual TErrorCode GetAttributes(const std::wstring& aPath, uint32_t& aAttributes) = 0;
  virtual TErrorCode SetAttributes(const std::wstring& aPath, uint32_t aAttributes) = 0;
  // Size of a file that can be opened for reading.
  virtual TErrorCode GetFileSize(const std::wstring& aPath, uint64_t& aSize) = 0;
  // Creation time of a file or a folder.
  virtual TErrorCode GetCreationTime(const std::wstring& aPath, TFileTime& aTime) = 0;
  // The three times of a file; SetFileTimes sets all three.
  virtual TErrorCode GetFileTimes(const std::wstring& aPath, TFileTimes& aTimes) = 0;
  virtual TErrorCode SetFileTimes(const std::wstring& aPath, const TFileTimes& aTimes) = 0;
  // The attributes, times and size of a file or folder in one call that opens nothing, of a link
  // itself rather than of what it leads to (as GetAttributes); cheaper than the three calls.
  virtual TErrorCode GetFileInfo(const std::wstring& aPath, TFileInfo& aInfo) = 0;

  virtual TErrorCode DeleteFile(const std::wstring& aPath) = 0;
  // Deletes the file aPath, which must lie inside aFolder, without following a junction or
  // symbolic link: refused with StoppedOnLink, nothing deleted, when the file is a link itself or
  // when the opened file really is somewhere else (a link on the way led elsewhere). Both paths
  // are compared as GetFinalPath gives them, without regard to case.
  virtual TErrorCode DeleteFileInFolder(const std::wstring& aPath, const std::wstring& aFolder) = 0;
  // Moves the file aPath, which must lie inside aFolder, to aTo, checked as DeleteFileInFolder
  // checks (StoppedOnLink through a link). Never replaces: AlreadyExists when aTo exists.
  // NotSameDevice when aTo is on another volume, where only a copy can take the file.
  virtual TErrorCode MoveFileInFolder(const std::wstring& aPath, const std::wstring& aFolder,
                                      const std::wstring& aTo) = 0;
  virtual TErrorCode RemoveFolder(const std::wstring& aPath) = 0; // an empty folder
  virtual TErrorCode CreateFolder(const std::wstring& aPath) = 0; // one level; parents must exist

  // Whole-file read; a file larger than aMaxBytes is refused with NotEnoughMemory.
  virtual TErrorCode ReadFile(const std::wstring& aPath, std::vector<uint8_t>& aData,
                              uint64_t aMaxBytes) = 0;
  // Reads the bytes from aOffset on, at most aMaxBytes of them: fewer only where the file ends,
  // none at or past its end. Files too large to read whole are read part by part this way.
  virtual TErrorCode ReadFilePart(const std::wstring& aPath, uint64_t aOffset, uint32_t aMaxBytes,
                                  std::vector<uint8_t>& aData) = 0;
  // Creates or truncates the file and writes the data, flushed to disk before returning.
  virtual TErrorCode WriteFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) = 0;
  // Appends to the file (creating it), flushed before returning.
  virtual TErrorCode AppendFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) = 0;
  // Cuts an existing file to its first aSize bytes, flushed before returning; a size beyond the
  // end is refused with InvalidParameter. It needs no room, so it works on a full disk too.
  virtual TErrorCode TruncateFile(const std::wstring& aPath, uint64_t aSize) = 0;
  // Moves aFrom onto aTo, replacing aTo in one step (the atomic half of a safe write).
  virtual TErrorCode ReplaceFile(const std::wstring& aFrom, const std::wstring& aTo) = 0;
  // Creates the new file aPath with aData, flushed (AlreadyExists when the name is taken), with
  // an access list of its own, nothing inherited from its folder: the administrators and the
  // system may do anything with it, everybody else (its owner too) only read it. A file that
  // cannot be written whole is removed again. Wine does not enforce the list.
  virtual TErrorCode WriteProtectedFile(const std::wstring& aPath,
                                        const std::vector<uint8_t>& aData) = 0;

  // The long-path form of an existing path (8.3 names expanded).
  virtual TErrorCode GetLongPath(const std::wstring& aPath, std::wstring& aLongPath) = 0;
  // Where an existing file or folder really is: every junction and symbolic link on the way (and
  // the path's own, if it is one) followed, names as the file system keeps them, as "C:\..." or
  // "\\server\share\...".
  virtual TErrorCode GetFinalPath(const std::wstring& aPath, std::wstring& aFinalPath) = 0;
  // Whether the current user may write into the file or folder (an access check against its
  // security descriptor for generic write access).
  virtual TErrorCode CheckWriteAccess(const std::wstring& aPath, bool& aWriteable) = 0;
};

class ISystem {
public:
  virtual ~ISystem() = default;

  virtual bool GetEnv(const std::wstring& aName, std::wstring& aValue) = 0;
  virtual TErrorCode SetEnv(const std::wstring& aName, const std::wstring& aValue) = 0;
  // Replaces every %NAME% of a defined variable by its value; undefined ones stay as written.
  virtual std::wstring ExpandEnvironmentStrings(const std::wstring& aText) = 0;

  virtual TOSVersion GetVersion() = 0;
  virtual uint16_t GetSystemDefaultLangID() = 0;
  // The current user's short date and long time formats.
  virtual TErrorCode GetDateTimeFormats(TDateTimeFormats& aFormats) = 0;
  // The code page of the system's 8-bit ("ANSI") text.
  virtual uint32_t GetAnsiCodePage() = 0;
  // 8-bit text in a code page and back, as the system converts it: a byte sequence the page does
  // not define decodes to a stand-in character, never fails; a character the page lacks encodes
  // as "?" (no look-alike). InvalidParameter for a code page the system does not know.
  virtual TErrorCode DecodeCodePage(uint32_t aCodePage, std::string_view aBytes,
                                    std::wstring& aText) = 0;
  virtual TErrorCode EncodeCodePage(uint32_t aCodePage, std::wstring_view aText,
                                    std::string& aBytes) = 0;

  // Bytes from the system's cryptographic random number generator.
  virtual TErrorCode GetRandomBytes(uint8_t* aData, size_t aSize) = 0;

  virtual std::wstring GetProgramPath() = 0;   // full path of the running executable
  virtual std::wstring GetTempFolder() = 0;    // with trailing backslash, as the system gives it
  virtual std::wstring GetWindowsFolder() = 0; // without trailing backslash
  virtual std::wstring GetSystemFolder() = 0;  // without trailing backslash
  virtual std::wstring GetCurrentFolder() = 0; // without trailing backslash
};

class IProcesses {
public:
  virtual ~IProcesses() = default;

  // Starts a process and waits up to aStart.WaitMs for it to end.
  virtual TErrorCode StartProcess(const TProcessStart& aStart, TProcessResult& aResult) = 0;
  // Shell execution with a verb; failure (including a refused elevation) is reported.
  virtual TErrorCode ShellExecute(const TShellExecute& aRequest) = 0;
  // The file names ("chrome.exe") of the programs running now, one per process, in the system's
  // order; a program with several processes appears several times.
  virtual TErrorCode ListRunningPrograms(std::vector<std::wstring>& aNames) = 0;
};

class IShellLinks {
public:
  virtual ~IShellLinks() = default;

  // Reads a shortcut (.lnk) file. Component-object initialisation is handled per thread.
  virtual TErrorCode ReadShortcut(const std::wstring& aPath, TShortcut& aShortcut) = 0;
  virtual TErrorCode WriteShortcut(const std::wstring& aPath, const TShortcut& aShortcut) = 0;
};

class ISystemRestore {
public:
  virtual ~ISystemRestore() = default;

  // Loads "SRCLIENT.DLL" once for the process and looks up its two entry points:
  // ModuleNotFound when the library is missing, ProcNotFound (with the name) when an entry point
  // is.
  virtual TErrorCode LoadLibrary(std::wstring& aMissingEntryPoint) = 0;
  // "SRSetRestorePointW": true when the call succeeded; aStatus is filled either way.
  virtual bool SetRestorePoint(const TRestorePointInfo& aInfo, TRestorePointStatus& aStatus) = 0;
};

class IClock {
public:
  virtual ~IClock() = default;

  virtual TFileTime NowUtc() = 0;
  virtual TFileTime UtcToLocal(TFileTime aUtc) = 0;
  // Milliseconds since an arbitrary start; never goes backwards.
  virtual uint64_t TickMs() = 0;
  virtual void SleepMs(uint32_t aMs) = 0;
};

class IDebugOutput {
public:
  virtual ~IDebugOutput() = default;
  // Sends one text to the system's debug channel (a debug viewer on Windows). The tag names the
  // part of the program that speaks, such as "Settings".
  virtual void Output(const std::wstring& aTag, const std::wstring& aText) = 0;
};

class IPlatform {
public:
  virtual ~IPlatform() = default;
  virtual IRegistry& Registry() = 0;
  virtual IFileSystem& Files() = 0;
  virtual ISystem& System() = 0;
  virtual IProcesses& Processes() = 0;
  virtual IShellLinks& ShellLinks() = 0;
  virtual ISystemRestore& SystemRestore() = 0;
  virtual IClock& Clock() = 0;
  virtual IDebugOutput& Debug() = 0;
};

// The backend in use. Set once at start (and by tests around each case); not owned.
IPlatform& Platform();
IPlatform* SetPlatform(IPlatform* aPlatform); // returns the previous one

// Installs a backend for the lifetime of the object and puts the previous one back.
class TScopedPlatform {
public:
  explicit TScopedPlatform(IPlatform& aPlatform) : FPrevious(SetPlatform(&aPlatform)) {}
  ~TScopedPlatform() { SetPlatform(FPrevious); }
  TScopedPlatform(const TScopedPlatform&) = delete;
  TScopedPlatform& operator=(const TScopedPlatform&) = delete;

private:
  IPlatform* FPrevious;
};

// Debug channel: lines are sent only while debug mode is on.
void SetDebugEnabled(bool aEnabled);
bool DebugEnabled();
void DebugLog(const std::wstring& aTag, const std::wstring& aText);

} // namespace kplat
