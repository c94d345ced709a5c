#include "platform/fake/FakeMachineImpl.h"

#include "platform/FileIO.h"

#include <algorithm>

namespace kplat::fake {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

// Attributes a program may change; the others (folder, reparse point) belong to the object.
constexpr uint32_t kSettableAttributes = fileattr::ReadOnly | fileattr::Hidden | fileattr::System |
                                         fileattr::Archive | fileattr::Temporary | 0x1000u |
                                         0x2000u;

uint32_t ReportedAttributes(const TFsNode& aNode) {
  if (aNode.IsFolder) {
    return aNode.Attributes | fileattr::Directory;
  }
  return aNode.Attributes == 0 ? fileattr::Normal : aNode.Attributes;
}

bool IsValidName(const std::wstring& aName) {
  return !aName.empty() && aName.find_first_of(L"<>:\"/\\|?*") == std::wstring::npos &&
         std::none_of(aName.begin(), aName.end(), [](wchar_t c) { return c < 0x20; });
}

// The system's matching rules: "*.*" is everything, and a trailing ".*" also matches a name
// without any extension ("readme.*" finds "readme").
bool MatchesMask(const std::wstring& aMask, const std::wstring& aName) {
  const std::wstring mask = UpperCase(aMask);
  const std::wstring name = UpperCase(aName);
  if (mask == L"*" || mask == L"*.*") {
    return true;
  }
  if (MatchesWildcard(name, mask)) {
    return true;
  }
  return mask.size() >= 2 && mask.compare(mask.size() - 2, 2, L".*") == 0 &&
         name.find(L'.') == std::wstring::npos &&
         MatchesWildcard(name, mask.substr(0, mask.size() - 2));
}

TFindData MakeFindData(const std::wstring& aName, const TFsNode& aNode) {
  TFindData data;
  data.Name = aName;
  data.Attributes = ReportedAttributes(aNode);
  data.Size = aNode.IsFolder ? 0 : aNode.Size;
  data.CreationTime = aNode.CreationTime;
  data.LastWriteTime = aNode.LastWriteTime;
  return data;
}

} // namespace

// --- Paths.

// Network shares are kept in the drive map under keys no drive letter has.
constexpr wchar_t kFirstShareKey = 0xE000;

namespace {

bool IsSeparator(wchar_t aChar) {
  return aChar == L'\\' || aChar == L'/';
}

// Whether aPath starts with aPrefix, a slash standing for a backslash.
bool StartsWithPath(std::wstring_view aPath, std::wstring_view aPrefix) {
  return aPath.size() >= aPrefix.size() &&
         std::equal(aPrefix.begin(), aPrefix.end(), aPath.begin(), [](wchar_t aWant, wchar_t aGot) {
           return aWant == aGot || (aWant == L'\\' && aGot == L'/');
         });
}

size_t FindSeparator(std::wstring_view aPath, size_t aFrom) {
  const size_t at = aPath.find_first_of(L"\\/", aFrom);
  return at == std::wstring_view::npos ? aPath.size() : at;
}

// The names of aRest after aNames: "." is dropped, ".." drops the name before it.
void AppendNames(std::wstring_view aRest, std::vector<std::wstring>& aNames) {
  for (size_t start = 0; start < aRest.size();) {
    const size_t end = FindSeparator(aRest, start);
    const std::wstring_view name = aRest.substr(start, end - start);
    if (name == L"..") {
      if (!aNames.empty()) {
        aNames.pop_back();
      }
    } else if (!name.empty() && name != L".") {
      aNames.emplace_back(name);
    }
    start = end + 1;
  }
}

} // namespace

