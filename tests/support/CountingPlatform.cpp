#include "support/CountingPlatform.h"

using namespace kplat;

class TCountingPlatform::TRegistry : public IRegistry {
public:
  TRegistry(TCountingPlatform& aOwner, IRegistry& aInner) : FOwner(aOwner), FInner(aInner) {}

  TErrorCode OpenKey(TRegHandle aParent, const std::wstring& aSubKey, TRegAccess aAccess,
                     TRegView aView, TRegHandle& aKey) override {
    FOwner.Count("OpenKey");
    return FInner.OpenKey(aParent, aSubKey, aAccess, aView, aKey);
  }
  TErrorCode CreateKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                       TRegHandle& aKey, bool* aCreated) override {
    FOwner.Count("CreateKey");
    return FInner.CreateKey(aParent, aSubKey, aView, aKey, aCreated);
  }
  TErrorCode CreateProtectedKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                                TRegHandle& aKey) override {
    FOwner.Count("CreateProtectedKey");
    return FInner.CreateProtectedKey(aParent, aSubKey, aView, aKey);
  }
  void CloseKey(TRegHandle aKey) override {
    FOwner.Count("CloseKey");
    FInner.CloseKey(aKey);
  }
  TErrorCode EnumSubKeys(TRegHandle aKey, std::vector<std::wstring>& aNames) override {
    FOwner.Count("EnumSubKeys");
    return FInner.EnumSubKeys(aKey, aNames);
  }
  TErrorCode EnumValues(TRegHandle aKey, std::vector<std::wstring>& aNames) override {
    FOwner.Count("EnumValues");
    return FInner.EnumValues(aKey, aNames);
  }
  TErrorCode QueryInfo(TRegHandle aKey, TRegKeyInfo& aInfo) override {
    FOwner.Count("QueryInfo");
    return FInner.QueryInfo(aKey, aInfo);
  }
  TErrorCode QueryValue(TRegHandle aKey, const std::wstring& aName, TRegValue& aValue) override {
    FOwner.Count("QueryValue");
    return FInner.QueryValue(aKey, aName, aValue);
  }
  TErrorCode SetValue(TRegHandle aKey, const std::wstring& aName,
                      const TRegValue& aValue) override {
    FOwner.Count("SetValue");
    return FInner.SetValue(aKey, aName, aValue);
  }
  TErrorCode DeleteValue(TRegHandle aKey, const std::wstring& aName) override {
    FOwner.Count("DeleteValue");
    return FInner.DeleteValue(aKey, aName);
  }
  TErrorCode DeleteKeyTree(TRegHandle aParent, const std::wstring& aSubKey,
                           TRegView aView) override {
    FOwner.Count("DeleteKeyTree");
    return FInner.DeleteKeyTree(aParent, aSubKey, aView);
  }

private:
  TCountingPlatform& FOwner;
  IRegistry& FInner;
};

class TCountingPlatform::TFiles : public IFileSystem {
public:
  TFiles(TCountingPlatform& aOwner, IFileSystem& aInner) : FOwner(aOwner), FInner(aInner) {}

