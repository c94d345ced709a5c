#include "appengine/CLEngine.h"

#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "base/CLSettings.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <string_view>

namespace {

TCLEngine* GEngine = nullptr;

constexpr wchar_t kLibSection[] = L"LibRes";
constexpr wchar_t kAppSection[] = L"AppRes";
constexpr wchar_t kExePathToken[] = L"%exepath%";

// The HTTP form encoding of a parameter value, in the system's ANSI code page.
std::wstring EncodeParam(const std::wstring& aValue) {
  return AnsiToWide(HTTPEncode(WideToSystemAnsi(aValue)));
}

// A drive path ("C:\..."), as "%exepath%" makes an address.
bool IsLocalPath(const std::wstring& aAddress) {
  return aAddress.size() >= 3 && std::iswalpha(aAddress[0]) && aAddress[1] == L':' &&
         (aAddress[2] == L'\\' || aAddress[2] == L'/');
}

// A page of the program's folder as a file address ("file:///C:/Program%20Files/..."), or empty
// for a path that is not an existing file of that folder: no name may climb out with ".." (Windows
// drops trailing dots and blanks, so any name of only those) or name a stream.
std::wstring LocalPageAddress(std::wstring aPath) {
  std::replace(aPath.begin(), aPath.end(), L'/', L'\\');
  const std::wstring folder = GetAppPath();
  if (!StartsText(aPath, folder)) {
    return std::wstring();
  }
  std::vector<std::wstring> names;
  SplitText(aPath.substr(folder.size()), L'\\', names);
  for (const std::wstring& name : names) {
    if (name.find_first_not_of(L". ") == std::wstring::npos ||
        name.find(L':') != std::wstring::npos) {
      return std::wstring();
    }
  }
  if (!kplat::FileExists(aPath)) {
    return std::wstring();
  }
  // Letters, digits and the separators stay; everything else is percent-encoded UTF-8.
  std::wstring address = L"file:///";
  for (const char c : kplat::ToUtf8(aPath)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\\') {
      address += L'/';
    } else if ((byte < 0x80 && std::isalnum(byte) != 0) ||
               std::string_view("-._~:").find(static_cast<char>(byte)) != std::string_view::npos) {
      address += static_cast<wchar_t>(byte);
    } else {
      address += L'%' + UpperHex(byte, 2);
    }
  }
  return address;
}

// The current local time as two-digit seconds and three-digit milliseconds.
std::wstring TimeToken() {
  kplat::IClock& clock = kplat::Platform().Clock();
  const uint64_t ms = clock.UtcToLocal(clock.NowUtc()) / 10000;
  return ZeroPadded(static_cast<int>(ms / 1000 % 60), 2) +
         ZeroPadded(static_cast<int>(ms % 1000), 3);
}

// Two upper-case hexadecimal digits per UTF-16 unit: its low byte.
std::wstring HexOfUnits(const std::wstring& aText) {
  const std::vector<uint8_t> units = kplat::EncodeUtf16Le(aText);
  std::wstring hex;
  for (size_t i = 0; i < units.size(); i += 2) {
    hex += UpperHex(units[i], 2);
  }
  return hex;
}

// The distribution channel: "CHL" below the local machine's "Software\" + "App.RegPath".
std::wstring ChannelName() {
  std::wstring channel = ReadRegString(
      kplat::regroot::LocalMachine,
      L"Software\\" + GetCLSettings().GetSettingString(L"App.RegPath"), L"CHL", L"unknow");
  std::erase(channel, L'"');
  return ExtractFileName(channel);
}

} // namespace

TCLEngine::TCLEngine(TComponent* aOwner) : TComponent(aOwner), FDebug(kplat::DebugEnabled()) {
  HookOwnerForm();
  FSettingDefault.Add(L"Path.Skins=skins");
  FSettingDefault.Add(L"Path.Languages=lang");
  if (GEngine == nullptr) {
    GEngine = this;
    SetCLSettingsOwner(this);
    SetCLFormHost(this);
  }
}

TCLEngine::~TCLEngine() {
  UnhookOwnerForm();
  if (GEngine == this) {
    GEngine = nullptr;
    SetCLSettingsOwner(nullptr);
    SetCLFormHost(nullptr);
  }
}

TForm* TCLEngine::MainForm() const {
  return dynamic_cast<TForm*>(Owner());
}

void TCLEngine::TellSettingsUnreadable(const std::wstring& aFileName) {
  ShowMessageEx(L"Settings.Unreadable", {aFileName}, true, mr::None, mb::OK, TMsgDlgType::mtWarning,
                0);
}

std::wstring ExpandExePath(const std::wstring& aText) {
  return ReplaceText(aText, kExePathToken, GetAppPathNoSlash());
}

