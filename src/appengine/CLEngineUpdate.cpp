// The engine's download cache.

#include "appengine/CLEngine.h"
#include "appengine/SingleDownloader.h"
#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <cmath>
#include <utility>

void TCLEngine::DownloadtoCache(const std::wstring& strURL, const std::wstring& strCacheFile,
                                TDownloadDoneEvent onDone) {
  for (const std::wstring& requested : FDownloadCacheList) {
    if (kplat::SameText(requested, strURL)) {
      return;
    }
  }
  auto* downloader = NewComponent<TSingleDownloader>(this, L"");
  FDownloaderList.push_back(downloader);
  FDownloadCacheList.push_back(strURL);
  const std::wstring folder = ExtractFileDir(strCacheFile);
  if (!folder.empty()) {
    kplat::ForceFolders(folder);
  }
  downloader->URL = strURL;
  downloader->FileName = strCacheFile;
  downloader->OnDoneFile = std::move(onDone);
  downloader->GetFile();
}

void TCLEngine::DownloadtoCacheCancel(const std::wstring& strURL) {
  for (TSingleDownloader* downloader : FDownloaderList) {
    if (kplat::SameText(downloader->URL, strURL)) {
      downloader->OnDoneFile = nullptr;
    }
  }
}
