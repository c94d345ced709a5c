// The command line of kestrova-cli and the JSON text of its answers.

#include "cli/KestrovaCli.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <optional>

namespace {

struct TCategoryWord {
  const wchar_t* Word;
  TTopicCategory Category;
};

constexpr TCategoryWord kCategoryWords[] = {
    {L"regfix", tcARegFix},
    {L"privacy", tcBPrivacySweep},
    {L"junk", tcCJunkFile},
    {L"optimize", tcDSystemOptimization},
};

bool IsCommand(const std::wstring& aWord) {
  return aWord == L"scan" || aWord == L"cure" || aWord == L"backups" || aWord == L"restore" ||
         aWord == L"topics" || aWord == L"exclude";
}

// A whole positive decimal number that fits an int.
std::optional<int> ParseNumber(const std::wstring& aText) {
  if (aText.empty() || aText.size() > 9 ||
      !std::all_of(aText.begin(), aText.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
    return std::nullopt;
  }
  const int number = static_cast<int>(std::wcstol(aText.c_str(), nullptr, 10));
  return number > 0 ? std::optional<int>(number) : std::nullopt;
}

bool ParseExcludeArgs(const std::vector<std::wstring>& aArgs, TCliOptions& aOptions,
                      std::wstring& aError) {
  const std::wstring action = aArgs.size() > 1 ? aArgs[1] : L"";
  aOptions.Action = action;
  if (action == L"list" && (aArgs.size() == 2 || (aArgs.size() == 3 && aArgs[2] == L"--json"))) {
    aOptions.Json = aArgs.size() == 3;
    return true;
  }
  if (action == L"add" && aArgs.size() == 3) {
    aOptions.Place = aArgs[2];
    return true;
  }
  if (action == L"remove" && aArgs.size() == 3) {
    const std::optional<int> number = ParseNumber(aArgs[2]);
    if (!number) {
      aError = L"The exclusion number must be a whole number from 1, as exclude list numbers "
               L"them: \"" +
               aArgs[2] + L"\".";
      return false;
    }
    aOptions.ExclusionNumber = *number;
    return true;
  }
  if (action == L"add" || action == L"remove") {
    aError =
        action == L"add" ? L"exclude add needs one place." : L"exclude remove needs one number.";
    return false;
  }
  aError = action.empty() || action == L"list"
               ? L"exclude takes list [--json], add PLACE or remove N."
               : L"Unknown exclude action \"" + action + L"\": use list, add or remove.";
  return false;
}

} // namespace

std::wstring JsonString(const std::wstring& aText) {
  std::wstring json = L"\"";
  for (const wchar_t c : aText) {
    switch (c) {
    case L'"':
      json += L"\\\"";
      break;
    case L'\\':
      json += L"\\\\";
      break;
    case L'\n':
      json += L"\\n";
      break;
    case L'\r':
      json += L"\\r";
      break;
    case L'\t':
      json += L"\\t";
      break;
    default:
      if (static_cast<uint32_t>(c) < 0x20) {
        wchar_t escape[8];
        std::swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
        json += escape;
      } else {
        json += c;
      }
    }
  }
  return json + L"\"";
}

std::wstring CliUsage() {
  return L"Usage:\n"
         L"  kestrova-cli scan    [selection] [--json] [--pace]\n"
         L"  kestrova-cli cure    [selection] [--all] [--json] [--pace]\n"
         L"  kestrova-cli backups [N] [--json]\n"
         L"  kestrova-cli restore N [--unchecked] [--json]\n"
         L"  kestrova-cli topics  [--topics FILE] [--winapp2 FILE] [--json]\n"
         L"  kestrova-cli exclude list [--json] | add PLACE | remove N\n"
         L"  kestrova-cli --help | --version\n"
         L"Selection:\n"
         L"  --topics FILE       another topic database (its own enabled topics)\n"
         L"  --category NAME     regfix, privacy, junk or optimize; repeatable\n"
         L"  --all-topics        every topic of the database\n"
         L"  --winapp2 FILE      every entry of a Winapp2 rule file that applies to this\n"
         L"                      machine; alone, only those\n"
         L"Without a selection the topics are those chosen in the settings.\n"
         L"backups lists the backups, newest first; backups N lists what backup N changed (its\n"
         L"registry keys and values, files and folders), which restore N brings back.\n"
         L"Places never reported or changed (exclude):\n"
         L"  HKEY_CURRENT_USER\\Software\\Example        a registry key and all below it\n"
         L"  HKEY_CURRENT_USER\\Software\\Example|Name   one value (|@: the default value)\n"
         L"  C:\\Some\\Folder, C:\\Some\\File.txt           a folder and all below it, or a file\n"
         L"  C:\\Some\\Folder\\*.log                       the names a mask matches\n"
         L"  Environment variables (%LocalAppData%) are allowed.\n"
         L"Restore refuses a backup whose seal does not match (it was changed after its run).\n"
         L"A backup without a seal that can be checked (from an older version) is restored\n"
         L"only with --unchecked.\n";
}

bool ParseCliArgs(const std::vector<std::wstring>& aArgs, TCliOptions& aOptions,
                  std::wstring& aError) {
  aOptions = TCliOptions{};
  if (aArgs.empty()) {
    aError = L"No command given.";
    return false;
  }
  if (aArgs.size() == 1 && (aArgs[0] == L"--help" || aArgs[0] == L"-h" || aArgs[0] == L"/?")) {
    aOptions.Command = L"help";
    return true;
  }
  if (aArgs.size() == 1 && aArgs[0] == L"--version") {
    aOptions.Command = L"version";
    return true;
  }
  if (!IsCommand(aArgs[0])) {
    aError = L"Unknown command \"" + aArgs[0] + L"\".";
    return false;
  }
  aOptions.Command = aArgs[0];
  if (aOptions.Command == L"exclude") {
    return ParseExcludeArgs(aArgs, aOptions, aError);
  }
  const bool scans = aOptions.Command == L"scan" || aOptions.Command == L"cure";
  bool numberSeen = false;
  for (size_t i = 1; i < aArgs.size(); ++i) {
    const std::wstring& arg = aArgs[i];
    const bool hasValue = i + 1 < aArgs.size();
    if (arg == L"--json") {
      aOptions.Json = true;
    } else if (arg == L"--pace" && scans) {
      aOptions.Pace = true;
    } else if (arg == L"--unchecked" && aOptions.Command == L"restore") {
      aOptions.Unchecked = true;
    } else if (arg == L"--all" && aOptions.Command == L"cure") {
      aOptions.All = true;
    } else if (arg == L"--all-topics" && scans) {
      aOptions.AllTopics = true;
    } else if (arg == L"--topics" && (scans || aOptions.Command == L"topics")) {
      if (!hasValue || aArgs[i + 1].empty()) {
        aError = L"--topics needs a file name.";
        return false;
      }
      aOptions.TopicFile = aArgs[++i];
    } else if (arg == L"--winapp2" && (scans || aOptions.Command == L"topics")) {
      if (!hasValue || aArgs[i + 1].empty()) {
        aError = L"--winapp2 needs a file name.";
        return false;
      }
      aOptions.Winapp2File = aArgs[++i];
    } else if (arg == L"--category" && scans) {
      if (!hasValue) {
        aError = L"--category needs one of regfix, privacy, junk, optimize.";
        return false;
      }
      const std::wstring& word = aArgs[++i];
      const auto known = std::find_if(std::begin(kCategoryWords), std::end(kCategoryWords),
                                      [&word](const TCategoryWord& w) { return word == w.Word; });
      if (known == std::end(kCategoryWords)) {
        aError = L"Unknown category \"" + word + L"\": use regfix, privacy, junk or optimize.";
        return false;
      }
      aOptions.Categories.push_back(known->Category);
    } else if ((aOptions.Command == L"restore" || aOptions.Command == L"backups") && !numberSeen &&
               !arg.starts_with(L"-")) {
      const std::optional<int> number = ParseNumber(arg);
      if (!number) {
        aError = L"The backup number must be a whole number from 1: \"" + arg + L"\".";
        return false;
      }
      aOptions.BackupNumber = *number;
      numberSeen = true;
    } else {
      aError = L"Unexpected argument \"" + arg + L"\" for " + aOptions.Command + L".";
      return false;
    }
  }
  if (aOptions.Command == L"restore" && !numberSeen) {
    aError = L"restore needs the number of a backup, as the backups command lists them.";
    return false;
  }
  return true;
}
