// The news page's template filler over any template, with variables and block instances set
// from the input's first line: "+name" opens a block, "-" closes one, "name=value" sets a
// variable. The rest of the input is the template.
#include "platform/TextCodec.h"
#include "windows/YewTpl.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::wstring text =
      kplat::FromUtf8(std::string(reinterpret_cast<const char*>(aData), aSize));
  const size_t lineEnd = text.find(L'\n');
  const std::wstring script = text.substr(0, lineEnd);
  TYewTpl tpl;
  size_t start = 0;
  while (start <= script.size()) {
    size_t end = script.find(L' ', start);
    if (end == std::wstring::npos)
      end = script.size();
    const std::wstring word = script.substr(start, end - start);
    if (!word.empty() && word[0] == L'+')
      tpl.BeginBlock(word.substr(1));
    else if (word == L"-")
      tpl.EndBlock();
    else if (const size_t equals = word.find(L'='); equals != std::wstring::npos)
      tpl.SetVar(word.substr(0, equals), word.substr(equals + 1));
    start = end + 1;
  }
  tpl.SetTpl(lineEnd == std::wstring::npos ? std::wstring() : text.substr(lineEnd + 1));
  tpl.MakeHtml();
  return 0;
}
