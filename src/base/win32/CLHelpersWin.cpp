#include "base/win32/CLHelpersWin.h"

#include "base/CLHelpers.h"
#include "platform/TextCodec.h"

#include <mapi.h>

#include <atomic>
#include <mutex>

namespace {

const wchar_t kNoMailProgramText[] =
    L"There is no email program associated to perform this operation, or the email account setup "
    L"isn't completed. Please install an email program or complete the email account creation "
    L"first and try again.";
const wchar_t kMessagingKey[] = L"SOFTWARE\\Microsoft\\Windows Messaging Subsystem";

// What a missing library or entry point answers.
constexpr ULONG kMapiMissing = 1;

int SystemMessageBox(HWND aWindow, const std::wstring& aText, const std::wstring& aCaption,
                     UINT aType) {
  return MessageBoxW(aWindow, aText.c_str(), aCaption.c_str(), aType);
}

std::atomic<TMailMessageBox> GMailMessageBox{SystemMessageBox};

struct TMapiEntries {
  LPMAPILOGON Logon = nullptr;
  LPMAPISENDMAIL SendMail = nullptr;
  LPMAPILOGOFF Logoff = nullptr;
};

template <typename TFunction> TFunction LookUp(HMODULE aModule, const char* aName) {
  // GetProcAddress gives a generic function pointer; the entry points have these signatures.
  return reinterpret_cast<TFunction>(reinterpret_cast<void*>(GetProcAddress(aModule, aName)));
}

// The Simple MAPI library, loaded on first use once the system announces it and kept until the
// process ends.
TMapiEntries Mapi() {
  static std::mutex GLock;
  static HMODULE GModule = nullptr;
  static TMapiEntries GEntries;
  std::lock_guard<std::mutex> guard(GLock);
  // Only NT-based systems are supported, where the announcement is this registry value.
  if (GModule == nullptr &&
      ReadRegString(kplat::regroot::LocalMachine, kMessagingKey, L"MAPI", L"") == L"1") {
    GModule = LoadLibraryW(L"MAPI32.DLL");
    if (GModule != nullptr) {
      GEntries.Logon = LookUp<LPMAPILOGON>(GModule, "MAPILogon");
      GEntries.SendMail = LookUp<LPMAPISENDMAIL>(GModule, "MAPISendMail");
      GEntries.Logoff = LookUp<LPMAPILOGOFF>(GModule, "MAPILogoff");
    }
  }
  return GEntries;
}

// Mail programs read 8-bit text in the system's code page.
std::string ToSystemAnsi(const std::wstring& aText) {
  if (aText.empty()) {
    return std::string();
  }
  const int size = WideCharToMultiByte(CP_ACP, 0, aText.data(), static_cast<int>(aText.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, aText.data(), static_cast<int>(aText.size()), result.data(),
                        size, nullptr, nullptr);
  }
  return result;
}

std::wstring FieldValue(const TMailFields& aFields, const std::wstring& aName) {
  for (const auto& [name, value] : aFields) {
    if (kplat::SameText(name, aName)) {
      return value;
    }
  }
  return std::wstring();
}

// Disables the thread's enabled windows for the life of the object, then enables them again.
class TDisabledThreadWindows {
public:
  TDisabledThreadWindows() {
    EnumThreadWindows(GetCurrentThreadId(), &TDisabledThreadWindows::Disable,
                      reinterpret_cast<LPARAM>(this));
  }
  ~TDisabledThreadWindows() {
    for (HWND window : FWindows) {
      EnableWindow(window, TRUE);
    }
  }
  TDisabledThreadWindows(const TDisabledThreadWindows&) = delete;
  TDisabledThreadWindows& operator=(const TDisabledThreadWindows&) = delete;

private:
  static BOOL CALLBACK Disable(HWND aWindow, LPARAM aSelf) {
    if (IsWindowVisible(aWindow) && IsWindowEnabled(aWindow)) {
      EnableWindow(aWindow, FALSE);
      reinterpret_cast<TDisabledThreadWindows*>(aSelf)->FWindows.push_back(aWindow);
    }
    return TRUE;
  }

  std::vector<HWND> FWindows;
};

} // namespace

bool SetWindowTopMost(HWND aWindow, bool aOn) {
  return SetWindowPos(aWindow, aOn ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER) != FALSE;
}

