#include "platform/ConformanceFixture.h"

#include "support/CountingPlatform.h"

#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <map>

using namespace kplat;

namespace {
std::vector<uint8_t> Bytes(const std::string& aText) {
  return {aText.begin(), aText.end()};
}

std::vector<std::wstring> WithoutDots(std::vector<std::wstring> aNames) {
  aNames.erase(std::remove_if(aNames.begin(), aNames.end(),
                              [](const std::wstring& n) { return n == L"." || n == L".."; }),
               aNames.end());
  std::sort(aNames.begin(), aNames.end(),
            [](const std::wstring& a, const std::wstring& b) { return CompareText(a, b) < 0; });
  return aNames;
}

std::string ReadAll(const std::wstring& aPath) {
  std::vector<uint8_t> data;
  Platform().Files().ReadFile(aPath, data, 1 << 20);
  return std::string(data.begin(), data.end());
}
} // namespace

class FilesConformance : public Conformance {};

TEST_F(FilesConformance, FindReportsAttributesSizesAndNames) {
  ASSERT_EQ(Files().WriteFile(Path(L"hidden.txt"), Bytes("12345")), err::Success);
  ASSERT_EQ(Files().WriteFile(Path(L"system.txt"), Bytes("")), err::Success);
  ASSERT_EQ(Files().WriteFile(Path(L"readonly.txt"), Bytes("x")), err::Success);
  ASSERT_EQ(Files().CreateFolder(Path(L"Folder")), err::Success);
  ASSERT_EQ(Files().SetAttributes(Path(L"hidden.txt"), fileattr::Hidden), err::Success);
  ASSERT_EQ(Files().SetAttributes(Path(L"system.txt"), fileattr::System), err::Success);
  ASSERT_EQ(Files().SetAttributes(Path(L"readonly.txt"), fileattr::ReadOnly), err::Success);
  const bool junction = Backend().MakeJunction(Path(L"Junction"), Path(L"Folder"));

  std::map<std::wstring, TFindData> found;
  TFindHandle find = kNoFindHandle;
  TFindData data;
  ASSERT_EQ(Files().FindFirst(Path(L"*"), find, data), err::Success);
  do {
    found[data.Name] = data;
  } while (Files().FindNext(find, data) == err::Success);
  Files().FindClose(find);

  constexpr uint32_t kChecked = fileattr::Hidden | fileattr::System | fileattr::ReadOnly |
                                fileattr::Directory | fileattr::ReparsePoint;
  EXPECT_EQ(found[L"hidden.txt"].Attributes & kChecked, fileattr::Hidden);
  EXPECT_EQ(found[L"hidden.txt"].Size, 5u);
  EXPECT_EQ(found[L"system.txt"].Attributes & kChecked, fileattr::System);
  EXPECT_EQ(found[L"readonly.txt"].Attributes & kChecked, fileattr::ReadOnly);
  EXPECT_EQ(found[L"Folder"].Attributes & kChecked, fileattr::Directory);
  if (junction) {
    EXPECT_EQ(found[L"Junction"].Attributes & kChecked,
              fileattr::Directory | fileattr::ReparsePoint);
  }
  uint32_t attributes = 0;
  ASSERT_EQ(Files().GetAttributes(Path(L"Folder\\"), attributes), err::Success);
  EXPECT_NE(attributes & fileattr::Directory, 0u);
  ASSERT_EQ(Files().SetAttributes(Path(L"readonly.txt"), fileattr::Normal), err::Success);
}

