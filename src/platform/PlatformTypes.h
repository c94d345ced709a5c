#pragma once
// Values and records shared by every backend of the platform layer. The numbers are the ones the
// Windows API uses, so a backend can pass them through and portable code can compare them; the
// names are our own because <windows.h> defines the Windows names as macros.

#include <cstdint>
#include <string>
#include <vector>

namespace kplat {

// System error codes (the Win32 numbers). Every platform call reports one; 0 is success.
using TErrorCode = long;
namespace err {
constexpr TErrorCode Success = 0;
constexpr TErrorCode FileNotFound = 2;
constexpr TErrorCode PathNotFound = 3;
constexpr TErrorCode AccessDenied = 5;
constexpr TErrorCode InvalidHandle = 6;
constexpr TErrorCode InvalidData = 13;
constexpr TErrorCode NotEnoughMemory = 8;
constexpr TErrorCode NotSameDevice = 17; // a move to another volume
constexpr TErrorCode WriteProtect = 19;
constexpr TErrorCode SharingViolation = 32;
constexpr TErrorCode NotSupported = 50;
constexpr TErrorCode FileExists = 80;
constexpr TErrorCode InvalidParameter = 87;
constexpr TErrorCode DiskFull = 112;
constexpr TErrorCode InvalidName = 123;
constexpr TErrorCode ModuleNotFound = 126;
constexpr TErrorCode ProcNotFound = 127;
constexpr TErrorCode DirNotEmpty = 145;
constexpr TErrorCode AlreadyExists = 183;
constexpr TErrorCode MoreData = 234;
constexpr TErrorCode NoMoreItems = 259;
// An operation that would have gone through a junction or symbolic link (ERROR_STOPPED_ON_SYMLINK).
constexpr TErrorCode StoppedOnLink = 681;
constexpr TErrorCode KeyDeleted = 1018;
constexpr TErrorCode Timeout = 1460;
} // namespace err

// Registry value types (REG_*).
namespace regtype {
constexpr uint32_t None = 0;
constexpr uint32_t Sz = 1;
constexpr uint32_t ExpandSz = 2;
constexpr uint32_t Binary = 3;
constexpr uint32_t Dword = 4;
constexpr uint32_t DwordBigEndian = 5;
constexpr uint32_t Link = 6;
constexpr uint32_t MultiSz = 7;
constexpr uint32_t ResourceList = 8;
constexpr uint32_t Qword = 11;
} // namespace regtype

// An open registry key. The predefined roots are the values Windows gives HKEY_CLASSES_ROOT and
// its siblings; they are always open and closing them does nothing.
using TRegHandle = std::uintptr_t;
namespace regroot {
constexpr TRegHandle ClassesRoot = 0x80000000u;
constexpr TRegHandle CurrentUser = 0x80000001u;
constexpr TRegHandle LocalMachine = 0x80000002u;
constexpr TRegHandle Users = 0x80000003u;
constexpr TRegHandle PerformanceData = 0x80000004u;
constexpr TRegHandle CurrentConfig = 0x80000005u;
constexpr TRegHandle DynData = 0x80000006u;
} // namespace regroot
constexpr TRegHandle kNoRegHandle = 0;
inline bool IsPredefinedRoot(TRegHandle aKey) {
  return aKey >= regroot::ClassesRoot && aKey <= regroot::DynData;
}

enum class TRegAccess {
  Read,      // query and enumerate
  FullAccess // also set and delete
};

// Which registry view a key is opened in on 64-bit Windows (KEY_WOW64_64KEY / KEY_WOW64_32KEY).
enum class TRegView { Default, Native64, Wow32 };

struct TRegValue {
  uint32_t Type = regtype::None;
  std::vector<uint8_t> Data; // exactly as stored; strings are UTF-16LE including any NULs
};

struct TRegKeyInfo {
  uint32_t SubKeyCount = 0;
  uint32_t ValueCount = 0;
};

// File attributes (FILE_ATTRIBUTE_*).
namespace fileattr {
constexpr uint32_t ReadOnly = 0x1;
constexpr uint32_t Hidden = 0x2;
constexpr uint32_t System = 0x4;
constexpr uint32_t VolumeLabel = 0x8;
constexpr uint32_t Directory = 0x10;
constexpr uint32_t Archive = 0x20;
constexpr uint32_t Normal = 0x80;
constexpr uint32_t Temporary = 0x100;
constexpr uint32_t ReparsePoint = 0x400;
constexpr uint32_t Compressed = 0x800;
constexpr uint32_t Invalid = 0xFFFFFFFFu;
} // namespace fileattr

// A time as Windows keeps it for files: 100-nanosecond intervals since 1 January 1601 (UTC).
using TFileTime = uint64_t;

struct TFindData {
  std::wstring Name; // the long name, without its folder
  uint32_t Attributes = 0;
  uint64_t Size = 0;
  TFileTime CreationTime = 0;
  TFileTime LastWriteTime = 0;
};

// The three times a file keeps.
struct TFileTimes {
  TFileTime Creation = 0;
  TFileTime LastAccess = 0;
  TFileTime LastWrite = 0;
  bool operator==(const TFileTimes&) const = default;
};

// What the file system tells of a file or folder without opening it.
struct TFileInfo {
  uint32_t Attributes = 0;
  TFileTimes Times;
  uint64_t Size = 0; // 0 for a folder
};

using TFindHandle = std::uintptr_t;
constexpr TFindHandle kNoFindHandle = 0;

struct TOSVersion {
  uint32_t Major = 0;
  uint32_t Minor = 0;
  uint32_t Build = 0;
  std::wstring ServicePack;           // "Service Pack 1", or empty
  uint32_t ProductType = 1;           // 1 workstation, 2 domain controller, 3 server
  uint32_t ProcessorArchitecture = 9; // 0 x86, 9 x64, 12 ARM64
};

// The user's date and time formats as the system's locale settings give them: patterns of the
// letters d M y h H m s t with literal text between ('quoted' where it would read as letters).
struct TDateTimeFormats {
  std::wstring ShortDate = L"M/d/yyyy";
  std::wstring LongTime = L"h:mm:ss tt";
  std::wstring DateSeparator = L"/";
  std::wstring TimeSeparator = L":";
  std::wstring TimeAM = L"AM";
  std::wstring TimePM = L"PM";
  // Numbers: the decimal separator of the user's locale.
  std::wstring DecimalSeparator = L".";
  bool operator==(const TDateTimeFormats&) const = default;
};

// Wait limits in milliseconds.
constexpr uint32_t kNoWait = 0;
constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

struct TProcessStart {
  std::wstring Application; // optional: the program to run; empty lets the command line name it
  std::wstring CommandLine;
  std::wstring WorkingFolder; // empty: the current folder
  bool Hidden = false;
  bool InheritHandles = false;
  uint32_t WaitMs = kNoWait; // how long to wait for the process to end
};

struct TProcessResult {
  bool Finished = false; // the process ended within the wait
  uint32_t ExitCode = 0; // valid when Finished
};

struct TShellExecute {
  std::wstring Verb; // "open", "runas"; empty for the default verb
  std::wstring File;
  std::wstring Parameters;
  std::wstring Folder;
  bool Hidden = false;
  bool NoErrorUi = false;    // no error dialogs from the shell
  bool WaitForStart = false; // wait for the shell's start-up work (SEE_MASK_FLAG_DDEWAIT)
};

struct TShortcut {
  std::wstring Target;
  std::wstring Arguments;
  std::wstring WorkingFolder;
};

// System Restore records, as SRSetRestorePointW takes and fills them.
struct TRestorePointInfo {
  uint32_t EventType = 0;        // 100 begin system change, 101 end system change
  uint32_t RestorePointType = 0; // 0 application install
  int64_t SequenceNumber = 0;
  std::wstring Description; // at most 256 characters go to the system
};

struct TRestorePointStatus {
  uint32_t Status = 0;
  int64_t SequenceNumber = 0;
};

} // namespace kplat
