#pragma once
// The machine a benchmark works on: the real registry and disk when built for Windows, the
// in-memory machine natively. One lives for the whole run.

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
#else
#include "platform/Platform.h"
#include "platform/fake/FakeMachine.h"
#endif

#include "platform/FileIO.h"

#include <cstdio>
#include <string>
#include <vector>

class TBenchMachine {
public:
#ifdef _WIN32
  TBenchMachine() {
    kplat::win32::InstallWin32Platform();
  }
#else
  TBenchMachine() : FPlatform(FMachine) {}

private:
  kplat::fake::TFakeMachine FMachine;
  kplat::TScopedPlatform FPlatform;
#endif
};

// Writes aText to standard output at once, so that a benchmark's progress shows while it runs.
inline void PrintNow(const std::string& aText) {
  std::fwrite(aText.data(), 1, aText.size(), stdout);
  std::fflush(stdout);
}

// Removes a folder a benchmark made (aFolder ends in a backslash) with everything in it, read-only
// files too.
inline void RemoveBenchTree(const std::wstring& aFolder) {
  kplat::IFileSystem& files = kplat::Platform().Files();
  std::vector<std::wstring> folders;
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(aFolder + L"*", data); found; found = find.Next(data)) {
    if (kplat::IsDotEntry(data)) {
      continue;
    }
    if (data.Attributes & kplat::fileattr::Directory) {
      folders.push_back(aFolder + data.Name + L"\\");
    } else {
      files.SetAttributes(aFolder + data.Name, kplat::fileattr::Normal);
      files.DeleteFile(aFolder + data.Name);
    }
  }
  find.Close();
  for (const std::wstring& folder : folders) {
    RemoveBenchTree(folder);
  }
  files.RemoveFolder(aFolder.substr(0, aFolder.size() - 1));
}