TEST_F(FilesConformance, AFileIsDeletedInItsFolderOnlyWhereItReallyIs) {
  // The scratch folder where it really is, so that its own form does not differ.
  std::wstring scratch;
  ASSERT_EQ(Files().GetFinalPath(Backend().ScratchFolder(), scratch), err::Success);
  const std::wstring scanned = scratch + L"\\Scanned";
  const std::wstring outside = scratch + L"\\Outside";
  ASSERT_EQ(Files().CreateFolder(scanned), err::Success);
  ASSERT_EQ(Files().CreateFolder(outside), err::Success);
  for (const std::wstring& file :
       {scanned + L"\\a.tmp", scanned + L"\\ro.tmp", outside + L"\\victim.tmp"}) {
    ASSERT_EQ(Files().WriteFile(file, Bytes("x")), err::Success);
  }
  std::wstring finalPath;
  ASSERT_EQ(Files().GetFinalPath(scanned + L"\\a.tmp", finalPath), err::Success);
  EXPECT_TRUE(SamePath(finalPath, scanned + L"\\a.tmp")) << ToUtf8(finalPath);
  EXPECT_EQ(Files().DeleteFileInFolder(outside + L"\\victim.tmp", scanned), err::InvalidParameter);
  ASSERT_EQ(Files().SetAttributes(scanned + L"\\ro.tmp", fileattr::ReadOnly), err::Success);
  EXPECT_EQ(Files().DeleteFileInFolder(scanned + L"\\ro.tmp", scanned), err::AccessDenied);
  ASSERT_EQ(Files().SetAttributes(scanned + L"\\ro.tmp", fileattr::Normal), err::Success);
  EXPECT_EQ(Files().DeleteFileInFolder(scanned + L"\\a.tmp", scanned), err::Success);
  EXPECT_FALSE(FileExists(scanned + L"\\a.tmp"));

  ASSERT_TRUE(Backend().MakeJunction(scanned + L"\\Out", outside));
  // A path through the link is where the link leads; a deletion through it is refused.
  ASSERT_EQ(Files().GetFinalPath(scanned + L"\\Out", finalPath), err::Success);
  EXPECT_TRUE(SamePath(finalPath, outside)) << ToUtf8(finalPath);
  ASSERT_EQ(Files().GetFinalPath(scanned + L"\\Out\\victim.tmp", finalPath), err::Success);
  EXPECT_TRUE(SamePath(finalPath, outside + L"\\victim.tmp")) << ToUtf8(finalPath);
  EXPECT_EQ(Files().DeleteFileInFolder(scanned + L"\\Out\\victim.tmp", scanned),
            err::StoppedOnLink);
  EXPECT_TRUE(FileExists(outside + L"\\victim.tmp"));
}

TEST_F(FilesConformance, DotEntriesComeFirstExceptAtADriveRoot) {
  ASSERT_EQ(Files().WriteFile(Path(L"a.txt"), Bytes("a")), err::Success);
  const std::vector<std::wstring> names = Find(Path(L"*"));
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(names[0], L".");
  EXPECT_EQ(names[1], L"..");
  const std::vector<std::wstring> root = Find(L"C:\\*");
  ASSERT_FALSE(root.empty());
  EXPECT_EQ(std::count(root.begin(), root.end(), L"."), 0);
  EXPECT_EQ(std::count(root.begin(), root.end(), L".."), 0);
}

TEST_F(FilesConformance, WildcardsFollowTheSystemsRules) {
  for (const wchar_t* name : {L"a.txt", L"B.TXT", L"ab.txt", L"noext", L"c.tmp", L"a.txt.bak"}) {
    ASSERT_EQ(Files().WriteFile(Path(name), Bytes("x")), err::Success);
  }
  EXPECT_EQ(WithoutDots(Find(Path(L"*.txt"))),
            (std::vector<std::wstring>{L"a.txt", L"ab.txt", L"B.TXT"}));
  EXPECT_EQ(WithoutDots(Find(Path(L"?.txt"))), (std::vector<std::wstring>{L"a.txt", L"B.TXT"}));
  EXPECT_EQ(WithoutDots(Find(Path(L"*.*"))).size(), 6u); // "noext" too
  EXPECT_EQ(WithoutDots(Find(Path(L"A*"))),
            (std::vector<std::wstring>{L"a.txt", L"a.txt.bak", L"ab.txt"}));
  EXPECT_EQ(Find(Path(L"b.txt")), std::vector<std::wstring>{L"B.TXT"});
  // "/" is a separator as well.
  std::wstring slashed = Path(L"*.tmp");
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  EXPECT_EQ(WithoutDots(Find(slashed)), std::vector<std::wstring>{L"c.tmp"});

  TFindHandle find = kNoFindHandle;
  TFindData data;
  EXPECT_EQ(Files().FindFirst(Path(L"*.none"), find, data), err::FileNotFound);
  EXPECT_EQ(Files().FindFirst(Path(L"Missing\\*"), find, data), err::PathNotFound);
}

