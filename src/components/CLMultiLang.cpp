#include "components/CLMultiLang.h"

#include "base/CLHelpers.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>

namespace {

// What the collection direction never writes: objects of the skinning toolkit, the browser and
// the engine, names, skin bindings, edit texts and layout values.
constexpr std::array<const wchar_t*, 26> kDefaultExcludeProps = {L"TWebBrowser:",
                                                                 L":TComponentName",
                                                                 L".SkinDataName",
                                                                 L"TspResourceStrData:",
                                                                 L"TShockwaveFlash:",
                                                                 L"TspSkinNotebook:",
                                                                 L"TEmbeddedWB:",
                                                                 L"TspCompressedStoredSkin:",
                                                                 L"TspSkinMessage:",
                                                                 L"TCLEngine:",
                                                                 L"TspSkinData:",
                                                                 L".Text",
                                                                 L"TIEDownload:",
                                                                 L":TComponentName",
                                                                 L".SkinDataName",
                                                                 L".EditSkinDataName",
                                                                 L".LabelSkinDataName",
                                                                 L".ButtonSkinDataName",
                                                                 L".BothSkinDataName",
                                                                 L".MessageLabelSkinDataName",
                                                                 L".Category",
                                                                 L".CompressedFileName",
                                                                 L".TrackBarSkinDataName",
                                                                 L".TabWidths",
                                                                 L".HeaderSkinDataName",
                                                                 L".LVHeaderSkinDataName"};

bool IsAppNameKey(std::wstring_view aForm, std::wstring_view aComp, std::wstring_view aProp) {
  return kplat::SameText(aForm, L"AppRes") &&
         (aComp.empty()
              ? kplat::SameText(aProp, L"AppName")
              : kplat::SameText(std::wstring(aComp) + L"." + std::wstring(aProp), L"AppName"));
}

// Every "{AppName}", in any case, replaced by aAppName.
std::wstring SubstituteAppName(const std::wstring& aText, const std::wstring& aAppName) {
  return ReplaceText(aText, L"{APPNAME}", aAppName);
}

bool IsLanguageComponent(const TComponent& aComponent) {
  return dynamic_cast<const TCLMultiLang*>(&aComponent) != nullptr ||
         dynamic_cast<const TCLMultiLangData*>(&aComponent) != nullptr;
}

bool IsTextProperty(const TPropInfo& aProp) {
  return aProp.Kind == TPropKind::Strings ||
         (aProp.Kind == TPropKind::String && aProp.TypeName != L"TComponentName");
}

std::wstring ItemPrefix(const std::wstring& aParentComp, const TPropInfo& aProp, int aIndex) {
  return aParentComp + L"." + aProp.Name + L"[" + std::to_wstring(aIndex) + L"]";
}

} // namespace

// --- TCLMultiLangData ---------------------------------------------------------------------------

TCLMultiLangData::TCLMultiLangData(TComponent* aOwner) : TComponent(aOwner) {
  for (const wchar_t* pattern : kDefaultExcludeProps)
    FExcludeProps.Add(pattern);
  PublishBool(
      L"AutoApply", [this] { return FAutoApply; }, [this](bool aValue) { FAutoApply = aValue; });
  PublishBool(
      L"ExcludeEmptyProp", [this] { return FExcludeEmptyProp; },
      [this](bool aValue) { FExcludeEmptyProp = aValue; });
  PublishBool(
      L"ExcludeNumberEndProps", [this] { return FExcludeNumberEndProps; },
      [this](bool aValue) { FExcludeNumberEndProps = aValue; });
  PublishBool(
      L"ExcludeWithAction", [this] { return FExcludeWithAction; },
      [this](bool aValue) { FExcludeWithAction = aValue; });
}

TCLMultiLangData::~TCLMultiLangData() {
  for (TCLMultiLang* client : FClients)
    client->FLanguageData = nullptr;
  FClients.clear();
}

void TCLMultiLangData::AddClient(TCLMultiLang* aClient) {
  if (aClient == nullptr || std::find(FClients.begin(), FClients.end(), aClient) != FClients.end())
    return;
  FClients.push_back(aClient);
}

void TCLMultiLangData::RemoveClient(TCLMultiLang* aClient) {
  std::erase(FClients, aClient);
}

void TCLMultiLangData::ApplyClients() {
  // A window's language-change handler may open or close windows: work on a copy and skip the
  // clients that left meanwhile.
  const std::vector<TCLMultiLang*> clients = FClients;
  for (TCLMultiLang* client : clients) {
    if (std::find(FClients.begin(), FClients.end(), client) != FClients.end())
      client->ApplyData();
  }
}

