#include "cure/RegFileReader.h"

#include "base/CLHelpers.h"
#include "cure/RegUtils.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace {

constexpr std::wstring_view kVersion5Header = L"Windows Registry Editor Version 5.00";
constexpr std::wstring_view kRegedit4Header = L"REGEDIT4";

bool IsBlank(wchar_t aChar) {
  return aChar == L' ' || aChar == L'\t';
}

// The blanks the end of a line may carry, a NUL of a padded UTF-16 file among them.
bool IsLineEndBlank(wchar_t aChar) {
  return IsBlank(aChar) || aChar == L'\0';
}

std::wstring ErrorText(const wchar_t* aWhat, kplat::TErrorCode aError) {
  return std::wstring(aWhat) + L" (system error " + std::to_wstring(aError) + L")";
}

} // namespace

// The lines of an export file as the registry editor splits them: at each line feed, with a
// carriage return before it dropped. The bytes arrive part by part; a file that starts with the
// UTF-16LE byte-order mark is split at its 16-bit line feeds, any other at its byte line feeds
// (no byte of a character of a multi-byte code page is one), and each line is decoded whole.
class TRegFileLines {
public:
  using TPartReader = std::function<kplat::TErrorCode(std::vector<uint8_t>& aPart)>;
  explicit TRegFileLines(TPartReader aRead) : FRead(std::move(aRead)) {}

  // The next line; false after the last one, or on a failure (then Error() is set).
  bool Next(std::wstring& aLine) {
    if (FDone || !Start()) {
      return false;
    }
    const size_t unit = FUtf16 ? 2 : 1;
    for (;;) {
      const uint8_t* const bytes = FBuffer.data();
      for (; FScan + unit <= FBuffer.size(); FScan += unit) {
        if (bytes[FScan] == 0x0A && (unit == 1 || bytes[FScan + 1] == 0)) {
          aLine = Decode(FScan);
          FStart = FScan + unit;
          FScan = FStart;
          return true;
        }
      }
      if ((FScan - FStart) / unit > kMaxRegFileLineChars) {
        FTooLong = true;
        FError = L"a line is longer than " + std::to_wstring(kMaxRegFileLineChars) + L" characters";
        return false;
      }
      if (FAtEnd) {
        aLine = Decode(FBuffer.size());
        FDone = true;
        return true;
      }
      if (!Fill()) {
        return false;
      }
    }
  }

  // Whether the last line returned was ended by a line feed; only the file's last line is not.
  bool Ended() const { return !FDone; }
  const std::wstring& Error() const { return FError; }
  // The failure is the length of the line after the last one returned (not a read failure).
  bool TooLong() const { return FTooLong; }

private:
  // Reads up to the byte-order mark's length to tell the encoding.
  bool Start() {
    if (FStarted) {
      return true;
    }
    FStarted = true;
    while (FBuffer.size() < 2 && !FAtEnd) {
      if (!Fill()) {
        return false;
      }
    }
    FUtf16 = FBuffer.size() >= 2 && FBuffer[0] == 0xFF && FBuffer[1] == 0xFE;
    FStart = FScan = FUtf16 ? 2 : 0;
    return true;
  }

  // Drops the lines already returned and appends the next part.
  bool Fill() {
    FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<ptrdiff_t>(FStart));
    FScan -= FStart;
    FStart = 0;
    std::vector<uint8_t> part;
    if (const kplat::TErrorCode rc = FRead(part); rc != kplat::err::Success) {
      FError = ErrorText(L"the file cannot be read", rc);
      return false;
    }
    FAtEnd = part.empty();
    FBuffer.insert(FBuffer.end(), part.begin(), part.end());
    return true;
  }

  std::wstring Decode(size_t aEnd) const {
    const uint8_t* begin = FBuffer.data() + FStart;
    std::wstring line = FUtf16 ? kplat::DecodeUtf16Le(begin, aEnd - FStart)
                               : AnsiToWide(std::string(begin, FBuffer.data() + aEnd));
    if (!line.empty() && line.back() == L'\r') {
      line.pop_back();
    }
    return line;
  }

  TPartReader FRead;
  std::vector<uint8_t> FBuffer;
  size_t FStart = 0; // where the next line begins
  size_t FScan = 0;  // where the search for its line feed goes on
  bool FStarted = false;
  bool FUtf16 = false;
  bool FAtEnd = false; // the last part has been read
  bool FDone = false;  // the last line has been returned
  bool FTooLong = false;
  std::wstring FError;
};