TEST_F(FilesConformance, NamesBeyondAsciiAreFoundWithoutRegardToCase) {
  ASSERT_EQ(Files().CreateFolder(Path(L"\u00C4rger \u0416")), err::Success);
  ASSERT_EQ(Files().WriteFile(Path(L"\u00E4RGER \u0436\\\u00E9t\u00E9.txt"), Bytes("x")),
            err::Success);
  EXPECT_EQ(ReadAll(Path(L"\u00C4rger \u0416\\\u00C9T\u00C9.TXT")), "x");
}

TEST_F(FilesConformance, DeletingRefusesReadOnlyFilesAndFolders) {
  ASSERT_EQ(Files().WriteFile(Path(L"locked.txt"), Bytes("x")), err::Success);
  ASSERT_EQ(Files().SetAttributes(Path(L"locked.txt"), fileattr::ReadOnly), err::Success);
  EXPECT_EQ(Files().DeleteFile(Path(L"locked.txt")), err::AccessDenied);
  EXPECT_TRUE(FileExists(Path(L"locked.txt")));
  ASSERT_EQ(Files().SetAttributes(Path(L"locked.txt"), fileattr::Normal), err::Success);
  EXPECT_EQ(Files().DeleteFile(Path(L"locked.txt")), err::Success);
  EXPECT_FALSE(PathExists(Path(L"locked.txt")));
  EXPECT_EQ(Files().DeleteFile(Path(L"locked.txt")), err::FileNotFound);

  ASSERT_EQ(Files().CreateFolder(Path(L"Folder")), err::Success);
  EXPECT_EQ(Files().DeleteFile(Path(L"Folder")), err::AccessDenied);
  EXPECT_TRUE(FolderExists(Path(L"Folder")));
}

TEST_F(FilesConformance, FoldersAreCreatedOneLevelAndRemovedOnlyWhenEmpty) {
  EXPECT_EQ(Files().CreateFolder(Path(L"No\\Parent")), err::PathNotFound);
  ASSERT_EQ(Files().CreateFolder(Path(L"Full")), err::Success);
  EXPECT_EQ(Files().CreateFolder(Path(L"Full")), err::AlreadyExists);
  ASSERT_EQ(Files().WriteFile(Path(L"Full\\file.txt"), Bytes("x")), err::Success);
  EXPECT_EQ(Files().RemoveFolder(Path(L"Full")), err::DirNotEmpty);
  ASSERT_EQ(Files().DeleteFile(Path(L"Full\\file.txt")), err::Success);
  EXPECT_EQ(Files().RemoveFolder(Path(L"Full\\")), err::Success);
  EXPECT_FALSE(PathExists(Path(L"Full")));
  EXPECT_EQ(Files().RemoveFolder(Path(L"Full")), err::FileNotFound);
}

TEST_F(FilesConformance, APathNamesTheSameFileHoweverItIsWritten) {
  ASSERT_EQ(Files().CreateFolder(Path(L"Sub")), err::Success);
  ASSERT_EQ(Files().WriteFile(Path(L"Sub\\file.txt"), Bytes("x")), err::Success);
  std::wstring slashed = Path(L"Sub\\file.txt");
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  for (const std::wstring& path :
       {slashed, Path(L"Sub\\\\file.txt"), Path(L"Sub\\.\\file.txt"),
        Path(L"Sub\\..\\Sub\\.\\file.txt"), Path(L"Other\\..\\sub\\FILE.TXT"),
        L"\\\\?\\" + Path(L"Sub\\file.txt")}) {
    EXPECT_EQ(ReadAll(path), "x") << ToUtf8(path);
  }
}

TEST_F(FilesConformance, ReadFileHonoursItsBound) {
  ASSERT_EQ(Files().WriteFile(Path(L"ten.bin"), Bytes("0123456789")), err::Success);
  std::vector<uint8_t> data;
  EXPECT_EQ(Files().ReadFile(Path(L"ten.bin"), data, 9), err::NotEnoughMemory);
  ASSERT_EQ(Files().ReadFile(Path(L"ten.bin"), data, 10), err::Success);
  EXPECT_EQ(data, Bytes("0123456789"));
  EXPECT_EQ(Files().ReadFile(Path(L"missing.bin"), data, 10), err::FileNotFound);
  EXPECT_EQ(Files().ReadFile(Path(L"Missing\\x.bin"), data, 10), err::PathNotFound);
}

