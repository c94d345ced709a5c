// The downloader over a scripted network: what a transfer asks for, when it counts as done, what
// it leaves on disk, and that an aborted transfer never reports.
#include "appengine/SingleDownloader.h"

#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "platform/TextCodec.h"
#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::wstring kTemp = L"C:\\Temp\\";

// What the scripted server answers, and what the transfer did with it.
struct TScript {
  bool OpenOk = true;
  bool SendOk = true;
  std::optional<uint64_t> Length;
  // Each read hands out (the rest of) the next piece; then the body ends, or a read fails.
  std::vector<std::string> Pieces;
  bool FailAtEnd = false;
  // A read waits until the transfer is cancelled and fails, or with HangInRead ignores that until
  // the test releases it and then hands out the pieces.
  bool BlockInRead = false;
  bool HangInRead = false;
  bool Released = false;

  std::mutex Lock;
  std::condition_variable Changed;
  bool InRead = false;
  bool Cancelled = false;
  int Opened = 0;
  TTransferRequest Request;
  std::vector<std::wstring> TempFilesWhileReading;
  kplat::fake::TFakeMachine* Machine = nullptr;
};

class TScriptedTransfer : public ITransfer {
public:
  explicit TScriptedTransfer(std::shared_ptr<TScript> aScript) : FScript(std::move(aScript)) {}

  bool Open(const TTransferRequest& aRequest) override {
    std::lock_guard lock(FScript->Lock);
    ++FScript->Opened;
    FScript->Request = aRequest;
    return FScript->OpenOk;
  }
  bool Send() override { return FScript->SendOk; }
  bool QueryContentLength(uint64_t& aLength) override {
    if (!FScript->Length)
      return false;
    aLength = *FScript->Length;
    return true;
  }
  bool Read(uint8_t* aBuffer, size_t aSize, size_t& aRead) override {
    aRead = 0;
    std::unique_lock lock(FScript->Lock);
    FScript->TempFilesWhileReading = FScript->Machine->ListFolder(kTemp);
    if (FScript->BlockInRead && !FScript->Released) {
      FScript->InRead = true;
      FScript->Changed.notify_all();
      FScript->Changed.wait_for(lock, std::chrono::seconds(20), [this] {
        return FScript->HangInRead ? FScript->Released : FScript->Cancelled;
      });
      if (!FScript->HangInRead)
        return false;
    }
    if (FNext >= FScript->Pieces.size())
      return !FScript->FailAtEnd;
    std::string& piece = FScript->Pieces[FNext];
    aRead = std::min(aSize, piece.size() - FOffset);
    std::copy_n(piece.data() + FOffset, aRead, aBuffer);
    FOffset += aRead;
    if (FOffset == piece.size()) {
      ++FNext;
      FOffset = 0;
    }
    return true;
  }
  void Cancel() override {
    std::lock_guard lock(FScript->Lock);
    FScript->Cancelled = true;
    FScript->Changed.notify_all();
  }

private:
  std::shared_ptr<TScript> FScript;
  size_t FNext = 0;
  size_t FOffset = 0;
};

std::vector<uint8_t> Bytes(const std::string& aText) {
  return {aText.begin(), aText.end()};
}

class SingleDownloaderTest : public testing::Test {
protected:
  SingleDownloaderTest() {
    Machine().SetTempFolder(kTemp);
    Machine().AddFolder(kTemp);
    FScript->Machine = &Machine();
    FPrevious = TSingleDownloader::SetTransferFactory(
        [script = FScript] { return std::make_unique<TScriptedTransfer>(script); });
    FDownloader.URL = L"http://update.example/check?x=1";
    FDownloader.OnDoneString = [this](TObject&, const std::wstring& aText) {
      FEvents.push_back(L"string:" + aText);
    };
    FDownloader.OnDoneFile = [this](TObject&, const std::wstring& aFile, int64_t aSize) {
      FEvents.push_back(L"file:" + aFile + L":" + std::to_wstring(aSize));
    };
    FDownloader.OnError = [this](TObject&) { FEvents.push_back(L"error"); };
  }
  ~SingleDownloaderTest() override {
    FDownloader.Abort();
    EXPECT_TRUE(TSingleDownloader::WaitForAbandoned(20000));
    TSingleDownloader::SetTransferFactory(FPrevious);
  }

