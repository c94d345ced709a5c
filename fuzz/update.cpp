// The update server's answer over any text: read as UTF-8, nothing it holds may reach the
// program's settings outside the "Banner." names or open an address that is not a web page.
#include "base/CLUpdateAnswer.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::wstring text =
      kplat::FromUtf8(std::string(reinterpret_cast<const char*>(aData), aSize));
  const TUpdateAnswer answer = ParseUpdateAnswer(text, L"KSTV");
  if (!answer.Valid && (!answer.Banners.empty() || !answer.Page.empty()))
    std::abort();
  if (!answer.Page.empty() && !IsWebAddress(answer.Page))
    std::abort();
  if (answer.Result < -1 || answer.Result > 1)
    std::abort();
  for (const auto& [name, value] : answer.Banners) {
    if (!IsBannerSettingName(name) || value.size() > TUpdateAnswer::kMaxBannerValueChars)
      std::abort();
  }
  return 0;
}
