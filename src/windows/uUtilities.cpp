#include "windows/uUtilities.h"

#include "appengine/CLEngine.h"
#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "components/CLPlace.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "windows/CLWindowLanguage.h"

#include <vector>

namespace {

// The utilities file is a short list; anything larger is not one.
constexpr uint64_t kMaxUtilitiesBytes = 4ull * 1024 * 1024;

std::wstring ToolKey(int aPage, int aTool, const wchar_t* aPart) {
  std::wstring key = L"TOOLS_";
  key += std::to_wstring(aPage);
  key += L"_";
  key += std::to_wstring(aTool);
  key += aPart;
  return key;
}

int ParseIcon(const std::wstring& aText) {
  if (aText.empty() || aText.size() > 9 ||
      aText.find_first_not_of(L"0123456789") != std::wstring::npos)
    return 0;
  return std::stoi(aText);
}

} // namespace

std::wstring UtilityCommandLine(const std::wstring& aCommand) {
  const std::wstring command = ReplaceAll(aCommand, L"{APPPATH}", GetAppPath());
  if (kplat::FileExists(command)) {
    const bool quote = command.find(L' ') != std::wstring::npos && command.front() != L'"';
    return (quote ? L"\"" + command + L"\"" : command) + L" cwm";
  }
  if (!aCommand.starts_with(L"{APPPATH}"))
    return command + L" ";
  // A tool of the program folder given with arguments: its program part is quoted, or a blank in
  // the folder's path would let Windows start "C:\Program.exe" instead. The program part is the
  // longest one that names a file, else everything up to the first blank after the folder.
  const size_t folder = GetAppPath().size();
  size_t end = command.find(L' ', folder);
  for (size_t at = end; at != std::wstring::npos; at = command.find(L' ', at + 1))
    if (kplat::FileExists(command.substr(0, at)))
      end = at;
  const std::wstring program = command.substr(0, end);
  // No file name holds a quote or ends in a backslash; such a command starts nothing.
  if (program.size() == folder || program.back() == L'\\' ||
      program.find(L'"') != std::wstring::npos)
    return std::wstring();
  return L"\"" + program + L"\"" + (end == std::wstring::npos ? L"" : command.substr(end)) + L" ";
}

TfrmUtilities::TfrmUtilities(TComponent* aOwner, TImageList* aIcons)
    : TForm(aOwner, L"TfrmUtilities") {
  SetName(L"frmUtilities");
  SetBounds(0, 0, 600, 420);
  // clang-format off
  static const TCLPlace kControls[] = {
      {Field<&TfrmUtilities::lblToolsTitle>, L"lblToolsTitle", nullptr, {16, 12, 568, 24}},
      {Field<&TfrmUtilities::lblToolsText>, L"lblToolsText", nullptr, {16, 40, 568, 20}},
      {Field<&TfrmUtilities::pcPage>, L"pcPage", nullptr, {16, 68, 568, 28}},
  };
  // clang-format on
  PlaceControls(*this, kControls);
  for (int p = 0; p < kUtilityPages; ++p) {
    ts[p] = Place<TTabSheet>(this, pcPage, L"ts" + std::to_wstring(p + 1));
    ts[p]->SetTabVisible(false);
  }
  pcPage->OnChange = [this](TObject& aSender) { pcPageChange(aSender); };
  lvList = Place<TListView>(this, this, L"lvList", {16, 100, 568, 304});
  // A report of one column with the 32-pixel pictures: one tool per row, icon and caption.
  lvList->SetViewStyle(TViewStyle::vsReport);
  lvList->SetShowColumnHeaders(false);
  lvList->SetReadOnly(true);
  lvList->SetRowSelect(true);
  lvList->SetSmallImages(aIcons);
  lvList->SetItemHeight(36);
  TListColumn& column = lvList->Columns().Add();
  column.SetAutoSize(true);
  lvList->OnMouseUp = [this](TObject&, TMouseButton aButton, TShiftState, int aX, int aY) {
    if (aButton != TMouseButton::mbLeft)
      return;
    if (const TListItem* item = lvList->GetItemAt(aX, aY))
      StartItem(*item);
  };
  lvList->OnMouseMove = [this](TObject& aSender, TShiftState aShift, int aX, int aY) {
    lvList2MouseMove(aSender, aShift, aX, aY);
  };

  CLMultiLang1 = NewWindowLanguage(*this);
  Loaded();
  FormCreate();
}

bool TfrmUtilities::FormCreate() {
  FDataInfo.Clear();
  const std::wstring file = GetAppPath() + L"data\\utilities.db";
  std::vector<uint8_t> bytes;
  const kplat::TErrorCode error =
      kplat::Platform().Files().ReadFile(file, bytes, kMaxUtilitiesBytes);
  if (error != kplat::err::Success) {
    if (TCLEngine* engine = GetCLEngine())
      engine->ShowMessageEx(L"MSGBox.UtilitiesFileError", {file, SystemErrorMessage(error)}, false,
                            mr::None, mb::OK, TMsgDlgType::mtError, 0);
    lvList->Items().Clear();
    return false;
  }
  const std::wstring text = DecodeIniText(bytes);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos)
      end = text.size();
    if (end > start)
      FDataInfo.Add(text.substr(start, end - start));
    start = end + 1;
  }
  for (int p = 0; p < kUtilityPages; ++p) {
    const std::wstring caption = FDataInfo.Values(L"PAGE_" + std::to_wstring(p));
    ts[p]->SetCaption(caption);
    ts[p]->SetTabVisible(!caption.empty());
  }
  pcPage->SetActivePageIndex(0);
  ListPage(0);
  return true;
}

void TfrmUtilities::ListPage(int aPage) {
  lvList->Items().Clear();
  for (int n = 0;; ++n) {
    const std::wstring caption = FDataInfo.Values(ToolKey(aPage, n, L"_CAPTION"));
    if (caption.empty())
      break;
    TListItem& item = lvList->Items().Add();
    item.SetCaption(caption);
    item.SetImageIndex(ParseIcon(FDataInfo.Values(ToolKey(aPage, n, L"_ICON"))));
    item.SubItems().Add(FDataInfo.Values(ToolKey(aPage, n, L"_EXC")));
  }
}

void TfrmUtilities::pcPageChange(TObject&) {
  ListPage(pcPage->ActivePageIndex());
}

void TfrmUtilities::lvList2MouseMove(TObject&, TShiftState, int aX, int aY) {
  lvList->SetCursor(lvList->GetItemAt(aX, aY) != nullptr ? TCursor::crHandPoint
                                                         : TCursor::crDefault);
}

void TfrmUtilities::StartItem(const TListItem& aItem) {
  const std::wstring command = aItem.SubItems().Strings(0);
  const std::wstring commandLine = command.empty() ? command : UtilityCommandLine(command);
  if (commandLine.empty())
    return;
  RunProcess(L"", commandLine, L"", false, false, 0);
}
