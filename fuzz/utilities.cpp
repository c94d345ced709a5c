// The utilities file over any bytes: the Tools page made from it, every page listed and every
// tool started on an in-memory machine, and each tool's command line read back as Windows reads
// one. The program folder holds a blank and a tool of its own.
#include "FuzzMachine.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "platform/FileIO.h"
#include "windows/uSchedule.h"
#include "windows/uUtilities.h"

#include <cstdlib>
#include <memory>

namespace {

const std::wstring kFile = fuzz::kProgramFolder + L"data\\utilities.db";

// A command that begins with the program folder never starts a program outside it.
void CheckCommandLine(const std::wstring& aCommand) {
  const std::wstring commandLine = UtilityCommandLine(aCommand);
  if (commandLine.empty() || !aCommand.starts_with(L"{APPPATH}")) {
    return;
  }
  const std::vector<std::wstring> arguments = SplitCommandLine(commandLine);
  if (arguments.empty() || !arguments[0].starts_with(GetAppPath()) ||
      arguments[0].find(L'"') != std::wstring::npos) {
    std::abort();
  }
}

// The engine and the Tools page, built once: each input is read into the page as the page reads
// its file when it opens.
struct TPage {
  TCLMainThreadQueue Queue;
  TCLScopedMainThread MainThread{Queue};
  TCLEngine Engine{nullptr};
  TfrmUtilities Page{nullptr, nullptr};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
  static std::unique_ptr<TPage> built;
  fuzz::Machine().AddFileContent(kFile, fuzz::Bytes(aData, aSize));
  if (!built) {
    fuzz::Machine().AddTextFile(fuzz::kProgramFolder + L"tools\\Disk Tool.exe", "MZ");
    built = std::make_unique<TPage>();
  } else {
    built->Page.FormCreate();
  }
  TfrmUtilities& page = built->Page;
  for (int p = 0; p < kUtilityPages; ++p) {
    page.ListPage(p);
    for (int i = 0; i < page.lvList->Items().Count(); ++i) {
      const TListItem& item = page.lvList->Items().Item(i);
      CheckCommandLine(item.SubItems().Strings(0));
      page.StartItem(item);
    }
  }
  if (built->Queue.WaitingCalls() > 0) {
    // What an input left for the main thread goes with the page, not to the next input.
    built.reset();
    FreeCLSettings();
  }
  fuzz::ClearRecords();
  return 0;
}
