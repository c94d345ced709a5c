#pragma once
// An open registry key that closes itself, with typed reads and writes on top of IRegistry.

#include "platform/Platform.h"

#include <optional>
#include <string>
#include <vector>

namespace kplat {

class TRegKey {
public:
  TRegKey() = default;
  ~TRegKey() { Close(); }
  TRegKey(TRegKey&& aOther) noexcept : FHandle(aOther.FHandle) { aOther.FHandle = kNoRegHandle; }
  TRegKey& operator=(TRegKey&& aOther) noexcept;
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  // Never creates the key.
  TErrorCode Open(TRegHandle aParent, const std::wstring& aSubKey,
                  TRegAccess aAccess = TRegAccess::Read, TRegView aView = TRegView::Default);
  // Opens the key, creating it and its parents when missing.
  TErrorCode Create(TRegHandle aParent, const std::wstring& aSubKey,
                    TRegView aView = TRegView::Default);
  void Close();

  bool IsOpen() const { return FHandle != kNoRegHandle; }
  TRegHandle Handle() const { return FHandle; }

  std::vector<std::wstring> SubKeyNames() const; // empty on failure
  std::vector<std::wstring> ValueNames() const;  // empty on failure
  TErrorCode Info(TRegKeyInfo& aInfo) const;

  TErrorCode Query(const std::wstring& aName, TRegValue& aValue) const;
  bool ValueExists(const std::wstring& aName) const;
  // A string, expandable string or multi-string value's text up to its first NUL.
  std::optional<std::wstring> ReadString(const std::wstring& aName) const;
  std::optional<uint32_t> ReadDword(const std::wstring& aName) const;

  TErrorCode Write(const std::wstring& aName, const TRegValue& aValue) const;
  TErrorCode WriteString(const std::wstring& aName, const std::wstring& aText,
                         uint32_t aType = regtype::Sz) const;
  TErrorCode WriteDword(const std::wstring& aName, uint32_t aValue) const;
  TErrorCode DeleteValue(const std::wstring& aName) const;

private:
  TRegHandle FHandle = kNoRegHandle;
};

// Value construction and decoding, shared by everything that handles registry data.
TRegValue MakeStringValue(const std::wstring& aText, uint32_t aType = regtype::Sz);
TRegValue MakeDwordValue(uint32_t aValue);
TRegValue MakeQwordValue(uint64_t aValue);
TRegValue MakeMultiStringValue(const std::vector<std::wstring>& aItems);
// The text of string data up to its first NUL (the whole data when there is none).
std::wstring RegDataToString(const std::vector<uint8_t>& aData);
// The items of REG_MULTI_SZ data.
std::vector<std::wstring> RegDataToMultiString(const std::vector<uint8_t>& aData);

} // namespace kplat
