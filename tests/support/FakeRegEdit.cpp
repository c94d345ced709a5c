#include "support/FakeRegEdit.h"

#include "cure/FigSeal.h"

#include "cure/RegFileReader.h"
#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <string>
#include <vector>

namespace {

// The arguments of a command line, split at blanks outside double quotes.
std::vector<std::wstring> SplitCommandLine(const std::wstring& aCommandLine) {
  std::vector<std::wstring> args;
  std::wstring current;
  bool quoted = false;
  bool inArg = false;
  for (const wchar_t c : aCommandLine) {
    if (c == L'"') {
      quoted = !quoted;
      inArg = true;
    } else if ((c == L' ' || c == L'\t') && !quoted) {
      if (inArg) {
        args.push_back(current);
        current.clear();
        inArg = false;
      }
    } else {
      current += c;
      inArg = true;
    }
  }
  if (inArg) {
    args.push_back(current);
  }
  return args;
}

bool IsRegEdit(const std::wstring& aProgram) {
  const size_t slash = aProgram.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? aProgram : aProgram.substr(slash + 1);
  if (!kplat::SameText(name, L"regedit.exe") && !kplat::SameText(name, L"regedit")) {
    return false;
  }
  return slash == std::wstring::npos ||
         kplat::SameText(aProgram.substr(0, slash), kplat::Platform().System().GetWindowsFolder());
}

bool IsAbsolute(const std::wstring& aPath) {
  return aPath.find(L':') != std::wstring::npos || aPath.rfind(L"\\\\", 0) == 0;
}

} // namespace

bool RunFakeRegEdit(const kplat::TProcessStart& aStart, kplat::TProcessResult& aResult,
                    kplat::TErrorCode& aError) {
  std::vector<std::wstring> args = SplitCommandLine(aStart.CommandLine);
  const std::wstring program =
      !aStart.Application.empty() ? aStart.Application : (args.empty() ? L"" : args.front());
  if (!IsRegEdit(program)) {
    return false;
  }
  std::wstring path = program.find_first_of(L"\\/") == std::wstring::npos
                          ? kplat::Platform().System().GetWindowsFolder() + L"\\" + program
                          : program;
  if (!kplat::SameText(std::wstring_view(path).substr(path.size() - 4), L".exe")) {
    path += L".exe";
  }
  if (!kplat::FileExists(path)) {
    aError = kplat::err::FileNotFound;
    return true;
  }
  bool silent = false;
  std::vector<std::wstring> files;
  for (size_t i = 1; i < args.size(); ++i) {
    if (kplat::SameText(args[i], L"/s") || kplat::SameText(args[i], L"-s")) {
      silent = true;
    } else if (!args[i].empty() && (args[i][0] == L'/' || args[i][0] == L'-')) {
      aError = kplat::err::NotSupported;
      return true;
    } else {
      files.push_back(args[i]);
    }
  }
  aError = kplat::err::Success;
  aResult = {};
  if (!silent) {
    return true;
  }
  const std::wstring folder = aStart.WorkingFolder.empty()
                                  ? kplat::Platform().System().GetCurrentFolder()
                                  : aStart.WorkingFolder;
  for (const std::wstring& file : files) {
    TRegFileError error;
    ImportRegFileDirect(IsAbsolute(file) ? file : folder + L"\\" + file, error);
  }
  aResult.Finished = aStart.WaitMs != kplat::kNoWait;
  aResult.ExitCode = 0;
  return true;
}

void InstallFakeRegEdit(kplat::fake::TFakeMachine& aMachine) {
  aMachine.SetLaunchHandler([](const kplat::TProcessStart& aStart, kplat::TProcessResult& aResult) {
    kplat::TErrorCode error = kplat::err::Success;
    if (!RunFakeRegEdit(aStart, aResult, error)) {
      aResult.Finished = true;
      aResult.ExitCode = 0;
    }
    return error;
  });
}

kplat::TErrorCode SaveSealedBackup(const TRegExporter& aExporter, const std::wstring& aFile) {
  kplat::TSha256Digest seal{};
  return kplat::WriteFileAtomic(aFile,
                                TSealWriter(LoadSealKey(true), TSealKind::RegistryBackup, aFile)
                                    .Seal(aExporter.Stream(), seal));
}
