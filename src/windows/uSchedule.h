#pragma once
// The program's own starts: the launch word from the command line, what the launch timer does
// with it, the schedule check the main window runs once a second, and the Run entry that lets
// Windows start the program at log-on. The main window owns the timers and applies the results.

#include "base/CLDateUtils.h"
#include "engine/FigEngine.h"

#include <string>
#include <utility>
#include <vector>

// The launch words.
inline constexpr wchar_t kLaunchMiniStart[] = L"ministart";
inline constexpr wchar_t kLaunchAutoScan[] = L"AutoScan";
inline constexpr wchar_t kLaunchAutoSweep[] = L"AutoSweep";

// The launch word for the first command-line argument strFileName, aArguments being all of the
// process's arguments after the program name: the second one when strFileName is exactly
// "runas" (the elevated restart puts that word first), else strFileName itself.
std::wstring LaunchParamsFromCmdFile(const std::wstring& strFileName,
                                     const std::vector<std::wstring>& aArguments);

// A command line split into arguments as Windows programs split theirs: blanks separate them,
// double quotes group, 2n backslashes before a quote are n backslashes, 2n+1 are n and a quote.
std::vector<std::wstring> SplitCommandLine(const std::wstring& aCommandLine);

enum class TLaunchAction {
  laNone,      // an unknown word
  laScan,      // a plain start: the normal scan, as the user asked for it
  laMiniStart, // to the tray, nothing scanned
  laAutoScan,  // scheduled scan with repair
  laAutoSweep  // privacy sweep with repair
};

// What the launch timer does for a word (compared ignoring case).
struct TLaunchPlan {
  TLaunchAction Action = TLaunchAction::laNone;
  // The automatic starts restore the window, take these category choices, clear the result
  // list, start the scan and repair its findings without asking.
  bool Automatic = false;
  // First the user's own topic choice (the sweep), then whole categories switched.
  bool LoadUserTopics = false;
  std::vector<std::pair<TTopicCategory, bool>> Categories;
};

// "AutoScan" covers the categories of "AutoScan.Action0" (registry), "AutoScan.Action1" (junk
// files) and "AutoScan.Action2" (optimisation), never the privacy sweep; "AutoSweep" covers the
// user's privacy topics alone.
TLaunchPlan PlanLaunch(const std::wstring& aLaunchParams);
// The plan's topic choice on the engine; nothing for a start that is not automatic. A chosen
// optimisation category enables the topics the user's profiles reach, as the window's scan does
// (ApplyOptimizationProfiles); the other categories are taken whole.
void ApplyLaunchTopics(const TLaunchPlan& aPlan, TFigEngine& aEngine);

// What one tick of the schedule check asks of the main window.
struct TScheduleTick {
  bool ResetStatus = false;   // the engine's ResetStatus
  bool StartAutoScan = false; // launch word "AutoScan" and the launch timer enabled
};

// Whether a schedule of aMode (0 once, 1 daily, 2 weekly, 3 every 30 days) is due at aNow, the
// last scheduled start being aLast and the launch time aLaunch (its time of day counts): the
// hour and minute must match, for mode 3 the hour alone. aLaunched is the once-only flag.
bool ScheduleDue(int aMode, TDateTime aNow, TDateTime aLast, TDateTime aLaunch, bool aLaunched);

class TScheduleCheck {
public:
  // One tick, every second: every 301st tick resets the topics' status; then, with the schedule
  // on, a due start is recorded in "Schedule.LastCure" (and for the once-only mode in
  // "AutoScan.LaunchOnce.Launched") and asked for; the main window holds it while a scan, a
  // repair or a modal window is under way. A stored time that does not read back resets
  // "Schedule.LastCure" to the zero date. Before that, while it has not done so five times, it
  // brings the program's update window (the engine's) to the front when it is shown.
  TScheduleTick Tick();

private:
  void BringUpdateWindowToFront();

  int FResetStatuesDelay = 0;
  int FBringUpdateTimes = 0;
};

// The Run entry's data: the program path in double quotes and the launch word, "AutoSweep" when
// aSweepAtLogon, else "ministart" when aStartWithWindows; empty when there should be no entry.
std::wstring RunEntryData(const std::wstring& aProgramPath, bool aSweepAtLogon,
                          bool aStartWithWindows);
// Writes aData as the value aAppName of HKEY_CURRENT_USER's Run key (creating the key), or
// deletes the value when aData is empty; registry errors are ignored.
void WriteRunEntry(const std::wstring& aAppName, const std::wstring& aData);
// The Run entry for this program by the settings "AutoSweep.Login" and "General.Startup".
void UpdateRunEntry(const std::wstring& aAppName);
// The Run entry's name: the language text "AppName", else setting "App.Name".
std::wstring RunEntryName();
