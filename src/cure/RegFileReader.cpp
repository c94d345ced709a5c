#include "cure/RegFileReader.h"

#include "cure/RegUtils.h"
#include "framework/CLHelpers.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <optional>
#include <string_view>

namespace {

constexpr std::wstring_view kVersion5Header = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kRegedit4Header = L"REGEDIT4";

bool IsBlank(wchar_t aChar) {
  return aChar == L' ' || aChar == L'\t';
}

std::optional<unsigned> HexDigit(wchar_t aChar) {
  if (aChar >= L'0' && aChar <= L'9') {
    return aChar - L'0';
  }
  if (aChar >= L'a' && aChar <= L'f') {
    return aChar - L'a' + 10;
  }
  if (aChar >= L'A' && aChar <= L'F') {
    return aChar - L'A' + 10;
  }
  return std::nullopt;
}

std::wstring TrimRight(std::wstring_view aText) {
  while (!aText.empty() && (IsBlank(aText.back()) || aText.back() == L'\0')) {
    aText.remove_suffix(1);
  }
  return std::wstring(aText);
}

std::wstring ErrorText(const wchar_t* aWhat, kplat::TErrorCode aError) {
  return std::wstring(aWhat) + L" (system error " + std::to_wstring(aError) + L")";
}

std::vector<std::wstring> SplitLines(const std::wstring& aText) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start <= aText.size()) {
    size_t end = aText.find(L'\n', start);
    if (end == std::wstring::npos) {
      end = aText.size();
    }
    std::wstring line = aText.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') {
      line.pop_back();
    }
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// One pass over the lines of a file; the first error stops it.
class TParser {
public:
  TParser(const std::vector<std::wstring>& aLines, TRegFileFormat aFormat)
      : FLines(aLines), FFormat(aFormat) {}

  bool Run(std::vector<TRegFileKey>& aKeys) {
    for (FIndex = 1; FIndex < FLines.size(); ++FIndex) {
      FLine = FLines[FIndex];
      FPos = 0;
      SkipBlanks();
      if (AtEndOrComment()) {
        continue;
      }
      const bool isKey = FLine[FPos] == L'[';
      if (!(isKey ? ParseKeyLine(aKeys) : ParseValueLine(aKeys))) {
        return false;
      }
      // Every line of an export ends with a line break. A value whose data runs to the end of
      // the file without one may have been cut off there, and would import as other data.
      if (!isKey && FIndex + 1 == FLines.size()) {
        return Fail(L"the file ends inside a value: it is not complete");
      }
    }
    return true;
  }

  int ErrorLine() const { return FErrorLine; }
  const std::wstring& ErrorMessage() const { return FErrorMessage; }

private:
  bool Fail(const std::wstring& aMessage) {
    FErrorLine = static_cast<int>(FIndex) + 1;
    FErrorMessage = aMessage;
    return false;
  }

  int LineNumber() const { return static_cast<int>(FIndex) + 1; }
  void SkipBlanks() {
    while (FPos < FLine.size() && IsBlank(FLine[FPos])) {
      ++FPos;
    }
  }
  bool AtEndOrComment() const {
    return FPos >= FLine.size() || FLine[FPos] == L';' || FLine[FPos] == L'#';
  }
  // Nothing but blanks or a comment may follow.
  bool ExpectEnd() {
    SkipBlanks();
    return AtEndOrComment() || Fail(L"unexpected text after the value");
  }

  bool ParseKeyLine(std::vector<TRegFileKey>& aKeys) {
    const size_t close = FLine.rfind(L']');
    if (close == std::wstring::npos || close < FPos) {
      return Fail(L"the key name has no closing \"]\"");
    }
    FPos = close + 1;
    SkipBlanks();
    if (!AtEndOrComment()) {
      return Fail(L"unexpected text after the key name");
    }
    TRegFileKey key;
    key.Line = LineNumber();
    std::wstring path = FLine.substr(FLine.find(L'[') + 1, close - FLine.find(L'[') - 1);
    if (!path.empty() && path.front() == L'-') {
      key.Delete = true;
      path.erase(0, 1);
    }
    while (!path.empty() && path.back() == L'\\') {
      path.pop_back();
    }
    const size_t slash = path.find(L'\\');
    key.RootName = path.substr(0, slash);
    key.SubKey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    key.Root = RootKeyFromName(key.RootName);
    if (key.Root == kplat::kNoRegHandle) {
      return Fail(L"unknown root key \"" + key.RootName + L"\"");
    }
    if (key.Delete && key.SubKey.empty()) {
      return Fail(L"a root key cannot be deleted");
    }
    aKeys.push_back(std::move(key));
    return true;
  }

