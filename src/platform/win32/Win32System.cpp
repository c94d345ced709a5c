#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Parts.h"

#include <bcrypt.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <utility>

namespace kplat::win32 {

namespace {

// "C:\Windows\" becomes "C:\Windows"; a drive's root keeps its backslash, it names the root.
std::wstring WithoutTrailingBackslash(std::wstring aPath) {
  while (aPath.size() > 1 && aPath.back() == L'\\' && !(aPath.size() == 3 && aPath[1] == L':')) {
    aPath.pop_back();
  }
  return aPath;
}

template <typename TCall> std::wstring TextOrEmpty(TCall aCall) {
  std::wstring text;
  if (!ReadGrowingText(aCall, text)) {
    text.clear();
  }
  return text;
}

using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOEXW*);

bool QueryVersion(OSVERSIONINFOEXW& aInfo) {
  aInfo = OSVERSIONINFOEXW{};
  aInfo.dwOSVersionInfoSize = sizeof(aInfo);
  // GetVersionExW reports the version the program's manifest claims to know, not the real one;
  // the kernel's own call does not lie.
  if (const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll"); ntdll != nullptr) {
    const auto rtlGetVersion = reinterpret_cast<TRtlGetVersion>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion != nullptr && rtlGetVersion(&aInfo) == 0) {
      return true;
    }
  }
  aInfo = OSVERSIONINFOEXW{};
  aInfo.dwOSVersionInfoSize = sizeof(aInfo);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&aInfo)) != FALSE;
#pragma GCC diagnostic pop
}

class TWin32System : public ISystem {
public:
  bool GetEnv(const std::wstring& aName, std::wstring& aValue) override {
    const bool found = ReadGrowingText(
        [&aName](wchar_t* aBuffer, DWORD aSize) {
          return ::GetEnvironmentVariableW(aName.c_str(), aBuffer, aSize);
        },
        aValue);
    if (!found) {
      aValue.clear();
    }
    return found;
  }

  TErrorCode SetEnv(const std::wstring& aName, const std::wstring& aValue) override {
    return ::SetEnvironmentVariableW(aName.c_str(), aValue.c_str()) ? err::Success : LastError();
  }

  std::wstring ExpandEnvironmentStrings(const std::wstring& aText) override {
    // The answer counts the terminating NUL, both when it fits and when it does not; the
    // environment can change between two calls, so loop.
    std::wstring buffer(aText.size() + MAX_PATH, L'\0');
    for (;;) {
      const DWORD needed = ::ExpandEnvironmentStringsW(aText.c_str(), buffer.data(),
                                                       static_cast<DWORD>(buffer.size()));
      if (needed == 0) {
        return aText;
      }
      if (needed <= buffer.size()) {
        buffer.resize(needed - 1);
        return buffer;
      }
      buffer.assign(needed, L'\0');
    }
  }

  TOSVersion GetVersion() override {
    TOSVersion version;
    OSVERSIONINFOEXW info;
    if (QueryVersion(info)) {
      version.Major = info.dwMajorVersion;
      version.Minor = info.dwMinorVersion;
      version.Build = info.dwBuildNumber;
      version.ServicePack = info.szCSDVersion;
      version.ProductType = info.wProductType;
    }
    SYSTEM_INFO system;
    ::GetNativeSystemInfo(&system);
    version.ProcessorArchitecture = system.wProcessorArchitecture;
    return version;
  }

  uint16_t GetSystemDefaultLangID() override { return ::GetSystemDefaultLangID(); }

