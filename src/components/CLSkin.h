#pragma once
// Skins: the colours, font and frame every window of the program is drawn with. "Default" is
// built in and follows the system's own colours; other skins are text files in the skins
// folder (".skn": the window frame is drawn in the skin's colours too; ".nsf.skn": the frame
// stays the system's). The window-system binding draws from CurrentSkinTheme() and repaints
// every window when a listener hears of a change.

#include "components/CLComponents.h"

#include <functional>
#include <string>
#include <string_view>

struct TCLSkinTheme {
  std::wstring Name = L"Default";
  // True for the built-in skin: the binding then uses the system's colours and font.
  bool SystemColors = true;
  bool Dark = false;
  TColor Window = 0xFFFFFF;     // backgrounds of edits, lists and trees
  TColor WindowText = 0x000000; // their text
  TColor ButtonFace = 0xF0F0F0; // backgrounds of windows, panels and pages
  TColor ButtonText = 0x000000; // text on them
  TColor Highlight = 0xD77800;  // selected rows
  TColor HighlightText = 0xFFFFFF;
  TColor Link = 0xCC6600;   // link labels
  TColor Accent = 0xD77800; // the button panel, progress bars
  // The dark band behind the maintenance page's category rows, whose captions are white (green
  // while scanned), and the descriptions on it.
  TColor Band = 0x503A28;
  TColor BandText = 0xE0D8D0;
  // Empty and 0: the system's message font.
  std::wstring FontName;
  int FontSize = 0; // points
  // The skin's frame replaces the system's (".skn" files; false for ".nsf.skn").
  bool SkinnedForm = false;
  // The glow frames of buttons and caption buttons.
  bool ButtonGlow = true;
  bool CaptionGlow = true;
};

const TCLSkinTheme& CurrentSkinTheme();
// Makes aTheme current and tells every listener.
void SetCurrentSkinTheme(const TCLSkinTheme& aTheme);
// The listener runs on the GUI thread after every change; the number removes it again.
int AddSkinThemeListener(std::function<void()> aListener);
void RemoveSkinThemeListener(int aListener);

// --- Skin files --------------------------------------------------------------------------------
//
// A skin file is INI text (UTF-8, or UTF-16 with a byte-order mark):
//
//   [Skin]
//   Name=Dark        ; optional, else the file name without its skin extensions
//   Dark=1           ; dark window frames where the system offers them
//   [Colors]
//   Window=#1E1F22   ; #RRGGBB, for each of Window, WindowText, ButtonFace, ButtonText,
//                    ; Highlight, HighlightText, Link, Accent, Band, BandText
//   [Font]
//   Name=Segoe UI
//   Size=9           ; points, 6 to 72
//
// The [Skin] section marks the file as a skin. A colour or font entry left out keeps the value of
// the built-in light colours; one that is given but cannot be read makes the whole file invalid.

struct TCLSkinLoadResult {
  bool Loaded = false;
  // What was wrong, naming the file, section and key: for the debug channel and tests.
  std::wstring Error;
  explicit operator bool() const { return Loaded; }
};

// Reads a skin file into aTheme (which is left alone on failure). The theme's SkinnedForm is
// aSkinnedForm; SystemColors is off.
TCLSkinLoadResult LoadSkinFile(const std::wstring& aFileName, bool aSkinnedForm,
                               TCLSkinTheme& aTheme);
// The same for a text already read; aSource names it in errors.
TCLSkinLoadResult ParseSkinText(std::wstring_view aText, const std::wstring& aSource,
                                bool aSkinnedForm, TCLSkinTheme& aTheme);

// The skin data of the program: a component on the main window that holds the skin in use and
// makes it the current theme on every change. Its built-in skin is "Default" (the system's
// colours, native frame) unless the window gives it another one.
class TCLSkinData : public TComponent {
public:
  explicit TCLSkinData(TComponent* aOwner);
  std::wstring ClassName() const override { return L"TCLSkinData"; }

  // Replaces the built-in skin; it becomes current unless a skin file is in use.
  void SetBuiltInSkin(const TCLSkinTheme& aTheme);
  // Whether a skin file (rather than the built-in skin) is in use.
  bool FileSkinLoaded() const { return FFileSkin; }

  // Loads a skin file and makes it current; on failure the skin in use stays.
  TCLSkinLoadResult LoadFromFile(const std::wstring& aFileName, bool aSkinnedForm);
  // Goes back to the built-in skin, with its own frame flag.
  void UseBuiltInSkin();

  // The skin draws the window frames itself.
  void SetSkinnableForm(bool aValue);
  // The glow frames of buttons and of caption buttons.
  void SetGlowFrames(bool aButtons, bool aCaptionButtons);

  // The skinned controls' own texts (menu captions, message box buttons and tick box) as
  // name=value lines, filled from the language section "SkinRes".
  TStringList& ResourceStrings() { return FResourceStrings; }
  const TStringList& ResourceStrings() const { return FResourceStrings; }

private:
  void Apply();

  TCLSkinTheme FBuiltIn;
  TCLSkinTheme FTheme;
  bool FFileSkin = false;
  TStringList FResourceStrings;
};
