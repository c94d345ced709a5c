// The downloader on WinInet against a server of this test on 127.0.0.1: the update answer, files
// with and without a length header, a server that stops early or answers with an error page, an
// aborted transfer and the progress reports.
#include "appengine/SingleDownloader.h"

#include "appengine/win32/CLWinInet.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLUpdateAnswer.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/LocalHttpServer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using ktest::win32::THttpReply;

std::vector<uint8_t> Bytes(const std::string& aText) {
  return {aText.begin(), aText.end()};
}

class DownloaderWin : public ::testing::Test {
protected:
  DownloaderWin() {
    FPrevious = InstallWinInetTransfer();
    FFolder = GetTempDir() + L"KestrovaDownloaderWin\\";
    FTempBefore = TempFiles();
    FDownloader.OnDoneString = [this](TObject&, const std::wstring& aText) {
      FEvents.push_back(L"string:" + aText);
    };
    FDownloader.OnDoneFile = [this](TObject&, const std::wstring& aFile, int64_t aSize) {
      FEvents.push_back(L"file:" + ExtractFileName(aFile) + L":" + std::to_wstring(aSize));
    };
    FDownloader.OnError = [this](TObject&) { FEvents.push_back(L"error"); };
  }
  ~DownloaderWin() override {
    FDownloader.Abort();
    FServer.Release();
    EXPECT_TRUE(TSingleDownloader::WaitForAbandoned(30000));
    TSingleDownloader::SetTransferFactory(FPrevious);
    // Nothing of ours is left in the temporary folder.
    EXPECT_EQ(TempFiles(), FTempBefore);
    for (const wchar_t* name : {L"sub\\file.bin", L"file.bin"})
      ::DeleteFileW((FFolder + name).c_str());
    ::RemoveDirectoryW((FFolder + L"sub").c_str());
    ::RemoveDirectoryW(FFolder.c_str());
  }

  // The "sg*.tmp" files of the temporary folder.
  static std::vector<std::wstring> TempFiles() {
    std::vector<std::wstring> names;
    kplat::TFileFind find;
    kplat::TFindData data;
    for (bool found = find.First(GetTempDir() + L"sg*.tmp", data); found; found = find.Next(data))
      names.push_back(data.Name);
    return names;
  }
  bool Finish() {
    return FMain.RunUntil([this] { return !FDownloader.Busy(); }, 30000);
  }
  std::vector<uint8_t> FileContent(const std::wstring& aPath) {
    std::vector<uint8_t> data;
    kplat::Platform().Files().ReadFile(aPath, data, 1 << 24);
    return data;
  }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  ktest::win32::TLocalHttpServer FServer;
  TTransferFactory FPrevious;
  std::wstring FFolder;
  std::vector<std::wstring> FTempBefore;
  TSingleDownloader FDownloader{nullptr};
  std::vector<std::wstring> FEvents;
};

} // namespace

TEST_F(DownloaderWin, TheUpdateAnswerArrivesForEachResult) {
  ASSERT_NE(FServer.Port(), 0);
  const std::string answers[] = {
      "magicword=KESTROVA\r\nResult=0\r\n",
      "magicword=KESTROVA\r\nResult=1\r\ninfo=Kestrova 9.0\r\npage=http://127.0.0.1/get\r\n",
      "magicword=KESTROVA\r\nResult=7\r\n"};
  const int results[] = {0, 1, -1};
  FDownloader.URL = FServer.URL("/check?ACTION=Update&LANG=English");
  for (int i = 0; i < 3; ++i) {
    FEvents.clear();
    FServer.SetReply("/check", THttpReply{.Body = answers[i]});
    FDownloader.GetString();
    ASSERT_TRUE(Finish());
    ASSERT_EQ(FEvents.size(), 1u);
    ASSERT_EQ(FEvents[0].rfind(L"string:", 0), 0u) << FEvents[0];
    const TUpdateAnswer answer = ParseUpdateAnswer(FEvents[0].substr(7), L"KESTROVA");
    EXPECT_TRUE(answer.Valid);
    EXPECT_EQ(answer.Result, results[i]);
  }
  EXPECT_EQ(FServer.Requests(),
            std::vector<std::string>(3, "GET /check?ACTION=Update&LANG=English HTTP/1.0"));

  // An error page is no answer, whatever it says.
  FEvents.clear();
  FServer.SetReply("/check", THttpReply{.Status = "500 Internal Server Error", .Body = answers[1]});
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"error"});
}

