#include "platform/RegKey.h"
#include "platform/fake/FakeMachineImpl.h"

namespace kplat::fake {

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;

void MarkDeleted(TRegNode& aNode) {
  aNode.Deleted = true;
  for (auto& [name, child] : aNode.SubKeys) {
    MarkDeleted(*child);
  }
}

bool IsAtOrBelow(const std::wstring& aPath, const std::wstring& aTop) {
  return aPath == aTop || (aPath.size() > aTop.size() && aPath.compare(0, aTop.size(), aTop) == 0 &&
                           aPath[aTop.size()] == L'\\');
}

std::optional<TErrorCode> Injected(const std::map<TRegFailure, TErrorCode>& aFailures,
                                   const TRegFailure& aKey) {
  const auto it = aFailures.find(aKey);
  if (it == aFailures.end()) {
    return std::nullopt;
  }
  return it->second;
}

} // namespace

std::vector<std::wstring> TFakeMachine::TImpl::SplitKeyPath(const std::wstring& aPath) {
  std::vector<std::wstring> names;
  size_t start = 0;
  while (start <= aPath.size()) {
    size_t end = aPath.find(L'\\', start);
    if (end == std::wstring::npos) {
      end = aPath.size();
    }
    if (end > start) {
      names.push_back(aPath.substr(start, end - start));
    }
    start = end + 1;
  }
  return names;
}

std::wstring TFakeMachine::TImpl::JoinUpper(const std::vector<std::wstring>& aNames) {
  std::wstring out;
  for (const std::wstring& name : aNames) {
    if (!out.empty()) {
      out += L'\\';
    }
    out += UpperCase(name);
  }
  return out;
}

TErrorCode TFakeMachine::TImpl::UseKey(TRegHandle aKey, TRegOpenKey& aOpen) const {
  if (IsPredefinedRoot(aKey)) {
    aOpen = TRegOpenKey{Roots.at(aKey), aKey, {}, TRegAccess::FullAccess};
    return err::Success;
  }
  const auto it = OpenKeys.find(aKey);
  if (it == OpenKeys.end()) {
    return err::InvalidHandle;
  }
  if (it->second.Node->Deleted) {
    return err::KeyDeleted;
  }
  aOpen = it->second;
  return err::Success;
}

TErrorCode TFakeMachine::TImpl::ResolveKey(TRegHandle aParent, const std::wstring& aSubKey,
                                           TRegView aView, TRegHandle& aRoot,
                                           std::vector<std::wstring>& aPath) const {
  TRegOpenKey parent;
  if (const TErrorCode rc = UseKey(aParent, parent); rc != err::Success) {
    return rc;
  }
  aRoot = parent.Root;
  aPath = parent.Path;
  for (std::wstring& name : SplitKeyPath(aSubKey)) {
    aPath.push_back(std::move(name));
  }
  // The 32-bit view of the machine's software lives in its own branch.
  if (aView == TRegView::Wow32 && aRoot == regroot::LocalMachine && aPath.size() >= 2 &&
      SameText(aPath[0], L"SOFTWARE") && !SameText(aPath[1], L"WOW6432Node")) {
    aPath.insert(aPath.begin() + 1, L"WOW6432Node");
  }
  return err::Success;
}

std::shared_ptr<TRegNode>
TFakeMachine::TImpl::FindKey(TRegHandle aRoot, const std::vector<std::wstring>& aPath) const {
  std::shared_ptr<TRegNode> node = Roots.at(aRoot);
  for (const std::wstring& name : aPath) {
    const auto it = node->SubKeys.find(name);
    if (it == node->SubKeys.end()) {
      return nullptr;
    }
    node = it->second;
  }
  return node;
}

std::shared_ptr<TRegNode>
TFakeMachine::TImpl::MakeKey(TRegHandle aRoot, std::vector<std::wstring>& aPath, bool* aCreated) {
  std::shared_ptr<TRegNode> node = Roots.at(aRoot);
  bool created = false;
  for (std::wstring& name : aPath) {
    auto it = node->SubKeys.find(name);
    created = it == node->SubKeys.end();
    if (created) {
      auto child = std::make_shared<TRegNode>();
      child->Name = name;
      it = node->SubKeys.emplace(name, std::move(child)).first;
    }
    name = it->second->Name;
    node = it->second;
  }
  if (aCreated != nullptr) {
    *aCreated = created;
  }
  return node;
}