namespace {

// One pass over the lines after the header, handing on each entry as it is read; the first
// error stops it.
class TParser {
public:
  TParser(TRegFileLines& aLines, TRegFileFormat aFormat, const TRegFileEntryHandler& aOnEntry,
          const bool& aStop)
      : FLines(aLines), FFormat(aFormat), FOnEntry(aOnEntry), FStop(aStop) {}

  bool Run() {
    while (FLines.Next(FLine)) {
      ++FLineNumber;
      FPos = 0;
      SkipBlanks();
      if (AtEndOrComment()) {
        continue;
      }
      const bool isKey = FLine[FPos] == L'[';
      if (!(isKey ? ParseKeyLine() : ParseValueLine())) {
        return false;
      }
      // Every line of an export ends with a line break. A value whose data runs to the end of
      // the file without one may have been cut off there, and would import as other data.
      if (!isKey && !FLines.Ended()) {
        return Fail(L"the file ends inside a value: it is not complete");
      }
      if (FStop) {
        return true;
      }
    }
    return FLines.Error().empty() || FailReading();
  }

  int ErrorLine() const { return FErrorLine; }
  const std::wstring& ErrorMessage() const { return FErrorMessage; }

private:
  bool Fail(const std::wstring& aMessage) {
    FErrorLine = FLineNumber;
    FErrorMessage = aMessage;
    return false;
  }
  // A line too long is the next line's fault; a read failure is the file's.
  bool FailReading() {
    FErrorLine = FLines.TooLong() ? FLineNumber + 1 : 0;
    FErrorMessage = FLines.Error();
    return false;
  }

  int LineNumber() const { return FLineNumber; }
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

  bool ParseKeyLine() {
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
    FKey = std::move(key);
    FHaveKey = true;
    Hand(nullptr);
    return true;
  }

