#include "components/CLComponents.h"

#include "base/CLIniFiles.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <utility>

namespace {

const std::wstring kNoLine;

} // namespace

// --- TStrings -----------------------------------------------------------------------------------

int TStrings::Add(std::wstring aText, TObject* aObject) {
  FItems.push_back({std::move(aText), aObject, false});
  Changed();
  return Count() - 1;
}

void TStrings::Insert(int aIndex, std::wstring aText, TObject* aObject) {
  if (aIndex < 0 || aIndex > Count())
    return;
  FItems.insert(FItems.begin() + aIndex, TItem{std::move(aText), aObject, false});
  Changed();
}

void TStrings::Delete(int aIndex) {
  if (aIndex < 0 || aIndex >= Count())
    return;
  FItems.erase(FItems.begin() + aIndex);
  Changed();
}

void TStrings::Clear() {
  if (FItems.empty())
    return;
  FItems.clear();
  Changed();
}

const std::wstring& TStrings::Strings(int aIndex) const {
  return aIndex >= 0 && aIndex < Count() ? FItems[aIndex].Text : kNoLine;
}

void TStrings::SetStrings(int aIndex, std::wstring aText) {
  if (aIndex < 0 || aIndex >= Count())
    return;
  FItems[aIndex].Text = std::move(aText);
  Changed();
}

TObject* TStrings::Objects(int aIndex) const {
  return aIndex >= 0 && aIndex < Count() ? FItems[aIndex].Object : nullptr;
}

bool TStrings::Checked(int aIndex) const {
  return aIndex >= 0 && aIndex < Count() && FItems[aIndex].Checked;
}

void TStrings::SetChecked(int aIndex, bool aChecked) {
  if (aIndex < 0 || aIndex >= Count() || FItems[aIndex].Checked == aChecked)
    return;
  FItems[aIndex].Checked = aChecked;
  Changed();
}

int TStrings::IndexOf(std::wstring_view aText) const {
  for (int i = 0; i < Count(); ++i) {
    if (kplat::SameText(FItems[i].Text, aText))
      return i;
  }
  return -1;
}

std::wstring TStrings::Text() const {
  std::wstring text;
  for (const TItem& item : FItems) {
    text += item.Text;
    text += L"\r\n";
  }
  return text;
}

void TStrings::SetText(std::wstring_view aText) {
  FItems.clear();
  size_t start = 0;
  while (start < aText.size()) {
    size_t end = start;
    while (end < aText.size() && aText[end] != L'\r' && aText[end] != L'\n')
      ++end;
    FItems.push_back({std::wstring(aText.substr(start, end - start)), nullptr, false});
    if (end < aText.size() && aText[end] == L'\r' && end + 1 < aText.size() &&
        aText[end + 1] == L'\n')
      ++end;
    start = end + 1;
  }
  Changed();
}

void TStrings::Assign(const std::vector<std::wstring>& aLines) {
  FItems.clear();
  for (const std::wstring& line : aLines)
    FItems.push_back({line, nullptr, false});
  Changed();
}

std::vector<std::wstring> TStrings::Lines() const {
  std::vector<std::wstring> lines;
  lines.reserve(FItems.size());
  for (const TItem& item : FItems)
    lines.push_back(item.Text);
  return lines;
}

void TStrings::Changed() {
  if (OnChange)
    OnChange();
}

// --- TPersistent --------------------------------------------------------------------------------

const TPropInfo* TPersistent::FindProperty(std::wstring_view aName) const {
  for (const TPropInfo& info : FProperties) {
    if (kplat::SameText(info.Name, aName))
      return &info;
  }
  return nullptr;
}

bool TPersistent::GetPropText(std::wstring_view aName, std::wstring& aValue) const {
  const TPropInfo* info = FindProperty(aName);
  if (info == nullptr || !info->Get)
    return false;
  aValue = info->Get();
  return true;
}

bool TPersistent::SetPropText(std::wstring_view aName, const std::wstring& aValue) {
  const TPropInfo* info = FindProperty(aName);
  if (info == nullptr || !info->Set)
    return false;
  info->Set(aValue);
  return true;
}

void TPersistent::Publish(TPropInfo aInfo) {
  FProperties.push_back(std::move(aInfo));
}

void TPersistent::PublishString(std::wstring aName, std::function<std::wstring()> aGet,
                                std::function<void(const std::wstring&)> aSet,
                                std::wstring aTypeName) {
  Publish({std::move(aName), TPropKind::String, std::move(aTypeName), std::move(aGet),
           std::move(aSet), nullptr});
}

void TPersistent::PublishStrings(std::wstring aName, TStrings& aList) {
  Publish({std::move(aName), TPropKind::Strings, L"TStrings", [&aList] { return aList.Text(); },
           [&aList](const std::wstring& aText) { aList.SetText(aText); }, nullptr});
}

