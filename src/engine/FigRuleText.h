#pragma once
// Text steps the rule processor's units share.

#include <string>

namespace figrule {

// Without the control characters and blanks at either end, as the rule texts are trimmed.
inline std::wstring TrimText(const std::wstring& aText) {
  size_t first = 0;
  size_t last = aText.size();
  while (first < last && aText[first] <= L' ') {
    ++first;
  }
  while (last > first && aText[last - 1] <= L' ') {
    --last;
  }
  return aText.substr(first, last - first);
}

// Case-sensitive, as every "contains" test of the rules is.
inline bool Contains(const std::wstring& aText, const std::wstring& aPart) {
  return aText.find(aPart) != std::wstring::npos;
}

} // namespace figrule
