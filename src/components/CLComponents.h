#pragma once
// The component layer the windows are made of: named components owned by a window, each with a
// table of published properties that the language data reads and writes by name.
//
// - TStrings: a list of lines (with an object and a check mark per line) that reports changes.
// - TPersistent: an object with published properties. Each property has a name, a kind (string,
//   string list "TStrings", collection, other) and a type name; strings, string lists and other
//   values are read and written as text, a collection is reached as an object.
// - TCollection / TCollectionItem: numbered items with their own published properties.
// - TComponent: a persistent with a Name and an Owner. The owner frees what it owns; a component
//   freed earlier leaves its owner's list. Components that refer to each other ask for a free
//   notification so that no pointer outlives what it points at.
//
// Nothing here touches a window system. A binding (the Win32 layer) attaches itself to a
// component through SetBinding and is told about every property change; it turns the user's
// actions back into the component's simulation calls (Click, MouseUp, ...), which tests call
// directly.

#include "base/CLStrings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Colours as the window system stores them: $00BBGGRR.
using TColor = uint32_t;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBlack = 0x000000;
constexpr TColor clGreen = 0x008000;
// The system's window and button-face colours (resolved by the binding).
constexpr TColor clWindow = 0xFF000005;
constexpr TColor clBtnFace = 0xFF00000F;

class TComponent;

// A list of text lines; each line may carry an object (not owned) and a check mark (used by
// check lists). OnChange fires after every change.
class TStrings {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  bool Empty() const { return FItems.empty(); }

  // Both return the new line's index.
  int Add(std::wstring aText, TObject* aObject = nullptr);
  // aIndex from 0 to Count(); out of range does nothing.
  void Insert(int aIndex, std::wstring aText, TObject* aObject = nullptr);
  void Delete(int aIndex);
  void Clear();

  // The line, or "" out of range; setters out of range do nothing.
  const std::wstring& Strings(int aIndex) const;
  void SetStrings(int aIndex, std::wstring aText);
  TObject* Objects(int aIndex) const;
  bool Checked(int aIndex) const;
  void SetChecked(int aIndex, bool aChecked);

  // The first line equal to aText ignoring case, or -1.
  int IndexOf(std::wstring_view aText) const;

  // Every line followed by CR LF.
  std::wstring Text() const;
  // Replaces the lines with those of aText, split at CR LF, CR or LF; a line break at the very
  // end adds no empty line. Objects and check marks are dropped.
  void SetText(std::wstring_view aText);
  void Assign(const std::vector<std::wstring>& aLines);
  std::vector<std::wstring> Lines() const;

  std::function<void()> OnChange;

private:
  struct TItem {
    std::wstring Text;
    TObject* Object = nullptr;
    bool Checked = false;
  };
  void Changed();
  std::vector<TItem> FItems;
};

// --- Published properties -------------------------------------------------------------------

enum class TPropKind {
  String,     // a string type; text as it is
  Strings,    // type "TStrings"; text is the whole list, one item per line
  Collection, // a collection of items with their own properties
  Other       // numbers, Booleans, colours, ...: text in their stored form
};

class TCollection;

struct TPropInfo {
  std::wstring Name;
  TPropKind Kind = TPropKind::Other;
  // "string", "TCaption", "TComponentName", "TStrings", "Boolean", "Integer", "TColor", ...
  std::wstring TypeName;
  // Text access; empty for a collection. Other values that do not parse are ignored by Set.
  std::function<std::wstring()> Get;
  std::function<void(const std::wstring&)> Set;
  TCollection* Collection = nullptr;
};

class TPersistent : public TObject {
public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;

  virtual std::wstring ClassName() const = 0;

  // The published properties in the order they were published.
  const std::vector<TPropInfo>& Properties() const { return FProperties; }
  // Found without regard to case; nullptr when there is none.
  const TPropInfo* FindProperty(std::wstring_view aName) const;
  // Text access by name; false for an unknown name or a collection.
  bool GetPropText(std::wstring_view aName, std::wstring& aValue) const;
  bool SetPropText(std::wstring_view aName, const std::wstring& aValue);

protected:
  void Publish(TPropInfo aInfo);
  void PublishString(std::wstring aName, std::function<std::wstring()> aGet,
                     std::function<void(const std::wstring&)> aSet,
                     std::wstring aTypeName = L"string");
  void PublishStrings(std::wstring aName, TStrings& aList);
  void PublishCollection(std::wstring aName, TCollection& aCollection);
  void PublishBool(std::wstring aName, std::function<bool()> aGet, std::function<void(bool)> aSet);
  void PublishInt(std::wstring aName, std::function<int()> aGet, std::function<void(int)> aSet,
                  std::wstring aTypeName = L"Integer");
  void PublishColor(std::wstring aName, std::function<TColor()> aGet,
                    std::function<void(TColor)> aSet);

private:
  std::vector<TPropInfo> FProperties;
};