TCLEngine* GetCLEngine() {
  return GEngine;
}

void TCLEngine::SetLanguageData(TCLMultiLangData* aData) {
  if (aData == FLanguageData) {
    return;
  }
  if (FLanguageData != nullptr) {
    RemoveFreeNotification(FLanguageData);
  }
  FLanguageData = aData;
  if (FLanguageData != nullptr) {
    FreeNotification(FLanguageData);
  }
}

void TCLEngine::Notification(TComponent& aComponent, TOperation aOperation) {
  TComponent::Notification(aComponent, aOperation);
  if (aOperation != TOperation::opRemove) {
    return;
  }
  if (&aComponent == FLanguageData) {
    FLanguageData = nullptr;
  }
  if (&aComponent == FSkinData) {
    FSkinData = nullptr;
  }
  if (&aComponent == FSkinMenuItem) {
    FSkinMenuItem = nullptr;
  }
  if (&aComponent == FLanguageMenuItem) {
    FLanguageMenuItem = nullptr;
  }
  const auto isGone = [&aComponent](const TMenuItem* aItem) { return aItem == &aComponent; };
  std::erase_if(FSkinMenuItems, isGone);
  std::erase_if(FLanguageMenuItems, isGone);
}

// --- Texts

std::wstring TCLEngine::GetText(const std::wstring& aSection, const std::wstring& strName) const {
  std::wstring value;
  if (FLanguageData == nullptr || !FLanguageData->GetProp(aSection, L"", strName, value)) {
    return std::wstring();
  }
  return value;
}

std::wstring TCLEngine::GetLibString(const std::wstring& strName) const {
  return GetText(kLibSection, strName);
}

std::wstring TCLEngine::GetAppString(const std::wstring& strName) const {
  return GetText(kAppSection, strName);
}

std::wstring TCLEngine::GetLibStringEx(const std::wstring& strName,
                                       const std::vector<std::wstring>& aArgs) const {
  return FormatArgs(GetLibString(strName), aArgs);
}

std::wstring TCLEngine::GetAppStringEx(const std::wstring& strName,
                                       const std::vector<std::wstring>& aArgs) const {
  return FormatArgs(GetAppString(strName), aArgs);
}

std::wstring TCLEngine::GetAppName() const {
  std::wstring name = FLanguageData != nullptr ? FLanguageData->AppName() : std::wstring();
  return name.empty() ? GetCLSettings().GetSettingString(L"App.Name") : name;
}

void TCLEngine::SetTitleIncludeVer(bool aValue) {
  FTitleIncludeVer = aValue;
  UpdateTitle();
}

void TCLEngine::UpdateTitle() {
  TCLSettings& settings = GetCLSettings();
  FAppTitle = GetAppName();
  if (FTitleIncludeVer) {
    FAppTitle += L"  " + settings.GetSettingString(L"App.Ver");
  }
  if (settings.GetSettingBool(L"App.NoAutoTitle")) {
    return;
  }
  if (Owner() != nullptr) {
    Owner()->SetPropText(L"Caption", FAppTitle);
  }
  if (OnTitleChange) {
    OnTitleChange(*this);
  }
}

// --- Message service

std::wstring TCLEngine::GetMessageText(const std::wstring& strName, bool bLib) const {
  const std::wstring text = bLib ? GetLibString(strName) : GetAppString(strName);
  if (!text.empty()) {
    return text;
  }
  return (bLib ? L"[LibRes]" : L"[AppRes]") + strName;
}

TModalResult TCLEngine::ShowMessageEx(const std::wstring& strName,
                                      const std::vector<std::wstring>& aArgs, bool bLib,
                                      TModalResult aDefaultResult, TMsgDlgButtons aButtons,
                                      TMsgDlgType aDlgType, int32_t aShowAgain) {
  TCLSettings& settings = GetCLSettings();
  if (aShowAgain != 0 && !settings.GetMessageShowAgainFlag(aShowAgain)) {
    return aDefaultResult != mr::None ? aDefaultResult
                                      : settings.GetMessageShowAgainResult(aShowAgain);
  }
  if (FMessageDlg == nullptr) {
    return mr::None;
  }
  TCLMessageRequest request;
  request.Text = FormatArgs(GetMessageText(strName, bLib), aArgs);
  request.Caption = GetAppName();
  request.DlgType = aDlgType;
  request.Buttons = aButtons;
  if (aShowAgain != 0) {
    request.ShowFlagCaption = GetSkinResString(L"MSG_CAP_SHOWFLAG");
    if (request.ShowFlagCaption.empty()) {
      CLBuiltInEnglishData().GetProp(L"SkinRes", L"", L"MSG_CAP_SHOWFLAG", request.ShowFlagCaption);
    }
  }
  bool checked = false;
  TModalResult result = mr::None;
  {
    // A message box runs a modal loop of its own, as a modal form does.
    const TModalWindowScope modal;
    result = FMessageDlg->Show(request, checked);
  }
  if (aShowAgain != 0 && checked) {
    settings.SetMessageShowAgainFlag(aShowAgain, false);
    settings.SetMessageShowAgainResult(aShowAgain, result);
  }
  return result;
}

