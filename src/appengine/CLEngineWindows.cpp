// The engine's part in how the windows look and read: the Windows kind, the skin and language
// lists, the choice of skin and language with their menus, and the about window.

#include "appengine/CLEngine.h"

#include "base/CLHelpers.h"
#include "base/CLSettings.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace {

constexpr wchar_t kSkinSection[] = L"SkinRes";
constexpr wchar_t kDefaultSkin[] = L"Default";
constexpr wchar_t kDefaultLanguage[] = L"English";

// The processor architectures of SYSTEM_INFO that make a 6.0 workstation winVista64.
constexpr uint32_t kArchitectureIA64 = 6;
constexpr uint32_t kArchitectureAMD64 = 9;
constexpr uint32_t kArchitectureIA32OnWin64 = 10;
constexpr uint32_t kProductWorkstation = 1;

std::wstring FolderSetting(const std::wstring& aName) {
  return GetAppPath() + GetCLSettings().GetSettingString(aName);
}

// The names of the files in aFolder matching aPattern, sorted without regard to case.
std::vector<std::wstring> SortedFileNames(const std::wstring& aFolder,
                                          const std::wstring& aPattern) {
  std::vector<std::wstring> names;
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(aFolder + L"\\" + aPattern, data); found; found = find.Next(data)) {
    if ((data.Attributes & kplat::fileattr::Directory) == 0) {
      names.push_back(data.Name);
    }
  }
  std::sort(names.begin(), names.end(), [](const std::wstring& aLeft, const std::wstring& aRight) {
    return kplat::CompareText(aLeft, aRight) < 0;
  });
  return names;
}

std::wstring WithoutExtension(const std::wstring& aName) {
  const size_t dot = aName.rfind(L'.');
  return dot == std::wstring::npos ? aName : aName.substr(0, dot);
}

// A menu caption showing aText as it is ("&" would mark an accelerator).
std::wstring MenuCaption(const std::wstring& aText) {
  std::wstring caption;
  for (wchar_t c : aText) {
    caption += c;
    if (c == L'&') {
      caption += c;
    }
  }
  return caption;
}

} // namespace

TWindowsTypeEx WindowsTypeOf(const kplat::TOSVersion& aVersion) {
  TWindowsTypeEx kind;
  if (aVersion.Major != 6 || aVersion.Minor != 0) {
    return kind;
  }
  if (aVersion.ProductType != kProductWorkstation) {
    kind.OSKind = TWindowsType::winLonghorn;
  } else if (aVersion.ProcessorArchitecture == kArchitectureAMD64 ||
             aVersion.ProcessorArchitecture == kArchitectureIA64 ||
             aVersion.ProcessorArchitecture == kArchitectureIA32OnWin64) {
    kind.OSKind = TWindowsType::winVista64;
  } else {
    kind.OSKind = TWindowsType::winVista;
  }
  return kind;
}

TWindowsTypeEx GetWindowsTypeEx() {
  return WindowsTypeOf(kplat::Platform().System().GetVersion());
}

// --- Lists

const TStringList& TCLEngine::GetSkinList() {
  if (!FSkinListBuilt) {
    FSkinListBuilt = true;
    FSkinList.Add(kDefaultSkin);
    for (const std::wstring& file : SortedFileNames(FolderSetting(L"Path.Skins"), L"*.skn")) {
      // "Blue.skn" and "Blue.nsf.skn" (a skin that keeps the native frame) both name Blue.
      std::wstring name = WithoutExtension(WithoutExtension(file));
      if (!kplat::SameText(name, kDefaultSkin)) {
        FSkinList.Add(std::move(name));
      }
    }
  }
  return FSkinList;
}

const TStringList& TCLEngine::GetLanguageList() {
  if (!FLanguageListBuilt) {
    FLanguageListBuilt = true;
    FLanguageList.Add(kDefaultLanguage);
    for (const std::wstring& file : SortedFileNames(FolderSetting(L"Path.Languages"), L"*.lan")) {
      std::wstring name = WithoutExtension(file);
      if (!kplat::SameText(name, kDefaultLanguage)) {
        FLanguageList.Add(std::move(name));
      }
    }
  }
  return FLanguageList;
}

// --- Skins

void TCLEngine::SetSkinData(TCLSkinData* aData) {
  if (aData == FSkinData) {
    return;
  }
  if (FSkinData != nullptr) {
    RemoveFreeNotification(FSkinData);
  }
  FSkinData = aData;
  if (FSkinData != nullptr) {
    FreeNotification(FSkinData);
    FillSkinResStrings();
  }
}

void TCLEngine::SetSkin(const std::wstring& Value) {
  const std::wstring name = Value.empty() ? kDefaultSkin : Value;
  if (FSkinData == nullptr || name == FSkin) {
    return;
  }
  const std::wstring folder = FolderSetting(L"Path.Skins");
  std::wstring file = folder + L"\\" + name + L".skn";
  bool skinnedForm = true;
  if (!kplat::FileExists(file)) {
    file = folder + L"\\" + name + L".nsf.skn";
    skinnedForm = false;
  }
  // A file that is there but cannot be loaded counts as missing, so that the name stored is
  // always that of the skin shown.
  TCLSkinLoadResult loaded;
  if (kplat::FileExists(file)) {
    loaded = FSkinData->LoadFromFile(file, skinnedForm);
    if (!loaded) {
      kplat::DebugLog(L"Skin", loaded.Error);
    }
  }
  if (loaded) {
    FSkin = name;
  } else {
    if (!FSkin.empty()) {
      FSkinData->UseBuiltInSkin();
    }
    FSkin = kDefaultSkin;
  }
  if (GetWindowsTypeEx().OSKind == TWindowsType::winVista64) {
    FSkinData->SetGlowFrames(false, false);
  }
  GetCLSettings().SetSettingstring(L"Skin", FSkin);
  TickMenu(FSkinMenuItems, GetSkinList(), FSkin);
  if (!FInLoaded && OnSkinChanged) {
    OnSkinChanged(*this);
  }
}