void TPersistent::PublishCollection(std::wstring aName, TCollection& aCollection) {
  Publish({std::move(aName), TPropKind::Collection, aCollection.ClassName(), {}, {}, &aCollection});
}

void TPersistent::PublishBool(std::wstring aName, std::function<bool()> aGet,
                              std::function<void(bool)> aSet) {
  Publish({std::move(aName), TPropKind::Other, L"Boolean",
           [aGet] { return std::wstring(aGet() ? L"True" : L"False"); },
           [aSet](const std::wstring& aText) {
             if (const std::optional<bool> value = ParseIniBool(aText))
               aSet(*value);
           },
           nullptr});
}

void TPersistent::PublishInt(std::wstring aName, std::function<int()> aGet,
                             std::function<void(int)> aSet, std::wstring aTypeName) {
  Publish({std::move(aName), TPropKind::Other, std::move(aTypeName),
           [aGet] { return std::to_wstring(aGet()); },
           [aSet](const std::wstring& aText) {
             if (const std::optional<int32_t> value = ParseIniInteger(aText, true))
               aSet(*value);
           },
           nullptr});
}

void TPersistent::PublishColor(std::wstring aName, std::function<TColor()> aGet,
                               std::function<void(TColor)> aSet) {
  PublishInt(
      std::move(aName), [aGet] { return static_cast<int>(aGet()); },
      [aSet](int aValue) { aSet(static_cast<TColor>(aValue)); }, L"TColor");
}

// --- Collections --------------------------------------------------------------------------------

int TCollectionItem::Index() const {
  return FCollection.IndexOf(*this);
}

void TCollectionItem::Changed() {
  FCollection.Changed();
}

TCollectionItem& TCollection::AddItem() {
  FItems.push_back(NewItem());
  Changed();
  return *FItems.back();
}

void TCollection::Delete(int aIndex) {
  if (aIndex < 0 || aIndex >= Count())
    return;
  FItems.erase(FItems.begin() + aIndex);
  Changed();
}

void TCollection::Clear() {
  FItems.clear();
  Changed();
}

int TCollection::IndexOf(const TCollectionItem& aItem) const {
  for (int i = 0; i < Count(); ++i) {
    if (FItems[i].get() == &aItem)
      return i;
  }
  return -1;
}

void TCollection::Changed() {
  if (OnChange)
    OnChange();
}

// --- TComponent ---------------------------------------------------------------------------------

TComponent::TComponent(TComponent* aOwner) {
  PublishString(
      L"Name", [this] { return FName; }, [this](const std::wstring& aName) { SetName(aName); },
      L"TComponentName");
  PublishInt(
      L"Tag", [this] { return FTag; }, [this](int aTag) { FTag = aTag; });
  if (aOwner != nullptr)
    aOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  FDestroying = true;
  if (FBinding != nullptr)
    FBinding->ComponentDestroyed(*this);
  DestroyComponents();
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    std::erase(other->FFreeNotifies, this);
    other->Notification(*this, TOperation::opRemove);
  }
  if (FOwner != nullptr)
    FOwner->RemoveComponent(this);
}

void TComponent::SetName(const std::wstring& aName) {
  if (FName == aName)
    return;
  FName = aName;
  Changed(L"Name");
}

TComponent* TComponent::FindComponent(std::wstring_view aName) const {
  if (aName.empty())
    return nullptr;
  for (TComponent* component : FComponents) {
    if (kplat::SameText(component->FName, aName))
      return component;
  }
  return nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* component = FComponents.back();
    FComponents.pop_back();
    component->FOwner = nullptr;
    delete component;
  }
}

void TComponent::FreeNotification(TComponent* aComponent) {
  if (aComponent == nullptr || aComponent == this)
    return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), aComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(aComponent);
  if (std::find(aComponent->FFreeNotifies.begin(), aComponent->FFreeNotifies.end(), this) ==
      aComponent->FFreeNotifies.end())
    aComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* aComponent) {
  if (aComponent == nullptr)
    return;
  std::erase(FFreeNotifies, aComponent);
  std::erase(aComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent&, TOperation) {}

void TComponent::Changed(std::wstring_view aProperty) {
  if (FBinding != nullptr && !FDestroying)
    FBinding->PropertyChanged(*this, aProperty);
}

void TComponent::InsertComponent(TComponent* aComponent) {
  aComponent->FOwner = this;
  FComponents.push_back(aComponent);
}

void TComponent::RemoveComponent(TComponent* aComponent) {
  std::erase(FComponents, aComponent);
  aComponent->FOwner = nullptr;
}
