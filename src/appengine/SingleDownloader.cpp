#include "appengine/SingleDownloader.h"

#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>

// One transfer: the settings copied at its start, its thread and its outcome. The component
// that started it is reached through Owner, on the main thread only; Abort clears it.
struct TSingleDownloaderJob {
  TTransferRequest Request;
  std::wstring URL;
  std::wstring FileName;
  bool ToFile = false;
  bool BinaryData = false;
  bool Progress = false;
  THttpCharset Charset = THttpCharset::KAnsi;
  std::function<void(const std::wstring&)> OnLog;

  TSingleDownloader* Owner = nullptr;
  std::stop_source Stop;
  std::thread Thread;
  std::atomic<bool> Finished{false};

  // The network object while the thread has one; Cancel is called under the lock.
  std::mutex TransferLock;
  ITransfer* Transfer = nullptr;
  bool Cancelled = false;

  // Written by the thread before it posts its completion.
  bool Result = false;
  std::wstring StringResult;
  int64_t FileSize = 0;

  // On the main thread: hands the outcome to the component unless it let go of the transfer.
  static void Deliver(const std::shared_ptr<TSingleDownloaderJob>& aJob) {
    if (aJob->Owner != nullptr)
      aJob->Owner->Completed(aJob);
  }

  ~TSingleDownloaderJob() {
    if (Thread.joinable()) {
      // The last owner may be the thread itself (its completion was refused at shutdown).
      if (Thread.get_id() == std::this_thread::get_id())
        Thread.detach();
      else
        Thread.join();
    }
  }
};

namespace {

TTransferFactory& Factory() {
  static TTransferFactory factory;
  return factory;
}

// Aborted transfers whose threads have not been joined yet (main thread only), and the signal
// their threads give when they end.
std::vector<std::shared_ptr<TSingleDownloaderJob>>& Abandoned() {
  static std::vector<std::shared_ptr<TSingleDownloaderJob>> jobs;
  return jobs;
}
std::mutex gFinishedLock;
std::condition_variable gFinished;

void ReapAbandoned() {
  auto& jobs = Abandoned();
  std::erase_if(jobs, [](const auto& aJob) { return aJob->Finished.load(); });
}

std::wstring DecodeBody(const std::string& aBody, THttpCharset aCharset) {
  switch (aCharset) {
  case THttpCharset::KUnicode:
    return kplat::DecodeUtf16Le(reinterpret_cast<const uint8_t*>(aBody.data()), aBody.size());
  case THttpCharset::KUTF8:
    return kplat::FromUtf8(aBody);
  case THttpCharset::KAnsi:
    break;
  }
  return SystemAnsiToWide(aBody);
}

class TTransferRun {
public:
  explicit TTransferRun(TSingleDownloaderJob& aJob) : FJob(aJob) {}
  ~TTransferRun() {
    {
      std::lock_guard lock(FJob.TransferLock);
      FJob.Transfer = nullptr;
    }
    FTransfer.reset();
    if (!FTempFile.empty())
      kplat::Platform().Files().DeleteFile(FTempFile);
  }
  TTransferRun(const TTransferRun&) = delete;
  TTransferRun& operator=(const TTransferRun&) = delete;

  bool Run();

private:
  void Log(const std::wstring& aText) {
    if (FJob.OnLog)
      FJob.OnLog(aText);
  }
  bool Stopped() const { return FJob.Stop.stop_requested(); }
  bool Connect();
  bool ReadBody(bool aHasLength, uint64_t aLength);
  bool Finish(bool aHasLength, uint64_t aLength);