bool ForceForegroundWindow(HWND aWindow) {
  if (IsIconic(aWindow)) {
    ShowWindow(aWindow, SW_RESTORE);
  }
  ShowWindow(aWindow, SW_SHOW);
  if (GetForegroundWindow() == aWindow) {
    return true;
  }
  // The system lets a thread take the foreground when its input is attached to the thread that
  // has it; failing that, when the foreground lock time-out is 0.
  const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const DWORD windowThread = GetWindowThreadProcessId(aWindow, nullptr);
  const bool attached = foregroundThread != 0 && foregroundThread != windowThread &&
                        AttachThreadInput(windowThread, foregroundThread, TRUE) != FALSE;
  BringWindowToTop(aWindow);
  SetForegroundWindow(aWindow);
  if (attached) {
    AttachThreadInput(windowThread, foregroundThread, FALSE);
  }
  if (GetForegroundWindow() != aWindow) {
    DWORD timeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
    BringWindowToTop(aWindow);
    SetForegroundWindow(aWindow);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<PVOID>(static_cast<UINT_PTR>(timeout)), SPIF_SENDCHANGE);
  }
  return GetForegroundWindow() == aWindow;
}

bool CreateSingleInstanceMutex(const std::wstring& aName) {
  static std::mutex GLock;
  static std::vector<HANDLE> GKept;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, aName.c_str());
  if (mutex == nullptr) {
    return false;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  // Never closed: the system releases it when the process ends, which is the point.
  std::lock_guard<std::mutex> guard(GLock);
  GKept.push_back(mutex);
  return true;
}

TMailMessageBox SetMailMessageBox(TMailMessageBox aBox) {
  return GMailMessageBox.exchange(aBox != nullptr ? aBox : SystemMessageBox);
}

ULONG SendMailByMAPI(HWND aWindow, const TMailFields& aFields) {
  const TMapiEntries mapi = Mapi();
  const auto window = reinterpret_cast<ULONG_PTR>(aWindow);
  LHANDLE session = 0;
  const ULONG logon =
      mapi.Logon != nullptr
          ? mapi.Logon(window, nullptr, nullptr, MAPI_LOGON_UI | MAPI_NEW_SESSION, 0, &session)
          : kMapiMissing;
  if (logon != SUCCESS_SUCCESS) {
    GMailMessageBox.load()(aWindow, kNoMailProgramText, L"Email", MB_OK | MB_ICONINFORMATION);
    return logon;
  }

  // The converted texts live in these strings until the message has been sent.
  const std::wstring to = FieldValue(aFields, L"to");
  std::string toName = ToSystemAnsi(to);
  std::string toAddress = ToSystemAnsi(L"SMTP:" + to);
  MapiRecipDesc recipient{};
  recipient.ulRecipClass = MAPI_TO;
  recipient.lpszName = toName.data();
  recipient.lpszAddress = toAddress.data();

  std::vector<std::string> paths;
  std::vector<std::string> names;
  for (size_t i = 0;; ++i) {
    const std::wstring path = FieldValue(aFields, L"attachment" + std::to_wstring(i));
    if (path.empty()) {
      break;
    }
    paths.push_back(ToSystemAnsi(path));
    names.push_back(ToSystemAnsi(ExtractFileName(path)));
  }
  std::vector<MapiFileDesc> attachments(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    attachments[i].nPosition = static_cast<ULONG>(-1);
    attachments[i].lpszPathName = paths[i].data();
    attachments[i].lpszFileName = names[i].data();
  }

  std::string subject = ToSystemAnsi(FieldValue(aFields, L"subject"));
  std::string body = ToSystemAnsi(FieldValue(aFields, L"body"));
  MapiMessage message{};
  message.lpszSubject = subject.empty() ? nullptr : subject.data();
  message.lpszNoteText = body.empty() ? nullptr : body.data();
  if (!to.empty()) {
    message.nRecipCount = 1;
    message.lpRecips = &recipient;
  }
  message.nFileCount = static_cast<ULONG>(attachments.size());
  message.lpFiles = attachments.empty() ? nullptr : attachments.data();

  ULONG result = kMapiMissing;
  if (mapi.SendMail != nullptr) {
    TDisabledThreadWindows disabled;
    result = mapi.SendMail(session, window, &message, MAPI_DIALOG | MAPI_LOGON_UI, 0);
  }
  if (mapi.Logoff != nullptr) {
    mapi.Logoff(session, window, 0, 0);
  }
  return result;
}
