// The HTTP form decoding, the URL parameter split and the embedded browser's "wcme:" rule over
// any text. The input's first byte chooses the reading of the rest.
#include "FuzzMachine.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "platform/TextCodec.h"

#include <cstdlib>

namespace {

void Decode(const std::string& aText) {
  try {
    const std::string decoded = HTTPDecode(aText);
    // Decoding never makes a text longer.
    if (decoded.size() > aText.size()) {
      std::abort();
    }
  } catch (const ECLError&) {
  }
  // What is encoded decodes back to itself.
  if (HTTPDecode(HTTPEncode(aText)) != aText) {
    std::abort();
  }
}

void Navigate(const std::wstring& aAddress) {
  std::vector<std::wstring> params;
  ParseURLParams(aAddress, params, false);
  params.clear();
  ParseURLParams(aAddress, params, true);

  fuzz::Machine();
  // The engine and the settings it reads do not depend on the input; the pages an address opens
  // are recorded launches, cleared below.
  static const TCLEngine engine(nullptr);
  bool cancel = false;
  engine.WebBeforeNavigate2(aAddress, cancel);
  engine.WebBeforeNavigate2(L"wcme:page?" + aAddress, cancel);
  engine.GetURLParam();
  fuzz::ClearRecords();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  if (aSize == 0) {
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(aData + 1), aSize - 1);
  switch (aData[0] % 3) {
  case 0:
    Decode(text);
    break;
  case 1:
    Navigate(kplat::FromUtf8(text));
    break;
  default:
    Navigate(AnsiToWide(text));
    break;
  }
  return 0;
}