// Parsed in place: every call of the machine parses a path, and a deep one is met once per
// folder above it.
bool TFakeMachine::TImpl::ParsePath(const std::wstring& aPath, TFsPath& aParsed) const {
  std::wstring_view path = aPath;
  bool unc = false;
  if (StartsWithPath(path, L"\\\\?\\UNC\\")) {
    path.remove_prefix(8);
    unc = true;
  } else {
    if (StartsWithPath(path, L"\\\\?\\")) {
      path.remove_prefix(4);
    }
    if (StartsWithPath(path, L"\\\\")) {
      path.remove_prefix(2);
      unc = true;
    } else if (path.empty()) {
      return false;
    }
  }
  aParsed.Share.clear();
  aParsed.Names.clear();
  if (unc) {
    // "server\share" is what remains of "\\server\share".
    const size_t serverEnd = FindSeparator(path, 0);
    if (serverEnd == path.size() || serverEnd == 0) {
      return false; // "\\server" alone is no folder
    }
    const size_t shareEnd = FindSeparator(path, serverEnd + 1);
    if (shareEnd == serverEnd + 1 && shareEnd < path.size()) {
      return false;
    }
    std::wstring share = L"\\\\" + std::wstring(path.substr(0, shareEnd));
    std::replace(share.begin(), share.end(), L'/', L'\\');
    auto [it, added] = Shares.try_emplace(UpperCase(share));
    if (added) {
      it->second = {static_cast<wchar_t>(kFirstShareKey + Shares.size() - 1), std::move(share)};
    }
    aParsed.Drive = it->second.first;
    aParsed.Share = it->second.second;
    AppendNames(path.substr(shareEnd), aParsed.Names);
  } else if (path.size() >= 2 && path[1] == L':') {
    const wchar_t letter = AsciiUpper(path[0]);
    if (letter < L'A' || letter > L'Z') {
      return false;
    }
    aParsed.Drive = letter;
    AppendNames(path.substr(2), aParsed.Names);
  } else {
    if (CurrentFolder.size() < 2 || CurrentFolder[1] != L':') {
      return false;
    }
    aParsed.Drive = AsciiUpper(CurrentFolder[0]);
    if (!IsSeparator(path[0])) {
      AppendNames(std::wstring_view(CurrentFolder).substr(2), aParsed.Names);
    }
    AppendNames(path, aParsed.Names);
  }
  return true;
}

std::wstring TFakeMachine::TImpl::FormatPath(const TFsPath& aPath) {
  std::wstring out = aPath.Share.empty() ? std::wstring{aPath.Drive, L':'} : aPath.Share;
  if (aPath.Names.empty()) {
    return out + L'\\';
  }
  for (const std::wstring& name : aPath.Names) {
    out += L'\\';
    out += name;
  }
  return out;
}

TErrorCode TFakeMachine::TImpl::OpenFailure(const TFsPath& aPath) const {
  if (FailOpenFile.empty()) {
    return err::Success;
  }
  const auto fail = FailOpenFile.find(FormatPath(aPath));
  if (fail == FailOpenFile.end() || (fail->second.second && Tick >= *fail->second.second)) {
    return err::Success;
  }
  return fail->second.first;
}

namespace {

// Junctions met on one path before it counts as a loop, as the system's limit on links.
constexpr int kMaxLinks = 63;

// The node at the first aCount names of aPath, walked over the stored nodes. With aLinkMet, the
// walk stops at a junction it would have to follow, which only the full resolution can, and says
// so; without it, junctions are walked into as plain folders.
TFsNode* WalkStored(const std::map<wchar_t, std::unique_ptr<TFsNode>>& aDrives,
                    const TFsPath& aPath, size_t aCount, bool aFollowLast, bool* aLinkMet) {
  const auto drive = aDrives.find(aPath.Drive);
  if (drive == aDrives.end()) {
    return nullptr;
  }
  TFsNode* node = drive->second.get();
  for (size_t i = 0; i < aCount; ++i) {
    if (!node->IsFolder) {
      return nullptr;
    }
    const auto it = node->Children.find(aPath.Names[i]);
    if (it == node->Children.end()) {
      return nullptr;
    }
    node = it->second.get();
    if (aLinkMet != nullptr && node->LinkTarget && (i + 1 < aCount || aFollowLast)) {
      *aLinkMet = true;
      return nullptr;
    }
  }
  return node;
}

// The node at a path without junctions on it.
TFsNode* StoredNode(const std::map<wchar_t, std::unique_ptr<TFsNode>>& aDrives,
                    const TFsPath& aPath) {
  return WalkStored(aDrives, aPath, aPath.Names.size(), false, nullptr);
}

} // namespace

bool TFakeMachine::TImpl::RealPath(const TFsPath& aPath, bool aFollowLast, TFsPath& aReal) const {
  TFsNode* node = nullptr;
  return RealPath(aPath, aFollowLast, aReal, node);
}