  TSingleDownloaderJob& FJob;
  std::unique_ptr<ITransfer> FTransfer;
  std::wstring FTempFile;
  std::string FBody;
  uint64_t FBytesRead = 0;
};

bool TTransferRun::Connect() {
  const TTransferRequest& request = FJob.Request;
  Log(L"ParseURL: " + FJob.URL);
  Log(L"ParseURL: " + request.Address.Host);
  Log(L"ParseURL: " + request.Address.Object);
  if (request.Address.Host.empty() || !Factory())
    return false;
  FTransfer = Factory()();
  if (!FTransfer)
    return false;
  {
    std::lock_guard lock(FJob.TransferLock);
    if (FJob.Cancelled)
      return false;
    FJob.Transfer = FTransfer.get();
  }
  if (!FTransfer->Open(request)) {
    Log(L"HttpOpenRequest failed!");
    return false;
  }
  Log(L"HttpOpenRequest ok!");
  return !Stopped() && FTransfer->Send() && !Stopped();
}

bool TTransferRun::ReadBody(bool aHasLength, uint64_t aLength) {
  if (FJob.ToFile) {
    FTempFile = MakeUniqueTempName(GetTempDir(), L"sg", L"tmp");
    if (FTempFile.empty() || kplat::Platform().Files().WriteFile(FTempFile, {}) != 0) {
      FTempFile.clear();
      return false;
    }
  }
  std::vector<uint8_t> chunk(TSingleDownloader::kChunkSize);
  for (;;) {
    if (Stopped())
      return false;
    size_t read = 0;
    if (!FTransfer->Read(chunk.data(), chunk.size(), read) || read == 0)
      break;
    read = std::min(read, chunk.size());
    if (FJob.ToFile) {
      const std::vector<uint8_t> piece(chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(read));
      if (kplat::Platform().Files().AppendFile(FTempFile, piece) != 0)
        return false;
    } else {
      if (FBody.size() + read > TSingleDownloader::kMaxTextBytes)
        return false;
      FBody.append(reinterpret_cast<const char*>(chunk.data()), read);
    }
    FBytesRead += read;
    if (FJob.Progress) {
      const auto total = static_cast<int64_t>(aHasLength ? aLength : 0);
      const auto done = static_cast<int64_t>(FBytesRead);
      TSingleDownloaderJob* job = &FJob;
      SynchronizeWithCLMainThread(
          [job, total, done] {
            TSingleDownloader* owner = job->Owner;
            if (owner != nullptr && owner->OnProgress)
              owner->OnProgress(*owner, total, done);
          },
          FJob.Stop.get_token());
    }
  }
  return !Stopped();
}

bool TTransferRun::Finish(bool aHasLength, uint64_t aLength) {
  if (!FJob.ToFile) {
    // A body shorter (or longer) than its length header was cut off: no answer at all.
    if (FBody.empty() || (aHasLength && FBytesRead != aLength))
      return false;
    FJob.StringResult = DecodeBody(FBody, FJob.Charset);
    return true;
  }
  // Without a length header nothing tells that the file is whole; an empty answer must not
  // replace a good copy either.
  if (!aHasLength || FBytesRead != aLength || Stopped())
    return false;
  std::vector<uint8_t> data;
  auto& files = kplat::Platform().Files();
  if (files.ReadFile(FTempFile, data, aLength) != 0 || data.size() != aLength)
    return false;
  const std::wstring folder = ExtractFileDir(FJob.FileName);
  if (!folder.empty() && kplat::ForceFolders(folder) != 0)
    return false;
  return kplat::WriteFileAtomic(FJob.FileName, data) == 0;
}

bool TTransferRun::Run() {
  if (!Connect())
    return false;
  uint64_t length = 0;
  const bool hasLength = FTransfer->QueryContentLength(length);
  if (!hasLength && FJob.BinaryData)
    return false;
  FJob.FileSize = hasLength ? static_cast<int64_t>(length) : 0;
  return ReadBody(hasLength, length) && Finish(hasLength, length);
}

void RunJob(const std::shared_ptr<TSingleDownloaderJob>& aJob) {
  bool ok = false;
  try {
    TTransferRun run(*aJob);
    ok = run.Run();
  } catch (...) {
    ok = false;
  }
  aJob->Result = ok && !aJob->Stop.stop_requested();
  // A transfer that outlived the program's dispatcher (it hung past the wait at exit) has no one
  // to report to.
  PostToCLMainThread([aJob] { TSingleDownloaderJob::Deliver(aJob); });
  {
    std::lock_guard lock(gFinishedLock);
    aJob->Finished = true;
  }
  gFinished.notify_all();
}

} // namespace