  kplat::fake::TFakeMachine& Machine() { return FScope.Machine(); }
  // Serves the main thread until the transfer reported.
  bool Finish() {
    return FMain.RunUntil([this] { return !FDownloader.Busy(); }, 20000);
  }
  std::vector<std::wstring> TempFiles() { return Machine().ListFolder(kTemp); }

  kplat::fake::TFakeMachineScope FScope;
  TCLMainThreadQueue FMain{TCLIdleWait::WaitForCall};
  TCLScopedMainThread FMainScope{FMain};
  std::shared_ptr<TScript> FScript = std::make_shared<TScript>();
  TTransferFactory FPrevious;
  TSingleDownloader FDownloader{nullptr};
  std::vector<std::wstring> FEvents;
};

} // namespace

TEST(DownloadAddress, SplitsHostPortAndPath) {
  struct TCase {
    const wchar_t* URL;
    const wchar_t* Host;
    uint16_t Port;
    bool Secure;
    const wchar_t* Object;
  };
  const TCase cases[] = {
      {L"http://update.example/check?a=1&b=/2", L"update.example", 80, false, L"/check?a=1&b=/2"},
      {L"HTTP://Update.Example", L"Update.Example", 80, false, L"/"},
      {L"update.example/x", L"update.example", 80, false, L"/x"},
      {L"https://update.example/x", L"update.example", 443, true, L"/x"},
      {L"hTTps://update.example:8443", L"update.example", 8443, true, L"/"},
      {L"http://127.0.0.1:8080/a:b", L"127.0.0.1", 8080, false, L"/a:b"},
      {L"http://[::1]:8081/x", L"[::1]", 8081, false, L"/x"},
      {L"http://[::1]/x", L"[::1]", 80, false, L"/x"},
  };
  for (const TCase& c : cases) {
    TDownloadAddress address;
    ASSERT_TRUE(ParseDownloadURL(c.URL, address)) << c.URL;
    EXPECT_EQ(address.Host, c.Host) << c.URL;
    EXPECT_EQ(address.Port, c.Port) << c.URL;
    EXPECT_EQ(address.Secure, c.Secure) << c.URL;
    EXPECT_EQ(address.Object, c.Object) << c.URL;
  }
  for (const wchar_t* bad :
       {L"", L"http://", L"http:///x", L"http://:80/", L"http://h:/", L"http://h:0/",
        L"http://h:65536/", L"http://h:8o/", L"http://h:123456/", L"https://h:-1/"}) {
    TDownloadAddress address;
    EXPECT_FALSE(ParseDownloadURL(bad, address)) << bad;
  }
}

TEST_F(SingleDownloaderTest, TextTransferSendsTheRequestAndDecodesTheBody) {
  FScript->Length = 21;
  FScript->Pieces = {"magicword=K\r\n", "Result=1"};
  std::vector<std::wstring> log;
  std::mutex logLock;
  FDownloader.OnLog = [&](const std::wstring& aLine) {
    std::lock_guard lock(logLock);
    log.push_back(aLine);
  };
  FDownloader.Agent = L"Kestrova";
  FDownloader.Referer = L"http://ref.example/";
  FDownloader.GetString();
  EXPECT_TRUE(FDownloader.Busy());
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"string:magicword=K\r\nResult=1"});
  EXPECT_TRUE(FDownloader.Result());
  EXPECT_FALSE(FDownloader.Aborted());

  const TTransferRequest& request = FScript->Request;
  EXPECT_EQ(request.Verb, L"GET");
  EXPECT_EQ(request.Address.Host, L"update.example");
  EXPECT_EQ(request.Address.Port, 80);
  EXPECT_EQ(request.Address.Object, L"/check?x=1");
  EXPECT_EQ(request.Agent, L"Kestrova");
  EXPECT_EQ(request.Referer, L"http://ref.example/");
  EXPECT_EQ(request.AcceptTypes, L"*/*");
  EXPECT_TRUE(request.Reload);
  EXPECT_TRUE(request.Headers.empty());
  EXPECT_TRUE(request.Body.empty());
  EXPECT_EQ(log, (std::vector<std::wstring>{L"ParseURL: http://update.example/check?x=1",
                                            L"ParseURL: update.example", L"ParseURL: /check?x=1",
                                            L"HttpOpenRequest ok!"}));

  // With the cache allowed the request may be answered from it.
  FDownloader.UseCache = true;
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_FALSE(FScript->Request.Reload);
}

