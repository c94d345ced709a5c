#include "platform/FileIO.h"

#include "platform/Sha256.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace kplat {

bool TFileFind::First(const std::wstring& aPattern, TFindData& aData) {
  Close();
  return Platform().Files().FindFirst(aPattern, FHandle, aData) == err::Success;
}

bool TFileFind::Next(TFindData& aData) {
  return FHandle != kNoFindHandle && Platform().Files().FindNext(FHandle, aData) == err::Success;
}

void TFileFind::Close() {
  if (FHandle != kNoFindHandle) {
    Platform().Files().FindClose(FHandle);
    FHandle = kNoFindHandle;
  }
}

namespace {
bool Attributes(const std::wstring& aPath, uint32_t& aAttributes) {
  return !aPath.empty() && Platform().Files().GetAttributes(aPath, aAttributes) == err::Success;
}
} // namespace

bool FileExists(const std::wstring& aPath) {
  uint32_t attributes = 0;
  return Attributes(aPath, attributes) && (attributes & fileattr::Directory) == 0;
}

bool FolderExists(const std::wstring& aPath) {
  uint32_t attributes = 0;
  return Attributes(aPath, attributes) && (attributes & fileattr::Directory) != 0;
}

bool PathExists(const std::wstring& aPath) {
  uint32_t attributes = 0;
  return Attributes(aPath, attributes);
}

bool IsDotEntry(const TFindData& aData) {
  const std::wstring_view name = aData.Name;
  return name == L"." || name == L"..";
}

TErrorCode TFilePartReader::Next(std::vector<uint8_t>& aPart) {
  const TErrorCode rc = Platform().Files().ReadFilePart(FPath, FOffset, FPartBytes, aPart);
  FOffset += aPart.size();
  return rc;
}

std::wstring WithoutLongPathPrefix(const std::wstring& aPath) {
  if (aPath.starts_with(L"\\\\?\\UNC\\")) {
    return L"\\\\" + aPath.substr(8);
  }
  if (aPath.starts_with(L"\\\\?\\")) {
    return aPath.substr(4);
  }
  return aPath;
}

std::wstring ComparablePath(const std::wstring& aPath) {
  std::wstring path = WithoutLongPathPrefix(aPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  while (!path.empty() && path.back() == L'\\') {
    path.pop_back();
  }
  return UpperCase(path);
}

bool ComparablePathInFolder(std::wstring_view aPath, std::wstring_view aFolder) {
  return !aFolder.empty() && aPath.size() > aFolder.size() + 1 && aPath.starts_with(aFolder) &&
         aPath[aFolder.size()] == L'\\';
}

bool SamePath(const std::wstring& aLeft, const std::wstring& aRight) {
  return ComparablePath(aLeft) == ComparablePath(aRight);
}

bool PathInFolder(const std::wstring& aPath, const std::wstring& aFolder) {
  return ComparablePathInFolder(ComparablePath(aPath), ComparablePath(aFolder));
}

TErrorCode ForceFolders(const std::wstring& aPath) {
  std::wstring path = aPath;
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
    path.pop_back();
  }
  if (path.empty()) {
    return err::InvalidName;
  }
  if (FolderExists(path)) {
    return err::Success;
  }
  // The folders on the way, deepest first: each parent down to a drive ("C:") or a share root
  // ("\\server\share"), which is used, not created.
  std::vector<size_t> ends = {path.size()};
  for (size_t end = path.size();;) {
    const size_t slash = path.find_last_of(L"\\/", end - 1);
    if (slash == std::wstring::npos || slash == 0) {
      break;
    }
    size_t parent = slash;
    while (parent > 3 && (path[parent - 1] == L'\\' || path[parent - 1] == L'/')) {
      --parent;
    }
    if ((parent == 2 && path[1] == L':') || path.find_first_not_of(L'\\') != 0) {
      break;
    }
    ends.push_back(parent);
    end = parent;
  }
  // Made from the top down: a name the system refuses ends the walk at the first folder that has
  // it, not after a check of every folder below. Below a folder it had to make, the rest are made
  // without asking first; one that exists all the same says so when made.
  bool checking = true;
  for (auto end = ends.rbegin(); end != ends.rend(); ++end) {
    const std::wstring folder = path.substr(0, *end);
    if (checking && end + 1 != ends.rend() && FolderExists(folder)) {
      continue;
    }
    checking = false;
    const TErrorCode rc = Platform().Files().CreateFolder(folder);
    if (rc != err::Success && !(rc == err::AlreadyExists && FolderExists(folder))) {
      return rc;
    }
  }
  return err::Success;
}

TErrorCode WriteFileAtomic(const std::wstring& aPath, const std::vector<uint8_t>& aData) {
  const std::wstring temp = aPath + L".kestrova-new";
  IFileSystem& files = Platform().Files();
  TErrorCode rc = files.WriteFile(temp, aData);
  if (rc == err::Success) {
    rc = files.ReplaceFile(temp, aPath);
  }
  if (rc != err::Success) {
    files.DeleteFile(temp);
  }
  return rc;
}

namespace {
// Files are hashed and copied in parts of this size: any file, whatever its size, in little memory.
constexpr uint32_t kCopyPartBytes = 4u << 20;
} // namespace

TErrorCode HashFile(const std::wstring& aPath, TSha256Digest& aDigest) {
  TFilePartReader file(aPath, kCopyPartBytes);
  TSha256 hash;
  std::vector<uint8_t> part;
  // A part shorter than asked for ends where the file ended: no second open to find the end.
  do {
    if (const TErrorCode rc = file.Next(part); rc != err::Success) {
      return rc;
    }
    hash.Update(part.data(), part.size());
  } while (part.size() == kCopyPartBytes);
  return hash.Final(aDigest) ? err::Success : err::NotSupported;
}

TErrorCode CopyFileFlushed(const std::wstring& aFrom, const std::wstring& aTo) {
  IFileSystem& files = Platform().Files();
  TFilePartReader file(aFrom, kCopyPartBytes);
  std::vector<uint8_t> part;
  bool first = true;
  TErrorCode rc = err::Success;
  do {
    rc = file.Next(part);
    if (rc == err::Success && (first || !part.empty())) {
      rc = first ? files.WriteFile(aTo, part) : files.AppendFile(aTo, part);
      first = false;
    }
  } while (rc == err::Success && !part.empty());
  if (rc != err::Success && !first) {
    files.DeleteFile(aTo);
  }
  return rc;
}

} // namespace kplat