// --- The IRegistry side.

TErrorCode TFakeRegistry::OpenKey(TRegHandle aParent, const std::wstring& aSubKey,
                                  TRegAccess aAccess, TRegView aView, TRegHandle& aKey) {
  TGuard guard(FMachine.Lock);
  aKey = kNoRegHandle;
  TRegHandle root = kNoRegHandle;
  std::vector<std::wstring> path;
  if (const TErrorCode rc = FMachine.ResolveKey(aParent, aSubKey, aView, root, path);
      rc != err::Success) {
    return rc;
  }
  if (const auto rc =
          Injected(FMachine.FailOpenKey, {root, TFakeMachine::TImpl::JoinUpper(path), L""})) {
    return *rc;
  }
  std::shared_ptr<TRegNode> node = FMachine.FindKey(root, path);
  if (node == nullptr) {
    return err::FileNotFound;
  }
  aKey = FMachine.NextRegHandle;
  FMachine.NextRegHandle += 4;
  FMachine.OpenKeys[aKey] = TRegOpenKey{std::move(node), root, std::move(path), aAccess};
  return err::Success;
}

TErrorCode TFakeRegistry::CreateKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                                    TRegHandle& aKey, bool* aCreated) {
  TGuard guard(FMachine.Lock);
  aKey = kNoRegHandle;
  TRegHandle root = kNoRegHandle;
  std::vector<std::wstring> path;
  if (const TErrorCode rc = FMachine.ResolveKey(aParent, aSubKey, aView, root, path);
      rc != err::Success) {
    return rc;
  }
  if (const auto rc =
          Injected(FMachine.FailOpenKey, {root, TFakeMachine::TImpl::JoinUpper(path), L""})) {
    return *rc;
  }
  std::shared_ptr<TRegNode> node = FMachine.MakeKey(root, path, aCreated);
  aKey = FMachine.NextRegHandle;
  FMachine.NextRegHandle += 4;
  FMachine.OpenKeys[aKey] =
      TRegOpenKey{std::move(node), root, std::move(path), TRegAccess::FullAccess};
  return err::Success;
}

// The in-memory machine keeps no security: the key is made as any other.
TErrorCode TFakeRegistry::CreateProtectedKey(TRegHandle aParent, const std::wstring& aSubKey,
                                             TRegView aView, TRegHandle& aKey) {
  return CreateKey(aParent, aSubKey, aView, aKey, nullptr);
}

void TFakeRegistry::CloseKey(TRegHandle aKey) {
  TGuard guard(FMachine.Lock);
  FMachine.OpenKeys.erase(aKey);
}

TErrorCode TFakeRegistry::EnumSubKeys(TRegHandle aKey, std::vector<std::wstring>& aNames) {
  TGuard guard(FMachine.Lock);
  aNames.clear();
  TRegOpenKey key;
  if (const TErrorCode rc = FMachine.UseKey(aKey, key); rc != err::Success) {
    return rc;
  }
  for (const auto& [name, child] : key.Node->SubKeys) {
    aNames.push_back(child->Name);
  }
  return err::Success;
}

TErrorCode TFakeRegistry::EnumValues(TRegHandle aKey, std::vector<std::wstring>& aNames) {
  TGuard guard(FMachine.Lock);
  aNames.clear();
  TRegOpenKey key;
  if (const TErrorCode rc = FMachine.UseKey(aKey, key); rc != err::Success) {
    return rc;
  }
  for (const auto& [name, value] : key.Node->Values) {
    aNames.push_back(value.first);
  }
  return err::Success;
}

TErrorCode TFakeRegistry::QueryInfo(TRegHandle aKey, TRegKeyInfo& aInfo) {
  TGuard guard(FMachine.Lock);
  TRegOpenKey key;
  if (const TErrorCode rc = FMachine.UseKey(aKey, key); rc != err::Success) {
    return rc;
  }
  aInfo.SubKeyCount = static_cast<uint32_t>(key.Node->SubKeys.size());
  aInfo.ValueCount = static_cast<uint32_t>(key.Node->Values.size());
  return err::Success;
}

