#pragma once
// The Tools page: small programs, listed with an icon and a caption from the utilities file
// "data\utilities.db" (name=value lines read once) on up to ten pages, each started by a click.

#include "base/CLStrings.h"
#include "components/CLControls.h"
#include "components/CLListControls.h"

#include <string>

class TCLMultiLang;

inline constexpr int kUtilityPages = 10;

// The command line that starts a tool: "{APPPATH}" becomes the program folder; a command that
// names an existing file gets the argument "cwm" (its path in double quotes when it holds a
// blank, so that Windows cannot take a shorter path for the program), any other a trailing
// blank. A command that begins with "{APPPATH}" and names no file has its program part quoted;
// empty (nothing is started) when that part cannot be a file's name.
std::wstring UtilityCommandLine(const std::wstring& aCommand);

class TfrmUtilities : public TForm {
public:
  // aIcons: the main window's 32-pixel pictures.
  TfrmUtilities(TComponent* aOwner, TImageList* aIcons);

  // Loads the utilities file and sets the tabs; false (the user told, the page empty) when the
  // file cannot be read.
  bool FormCreate();
  // Lists the tools of page p: up to the first tool without a caption.
  void ListPage(int aPage);
  void pcPageChange(TObject& Sender);
  // The hand over a tool, the default pointer elsewhere.
  void lvList2MouseMove(TObject& Sender, TShiftState aShift, int aX, int aY);
  // Starts the item's tool; an item without a command does nothing.
  void StartItem(const TListItem& aItem);

  TLabel* lblToolsTitle;
  TLabel* lblToolsText;
  TPageControl* pcPage;
  TTabSheet* ts[kUtilityPages];
  TListView* lvList;
  TCLMultiLang* CLMultiLang1;

private:
  TStringList FDataInfo;
};
