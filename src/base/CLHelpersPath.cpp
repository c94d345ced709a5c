// Program and system paths, path joining and file queries.

#include "base/CLHelpers.h"

#include "platform/FileIO.h"

#include <mutex>
#include <random>

using kplat::Platform;

namespace {

bool IsPathDelimiter(wchar_t aChar) {
  return aChar == L'\\' || aChar == L'/' || aChar == L':';
}

size_t FileNameStart(const std::wstring& aPath) {
  size_t i = aPath.size();
  while (i > 0 && !IsPathDelimiter(aPath[i - 1])) {
    --i;
  }
  return i;
}

std::wstring IncludeTrailingBackslash(const std::wstring& aPath) {
  if (aPath.empty() || aPath.back() == L'\\') {
    return aPath;
  }
  return aPath + L'\\';
}

// One generator for the process, seeded on first use; draws may come from any thread.
uint32_t DrawTempNumber() {
  static std::mutex GLock;
  static std::mt19937 GGenerator{std::random_device{}()};
  std::lock_guard<std::mutex> lock(GLock);
  return static_cast<uint32_t>(GGenerator());
}

constexpr uint32_t kTempNumberLimit = 0xFFFFF;
// Far more draws than there are names: only a folder that lies about existence gets here.
constexpr uint32_t kMaxTempDraws = 16 * kTempNumberLimit;

} // namespace

std::wstring GetAppExeName() {
  return Platform().System().GetProgramPath();
}

std::wstring GetAppPath() {
  return ExtractFilePath(GetLongPath(GetAppExeName()));
}

std::wstring GetAppPathNoSlash() {
  return ExtractFileDir(GetLongPath(GetAppExeName()));
}

std::wstring GetTempDir() {
  return Platform().System().GetTempFolder();
}

std::wstring GetWindowsDir() {
  return IncludeTrailingBackslash(Platform().System().GetWindowsFolder());
}

std::wstring GetLongPath(const std::wstring& aPath) {
  if (aPath.empty()) {
    return aPath;
  }
  std::wstring longPath;
  if (Platform().Files().GetLongPath(aPath, longPath) != kplat::err::Success || longPath.empty()) {
    return aPath;
  }
  return longPath;
}

std::wstring UnixToDosPath(const std::wstring& aPath) {
  std::wstring result = aPath;
  for (wchar_t& c : result) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return result;
}

std::wstring NormalizeFolder(const std::wstring& aPath) {
  return IncludeTrailingBackslash(UnixToDosPath(aPath));
}

std::wstring ExcludeTrailingBackslash(std::wstring aPath) {
  while (aPath.ends_with(L'\\') && !(aPath.size() == 3 && aPath[1] == L':') &&
         aPath.find_first_not_of(L'\\') != std::wstring::npos) {
    aPath.pop_back();
  }
  return aPath;
}

std::wstring StripTrailingBackslashes(std::wstring aPath) {
  while (aPath.ends_with(L'\\')) {
    aPath.pop_back();
  }
  return aPath;
}

std::wstring JoinPath(const std::wstring& aBase, const std::wstring& aRelative) {
  if (aRelative.find(L':') != std::wstring::npos || aBase.starts_with(L"\\\\")) {
    return UnixToDosPath(aRelative);
  }
  if (aBase.size() >= 2 && aBase[1] == L':') {
    const std::wstring relative = UnixToDosPath(aRelative);
    if (relative.size() >= 2 && relative[0] == L'\\') {
      return aBase.substr(0, 2) + relative;
    }
    return IncludeTrailingBackslash(aBase) + relative;
  }
  return aRelative;
}

bool IsFullPath(const std::wstring& aPath) {
  const wchar_t drive = aPath.empty() ? L'\0' : static_cast<wchar_t>(aPath[0] | 0x20);
  if (aPath.size() >= 3 && drive >= L'a' && drive <= L'z' && aPath[1] == L':' &&
      (aPath[2] == L'\\' || aPath[2] == L'/')) {
    return true;
  }
  return aPath.size() > 2 && (aPath[0] == L'\\' || aPath[0] == L'/') &&
         (aPath[1] == L'\\' || aPath[1] == L'/') && !IsPathDelimiter(aPath[2]);
}

std::wstring JoinFolderPath(const std::wstring& aFolder, const std::wstring& aRelative) {
  if (!IsFullPath(aFolder) || aRelative.find(L':') != std::wstring::npos ||
      (!aRelative.empty() && (aRelative[0] == L'\\' || aRelative[0] == L'/'))) {
    return std::wstring();
  }
  return NormalizeFolder(aFolder) + UnixToDosPath(aRelative);
}

std::wstring GetRelativeFile(const std::wstring& aReferenceFile, const std::wstring& aRelative) {
  return JoinPath(ExtractFilePath(aReferenceFile), aRelative);
}

std::wstring ExtractFilePath(const std::wstring& aPath) {
  return aPath.substr(0, FileNameStart(aPath));
}

std::wstring ExtractFileDir(const std::wstring& aPath) {
  std::wstring folder = ExtractFilePath(aPath);
  const bool driveRoot = folder.size() == 3 && folder[1] == L':';
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/') && !driveRoot &&
      folder.size() > 1) {
    folder.pop_back();
  }
  return folder;
}

std::wstring ExtractFileName(const std::wstring& aPath) {
  return aPath.substr(FileNameStart(aPath));
}

std::wstring GetFileNameNoExt(const std::wstring& aPath) {
  const std::wstring name = ExtractFileName(aPath);
  const size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

void FindFiles(const std::wstring& aMask, std::vector<std::wstring>& aList, bool aWithPath) {
  const std::wstring folder = aWithPath ? ExtractFilePath(aMask) : std::wstring();
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(aMask, data); found; found = find.Next(data)) {
    if ((data.Attributes & kplat::fileattr::VolumeLabel) != 0 || kplat::IsDotEntry(data)) {
      continue;
    }
    aList.push_back(folder + data.Name);
  }
}

int64_t GetFileSizeByName(const std::wstring& aFileName) {
  uint64_t size = 0;
  if (Platform().Files().GetFileSize(aFileName, size) != kplat::err::Success) {
    return -1;
  }
  return static_cast<int64_t>(size);
}

bool GetFileCreationTime(const std::wstring& aPath, kplat::TFileTime& aTime) {
  return Platform().Files().GetCreationTime(aPath, aTime) == kplat::err::Success;
}

bool IsPathWriteable(const std::wstring& aFolder) {
  bool writeable = false;
  return Platform().Files().CheckWriteAccess(aFolder, writeable) == kplat::err::Success &&
         writeable;
}

std::wstring MakeUniqueTempName(const std::wstring& aFolder, const std::wstring& aPrefix,
                                const std::wstring& aExtension) {
  return MakeUniqueTempName(aFolder, aPrefix, aExtension, DrawTempNumber);
}

std::wstring MakeUniqueTempName(const std::wstring& aFolder, const std::wstring& aPrefix,
                                const std::wstring& aExtension,
                                const std::function<uint32_t()>& aRandom) {
  for (uint32_t draw = 0; draw < kMaxTempDraws; ++draw) {
    const std::wstring name = aPrefix + UpperHex(aRandom() % kTempNumberLimit) + L"." + aExtension;
    const std::wstring path = JoinPath(aFolder, name);
    if (!kplat::PathExists(path)) {
      return path;
    }
  }
  return std::wstring();
}