TErrorCode TFakeRegistry::QueryValue(TRegHandle aKey, const std::wstring& aName,
                                     TRegValue& aValue) {
  TGuard guard(FMachine.Lock);
  TRegOpenKey key;
  if (const TErrorCode rc = FMachine.UseKey(aKey, key); rc != err::Success) {
    return rc;
  }
  const auto it = key.Node->Values.find(aName);
  if (it == key.Node->Values.end()) {
    return err::FileNotFound;
  }
  aValue = it->second.second;
  return err::Success;
}

TErrorCode TFakeRegistry::SetValue(TRegHandle aKey, const std::wstring& aName,
                                   const TRegValue& aValue) {
  TGuard guard(FMachine.Lock);
  TRegOpenKey key;
  if (const TErrorCode rc = FMachine.UseKey(aKey, key); rc != err::Success) {
    return rc;
  }
  if (key.Access != TRegAccess::FullAccess) {
    return err::AccessDenied;
  }
  if (const auto rc = Injected(FMachine.FailSetValue,
                               {key.Root, TFakeMachine::TImpl::JoinUpper(key.Path), L""})) {
    return *rc;
  }
  auto it = key.Node->Values.find(aName);
  if (it == key.Node->Values.end()) {
    key.Node->Values.emplace(aName, std::make_pair(aName, aValue));
  } else {
    it->second.second = aValue; // the name keeps the case it was created with
  }
  return err::Success;
}

TErrorCode TFakeRegistry::DeleteValue(TRegHandle aKey, const std::wstring& aName) {
  TGuard guard(FMachine.Lock);
  TRegOpenKey key;
  if (const TErrorCode rc = FMachine.UseKey(aKey, key); rc != err::Success) {
    return rc;
  }
  if (key.Access != TRegAccess::FullAccess) {
    return err::AccessDenied;
  }
  if (const auto rc =
          Injected(FMachine.FailDeleteValue,
                   {key.Root, TFakeMachine::TImpl::JoinUpper(key.Path), UpperCase(aName)})) {
    return *rc;
  }
  const auto it = key.Node->Values.find(aName);
  if (it == key.Node->Values.end()) {
    return err::FileNotFound;
  }
  key.Node->Values.erase(it);
  return err::Success;
}

TErrorCode TFakeRegistry::DeleteKeyTree(TRegHandle aParent, const std::wstring& aSubKey,
                                        TRegView aView) {
  TGuard guard(FMachine.Lock);
  TRegHandle root = kNoRegHandle;
  std::vector<std::wstring> path;
  if (const TErrorCode rc = FMachine.ResolveKey(aParent, aSubKey, aView, root, path);
      rc != err::Success) {
    return rc;
  }
  TRegOpenKey parent;
  FMachine.UseKey(aParent, parent);
  if (path.size() <= parent.Path.size()) {
    return err::InvalidParameter; // no sub-key: a key never deletes itself this way
  }
  const std::shared_ptr<TRegNode> node = FMachine.FindKey(root, path);
  if (node == nullptr) {
    return err::FileNotFound;
  }
  // A key below that cannot be deleted stops the whole tree before anything is lost.
  const std::wstring upper = TFakeMachine::TImpl::JoinUpper(path);
  for (const auto& [failure, rc] : FMachine.FailDeleteKey) {
    if (failure.Root == root && IsAtOrBelow(failure.Path, upper)) {
      return rc;
    }
  }
  const std::wstring name = path.back();
  path.pop_back();
  FMachine.FindKey(root, path)->SubKeys.erase(name);
  MarkDeleted(*node);
  return err::Success;
}

// --- Seeding and inspection.

void TFakeMachine::AddRegKey(TRegHandle aRoot, const std::wstring& aSubKey) {
  TGuard guard(FImpl->Lock);
  std::vector<std::wstring> path = TImpl::SplitKeyPath(aSubKey);
  FImpl->MakeKey(aRoot, path, nullptr);
}

void TFakeMachine::SetRegValue(TRegHandle aRoot, const std::wstring& aSubKey,
                               const std::wstring& aName, const TRegValue& aValue) {
  TGuard guard(FImpl->Lock);
  std::vector<std::wstring> path = TImpl::SplitKeyPath(aSubKey);
  auto& values = FImpl->MakeKey(aRoot, path, nullptr)->Values;
  auto it = values.find(aName);
  if (it == values.end()) {
    values.emplace(aName, std::make_pair(aName, aValue));
  } else {
    it->second.second = aValue;
  }
}