bool TCLMultiLangData::GetProp(std::wstring_view aForm, std::wstring_view aComp,
                               std::wstring_view aProp, std::wstring& aValue) const {
  if (!FLangCurrentData.GetProp(aForm, aComp, aProp, aValue) &&
      !FLangDefaultData.GetProp(aForm, aComp, aProp, aValue))
    return false;
  if (!IsAppNameKey(aForm, aComp, aProp))
    aValue = SubstituteAppName(aValue, AppName());
  return true;
}

bool TCLMultiLangData::SetProp(std::wstring_view aForm, std::wstring_view aComp,
                               std::wstring_view aProp, std::wstring_view aValue) {
  return FLangCurrentData.SetProp(aForm, aComp, aProp, aValue);
}

void TCLMultiLangData::ClearForm(std::wstring_view aForm) {
  FLangCurrentData.ClearForm(aForm);
}

void TCLMultiLangData::UpdateData() {
  FLangCurrentData.UpdateData();
}

void TCLMultiLangData::GetSectionStrings(std::wstring_view aSection, TStringList& aList) const {
  const std::wstring appName = AppName();
  for (const TCLMultiLangLan* language : {&FLangCurrentData, &FLangDefaultData}) {
    TStringList found;
    language->GetSectionStrings(aSection, found);
    for (int i = 0; i < found.Count(); ++i) {
      const std::wstring name = found.Names(i);
      if (aList.IndexOfName(name) >= 0)
        continue;
      const std::wstring value = found.ValueFromIndex(i);
      aList.Add(name + L"=" +
                (IsAppNameKey(aSection, L"", name) ? value : SubstituteAppName(value, appName)));
    }
  }
}

TIniLoadResult TCLMultiLangData::LoadCurrentFromFile(const std::wstring& aFileName) {
  const TIniLoadResult result = FLangCurrentData.LoadFromFile(aFileName);
  if (result)
    ApplyClients();
  return result;
}

kplat::TErrorCode TCLMultiLangData::SaveCurrentToFile(const std::wstring& aFileName) {
  FLangCurrentData.SortData();
  return FLangCurrentData.SaveToFile(aFileName);
}

void TCLMultiLangData::ClearCurrentAll() {
  FLangCurrentData.ClearAll();
}

void TCLMultiLangData::ClearCurrentAllForm() {
  FLangCurrentData.ClearAllForm();
}

void TCLMultiLangData::DefaultToCurrent() {
  FLangDefaultData.AssignTo(FLangCurrentData);
}

std::wstring TCLMultiLangData::AppName() const {
  std::wstring name;
  if (FLangCurrentData.GetProp(L"AppRes", L"", L"AppName", name) && !name.empty())
    return name;
  name.clear();
  FLangDefaultData.GetProp(L"AppRes", L"", L"AppName", name);
  return name;
}

std::wstring TCLMultiLangData::CurrentLanguage() const {
  return Info(L"Language");
}

std::wstring TCLMultiLangData::CurrentLanguageTranslator() const {
  return Info(L"Translator");
}

std::wstring TCLMultiLangData::CurrentVersion() const {
  return Info(L"Version");
}

std::wstring TCLMultiLangData::Info(std::wstring_view aKey) const {
  std::wstring value;
  if (!FLangCurrentData.GetProp(L"Info", L"", aKey, value))
    FLangDefaultData.GetProp(L"Info", L"", aKey, value);
  return value;
}

bool TCLMultiLangData::IsExcluded(const TComponent& aComponent, const TPropInfo& aProp) const {
  const std::wstring className = aComponent.ClassName();
  const std::wstring& name = aComponent.Name();
  const std::wstring patterns[] = {className + L":",  L":" + aProp.TypeName,
                                   L"." + aProp.Name, className + L":." + aProp.Name,
                                   name + L".",       name + L".." + aProp.Name};
  for (const std::wstring& pattern : patterns) {
    if (FExcludeProps.IndexOf(pattern) >= 0)
      return true;
  }
  return false;
}

// --- TCLMultiLang -------------------------------------------------------------------------------

TCLMultiLang::TCLMultiLang(TComponent* aOwner) : TComponent(aOwner) {}

TCLMultiLang::~TCLMultiLang() {
  if (FLanguageData != nullptr)
    FLanguageData->RemoveClient(this);
}