  bool ParseValueLine() {
    if (!FHaveKey) {
      return Fail(L"a value line before the first key");
    }
    if (FKey.Delete) {
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
    Hand(&value);
    return true;
  }

  // A double-quoted text from FPos with "\\" and "\"" (and the registry editor's "\n" and "\r").
  bool ParseQuoted(std::wstring& aText) {
    for (++FPos; FPos < FLine.size(); ++FPos) {
      // Runs without quotes or escapes, which may be millions of characters, go in one piece.
      const size_t special = std::min(FLine.find_first_of(L"\"\\", FPos), FLine.size());
      aText.append(FLine, FPos, special - FPos);
      FPos = special;
      if (FPos == FLine.size()) {
        break;
      }
      if (FLine[FPos] == L'"') {
        ++FPos;
        return true;
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
      for (; FPos < FLine.size() && HexDigitValue(FLine[FPos]) >= 0; ++FPos, ++digits) {
        number = (number << 4) | static_cast<unsigned>(HexDigitValue(FLine[FPos]));
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
      for (; FPos < FLine.size() && HexDigitValue(FLine[FPos]) >= 0; ++FPos, ++digits) {
        type = (type << 4) | static_cast<unsigned>(HexDigitValue(FLine[FPos]));
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
           TrimBy(std::wstring_view(FLine).substr(FPos + 1), IsLineEndBlank).empty();
  }

  bool NextLine() {
    if (!FLines.Ended()) {
      return Fail(L"the file ends inside a continued line");
    }
    if (!FLines.Next(FLine)) {
      return FailReading();
    }
    ++FLineNumber;
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
        for (; digits < 2 && FPos < FLine.size() && HexDigitValue(FLine[FPos]) >= 0;
             ++FPos, ++digits) {
          byte = (byte << 4) | static_cast<unsigned>(HexDigitValue(FLine[FPos]));
        }
        if (digits == 0) {
          return Fail(L"expected a hexadecimal byte");
        }
        aData.push_back(static_cast<uint8_t>(byte));
        if (aData.size() > kMaxRegFileLineChars) {
          return Fail(L"a value holds more than " + std::to_wstring(kMaxRegFileLineChars) +
                      L" bytes");
        }
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

  void Hand(const TRegFileValue* aValue) const {
    if (FOnEntry) {
      FOnEntry(FKey, aValue);
    }
  }

  TRegFileLines& FLines;
  TRegFileFormat FFormat;
  const TRegFileEntryHandler& FOnEntry;
  const bool& FStop; // the handler wants no more entries
  TRegFileKey FKey;  // the key of the value lines that follow
  bool FHaveKey = false;
  int FLineNumber = 1; // the header's
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
  bool given = false;
  TRegFileLines lines([&aData, &given](std::vector<uint8_t>& aPart) {
    aPart = given ? std::vector<uint8_t>() : aData;
    given = true;
    return kplat::err::Success;
  });
  std::vector<TRegFileKey> keys;
  const bool read = Read(lines, [&keys](const TRegFileKey& aKey, const TRegFileValue* aValue) {
    if (aValue == nullptr) {
      keys.push_back(aKey);
    } else {
      keys.back().Values.push_back(*aValue);
    }
  });
  if (read) {
    FKeys = std::move(keys);
  }
  return read;
}

bool TRegFileReader::ReadEntries(const std::wstring& aFileName,
                                 const TRegFileEntryHandler& aOnEntry, uint32_t aPartBytes) {
  FKeys.clear();
  FError = {};
  kplat::TFilePartReader file(aFileName, std::max<uint32_t>(aPartBytes, 1));
  TRegFileLines lines([&file](std::vector<uint8_t>& aPart) { return file.Next(aPart); });
  return Read(lines, aOnEntry);
}

bool TRegFileReader::Read(TRegFileLines& aLines, const TRegFileEntryHandler& aOnEntry) {
  FStopped = false;
  std::wstring header;
  if (!aLines.Next(header)) {
    return Fail(aLines.TooLong() ? 1 : 0, aLines.Error());
  }
  while (!header.empty() && IsLineEndBlank(header.back())) {
    header.pop_back();
  }
  if (header == kVersion5Header) {
    FFormat = TRegFileFormat::Version5;
  } else if (header == kRegedit4Header) {
    FFormat = TRegFileFormat::Regedit4;
  } else {
    return Fail(1, L"not a registry file: the first line must be \"" +
                       std::wstring(kVersion5Header) + L"\" or \"" + std::wstring(kRegedit4Header) +
                       L"\"");
  }
  TParser parser(aLines, FFormat, aOnEntry, FStopped);
  if (!parser.Run()) {
    return Fail(parser.ErrorLine(), parser.ErrorMessage());
  }
  return true;
}

bool TRegFileReader::Apply() {
  TRegFileApplier applier;
  for (const TRegFileKey& key : FKeys) {
    applier.Entry(key, nullptr);
    for (const TRegFileValue& value : key.Values) {
      applier.Entry(key, &value);
    }
  }
  FError = applier.Error();
  return FError.Message.empty();
}

void TRegFileApplier::Note(int aLine, const std::wstring& aMessage) {
  if (FError.Message.empty()) {
    FError = {aLine, aMessage};
  }
}

void TRegFileApplier::Entry(const TRegFileKey& aKey, const TRegFileValue* aValue) {
  auto missing = [](kplat::TErrorCode aError) {
    return aError == kplat::err::FileNotFound || aError == kplat::err::PathNotFound;
  };
  if (aValue == nullptr) {
    FKey.Close();
    if (aKey.Delete) {
      const kplat::TErrorCode rc = kplat::Platform().Registry().DeleteKeyTree(
          aKey.Root, aKey.SubKey, kplat::TRegView::Default);
      if (rc != kplat::err::Success && !missing(rc)) {
        Note(aKey.Line, ErrorText(L"the key cannot be deleted", rc));
      }
    } else if (const kplat::TErrorCode rc = FKey.Create(aKey.Root, aKey.SubKey);
               rc != kplat::err::Success) {
      FKey.Close();
      Note(aKey.Line, ErrorText(L"the key cannot be created", rc));
    }
    return;
  }
  // The values of a key that could not be created are not written.
  if (!FKey.IsOpen()) {
    return;
  }
  const kplat::TErrorCode rc =
      aValue->Delete ? FKey.DeleteValue(aValue->Name) : FKey.Write(aValue->Name, aValue->Value);
  if (rc != kplat::err::Success && !(aValue->Delete && missing(rc))) {
    Note(aValue->Line,
         ErrorText(aValue->Delete ? L"the value cannot be deleted" : L"the value cannot be written",
                   rc));
  }
}

bool ImportRegFileDirect(const std::wstring& aFileName, TRegFileError& aError) {
  TRegFileReader reader;
  if (!reader.ReadEntries(aFileName, nullptr)) {
    aError = reader.Error();
    return false;
  }
  TRegFileApplier applier;
  if (!reader.ReadEntries(aFileName,
                          [&applier](const TRegFileKey& aKey, const TRegFileValue* aValue) {
                            applier.Entry(aKey, aValue);
                          })) {
    // The file changed between the check and the import.
    aError = reader.Error();
    return false;
  }
  aError = applier.Error();
  return aError.Message.empty();
}