void TFakeMachine::SetRegString(TRegHandle aRoot, const std::wstring& aSubKey,
                                const std::wstring& aName, const std::wstring& aText,
                                uint32_t aType) {
  SetRegValue(aRoot, aSubKey, aName, MakeStringValue(aText, aType));
}

void TFakeMachine::SetRegDword(TRegHandle aRoot, const std::wstring& aSubKey,
                               const std::wstring& aName, uint32_t aValue) {
  SetRegValue(aRoot, aSubKey, aName, MakeDwordValue(aValue));
}

bool TFakeMachine::RegKeyExists(TRegHandle aRoot, const std::wstring& aSubKey) const {
  TGuard guard(FImpl->Lock);
  return FImpl->FindKey(aRoot, TImpl::SplitKeyPath(aSubKey)) != nullptr;
}

std::optional<TRegValue> TFakeMachine::GetRegValue(TRegHandle aRoot, const std::wstring& aSubKey,
                                                   const std::wstring& aName) const {
  TGuard guard(FImpl->Lock);
  const std::shared_ptr<TRegNode> node = FImpl->FindKey(aRoot, TImpl::SplitKeyPath(aSubKey));
  if (node == nullptr) {
    return std::nullopt;
  }
  const auto it = node->Values.find(aName);
  if (it == node->Values.end()) {
    return std::nullopt;
  }
  return it->second.second;
}

std::optional<std::wstring> TFakeMachine::GetRegString(TRegHandle aRoot,
                                                       const std::wstring& aSubKey,
                                                       const std::wstring& aName) const {
  const std::optional<TRegValue> value = GetRegValue(aRoot, aSubKey, aName);
  if (!value || (value->Type != regtype::Sz && value->Type != regtype::ExpandSz &&
                 value->Type != regtype::MultiSz)) {
    return std::nullopt;
  }
  return RegDataToString(value->Data);
}

void TFakeMachine::RemoveRegKey(TRegHandle aRoot, const std::wstring& aSubKey) {
  TGuard guard(FImpl->Lock);
  std::vector<std::wstring> path = TImpl::SplitKeyPath(aSubKey);
  const std::shared_ptr<TRegNode> node = FImpl->FindKey(aRoot, path);
  if (node == nullptr || path.empty()) {
    return;
  }
  const std::wstring name = path.back();
  path.pop_back();
  FImpl->FindKey(aRoot, path)->SubKeys.erase(name);
  MarkDeleted(*node);
}

size_t TFakeMachine::OpenRegHandleCount() const {
  TGuard guard(FImpl->Lock);
  return FImpl->OpenKeys.size();
}

void TFakeMachine::FailOpenKey(TRegHandle aRoot, const std::wstring& aSubKey, TErrorCode aError) {
  TGuard guard(FImpl->Lock);
  FImpl->FailOpenKey[{aRoot, TImpl::JoinUpper(TImpl::SplitKeyPath(aSubKey)), L""}] = aError;
}

void TFakeMachine::FailDeleteValue(TRegHandle aRoot, const std::wstring& aSubKey,
                                   const std::wstring& aName, TErrorCode aError) {
  TGuard guard(FImpl->Lock);
  FImpl
      ->FailDeleteValue[{aRoot, TImpl::JoinUpper(TImpl::SplitKeyPath(aSubKey)), UpperCase(aName)}] =
      aError;
}

void TFakeMachine::FailSetValue(TRegHandle aRoot, const std::wstring& aSubKey, TErrorCode aError) {
  TGuard guard(FImpl->Lock);
  FImpl->FailSetValue[{aRoot, TImpl::JoinUpper(TImpl::SplitKeyPath(aSubKey)), L""}] = aError;
}

void TFakeMachine::FailDeleteKey(TRegHandle aRoot, const std::wstring& aSubKey, TErrorCode aError) {
  TGuard guard(FImpl->Lock);
  FImpl->FailDeleteKey[{aRoot, TImpl::JoinUpper(TImpl::SplitKeyPath(aSubKey)), L""}] = aError;
}

} // namespace kplat::fake