TEST_F(SingleDownloaderTest, TextIsDecodedByTheCharset) {
  // Text in the system's code page.
  FScope.Machine().SetAnsiCodePage(1251);
  const std::string ansi = "\xCF\xF0\xE8";
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                           "e";
  const std::string utf16{'O', 0, 'K', 0, static_cast<char>(0xAC), 0x20};
  struct TCase {
    THttpCharset Charset;
    std::string Body;
    std::wstring Text;
  };
  const TCase cases[] = {{THttpCharset::KAnsi, ansi, L"\u041F\u0440\u0438"},
                         {THttpCharset::KUTF8, utf8, L"Gr\u00FC\u00DFe"},
                         {THttpCharset::KUnicode, utf16, L"OK\u20AC"}};
  for (const TCase& c : cases) {
    FEvents.clear();
    FScript->Pieces = {c.Body};
    FDownloader.HttpCharset = c.Charset;
    FDownloader.GetString();
    ASSERT_TRUE(Finish());
    EXPECT_EQ(FEvents, std::vector<std::wstring>{L"string:" + c.Text});
  }
}

TEST_F(SingleDownloaderTest, TheLengthHeaderDecidesWhatIsWhole) {
  struct TCase {
    std::optional<uint64_t> Length;
    bool BinaryData;
    std::vector<std::string> Pieces;
    bool FailAtEnd;
    bool Succeeds;
  };
  const TCase cases[] = {
      // No header: a text body is taken as it came, unless the body must be binary.
      {std::nullopt, false, {"Result=0"}, false, true},
      {std::nullopt, true, {"Result=0"}, false, false},
      // A body cut short of its header, or longer than it, is no answer.
      {20, false, {"Result=0"}, false, false},
      {20, true, {"Result=0"}, true, false},
      {3, false, {"Result=0"}, false, false},
      {8, true, {"Result=0"}, false, true},
      // An empty body is no answer either.
      {std::nullopt, false, {}, false, false},
      {0, false, {}, false, false},
  };
  for (const TCase& c : cases) {
    FEvents.clear();
    FScript->Length = c.Length;
    FScript->Pieces = c.Pieces;
    FScript->FailAtEnd = c.FailAtEnd;
    FDownloader.BinaryData = c.BinaryData;
    FDownloader.GetString();
    ASSERT_TRUE(Finish());
    ASSERT_EQ(FEvents.size(), 1u);
    EXPECT_EQ(FEvents[0] != L"error", c.Succeeds)
        << (c.Length ? *c.Length : 999) << " binary " << c.BinaryData;
    EXPECT_EQ(FDownloader.Result(), c.Succeeds);
  }
}

TEST_F(SingleDownloaderTest, FileArrivesThroughATemporaryFileOnlyWhenWhole) {
  const std::wstring target = L"C:\\Data\\Banners\\page.html";
  Machine().AddFileContent(target, Bytes("old copy"));
  FDownloader.FileName = target;

  // Cut short: the old copy stays and nothing is left in the temporary folder.
  FScript->Length = 10;
  FScript->Pieces = {"<html>"};
  FDownloader.GetFile();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"error"});
  EXPECT_EQ(Machine().FileContent(target), Bytes("old copy"));
  EXPECT_TRUE(TempFiles().empty());
  ASSERT_EQ(FScript->TempFilesWhileReading.size(), 1u);
  const std::wstring& temp = FScript->TempFilesWhileReading[0];
  EXPECT_TRUE(temp.starts_with(L"sg") && temp.ends_with(L".tmp")) << temp;
  EXPECT_EQ(temp.find_first_not_of(L"0123456789ABCDEF", 2), temp.size() - 4) << temp;

  // Without a length header nothing tells that the file is whole, binary or not.
  for (const bool binary : {true, false}) {
    FEvents.clear();
    FScript->Length.reset();
    FScript->Pieces = {"<html></html>"};
    FDownloader.BinaryData = binary;
    FDownloader.GetFile();
    ASSERT_TRUE(Finish());
    EXPECT_EQ(FEvents, std::vector<std::wstring>{L"error"});
    EXPECT_EQ(Machine().FileContent(target), Bytes("old copy"));
  }

  // Whole: copied over the target, into a folder made for it.
  for (const std::wstring& file : {target, std::wstring(L"C:\\New\\Folder\\page.html")}) {
    FEvents.clear();
    FDownloader.FileName = file;
    FScript->Length = 13;
    FScript->Pieces = {"<html>", "</html>"};
    FDownloader.GetFile();
    ASSERT_TRUE(Finish());
    EXPECT_EQ(FEvents, std::vector<std::wstring>{L"file:" + file + L":13"});
    EXPECT_EQ(Machine().FileContent(file), Bytes("<html></html>"));
    EXPECT_TRUE(TempFiles().empty());
  }
}