TEST_F(FilesConformance, ReadFilePartReadsFromItsOffsetToTheEnd) {
  ASSERT_EQ(Files().WriteFile(Path(L"ten.bin"), Bytes("0123456789")), err::Success);
  const struct {
    uint64_t Offset;
    uint32_t Max;
    const char* Read;
  } cases[] = {{0, 4, "0123"}, {4, 4, "4567"}, {8, 4, "89"},       {10, 4, ""},
               {11, 4, ""},    {0, 0, ""},     {3, 100, "3456789"}};
  std::vector<uint8_t> data;
  for (const auto& c : cases) {
    data = Bytes("stale");
    ASSERT_EQ(Files().ReadFilePart(Path(L"ten.bin"), c.Offset, c.Max, data), err::Success)
        << c.Offset;
    EXPECT_EQ(data, Bytes(c.Read)) << c.Offset << " " << c.Max;
  }
  EXPECT_EQ(Files().ReadFilePart(Path(L"missing.bin"), 0, 10, data), err::FileNotFound);
  EXPECT_EQ(Files().ReadFilePart(Path(L"Missing\\x.bin"), 0, 10, data), err::PathNotFound);
  ASSERT_EQ(ForceFolders(Path(L"Folder")), err::Success);
  EXPECT_EQ(Files().ReadFilePart(Path(L"Folder"), 0, 10, data), err::AccessDenied);
  EXPECT_TRUE(data.empty());
}

// Large files are hashed and copied in parts of several megabytes; a small file must not cost
// a buffer of the whole bound.
TEST_F(FilesConformance, ReadFilePartOfASmallFileHoldsLittleMemory) {
  ASSERT_EQ(Files().WriteFile(Path(L"small.bin"), Bytes("0123456789")), err::Success);
  std::vector<uint8_t> data;
  ASSERT_EQ(Files().ReadFilePart(Path(L"small.bin"), 2, 16u << 20, data), err::Success);
  EXPECT_EQ(data, Bytes("23456789"));
  EXPECT_LT(data.capacity(), 64u * 1024);
}

TEST_F(FilesConformance, GetFileInfoTellsWhatTheSeparateCallsTell) {
  const std::wstring file = Path(L"info.bin");
  ASSERT_EQ(Files().WriteFile(file, Bytes("abcde")), err::Success);
  ASSERT_EQ(Files().SetFileTimes(
                file, {132224714450000000ull, 132224714460000000ull, 132224714470000000ull}),
            err::Success);
  ASSERT_EQ(Files().SetAttributes(file, fileattr::Hidden), err::Success);
  ASSERT_EQ(ForceFolders(Path(L"Folder")), err::Success);
  for (const std::wstring& path : {file, Path(L"Folder")}) {
    TFileInfo info;
    ASSERT_EQ(Files().GetFileInfo(path, info), err::Success) << ToUtf8(path);
    uint32_t attributes = 0;
    TFileTimes times;
    uint64_t size = 0;
    ASSERT_EQ(Files().GetAttributes(path, attributes), err::Success);
    ASSERT_EQ(Files().GetFileTimes(path, times), err::Success);
    Files().GetFileSize(path, size); // a folder has none: 0
    EXPECT_EQ(info.Attributes, attributes) << ToUtf8(path);
    EXPECT_EQ(info.Times, times) << ToUtf8(path);
    EXPECT_EQ(info.Size, size) << ToUtf8(path);
  }
  TFileInfo info;
  EXPECT_EQ(Files().GetFileInfo(Path(L"missing.bin"), info), err::FileNotFound);
  EXPECT_EQ(Files().GetFileInfo(Path(L"Missing\\x.bin"), info), err::PathNotFound);
}

