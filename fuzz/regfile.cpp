// The registry export file reader over any bytes, and the import of what it accepts into the
// in-memory machine's registry.
#include "FuzzMachine.h"

#include "cure/RegFileReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  kplat::fake::TFakeMachineScope scope;
  TRegFileReader reader;
  if (!reader.LoadFromBytes(fuzz::Bytes(aData, aSize))) {
    // A refused file keeps no key.
    if (!reader.Keys().empty()) {
      std::abort();
    }
    return 0;
  }
  reader.Apply();
  return 0;
}