TEST_F(SingleDownloaderTest, ProgressReachesTheMainThreadChunkByChunk) {
  const std::string body(40000, 'x');
  FScript->Length = body.size();
  FScript->Pieces = {body};
  std::vector<std::pair<int64_t, int64_t>> progress;
  bool onMainThread = true;
  const auto mainThread = std::this_thread::get_id();
  FDownloader.OnProgress = [&](TObject&, int64_t aTotal, int64_t aRead) {
    onMainThread = onMainThread && std::this_thread::get_id() == mainThread;
    progress.emplace_back(aTotal, aRead);
  };
  FDownloader.FileName = L"C:\\Data\\big.bin";
  FDownloader.GetFile();
  ASSERT_TRUE(Finish());
  EXPECT_TRUE(onMainThread);
  EXPECT_EQ(progress, (std::vector<std::pair<int64_t, int64_t>>{
                          {40000, 16384}, {40000, 32768}, {40000, 40000}}));
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"file:C:\\Data\\big.bin:40000"});
}

TEST_F(SingleDownloaderTest, FailuresOnTheWayAreReportedOnce) {
  std::vector<std::wstring> log;
  std::mutex logLock;
  FDownloader.OnLog = [&](const std::wstring& aLine) {
    std::lock_guard lock(logLock);
    log.push_back(aLine);
  };
  FScript->OpenOk = false;
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(log.back(), L"HttpOpenRequest failed!");

  FScript->OpenOk = true;
  FScript->SendOk = false;
  FDownloader.GetString();
  ASSERT_TRUE(Finish());

  // An address without a host never reaches the network.
  FScript->SendOk = true;
  const int opened = FScript->Opened;
  FDownloader.URL = L"http:///nothing";
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FScript->Opened, opened);

  // Without a network at all.
  TSingleDownloader::SetTransferFactory(nullptr);
  FDownloader.URL = L"http://update.example/";
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>(4, L"error"));
}

TEST_F(SingleDownloaderTest, AbortDetachesTheEventsAndFreesTheComponentAtOnce) {
  FScript->BlockInRead = true;
  FScript->Length = 100;
  int progress = 0;
  FDownloader.OnProgress = [&](TObject&, int64_t, int64_t) { ++progress; };
  FDownloader.FileName = L"C:\\Data\\file.bin";
  FDownloader.GetFile();
  {
    std::unique_lock lock(FScript->Lock);
    ASSERT_TRUE(FScript->Changed.wait_for(lock, std::chrono::seconds(20),
                                          [this] { return FScript->InRead; }));
  }
  // Asked while busy: nothing new starts.
  FDownloader.GetString();
  EXPECT_EQ(FScript->Opened, 1);

  FDownloader.Abort();
  EXPECT_FALSE(FDownloader.Busy());
  EXPECT_TRUE(FDownloader.Aborted());
  EXPECT_FALSE(FDownloader.Result());
  EXPECT_TRUE(FScript->Cancelled);
  ASSERT_TRUE(TSingleDownloader::WaitForAbandoned(20000));
  FMain.ProcessMessages();
  EXPECT_TRUE(FEvents.empty());
  EXPECT_EQ(progress, 0);
  EXPECT_FALSE(Machine().HasFile(L"C:\\Data\\file.bin"));
  EXPECT_TRUE(TempFiles().empty());

  // A new transfer starts at once and reports as usual.
  FScript->BlockInRead = false;
  FScript->Length = 2;
  FScript->Pieces = {"ok"};
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FEvents, std::vector<std::wstring>{L"string:ok"});

  // A component freed while its transfer waits in the network, and one freed by its own event.
  FScript->BlockInRead = true;
  FScript->InRead = false;
  auto gone = std::make_unique<TSingleDownloader>(nullptr);
  gone->URL = L"http://update.example/";
  gone->OnError = [&](TObject&) { FEvents.push_back(L"late"); };
  gone->GetString();
  {
    std::unique_lock lock(FScript->Lock);
    ASSERT_TRUE(FScript->Changed.wait_for(lock, std::chrono::seconds(20),
                                          [this] { return FScript->InRead; }));
  }
  gone.reset();
  ASSERT_TRUE(TSingleDownloader::WaitForAbandoned(20000));
  FMain.ProcessMessages();
  EXPECT_EQ(FEvents.size(), 1u);

  FScript->BlockInRead = false;
  auto* self = new TSingleDownloader(nullptr);
  self->URL = L"http://update.example/";
  bool freed = false;
  // Freeing the downloader frees this handler too: nothing of it may be touched afterwards.
  self->OnDoneString = [&freed](TObject& aSender, const std::wstring&) {
    freed = true;
    delete &aSender;
  };
  self->GetString();
  ASSERT_TRUE(FMain.RunUntil([&] { return freed; }, 20000));
}

