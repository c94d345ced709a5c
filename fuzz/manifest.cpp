// The quarantine manifest reader over any bytes: the input's first part (up to a line "--") is a
// run's "manifest.txt", the rest the content of its kept file 1 (as "0\1", in its folder of a
// thousand, and as "1", where earlier versions kept it). The manifest is read from the
// in-memory machine plainly, with its seals checked and from memory, counted, and restored; a
// restore of a manifest whose seal was not checked writes nothing into the Windows folder.
#include "FuzzMachine.h"

#include "cure/FigQuarantine.h"
#include "platform/TextCodec.h"

#include <cstdlib>

namespace {

const std::wstring kBackupFile =
    L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\backup\\12092026101500.reg";

void Check(bool aHolds) {
  if (!aHolds) {
    std::abort();
  }
}

bool SameEntries(const std::vector<TQuarantineEntry>& a, const std::vector<TQuarantineEntry>& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].Folder != b[i].Folder || a[i].StoredName != b[i].StoredName ||
        a[i].Path != b[i].Path || a[i].Size != b[i].Size || a[i].Digest != b[i].Digest) {
      return false;
    }
  }
  return true;
}

// A plain path into the Windows folder (no "." or ".." part that could lead out of it).
bool InWindowsFolder(const std::wstring& aPath) {
  static const std::wstring kWindows = L"C:\\WINDOWS\\";
  return aPath.size() > kWindows.size() &&
         kplat::SameText(aPath.substr(0, kWindows.size()), kWindows) &&
         aPath.find(L"\\.") == std::wstring::npos && aPath.find(L'/') == std::wstring::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  kplat::fake::TFakeMachine& machine = fuzz::Machine();
  const auto [manifest, kept] = fuzz::SplitInput(aData, aSize);
  const std::wstring folder = QuarantineFolderOf(kBackupFile);
  machine.AddFileContent(folder + L"\\manifest.txt", manifest);
  machine.AddFileContent(folder + L"\\0\\1", kept);
  machine.AddFileContent(folder + L"\\1", kept);

  std::vector<TQuarantineEntry> entries;
  std::wstring error;
  const bool read = ReadQuarantine(kBackupFile, entries, error);
  Check(read == error.empty() && (read || entries.empty()));

  std::vector<TQuarantineEntry> parsed;
  int badLine = 0;
  const bool parsedOk = ParseQuarantineManifest(
      std::string_view(reinterpret_cast<const char*>(manifest.data()), manifest.size()), parsed,
      badLine);
  Check(parsedOk == read && (parsedOk == (badLine == 0)) && SameEntries(parsed, entries));

  // Without a seal in it, the checked read gives what the plain one gives.
  const TSealKey key{1, 2, 3};
  std::vector<TQuarantineEntry> sealed;
  TSealState state = TSealState::Unsealed;
  bool exists = false;
  std::wstring sealedError;
  ReadSealedQuarantine(kBackupFile, key, sealed, state, exists, sealedError);
  Check(exists);
  if (state == TSealState::Unsealed) {
    Check(SameEntries(sealed, entries));
  } else if (state == TSealState::Broken) {
    Check(sealed.empty());
  }

  const TQuarantineTotals totals = QuarantineTotals(kBackupFile);
  int files = 0;
  for (const TQuarantineEntry& entry : entries) {
    files += entry.Folder ? 0 : 1;
  }
  Check(totals.Files == files);

  if (entries.empty()) {
    return 0;
  }
  std::vector<bool> there;
  for (const TQuarantineEntry& entry : entries) {
    there.push_back(machine.HasFile(entry.Path) || machine.HasFolder(entry.Path));
  }
  const TFileRestoreResult restored = RestoreQuarantine(kBackupFile, entries, false);
  Check(restored.Files == files && restored.Restored <= files);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!there[i] && InWindowsFolder(entries[i].Path)) {
      Check(!machine.HasFile(entries[i].Path) && !machine.HasFolder(entries[i].Path));
    }
  }
  // The restore may have written anywhere else.
  fuzz::RenewMachine();
  return 0;
}
