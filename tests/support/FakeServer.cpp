#include "support/FakeServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

class TFakeTransfer : public ITransfer {
public:
  explicit TFakeTransfer(std::shared_ptr<TFakeServer> aServer) : FServer(std::move(aServer)) {}
  bool Open(const TTransferRequest& aRequest) override {
    std::unique_lock lock(FServer->Lock);
    FServer->Requested.push_back(aRequest.Address.Host + aRequest.Address.Object);
    FServer->Object = aRequest.Address.Object;
    if (FServer->Hold) {
      FServer->Holding = true;
      FServer->Changed.notify_all();
      FServer->Changed.wait_for(lock, std::chrono::seconds(20),
                                [this] { return FServer->Cancelled; });
      return false;
    }
    const auto page = FServer->Pages.find(FServer->Requested.back());
    if (page != FServer->Pages.end())
      FBody = page->second;
    else if (FServer->Answer)
      FBody = *FServer->Answer;
    else
      return false;
    return true;
  }
  bool Send() override { return true; }
  bool QueryContentLength(uint64_t& aLength) override {
    aLength = FBody.size();
    return true;
  }
  bool Read(uint8_t* aBuffer, size_t aSize, size_t& aRead) override {
    aRead = std::min(aSize, FBody.size() - FDone);
    std::copy_n(FBody.data() + FDone, aRead, aBuffer);
    FDone += aRead;
    return true;
  }
  void Cancel() override {
    std::lock_guard lock(FServer->Lock);
    FServer->Cancelled = true;
    FServer->Changed.notify_all();
  }

private:
  std::shared_ptr<TFakeServer> FServer;
  std::string FBody;
  size_t FDone = 0;
};

} // namespace

TScopedFakeServer::TScopedFakeServer()
    : FPrevious(TSingleDownloader::SetTransferFactory(
          [server = FServer] { return std::make_unique<TFakeTransfer>(server); })) {}

TScopedFakeServer::~TScopedFakeServer() {
  EXPECT_TRUE(TSingleDownloader::WaitForAbandoned(20000));
  TSingleDownloader::SetTransferFactory(FPrevious);
}

int TScopedFakeServer::Requests() const {
  std::lock_guard lock(FServer->Lock);
  return static_cast<int>(FServer->Requested.size());
}