bool ParseDownloadURL(const std::wstring& aURL, TDownloadAddress& aAddress) {
  aAddress = {};
  std::wstring rest = aURL;
  if (StartsText(rest, L"http://")) {
    rest.erase(0, 7);
  } else if (StartsText(rest, L"https://")) {
    rest.erase(0, 8);
    aAddress.Secure = true;
    aAddress.Port = 443;
  }
  const size_t slash = rest.find(L'/');
  std::wstring host = rest.substr(0, slash);
  aAddress.Object = slash == std::wstring::npos ? L"/" : rest.substr(slash);
  const size_t colon = host.rfind(L':');
  // "[::1]:8080" keeps its brackets as the host; a colon inside them is no port.
  if (colon != std::wstring::npos && host.find(L']', colon) == std::wstring::npos) {
    const std::wstring port = host.substr(colon + 1);
    host.erase(colon);
    if (port.empty() || port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
      return false;
    const unsigned long value = std::stoul(port);
    if (value == 0 || value > 65535)
      return false;
    aAddress.Port = static_cast<uint16_t>(value);
  }
  aAddress.Host = host;
  return !host.empty();
}

// --- TFilePostGen -------------------------------------------------------------------------------

namespace {
std::string HeaderWord(const std::wstring& aText) {
  std::string word = kplat::ToUtf8(aText);
  std::replace_if(
      word.begin(), word.end(), [](char c) { return c == '"' || c == '\r' || c == '\n'; }, '_');
  return word;
}
} // namespace

void TFilePostGen::AddValue(const std::wstring& aName, const std::wstring& aValue) {
  FBody += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" +
           HeaderWord(aName) + "\"\r\n\r\n" + kplat::ToUtf8(aValue) + "\r\n";
}

void TFilePostGen::AddFile(const std::wstring& aName, const std::wstring& aFileName) {
  std::vector<uint8_t> data;
  if (kplat::Platform().Files().ReadFile(aFileName, data, TSingleDownloader::kMaxTextBytes) != 0)
    data.clear();
  FBody += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" +
           HeaderWord(aName) + "\"; filename=\"" + HeaderWord(ExtractFileName(aFileName)) +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
  FBody.append(data.begin(), data.end());
  FBody += "\r\n";
}

std::wstring TFilePostGen::ContentTypeHeader() const {
  std::wstring header = L"Content-Type: multipart/form-data; boundary=";
  header += kplat::FromUtf8(kBoundary);
  return header;
}

std::string TFilePostGen::Body() const {
  return FBody + "--" + kBoundary + "--\r\n";
}

// --- TSingleDownloader --------------------------------------------------------------------------

TSingleDownloader::TSingleDownloader(TComponent* aOwner) : TComponent(aOwner) {}

TSingleDownloader::~TSingleDownloader() {
  Abort();
}

TTransferFactory TSingleDownloader::SetTransferFactory(TTransferFactory aFactory) {
  return std::exchange(Factory(), std::move(aFactory));
}

bool TSingleDownloader::WaitForAbandoned(uint32_t aLimitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(aLimitMs);
  auto& jobs = Abandoned();
  for (;;) {
    ReapAbandoned();
    if (jobs.empty())
      return true;
    std::unique_lock lock(gFinishedLock);
    const bool anyEnded = gFinished.wait_until(lock, deadline, [&jobs] {
      return std::any_of(jobs.begin(), jobs.end(),
                         [](const auto& aJob) { return aJob->Finished.load(); });
    });
    if (!anyEnded)
      return false;
  }
}

void TSingleDownloader::GetString() {
  Start(false);
  if (WaitThread)
    GetCLMainThread().ProcessMessages();
}

void TSingleDownloader::GetFile() {
  Start(true);
  if (WaitThread && FThread) {
    const auto job = FThread;
    // A day is no limit anyone waits for; the loop also ends when the program is quitting.
    GetCLMainThread().RunUntil([this, job] { return FThread != job; }, 24u * 3600u * 1000u);
  }
}

void TSingleDownloader::Start(bool aToFile) {
  if (FThread)
    return;
  ReapAbandoned();
  auto job = std::make_shared<TSingleDownloaderJob>();
  TTransferRequest& request = job->Request;
  ParseDownloadURL(URL, request.Address);
  request.Agent = Agent;
  request.UserName = UserName;
  request.Password = Password;
  request.Referer = Referer;
  request.AcceptTypes = AcceptTypes;
  request.Reload = !UseCache;
  if (PostQuery.empty()) {
    request.Verb = L"GET";
  } else {
    request.Verb = L"POST";
    request.Headers =
        ContentType.empty() ? L"Content-Type: application/x-www-form-urlencoded" : ContentType;
    request.Body = PostQuery;
  }
  job->URL = URL;
  job->FileName = FileName;
  job->ToFile = aToFile;
  job->BinaryData = BinaryData;
  job->Progress = static_cast<bool>(OnProgress);
  job->Charset = HttpCharset;
  job->OnLog = OnLog;
  job->Owner = this;
  FAbort = false;
  FResult = false;
  FThread = job;
  job->Thread = std::thread([job] { RunJob(job); });
}

void TSingleDownloader::Abort() {
  if (!FThread)
    return;
  const auto job = std::move(FThread);
  FThread = nullptr;
  job->Owner = nullptr;
  job->Stop.request_stop();
  {
    std::lock_guard lock(job->TransferLock);
    job->Cancelled = true;
    if (job->Transfer != nullptr)
      job->Transfer->Cancel();
  }
  Abandoned().push_back(job);
  FResult = false;
  FAbort = true;
}

void TSingleDownloader::Completed(const std::shared_ptr<TSingleDownloaderJob>& aJob) {
  if (FThread != aJob)
    return;
  FThread = nullptr;
  aJob->Owner = nullptr;
  // The thread has posted this as its last call into the program; it ends at once.
  if (aJob->Thread.joinable())
    aJob->Thread.join();
  FResult = aJob->Result;
  // The handlers may free this component: nothing touches it after them.
  if (!FResult) {
    if (OnError)
      OnError(*this);
  } else if (aJob->ToFile) {
    if (OnDoneFile)
      OnDoneFile(*this, aJob->FileName, aJob->FileSize);
  } else if (OnDoneString) {
    OnDoneString(*this, aJob->StringResult);
  }
}

void TSingleDownloader::SetUploadFiles(const TStringList& slValues, const TStringList& slFiles) {
  TFilePostGen gen;
  for (int i = 0; i < slValues.Count(); ++i)
    gen.AddValue(slValues.Names(i), slValues.ValueFromIndex(i));
  for (int i = 0; i < slFiles.Count(); ++i)
    gen.AddFile(slFiles.Names(i), slFiles.ValueFromIndex(i));
  ContentType = gen.ContentTypeHeader();
  PostQuery = gen.Body();
}
