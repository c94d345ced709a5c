#pragma once
// TSingleDownloader: one HTTP transfer at a time, each on a thread of its own, reporting back on
// the main thread. A text transfer (GetString) hands the decoded body to OnDoneString; a file
// transfer (GetFile) writes the body into a temporary "sg<hex>.tmp" file in the system's
// temporary folder and copies it over FileName only when it arrived whole.
//
// The bytes are moved by an ITransfer that the window system installs (WinInet on Windows,
// InstallWinInetTransfer); tests install their own. Without one every transfer fails.
//
// The rules a transfer is judged by:
// - When the length header cannot be read and BinaryData is set, the transfer fails.
// - A file transfer succeeds when the bytes read equal the length header; with no header
//   nothing is known to be whole, so it fails too.
// - A text transfer succeeds when the body is not empty and, with a length header, as long as
//   it says; a text body is held in memory up to kMaxTextBytes.
//
// Abort detaches the events: nothing fires for that transfer afterwards, and a new one can
// start at once. The thread of an aborted transfer is asked to stop, its blocked network call is
// cancelled, and it is joined later (WaitForAbandoned). Main thread only, except OnLog.

#include "base/CLStrings.h"
#include "components/CLComponents.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class THttpCharset { KAnsi, KUnicode, KUTF8 };

// An address split for the request: "http://" (port 80), "https://" (port 443, a secure
// request) or no scheme (http); an explicit ":port" after the host wins. Object is the path
// from the first "/" on ("/" when there is none).
struct TDownloadAddress {
  std::wstring Host;
  uint16_t Port = 80;
  bool Secure = false;
  std::wstring Object;
};
// False for an empty host or a port that is not a number from 1 to 65535.
bool ParseDownloadURL(const std::wstring& aURL, TDownloadAddress& aAddress);

// Everything one request needs, copied when the transfer starts.
struct TTransferRequest {
  TDownloadAddress Address;
  std::wstring Agent; // empty: the system's
  std::wstring UserName;
  std::wstring Password;
  std::wstring Verb; // "GET" or "POST"
  std::wstring Referer;
  std::wstring AcceptTypes;
  // Past every cache.
  bool Reload = true;
  // Extra header lines (the content type of a POST) and the body sent with the request.
  std::wstring Headers;
  std::string Body;
};

// The network side of one transfer, used by the transfer's own thread; only Cancel is called
// from another thread.
class ITransfer {
public:
  virtual ~ITransfer() = default;
  // Opens the session (with the system's proxy configuration), connects and opens the request.
  virtual bool Open(const TTransferRequest& aRequest) = 0;
  // Sends the request; false when it failed or the server answered with a status other than
  // 2xx (an error page is no body to take).
  virtual bool Send() = 0;
  // The length header; false when the answer has none.
  virtual bool QueryContentLength(uint64_t& aLength) = 0;
  // Reads up to aSize bytes; false when the read failed, aRead 0 at the end of the body.
  virtual bool Read(uint8_t* aBuffer, size_t aSize, size_t& aRead) = 0;
  // Makes a call that blocks in the network return (as failed) and every later call fail.
  virtual void Cancel() = 0;
};
using TTransferFactory = std::function<std::unique_ptr<ITransfer>()>;

// Builds a "multipart/form-data" body: one part per value ("name=value" lines) and one per file
// ("name=path" lines, the file's bytes; a file that cannot be read is sent empty).
class TFilePostGen {
public:
  static constexpr const char* kBoundary = "---------------------------989989989";
  void AddValue(const std::wstring& aName, const std::wstring& aValue);
  void AddFile(const std::wstring& aName, const std::wstring& aFileName);
  // "Content-Type: multipart/form-data; boundary=..."
  std::wstring ContentTypeHeader() const;
  // The parts, each opened by the boundary, and the closing boundary; names and file names in
  // UTF-8, quotes and line breaks in them replaced by "_".
  std::string Body() const;

private:
  std::string FBody;
};

struct TSingleDownloaderJob;

class TSingleDownloader : public TComponent {
public:
  static constexpr size_t kChunkSize = 16384;
  static constexpr size_t kMaxTextBytes = 16 * 1024 * 1024;

  explicit TSingleDownloader(TComponent* aOwner);
  // Aborts a running transfer.
  ~TSingleDownloader() override;
  std::wstring ClassName() const override { return L"TSingleDownloader"; }

  // Return the previous factory.
  static TTransferFactory SetTransferFactory(TTransferFactory aFactory);
  // Joins the threads of aborted transfers that have ended; waits up to aLimitMs for the rest.
  // True when none is left. Main thread only.
  static bool WaitForAbandoned(uint32_t aLimitMs);

  // Start a transfer; nothing happens while one is running.
  void GetString();
  void GetFile();
  void Abort();
  // Fills ContentType and PostQuery with a multipart body built by TFilePostGen.
  void SetUploadFiles(const TStringList& slValues, const TStringList& slFiles);
  bool Busy() const { return FThread != nullptr; }
  // The outcome of the last transfer, and whether it was aborted.
  bool Result() const { return FResult; }
  bool Aborted() const { return FAbort; }

  std::wstring AcceptTypes = L"*/*";
  std::wstring Agent;
  bool BinaryData = false;
  std::wstring URL;
  bool UseCache = false;
  std::wstring FileName;
  std::wstring UserName;
  std::wstring Password;
  // With PostQuery set the request is a POST carrying it; ContentType empty means
  // "Content-Type: application/x-www-form-urlencoded".
  std::wstring ContentType;
  std::string PostQuery;
  std::wstring Referer;
  bool WaitThread = false;
  THttpCharset HttpCharset = THttpCharset::KAnsi;

  std::function<void(TObject& Sender, int64_t aTotalSize, int64_t aBytesRead)> OnProgress;
  std::function<void(TObject& Sender, const std::wstring& aFileName, int64_t aSize)> OnDoneFile;
  std::function<void(TObject& Sender, const std::wstring& strResult)> OnDoneString;
  TNotifyEvent OnError;
  // Diagnostic lines; called on the transfer's thread.
  std::function<void(const std::wstring& aText)> OnLog;

private:
  friend struct TSingleDownloaderJob;
  void Start(bool aToFile);
  void Completed(const std::shared_ptr<TSingleDownloaderJob>& aJob);

  std::shared_ptr<TSingleDownloaderJob> FThread;
  bool FResult = false;
  bool FAbort = false;
};
