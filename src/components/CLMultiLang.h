#pragma once
// The language data of the program and its windows.
//
// - TCLMultiLangData, on the main window, holds the current language and the built-in default
//   (English) and knows the windows to translate. A value missing from the current language is
//   taken from the default one; "{AppName}" in a value read is replaced by the application name
//   (the "AppName" of "[AppRes]" itself excepted).
// - TCLMultiLang, on each window, applies the language to its window: the window's own string
//   properties under its name, then every named component it owns, in the window class's
//   section. UpdateData goes the other way and collects the window's texts into the current
//   language (for making language files), skipping what the exclusion patterns name.
//
// GUI thread only.

#include "base/CLMultiLangLan.h"
#include "components/CLComponents.h"

#include <string>
#include <string_view>
#include <vector>

class TCLMultiLang;
class TCLMultiLangData;

// The program's own texts: the complete English language file.
std::wstring_view CLBuiltInEnglish();
// Language data holding only the built-in English, for windows that have no language data of
// their own; one for the whole program, never freed.
TCLMultiLangData& CLBuiltInEnglishData();

class TCLMultiLangData : public TComponent {
public:
  explicit TCLMultiLangData(TComponent* aOwner);
  ~TCLMultiLangData() override;

  std::wstring ClassName() const override { return L"TCLMultiLangData"; }

  // Each client once; RemoveClient of one that is not registered does nothing.
  void AddClient(TCLMultiLang* aClient);
  void RemoveClient(TCLMultiLang* aClient);
  const std::vector<TCLMultiLang*>& Clients() const { return FClients; }
  // ApplyData of every registered window.
  void ApplyClients();

  // Current language first, then the default; "{AppName}" replaced in a value found.
  bool GetProp(std::wstring_view aForm, std::wstring_view aComp, std::wstring_view aProp,
               std::wstring& aValue) const;
  // Into the current language.
  bool SetProp(std::wstring_view aForm, std::wstring_view aComp, std::wstring_view aProp,
               std::wstring_view aValue);
  void ClearForm(std::wstring_view aForm);
  void UpdateData();
  // The names of the section in the current, then in the default language, each once.
  void GetSectionStrings(std::wstring_view aSection, TStringList& aList) const;

  // Loads a file as the current language and applies it to every registered window. On failure
  // the current language stays as it was and nothing is applied.
  TIniLoadResult LoadCurrentFromFile(const std::wstring& aFileName);
  // Sorts the current language, then writes it.
  kplat::TErrorCode SaveCurrentToFile(const std::wstring& aFileName);
  void ClearCurrentAll();
  void ClearCurrentAllForm();
  void DefaultToCurrent();

  // "AppName" of "[AppRes]", current language first.
  std::wstring AppName() const;
  // "Language", "Translator", "Version" of "[Info]", current language first.
  std::wstring CurrentLanguage() const;
  std::wstring CurrentLanguageTranslator() const;
  std::wstring CurrentVersion() const;

  TCLMultiLangLan& CurrentData() { return FLangCurrentData; }
  TCLMultiLangLan& DefaultData() { return FLangDefaultData; }
  const TCLMultiLangLan& CurrentData() const { return FLangCurrentData; }
  const TCLMultiLangLan& DefaultData() const { return FLangDefaultData; }

  // Collection direction only (UpdateData of the windows).
  bool ExcludeEmptyProp() const { return FExcludeEmptyProp; }
  void SetExcludeEmptyProp(bool aValue) { FExcludeEmptyProp = aValue; }
  bool ExcludeNumberEndProps() const { return FExcludeNumberEndProps; }
  void SetExcludeNumberEndProps(bool aValue) { FExcludeNumberEndProps = aValue; }
  bool ExcludeWithAction() const { return FExcludeWithAction; }
  void SetExcludeWithAction(bool aValue) { FExcludeWithAction = aValue; }
  // Patterns: "Class:" (every property of a class), ":Type" (every property of a type),
  // ".Prop" (every property of that name), "Class:.Prop", "Comp." (every property of one
  // component), "Comp..Prop". Compared without regard to case.
  TStringList& ExcludeProps() { return FExcludeProps; }
  const TStringList& ExcludeProps() const { return FExcludeProps; }
  bool IsExcluded(const TComponent& aComponent, const TPropInfo& aProp) const;

  // Apply the texts to a window as soon as its TCLMultiLang is loaded; default true.
  bool AutoApply() const { return FAutoApply; }

private:
  std::wstring Info(std::wstring_view aKey) const;

  bool FExcludeEmptyProp = false;
  TStringList FExcludeProps;
  bool FAutoApply = true;
  bool FExcludeNumberEndProps = false;
  bool FExcludeWithAction = false;
  TCLMultiLangLan FLangCurrentData;
  TCLMultiLangLan FLangDefaultData;
  std::vector<TCLMultiLang*> FClients;
};

class TCLMultiLang : public TComponent {
public:
  explicit TCLMultiLang(TComponent* aOwner);
  ~TCLMultiLang() override;

  std::wstring ClassName() const override { return L"TCLMultiLang"; }

  TCLMultiLangData* LanguageData() const { return FLanguageData; }
  // Leaves the old data's clients and joins the new one's.
  void SetLanguageData(TCLMultiLangData* aData);

  // Registers with the language data and, with AutoApply, applies the texts.
  void Loaded() override;
  // The owner window, then every named component it owns; then OnChangeLanguage.
  void ApplyData();
  // Applies the texts to one object with keys aParentComp + "." + property.
  void ApplyProp(TPersistent& aCom, const std::wstring& aParentComp);
  // Collects the window's texts into the current language.
  void UpdateData();
  // Erases the window's section from the current language.
  void ClearData();

  std::wstring Language() const;
  void GetSectionStrings(std::wstring_view aSection, TStringList& aList) const;
  // A text of the window's own section.
  bool GetProp(std::wstring_view aComp, std::wstring_view aProp, std::wstring& aValue) const;
  // The section of the window: its class name.
  std::wstring FormSection() const;

  TNotifyEvent OnChangeLanguage;

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override;

private:
  friend class TCLMultiLangData;
  void CollectProp(const TComponent& aComponent, TPersistent& aObject,
                   const std::wstring& aParentComp);

  TCLMultiLangData* FLanguageData = nullptr;
};
