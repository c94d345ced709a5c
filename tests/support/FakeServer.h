#pragma once
// A web server of the test's own behind the downloader: a page by address (host and object), or
// else one answer for every address, or else a failed connection. While Hold is set a request
// waits until its transfer is cancelled.

#include "appengine/SingleDownloader.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TFakeServer {
  std::map<std::wstring, std::string> Pages;
  std::optional<std::string> Answer;
  bool Hold = false;

  // What the transfers did, under Lock; Changed is told of every change.
  std::mutex Lock;
  std::condition_variable Changed;
  // Every address asked for, and the object of the last.
  std::vector<std::wstring> Requested;
  std::wstring Object;
  bool Holding = false;
  bool Cancelled = false;
};

// Puts a fake server behind every transfer while it lives; at its end waits until the transfers
// the downloaders gave up have ended.
class TScopedFakeServer {
public:
  TScopedFakeServer();
  ~TScopedFakeServer();
  TScopedFakeServer(const TScopedFakeServer&) = delete;
  TScopedFakeServer& operator=(const TScopedFakeServer&) = delete;

  TFakeServer* operator->() const { return FServer.get(); }
  int Requests() const;

private:
  std::shared_ptr<TFakeServer> FServer = std::make_shared<TFakeServer>();
  TTransferFactory FPrevious;
};