bool TFakeMachine::TImpl::RealPath(const TFsPath& aPath, bool aFollowLast, TFsPath& aReal,
                                   TFsNode*& aNode) const {
  aNode = nullptr;
  aReal = TFsPath{aPath.Drive, aPath.Share, {}};
  std::vector<std::wstring> rest(aPath.Names.rbegin(), aPath.Names.rend()); // the next one last
  int links = 0;
  // The node at aReal, walked down one name at a time; only a junction starts from a root again.
  TFsNode* folder = StoredNode(Drives, aReal);
  while (!rest.empty()) {
    std::wstring name = std::move(rest.back());
    rest.pop_back();
    TFsNode* child = nullptr;
    if (folder != nullptr && folder->IsFolder) {
      if (const auto it = folder->Children.find(name); it != folder->Children.end()) {
        child = it->second.get();
      }
    }
    if (child == nullptr) {
      // What is missing stays as written; the caller finds nothing there.
      aReal.Names.push_back(std::move(name));
      aReal.Names.insert(aReal.Names.end(), rest.rbegin(), rest.rend());
      return true;
    }
    const TFsNode& node = *child;
    if (node.LinkTarget && (!rest.empty() || aFollowLast)) {
      TFsPath target;
      if (++links > kMaxLinks || !ParsePath(*node.LinkTarget, target)) {
        return false;
      }
      aReal = TFsPath{target.Drive, target.Share, {}};
      rest.insert(rest.end(), target.Names.rbegin(), target.Names.rend());
      folder = StoredNode(Drives, aReal);
      continue;
    }
    aReal.Names.push_back(node.Name);
    folder = child;
  }
  aNode = folder;
  return true;
}

TFsNode* TFakeMachine::TImpl::FindNode(const TFsPath& aPath, bool aFollowLast) const {
  // Most paths cross no junction: those need no resolved path, only the walk.
  bool linkMet = false;
  TFsNode* node = WalkStored(Drives, aPath, aPath.Names.size(), aFollowLast, &linkMet);
  if (!linkMet) {
    return node;
  }
  TFsPath real;
  return RealPath(aPath, aFollowLast, real, node) ? node : nullptr;
}

TErrorCode TFakeMachine::TImpl::FindParent(const TFsPath& aPath, TFsNode*& aParent) const {
  aParent = nullptr;
  if (aPath.Names.empty()) {
    return err::AccessDenied; // the drive's root has no parent
  }
  bool linkMet = false;
  TFsNode* node = WalkStored(Drives, aPath, aPath.Names.size() - 1, true, &linkMet);
  if (linkMet) {
    TFsPath parent = aPath;
    parent.Names.pop_back();
    node = FindNode(parent, true);
  }
  if (node == nullptr || !node->IsFolder) {
    return err::PathNotFound;
  }
  aParent = node;
  return err::Success;
}

TFsNode* TFakeMachine::TImpl::MakeFolders(const TFsPath& aPath) {
  // Seeding through a junction lands at its target, as on the real system.
  TFsPath real;
  if (!RealPath(aPath, true, real)) {
    real = aPath;
  }
  auto& drive = Drives[real.Drive];
  if (!drive) {
    drive = std::make_unique<TFsNode>();
    drive->Name = real.Share.empty() ? std::wstring{real.Drive, L':'} : real.Share;
    drive->IsFolder = true;
    drive->CreationTime = drive->LastWriteTime = Now;
  }
  TFsNode* node = drive.get();
  for (const std::wstring& name : real.Names) {
    auto& child = node->Children[name];
    if (!child) {
      child = std::make_unique<TFsNode>();
      child->Name = name;
      child->CreationTime = child->LastWriteTime = Now;
    }
    child->IsFolder = true;
    node = child.get();
  }
  return node;
}

TFsNode* TFakeMachine::TImpl::MakeFileNode(const std::wstring& aPath) {
  TFsPath path;
  if (!ParsePath(aPath, path) || path.Names.empty()) {
    return nullptr;
  }
  const std::wstring name = path.Names.back();
  path.Names.pop_back();
  TFsNode* folder = MakeFolders(path);
  auto node = std::make_unique<TFsNode>();
  node->Name = name;
  node->CreationTime = node->LastWriteTime = node->LastAccessTime = Now;
  TFsNode* result = node.get();
  folder->Children.erase(name);
  folder->Children.emplace(name, std::move(node));
  return result;
}

uint64_t TFakeMachine::TImpl::TakeSpace(uint64_t aWanted) {
  if (!DiskSpace) {
    return aWanted;
  }
  const uint64_t taken = std::min(aWanted, *DiskSpace);
  *DiskSpace -= taken;
  return taken;
}

// --- The IFileSystem side.