TEST_F(DownloaderWin, AFileIsWrittenOnlyWhenItArrivedWhole) {
  std::string body(50000, '\0');
  for (size_t i = 0; i < body.size(); ++i)
    body[i] = static_cast<char>(i * 7);
  FDownloader.URL = FServer.URL("/banner.bin");
  FDownloader.FileName = FFolder + L"sub\\file.bin";

  // With a length header, binary or not.
  for (const bool binary : {true, false}) {
    FEvents.clear();
    FServer.SetReply("/banner.bin", THttpReply{.Body = body});
    FDownloader.BinaryData = binary;
    FDownloader.GetFile();
    ASSERT_TRUE(Finish());
    EXPECT_EQ(FEvents, std::vector<std::wstring>{L"file:file.bin:50000"});
    EXPECT_EQ(FileContent(FDownloader.FileName), Bytes(body));
  }

  // Without one nothing tells that the file is whole; with the connection closed early, it is
  // not. An error page never becomes the file. The whole copy stays in every case.
  const THttpReply broken[] = {{.Body = "changed", .LengthHeader = false},
                               {.Body = std::string(1000, 'c'), .SendOnly = 300},
                               {.Status = "404 Not Found", .Body = "not here"}};
  for (const bool binary : {true, false}) {
    for (const THttpReply& reply : broken) {
      FEvents.clear();
      FServer.SetReply("/banner.bin", reply);
      FDownloader.BinaryData = binary;
      FDownloader.GetFile();
      ASSERT_TRUE(Finish());
      EXPECT_EQ(FEvents, std::vector<std::wstring>{L"error"}) << reply.Status;
      EXPECT_EQ(FileContent(FDownloader.FileName), Bytes(body));
    }
  }

  // A text cut short is no answer either; without a header a text is taken as it came.
  FServer.SetReply("/text",
                   THttpReply{.Body = "magicword=KESTROVA\r\nResult=1\r\n", .SendOnly = 12});
  FDownloader.URL = FServer.URL("/text");
  FEvents.clear();
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"error"});
  FServer.SetReply("/text", THttpReply{.Body = "Result=0", .LengthHeader = false});
  FEvents.clear();
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"string:Result=0"});
}

TEST_F(DownloaderWin, ProgressIsReportedOnTheMainThread) {
  const std::string body(100000, 'p');
  FServer.SetReply("/big", THttpReply{.Body = body});
  FDownloader.URL = FServer.URL("/big");
  FDownloader.FileName = FFolder + L"file.bin";
  std::vector<std::pair<int64_t, int64_t>> progress;
  bool onMainThread = true;
  const auto mainThread = std::this_thread::get_id();
  FDownloader.OnProgress = [&](TObject&, int64_t aTotal, int64_t aRead) {
    onMainThread = onMainThread && std::this_thread::get_id() == mainThread;
    progress.emplace_back(aTotal, aRead);
  };
  FDownloader.GetFile();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"file:file.bin:100000"});
  EXPECT_TRUE(onMainThread);
  ASSERT_GE(progress.size(), 7u);
  int64_t previous = 0;
  for (const auto& [total, read] : progress) {
    EXPECT_EQ(total, 100000);
    EXPECT_GT(read, previous);
    EXPECT_LE(read - previous, static_cast<int64_t>(TSingleDownloader::kChunkSize));
    previous = read;
  }
  EXPECT_EQ(previous, 100000);
}

TEST_F(DownloaderWin, AnAbortedTransferNeverReports) {
  FServer.SetReply("/slow", THttpReply{.Body = "Result=1", .Hold = true});
  FDownloader.URL = FServer.URL("/slow");
  FDownloader.GetString();
  ASSERT_TRUE(FServer.WaitForRequests(1, 30000));
  FDownloader.Abort();
  EXPECT_FALSE(FDownloader.Busy());
  EXPECT_TRUE(FDownloader.Aborted());
  FServer.Release();
  ASSERT_TRUE(TSingleDownloader::WaitForAbandoned(30000));
  FMain.ProcessMessages();
  EXPECT_TRUE(FEvents.empty());

  // The next transfer runs as usual.
  FServer.SetReply("/fast", THttpReply{.Body = "Result=0"});
  FDownloader.URL = FServer.URL("/fast");
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"string:Result=0"});
}