TEST_F(SingleDownloaderTest, PostSendsTheBodyWithItsContentType) {
  FScript->Pieces = {"ok"};
  FDownloader.PostQuery = "a=1&b=2";
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  EXPECT_EQ(FScript->Request.Verb, L"POST");
  EXPECT_EQ(FScript->Request.Headers, L"Content-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(FScript->Request.Body, "a=1&b=2");

  Machine().AddFileContent(L"C:\\Data\\report.txt", Bytes("line\r\n"));
  TStringList values;
  values.Add(L"user=J\u00FCrgen");
  values.Add(L"na\"me=x");
  TStringList files;
  files.Add(L"log=C:\\Data\\report.txt");
  files.Add(L"missing=C:\\Data\\none.txt");
  FDownloader.SetUploadFiles(values, files);
  FDownloader.GetString();
  ASSERT_TRUE(Finish());
  const std::string boundary = "---------------------------989989989";
  EXPECT_EQ(FScript->Request.Headers,
            kplat::FromUtf8("Content-Type: multipart/form-data; boundary=" + boundary));
  EXPECT_EQ(FScript->Request.Body,
            "--" + boundary +
                "\r\nContent-Disposition: form-data; name=\"user\"\r\n\r\nJ\xC3\xBCrgen\r\n"
                "--" +
                boundary + "\r\nContent-Disposition: form-data; name=\"na_me\"\r\n\r\nx\r\n--" +
                boundary +
                "\r\nContent-Disposition: form-data; name=\"log\"; filename=\"report.txt\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\nline\r\n\r\n--" +
                boundary +
                "\r\nContent-Disposition: form-data; name=\"missing\"; filename=\"none.txt\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n\r\n--" +
                boundary + "--\r\n");
}

TEST(SingleDownloaderAtExit, ATransferThatOutlivesTheDispatcherReportsNothing) {
  kplat::fake::TFakeMachineScope machine;
  machine.Machine().SetTempFolder(kTemp);
  auto script = std::make_shared<TScript>();
  script->Machine = &machine.Machine();
  script->BlockInRead = true;
  script->HangInRead = true;
  const TTransferFactory previous = TSingleDownloader::SetTransferFactory(
      [script] { return std::make_unique<TScriptedTransfer>(script); });
  {
    TCLMainThreadQueue mainThread{TCLIdleWait::WaitForCall};
    const TCLScopedMainThread scope(mainThread);
    TSingleDownloader downloader(nullptr);
    downloader.URL = L"http://update.example/check";
    downloader.OnProgress = [](TObject&, int64_t, int64_t) {};
    downloader.GetString();
    {
      std::unique_lock lock(script->Lock);
      ASSERT_TRUE(script->Changed.wait_for(lock, std::chrono::seconds(20),
                                           [&script] { return script->InRead; }));
    }
    // The window closes; the transfer ignores its cancellation past the program's wait.
    downloader.Abort();
    EXPECT_FALSE(TSingleDownloader::WaitForAbandoned(0));
  }
  {
    std::lock_guard lock(script->Lock);
    script->Pieces = {"late"};
    script->Released = true;
  }
  script->Changed.notify_all();
  EXPECT_TRUE(TSingleDownloader::WaitForAbandoned(20000));
  TSingleDownloader::SetTransferFactory(previous);
}
