#include "appengine/CLAppHost.h"

#include "platform/TextCodec.h"

#include <map>

namespace {

ICLAppHost* GHost = nullptr;

struct TLessText {
  bool operator()(const std::wstring& aLeft, const std::wstring& aRight) const {
    return kplat::CompareText(aLeft, aRight) < 0;
  }
};

// A process without a window system still needs one number per message name.
uint32_t LocalMessageNumber(const std::wstring& aName) {
  static std::map<std::wstring, uint32_t, TLessText> numbers;
  // The window system hands out registered messages from 0xC000 up, and ignores case.
  const auto found = numbers.try_emplace(aName, 0xC000 + static_cast<uint32_t>(numbers.size()));
  return found.first->second;
}

} // namespace

ICLAppHost* GetCLAppHost() {
  return GHost;
}

ICLAppHost* SetCLAppHost(ICLAppHost* aHost) {
  return std::exchange(GHost, aHost);
}

uint32_t RegisterCLMessage(const std::wstring& aName) {
  return GHost != nullptr ? GHost->RegisterMessage(aName) : LocalMessageNumber(aName);
}

std::vector<std::wstring> CLCommandArguments() {
  return GHost != nullptr ? GHost->Arguments() : std::vector<std::wstring>();
}

bool IsCmdLineSwitch(const std::wstring& aArgument) {
  return !aArgument.empty() && (aArgument[0] == L'-' || aArgument[0] == L'/');
}

bool FindCmdLineSwitch(const std::vector<std::wstring>& aArguments, const std::wstring& aSwitch) {
  for (const std::wstring& argument : aArguments) {
    if (IsCmdLineSwitch(argument) && kplat::SameText(argument.substr(1), aSwitch)) {
      return true;
    }
  }
  return false;
}

std::wstring QuoteCmdLineArgument(const std::wstring& aArgument) {
  if (!aArgument.empty() && aArgument.find_first_of(L" \t\"") == std::wstring::npos) {
    return aArgument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : aArgument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double only before a quote.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}
