#pragma once
// The update server's answer: name=value lines, names compared without regard to case. It comes
// from the network, so it is read defensively: an answer over kMaxAnswerChars, or holding control
// characters other than tabs and line breaks (a binary body), counts as no answer; an address to
// open must be http:// or https://; only "Banner." settings with plain names and addresses as
// values are taken.

#include <string>
#include <utility>
#include <vector>

struct TUpdateAnswer {
  static constexpr size_t kMaxAnswerChars = 64 * 1024;
  static constexpr size_t kMaxBannerNameChars = 80;
  static constexpr size_t kMaxBannerValueChars = 2048;

  // False when the text is no answer or its "magicword" differs (a network error).
  bool Valid = false;
  // "Result": 0 up to date, 1 a newer version; -1 for anything else.
  int Result = -1;
  std::wstring Info;
  // Empty unless "page" is an http:// or https:// address.
  std::wstring Page;
  // The "Banner." lines to store, name and value, in the answer's order.
  std::vector<std::pair<std::wstring, std::wstring>> Banners;
};

// aMagicWord is setting "App.MagicWord": when it is empty, an answer without "magicword"
// matches.
TUpdateAnswer ParseUpdateAnswer(const std::wstring& aText, const std::wstring& aMagicWord);

// A "Banner." setting name the answer may write: "Banner." followed by letters, digits, "_", "-"
// and single dots, not ending in a dot.
bool IsBannerSettingName(const std::wstring& aName);
// An http:// or https:// address with a host and without blanks or control characters.
bool IsWebAddress(const std::wstring& aText);