  TErrorCode GetDateTimeFormats(TDateTimeFormats& aFormats) override {
    TDateTimeFormats formats;
    const std::pair<LCTYPE, std::wstring*> items[] = {{LOCALE_SSHORTDATE, &formats.ShortDate},
                                                      {LOCALE_STIMEFORMAT, &formats.LongTime},
                                                      {LOCALE_SDATE, &formats.DateSeparator},
                                                      {LOCALE_STIME, &formats.TimeSeparator},
                                                      {LOCALE_S1159, &formats.TimeAM},
                                                      {LOCALE_S2359, &formats.TimePM},
                                                      {LOCALE_SDECIMAL, &formats.DecimalSeparator}};
    for (const auto& [type, text] : items) {
      // Locale texts are at most 80 characters; the count includes the closing zero.
      wchar_t buffer[128];
      const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer,
                                           static_cast<int>(std::size(buffer)));
      if (length <= 0) {
        return LastError();
      }
      text->assign(buffer, static_cast<size_t>(length - 1));
    }
    aFormats = std::move(formats);
    return err::Success;
  }

  uint32_t GetAnsiCodePage() override { return ::GetACP(); }

  TErrorCode DecodeCodePage(uint32_t aCodePage, std::string_view aBytes,
                            std::wstring& aText) override {
    if (aBytes.empty()) {
      // The call refuses empty input; asking about the code page still tells whether it exists.
      CPINFO info;
      if (!::GetCPInfo(aCodePage, &info)) {
        return err::InvalidParameter;
      }
      aText.clear();
      return err::Success;
    }
    const int size = static_cast<int>(std::min<size_t>(aBytes.size(), INT_MAX));
    const int needed = ::MultiByteToWideChar(aCodePage, 0, aBytes.data(), size, nullptr, 0);
    if (needed <= 0) {
      return LastError();
    }
    std::wstring text(static_cast<size_t>(needed), L'\0');
    if (::MultiByteToWideChar(aCodePage, 0, aBytes.data(), size, text.data(), needed) != needed) {
      return LastError();
    }
    aText = std::move(text);
    return err::Success;
  }

  TErrorCode EncodeCodePage(uint32_t aCodePage, std::wstring_view aText,
                            std::string& aBytes) override {
    CPINFO info;
    if (!::GetCPInfo(aCodePage, &info)) {
      return err::InvalidParameter;
    }
    if (aText.empty()) {
      aBytes.clear();
      return err::Success;
    }
    // Without WC_NO_BEST_FIT_CHARS the system writes look-alikes ("A" for "\u0100").
    const int size = static_cast<int>(std::min<size_t>(aText.size(), INT_MAX));
    const int needed = ::WideCharToMultiByte(aCodePage, WC_NO_BEST_FIT_CHARS, aText.data(), size,
                                             nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
      return LastError();
    }
    std::string bytes(static_cast<size_t>(needed), '\0');
    if (::WideCharToMultiByte(aCodePage, WC_NO_BEST_FIT_CHARS, aText.data(), size, bytes.data(),
                              needed, nullptr, nullptr) != needed) {
      return LastError();
    }
    aBytes = std::move(bytes);
    return err::Success;
  }

  TErrorCode GetRandomBytes(uint8_t* aData, size_t aSize) override {
    while (aSize > 0) {
      const ULONG piece = static_cast<ULONG>(aSize < (1u << 30) ? aSize : (1u << 30));
      const NTSTATUS status =
          ::BCryptGenRandom(nullptr, aData, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
      if (!BCRYPT_SUCCESS(status)) {
        return ERROR_GEN_FAILURE;
      }
      aData += piece;
      aSize -= piece;
    }
    return ERROR_SUCCESS;
  }

  std::wstring GetProgramPath() override {
    return TextOrEmpty([](wchar_t* aBuffer, DWORD aSize) {
      return ::GetModuleFileNameW(nullptr, aBuffer, aSize);
    });
  }

  std::wstring GetTempFolder() override {
    return TextOrEmpty(
        [](wchar_t* aBuffer, DWORD aSize) { return ::GetTempPathW(aSize, aBuffer); });
  }

  std::wstring GetWindowsFolder() override {
    return WithoutTrailingBackslash(TextOrEmpty(
        [](wchar_t* aBuffer, DWORD aSize) { return ::GetWindowsDirectoryW(aBuffer, aSize); }));
  }

  std::wstring GetSystemFolder() override {
    return WithoutTrailingBackslash(TextOrEmpty(
        [](wchar_t* aBuffer, DWORD aSize) { return ::GetSystemDirectoryW(aBuffer, aSize); }));
  }

  std::wstring GetCurrentFolder() override {
    return WithoutTrailingBackslash(TextOrEmpty(
        [](wchar_t* aBuffer, DWORD aSize) { return ::GetCurrentDirectoryW(aSize, aBuffer); }));
  }
};

} // namespace

std::unique_ptr<ISystem> MakeWin32System() {
  return std::make_unique<TWin32System>();
}

} // namespace kplat::win32
