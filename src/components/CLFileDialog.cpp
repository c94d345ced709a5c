#include "components/CLFileDialog.h"

#include <utility>

namespace {

TOpenFileChooser& Chooser() {
  static TOpenFileChooser chooser;
  return chooser;
}

} // namespace

TOpenFileChooser SetOpenFileChooser(TOpenFileChooser aChooser) {
  return std::exchange(Chooser(), std::move(aChooser));
}

bool ChooseFileToOpen(const TOpenFileRequest& aRequest, std::wstring& aFileName) {
  if (!Chooser()) {
    return false;
  }
  const TModalWindowScope modal;
  return Chooser()(aRequest, aFileName);
}
