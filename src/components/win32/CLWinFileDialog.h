#pragma once
// The system's open dialog as the chooser of CLFileDialog.h.

#include "components/CLFileDialog.h"

bool Win32ChooseFileToOpen(const TOpenFileRequest& aRequest, std::wstring& aFileName);
