#pragma once
// The plain base object, the plain event, and a list of text lines that the topic values, rule
// parameters and tree builders share: each line may carry an object (not owned), and a line of
// the form name=value can be looked up by its name without regard to case.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TObject {
public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject& Sender)>;

class TStringList {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  bool Empty() const { return FItems.empty(); }

  // Both return the new line's index.
  int Add(std::wstring aText);
  int AddObject(std::wstring aText, TObject* aObject);
  // Out of range does nothing.
  void Delete(int aIndex);
  void Clear() { FItems.clear(); }

  // The line, or "" out of range.
  const std::wstring& Strings(int aIndex) const;
  // Out of range does nothing.
  void SetStrings(int aIndex, std::wstring aText);
  // The line's object, or nothing out of range.
  TObject* Objects(int aIndex) const;

  // The first line equal to aText ignoring case, or -1.
  int IndexOf(std::wstring_view aText) const;

  // name=value lines: the name is the text before the first "=" ("" for a line without one).
  std::wstring Names(int aIndex) const;
  std::wstring ValueFromIndex(int aIndex) const;
  // The first line whose name equals aName ignoring case, or -1.
  int IndexOfName(std::wstring_view aName) const;
  // The value of the first line named aName, "" when there is none.
  std::wstring Values(std::wstring_view aName) const;
  // Replaces the first line named aName, or appends one; an empty aValue removes that line.
  void SetValue(std::wstring_view aName, std::wstring_view aValue);

  // Replaces the content with the items of a comma text: items are separated by commas or
  // blanks; an item starting with a double quote runs to the closing one, a doubled quote inside
  // standing for one; a comma at the very end adds an empty item.
  void SetCommaText(std::wstring_view aText);
  // Every line followed by CR LF.
  std::wstring Text() const;

  bool operator==(const TStringList& aOther) const = default;

private:
  struct TItem {
    std::wstring Text;
    TObject* Object = nullptr;
    bool operator==(const TItem&) const = default;
  };
  std::vector<TItem> FItems;
};
