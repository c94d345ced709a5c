#include "components/CLHtmlText.h"

#include "base/CLHelpers.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace {

bool IsSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\f';
}

wchar_t Lower(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsLetter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsNameChar(wchar_t c) {
  return IsLetter(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L':' || c == L'_';
}

void AppendCodePoint(std::wstring& aOut, uint32_t aCode) {
  if (aCode == 0 || aCode > 0x10FFFF || (aCode >= 0xD800 && aCode <= 0xDFFF))
    aCode = 0xFFFD;
  if constexpr (sizeof(wchar_t) >= 4) {
    aOut += static_cast<wchar_t>(aCode);
  } else if (aCode >= 0x10000) {
    aCode -= 0x10000;
    aOut += static_cast<wchar_t>(0xD800 + (aCode >> 10));
    aOut += static_cast<wchar_t>(0xDC00 + (aCode & 0x3FF));
  } else {
    aOut += static_cast<wchar_t>(aCode);
  }
}

// The character of a numeric entity's digits ("#65", "#x41"), or none when they are not digits.
std::optional<uint32_t> NumericEntity(std::wstring_view aName) {
  const bool hex = aName.size() > 1 && Lower(aName[1]) == L'x';
  const size_t first = hex ? 2 : 1;
  if (aName.size() <= first)
    return std::nullopt;
  uint32_t value = 0;
  for (size_t i = first; i < aName.size(); ++i) {
    const int digit = HexDigitValue(aName[i]);
    if (digit < 0 || digit >= (hex ? 16 : 10))
      return std::nullopt;
    // Anything past the last code point stays past it without overflowing.
    value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
  }
  return value;
}

std::optional<wchar_t> NamedEntity(std::wstring_view aName) {
  static const struct {
    std::wstring_view Name;
    wchar_t Char;
  } kEntities[] = {{L"amp", L'&'},  {L"lt", L'<'},    {L"gt", L'>'},
                   {L"quot", L'"'}, {L"apos", L'\''}, {L"nbsp", L'\u00A0'}};
  for (const auto& entity : kEntities) {
    if (entity.Name == aName)
      return entity.Char;
  }
  return std::nullopt;
}

// aText with its character references decoded; an unknown or unfinished one stays as it is.
std::wstring DecodeEntities(std::wstring_view aText) {
  constexpr size_t kLongestEntity = 10;
  std::wstring out;
  out.reserve(aText.size());
  for (size_t i = 0; i < aText.size();) {
    if (aText[i] != L'&') {
      out += aText[i++];
      continue;
    }
    const size_t end = aText.substr(i + 1, kLongestEntity).find(L';');
    if (end != std::wstring_view::npos && end > 0) {
      const std::wstring_view name = aText.substr(i + 1, end);
      if (name[0] == L'#') {
        if (const auto code = NumericEntity(name)) {
          AppendCodePoint(out, *code);
          i += end + 2;
          continue;
        }
      } else if (const auto c = NamedEntity(name)) {
        out += *c;
        i += end + 2;
        continue;
      }
    }
    out += aText[i++];
  }
  return out;
}

bool OneOf(std::wstring_view aName, std::initializer_list<std::wstring_view> aNames) {
  for (const std::wstring_view name : aNames) {
    if (name == aName)
      return true;
  }
  return false;
}

// Elements that stand apart from the text around them by an empty line, or by a line break.
bool IsParagraph(std::wstring_view aName) {
  return OneOf(aName, {L"p", L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"blockquote", L"pre",
                       L"table", L"ul", L"ol", L"dl", L"hr"});
}

bool IsBlock(std::wstring_view aName) {
  return OneOf(aName, {L"address", L"article", L"aside", L"dd", L"div", L"dt", L"fieldset",
                       L"figure", L"footer", L"form", L"header", L"li", L"main", L"nav", L"section",
                       L"tr", L"caption"});
}

bool IsLeftOutLink(std::wstring_view aURL) {
  return aURL.empty() || aURL[0] == L'#' || StartsText(aURL, L"javascript:");
}

// The page's white space and the no-break space.
bool IsBlankAtEdge(wchar_t c) {
  return IsSpace(c) || c == L'\u00A0';
}

// One pass over the page, writing its text and collecting its links; every step moves forward,
// so the work is linear in the size of the page whatever the markup.
class THtmlReader {
public:
  explicit THtmlReader(std::wstring_view aHtml) : FHtml(aHtml) {}

  void Read() {
    size_t pos = 0;
    while (pos < FHtml.size()) {
      const size_t open = FHtml.find(L'<', pos);
      const size_t textEnd = open == std::wstring_view::npos ? FHtml.size() : open;
      size_t next = textEnd;
      // A "<" that starts no markup is text.
      while (next < FHtml.size() && !StartsMarkup(next)) {
        next = FHtml.find(L'<', next + 1);
        if (next == std::wstring_view::npos)
          next = FHtml.size();
      }
      AddText(DecodeEntities(FHtml.substr(pos, next - pos)));
      if (next >= FHtml.size())
        break;
      pos = Markup(next);
    }
    CloseLink();
  }

  std::wstring Text() const {
    size_t first = 0;
    size_t last = FText.size();
    while (first < last && FText[first] == L'\n')
      ++first;
    while (last > first && (FText[last - 1] == L'\n' || FText[last - 1] == L' '))
      --last;
    return FText.substr(first, last - first);
  }
  std::vector<THtmlLink>& Links() { return FLinks; }

private:
  bool StartsMarkup(size_t aPos) const {
    if (aPos + 1 >= FHtml.size())
      return false;
    const wchar_t c = FHtml[aPos + 1];
    return IsLetter(c) || c == L'!' || c == L'?' ||
           (c == L'/' && aPos + 2 < FHtml.size() && IsLetter(FHtml[aPos + 2]));
  }

  // Reads the markup at aPos (a "<"); returns where the text after it begins.
  size_t Markup(size_t aPos) {
    if (FHtml.substr(aPos, 4) == L"<!--") {
      const size_t end = FHtml.find(L"-->", aPos + 4);
      return end == std::wstring_view::npos ? FHtml.size() : end + 3;
    }
    if (FHtml[aPos + 1] == L'!' || FHtml[aPos + 1] == L'?') {
      const size_t end = FHtml.find(L'>', aPos);
      return end == std::wstring_view::npos ? FHtml.size() : end + 1;
    }
    const bool closing = FHtml[aPos + 1] == L'/';
    size_t pos = aPos + (closing ? 2 : 1);
    std::wstring name;
    while (pos < FHtml.size() && IsNameChar(FHtml[pos])) {
      if (name.size() < 16)
        name += Lower(FHtml[pos]);
      ++pos;
    }
    std::optional<std::wstring> href;
    // Attributes up to the tag's end; a tag that never ends is dropped with the rest.
    for (;;) {
      while (pos < FHtml.size() && (IsSpace(FHtml[pos]) || FHtml[pos] == L'/'))
        ++pos;
      if (pos >= FHtml.size())
        return FHtml.size();
      if (FHtml[pos] == L'>') {
        ++pos;
        break;
      }
      const size_t nameStart = pos;
      while (pos < FHtml.size() && !IsSpace(FHtml[pos]) && FHtml[pos] != L'=' &&
             FHtml[pos] != L'>' && (FHtml[pos] != L'/' || pos == nameStart))
        ++pos;
      const std::wstring_view attribute = FHtml.substr(nameStart, pos - nameStart);
      while (pos < FHtml.size() && IsSpace(FHtml[pos]))
        ++pos;
      if (pos >= FHtml.size() || FHtml[pos] != L'=')
        continue;
      ++pos;
      while (pos < FHtml.size() && IsSpace(FHtml[pos]))
        ++pos;
      if (pos >= FHtml.size())
        return FHtml.size();
      size_t valueStart = pos;
      size_t valueEnd;
      if (FHtml[pos] == L'"' || FHtml[pos] == L'\'') {
        valueEnd = FHtml.find(FHtml[pos], pos + 1);
        if (valueEnd == std::wstring_view::npos)
          return FHtml.size();
        ++valueStart;
        pos = valueEnd + 1;
      } else {
        while (pos < FHtml.size() && !IsSpace(FHtml[pos]) && FHtml[pos] != L'>')
          ++pos;
        valueEnd = pos;
      }
      if (!closing && attribute.size() == 4 && StartsText(attribute, L"href"))
        href = std::wstring(
            TrimBy(DecodeEntities(FHtml.substr(valueStart, valueEnd - valueStart)), IsBlankAtEdge));
    }
    if (closing)
      EndTag(name);
    else
      return StartTag(name, href, pos);
    return pos;
  }

  size_t StartTag(const std::wstring& aName, const std::optional<std::wstring>& aHref,
                  size_t aPos) {
    if (aName == L"script" || aName == L"style" || aName == L"title") {
      // Their content is no text of the page: on to their end tag.
      const std::wstring end = L"</" + aName;
      for (size_t pos = FHtml.find(L"</", aPos); pos != std::wstring_view::npos;
           pos = FHtml.find(L"</", pos + 2)) {
        if (StartsText(FHtml.substr(pos), end)) {
          const size_t close = FHtml.find(L'>', pos);
          return close == std::wstring_view::npos ? FHtml.size() : close + 1;
        }
      }
      return FHtml.size();
    }
    if (aName == L"br") {
      FSpace = false;
      FText += L'\n';
    } else if (aName == L"a") {
      CloseLink();
      if (aHref && !IsLeftOutLink(*aHref) && FLinks.size() < kMaxHtmlLinks) {
        FLinkURL = *aHref;
        FLinkStart = FText.size();
        FInLink = true;
      }
    } else if (aName == L"td" || aName == L"th") {
      FSpace = !FText.empty() && FText.back() != L'\n';
    } else {
      Break(aName);
      if (aName == L"pre")
        ++FPre;
    }
    return aPos;
  }

  void EndTag(const std::wstring& aName) {
    if (aName == L"a") {
      CloseLink();
      return;
    }
    Break(aName);
    if (aName == L"pre" && FPre > 0)
      --FPre;
  }

  void Break(std::wstring_view aName) {
    const size_t lines = IsParagraph(aName) ? 2 : IsBlock(aName) ? 1 : 0;
    if (lines == 0)
      return;
    FSpace = false;
    if (FText.empty())
      return;
    while (FText.back() == L' ')
      FText.pop_back();
    size_t ending = 0;
    for (size_t i = FText.size(); i > 0 && FText[i - 1] == L'\n'; --i)
      ++ending;
    for (; ending < lines; ++ending)
      FText += L'\n';
  }

  void AddText(const std::wstring& aText) {
    for (wchar_t c : aText) {
      if (FPre > 0) {
        if (c != L'\r')
          FText += c;
        continue;
      }
      if (IsSpace(c)) {
        FSpace = FSpace || (!FText.empty() && FText.back() != L'\n');
        continue;
      }
      if (FSpace)
        FText += L' ';
      FSpace = false;
      FText += c;
    }
  }

  void CloseLink() {
    if (!FInLink)
      return;
    FInLink = false;
    std::wstring text;
    bool space = false;
    for (size_t i = FLinkStart; i < FText.size(); ++i) {
      if (IsSpace(FText[i])) {
        space = !text.empty();
        continue;
      }
      if (space)
        text += L' ';
      space = false;
      text += FText[i];
    }
    text = std::wstring(TrimBy(text, IsBlankAtEdge));
    FLinks.push_back({FLinkURL, text.empty() ? FLinkURL : text});
  }

  std::wstring_view FHtml;
  std::wstring FText;
  bool FSpace = false;
  int FPre = 0;
  std::vector<THtmlLink> FLinks;
  bool FInLink = false;
  std::wstring FLinkURL;
  size_t FLinkStart = 0;
};

} // namespace

std::wstring PlainTextOfHtml(const std::wstring& aHtml) {
  THtmlReader reader(aHtml);
  reader.Read();
  return reader.Text();
}

std::vector<THtmlLink> LinksOfHtml(const std::wstring& aHtml) {
  THtmlReader reader(aHtml);
  reader.Read();
  return std::move(reader.Links());
}
