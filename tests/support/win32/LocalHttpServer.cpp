#include "support/win32/LocalHttpServer.h"

#include "platform/TextCodec.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

namespace ktest::win32 {

namespace {

constexpr size_t kMaxRequestBytes = 64 * 1024;
constexpr DWORD kReceiveTimeoutMs = 10000;

SOCKET AsSocket(uintptr_t aSocket) {
  return static_cast<SOCKET>(aSocket);
}

bool SendAll(SOCKET aSocket, const char* aData, size_t aSize) {
  while (aSize > 0) {
    const int sent = ::send(aSocket, aData, static_cast<int>(std::min<size_t>(aSize, 65536)), 0);
    if (sent <= 0)
      return false;
    aData += sent;
    aSize -= static_cast<size_t>(sent);
  }
  return true;
}

} // namespace

TLocalHttpServer::TLocalHttpServer() : FListener(static_cast<uintptr_t>(INVALID_SOCKET)) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
    return;
  FStarted = true;
  SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET)
    return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int size = sizeof(address);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener, SOMAXCONN) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::closesocket(listener);
    return;
  }
  FListener = static_cast<uintptr_t>(listener);
  FPort = ntohs(address.sin_port);
  FListenThread = std::thread([this] { Listen(); });
}

TLocalHttpServer::~TLocalHttpServer() {
  {
    std::lock_guard lock(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  if (FListenThread.joinable())
    FListenThread.join();
  if (AsSocket(FListener) != INVALID_SOCKET)
    ::closesocket(AsSocket(FListener));
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(FLock);
    threads.swap(FThreads);
  }
  for (std::thread& thread : threads)
    thread.join();
  if (FStarted)
    ::WSACleanup();
}

std::wstring TLocalHttpServer::URL(const std::string& aPath) const {
  return L"http://127.0.0.1:" + std::to_wstring(FPort) + kplat::FromUtf8(aPath);
}

void TLocalHttpServer::SetReply(const std::string& aPath, THttpReply aReply) {
  std::lock_guard lock(FLock);
  FReplies[aPath] = std::move(aReply);
}

std::vector<std::string> TLocalHttpServer::Requests() const {
  std::lock_guard lock(FLock);
  return FRequests;
}

bool TLocalHttpServer::WaitForRequests(size_t aCount, uint32_t aLimitMs) const {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, std::chrono::milliseconds(aLimitMs),
                           [this, aCount] { return FRequests.size() >= aCount; });
}

void TLocalHttpServer::Release() {
  {
    std::lock_guard lock(FLock);
    FReleased = true;
  }
  FChanged.notify_all();
}

void TLocalHttpServer::Listen() {
  const SOCKET listener = AsSocket(FListener);
  for (;;) {
    {
      std::lock_guard lock(FLock);
      if (FStopping)
        return;
    }
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait{0, 50 * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &wait);
    if (ready < 0)
      return;
    if (ready == 0)
      continue;
    const SOCKET client = ::accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET)
      continue;
    std::lock_guard lock(FLock);
    FThreads.emplace_back([this, client] { Serve(static_cast<uintptr_t>(client)); });
  }
}

void TLocalHttpServer::Serve(uintptr_t aSocket) {
  const SOCKET client = AsSocket(aSocket);
  ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&kReceiveTimeoutMs),
               sizeof(kReceiveTimeoutMs));
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
    const int got = ::recv(client, buffer, sizeof(buffer), 0);
    if (got <= 0)
      break;
    request.append(buffer, static_cast<size_t>(got));
  }
  const std::string line = request.substr(0, request.find("\r\n"));
  const size_t targetStart = line.find(' ');
  const size_t targetEnd = line.find(' ', targetStart + 1);
  std::string path;
  if (targetStart != std::string::npos) {
    path = line.substr(targetStart + 1, targetEnd - targetStart - 1);
    path = path.substr(0, path.find('?'));
  }

  THttpReply reply;
  reply.Status = "404 Not Found";
  {
    std::unique_lock lock(FLock);
    FRequests.push_back(line);
    const auto found = FReplies.find(path);
    if (found != FReplies.end())
      reply = found->second;
    FChanged.notify_all();
    if (reply.Hold) {
      FChanged.wait(lock, [this] { return FStopping || FReleased; });
      lock.unlock();
      ::closesocket(client);
      return;
    }
  }
  std::string head = "HTTP/1.0 " + reply.Status + "\r\nContent-Type: text/plain\r\n";
  if (reply.LengthHeader)
    head += "Content-Length: " + std::to_string(reply.Body.size()) + "\r\n";
  head += "Connection: close\r\n\r\n";
  if (SendAll(client, head.data(), head.size()))
    SendAll(client, reply.Body.data(), std::min(reply.SendOnly, reply.Body.size()));
  ::shutdown(client, SD_SEND);
  ::closesocket(client);
}

} // namespace ktest::win32
