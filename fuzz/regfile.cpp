// The registry export file reader over any bytes, and the import of what it accepts into the
// in-memory machine's registry. The same bytes read as a file in small parts, entry by entry,
// must give the same answer as the whole-file read.
#include "FuzzMachine.h"

#include "cure/RegFileReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::vector<uint8_t> bytes = fuzz::Bytes(aData, aSize);
  TRegFileReader reader;
  const bool loaded = reader.LoadFromBytes(bytes);

  const std::wstring file = L"C:\\input.reg";
  fuzz::Machine().AddFileContent(file, bytes);
  TRegFileReader parts;
  size_t entries = 0;
  const bool read = parts.ReadEntries(
      file, [&entries](const TRegFileKey&, const TRegFileValue*) { ++entries; },
      static_cast<uint32_t>(1 + aSize % 7));
  if (read != loaded || parts.Error().Line != reader.Error().Line) {
    std::abort();
  }
  if (!loaded) {
    // A refused file keeps no key.
    if (!reader.Keys().empty()) {
      std::abort();
    }
    return 0;
  }
  size_t whole = 0;
  for (const TRegFileKey& key : reader.Keys()) {
    whole += 1 + key.Values.size();
  }
  if (entries != whole) {
    std::abort();
  }
  if (!reader.Keys().empty()) {
    // The import may change any key of the machine.
    reader.Apply();
    fuzz::RenewMachine();
  }
  return 0;
}
