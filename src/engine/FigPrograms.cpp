#include "engine/FigPrograms.h"

#include "base/CLHelpers.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace {

// Product names, which no translation changes.
constexpr std::array<std::pair<std::wstring_view, std::wstring_view>, 7> kCaptions = {{
    {L"chrome.exe", L"Google Chrome"},
    {L"msedge.exe", L"Microsoft Edge"},
    {L"brave.exe", L"Brave"},
    {L"vivaldi.exe", L"Vivaldi"},
    {L"opera.exe", L"Opera"},
    {L"firefox.exe", L"Mozilla Firefox"},
    {L"explorer.exe", L"Windows Explorer"},
}};

} // namespace

std::vector<std::wstring> RunningProgramsOf(const std::wstring& aPrograms) {
  std::vector<std::wstring> running;
  if (TrimSpaces(aPrograms).empty()) {
    return running;
  }
  std::vector<std::wstring> names;
  // A list the system refuses tells nothing: every program named may be running.
  const bool listed =
      kplat::Platform().Processes().ListRunningPrograms(names) == kplat::err::Success;
  std::vector<std::wstring> wanted;
  SplitText(aPrograms, L';', wanted);
  for (const std::wstring& entry : wanted) {
    const std::wstring program(TrimSpaces(entry));
    const auto same = [&program](const std::wstring& aName) {
      return kplat::SameText(aName, program);
    };
    if (!program.empty() && (!listed || std::ranges::any_of(names, same)) &&
        std::ranges::none_of(running, same)) {
      running.push_back(program);
    }
  }
  return running;
}

std::wstring ProgramCaption(const std::wstring& aProgram) {
  for (const auto& [file, caption] : kCaptions) {
    if (kplat::SameText(aProgram, file)) {
      return std::wstring(caption);
    }
  }
  return aProgram;
}
