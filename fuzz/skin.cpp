// The skin file reader over any bytes: read from a ".skn" file on the in-memory machine, from
// its text, and through the skin data component, which keeps the skin in use when a file fails.
#include "FuzzMachine.h"

#include "base/CLIniFiles.h"
#include "components/CLSkin.h"

#include <cstdlib>

namespace {

const std::wstring kFile = fuzz::kProgramFolder + L"skins\\Fuzz.skn";

void Check(bool aHolds) {
  if (!aHolds) {
    std::abort();
  }
}

bool SameTheme(const TCLSkinTheme& a, const TCLSkinTheme& b) {
  return a.Name == b.Name && a.SystemColors == b.SystemColors && a.Dark == b.Dark &&
         a.Window == b.Window && a.WindowText == b.WindowText && a.ButtonFace == b.ButtonFace &&
         a.ButtonText == b.ButtonText && a.Highlight == b.Highlight &&
         a.HighlightText == b.HighlightText && a.Link == b.Link && a.Accent == b.Accent &&
         a.Band == b.Band && a.BandText == b.BandText && a.FontName == b.FontName &&
         a.FontSize == b.FontSize && a.SkinnedForm == b.SkinnedForm;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  const std::vector<uint8_t> bytes = fuzz::Bytes(aData, aSize);
  fuzz::Machine().AddFileContent(kFile, bytes);
  const bool skinnedForm = aSize % 2 == 0;

  TCLSkinTheme fromFile;
  fromFile.Name = L"Untouched";
  const TCLSkinTheme untouched = fromFile;
  const TCLSkinLoadResult file = LoadSkinFile(kFile, skinnedForm, fromFile);
  TCLSkinTheme fromText = untouched;
  const TCLSkinLoadResult text = ParseSkinText(DecodeIniText(bytes), kFile, skinnedForm, fromText);
  Check(file.Loaded == text.Loaded && SameTheme(fromFile, fromText));
  if (!file) {
    // A file that fails says why and leaves the theme alone.
    Check(!file.Error.empty() && SameTheme(fromFile, untouched));
  } else {
    Check(!fromFile.SystemColors && fromFile.SkinnedForm == skinnedForm && !fromFile.Name.empty() &&
          (fromFile.FontSize == 0 || (fromFile.FontSize >= 6 && fromFile.FontSize <= 72)));
  }

  {
    TCLSkinData data(nullptr);
    const TCLSkinTheme before = CurrentSkinTheme();
    const TCLSkinLoadResult loaded = data.LoadFromFile(kFile, skinnedForm);
    Check(loaded.Loaded == file.Loaded && data.FileSkinLoaded() == file.Loaded);
    Check(SameTheme(CurrentSkinTheme(), file ? fromFile : before));
    data.UseBuiltInSkin();
  }
  SetCurrentSkinTheme(TCLSkinTheme());
  return 0;
}