TModalResult TCLEngine::ShowErrorMessage(const std::wstring& strError,
                                         const std::wstring& strErrorParam, bool bLib) {
  return ShowMessageEx(strError, {strErrorParam}, bLib, mr::None, mb::OK, TMsgDlgType::mtError, 0);
}

// --- Web addresses

std::wstring TCLEngine::GetURL(const std::wstring& strPage, bool bAddParams) const {
  TCLSettings& settings = GetCLSettings();
  std::wstring address = settings.GetSettingString(L"URL." + strPage);
  if (!Trim(address).empty()) {
    address = ReplaceText(address, kExePathToken, GetAppPathNoSlash());
  } else {
    address = settings.GetSettingString(L"URL.Redirect");
  }
  if (bAddParams && StartsText(address, L"http")) {
    // Encoded: a page name from a web page's "wcme:" link adds no parameters of its own.
    const std::wstring query =
        L"ACTION=" + kplat::FromUtf8(HTTPEncode(kplat::ToUtf8(strPage))) + L"&" + GetURLParam();
    if (address.find(L'?') == std::wstring::npos) {
      address += L"?";
    } else if (!address.ends_with(L'&') && !address.ends_with(L'?')) {
      address += L"&";
    }
    address += query;
  }
  return address;
}

std::wstring TCLEngine::GetURLParam() const {
  TCLSettings& settings = GetCLSettings();
  const kplat::TOSVersion version = kplat::Platform().System().GetVersion();
  std::wstring params = EncodeParam(TimeToken());
  params += L"&LANG=" + EncodeParam(settings.GetSettingString(L"Language"));
  params += L"&DAY=" + EncodeParam(std::to_wstring(settings.GetRunDays()));
  params += L"&RUNTIME=" + EncodeParam(std::to_wstring(settings.RunTimes()));
  params += L"&VER=" + EncodeParam(PackVersion(settings.GetSettingString(L"App.Ver")));
  params += L"&SVER=" + EncodeParam(std::to_wstring(settings.GetSettingInteger(L"App.SubVer")));
  params += L"&WVER=" + EncodeParam(std::to_wstring(version.Major) + L"_" +
                                    std::to_wstring(version.Minor) + L"_" + version.ServicePack);
  params += L"&WLANG=" +
            EncodeParam(std::to_wstring(kplat::Platform().System().GetSystemDefaultLangID()));
  params += L"&CHL=" + EncodeParam(HexOfUnits(ChannelName()));
  return params;
}

void TCLEngine::ShowPage(const std::wstring& strPage) const {
  ShowPageByURL(GetURL(strPage, true));
}

bool TCLEngine::ShowPageByURL(const std::wstring& strURL) const {
  if (IsLocalPath(strURL)) {
    const std::wstring address = LocalPageAddress(strURL);
    return !address.empty() && OpenURLInBrowser(address);
  }
  return OpenURLInBrowser(strURL);
}

void TCLEngine::WebBeforeNavigate2(const std::wstring& URL, bool& Cancel) const {
  if (!StartsText(URL, L"wcme:")) {
    return;
  }
  Cancel = true;
  std::vector<std::wstring> params;
  ParseURLParams(URL, params, true);
  for (const std::wstring& param : params) {
    const size_t equals = param.find(L'=');
    if (kplat::SameText(param.substr(0, equals), L"PAGE") && equals != std::wstring::npos &&
        equals + 1 < param.size()) {
      ShowPage(param.substr(equals + 1));
      return;
    }
  }
}

std::wstring PackVersion(const std::wstring& aVersion) {
  std::vector<std::wstring> parts;
  SplitText(aVersion.substr(0, aVersion.find(L' ')), L'.', parts);
  uint32_t packed = 0;
  if (parts.size() == 4) {
    for (const std::wstring& part : parts) {
      // a * 2^24 keeps only a mod 256 in 32 bits, like the other parts.
      const uint32_t number = static_cast<uint32_t>(ParseIniInteger(part).value_or(0));
      packed = (packed << 8) | (number & 0xFF);
    }
  }
  return UpperHex(packed, 8);
}
