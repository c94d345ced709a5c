#pragma once
// File-system conveniences on top of IFileSystem: a find handle that closes itself, existence
// tests, and the safe ways to write a file the user depends on.

#include "platform/Platform.h"
#include "platform/Sha256.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kplat {

class TFileFind {
public:
  TFileFind() = default;
  ~TFileFind() { Close(); }
  TFileFind(const TFileFind&) = delete;
  TFileFind& operator=(const TFileFind&) = delete;

  // False when nothing matches or the folder cannot be read.
  bool First(const std::wstring& aPattern, TFindData& aData);
  bool Next(TFindData& aData);
  void Close();

private:
  TFindHandle FHandle = kNoFindHandle;
};

// Reads a file from its start, part by part, for files too large to hold whole. The file is
// opened for each part, so bytes appended meanwhile are read too.
class TFilePartReader {
public:
  TFilePartReader(std::wstring aPath, uint32_t aPartBytes)
      : FPath(std::move(aPath)), FPartBytes(aPartBytes) {}
  // The next part, at most aPartBytes long; empty at the end of the file.
  TErrorCode Next(std::vector<uint8_t>& aPart);

private:
  std::wstring FPath;
  uint32_t FPartBytes;
  uint64_t FOffset = 0;
};

bool FileExists(const std::wstring& aPath);   // a file, not a folder
bool FolderExists(const std::wstring& aPath); // a folder
bool PathExists(const std::wstring& aPath);   // either
// "." and "..", which find-first/next report in every folder but a drive's root.
bool IsDotEntry(const TFindData& aData);

// A path without the long-path prefix the system's final paths carry: "\\?\C:\x" becomes
// "C:\x" and "\\?\UNC\server\share" becomes "\\server\share".
std::wstring WithoutLongPathPrefix(const std::wstring& aPath);
// Comparisons of two paths in the same form (no 8.3 names, no "." or ".."), without regard to
// case, to the long-path prefix or to trailing backslashes. PathInFolder: aPath lies below
// aFolder, not the folder itself.
bool SamePath(const std::wstring& aLeft, const std::wstring& aRight);
bool PathInFolder(const std::wstring& aPath, const std::wstring& aFolder);
// The form both compare: upper case, no long-path prefix, backslashes only and none at the end.
// A caller that holds one path against many turns each into this form once.
std::wstring ComparablePath(const std::wstring& aPath);
// PathInFolder over two paths already in that form.
bool ComparablePathInFolder(std::wstring_view aPath, std::wstring_view aFolder);

// Creates a folder and any missing parents; success when it exists afterwards.
TErrorCode ForceFolders(const std::wstring& aPath);

// Writes the whole file through a temporary file in the same folder and a replacing rename, so
// that a crash or a full disk leaves either the old file or the new one, never a part. On failure
// the old file is untouched and the temporary file is removed.
TErrorCode WriteFileAtomic(const std::wstring& aPath, const std::vector<uint8_t>& aData);

// The SHA-256 of a file's content, read part by part.
TErrorCode HashFile(const std::wstring& aPath, TSha256Digest& aDigest);

// Copies the content of aFrom to aTo (created or replaced), flushed to disk before returning.
// On failure the part of aTo written is removed again.
TErrorCode CopyFileFlushed(const std::wstring& aFrom, const std::wstring& aTo);

} // namespace kplat
