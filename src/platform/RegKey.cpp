#include "platform/RegKey.h"

#include "platform/TextCodec.h"

namespace kplat {

TRegKey& TRegKey::operator=(TRegKey&& aOther) noexcept {
  if (this != &aOther) {
    Close();
    FHandle = aOther.FHandle;
    aOther.FHandle = kNoRegHandle;
  }
  return *this;
}

TErrorCode TRegKey::Open(TRegHandle aParent, const std::wstring& aSubKey, TRegAccess aAccess,
                         TRegView aView) {
  Close();
  return Platform().Registry().OpenKey(aParent, aSubKey, aAccess, aView, FHandle);
}

TErrorCode TRegKey::Create(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView) {
  Close();
  return Platform().Registry().CreateKey(aParent, aSubKey, aView, FHandle);
}

void TRegKey::Close() {
  if (FHandle != kNoRegHandle) {
    Platform().Registry().CloseKey(FHandle);
    FHandle = kNoRegHandle;
  }
}

std::vector<std::wstring> TRegKey::SubKeyNames() const {
  std::vector<std::wstring> names;
  if (IsOpen() && Platform().Registry().EnumSubKeys(FHandle, names) != err::Success) {
    names.clear();
  }
  return names;
}

std::vector<std::wstring> TRegKey::ValueNames() const {
  std::vector<std::wstring> names;
  if (IsOpen() && Platform().Registry().EnumValues(FHandle, names) != err::Success) {
    names.clear();
  }
  return names;
}

TErrorCode TRegKey::Info(TRegKeyInfo& aInfo) const {
  return IsOpen() ? Platform().Registry().QueryInfo(FHandle, aInfo) : err::InvalidHandle;
}

TErrorCode TRegKey::Query(const std::wstring& aName, TRegValue& aValue) const {
  return IsOpen() ? Platform().Registry().QueryValue(FHandle, aName, aValue) : err::InvalidHandle;
}

bool TRegKey::ValueExists(const std::wstring& aName) const {
  TRegValue value;
  return Query(aName, value) == err::Success;
}

std::optional<std::wstring> TRegKey::ReadString(const std::wstring& aName) const {
  TRegValue value;
  if (Query(aName, value) != err::Success) {
    return std::nullopt;
  }
  if (value.Type != regtype::Sz && value.Type != regtype::ExpandSz &&
      value.Type != regtype::MultiSz) {
    return std::nullopt;
  }
  return RegDataToString(value.Data);
}

std::optional<uint32_t> TRegKey::ReadDword(const std::wstring& aName) const {
  TRegValue value;
  if (Query(aName, value) != err::Success || value.Type != regtype::Dword ||
      value.Data.size() < 4) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(value.Data[0]) | (static_cast<uint32_t>(value.Data[1]) << 8) |
         (static_cast<uint32_t>(value.Data[2]) << 16) |
         (static_cast<uint32_t>(value.Data[3]) << 24);
}

TErrorCode TRegKey::Write(const std::wstring& aName, const TRegValue& aValue) const {
  return IsOpen() ? Platform().Registry().SetValue(FHandle, aName, aValue) : err::InvalidHandle;
}

TErrorCode TRegKey::WriteString(const std::wstring& aName, const std::wstring& aText,
                                uint32_t aType) const {
  return Write(aName, MakeStringValue(aText, aType));
}

TErrorCode TRegKey::WriteDword(const std::wstring& aName, uint32_t aValue) const {
  return Write(aName, MakeDwordValue(aValue));
}

TErrorCode TRegKey::DeleteValue(const std::wstring& aName) const {
  return IsOpen() ? Platform().Registry().DeleteValue(FHandle, aName) : err::InvalidHandle;
}

TRegValue MakeStringValue(const std::wstring& aText, uint32_t aType) {
  return TRegValue{aType, EncodeUtf16Le(aText, true)};
}

TRegValue MakeDwordValue(uint32_t aValue) {
  TRegValue value{regtype::Dword, std::vector<uint8_t>(4)};
  for (int i = 0; i < 4; ++i) {
    value.Data[i] = static_cast<uint8_t>(aValue >> (8 * i));
  }
  return value;
}

TRegValue MakeQwordValue(uint64_t aValue) {
  TRegValue value{regtype::Qword, std::vector<uint8_t>(8)};
  for (int i = 0; i < 8; ++i) {
    value.Data[i] = static_cast<uint8_t>(aValue >> (8 * i));
  }
  return value;
}

TRegValue MakeMultiStringValue(const std::vector<std::wstring>& aItems) {
  TRegValue value{regtype::MultiSz, {}};
  for (const auto& item : aItems) {
    const auto bytes = EncodeUtf16Le(item, true);
    value.Data.insert(value.Data.end(), bytes.begin(), bytes.end());
  }
  value.Data.push_back(0);
  value.Data.push_back(0);
  return value;
}

std::wstring RegDataToString(const std::vector<uint8_t>& aData) {
  size_t end = 0;
  while (end + 1 < aData.size() && (aData[end] != 0 || aData[end + 1] != 0)) {
    end += 2;
  }
  return DecodeUtf16Le(aData.data(), end);
}

std::vector<std::wstring> RegDataToMultiString(const std::vector<uint8_t>& aData) {
  std::vector<std::wstring> items;
  size_t start = 0;
  size_t pos = 0;
  while (pos + 1 < aData.size()) {
    if (aData[pos] == 0 && aData[pos + 1] == 0) {
      if (pos == start) {
        break; // the empty string that ends the list
      }
      items.push_back(DecodeUtf16Le(aData.data() + start, pos - start));
      start = pos + 2;
    }
    pos += 2;
  }
  if (start + 1 < aData.size() && pos > start) {
    items.push_back(DecodeUtf16Le(aData.data() + start, pos - start));
  }
  return items;
}

} // namespace kplat
