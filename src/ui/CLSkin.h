#pragma once
// Skins: the colours, font and frame every window of the program is drawn with. "Default" is
// built in and follows the system's own colours; other skins are text files in the skins
// folder (".skn": the window frame is drawn in the skin's colours too; ".nsf.skn": the frame
// stays the system's). The window-system binding draws from CurrentSkinTheme() and repaints
// every window when a listener hears of a change.

#include "ui/CLComponents.h"

#include <functional>
#include <string>

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
