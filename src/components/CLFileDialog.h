#pragma once
// The dialog in which the user picks a file to open, behind a chooser the window system installs
// (the system's open dialog on Windows); tests install their own. Without one nothing is chosen.

#include "components/CLForm.h"

#include <functional>
#include <string>

struct TOpenFileRequest {
  TForm* Owner = nullptr;
  std::wstring Title;
  // Pairs of a description and its patterns: "Rule files (*.ini)|*.ini|All files (*.*)|*.*".
  std::wstring Filter;
  // The file the dialog starts on; may be empty.
  std::wstring FileName;
};

// True with aFileName set when the user chose a file.
using TOpenFileChooser =
    std::function<bool(const TOpenFileRequest& aRequest, std::wstring& aFileName)>;

// Returns the previous chooser.
TOpenFileChooser SetOpenFileChooser(TOpenFileChooser aChooser);
// Runs the chooser as a modal window (timers are served as in any modal loop); false when the
// user chose nothing or no chooser is installed.
bool ChooseFileToOpen(const TOpenFileRequest& aRequest, std::wstring& aFileName);