std::wstring TCLEngine::GetSkinResString(const std::wstring& strName) const {
  if (FSkinData != nullptr) {
    const TStringList& strings = FSkinData->ResourceStrings();
    const int index = strings.IndexOfName(strName);
    if (index >= 0) {
      return strings.ValueFromIndex(index);
    }
  }
  return GetText(kSkinSection, strName);
}

void TCLEngine::FillSkinResStrings() {
  if (FSkinData == nullptr || FLanguageData == nullptr) {
    return;
  }
  TStringList& strings = FSkinData->ResourceStrings();
  strings.Clear();
  FLanguageData->GetSectionStrings(kSkinSection, strings);
}

// --- Languages

void TCLEngine::SetLanguage(const std::wstring& Value) {
  const std::wstring name = Value.empty() ? L"Default" : Value;
  if (FLanguageData == nullptr || name == FLanguage) {
    return;
  }
  const std::wstring file = FolderSetting(L"Path.Languages") + L"\\" + name + L".lan";
  // A file that is there but cannot be read counts as missing, so that the name stored is
  // always that of the texts shown.
  if (kplat::FileExists(file) && FLanguageData->LoadCurrentFromFile(file)) {
    FLanguage = name;
  } else {
    if (!FLanguage.empty()) {
      FLanguageData->ClearCurrentAll();
      // The open windows still show the language before: give them the built-in texts.
      FLanguageData->ApplyClients();
    }
    FLanguage = kDefaultLanguage;
  }
  GetCLSettings().SetSettingstring(L"Language", FLanguage);
  // Without a menu (the command line) the languages folder is not listed.
  if (!FLanguageMenuItems.empty()) {
    TickMenu(FLanguageMenuItems, GetLanguageList(), FLanguage);
  }
  FillSkinResStrings();
  if (!FInLoaded && OnLanguageChanged) {
    OnLanguageChanged(*this);
  }
  UpdateTitle();
}

// --- Menus

void TCLEngine::SetSkinMenuItem(TMenuItem* aItem) {
  if (aItem == FSkinMenuItem) {
    return;
  }
  BuildMenu(nullptr, FSkinMenuItems, FSkinList, FSkin, nullptr);
  if (FSkinMenuItem != nullptr) {
    RemoveFreeNotification(FSkinMenuItem);
  }
  FSkinMenuItem = aItem;
  if (FSkinMenuItem != nullptr) {
    FreeNotification(FSkinMenuItem);
  }
}

void TCLEngine::SetLanguageMenuItem(TMenuItem* aItem) {
  if (aItem == FLanguageMenuItem) {
    return;
  }
  BuildMenu(nullptr, FLanguageMenuItems, FLanguageList, FLanguage, nullptr);
  if (FLanguageMenuItem != nullptr) {
    RemoveFreeNotification(FLanguageMenuItem);
  }
  FLanguageMenuItem = aItem;
  if (FLanguageMenuItem != nullptr) {
    FreeNotification(FLanguageMenuItem);
  }
}

void TCLEngine::BuildSkinMenu() {
  BuildMenu(FSkinMenuItem, FSkinMenuItems, GetSkinList(), FSkin, &TCLEngine::SetSkin);
}

void TCLEngine::BuildLanguageMenu() {
  BuildMenu(FLanguageMenuItem, FLanguageMenuItems, GetLanguageList(), FLanguage,
            &TCLEngine::SetLanguage);
}

void TCLEngine::BuildMenu(TMenuItem* aParent, std::vector<TMenuItem*>& aItems,
                          const TStringList& aNames, const std::wstring& aCurrent,
                          void (TCLEngine::*aChoose)(const std::wstring&)) {
  // Freeing an entry takes it out of aItems (Notification).
  while (!aItems.empty()) {
    delete aItems.back();
  }
  if (aParent == nullptr) {
    return;
  }
  aParent->SetVisible(aNames.Count() > 1);
  if (aNames.Count() <= 1) {
    return;
  }
  for (int i = 0; i < aNames.Count(); ++i) {
    auto* item = new TMenuItem(this);
    item->SetCaption(MenuCaption(aNames.Strings(i)));
    item->SetRadioItem(true);
    item->SetTag(i);
    item->OnClick = [this, aChoose, name = aNames.Strings(i)](TObject&) { (this->*aChoose)(name); };
    FreeNotification(item);
    aParent->Add(item);
    aItems.push_back(item);
  }
  TickMenu(aItems, aNames, aCurrent);
}

void TCLEngine::TickMenu(const std::vector<TMenuItem*>& aItems, const TStringList& aNames,
                         const std::wstring& aName) {
  for (TMenuItem* item : aItems) {
    item->SetChecked(kplat::SameText(aNames.Strings(item->Tag()), aName));
  }
}
