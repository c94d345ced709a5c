#pragma once
// TCLForm: placed on a window, it gives the window what the application holds (through the form
// host, which the application engine is) when the window is loaded, each part switched on by its
// flag (all off by default):
//
// - RuntimeSetSkinData: the window follows the engine's skin. The controls carry no skin data
//   of their own (the binding draws every control from the current theme), so the window is
//   drawn again whenever the skin changes while it is loaded.
// - RuntimeSetLanguageData: every TCLMultiLang of the window (of exactly that class) without
//   language data gets the engine's, and is translated at once.
// - RunTimeSetFormProperties: the window is centred on the main window (the engine's owner).

#include "components/CLControls.h"

class TCLMultiLangData;

// What a TCLForm takes from the application: the language data in use and the main window.
class ICLFormHost {
public:
  virtual ~ICLFormHost() = default;
  virtual TCLMultiLangData* LanguageData() const = 0;
  virtual TForm* MainForm() const = 0;
};

// The installed host, or nullptr while none is.
ICLFormHost* GetCLFormHost();
ICLFormHost* SetCLFormHost(ICLFormHost* aHost); // returns the previous one

class TCLForm : public TComponent {
public:
  explicit TCLForm(TComponent* aOwner);
  ~TCLForm() override;
  std::wstring ClassName() const override { return L"TCLForm"; }

  bool RuntimeSetSkinData() const { return FRuntimeSetSkinData; }
  void SetRuntimeSetSkinData(bool aValue) { FRuntimeSetSkinData = aValue; }
  bool RuntimeSetLanguageData() const { return FRuntimeSetLanguageData; }
  void SetRuntimeSetLanguageData(bool aValue) { FRuntimeSetLanguageData = aValue; }
  bool RunTimeSetFormProperties() const { return FRunTimeSetFormProperties; }
  void SetRunTimeSetFormProperties(bool aValue) { FRunTimeSetFormProperties = aValue; }

  void Loaded() override;

private:
  void SetLanguageData(TComponent& aWindow);
  void CenterOnMainForm(TForm& aForm);

  bool FRuntimeSetSkinData = false;
  bool FRuntimeSetLanguageData = false;
  bool FRunTimeSetFormProperties = false;
  int FSkinListener = 0;
};