TErrorCode TFakeFiles::FindFirst(const std::wstring& aPattern, TFindHandle& aFind,
                                 TFindData& aData) {
  TGuard guard(FMachine.Lock);
  aFind = kNoFindHandle;
  std::wstring pattern = aPattern;
  std::replace(pattern.begin(), pattern.end(), L'/', L'\\');
  const size_t slash = pattern.find_last_of(L'\\');
  const std::wstring mask = slash == std::wstring::npos ? pattern : pattern.substr(slash + 1);
  if (mask.empty()) {
    return err::FileNotFound;
  }
  TFsPath folderPath;
  const std::wstring folderText =
      slash == std::wstring::npos ? std::wstring() : pattern.substr(0, slash + 1);
  if (!FMachine.ParsePath(folderText.empty() ? L"." : folderText, folderPath)) {
    return err::PathNotFound;
  }
  TFsNode* folder = FMachine.FindNode(folderPath, true);
  if (folder == nullptr || !folder->IsFolder) {
    return err::PathNotFound;
  }
  TFindState state;
  if (mask.find_first_of(L"*?") == std::wstring::npos) {
    const auto it = folder->Children.find(mask);
    if (it != folder->Children.end()) {
      state.Entries.push_back(MakeFindData(it->second->Name, *it->second));
    }
  } else {
    if (!folderPath.Names.empty()) {
      for (const wchar_t* dot : {L".", L".."}) {
        if (MatchesMask(mask, dot)) {
          state.Entries.push_back(MakeFindData(dot, *folder));
        }
      }
    }
    for (const auto& [key, child] : folder->Children) {
      if (MatchesMask(mask, child->Name)) {
        state.Entries.push_back(MakeFindData(child->Name, *child));
      }
    }
  }
  if (state.Entries.empty()) {
    return err::FileNotFound;
  }
  aData = state.Entries.front();
  state.Next = 1;
  aFind = FMachine.NextFindHandle;
  FMachine.NextFindHandle += 4;
  FMachine.Finds[aFind] = std::move(state);
  return err::Success;
}

TErrorCode TFakeFiles::FindNext(TFindHandle aFind, TFindData& aData) {
  TGuard guard(FMachine.Lock);
  const auto it = FMachine.Finds.find(aFind);
  if (it == FMachine.Finds.end()) {
    return err::InvalidHandle;
  }
  TFindState& state = it->second;
  if (state.Next >= state.Entries.size()) {
    return err::NoMoreItems;
  }
  aData = state.Entries[state.Next++];
  return err::Success;
}

void TFakeFiles::FindClose(TFindHandle aFind) {
  TGuard guard(FMachine.Lock);
  FMachine.Finds.erase(aFind);
}

TErrorCode TFakeFiles::Locate(const std::wstring& aPath, bool aOpening, TFsNode*& aNode) {
  aNode = nullptr;
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  if (aOpening) {
    if (const TErrorCode fail = FMachine.OpenFailure(path); fail != err::Success) {
      return fail;
    }
  }
  aNode = FMachine.FindNode(path);
  if (aNode == nullptr) {
    TFsNode* parent = nullptr;
    return FMachine.FindParent(path, parent) == err::Success ? err::FileNotFound
                                                             : err::PathNotFound;
  }
  return err::Success;
}

TErrorCode TFakeFiles::GetAttributes(const std::wstring& aPath, uint32_t& aAttributes) {
  TGuard guard(FMachine.Lock);
  aAttributes = fileattr::Invalid;
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, false, node); rc != err::Success) {
    return rc;
  }
  aAttributes = ReportedAttributes(*node);
  return err::Success;
}

TErrorCode TFakeFiles::SetAttributes(const std::wstring& aPath, uint32_t aAttributes) {
  TGuard guard(FMachine.Lock);
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, false, node); rc != err::Success) {
    return rc;
  }
  if (node->WriteProtected) {
    return err::AccessDenied;
  }
  node->Attributes =
      (node->Attributes & ~kSettableAttributes) | (aAttributes & kSettableAttributes);
  return err::Success;
}

TErrorCode TFakeFiles::GetFileSize(const std::wstring& aPath, uint64_t& aSize) {
  TGuard guard(FMachine.Lock);
  aSize = 0;
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, true, node); rc != err::Success) {
    return rc;
  }
  if (node->IsFolder) {
    return err::AccessDenied;
  }
  aSize = node->Size;
  return err::Success;
}

TErrorCode TFakeFiles::GetCreationTime(const std::wstring& aPath, TFileTime& aTime) {
  TGuard guard(FMachine.Lock);
  aTime = 0;
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, false, node); rc != err::Success) {
    return rc;
  }
  aTime = node->CreationTime;
  return err::Success;
}

