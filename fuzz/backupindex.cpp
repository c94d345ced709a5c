// The backup index "info.rec" over any bytes, with the backup files its lines may name: the
// input's first part is the index, the rest the content of every file "*.reg" the index names.
#include "FuzzMachine.h"

#include "base/CLHelpers.h"
#include "cure/RestoreCenter.h"

#include <cstdlib>

namespace {

const std::wstring kBackupFolder = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\backup";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  kplat::fake::TFakeMachine& machine = fuzz::Machine();
  const auto [index, backup] = fuzz::SplitInput(aData, aSize);
  machine.AddFileContent(kBackupFolder + L"\\info.rec", index);
  machine.AddFileContent(kBackupFolder + L"\\a.reg", backup);
  machine.AddFileContent(kBackupFolder + L"\\b.reg", backup);

  TRestoreCenter center(kBackupFolder);
  center.Load(static_cast<int>(aSize % 4));
  const size_t rows = center.Rows().size();
  for (const TBackupRow& row : center.Rows()) {
    GetBackupChangeCount(row.FileName);
  }
  if (rows > 0) {
    center.Restore(0);
    if (!center.Delete(0)) {
      std::abort();
    }
    // The restore may change any key and file of the machine.
    fuzz::RenewMachine();
  }
  return 0;
}
