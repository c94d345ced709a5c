#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Parts.h"

#include <sddl.h>

namespace kplat::win32 {

namespace {

constexpr DWORD kFirstValueBuffer = 512;

// Our roots carry the 32-bit numbers; on 64-bit Windows the predefined HKEYs are those numbers
// sign-extended, as the system headers define them.
HKEY ToHKey(TRegHandle aKey) {
  if (IsPredefinedRoot(aKey)) {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(aKey)));
  }
  return reinterpret_cast<HKEY>(aKey);
}

REGSAM ViewFlag(TRegView aView) {
  switch (aView) {
  case TRegView::Native64:
    return KEY_WOW64_64KEY;
  case TRegView::Wow32:
    return KEY_WOW64_32KEY;
  case TRegView::Default:
    break;
  }
  return 0;
}

// An open key for the units' own short-lived use; the predefined roots are never closed.
class TKey {
public:
  TKey() = default;
  ~TKey() { Close(); }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;

  LSTATUS Open(HKEY aParent, const std::wstring& aSubKey, REGSAM aAccess) {
    Close();
    return ::RegOpenKeyExW(aParent, aSubKey.c_str(), 0, aAccess, &FKey);
  }
  HKEY Get() const { return FKey; }
  void Close() {
    if (FKey != nullptr) {
      ::RegCloseKey(FKey);
      FKey = nullptr;
    }
  }

private:
  HKEY FKey = nullptr;
};

class TWin32Registry : public IRegistry {
public:
  TErrorCode OpenKey(TRegHandle aParent, const std::wstring& aSubKey, TRegAccess aAccess,
                     TRegView aView, TRegHandle& aKey) override {
    aKey = kNoRegHandle;
    const REGSAM access =
        (aAccess == TRegAccess::FullAccess ? KEY_ALL_ACCESS : KEY_READ) | ViewFlag(aView);
    HKEY key = nullptr;
    const LSTATUS rc = ::RegOpenKeyExW(ToHKey(aParent), aSubKey.c_str(), 0, access, &key);
    if (rc == ERROR_SUCCESS) {
      aKey = reinterpret_cast<TRegHandle>(key);
    }
    return rc;
  }