TErrorCode TFakeFiles::GetFileTimes(const std::wstring& aPath, TFileTimes& aTimes) {
  TGuard guard(FMachine.Lock);
  aTimes = TFileTimes();
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, true, node); rc != err::Success) {
    return rc;
  }
  aTimes = {node->CreationTime, node->LastAccessTime, node->LastWriteTime};
  return err::Success;
}

TErrorCode TFakeFiles::GetFileInfo(const std::wstring& aPath, TFileInfo& aInfo) {
  TGuard guard(FMachine.Lock);
  aInfo = TFileInfo();
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, false, node); rc != err::Success) {
    return rc;
  }
  aInfo.Attributes = ReportedAttributes(*node);
  aInfo.Times = {node->CreationTime, node->LastAccessTime, node->LastWriteTime};
  aInfo.Size = node->IsFolder ? 0 : node->Size;
  return err::Success;
}

TErrorCode TFakeFiles::SetFileTimes(const std::wstring& aPath, const TFileTimes& aTimes) {
  TGuard guard(FMachine.Lock);
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, true, node); rc != err::Success) {
    return rc;
  }
  // Times are attributes, not content: a read-only file takes them too.
  if (node->WriteProtected) {
    return err::AccessDenied;
  }
  node->CreationTime = aTimes.Creation;
  node->LastAccessTime = aTimes.LastAccess;
  node->LastWriteTime = aTimes.LastWrite;
  return err::Success;
}

TErrorCode TFakeFiles::DeleteFile(const std::wstring& aPath) {
  TGuard guard(FMachine.Lock);
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  TFsNode* parent = nullptr;
  if (const TErrorCode rc = FMachine.FindParent(path, parent); rc != err::Success) {
    return rc == err::AccessDenied ? err::AccessDenied : err::PathNotFound;
  }
  return RemoveFile(path, *parent);
}

TErrorCode TFakeFiles::LocateInFolder(const std::wstring& aPath, const std::wstring& aFolder,
                                      TFsPath& aParsed, TFsNode*& aParent) {
  if (!PathInFolder(aPath, aFolder) || !FMachine.ParsePath(aPath, aParsed)) {
    return err::InvalidParameter;
  }
  if (const TErrorCode rc = FMachine.FindParent(aParsed, aParent); rc != err::Success) {
    return rc == err::AccessDenied ? err::AccessDenied : err::PathNotFound;
  }
  const auto it = aParent->Children.find(aParsed.Names.back());
  if (it == aParent->Children.end()) {
    return err::FileNotFound;
  }
  if ((it->second->Attributes & fileattr::ReparsePoint) != 0) {
    return err::StoppedOnLink;
  }
  TFsPath real;
  if (!FMachine.RealPath(aParsed, false, real)) {
    return err::PathNotFound;
  }
  const std::wstring finalPath = TFakeMachine::TImpl::FormatPath(real);
  if (!SamePath(finalPath, aPath) || !PathInFolder(finalPath, aFolder)) {
    return err::StoppedOnLink;
  }
  return err::Success;
}

TErrorCode TFakeFiles::DeleteFileInFolder(const std::wstring& aPath, const std::wstring& aFolder) {
  TGuard guard(FMachine.Lock);
  TFsPath path;
  TFsNode* parent = nullptr;
  if (const TErrorCode rc = LocateInFolder(aPath, aFolder, path, parent); rc != err::Success) {
    return rc;
  }
  return RemoveFile(path, *parent);
}

