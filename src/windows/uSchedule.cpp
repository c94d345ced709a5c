#include "windows/uSchedule.h"

#include "appengine/CLAppHost.h"
#include "appengine/CLEngine.h"
#include "appengine/FigEngineSettings.h"
#include "base/CLSettings.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"
#include "windows/CLUpdateForm.h"

#include <cmath>
#include <cstdint>
#include <optional>

namespace {

constexpr wchar_t kRunKey[] = L"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";
constexpr int kResetStatusTicks = 300;
constexpr int kBringUpdateTimes = 5;
constexpr int64_t kMsPerDay = 86400000;

// The hour and minute of a time as "hh" and "nn" texts compare them.
struct THourMinute {
  int Hour = -1;
  int Minute = -1;
};

THourMinute HourMinute(TDateTime aValue) {
  const std::optional<TDateParts> parts = DecodeDateTime(aValue);
  return parts ? THourMinute{parts->Hour, parts->Minute} : THourMinute{};
}

// The launch time as typed, "hour:minute".
std::optional<TDateTime> ReadLaunchTime(const std::wstring& aHour, const std::wstring& aMinute) {
  return ParseDateTimePattern(aHour + L':' + aMinute, L"H:m", kplat::TDateTimeFormats{});
}

} // namespace

std::wstring LaunchParamsFromCmdFile(const std::wstring& strFileName,
                                     const std::vector<std::wstring>& aArguments) {
  if (strFileName == L"runas")
    return aArguments.size() > 1 ? aArguments[1] : std::wstring();
  return strFileName;
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& aCommandLine) {
  std::vector<std::wstring> arguments;
  size_t i = 0;
  for (;;) {
    while (i < aCommandLine.size() && (aCommandLine[i] == L' ' || aCommandLine[i] == L'\t'))
      ++i;
    if (i >= aCommandLine.size())
      break;
    std::wstring argument;
    bool quoted = false;
    while (i < aCommandLine.size() &&
           (quoted || (aCommandLine[i] != L' ' && aCommandLine[i] != L'\t'))) {
      size_t backslashes = 0;
      while (i < aCommandLine.size() && aCommandLine[i] == L'\\') {
        ++backslashes;
        ++i;
      }
      if (i < aCommandLine.size() && aCommandLine[i] == L'"') {
        argument.append(backslashes / 2, L'\\');
        if (backslashes % 2 == 1) {
          argument += L'"';
        } else if (quoted && i + 1 < aCommandLine.size() && aCommandLine[i + 1] == L'"') {
          argument += L'"'; // "" inside quotes is a quote
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        argument.append(backslashes, L'\\');
        if (i < aCommandLine.size() &&
            (quoted || (aCommandLine[i] != L' ' && aCommandLine[i] != L'\t')))
          argument += aCommandLine[i++];
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

TLaunchPlan PlanLaunch(const std::wstring& aLaunchParams) {
  TLaunchPlan plan;
  if (aLaunchParams.empty()) {
    plan.Action = TLaunchAction::laScan;
  } else if (kplat::SameText(aLaunchParams, kLaunchMiniStart)) {
    plan.Action = TLaunchAction::laMiniStart;
  } else if (kplat::SameText(aLaunchParams, kLaunchAutoScan)) {
    const TCLSettings& settings = GetCLSettings();
    plan.Action = TLaunchAction::laAutoScan;
    plan.Automatic = true;
    plan.Categories = {{tcARegFix, settings.GetSettingBool(L"AutoScan.Action0")},
                       {tcBPrivacySweep, false},
                       {tcCJunkFile, settings.GetSettingBool(L"AutoScan.Action1")},
                       {tcDSystemOptimization, settings.GetSettingBool(L"AutoScan.Action2")}};
  } else if (kplat::SameText(aLaunchParams, kLaunchAutoSweep)) {
    plan.Action = TLaunchAction::laAutoSweep;
    plan.Automatic = true;
    plan.LoadUserTopics = true;
    plan.Categories = {{tcARegFix, false}, {tcCJunkFile, false}, {tcDSystemOptimization, false}};
  }
  return plan;
}

void ApplyLaunchTopics(const TLaunchPlan& aPlan, TFigEngine& aEngine) {
  if (!aPlan.Automatic)
    return;
  if (aPlan.LoadUserTopics)
    LoadFigEngineSettings(aEngine, LoadCategorySwitches());
  for (const auto& [category, enabled] : aPlan.Categories) {
    // Optimisations reach as far as the user's profiles allow, unattended as in the window.
    if (category == tcDSystemOptimization && enabled)
      ApplyOptimizationProfiles(aEngine);
    else
      aEngine.SetTopicEnabledByCategory(category, enabled);
  }
}

bool ScheduleDue(int aMode, TDateTime aNow, TDateTime aLast, TDateTime aLaunch, bool aLaunched) {
  if (!(aNow > aLast))
    return false;
  // Whole days between the two, truncated.
  const int64_t days = std::llround((aNow - aLast) * kMsPerDay) / kMsPerDay;
  const THourMinute now = HourMinute(aNow);
  const THourMinute launch = HourMinute(aLaunch);
  const bool hourMatches = now.Hour >= 0 && now.Hour == launch.Hour;
  const bool timeMatches = hourMatches && now.Minute == launch.Minute;
  switch (aMode) {
  case 0:
    return !aLaunched && timeMatches;
  case 1:
    return days >= 1 && timeMatches;
  case 2:
    return days / 7 >= 1 && timeMatches;
  case 3:
    return days >= 30 && hourMatches;
  default:
    return false;
  }
}

void TScheduleCheck::BringUpdateWindowToFront() {
  ICLAppHost* host = GetCLAppHost();
  const TCLEngine* engine = GetCLEngine();
  if (FBringUpdateTimes >= kBringUpdateTimes || host == nullptr || engine == nullptr)
    return;
  // The engine's own window, whatever its caption says in the chosen language.
  TfrmCLUpdateForm* window = UpdateFormOf(*engine);
  if (window == nullptr || !window->Visible() || window->Host() == nullptr ||
      window->Host()->Handle() == 0)
    return;
  host->SetForeground(window->Host()->Handle());
  ++FBringUpdateTimes;
}

TScheduleTick TScheduleCheck::Tick() {
  TScheduleTick tick;
  if (FResetStatuesDelay > kResetStatusTicks) {
    tick.ResetStatus = true;
    FResetStatuesDelay = 0;
  }
  ++FResetStatuesDelay;
  BringUpdateWindowToFront();

  TCLSettings& settings = GetCLSettings();
  if (!settings.GetSettingBool(L"AutoScan.Enabled"))
    return tick;
  const kplat::TDateTimeFormats formats = UserDateTimeFormats();
  const TDateTime now = Now();

  std::optional<TDateTime> last = 0.0;
  const std::wstring lastText = settings.GetSettingString(L"Schedule.LastCure");
  if (!lastText.empty())
    last = TryStrToDateTime(lastText, formats);
  std::optional<TDateTime> launch = 0.5; // 12:00
  const std::wstring hour = settings.GetSettingString(L"AutoScan.LaunchHour");
  const std::wstring minute = settings.GetSettingString(L"AutoScan.LaunchMin");
  if (!hour.empty() && !minute.empty())
    launch = ReadLaunchTime(hour, minute);
  if (!last || !launch) {
    settings.SetSettingstring(L"Schedule.LastCure", DateTimeToStr(0.0, formats));
    return tick;
  }

  const int mode = settings.GetSettingInteger(L"AutoScan.ScanMode");
  const bool launched = settings.GetSettingBool(L"AutoScan.LaunchOnce.Launched");
  if (!ScheduleDue(mode, now, *last, *launch, launched))
    return tick;
  if (mode == 0)
    settings.SetSettingBool(L"AutoScan.LaunchOnce.Launched", true);
  settings.SetSettingstring(L"Schedule.LastCure", DateTimeToStr(now, formats));
  tick.StartAutoScan = true;
  return tick;
}

std::wstring RunEntryData(const std::wstring& aProgramPath, bool aSweepAtLogon,
                          bool aStartWithWindows) {
  // Quoted: an unquoted path with a blank would let Windows try "C:\Program.exe" first.
  const std::wstring program = L"\"" + aProgramPath + L"\" ";
  if (aSweepAtLogon)
    return program + kLaunchAutoSweep;
  if (aStartWithWindows)
    return program + kLaunchMiniStart;
  return std::wstring();
}

void WriteRunEntry(const std::wstring& aAppName, const std::wstring& aData) {
  kplat::TRegKey key;
  if (aData.empty()) {
    if (key.Open(kplat::regroot::CurrentUser, kRunKey, kplat::TRegAccess::FullAccess) ==
        kplat::err::Success)
      key.DeleteValue(aAppName);
    return;
  }
  if (key.Create(kplat::regroot::CurrentUser, kRunKey) == kplat::err::Success)
    key.WriteString(aAppName, aData);
}

void UpdateRunEntry(const std::wstring& aAppName) {
  const TCLSettings& settings = GetCLSettings();
  WriteRunEntry(aAppName, RunEntryData(kplat::Platform().System().GetProgramPath(),
                                       settings.GetSettingBool(L"AutoSweep.Login"),
                                       settings.GetSettingBool(L"General.Startup")));
}

std::wstring RunEntryName() {
  const TCLEngine* engine = GetCLEngine();
  const std::wstring name = engine ? engine->GetAppString(L"AppName") : std::wstring();
  return name.empty() ? GetCLSettings().GetSettingString(L"App.Name") : name;
}