  TErrorCode CreateKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                       TRegHandle& aKey, bool* aCreated) override {
    aKey = kNoRegHandle;
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LSTATUS rc =
        ::RegCreateKeyExW(ToHKey(aParent), aSubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS | ViewFlag(aView), nullptr, &key, &disposition);
    if (rc == ERROR_SUCCESS) {
      aKey = reinterpret_cast<TRegHandle>(key);
    }
    if (aCreated != nullptr) {
      *aCreated = rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    }
    return rc;
  }

  TErrorCode CreateProtectedKey(TRegHandle aParent, const std::wstring& aSubKey, TRegView aView,
                                TRegHandle& aKey) override {
    aKey = kNoRegHandle;
    // Full control for the system and the administrators, nobody else; not inherited from above,
    // so what the parent allows its users does not reach it.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;OICI;KA;;;SY)(A;OICI;KA;;;BA)", SDDL_REVISION_1, &descriptor, nullptr)) {
      return static_cast<TErrorCode>(::GetLastError());
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    HKEY key = nullptr;
    const LSTATUS rc =
        ::RegCreateKeyExW(ToHKey(aParent), aSubKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS | ViewFlag(aView), &attributes, &key, nullptr);
    ::LocalFree(descriptor);
    if (rc == ERROR_SUCCESS) {
      aKey = reinterpret_cast<TRegHandle>(key);
    }
    return rc;
  }

  void CloseKey(TRegHandle aKey) override {
    if (aKey != kNoRegHandle && !IsPredefinedRoot(aKey)) {
      ::RegCloseKey(ToHKey(aKey));
    }
  }

  TErrorCode EnumSubKeys(TRegHandle aKey, std::vector<std::wstring>& aNames) override {
    return EnumNames(aKey, aNames, [](HKEY aHKey, DWORD aIndex, wchar_t* aName, DWORD* aLength) {
      return ::RegEnumKeyExW(aHKey, aIndex, aName, aLength, nullptr, nullptr, nullptr, nullptr);
    });
  }

  TErrorCode EnumValues(TRegHandle aKey, std::vector<std::wstring>& aNames) override {
    return EnumNames(aKey, aNames, [](HKEY aHKey, DWORD aIndex, wchar_t* aName, DWORD* aLength) {
      return ::RegEnumValueW(aHKey, aIndex, aName, aLength, nullptr, nullptr, nullptr, nullptr);
    });
  }

  TErrorCode QueryInfo(TRegHandle aKey, TRegKeyInfo& aInfo) override {
    DWORD subKeys = 0;
    DWORD values = 0;
    const LSTATUS rc =
        ::RegQueryInfoKeyW(ToHKey(aKey), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr);
    aInfo = TRegKeyInfo{};
    if (rc == ERROR_SUCCESS) {
      aInfo.SubKeyCount = subKeys;
      aInfo.ValueCount = values;
    }
    return rc;
  }

  TErrorCode QueryValue(TRegHandle aKey, const std::wstring& aName, TRegValue& aValue) override {
    aValue = TRegValue{};
    const HKEY key = ToHKey(aKey);
    DWORD type = 0;
    // Most values fit the first buffer, so one call reads them; a larger one says how much it
    // needs. The value can be rewritten, larger, between two calls, and some keys (the
    // performance data) never say how much they need, so grow at least twofold each round.
    DWORD size = kFirstValueBuffer;
    std::vector<uint8_t> data;
    for (;;) {
      data.resize(size);
      DWORD got = size;
      const LSTATUS rc = ::RegQueryValueExW(key, aName.c_str(), nullptr, &type, data.data(), &got);
      if (rc == ERROR_SUCCESS) {
        data.resize(got);
        break;
      }
      if (rc != ERROR_MORE_DATA) {
        return rc;
      }
      size = std::max<DWORD>(got, size * 2);
    }
    aValue.Type = type;
    aValue.Data = std::move(data);
    return ERROR_SUCCESS;
  }

  TErrorCode SetValue(TRegHandle aKey, const std::wstring& aName,
                      const TRegValue& aValue) override {
    if (aValue.Data.size() > MAXDWORD) {
      return err::InvalidParameter;
    }
    const DWORD size = static_cast<DWORD>(aValue.Data.size());
    if (size == 0) {
      return ::RegSetValueExW(ToHKey(aKey), aName.c_str(), 0, aValue.Type, nullptr, 0);
    }
    // For string types the system reads the character after the data and, when that is a NUL,
    // stores it too ("the caller forgot the terminator"): past the end of our buffer, and the
    // stored data would no longer be what was given. A non-zero character there keeps it exact.
    const bool stringType = aValue.Type == regtype::Sz || aValue.Type == regtype::ExpandSz ||
                            aValue.Type == regtype::MultiSz;
    if (!stringType) {
      return ::RegSetValueExW(ToHKey(aKey), aName.c_str(), 0, aValue.Type, aValue.Data.data(),
                              size);
    }
    std::vector<uint8_t> guarded = aValue.Data;
    guarded.insert(guarded.end(), {0xFF, 0xFF});
    return ::RegSetValueExW(ToHKey(aKey), aName.c_str(), 0, aValue.Type, guarded.data(), size);
  }

  TErrorCode DeleteValue(TRegHandle aKey, const std::wstring& aName) override {
    return ::RegDeleteValueW(ToHKey(aKey), aName.c_str());
  }

  TErrorCode DeleteKeyTree(TRegHandle aParent, const std::wstring& aSubKey,
                           TRegView aView) override {
    if (aSubKey.empty()) {
      return err::InvalidParameter;
    }
    const HKEY parent = ToHKey(aParent);
    const REGSAM view = ViewFlag(aView);
    // RegDeleteTreeW takes no view, so the contents are deleted through a key opened in the
    // view and the key itself by RegDeleteKeyExW, which does.
    TKey key;
    LSTATUS rc = key.Open(parent, aSubKey,
                          DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view);
    if (rc != ERROR_SUCCESS) {
      return rc;
    }
    rc = ::RegDeleteTreeW(key.Get(), nullptr);
    key.Close();
    if (rc != ERROR_SUCCESS) {
      return rc;
    }
    return ::RegDeleteKeyExW(parent, aSubKey.c_str(), view, 0);
  }

private:
  // Index enumeration; a name longer than the buffer (a key renamed or added after the size
  // query) gives ERROR_MORE_DATA and the same index is read again with a larger buffer.
  template <typename TEnum>
  static TErrorCode EnumNames(TRegHandle aKey, std::vector<std::wstring>& aNames, TEnum aEnum) {
    aNames.clear();
    const HKEY key = ToHKey(aKey);
    std::wstring buffer(256, L'\0');
    for (DWORD index = 0;;) {
      DWORD length = static_cast<DWORD>(buffer.size());
      const LSTATUS rc = aEnum(key, index, buffer.data(), &length);
      if (rc == ERROR_NO_MORE_ITEMS) {
        return ERROR_SUCCESS;
      }
      if (rc == ERROR_MORE_DATA) {
        if (buffer.size() >= 65536) {
          return rc;
        }
        buffer.assign(buffer.size() * 2, L'\0');
        continue;
      }
      if (rc != ERROR_SUCCESS) {
        aNames.clear();
        return rc;
      }
      aNames.emplace_back(buffer.data(), length);
      ++index;
    }
  }
};

} // namespace

std::unique_ptr<IRegistry> MakeWin32Registry() {
  return std::make_unique<TWin32Registry>();
}

} // namespace kplat::win32
