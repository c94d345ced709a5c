#pragma once
// The registry editor of the in-memory machine: a launch of "RegEdit.exe" in the Windows folder
// with "/s" and file names imports each file of whatever size with ImportRegFileDirect, as Wine's
// regedit does. A
// missing or malformed file changes nothing and the editor still ends with exit code 0, as
// Wine's regedit does (it only prints a message). Without "/s" the real editor would wait for the
// user to confirm in a hidden window, so the fake reports a process that did not end and imports
// nothing. Other switches are not modelled: the launch fails with NotSupported.

#include "cure/RegUtils.h"
#include "platform/fake/FakeMachine.h"

// Handles aStart when it launches the registry editor: true, with aError and aResult set; false
// for any other program, so that launch handlers of other fake programs can be tried in turn.
bool RunFakeRegEdit(const kplat::TProcessStart& aStart, kplat::TProcessResult& aResult,
                    kplat::TErrorCode& aError);

// Installs a launch handler on aMachine that runs the fake registry editor; other programs start
// and end with exit code 0 (whether their file exists is not checked).
void InstallFakeRegEdit(kplat::fake::TFakeMachine& aMachine);

// Writes aExporter's content to aFile sealed in one batch, as a repair run writes its backup (the
// seal key is made when missing).
kplat::TErrorCode SaveSealedBackup(const TRegExporter& aExporter, const std::wstring& aFile);