TEST_F(FilesConformance, WriteAppendAndReplace) {
  const std::wstring file = Path(L"data.txt");
  std::vector<uint8_t> data;
  ASSERT_EQ(Files().AppendFile(file, Bytes("one")), err::Success); // creates the file
  ASSERT_EQ(Files().AppendFile(file, Bytes("two")), err::Success);
  ASSERT_EQ(Files().ReadFile(file, data, 100), err::Success);
  EXPECT_EQ(data, Bytes("onetwo"));
  ASSERT_EQ(Files().WriteFile(file, Bytes("new")), err::Success); // truncates
  uint64_t size = 0;
  ASSERT_EQ(Files().GetFileSize(file, size), err::Success);
  EXPECT_EQ(size, 3u);

  ASSERT_EQ(Files().WriteFile(Path(L"other.txt"), Bytes("replacement")), err::Success);
  ASSERT_EQ(Files().ReplaceFile(Path(L"other.txt"), file), err::Success);
  ASSERT_EQ(Files().ReadFile(file, data, 100), err::Success);
  EXPECT_EQ(data, Bytes("replacement"));
  EXPECT_FALSE(PathExists(Path(L"other.txt")));
  EXPECT_EQ(Files().ReplaceFile(Path(L"other.txt"), file), err::FileNotFound);
  EXPECT_EQ(Files().WriteFile(Path(L"Missing\\x.txt"), Bytes("x")), err::PathNotFound);
}

TEST_F(FilesConformance, TruncateFileOnlyShortens) {
  const std::wstring file = Path(L"cut.txt");
  ASSERT_EQ(Files().WriteFile(file, Bytes("abcdef")), err::Success);
  EXPECT_EQ(Files().TruncateFile(file, 7), err::InvalidParameter);
  ASSERT_EQ(Files().TruncateFile(file, 3), err::Success);
  std::vector<uint8_t> data;
  ASSERT_EQ(Files().ReadFile(file, data, 100), err::Success);
  EXPECT_EQ(data, Bytes("abc"));
  ASSERT_EQ(Files().AppendFile(file, Bytes("z")), err::Success);
  ASSERT_EQ(Files().ReadFile(file, data, 100), err::Success);
  EXPECT_EQ(data, Bytes("abcz"));
  EXPECT_EQ(Files().TruncateFile(Path(L"missing.txt"), 0), err::FileNotFound);
}

TEST_F(FilesConformance, ForceFoldersAndAtomicWritesLeaveNothingBehind) {
  const std::wstring deep = Path(L"A\\B\\C");
  ASSERT_EQ(ForceFolders(deep), err::Success);
  EXPECT_TRUE(FolderExists(deep));
  EXPECT_EQ(ForceFolders(deep + L"\\"), err::Success);

  const std::wstring file = deep + L"\\settings.ini";
  ASSERT_EQ(WriteFileAtomic(file, Bytes("old")), err::Success);
  ASSERT_EQ(WriteFileAtomic(file, Bytes("new content")), err::Success);
  std::vector<uint8_t> data;
  ASSERT_EQ(Files().ReadFile(file, data, 100), err::Success);
  EXPECT_EQ(data, Bytes("new content"));
  EXPECT_EQ(WithoutDots(Find(deep + L"\\*")), std::vector<std::wstring>{L"settings.ini"});
}

TEST_F(FilesConformance, ForceFoldersEndsAtTheFirstNameTheSystemRefuses) {
  // A settings file can name any folder: two hundred levels below a refused name cost one
  // refusal, not a check of every level.
  std::wstring deep = Path(L"bad|name");
  for (int i = 0; i < 200; ++i) {
    deep += L"\\sub";
  }
  TCountingPlatform counting(Platform());
  {
    const TScopedPlatform scope(counting);
    EXPECT_EQ(ForceFolders(deep), err::InvalidName);
  }
  EXPECT_LT(counting.CallsBesidesEnumeration(), 20u);
  EXPECT_FALSE(FolderExists(Path(L"bad|name")));
}

TEST_F(FilesConformance, SizesAboveFourGigabytesAreReported) {
  if (!Backend().CanMakeHugeFiles()) {
    GTEST_SKIP() << "the backend cannot make huge files cheaply";
  }
  const uint64_t huge = (5ull << 30) + 17;
  Backend().MakeFile(Path(L"huge.bin"), huge);
  uint64_t size = 0;
  ASSERT_EQ(Files().GetFileSize(Path(L"huge.bin"), size), err::Success);
  EXPECT_EQ(size, huge);
  TFindHandle find = kNoFindHandle;
  TFindData data;
  ASSERT_EQ(Files().FindFirst(Path(L"huge.bin"), find, data), err::Success);
  Files().FindClose(find);
  EXPECT_EQ(data.Size, huge);
  std::vector<uint8_t> content;
  EXPECT_EQ(Files().ReadFile(Path(L"huge.bin"), content, 1u << 20), err::NotEnoughMemory);
}

