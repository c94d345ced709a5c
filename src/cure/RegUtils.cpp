#include "cure/RegUtils.h"

#include "cure/RegFileReader.h"
#include "framework/CLHelpers.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <array>
#include <cstdio>

namespace {

struct TRootName {
  const wchar_t* Name;
  kplat::TRegHandle Handle;
};

constexpr std::array<TRootName, 7> kRootNames{{
    {L"HKEY_CLASSES_ROOT", kplat::regroot::ClassesRoot},
    {L"HKEY_CURRENT_USER", kplat::regroot::CurrentUser},
    {L"HKEY_LOCAL_MACHINE", kplat::regroot::LocalMachine},
    {L"HKEY_USERS", kplat::regroot::Users},
    {L"HKEY_PERFORMANCE_DATA", kplat::regroot::PerformanceData},
    {L"HKEY_CURRENT_CONFIG", kplat::regroot::CurrentConfig},
    {L"HKEY_DYN_DATA", kplat::regroot::DynData},
}};

constexpr const wchar_t* kHeader = L"Windows Registry Editor Version 5.00\r\n\r\n";
constexpr const wchar_t* kNotFound = L"Not Found!";
constexpr uint32_t kImportWaitMs = 3000;

std::wstring ReplaceAll(const std::wstring& aText, const std::wstring& aFrom,
                        const std::wstring& aTo) {
  std::wstring result;
  size_t start = 0;
  for (size_t pos = aText.find(aFrom); pos != std::wstring::npos; pos = aText.find(aFrom, start)) {
    result.append(aText, start, pos - start).append(aTo);
    start = pos + aFrom.size();
  }
  return result.append(aText, start, std::wstring::npos);
}

std::wstring HexByte(uint8_t aByte) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  return {kDigits[aByte >> 4], kDigits[aByte & 0xF]};
}

std::wstring HexBytes(const std::vector<uint8_t>& aData) {
  std::wstring result;
  for (size_t i = 0; i < aData.size(); ++i) {
    if (i > 0) {
      result += L',';
    }
    result += HexByte(aData[i]);
  }
  return result;
}

std::wstring DwordData(const std::vector<uint8_t>& aData) {
  std::wstring result = L"dword:";
  for (size_t i = 4; i-- > 0;) {
    result += HexByte(aData[i]);
  }
  return result;
}

// The type number in "hex(n):" the way the registry editor writes it, in lower case.
std::wstring TypedHexData(const kplat::TRegValue& aValue) {
  wchar_t type[16];
  std::swprintf(type, 16, L"%x", static_cast<unsigned>(aValue.Type));
  return std::wstring(L"hex(") + type + L"):" + HexBytes(aValue.Data);
}

bool HasLineBreak(const std::wstring& aText) {
  return aText.find_first_of(L"\r\n") != std::wstring::npos;
}

bool IsStringType(uint32_t aType) {
  return aType == kplat::regtype::Sz || aType == kplat::regtype::ExpandSz;
}

// Read access is all a value's notation needs; a key the user may read but not change still
// shows its real value.
bool OpenKey(const std::wstring& aRoot, const std::wstring& aKey, kplat::TRegKey& aOpened) {
  return aOpened.Open(RootKeyFromName(aRoot), aKey, kplat::TRegAccess::Read) == kplat::err::Success;
}

} // namespace

kplat::TRegHandle RootKeyFromName(const std::wstring& aName) {
  for (const auto& root : kRootNames) {
    if (kplat::SameText(aName, root.Name)) {
      return root.Handle;
    }
  }
  return kplat::kNoRegHandle;
}

std::wstring EscapeRegBackslashes(const std::wstring& s) {
  return ReplaceAll(s, L"\\", L"\\\\");
}

std::wstring EscapeRegQuotes(const std::wstring& s) {
  return ReplaceAll(s, L"\"", L"\\\"");
}

std::wstring NormalizeRegLine(const std::wstring& s) {
  return ReplaceAll(EscapeRegBackslashes(s), L"=DWORD:", L"=dword:");
}

TRegValueText FormatRegValue(const std::wstring& aRoot, const std::wstring& aKey,
                             const std::wstring& aName) {
  TRegValueText text;
  kplat::TRegKey key;
  if (OpenKey(aRoot, aKey, key)) {
    kplat::TRegValue value;
    if (key.Query(aName, value) != kplat::err::Success) {
      text.NamePart = L'"' + aName + L'"';
      text.DataPart = kNotFound;
      return text;
    }
    if (IsStringType(value.Type)) {
      text.DataPart = L'"' + EscapeRegQuotes(kplat::RegDataToString(value.Data)) + L'"';
    } else if (value.Type == kplat::regtype::Dword && value.Data.size() == 4) {
      text.DataPart = DwordData(value.Data);
    } else if (value.Type == kplat::regtype::Binary) {
      text.DataPart = L"hex:" + HexBytes(value.Data);
    } else {
      return text;
    }
  }
  if (aName.empty()) {
    text.NamePart = L"@";
  } else {
    text.NamePart = L'"' + EscapeRegBackslashes(aName) + L'"';
    if (text.DataPart.empty()) {
      text.DataPart = L"\"\"";
    }
  }
  text.ValueLine = text.NamePart + L"=" + text.DataPart;
  return text;
}

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
  AppendText(L"[" + aRoot + L"\\" + aKey + L"]\r\n" + aValueLine + L"\r\n\r\n");
}

void TRegExporter::AddRegItem(const std::wstring& aRoot, const std::wstring& aKey,
                              const std::wstring& aSectionValue) {
  if (!aSectionValue.empty()) {
    AppendEntry(aRoot, aKey, NormalizeRegLine(aSectionValue));
  }
}

bool TRegExporter::AddItem(const std::wstring& aRoot, const std::wstring& aKey,
                           const std::wstring& aSection) {
  // A line break cannot be written in a key or value name; such an entry would import as garbage.
  if (HasLineBreak(aKey) || HasLineBreak(aSection)) {
    return false;
  }
  kplat::TRegKey key;
  kplat::TRegValue value;
  if (!OpenKey(aRoot, aKey, key) || key.Query(aSection, value) != kplat::err::Success) {
    return false;
  }
  std::wstring data;
  if (IsStringType(value.Type)) {
    const std::wstring text = kplat::RegDataToString(value.Data);
    // A string holding a line break would split the entry; its bytes in hex notation import back
    // unchanged.
    data = HasLineBreak(text) ? TypedHexData(value)
                              : L'"' + EscapeRegQuotes(EscapeRegBackslashes(text)) + L'"';
  } else if (value.Type == kplat::regtype::Dword && value.Data.size() == 4) {
    data = DwordData(value.Data);
  } else if (value.Type == kplat::regtype::Binary) {
    data = L"hex:" + HexBytes(value.Data);
  } else {
    // Multi-strings, QWORDs and the other types have no short notation, but the registry editor
    // imports their bytes with the type number; without this the repair could not be undone.
    data = TypedHexData(value);
  }
  const std::wstring name =
      aSection.empty() ? L"@" : L'"' + EscapeRegQuotes(EscapeRegBackslashes(aSection)) + L'"';
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