  bool ParseValueLine(std::vector<TRegFileKey>& aKeys) {
    if (aKeys.empty()) {
      return Fail(L"a value line before the first key");
    }
    if (aKeys.back().Delete) {
      return Fail(L"a value line below a key that is being deleted");
    }
    TRegFileValue value;
    value.Line = LineNumber();
    if (FLine[FPos] == L'@') {
      ++FPos;
    } else if (FLine[FPos] == L'"') {
      if (!ParseQuoted(value.Name)) {
        return false;
      }
    } else {
      return Fail(L"expected a key in brackets or a value name");
    }
    SkipBlanks();
    if (FPos >= FLine.size() || FLine[FPos] != L'=') {
      return Fail(L"expected \"=\" after the value name");
    }
    ++FPos;
    SkipBlanks();
    if (!ParseData(value)) {
      return false;
    }
    aKeys.back().Values.push_back(std::move(value));
    return true;
  }

  // A double-quoted text from FPos with "\\" and "\"" (and the registry editor's "\n" and "\r").
  bool ParseQuoted(std::wstring& aText) {
    for (++FPos; FPos < FLine.size(); ++FPos) {
      const wchar_t c = FLine[FPos];
      if (c == L'"') {
        ++FPos;
        return true;
      }
      if (c != L'\\') {
        aText += c;
        continue;
      }
      if (++FPos >= FLine.size()) {
        break;
      }
      switch (FLine[FPos]) {
      case L'\\':
      case L'"':
        aText += FLine[FPos];
        break;
      case L'n':
        aText += L'\n';
        break;
      case L'r':
        aText += L'\r';
        break;
      default:
        return Fail(L"unknown escape sequence \"\\" + std::wstring(1, FLine[FPos]) + L"\"");
      }
    }
    return Fail(L"a quoted text has no closing double quote");
  }

  bool StartsWith(std::wstring_view aTag) const {
    return std::wstring_view(FLine).substr(FPos, aTag.size()) == aTag;
  }

  bool ParseData(TRegFileValue& aValue) {
    if (StartsWith(L"-")) {
      ++FPos;
      aValue.Delete = true;
      return ExpectEnd();
    }
    if (StartsWith(L"\"")) {
      std::wstring text;
      if (!ParseQuoted(text)) {
        return false;
      }
      aValue.Value = kplat::MakeStringValue(text);
      return ExpectEnd();
    }
    if (StartsWith(L"dword:")) {
      FPos += 6;
      uint32_t number = 0;
      size_t digits = 0;
      for (; FPos < FLine.size() && HexDigit(FLine[FPos]); ++FPos, ++digits) {
        number = (number << 4) | *HexDigit(FLine[FPos]);
      }
      if (digits == 0 || digits > 8) {
        return Fail(L"\"dword:\" needs 1 to 8 hexadecimal digits");
      }
      aValue.Value = kplat::MakeDwordValue(number);
      return ExpectEnd();
    }
    if (StartsWith(L"hex:")) {
      FPos += 4;
      aValue.Value.Type = kplat::regtype::Binary;
      return ParseBytes(aValue.Value.Data);
    }
    if (StartsWith(L"hex(")) {
      FPos += 4;
      uint32_t type = 0;
      size_t digits = 0;
      for (; FPos < FLine.size() && HexDigit(FLine[FPos]); ++FPos, ++digits) {
        type = (type << 4) | *HexDigit(FLine[FPos]);
      }
      if (digits == 0 || digits > 8 || !StartsWith(L"):")) {
        return Fail(L"\"hex(\" needs a hexadecimal type number and \"):\"");
      }
      FPos += 2;
      aValue.Value.Type = type;
      if (!ParseBytes(aValue.Value.Data)) {
        return false;
      }
      ConvertAnsiStrings(aValue.Value);
      return true;
    }
    return Fail(L"unknown data type");
  }

  // True when the rest of the line is a lone "\" that continues the data on the next line.
  bool AtContinuation() const {
    return FPos < FLine.size() && FLine[FPos] == L'\\' &&
           TrimRight(std::wstring_view(FLine).substr(FPos + 1)).empty();
  }

  bool NextLine() {
    if (FIndex + 1 >= FLines.size()) {
      return Fail(L"the file ends inside a continued line");
    }
    FLine = FLines[++FIndex];
    FPos = 0;
    return true;
  }

  // Comma-separated bytes of one or two hexadecimal digits, continued across lines after a comma.
  bool ParseBytes(std::vector<uint8_t>& aData) {
    bool expectByte = true;
    bool afterComma = false;
    for (;;) {
      SkipBlanks();
      if (expectByte) {
        if (AtContinuation()) {
          if (!NextLine()) {
            return false;
          }
          continue;
        }
        if (AtEndOrComment()) {
          return !afterComma || Fail(L"a byte is missing after \",\"");
        }
        unsigned byte = 0;
        size_t digits = 0;
        for (; digits < 2 && FPos < FLine.size() && HexDigit(FLine[FPos]); ++FPos, ++digits) {
          byte = (byte << 4) | *HexDigit(FLine[FPos]);
        }
        if (digits == 0) {
          return Fail(L"expected a hexadecimal byte");
        }
        aData.push_back(static_cast<uint8_t>(byte));
        expectByte = false;
      } else if (AtEndOrComment()) {
        return true;
      } else if (FLine[FPos] == L',') {
        ++FPos;
        expectByte = true;
        afterComma = true;
      } else {
        return Fail(L"expected \",\" between bytes");
      }
    }
  }

