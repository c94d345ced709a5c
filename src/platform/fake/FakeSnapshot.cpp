#include "platform/fake/FakeMachineImpl.h"

#include <unordered_map>

namespace kplat::fake {

struct TFakeMachine::TSnapshot {
  TImpl State;
};

namespace {

using TGuard = std::lock_guard<std::recursive_mutex>;
using TRegCopies = std::unordered_map<const TRegNode*, std::shared_ptr<TRegNode>>;

std::shared_ptr<TRegNode> CopyRegNode(const TRegNode& aNode, TRegCopies& aCopies) {
  auto copy = std::make_shared<TRegNode>();
  copy->Name = aNode.Name;
  copy->Values = aNode.Values;
  copy->Deleted = aNode.Deleted;
  for (const auto& [name, child] : aNode.SubKeys) {
    copy->SubKeys.emplace(name, CopyRegNode(*child, aCopies));
  }
  aCopies.emplace(&aNode, copy);
  return copy;
}

std::unique_ptr<TFsNode> CopyFsNode(const TFsNode& aNode) {
  auto copy = std::make_unique<TFsNode>();
  copy->Name = aNode.Name;
  copy->IsFolder = aNode.IsFolder;
  copy->Attributes = aNode.Attributes;
  copy->Size = aNode.Size;
  copy->Content = aNode.Content;
  copy->CreationTime = aNode.CreationTime;
  copy->LastWriteTime = aNode.LastWriteTime;
  copy->LastAccessTime = aNode.LastAccessTime;
  copy->WriteProtected = aNode.WriteProtected;
  copy->AdminOnly = aNode.AdminOnly;
  copy->LinkTarget = aNode.LinkTarget;
  for (const auto& [name, child] : aNode.Children) {
    copy->Children.emplace_hint(copy->Children.end(), name, CopyFsNode(*child));
  }
  return copy;
}

// Every part of the state, with the trees copied node by node; open keys lead to the copies of
// the keys they had open. A field added to TImpl belongs here too.
void CopyState(const TFakeMachine::TImpl& aFrom, TFakeMachine::TImpl& aTo) {
  TRegCopies copies;
  aTo.Roots.clear();
  for (const auto& [root, node] : aFrom.Roots) {
    aTo.Roots.emplace(root, CopyRegNode(*node, copies));
  }
  aTo.OpenKeys = aFrom.OpenKeys;
  for (auto& [handle, open] : aTo.OpenKeys) {
    const auto copy = open.Node ? copies.find(open.Node.get()) : copies.end();
    if (copy != copies.end()) {
      open.Node = copy->second;
    }
  }
  aTo.NextRegHandle = aFrom.NextRegHandle;
  aTo.FailOpenKey = aFrom.FailOpenKey;
  aTo.FailSetValue = aFrom.FailSetValue;
  aTo.FailDeleteValue = aFrom.FailDeleteValue;
  aTo.FailDeleteKey = aFrom.FailDeleteKey;
  aTo.RandomDrawn = aFrom.RandomDrawn;

  aTo.Drives.clear();
  for (const auto& [drive, node] : aFrom.Drives) {
    aTo.Drives.emplace(drive, CopyFsNode(*node));
  }
  aTo.Shares = aFrom.Shares;
  aTo.Finds = aFrom.Finds;
  aTo.NextFindHandle = aFrom.NextFindHandle;
  aTo.ShortNames = aFrom.ShortNames;
  aTo.FailDeleteFile = aFrom.FailDeleteFile;
  aTo.FailOpenFile = aFrom.FailOpenFile;
  aTo.DiskFull = aFrom.DiskFull;
  aTo.DiskSpace = aFrom.DiskSpace;

  aTo.Env = aFrom.Env;
  aTo.Version = aFrom.Version;
  aTo.LangID = aFrom.LangID;
  aTo.DateTimeFormats = aFrom.DateTimeFormats;
  aTo.AnsiCodePage = aFrom.AnsiCodePage;
  aTo.ProgramPath = aFrom.ProgramPath;
  aTo.TempFolder = aFrom.TempFolder;
  aTo.WindowsFolder = aFrom.WindowsFolder;
  aTo.SystemFolder = aFrom.SystemFolder;
  aTo.CurrentFolder = aFrom.CurrentFolder;

  aTo.LaunchHandler = aFrom.LaunchHandler;
  aTo.ShellHandler = aFrom.ShellHandler;
  aTo.Launches = aFrom.Launches;
  aTo.ShellExecutions = aFrom.ShellExecutions;
  aTo.RunningPrograms = aFrom.RunningPrograms;
  aTo.ListProgramsFailure = aFrom.ListProgramsFailure;
  aTo.RestoreLoadResult = aFrom.RestoreLoadResult;
  aTo.RestoreMissingEntryPoint = aFrom.RestoreMissingEntryPoint;
  aTo.RestoreStatus = aFrom.RestoreStatus;
  aTo.RestoreRefused = aFrom.RestoreRefused;
  aTo.RestoreSequence = aFrom.RestoreSequence;
  aTo.RestoreCalls = aFrom.RestoreCalls;
  aTo.Now = aFrom.Now;
  aTo.Tick = aFrom.Tick.load();
  aTo.LocalOffsetMinutes = aFrom.LocalOffsetMinutes;
  aTo.DebugLines = aFrom.DebugLines;
}

} // namespace

std::shared_ptr<const TFakeMachine::TSnapshot> TFakeMachine::TakeSnapshot() const {
  TGuard guard(FImpl->Lock);
  auto snapshot = std::make_shared<TSnapshot>();
  CopyState(*FImpl, snapshot->State);
  return snapshot;
}

void TFakeMachine::RestoreSnapshot(const TSnapshot& aSnapshot) {
  TGuard guard(FImpl->Lock);
  CopyState(aSnapshot.State, *FImpl);
}

} // namespace kplat::fake