TErrorCode TFakeFiles::MoveFileInFolder(const std::wstring& aPath, const std::wstring& aFolder,
                                        const std::wstring& aTo) {
  TGuard guard(FMachine.Lock);
  TFsPath from;
  TFsNode* fromParent = nullptr;
  if (const TErrorCode rc = LocateInFolder(aPath, aFolder, from, fromParent); rc != err::Success) {
    return rc;
  }
  TFsPath to;
  if (!FMachine.ParsePath(aTo, to)) {
    return err::PathNotFound;
  }
  TFsNode* toParent = nullptr;
  if (const TErrorCode rc = FMachine.FindParent(to, toParent); rc != err::Success) {
    return rc == err::AccessDenied ? err::AccessDenied : err::PathNotFound;
  }
  TFsPath fromReal;
  TFsPath toReal;
  if (!FMachine.RealPath(from, false, fromReal) || !FMachine.RealPath(to, false, toReal)) {
    return err::PathNotFound;
  }
  if (fromReal.Drive != toReal.Drive) {
    return err::NotSameDevice;
  }
  if (toParent->Children.count(to.Names.back()) != 0) {
    return err::AlreadyExists;
  }
  if (!IsValidName(to.Names.back())) {
    return err::InvalidName;
  }
  for (const TFsPath* side : {&from, &to}) {
    if (const TErrorCode fail = FMachine.OpenFailure(*side); fail != err::Success) {
      return fail;
    }
  }
  const auto source = fromParent->Children.find(from.Names.back());
  if (const auto fail = FMachine.FailDeleteFile.find(TFakeMachine::TImpl::FormatPath(from));
      fail != FMachine.FailDeleteFile.end()) {
    return fail->second;
  }
  if (source->second->IsFolder) {
    return err::AccessDenied;
  }
  if (toParent->WriteProtected || fromParent->WriteProtected || source->second->WriteProtected) {
    return err::AccessDenied;
  }
  // A rename on one volume takes no room: a full disk does not stop it.
  std::unique_ptr<TFsNode> node = std::move(source->second);
  fromParent->Children.erase(source);
  node->Name = to.Names.back();
  toParent->Children.emplace(node->Name, std::move(node));
  return err::Success;
}

TErrorCode TFakeFiles::RemoveFile(const TFsPath& aPath, TFsNode& aParent) {
  const auto it = aParent.Children.find(aPath.Names.back());
  if (it == aParent.Children.end()) {
    return err::FileNotFound;
  }
  if (const auto fail = FMachine.FailDeleteFile.find(TFakeMachine::TImpl::FormatPath(aPath));
      fail != FMachine.FailDeleteFile.end()) {
    return fail->second;
  }
  const TFsNode& node = *it->second;
  if (node.IsFolder || (node.Attributes & fileattr::ReadOnly) != 0 || node.WriteProtected ||
      aParent.WriteProtected) {
    return err::AccessDenied;
  }
  aParent.Children.erase(it);
  return err::Success;
}

TErrorCode TFakeFiles::RemoveFolder(const std::wstring& aPath) {
  TGuard guard(FMachine.Lock);
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  TFsNode* parent = nullptr;
  if (const TErrorCode rc = FMachine.FindParent(path, parent); rc != err::Success) {
    return rc;
  }
  const auto it = parent->Children.find(path.Names.back());
  if (it == parent->Children.end()) {
    return err::FileNotFound;
  }
  const TFsNode& node = *it->second;
  if (!node.IsFolder) {
    return kErrorNotAFolder;
  }
  if (const auto fail = FMachine.FailDeleteFile.find(TFakeMachine::TImpl::FormatPath(path));
      fail != FMachine.FailDeleteFile.end()) {
    return fail->second;
  }
  if (!node.Children.empty()) {
    return err::DirNotEmpty;
  }
  if (node.WriteProtected || parent->WriteProtected) {
    return err::AccessDenied;
  }
  parent->Children.erase(it);
  return err::Success;
}

TErrorCode TFakeFiles::CreateFolder(const std::wstring& aPath) {
  TGuard guard(FMachine.Lock);
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  TFsNode* parent = nullptr;
  if (const TErrorCode rc = FMachine.FindParent(path, parent); rc != err::Success) {
    return rc == err::AccessDenied ? err::AlreadyExists : rc;
  }
  const std::wstring& name = path.Names.back();
  if (parent->Children.count(name) != 0) {
    return err::AlreadyExists;
  }
  if (!IsValidName(name)) {
    return err::InvalidName;
  }
  if (FMachine.DiskFull) {
    return err::DiskFull;
  }
  if (parent->WriteProtected) {
    return err::AccessDenied;
  }
  auto node = std::make_unique<TFsNode>();
  node->Name = name;
  node->IsFolder = true;
  node->CreationTime = node->LastWriteTime = FMachine.Now;
  parent->Children.emplace(name, std::move(node));
  return err::Success;
}

TErrorCode TFakeFiles::ReadFile(const std::wstring& aPath, std::vector<uint8_t>& aData,
                                uint64_t aMaxBytes) {
  TGuard guard(FMachine.Lock);
  aData.clear();
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, true, node); rc != err::Success) {
    return rc;
  }
  if (node->IsFolder) {
    return err::AccessDenied;
  }
  if (node->Size > aMaxBytes) {
    return err::NotEnoughMemory;
  }
  aData = ContentOf(*node);
  return err::Success;
}

