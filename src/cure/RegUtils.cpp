#include "cure/RegUtils.h"

#include "base/CLHelpers.h"
#include "cure/RegFileReader.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <array>
#include <cstdio>

namespace {

constexpr const wchar_t* kHeader = L"Windows Registry Editor Version 5.00\r\n\r\n";
constexpr uint32_t kImportWaitMs = 3000;

bool HasLineBreak(const std::wstring& aText) {
  return aText.find_first_of(L"\r\n") != std::wstring::npos;
}

} // namespace

TRegExporter::TRegExporter() {
  WriteHeader();
}

void TRegExporter::WriteHeader() {
  FStream.clear();
  FStream.push_back(0xFF);
  FStream.push_back(0xFE);
  AppendText(kHeader);
}

void TRegExporter::AppendText(const std::wstring& aText) {
  const auto bytes = kplat::EncodeUtf16Le(aText);
  FStream.insert(FStream.end(), bytes.begin(), bytes.end());
}

void TRegExporter::AppendEntry(const std::wstring& aRoot, const std::wstring& aKey,
                               const std::wstring& aValueLine) {
  std::wstring entry;
  entry.reserve(aRoot.size() + aKey.size() + aValueLine.size() + 10);
  entry.append(L"[").append(aRoot).append(L"\\").append(aKey).append(L"]\r\n");
  entry.append(aValueLine).append(L"\r\n\r\n");
  AppendText(entry);
}

void TRegExporter::AddRegItem(const std::wstring& aRoot, const std::wstring& aKey,
                              const std::wstring& aSectionValue) {
  if (!aSectionValue.empty()) {
    AppendEntry(aRoot, aKey, NormalizeRegLine(aSectionValue));
  }
}

bool TRegExporter::AddKey(const std::wstring& aRoot, const std::wstring& aKey) {
  if (HasLineBreak(aKey)) {
    return false;
  }
  AppendText(L"[" + aRoot + L"\\" + aKey + L"]\r\n\r\n");
  return true;
}

bool TRegExporter::AddItem(const std::wstring& aRoot, const std::wstring& aKey,
                           const std::wstring& aSection) {
  kplat::TRegKey key;
  return key.Open(RootKeyFromName(aRoot), aKey, kplat::TRegAccess::Read) == kplat::err::Success &&
         AddItem(aRoot, aKey, key, aSection);
}

bool TRegExporter::AddItem(const std::wstring& aRoot, const std::wstring& aKey,
                           const kplat::TRegKey& aOpenKey, const std::wstring& aSection) {
  // A line break cannot be written in a key or value name; such an entry would import as garbage.
  if (HasLineBreak(aKey) || HasLineBreak(aSection)) {
    return false;
  }
  kplat::TRegValue value;
  if (aOpenKey.Query(aSection, value) != kplat::err::Success) {
    return false;
  }
  const std::wstring data = ExportValueData(value);
  const std::wstring name = ExportValueName(aSection);
  // An entry the reader refuses could not be restored; such a value is left as it is.
  if (name.size() + 1 + data.size() > kMaxRegFileLineChars ||
      value.Data.size() > kMaxRegFileLineChars) {
    return false;
  }
  AppendEntry(aRoot, aKey, name + L"=" + data);
  return true;
}

kplat::TErrorCode TRegExporter::SaveToFile(const std::wstring& aFileName) const {
  return kplat::WriteFileAtomic(aFileName, FStream);
}

bool ImportRegFile(const std::wstring& aFileName) {
  if (!kplat::FileExists(aFileName)) {
    return false;
  }
  return RunProgram(JoinPath(GetWindowsDir(), L"RegEdit.exe"), L"/s \"" + aFileName + L"\"", true,
                    kImportWaitMs);
}

TRegEditResult RunRegEditImport(const std::wstring& aFileName, uint32_t aWaitMs) {
  const std::wstring editor = JoinPath(GetWindowsDir(), L"RegEdit.exe");
  kplat::TProcessStart start;
  start.CommandLine = L'"' + editor + L"\" /s \"" + aFileName + L'"';
  start.WorkingFolder = ExtractFileDir(editor);
  start.Hidden = true;
  start.WaitMs = aWaitMs;
  kplat::TProcessResult result;
  TRegEditResult outcome;
  const kplat::TErrorCode rc = kplat::Platform().Processes().StartProcess(start, result);
  if (rc != kplat::err::Success) {
    outcome.Outcome = TRegEditOutcome::NotStarted;
    outcome.Message =
        L"Cannot start the registry editor \"" + editor + L"\": " + SystemErrorMessage(rc);
  } else if (!result.Finished) {
    outcome.Outcome = TRegEditOutcome::TimedOut;
    outcome.Message = L"The registry editor did not finish importing \"" + aFileName +
                      L"\" within " + std::to_wstring(aWaitMs / 1000) + L" seconds.";
  } else if (result.ExitCode != 0) {
    outcome.Outcome = TRegEditOutcome::Failed;
    outcome.Message = L"The registry editor could not import \"" + aFileName + L"\" (exit code " +
                      std::to_wstring(result.ExitCode) + L").";
  } else {
    outcome.Outcome = TRegEditOutcome::Imported;
  }
  return outcome;
}
