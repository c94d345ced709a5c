#include "base/RegNotation.h"

#include "base/CLHelpers.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <array>
#include <cstdio>

namespace {

struct TRootName {
  const wchar_t* Name;
  kplat::TRegHandle Handle;
};

constexpr std::array<TRootName, 7> kRootNames{{
    {L"HKEY_CLASSES_ROOT", kplat::regroot::ClassesRoot},
    {L"HKEY_CURRENT_USER", kplat::regroot::CurrentUser},
    {L"HKEY_LOCAL_MACHINE", kplat::regroot::LocalMachine},
    {L"HKEY_USERS", kplat::regroot::Users},
    {L"HKEY_PERFORMANCE_DATA", kplat::regroot::PerformanceData},
    {L"HKEY_CURRENT_CONFIG", kplat::regroot::CurrentConfig},
    {L"HKEY_DYN_DATA", kplat::regroot::DynData},
}};

constexpr const wchar_t* kNotFound = L"Not Found!";

std::wstring HexBytes(const std::vector<uint8_t>& aData) {
  std::wstring result;
  for (size_t i = 0; i < aData.size(); ++i) {
    if (i > 0) {
      result += L',';
    }
    result += UpperHex(aData[i], 2);
  }
  return result;
}

std::wstring DwordData(const std::vector<uint8_t>& aData) {
  std::wstring result = L"dword:";
  for (size_t i = 4; i-- > 0;) {
    result += UpperHex(aData[i], 2);
  }
  return result;
}

// The type number in "hex(n):" the way the registry editor writes it, in lower case.
std::wstring TypedHexData(const kplat::TRegValue& aValue) {
  wchar_t type[16];
  std::swprintf(type, 16, L"%x", static_cast<unsigned>(aValue.Type));
  return std::wstring(L"hex(") + type + L"):" + HexBytes(aValue.Data);
}

bool IsStringType(uint32_t aType) {
  return aType == kplat::regtype::Sz || aType == kplat::regtype::ExpandSz;
}

// Read access is all a value's notation needs; a key the user may read but not change still
// shows its real value.
bool OpenKey(const std::wstring& aRoot, const std::wstring& aKey, kplat::TRegKey& aOpened) {
  return aOpened.Open(RootKeyFromName(aRoot), aKey, kplat::TRegAccess::Read) == kplat::err::Success;
}

} // namespace

kplat::TRegHandle RootKeyFromName(const std::wstring& aName) {
  for (const auto& root : kRootNames) {
    if (kplat::SameText(aName, root.Name)) {
      return root.Handle;
    }
  }
  return kplat::kNoRegHandle;
}

std::wstring EscapeRegBackslashes(const std::wstring& s) {
  return ReplaceAll(s, L"\\", L"\\\\");
}

std::wstring EscapeRegQuotes(const std::wstring& s) {
  return ReplaceAll(s, L"\"", L"\\\"");
}

std::wstring NormalizeRegLine(const std::wstring& s) {
  return ReplaceAll(EscapeRegBackslashes(s), L"=DWORD:", L"=dword:");
}

TRegValueText FormatRegValue(const std::wstring& aRoot, const std::wstring& aKey,
                             const std::wstring& aName) {
  TRegValueText text;
  kplat::TRegKey key;
  if (OpenKey(aRoot, aKey, key)) {
    kplat::TRegValue value;
    if (key.Query(aName, value) != kplat::err::Success) {
      text.NamePart = L'"' + aName + L'"';
      text.DataPart = kNotFound;
      return text;
    }
    if (IsStringType(value.Type)) {
      text.DataPart = L'"' + EscapeRegQuotes(kplat::RegDataToString(value.Data)) + L'"';
    } else if (value.Type == kplat::regtype::Dword && value.Data.size() == 4) {
      text.DataPart = DwordData(value.Data);
    } else if (value.Type == kplat::regtype::Binary) {
      text.DataPart = L"hex:" + HexBytes(value.Data);
    } else {
      return text;
    }
  }
  if (aName.empty()) {
    text.NamePart = L"@";
  } else {
    text.NamePart = L'"' + EscapeRegBackslashes(aName) + L'"';
    if (text.DataPart.empty()) {
      text.DataPart = L"\"\"";
    }
  }
  text.ValueLine = text.NamePart + L"=" + text.DataPart;
  return text;
}

std::wstring ExportValueData(const kplat::TRegValue& aValue) {
  // Only a plain string has the quoted form: an expandable string written that way would come
  // back as a plain one, and "%SystemRoot%\..." would no longer be expanded by whoever reads it.
  if (aValue.Type == kplat::regtype::Sz) {
    const std::wstring text = kplat::RegDataToString(aValue.Data);
    // A string holding a line break would split the entry; its bytes in hex notation import back
    // unchanged.
    return text.find_first_of(L"\r\n") != std::wstring::npos
               ? TypedHexData(aValue)
               : L'"' + EscapeRegQuotes(EscapeRegBackslashes(text)) + L'"';
  }
  if (aValue.Type == kplat::regtype::Dword && aValue.Data.size() == 4) {
    return DwordData(aValue.Data);
  }
  if (aValue.Type == kplat::regtype::Binary) {
    return L"hex:" + HexBytes(aValue.Data);
  }
  // Multi-strings, QWORDs and the other types have no short notation, but the registry editor
  // imports their bytes with the type number; without this a repair could not be undone.
  return TypedHexData(aValue);
}

std::wstring ExportValueName(const std::wstring& aName) {
  return aName.empty() ? L"@" : L'"' + EscapeRegQuotes(EscapeRegBackslashes(aName)) + L'"';
}