TErrorCode TFakeFiles::ReadFilePart(const std::wstring& aPath, uint64_t aOffset, uint32_t aMaxBytes,
                                    std::vector<uint8_t>& aData) {
  TGuard guard(FMachine.Lock);
  aData.clear();
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, true, node); rc != err::Success) {
    return rc;
  }
  if (node->IsFolder) {
    return err::AccessDenied;
  }
  if (aOffset >= node->Size) {
    return err::Success;
  }
  const size_t start = static_cast<size_t>(aOffset);
  const size_t count = static_cast<size_t>(std::min<uint64_t>(node->Size - aOffset, aMaxBytes));
  if (node->Content) {
    aData.assign(node->Content->begin() + static_cast<ptrdiff_t>(start),
                 node->Content->begin() + static_cast<ptrdiff_t>(start + count));
  } else {
    aData.assign(count, 0);
  }
  return err::Success;
}

TErrorCode TFakeFiles::Write(const std::wstring& aPath, const std::vector<uint8_t>& aData,
                             bool aAppend) {
  TGuard guard(FMachine.Lock);
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  TFsNode* parent = nullptr;
  if (const TErrorCode rc = FMachine.FindParent(path, parent); rc != err::Success) {
    return rc;
  }
  const std::wstring& name = path.Names.back();
  if (const TErrorCode fail = FMachine.OpenFailure(path); fail != err::Success) {
    return fail;
  }
  auto it = parent->Children.find(name);
  if (it == parent->Children.end()) {
    if (!IsValidName(name)) {
      return err::InvalidName;
    }
    if (parent->WriteProtected) {
      return err::AccessDenied;
    }
  } else if (it->second->IsFolder || (it->second->Attributes & fileattr::ReadOnly) != 0 ||
             it->second->WriteProtected) {
    return err::AccessDenied;
  }
  if (FMachine.DiskFull) {
    return err::DiskFull;
  }
  if (it == parent->Children.end()) {
    auto node = std::make_unique<TFsNode>();
    node->Name = name;
    node->Attributes = fileattr::Archive;
    node->CreationTime = node->LastAccessTime = FMachine.Now;
    it = parent->Children.emplace(name, std::move(node)).first;
  }
  TFsNode& node = *it->second;
  // Appended in place: a log written batch by batch costs each batch, not the file so far.
  if (!aAppend || !node.Content) {
    node.Content = aAppend ? ContentOf(node) : std::vector<uint8_t>();
  }
  const uint64_t fits = FMachine.TakeSpace(aData.size());
  node.Content->insert(node.Content->end(), aData.begin(),
                       aData.begin() + static_cast<ptrdiff_t>(fits));
  node.Size = node.Content->size();
  node.Attributes |= fileattr::Archive;
  node.LastWriteTime = FMachine.Now;
  return fits == aData.size() ? err::Success : err::DiskFull;
}

TErrorCode TFakeFiles::WriteFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) {
  return Write(aPath, aData, false);
}

TErrorCode TFakeFiles::WriteProtectedFile(const std::wstring& aPath,
                                          const std::vector<uint8_t>& aData) {
  TGuard guard(FMachine.Lock);
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  if (FMachine.FindNode(path) != nullptr) {
    return err::AlreadyExists;
  }
  const TErrorCode rc = Write(aPath, aData, false);
  TFsNode* parent = nullptr;
  if (rc != err::Success && FMachine.FindParent(path, parent) == err::Success) {
    parent->Children.erase(path.Names.back()); // what was not written whole goes again
  } else if (TFsNode* node = FMachine.FindNode(path); node != nullptr) {
    node->AdminOnly = true;
  }
  return rc;
}

TErrorCode TFakeFiles::AppendFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) {
  return Write(aPath, aData, true);
}

TErrorCode TFakeFiles::TruncateFile(const std::wstring& aPath, uint64_t aSize) {
  TGuard guard(FMachine.Lock);
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, true, node); rc != err::Success) {
    return rc;
  }
  if (node->IsFolder || (node->Attributes & fileattr::ReadOnly) != 0 || node->WriteProtected) {
    return err::AccessDenied;
  }
  if (aSize > node->Size) {
    return err::InvalidParameter;
  }
  std::vector<uint8_t> content = ContentOf(*node);
  content.resize(static_cast<size_t>(aSize));
  node->Size = aSize;
  node->Content = std::move(content);
  node->LastWriteTime = FMachine.Now;
  return err::Success;
}

