#pragma once
// Where the community rules (a Winapp2 file) come from: the file the setting "Winapp2.File"
// names, chosen by the user or fetched on the user's command from the address in the setting
// "URL.Winapp2" into the user data folder. Nothing is fetched unasked, and a fetched file
// replaces the copy before it only when it reads as a Winapp2 file.

#include "appengine/SingleDownloader.h"
#include "engine/FigWinapp2.h"

#include <functional>
#include <string>

class TCLEngine;
class TFigEngine;

// The copy a fetch keeps: "Winapp2.ini" in the user data folder aUserDataPath.
std::wstring Winapp2CopyIn(const std::wstring& aUserDataPath);

// What the settings window shows of a rule file: its version line, how many entries it has and
// how many of them apply to this machine, or why it could not be read.
struct TWinapp2Source {
  std::wstring FileName; // empty: no community rules are used
  TWinapp2Status Status = TWinapp2Status::Missing;
  kplat::TErrorCode Error = 0;
  std::wstring Version;
  int Entries = 0;
  int Applying = 0;
};

// Reads the file of "Winapp2.File" with the guards applied and gives aEngine a topic for each
// of its entries that apply to this machine; with no file chosen, or one that cannot be read,
// aEngine keeps no community topics.
TWinapp2Source LoadWinapp2Topics(TFigEngine& aEngine);

// The one-line description of a source for the user, in the language of aTexts.
std::wstring DescribeWinapp2Source(const TWinapp2Source& aSource, const TCLEngine& aTexts);

// A fetch of the rule file, on the user's command. The file arrives beside the copy and replaces
// it only when it reads as Winapp2; then "Winapp2.File" names the copy.
class TWinapp2Fetch {
public:
  // aMessage: "" when the copy was replaced; else why not, for the user (the copy before stays).
  using TDone = std::function<void(const std::wstring& aMessage)>;

  TWinapp2Fetch(const std::wstring& aUserDataPath, const TCLEngine& aTexts);
  // Starts the fetch; false (aDone not called) while one runs. Without an address aDone hears at
  // once why nothing was fetched.
  bool Start(TDone aDone);
  bool Busy() const { return FDownloader.Busy(); }
  // Stops a running fetch; aDone is not called for it.
  void Abort() { FDownloader.Abort(); }

private:
  void Arrived();
  void Finish(const std::wstring& aMessage);

  std::wstring FCopy;
  const TCLEngine& FTexts;
  std::wstring FURL;
  TDone FDone;
  TSingleDownloader FDownloader{nullptr};
};