  TErrorCode FindFirst(const std::wstring& aPattern, TFindHandle& aFind,
                       TFindData& aData) override {
    FOwner.Count("FindFirst");
    return FInner.FindFirst(aPattern, aFind, aData);
  }
  TErrorCode FindNext(TFindHandle aFind, TFindData& aData) override {
    FOwner.Count("FindNext");
    return FInner.FindNext(aFind, aData);
  }
  void FindClose(TFindHandle aFind) override {
    FOwner.Count("FindClose");
    FInner.FindClose(aFind);
  }
  TErrorCode GetAttributes(const std::wstring& aPath, uint32_t& aAttributes) override {
    FOwner.Count("GetAttributes");
    return FInner.GetAttributes(aPath, aAttributes);
  }
  TErrorCode SetAttributes(const std::wstring& aPath, uint32_t aAttributes) override {
    FOwner.Count("SetAttributes");
    return FInner.SetAttributes(aPath, aAttributes);
  }
  TErrorCode GetFileSize(const std::wstring& aPath, uint64_t& aSize) override {
    FOwner.Count("GetFileSize");
    return FInner.GetFileSize(aPath, aSize);
  }
  TErrorCode GetCreationTime(const std::wstring& aPath, TFileTime& aTime) override {
    FOwner.Count("GetCreationTime");
    return FInner.GetCreationTime(aPath, aTime);
  }
  TErrorCode GetFileTimes(const std::wstring& aPath, TFileTimes& aTimes) override {
    FOwner.Count("GetFileTimes");
    return FInner.GetFileTimes(aPath, aTimes);
  }
  TErrorCode GetFileInfo(const std::wstring& aPath, TFileInfo& aInfo) override {
    FOwner.Count("GetFileInfo");
    return FInner.GetFileInfo(aPath, aInfo);
  }
  TErrorCode SetFileTimes(const std::wstring& aPath, const TFileTimes& aTimes) override {
    FOwner.Count("SetFileTimes");
    return FInner.SetFileTimes(aPath, aTimes);
  }
  TErrorCode DeleteFile(const std::wstring& aPath) override {
    FOwner.Count("DeleteFile");
    return FInner.DeleteFile(aPath);
  }
  TErrorCode DeleteFileInFolder(const std::wstring& aPath, const std::wstring& aFolder) override {
    FOwner.Count("DeleteFileInFolder");
    return FInner.DeleteFileInFolder(aPath, aFolder);
  }
  TErrorCode MoveFileInFolder(const std::wstring& aPath, const std::wstring& aFolder,
                              const std::wstring& aTo) override {
    FOwner.Count("MoveFileInFolder");
    return FInner.MoveFileInFolder(aPath, aFolder, aTo);
  }
  TErrorCode RemoveFolder(const std::wstring& aPath) override {
    FOwner.Count("RemoveFolder");
    return FInner.RemoveFolder(aPath);
  }
  TErrorCode CreateFolder(const std::wstring& aPath) override {
    FOwner.Count("CreateFolder");
    return FInner.CreateFolder(aPath);
  }
  TErrorCode ReadFile(const std::wstring& aPath, std::vector<uint8_t>& aData,
                      uint64_t aMaxBytes) override {
    FOwner.Count("ReadFile");
    return FInner.ReadFile(aPath, aData, aMaxBytes);
  }
  TErrorCode ReadFilePart(const std::wstring& aPath, uint64_t aOffset, uint32_t aMaxBytes,
                          std::vector<uint8_t>& aData) override {
    FOwner.Count("ReadFilePart");
    return FInner.ReadFilePart(aPath, aOffset, aMaxBytes, aData);
  }
  TErrorCode WriteFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) override {
    FOwner.Count("WriteFile");
    return FInner.WriteFile(aPath, aData);
  }
  TErrorCode AppendFile(const std::wstring& aPath, const std::vector<uint8_t>& aData) override {
    FOwner.Count("AppendFile");
    return FInner.AppendFile(aPath, aData);
  }
  TErrorCode TruncateFile(const std::wstring& aPath, uint64_t aSize) override {
    FOwner.Count("TruncateFile");
    return FInner.TruncateFile(aPath, aSize);
  }
  TErrorCode ReplaceFile(const std::wstring& aFrom, const std::wstring& aTo) override {
    FOwner.Count("ReplaceFile");
    return FInner.ReplaceFile(aFrom, aTo);
  }
  TErrorCode WriteProtectedFile(const std::wstring& aPath,
                                const std::vector<uint8_t>& aData) override {
    FOwner.Count("WriteProtectedFile");
    return FInner.WriteProtectedFile(aPath, aData);
  }
  TErrorCode GetLongPath(const std::wstring& aPath, std::wstring& aLongPath) override {
    FOwner.Count("GetLongPath");
    return FInner.GetLongPath(aPath, aLongPath);
  }
  TErrorCode GetFinalPath(const std::wstring& aPath, std::wstring& aFinalPath) override {
    FOwner.Count("GetFinalPath");
    return FInner.GetFinalPath(aPath, aFinalPath);
  }
  TErrorCode CheckWriteAccess(const std::wstring& aPath, bool& aWriteable) override {
    FOwner.Count("CheckWriteAccess");
    return FInner.CheckWriteAccess(aPath, aWriteable);
  }

private:
  TCountingPlatform& FOwner;
  IFileSystem& FInner;
};

TCountingPlatform::TCountingPlatform(IPlatform& aInner)
    : FInner(aInner), FRegistry(std::make_unique<TRegistry>(*this, aInner.Registry())),
      FFiles(std::make_unique<TFiles>(*this, aInner.Files())) {}

TCountingPlatform::~TCountingPlatform() = default;

IRegistry& TCountingPlatform::Registry() {
  return *FRegistry;
}

IFileSystem& TCountingPlatform::Files() {
  return *FFiles;
}

void TCountingPlatform::Count(const char* aName) {
  std::lock_guard lock(FLock);
  ++FCounts[aName];
}

std::map<std::string, size_t> TCountingPlatform::Counts() const {
  std::lock_guard lock(FLock);
  return FCounts;
}

size_t TCountingPlatform::CallsBesidesEnumeration() const {
  size_t calls = 0;
  for (const auto& [name, count] : Counts()) {
    if (name != "FindFirst" && name != "FindNext" && name != "FindClose") {
      calls += count;
    }
  }
  return calls;
}

void TCountingPlatform::Reset() {
  std::lock_guard lock(FLock);
  FCounts.clear();
}
