#include "platform/fake/FakeMachineImpl.h"

namespace kplat::fake {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

uint32_t StoredFileAttributes(uint32_t aAttributes) {
  return aAttributes & ~(fileattr::Normal | fileattr::Directory);
}

} // namespace

// --- Seeding and inspection.

void TFakeMachine::AddFile(const std::wstring& aPath, uint64_t aSize, uint32_t aAttributes) {
  TGuard guard(FImpl->Lock);
  if (TFsNode* node = FImpl->MakeFileNode(aPath)) {
    node->Size = aSize;
    node->Attributes = StoredFileAttributes(aAttributes);
  }
}

void TFakeMachine::AddFileContent(const std::wstring& aPath, const std::vector<uint8_t>& aContent,
                                  uint32_t aAttributes) {
  TGuard guard(FImpl->Lock);
  if (TFsNode* node = FImpl->MakeFileNode(aPath)) {
    node->Size = aContent.size();
    node->Content = aContent;
    node->Attributes = StoredFileAttributes(aAttributes);
  }
}

void TFakeMachine::AddTextFile(const std::wstring& aPath, const std::string& aUtf8Text) {
  AddFileContent(aPath, std::vector<uint8_t>(aUtf8Text.begin(), aUtf8Text.end()));
}

void TFakeMachine::AddFolder(const std::wstring& aPath, uint32_t aAttributes) {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  if (FImpl->ParsePath(aPath, path)) {
    FImpl->MakeFolders(path)->Attributes = aAttributes & ~fileattr::Normal;
  }
}

void TFakeMachine::AddFolderLink(const std::wstring& aPath, const std::wstring& aTarget) {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  if (!FImpl->ParsePath(aPath, path) || path.Names.empty()) {
    return;
  }
  const std::wstring name = path.Names.back();
  path.Names.pop_back();
  TFsNode* folder = FImpl->MakeFolders(path);
  auto link = std::make_unique<TFsNode>();
  link->Name = name;
  link->IsFolder = true;
  link->Attributes = fileattr::Directory | fileattr::ReparsePoint;
  link->LinkTarget = aTarget;
  link->CreationTime = link->LastWriteTime = FImpl->Now;
  folder->Children.erase(name);
  folder->Children.emplace(name, std::move(link));
}

void TFakeMachine::SetCreationTime(const std::wstring& aPath, TFileTime aTime) {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  if (FImpl->ParsePath(aPath, path)) {
    if (TFsNode* node = FImpl->FindNode(path)) {
      node->CreationTime = aTime;
    }
  }
}

bool TFakeMachine::HasFile(const std::wstring& aPath) const {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  const TFsNode* node = FImpl->ParsePath(aPath, path) ? FImpl->FindNode(path) : nullptr;
  return node != nullptr && !node->IsFolder;
}

bool TFakeMachine::IsAdminOnly(const std::wstring& aPath) const {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  const TFsNode* node = FImpl->ParsePath(aPath, path) ? FImpl->FindNode(path) : nullptr;
  return node != nullptr && node->AdminOnly;
}

bool TFakeMachine::HasFolder(const std::wstring& aPath) const {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  const TFsNode* node = FImpl->ParsePath(aPath, path) ? FImpl->FindNode(path) : nullptr;
  return node != nullptr && node->IsFolder;
}

std::optional<std::vector<uint8_t>> TFakeMachine::FileContent(const std::wstring& aPath) const {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  const TFsNode* node = FImpl->ParsePath(aPath, path) ? FImpl->FindNode(path) : nullptr;
  if (node == nullptr || node->IsFolder) {
    return std::nullopt;
  }
  return ContentOf(*node);
}

std::vector<std::wstring> TFakeMachine::ListFolder(const std::wstring& aPath) const {
  TGuard guard(FImpl->Lock);
  std::vector<std::wstring> names;
  TFsPath path;
  const TFsNode* node = FImpl->ParsePath(aPath, path) ? FImpl->FindNode(path) : nullptr;
  if (node != nullptr && node->IsFolder) {
    for (const auto& [key, child] : node->Children) {
      names.push_back(child->Name);
    }
  }
  return names;
}

size_t TFakeMachine::OpenFindHandleCount() const {
  TGuard guard(FImpl->Lock);
  return FImpl->Finds.size();
}

void TFakeMachine::AddShortName(const std::wstring& aShortPath, const std::wstring& aLongPath) {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  if (FImpl->ParsePath(aShortPath, path)) {
    FImpl->ShortNames[TImpl::FormatPath(path)] = aLongPath;
  }
}

void TFakeMachine::SetWriteProtected(const std::wstring& aPath, bool aProtected) {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  if (FImpl->ParsePath(aPath, path)) {
    if (TFsNode* node = FImpl->FindNode(path)) {
      node->WriteProtected = aProtected;
    }
  }
}

void TFakeMachine::FailDeleteFile(const std::wstring& aPath, TErrorCode aError) {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  if (FImpl->ParsePath(aPath, path)) {
    FImpl->FailDeleteFile[TImpl::FormatPath(path)] = aError;
  }
}

void TFakeMachine::FailOpenFile(const std::wstring& aPath, TErrorCode aError,
                                std::optional<uint64_t> aForMs) {
  TGuard guard(FImpl->Lock);
  TFsPath path;
  if (FImpl->ParsePath(aPath, path)) {
    FImpl->FailOpenFile[TImpl::FormatPath(path)] = {
        aError, aForMs ? std::optional<uint64_t>(FImpl->Tick + *aForMs) : std::nullopt};
  }
}

void TFakeMachine::SetDiskFull(bool aFull) {
  TGuard guard(FImpl->Lock);
  FImpl->DiskFull = aFull;
}

void TFakeMachine::SetDiskSpace(std::optional<uint64_t> aBytesLeft) {
  TGuard guard(FImpl->Lock);
  FImpl->DiskSpace = aBytesLeft;
}

} // namespace kplat::fake