void TCLMultiLang::SetLanguageData(TCLMultiLangData* aData) {
  if (aData == FLanguageData)
    return;
  if (FLanguageData != nullptr) {
    FLanguageData->RemoveClient(this);
    RemoveFreeNotification(FLanguageData);
  }
  FLanguageData = aData;
  if (FLanguageData != nullptr) {
    FreeNotification(FLanguageData);
    FLanguageData->AddClient(this);
  }
}

void TCLMultiLang::Loaded() {
  MarkLoaded();
  if (FLanguageData == nullptr)
    return;
  FLanguageData->AddClient(this);
  if (FLanguageData->AutoApply())
    ApplyData();
}

void TCLMultiLang::ApplyData() {
  TComponent* window = Owner();
  if (window == nullptr || FLanguageData == nullptr)
    return;
  ApplyProp(*window, window->Name());
  // A setter may fire an event that frees components: walk by index and re-check the count.
  for (int i = 0; i < window->ComponentCount(); ++i) {
    TComponent* component = window->Components(i);
    if (!component->Name().empty() && !IsLanguageComponent(*component))
      ApplyProp(*component, component->Name());
  }
  if (OnChangeLanguage)
    OnChangeLanguage(*this);
}

void TCLMultiLang::ApplyProp(TPersistent& aCom, const std::wstring& aParentComp) {
  if (FLanguageData == nullptr)
    return;
  const std::wstring section = FormSection();
  for (const TPropInfo& prop : aCom.Properties()) {
    if (IsTextProperty(prop)) {
      std::wstring value;
      if (prop.Set && FLanguageData->GetProp(section, aParentComp, prop.Name, value))
        prop.Set(value);
    } else if (prop.Kind == TPropKind::Collection && prop.Collection != nullptr) {
      for (int i = 0; i < prop.Collection->Count(); ++i)
        ApplyProp(prop.Collection->Item(i), ItemPrefix(aParentComp, prop, i));
    }
  }
}

void TCLMultiLang::UpdateData() {
  TComponent* window = Owner();
  if (window == nullptr || FLanguageData == nullptr)
    return;
  CollectProp(*window, *window, window->Name());
  for (int i = 0; i < window->ComponentCount(); ++i) {
    TComponent* component = window->Components(i);
    const std::wstring& name = component->Name();
    if (name.empty() || IsLanguageComponent(*component))
      continue;
    if (FLanguageData->ExcludeNumberEndProps() && name.back() >= L'0' && name.back() <= L'9')
      continue;
    if (FLanguageData->ExcludeWithAction() && component->HasAction())
      continue;
    CollectProp(*component, *component, name);
  }
}

void TCLMultiLang::CollectProp(const TComponent& aComponent, TPersistent& aObject,
                               const std::wstring& aParentComp) {
  const std::wstring section = FormSection();
  for (const TPropInfo& prop : aObject.Properties()) {
    if (FLanguageData->IsExcluded(aComponent, prop))
      continue;
    if (IsTextProperty(prop) && prop.Get) {
      const std::wstring value = prop.Get();
      if (!(value.empty() && FLanguageData->ExcludeEmptyProp()))
        FLanguageData->SetProp(section, aParentComp, prop.Name, value);
    } else if (prop.Kind == TPropKind::Collection && prop.Collection != nullptr) {
      for (int i = 0; i < prop.Collection->Count(); ++i)
        CollectProp(aComponent, prop.Collection->Item(i), ItemPrefix(aParentComp, prop, i));
    }
  }
}

void TCLMultiLang::ClearData() {
  if (FLanguageData != nullptr && Owner() != nullptr)
    FLanguageData->ClearForm(FormSection());
}

std::wstring TCLMultiLang::Language() const {
  return FLanguageData != nullptr ? FLanguageData->CurrentLanguage() : std::wstring();
}

void TCLMultiLang::GetSectionStrings(std::wstring_view aSection, TStringList& aList) const {
  if (FLanguageData != nullptr)
    FLanguageData->GetSectionStrings(aSection, aList);
}

bool TCLMultiLang::GetProp(std::wstring_view aComp, std::wstring_view aProp,
                           std::wstring& aValue) const {
  return FLanguageData != nullptr && Owner() != nullptr &&
         FLanguageData->GetProp(FormSection(), aComp, aProp, aValue);
}

std::wstring TCLMultiLang::FormSection() const {
  return Owner() != nullptr ? Owner()->ClassName() : std::wstring();
}

void TCLMultiLang::Notification(TComponent& aComponent, TOperation aOperation) {
  if (aOperation == TOperation::opRemove && &aComponent == FLanguageData)
    FLanguageData = nullptr;
}
