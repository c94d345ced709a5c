#include "appengine/win32/CLWinInet.h"

#include <windows.h>
#include <wininet.h>

#include <mutex>

namespace {

// The three handles of one request. Cancel closes the request handle from another thread, which
// makes WinInet fail a send or read blocking on it; later calls find no handle and fail at once.
class TWinInetTransfer : public ITransfer {
public:
  ~TWinInetTransfer() override { Close(); }

  bool Open(const TTransferRequest& aRequest) override {
    std::lock_guard lock(FLock);
    if (FCancelled)
      return false;
    FBody = aRequest.Body;
    FHeaders = aRequest.Headers;
    FSession = InternetOpenW(aRequest.Agent.empty() ? nullptr : aRequest.Agent.c_str(),
                             INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (FSession == nullptr)
      return false;
    FConnection = InternetConnectW(FSession, aRequest.Address.Host.c_str(), aRequest.Address.Port,
                                   aRequest.UserName.empty() ? nullptr : aRequest.UserName.c_str(),
                                   aRequest.Password.empty() ? nullptr : aRequest.Password.c_str(),
                                   INTERNET_SERVICE_HTTP, 0, 0);
    if (FConnection == nullptr)
      return false;
    DWORD flags = INTERNET_FLAG_NO_UI | INTERNET_FLAG_KEEP_CONNECTION;
    if (aRequest.Reload)
      flags |= INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
    if (aRequest.Address.Secure)
      flags |= INTERNET_FLAG_SECURE;
    const wchar_t* accept[] = {aRequest.AcceptTypes.c_str(), nullptr};
    FRequest =
        HttpOpenRequestW(FConnection, aRequest.Verb.c_str(), aRequest.Address.Object.c_str(),
                         L"HTTP/1.0", aRequest.Referer.empty() ? nullptr : aRequest.Referer.c_str(),
                         aRequest.AcceptTypes.empty() ? nullptr : accept, flags, 0);
    return FRequest != nullptr;
  }

  bool Send() override {
    HINTERNET request = Request();
    if (request == nullptr)
      return false;
    if (!HttpSendRequestW(request, FHeaders.empty() ? nullptr : FHeaders.c_str(),
                          FHeaders.empty() ? 0 : static_cast<DWORD>(-1L),
                          FBody.empty() ? nullptr : FBody.data(), static_cast<DWORD>(FBody.size())))
      return false;
    // An error page ("404 Not Found", "500 ...") is no answer and must never become a file.
    DWORD status = 0;
    DWORD size = sizeof(status);
    return HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                          nullptr) &&
           status >= 200 && status < 300;
  }

  bool QueryContentLength(uint64_t& aLength) override {
    HINTERNET request = Request();
    if (request == nullptr)
      return false;
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
      return false;
    uint64_t value = 0;
    bool digits = false;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
      if (*p < L'0' || *p > L'9' || value > (UINT64_MAX - 9) / 10)
        return false;
      value = value * 10 + static_cast<uint64_t>(*p - L'0');
      digits = true;
    }
    aLength = value;
    return digits;
  }

  bool Read(uint8_t* aBuffer, size_t aSize, size_t& aRead) override {
    aRead = 0;
    HINTERNET request = Request();
    if (request == nullptr)
      return false;
    DWORD read = 0;
    if (!InternetReadFile(request, aBuffer, static_cast<DWORD>(aSize), &read))
      return false;
    aRead = read;
    return true;
  }

  void Cancel() override {
    std::lock_guard lock(FLock);
    FCancelled = true;
    if (FRequest != nullptr) {
      InternetCloseHandle(FRequest);
      FRequest = nullptr;
    }
  }

private:
  HINTERNET Request() {
    std::lock_guard lock(FLock);
    return FCancelled ? nullptr : FRequest;
  }

  void Close() {
    std::lock_guard lock(FLock);
    for (HINTERNET* handle : {&FRequest, &FConnection, &FSession}) {
      if (*handle != nullptr)
        InternetCloseHandle(*handle);
      *handle = nullptr;
    }
  }

  std::mutex FLock;
  bool FCancelled = false;
  HINTERNET FSession = nullptr;
  HINTERNET FConnection = nullptr;
  HINTERNET FRequest = nullptr;
  std::string FBody;
  std::wstring FHeaders;
};

} // namespace

std::unique_ptr<ITransfer> CreateWinInetTransfer() {
  return std::make_unique<TWinInetTransfer>();
}

TTransferFactory InstallWinInetTransfer() {
  return TSingleDownloader::SetTransferFactory(CreateWinInetTransfer);
}
