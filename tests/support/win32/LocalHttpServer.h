#pragma once
// A small HTTP/1.0 server for the Windows tests, listening on 127.0.0.1 only (a port the system
// chooses), so that the program's real network code is proved without leaving the machine.
// Each path has a scripted reply; an unknown path gets "404 Not Found". Every connection is
// served on a thread of its own and closed after its reply.

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ktest::win32 {

struct THttpReply {
  std::string Status = "200 OK";
  std::string Body = {};
  // Sends "Content-Length" with the body's full size.
  bool LengthHeader = true;
  // Sends only this many bytes of the body, then closes the connection.
  size_t SendOnly = std::string::npos;
  // Sends nothing and keeps the connection open until Release or the server's end.
  bool Hold = false;
};

class TLocalHttpServer {
public:
  // Listens at once; Port() is 0 when the socket could not be made.
  TLocalHttpServer();
  // Closes every connection and joins the threads.
  ~TLocalHttpServer();
  TLocalHttpServer(const TLocalHttpServer&) = delete;
  TLocalHttpServer& operator=(const TLocalHttpServer&) = delete;

  uint16_t Port() const { return FPort; }
  // "http://127.0.0.1:<port>" + aPath.
  std::wstring URL(const std::string& aPath) const;
  // The reply for aPath (the part of a request's target before "?").
  void SetReply(const std::string& aPath, THttpReply aReply);
  // The request lines received so far ("GET /path?query HTTP/1.0").
  std::vector<std::string> Requests() const;
  // Waits until aCount requests have arrived (false after aLimitMs).
  bool WaitForRequests(size_t aCount, uint32_t aLimitMs) const;
  // Lets held connections go: they are closed without a reply.
  void Release();

private:
  void Listen();
  void Serve(uintptr_t aSocket);

  uintptr_t FListener;
  uint16_t FPort = 0;
  bool FStarted = false;
  mutable std::mutex FLock;
  mutable std::condition_variable FChanged;
  bool FStopping = false;
  bool FReleased = false;
  std::map<std::string, THttpReply> FReplies;
  std::vector<std::string> FRequests;
  std::vector<std::thread> FThreads;
  std::thread FListenThread;
};

} // namespace ktest::win32