TEST_F(FilesConformance, AFileIsMovedOutOfItsFolderNeverThroughALinkNorOntoAFile) {
  std::wstring scratch;
  ASSERT_EQ(Files().GetFinalPath(Backend().ScratchFolder(), scratch), err::Success);
  const std::wstring scanned = scratch + L"\\Scanned";
  const std::wstring kept = scratch + L"\\Kept";
  const std::wstring outside = scratch + L"\\Outside";
  for (const std::wstring& folder : {scanned, kept, outside}) {
    ASSERT_EQ(Files().CreateFolder(folder), err::Success);
  }
  for (const std::wstring& file :
       {scanned + L"\\a.tmp", scanned + L"\\b.tmp", kept + L"\\b.tmp", outside + L"\\victim.tmp"}) {
    ASSERT_EQ(Files().WriteFile(file, Bytes(ToUtf8(file))), err::Success);
  }
  ASSERT_EQ(Files().SetAttributes(scanned + L"\\a.tmp", fileattr::ReadOnly), err::Success);
  EXPECT_EQ(Files().MoveFileInFolder(scanned + L"\\a.tmp", scanned, kept + L"\\1"), err::Success);
  EXPECT_FALSE(FileExists(scanned + L"\\a.tmp"));
  EXPECT_EQ(ReadAll(kept + L"\\1"), ToUtf8(scanned + L"\\a.tmp"));
  ASSERT_EQ(Files().SetAttributes(kept + L"\\1", fileattr::Normal), err::Success);

  EXPECT_EQ(Files().MoveFileInFolder(scanned + L"\\b.tmp", scanned, kept + L"\\b.tmp"),
            err::AlreadyExists);
  EXPECT_EQ(ReadAll(kept + L"\\b.tmp"), ToUtf8(kept + L"\\b.tmp"));
  EXPECT_TRUE(FileExists(scanned + L"\\b.tmp"));
  EXPECT_EQ(Files().MoveFileInFolder(outside + L"\\victim.tmp", scanned, kept + L"\\2"),
            err::InvalidParameter);

  ASSERT_TRUE(Backend().MakeJunction(scanned + L"\\Out", outside));
  EXPECT_EQ(Files().MoveFileInFolder(scanned + L"\\Out\\victim.tmp", scanned, kept + L"\\3"),
            err::StoppedOnLink);
  EXPECT_TRUE(FileExists(outside + L"\\victim.tmp"));
  EXPECT_FALSE(PathExists(kept + L"\\3"));
}

TEST_F(FilesConformance, TimesAreKeptAndContentHashedAndCopied) {
  const std::wstring file = Path(L"data.bin");
  ASSERT_EQ(Files().WriteFile(file, Bytes("abc")), err::Success);
  // 2020-01-02 03:04:05 UTC and two other moments, whole seconds as every file system keeps them.
  const TFileTimes times{132224714450000000ull, 132224714460000000ull, 132224714470000000ull};
  ASSERT_EQ(Files().SetFileTimes(file, times), err::Success);
  TFileTimes read;
  ASSERT_EQ(Files().GetFileTimes(file, read), err::Success);
  // Not every file system keeps a creation time of its own (Wine's on Linux reports another).
  EXPECT_EQ(read.LastAccess, times.LastAccess);
  EXPECT_EQ(read.LastWrite, times.LastWrite);

  TSha256Digest digest{};
  ASSERT_EQ(HashFile(file, digest), err::Success);
  EXPECT_EQ(DigestText(digest),
            L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  ASSERT_EQ(Files().WriteFile(Path(L"empty.bin"), {}), err::Success);
  ASSERT_EQ(HashFile(Path(L"empty.bin"), digest), err::Success);
  EXPECT_EQ(DigestText(digest),
            L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  TSha256Digest parsed{};
  EXPECT_TRUE(ParseDigest(DigestText(digest), parsed));
  EXPECT_EQ(parsed, digest);
  EXPECT_FALSE(ParseDigest(L"e3b0", parsed));

  ASSERT_EQ(CopyFileFlushed(file, Path(L"copy.bin")), err::Success);
  EXPECT_EQ(ReadAll(Path(L"copy.bin")), "abc");
  EXPECT_EQ(CopyFileFlushed(Path(L"missing.bin"), Path(L"copy2.bin")), err::FileNotFound);
  EXPECT_FALSE(PathExists(Path(L"copy2.bin")));
}