// --- Collections --------------------------------------------------------------------------------

class TCollectionItem : public TPersistent {
public:
  explicit TCollectionItem(TCollection& aCollection) : FCollection(aCollection) {}
  int Index() const;
  TCollection& Collection() const { return FCollection; }

protected:
  // Tells the collection (and through it the owner) that the item changed.
  void Changed();

private:
  TCollection& FCollection;
};

class TCollection {
public:
  TCollection() = default;
  virtual ~TCollection() = default;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  virtual std::wstring ClassName() const = 0;
  int Count() const { return static_cast<int>(FItems.size()); }
  // aIndex must be in range.
  TCollectionItem& Item(int aIndex) const { return *FItems.at(aIndex); }
  TCollectionItem& AddItem();
  void Delete(int aIndex); // out of range does nothing
  void Clear();
  int IndexOf(const TCollectionItem& aItem) const;

  // Fires after an item was added, deleted or changed.
  std::function<void()> OnChange;
  void Changed();

protected:
  virtual std::unique_ptr<TCollectionItem> NewItem() = 0;

private:
  std::vector<std::unique_ptr<TCollectionItem>> FItems;
};

// A collection of one item class.
template <class TItem> class TCollectionOf : public TCollection {
public:
  explicit TCollectionOf(std::wstring aClassName) : FClassName(std::move(aClassName)) {}
  std::wstring ClassName() const override { return FClassName; }
  TItem& Items(int aIndex) const { return static_cast<TItem&>(Item(aIndex)); }
  TItem& Add() { return static_cast<TItem&>(AddItem()); }

protected:
  std::unique_ptr<TCollectionItem> NewItem() override { return std::make_unique<TItem>(*this); }

private:
  std::wstring FClassName;
};

// --- Components ---------------------------------------------------------------------------------

// What the window system's side of a component hears. Not owned by the component.
class IComponentBinding {
public:
  virtual ~IComponentBinding() = default;
  // aProperty names the published property (or a part such as "Items") that changed.
  virtual void PropertyChanged(TComponent& aComponent, std::wstring_view aProperty) = 0;
  // The component is being freed; the binding must let go of it.
  virtual void ComponentDestroyed(TComponent& aComponent) = 0;
};

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* aOwner);
  // Frees every owned component (last created first), then leaves the owner.
  ~TComponent() override;

  std::wstring ClassName() const override { return L"TComponent"; }

  const std::wstring& Name() const { return FName; }
  void SetName(const std::wstring& aName);
  TComponent* Owner() const { return FOwner; }
  int Tag() const { return FTag; }
  void SetTag(int aTag) { FTag = aTag; }

  // The components this one owns, in creation order.
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int aIndex) const { return FComponents.at(aIndex); }
  // An owned component by name (ignoring case), or nullptr.
  TComponent* FindComponent(std::wstring_view aName) const;
  // Frees the owned components now (a window does it before its own fields go).
  void DestroyComponents();

  // Called once the owner has made all its components (the window's load step); a form passes
  // it on to everything it owns.
  virtual void Loaded() {}
  bool IsLoaded() const { return FLoaded; }
  // Whether an action supplies this component's texts (controls and menu items).
  virtual bool HasAction() const { return false; }
  bool Destroying() const { return FDestroying; }

  // aComponent is told (Notification with opRemove) when this component is freed; it works
  // both ways, so either may go first.
  void FreeNotification(TComponent* aComponent);
  void RemoveFreeNotification(TComponent* aComponent);

  IComponentBinding* Binding() const { return FBinding; }
  void SetBinding(IComponentBinding* aBinding) { FBinding = aBinding; }

protected:
  virtual void Notification(TComponent& aComponent, TOperation aOperation);
  // Tells the binding that a property changed.
  void Changed(std::wstring_view aProperty);
  // Stores a new value of a property and tells the binding, unless the value is the same.
  template <class TField, class TValue>
  void SetProperty(TField& aField, TValue&& aValue, std::wstring_view aProperty) {
    if (aField != aValue) {
      aField = std::forward<TValue>(aValue);
      Changed(aProperty);
    }
  }
  void MarkLoaded() { FLoaded = true; }

private:
  void InsertComponent(TComponent* aComponent);
  void RemoveComponent(TComponent* aComponent);

  std::wstring FName;
  TComponent* FOwner = nullptr;
  int FTag = 0;
  bool FLoaded = false;
  bool FDestroying = false;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  IComponentBinding* FBinding = nullptr;
};

// Creates a component of class T owned by aOwner and named aName.
template <class T, class... TArgs>
T* NewComponent(TComponent* aOwner, const std::wstring& aName, TArgs&&... aArgs) {
  T* component = new T(aOwner, std::forward<TArgs>(aArgs)...);
  component->SetName(aName);
  return component;
}
