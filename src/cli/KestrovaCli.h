#pragma once
// The command-line front end: scan, cure, backups, restore and topics over the same engine,
// repair manager, settings store and data files as the main window. Runs on the process's
// main-thread dispatcher, which the program installs before calling RunKestrovaCli.

#include "engine/FigTopic.h"

#include <string>
#include <vector>

// Where the program writes; the program's entry point decides the encoding.
class ICliConsole {
public:
  virtual ~ICliConsole() = default;
  virtual void Out(const std::wstring& aText) = 0;
  virtual void Err(const std::wstring& aText) = 0;
  // Progress is shown only on a console.
  virtual bool ErrIsConsole() const = 0;
};

// Exit codes.
inline constexpr int kCliSuccess = 0;
inline constexpr int kCliFailed = 1;
inline constexpr int kCliUsageError = 2;
inline constexpr int kCliTopicDbError = 3;

struct TCliOptions {
  std::wstring Command; // "scan", "cure", "backups", "restore", "topics", "exclude", "help",
                        // "version"
  std::wstring TopicFile;
  std::wstring Winapp2File; // a community rule file whose applying entries are scanned too
  std::vector<TTopicCategory> Categories;
  bool AllTopics = false;
  bool All = false; // cure every finding, not only the checked ones
  bool Json = false;
  bool Pace = false;
  int BackupNumber = 0;   // restore, backups: 1 is the newest backup (backups: 0 lists them all)
  bool Unchecked = false; // restore: also a backup whose seal cannot be checked
  // exclude: "list", "add" (Place) or "remove" (ExclusionNumber, 1 is the first of the list)
  std::wstring Action;
  std::wstring Place;
  int ExclusionNumber = 0;
};

// False, with aError saying what is wrong, when the arguments (without the program name) are no
// valid command line.
bool ParseCliArgs(const std::vector<std::wstring>& aArgs, TCliOptions& aOptions,
                  std::wstring& aError);

// The usage text.
std::wstring CliUsage();

// Text as a JSON string literal, quotes included.
std::wstring JsonString(const std::wstring& aText);

class TCLEngine;

// Makes the settings store created next use the main window's user data folder, so that both
// programs share their settings and backups: its folder name is derived from "Kestrova.exe"
// beside this program, unless a settings file names one ("App.ConfigPath").
void UseWindowDataFolder(TCLEngine& aEngine);

// Runs the command line (without the program name) and returns the exit code.
int RunKestrovaCli(const std::vector<std::wstring>& aArgs, ICliConsole& aConsole);
