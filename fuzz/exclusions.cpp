// The exclusions list over any bytes: read from its file on the in-memory machine and from
// memory, changed, saved and read again, and made ready for matching. Every place the list holds
// covers itself once matched.
#include "FuzzMachine.h"

#include "engine/FigExclusions.h"

#include <cstdlib>

namespace {

const std::wstring kFile = L"C:\\Users\\User\\AppData\\Roaming\\Kestrova\\Exclusions.txt";

void Check(bool aHolds) {
  if (!aHolds) {
    std::abort();
  }
}

// A disk place without a variable names itself once matched.
void CheckMatcher(const std::vector<TFigExclusion>& aItems) {
  const TFigExclusionMatcher matcher(aItems);
  for (const TFigExclusion& item : aItems) {
    if (item.Kind == ekPath && item.Place.find(L'%') == std::wstring::npos) {
      Check(matcher.CoversPath(item.Place));
    }
  }
  matcher.CoversPath(L"C:\\Users\\User\\AppData\\Local\\Temp\\x.tmp");
  matcher.CoversRegistry(L"HKEY_CURRENT_USER", L"Software\\Example", nullptr);
  const std::wstring value;
  matcher.CoversRegistry(L"HKEY_LOCAL_MACHINE", L"SOFTWARE\\Example", &value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::vector<uint8_t> bytes = fuzz::Bytes(aData, aSize);
  fuzz::Machine().AddFileContent(kFile, bytes);

  TFigExclusions file;
  const bool loaded = file.Load(kFile);
  TFigExclusions memory;
  Check(memory.LoadFromBytes(bytes) == loaded && memory.Items() == file.Items() &&
        memory.DamagedLine() == file.DamagedLine());
  Check(loaded != file.Damaged());
  CheckMatcher(file.Items());

  if (loaded) {
    // What was read is written and read back the same.
    Check(file.Save(kFile) == kplat::err::Success);
    TFigExclusions again;
    Check(again.Load(kFile) && again.Items() == file.Items());
  } else {
    // A damaged file is never written over.
    Check(file.Save(kFile) == kplat::err::AccessDenied);
  }
  if (file.Count() > 0) {
    file.Replace(0, file.Items()[0].Place + L"\\Below");
    Check(file.Remove(file.Count() - 1));
  }
  file.Add(L"%LocalAppData%\\Vendor\\*.log");
  Check(!file.Remove(file.Count()));
  return 0;
}