TErrorCode TFakeFiles::ReplaceFile(const std::wstring& aFrom, const std::wstring& aTo) {
  TGuard guard(FMachine.Lock);
  TFsPath from;
  TFsPath to;
  if (!FMachine.ParsePath(aFrom, from) || !FMachine.ParsePath(aTo, to)) {
    return err::PathNotFound;
  }
  TFsNode* fromParent = nullptr;
  if (const TErrorCode rc = FMachine.FindParent(from, fromParent); rc != err::Success) {
    return rc == err::AccessDenied ? err::AccessDenied : err::PathNotFound;
  }
  const auto source = fromParent->Children.find(from.Names.back());
  if (source == fromParent->Children.end()) {
    return err::FileNotFound;
  }
  TFsNode* toParent = nullptr;
  if (const TErrorCode rc = FMachine.FindParent(to, toParent); rc != err::Success) {
    return rc == err::AccessDenied ? err::AccessDenied : err::PathNotFound;
  }
  for (const TFsPath* side : {&from, &to}) {
    if (const TErrorCode fail = FMachine.OpenFailure(*side); fail != err::Success) {
      return fail;
    }
  }
  const std::wstring fromText = UpperCase(TFakeMachine::TImpl::FormatPath(from));
  const std::wstring toText = UpperCase(TFakeMachine::TImpl::FormatPath(to));
  if (fromText == toText) {
    return err::Success;
  }
  if (source->second->IsFolder && toText.rfind(fromText + L'\\', 0) == 0) {
    return err::AccessDenied; // a folder cannot move into itself
  }
  const auto target = toParent->Children.find(to.Names.back());
  if (target != toParent->Children.end()) {
    const TFsNode& old = *target->second;
    if (old.IsFolder || source->second->IsFolder || (old.Attributes & fileattr::ReadOnly) != 0 ||
        old.WriteProtected) {
      return err::AccessDenied;
    }
  } else if (!IsValidName(to.Names.back())) {
    return err::InvalidName;
  }
  if (toParent->WriteProtected || fromParent->WriteProtected) {
    return err::AccessDenied;
  }
  if (FMachine.DiskFull) {
    return err::DiskFull;
  }
  std::unique_ptr<TFsNode> node = std::move(source->second);
  fromParent->Children.erase(source);
  toParent->Children.erase(to.Names.back());
  node->Name = to.Names.back();
  toParent->Children.emplace(node->Name, std::move(node));
  return err::Success;
}

TErrorCode TFakeFiles::GetLongPath(const std::wstring& aPath, std::wstring& aLongPath) {
  TGuard guard(FMachine.Lock);
  aLongPath.clear();
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  std::wstring result = aPath;
  // The deepest folder with a short name stands for its long one; each folder's path is a
  // prefix of the whole path written out once.
  if (!FMachine.ShortNames.empty()) {
    const std::wstring formatted = TFakeMachine::TImpl::FormatPath(path);
    size_t end = formatted.size();
    for (size_t count = path.Names.size(); count > 0; --count) {
      const auto it = FMachine.ShortNames.find(formatted.substr(0, end));
      if (it != FMachine.ShortNames.end()) {
        result = it->second + formatted.substr(end);
        break;
      }
      end -= path.Names[count - 1].size() + 1;
    }
  }
  TFsPath resolved;
  if (!FMachine.ParsePath(result, resolved) || FMachine.FindNode(resolved) == nullptr) {
    return err::FileNotFound;
  }
  aLongPath = result;
  return err::Success;
}

TErrorCode TFakeFiles::GetFinalPath(const std::wstring& aPath, std::wstring& aFinalPath) {
  TGuard guard(FMachine.Lock);
  aFinalPath.clear();
  TFsNode* node = nullptr;
  if (const TErrorCode rc = Locate(aPath, false, node); rc != err::Success) {
    return rc;
  }
  TFsPath path;
  TFsPath real;
  if (!FMachine.ParsePath(aPath, path) || !FMachine.RealPath(path, true, real) ||
      FMachine.FindNode(real) == nullptr) {
    return err::PathNotFound; // a junction that leads nowhere
  }
  aFinalPath = TFakeMachine::TImpl::FormatPath(real);
  return err::Success;
}

TErrorCode TFakeFiles::CheckWriteAccess(const std::wstring& aPath, bool& aWriteable) {
  TGuard guard(FMachine.Lock);
  aWriteable = false;
  TFsPath path;
  if (!FMachine.ParsePath(aPath, path)) {
    return err::PathNotFound;
  }
  const TFsNode* node = FMachine.FindNode(path);
  if (node == nullptr) {
    return err::FileNotFound;
  }
  aWriteable = !node->WriteProtected;
  return err::Success;
}

} // namespace kplat::fake