  // In the 8-bit form the bytes of string types are text in the ANSI code page; the registry
  // holds them in UTF-16.
  void ConvertAnsiStrings(kplat::TRegValue& aValue) const {
    if (FFormat == TRegFileFormat::Regedit4 &&
        (aValue.Type == kplat::regtype::Sz || aValue.Type == kplat::regtype::ExpandSz ||
         aValue.Type == kplat::regtype::MultiSz)) {
      aValue.Data =
          kplat::EncodeUtf16Le(AnsiToWide(std::string(aValue.Data.begin(), aValue.Data.end())));
    }
  }

  const std::vector<std::wstring>& FLines;
  TRegFileFormat FFormat;
  size_t FIndex = 0;
  std::wstring FLine;
  size_t FPos = 0;
  int FErrorLine = 0;
  std::wstring FErrorMessage;
};

} // namespace

bool TRegFileReader::Fail(int aLine, const std::wstring& aMessage) {
  FKeys.clear();
  FError = {aLine, aMessage};
  return false;
}

bool TRegFileReader::LoadFromFile(const std::wstring& aFileName) {
  std::vector<uint8_t> data;
  const kplat::TErrorCode rc =
      kplat::Platform().Files().ReadFile(aFileName, data, kMaxRegFileBytes);
  if (rc == kplat::err::NotEnoughMemory) {
    return Fail(0, L"the file is larger than " + std::to_wstring(kMaxRegFileBytes) + L" bytes");
  }
  if (rc != kplat::err::Success) {
    return Fail(0, ErrorText(L"the file cannot be read", rc));
  }
  return LoadFromBytes(data);
}

bool TRegFileReader::LoadFromBytes(const std::vector<uint8_t>& aData) {
  FKeys.clear();
  FError = {};
  if (aData.size() > kMaxRegFileBytes) {
    return Fail(0, L"the file is larger than " + std::to_wstring(kMaxRegFileBytes) + L" bytes");
  }
  std::wstring text;
  if (aData.size() >= 2 && aData[0] == 0xFF && aData[1] == 0xFE) {
    text = kplat::DecodeUtf16Le(aData.data() + 2, aData.size() - 2);
  } else {
    text = AnsiToWide(std::string(aData.begin(), aData.end()));
  }
  const std::vector<std::wstring> lines = SplitLines(text);
  const std::wstring header = TrimRight(lines.front());
  if (header == kVersion5Header) {
    FFormat = TRegFileFormat::Version5;
  } else if (header == kRegedit4Header) {
    FFormat = TRegFileFormat::Regedit4;
  } else {
    return Fail(1, L"not a registry file: the first line must be \"" +
                       std::wstring(kVersion5Header) + L"\" or \"" + std::wstring(kRegedit4Header) +
                       L"\"");
  }
  TParser parser(lines, FFormat);
  std::vector<TRegFileKey> keys;
  if (!parser.Run(keys)) {
    return Fail(parser.ErrorLine(), parser.ErrorMessage());
  }
  FKeys = std::move(keys);
  return true;
}

bool TRegFileReader::Apply() {
  FError = {};
  auto note = [this](int aLine, const std::wstring& aMessage) {
    if (FError.Message.empty()) {
      FError = {aLine, aMessage};
    }
  };
  auto missing = [](kplat::TErrorCode aError) {
    return aError == kplat::err::FileNotFound || aError == kplat::err::PathNotFound;
  };
  for (const TRegFileKey& key : FKeys) {
    if (key.Delete) {
      const kplat::TErrorCode rc = kplat::Platform().Registry().DeleteKeyTree(
          key.Root, key.SubKey, kplat::TRegView::Default);
      if (rc != kplat::err::Success && !missing(rc)) {
        note(key.Line, ErrorText(L"the key cannot be deleted", rc));
      }
      continue;
    }
    kplat::TRegKey opened;
    if (const kplat::TErrorCode rc = opened.Create(key.Root, key.SubKey);
        rc != kplat::err::Success) {
      note(key.Line, ErrorText(L"the key cannot be created", rc));
      continue;
    }
    for (const TRegFileValue& value : key.Values) {
      const kplat::TErrorCode rc =
          value.Delete ? opened.DeleteValue(value.Name) : opened.Write(value.Name, value.Value);
      if (rc != kplat::err::Success && !(value.Delete && missing(rc))) {
        note(value.Line, ErrorText(value.Delete ? L"the value cannot be deleted"
                                                : L"the value cannot be written",
                                   rc));
      }
    }
  }
  return FError.Message.empty();
}

bool ImportRegFileDirect(const std::wstring& aFileName, TRegFileError& aError) {
  TRegFileReader reader;
  const bool ok = reader.LoadFromFile(aFileName) && reader.Apply();
  aError = reader.Error();
  return ok;
}
