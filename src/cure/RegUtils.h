#pragma once
// The writer of registry export files (the registry editor's text format 5.00 in UTF-16LE) and the
// import of such a file through the system registry editor.

#include "base/RegNotation.h"
#include "platform/PlatformTypes.h"
#include "platform/RegKey.h"

#include <cstdint>
#include <string>
#include <vector>

// Builds a registry export file in memory; nothing reaches the disk before SaveToFile. Every
// entry is a bracket line and one value line, each ended by CR LF, and a blank line; lines are
// never wrapped. Not safe for concurrent use.
class TRegExporter {
public:
  TRegExporter(); // starts with the byte-order mark and the header
  TRegExporter(const TRegExporter&) = delete;
  TRegExporter& operator=(const TRegExporter&) = delete;

  // Appends a fix line from the topic database (passed through NormalizeRegLine) under the key
  // "[aRoot\aKey]", both written exactly as given. An empty aSectionValue appends nothing.
  void AddRegItem(const std::wstring& aRoot, const std::wstring& aKey,
                  const std::wstring& aSectionValue);
  // Appends the backup of value aSection (the default value when empty) of key aKey as it is
  // now, so that importing the entry recreates it (REG_EXPAND_SZ comes back as REG_SZ). What has
  // no short notation (multi-strings, QWORDs and other types, DWORD data that is not 4 bytes long,
  // strings holding a line break) is written as "hex(n):" with its type so that it imports back
  // unchanged. False, with nothing appended, when the key cannot be opened, the value does not
  // exist, the key or value name holds a line break, or the entry would be longer than a reader
  // of export files accepts (kMaxRegFileLineChars).
  bool AddItem(const std::wstring& aRoot, const std::wstring& aKey, const std::wstring& aSection);
  // The same for a key the caller has open (with read access) as "[aRoot\aKey]", so that the
  // values of one key cost one open.
  bool AddItem(const std::wstring& aRoot, const std::wstring& aKey, const kplat::TRegKey& aOpenKey,
               const std::wstring& aSection);

  // Appends the key aKey alone, so that importing the entry makes it again (a key without values
  // has no value entry that would). False, with nothing appended, when its name holds a line
  // break.
  bool AddKey(const std::wstring& aRoot, const std::wstring& aKey);

  // Writes the whole content to aFileName atomically, creating or replacing it. On failure the
  // system error is returned and the content stays; later entries are appended either way.
  kplat::TErrorCode SaveToFile(const std::wstring& aFileName) const;

  // The complete file from its first byte.
  const std::vector<uint8_t>& Stream() const { return FStream; }

private:
  void WriteHeader();
  void AppendText(const std::wstring& aText);
  void AppendEntry(const std::wstring& aRoot, const std::wstring& aKey,
                   const std::wstring& aValueLine);

  std::vector<uint8_t> FStream;
};

// Hands aFileName to "RegEdit.exe" in the Windows folder, started hidden with "/s", and waits for
// it at most 3000 ms. The editor reports nothing: false means only that the file is missing (then
// nothing is started) or that the editor could not be started.
bool ImportRegFile(const std::wstring& aFileName);

// How a run of the registry editor over one file ended.
enum class TRegEditOutcome : uint8_t {
  Imported,   // the editor ended with exit code 0
  NotStarted, // the editor could not be started
  TimedOut,   // the editor had not ended within the wait; it may still read the file
  Failed      // the editor ended with a non-zero exit code
};

struct TRegEditResult {
  TRegEditOutcome Outcome = TRegEditOutcome::NotStarted;
  std::wstring Message; // what went wrong, naming the editor or the file; "" when imported
};

// Hands aFileName to "RegEdit.exe" in the Windows folder, started hidden with "/s" in that
// folder, and waits at most aWaitMs for it to end. The editor itself reports nothing about what
// it imported: callers that must know read the registry afterwards.
TRegEditResult RunRegEditImport(const std::wstring& aFileName, uint32_t aWaitMs);
