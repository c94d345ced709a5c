#pragma once
// The common helpers every part of the program shares: program and system paths, path joining,
// registry strings and shell folders, starting programs (plainly, elevated or through the
// browser), strings, the HTTP form encoding and a rectangle fit.
//
// They keep no state except the temporary-name generator, run on any thread, and report failure
// by their result (empty, false, -1). Only HTTPDecode and RunAsAdmin throw, an ECLError, which
// never leaves our own code: their callers catch it.
//
// The helpers that need a window (foreground, top-most, single-instance mutex, mail) are in
// base/win32/CLHelpersWin.h.

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A failure the helpers raise. The message is the user-facing text (in UTF-8 for what()).
class ECLError : public std::runtime_error {
public:
  explicit ECLError(const std::wstring& aMessage,
                    kplat::TErrorCode aErrorCode = kplat::err::Success);
  const std::wstring& Message() const { return FMessage; }
  // The system error behind it, 0 when it is not a system failure.
  kplat::TErrorCode ErrorCode() const { return FErrorCode; }

private:
  std::wstring FMessage;
  kplat::TErrorCode FErrorCode;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

// --- Paths and files ----------------------------------------------------------------------------

std::wstring GetAppExeName();
// The program's folder in long-path form, with a trailing backslash.
std::wstring GetAppPath();
std::wstring GetAppPathNoSlash();
// The system's temporary folder exactly as the system gives it (with trailing backslash).
std::wstring GetTempDir();
// The Windows folder with a trailing backslash.
std::wstring GetWindowsDir();
// The long form of an existing path; the input unchanged when the system cannot expand it.
std::wstring GetLongPath(const std::wstring& aPath);

std::wstring UnixToDosPath(const std::wstring& aPath);
// UnixToDosPath with a trailing backslash; an empty path stays empty.
std::wstring NormalizeFolder(const std::wstring& aPath);
// The path without its trailing backslashes ("C:\Data\\" gives "C:\Data"); a drive's root keeps
// its backslash ("C:\"), for without it the path would name the drive's current folder.
std::wstring ExcludeTrailingBackslash(std::wstring aPath);
// The path without any trailing backslash, a drive's root too ("C:\" gives "C:"): the form in
// which one place is compared as the start of another.
std::wstring StripTrailingBackslashes(std::wstring aPath);
// aRelative below aBase. A relative path holding ":" and any path below a network base ("\\...")
// give aRelative alone (slashes turned); below a drive path a relative path starting with "\"
// starts at the drive's root; below anything else aRelative is returned unchanged. Code that
// builds a path to check or delete a file must not rely on it for network folders.
std::wstring JoinPath(const std::wstring& aBase, const std::wstring& aRelative);
// Whether aPath is a full path: a drive path ("C:\...") or a network path ("\\server\share...").
// Any other path would be taken from the current folder or the current drive.
bool IsFullPath(const std::wstring& aPath);
// aRelative below aFolder, for paths whose files are read, written or deleted: a network folder
// stays that folder. Empty when aFolder is not a full path or aRelative is not relative (it starts
// with "\" or "/", or holds ":"), so that nothing is ever taken from the current folder.
std::wstring JoinFolderPath(const std::wstring& aFolder, const std::wstring& aRelative);
// JoinPath of aReferenceFile's folder and aRelative.
std::wstring GetRelativeFile(const std::wstring& aReferenceFile, const std::wstring& aRelative);
// The part up to and including the last "\", "/" or ":" (empty when there is none).
std::wstring ExtractFilePath(const std::wstring& aPath);
// ExtractFilePath without its trailing backslash, unless that is a drive's root ("C:\").
std::wstring ExtractFileDir(const std::wstring& aPath);
std::wstring ExtractFileName(const std::wstring& aPath);
// The file-name part without its last extension ("a.tar.gz" gives "a.tar").
std::wstring GetFileNameNoExt(const std::wstring& aPath);

// Appends the names of the files and folders matching aMask (wildcards in its last part), with
// the mask's folder in front when aWithPath. "." and ".." and volume labels are left out; the
// list is not cleared.
void FindFiles(const std::wstring& aMask, std::vector<std::wstring>& aList, bool aWithPath);
// The size in bytes, -1 when the file cannot be opened for reading (also for a folder).
int64_t GetFileSizeByName(const std::wstring& aFileName);
// Creation time of a file or folder; false when it cannot be opened.
bool GetFileCreationTime(const std::wstring& aPath, kplat::TFileTime& aTime);
// Whether the current user is granted generic write access to the folder; false on any failure.
bool IsPathWriteable(const std::wstring& aFolder);

// A path in aFolder named aPrefix + a random number below 0xFFFFF in upper-case hexadecimal
// (no leading zeros) + "." + aExtension that no file or folder has. Empty in the unlikely case
// that every draw of a long series was taken.
std::wstring MakeUniqueTempName(const std::wstring& aFolder, const std::wstring& aPrefix,
                                const std::wstring& aExtension);
// The same with the numbers drawn from aRandom (reduced below 0xFFFFF).
std::wstring MakeUniqueTempName(const std::wstring& aFolder, const std::wstring& aPrefix,
                                const std::wstring& aExtension,
                                const std::function<uint32_t()>& aRandom);

// --- Registry and shell -------------------------------------------------------------------------

// The string value, or aDefault when the key or the value is missing or not a string.
std::wstring ReadRegString(kplat::TRegHandle aRoot, const std::wstring& aKey,
                           const std::wstring& aName, const std::wstring& aDefault);
// Creates the key when needed and writes a string value; failures are ignored.
void WriteRegString(kplat::TRegHandle aRoot, const std::wstring& aKey, const std::wstring& aName,
                    const std::wstring& aValue);
bool DeleteRegValue(kplat::TRegHandle aRoot, const std::wstring& aKey, const std::wstring& aName);
// A "Shell Folders" value of the current user, or of the local machine when the user has none.
std::wstring GetShellFolder(const std::wstring& aName);
// A "Shell Folders" value of the local machine.
std::wstring GetCommonShellFolder(const std::wstring& aName);
// 0 when the system does not report it.
uint32_t GetWindowsMajorVersion();

// --- Programs -----------------------------------------------------------------------------------

// Opens an http://, https:// or file:// address in the default browser; any other address is
// refused. The address reaches the browser as exactly one argument: characters that cannot stand
// inside a quoted argument are percent-encoded. True when the browser (or the shell) started.
bool OpenURLInBrowser(const std::wstring& aAddress);
// Starts aProgram elevated (verb "runas") and waits for the shell's start-up work, without the
// shell's error dialogs. Throws ECLError with the system error when that fails or is refused.
void RunAsAdmin(const std::wstring& aProgram, const std::wstring& aParameters);
// Starts a program shipped with the product: aProgram relative to the program's folder (quoted
// on the command line, followed by a blank and aParameters, in its own folder), or without
// aProgram aParameters as the whole command line in the current folder. Waits up to aWaitMs for
// it to end. False when it could not be started.
bool RunProgram(const std::wstring& aProgram, const std::wstring& aParameters, bool aHide,
                uint32_t aWaitMs);
// Starts aProgram (relative to the program's folder; may be empty) with aCommandLine unchanged,
// in aFolder (default: the program's folder), inheriting handles. With aWait it waits up to
// aWaitMs for the end, -1 without limit. False when it could not be started.
bool RunProcess(const std::wstring& aProgram, const std::wstring& aCommandLine,
                const std::wstring& aFolder, bool aHide, bool aWait, int64_t aWaitMs);
// The system's text for an error code, "System error N: ...".
std::wstring SystemErrorMessage(kplat::TErrorCode aError);

// --- Strings ------------------------------------------------------------------------------------

// Appends the pieces between aDelimiter characters: n delimiters give n + 1 pieces, empty ones
// kept; an empty text appends nothing.
void SplitText(const std::wstring& aText, wchar_t aDelimiter, std::vector<std::wstring>& aList);
// Appends the "&"-separated parameters after the first "?" (and after the first ":" behind it).
// With aDecode each parameter is stored as "name=value" with its value HTTP-decoded (a later
// parameter of the same name, compared without regard to case, replaces the earlier one) and
// parameters that do not decode are skipped; without it the pieces are appended as they are.
void ParseURLParams(const std::wstring& aAddress, std::vector<std::wstring>& aList, bool aDecode);
// Whether aText begins with aPrefix, case ignored; every text begins with the empty prefix.
bool StartsText(std::wstring_view aText, std::wstring_view aPrefix);
// aText without the spaces and control characters (U+0000 to U+0020) at either end.
std::wstring Trim(std::wstring_view aText);
// aText without the characters aIsBlank names at either end: for the readers whose blanks are
// their own (the INI profile's, an HTML page's white space).
std::wstring_view TrimBy(std::wstring_view aText, bool (*aIsBlank)(wchar_t));
// aText without the spaces and tabs at either end: for a list a person types, whose other
// characters stay as written.
std::wstring_view TrimSpaces(std::wstring_view aText);
// Every aFrom replaced by aTo, left to right; text that aTo brings in is not searched again. An
// empty aFrom replaces nothing. ReplaceText compares without regard to case.
std::wstring ReplaceAll(std::wstring_view aText, std::wstring_view aFrom, std::wstring_view aTo);
std::wstring ReplaceText(std::wstring_view aText, std::wstring_view aFrom, std::wstring_view aTo);
// The decimal number with zeros in front up to aDigits characters, a minus sign counted ("05",
// "-5", "2024" for 2 digits).
std::wstring ZeroPadded(int aValue, size_t aDigits);
// The number in upper-case hexadecimal with zeros in front up to aMinDigits digits.
std::wstring UpperHex(uint32_t aValue, size_t aMinDigits = 1);
// The value of a hexadecimal digit (either case), -1 for any other character.
int HexDigitValue(wchar_t aChar);
// "{1}", "{2}", ... replaced by the arguments in one pass: text that an argument brings in is
// not replaced again, and a placeholder without an argument stays.
std::wstring FormatArgs(const std::wstring& aText, const std::vector<std::wstring>& aArgs);

// The HTTP form encoding of 8-bit text: letters, digits and *@._-$!'() kept, a space as "+",
// every other byte as "%XX".
std::string HTTPEncode(const std::string& aText);
// The reverse; "%%" is a "%". Throws ECLError for a "%" without two characters after it or with
// two that are not hexadecimal; the position is that of the "%", counted from 1.
std::string HTTPDecode(const std::string& aText);

// Windows-1252, the same on every machine. Characters it cannot hold become "?".
std::string WideToAnsi(const std::wstring& aText);
std::wstring AnsiToWide(const std::string& aText);
// 8-bit text in the system's ANSI code page, converted by the system: language files without a
// byte-order mark, the backup index, address parameters, the server's text answers. Windows-1252
// when the system cannot convert its own code page. Characters it cannot hold become "?".
std::wstring SystemAnsiToWide(std::string_view aText);
std::string WideToSystemAnsi(std::wstring_view aText);

// aSource scaled to the largest size of the same proportions that fits aTarget, centred in it.
// When a side of the target is 0 the target's size is used; otherwise, when a side of the source
// is 0, the source's size. A negative side counts as 0.
TRect FitRect(const TRect& aSource, const TRect& aTarget);
