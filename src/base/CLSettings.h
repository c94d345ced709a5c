#pragma once
// The settings store: named settings by dotted key ("App.Ver", "Update.LastDate"), one store per
// process. A name is looked up, first hit wins, in the owner's overwrite list, the user settings
// file "setting.dat", the OEM file "oem.const.dat", the fixed-values file "const.dat" (both beside
// the program, read only) and the owner's default list. Every value is
// text underneath; the typed getters and setters convert. Setters write only the user settings
// file, whole and atomically, at once unless a batch (BeginUpdate/EndUpdate) is open.
//
// The user settings file lives in the user data folder: the per-machine one (the all-users
// application-data folder) when "UserFlag.ini" in the per-user folder says so and the user may
// write there, else the per-user one (the user's application-data folder); both are followed by
// the folder word "App.ConfigPath", or the program's path with "\", ":" and "/" made "_".
//
// Used from the GUI thread only; no locking.

#include "base/CLDateUtils.h"
#include "base/CLHelpers.h"
#include "base/CLIniFiles.h"
#include "base/CLStrings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// What the application adds to the settings files (the application engine is the owner): lists of
// name=value lines, one that beats every file and one used when no file has the name, and the
// message that the user settings file could not be read.
class ICLSettingsOwner {
public:
  virtual ~ICLSettingsOwner() = default;
  virtual const TStringList& SettingOverwrite() const = 0;
  virtual const TStringList& SettingDefault() const = 0;
  virtual void TellSettingsUnreadable(const std::wstring& aFileName) = 0;
};

// The installed owner, or nullptr while none is.
ICLSettingsOwner* GetCLSettingsOwner();
ICLSettingsOwner* SetCLSettingsOwner(ICLSettingsOwner* aOwner); // returns the previous one

class TCLSettings {
public:
  // aSettingFile empty: "const.dat", "oem.const.dat" and "setting.dat". A name replaces both
  // "const.dat" and "setting.dat", and the OEM file is "oem." followed by it.
  explicit TCLSettings(const std::wstring& aSettingFile = L"");
  ~TCLSettings(); // writes nothing: every change is on disk already, unless a batch was left open
  TCLSettings(const TCLSettings&) = delete;
  TCLSettings& operator=(const TCLSettings&) = delete;

  // An absent name reads as the type's zero value and is reported on the debug channel.
  std::wstring GetSettingString(const std::wstring& strName) const;
  // Decimal or "$" hexadecimal; 0 when unparsable.
  int32_t GetSettingInteger(const std::wstring& strName) const;
  // Either "." or "," as the decimal separator; 0 when unparsable.
  double GetSettingFloat(const std::wstring& strName) const;
  // An integer; non-zero is true.
  bool GetSettingBool(const std::wstring& strName) const;
  // "Left,Top,Right,Bottom"; aDefault unless the value has exactly four parts. A part that is
  // no integer reads as 0.
  TRect GetSettingRect(const std::wstring& strName, const TRect& aDefault = {}) const;
  // An OLE date stored as a float.
  TDateTime GetSettingDate(const std::wstring& strName) const { return GetSettingFloat(strName); }
  // Whether any layer has the name, even with an empty value.
  bool GetSettingExists(const std::wstring& strName) const;

  void SetSettingstring(const std::wstring& strName, const std::wstring& strValue);
  void SetSettingInteger(const std::wstring& strName, int32_t iValue);
  // The shortest text that reads back as the same number, "." as the decimal separator.
  void SetSettingFloat(const std::wstring& strName, double fValue);
  void SetSettingBool(const std::wstring& strName, bool ibValue); // "1" / "0"
  void SetSettingRect(const std::wstring& strName, const TRect& rcValue);
  void SetSettingDate(const std::wstring& strName, TDateTime aValue) {
    SetSettingFloat(strName, aValue);
  }

  // Answers of the message boxes with a "do not display this message again" box, by message
  // number: whether to show it (default true) and the result the user gave (default 1).
  bool GetMessageShowAgainFlag(int32_t iNumber) const;
  void SetMessageShowAgainFlag(int32_t iNumber, bool bValue);
  int32_t GetMessageShowAgainResult(int32_t iNumber) const;
  void SetMessageShowAgainResult(int32_t iNumber, int32_t iValue);
  void ClearShowAgainFlag();

  // "AllUsers" in section "Flag" of "UserFlag.ini" in the per-user data folder; each access
  // creates that folder first. The setter writes the file at once.
  bool IsAllUserFlagExists() const;
  bool GetAllUserFlag() const; // true when the key is missing
  void SetAllUserFlag(bool bValue);
  // Creates the per-machine data folder and asks the system whether the user may write to it.
  bool IsAllUserPathWriteable() const;
  // Switches the user data folder (creating it) and opens its "setting.dat", creating the file
  // with a single blank when it is missing. The flag file is not changed.
  void SetAllUser(bool Value);
  bool AllUser() const { return FAllUser; }

  const std::wstring& UserDataPath() const { return FUserDataPath; }
  const std::wstring& UserDataPathCurrentUser() const { return FUserDataPathCurrentUser; }
  const std::wstring& UserDataPathAllUsers() const { return FUserDataPathAllUsers; }
  const std::wstring& ConstDataPath() const { return FConstDataPath; }
  // "RunTimes" as it was when the store was created: the number of earlier starts.
  int32_t RunTimes() const { return FRunTimes; }
  // Whole days since the oldest of the program's folder and the two data folders was created;
  // 0 when none can be read.
  int32_t GetRunDays() const;

  // Between the two, setters change the settings in memory only; EndUpdate writes them once.
  void BeginUpdate() { FUpdating = true; }
  // The result of the write; a failed one leaves the file as it was.
  kplat::TErrorCode EndUpdate();
  // Writes the user settings file whole. A file that was there but could not be read is never
  // overwritten (AccessDenied), so that what it holds is not lost.
  kplat::TErrorCode UpdateSettingINI();
  // Whether the user settings file is there but could not be read (after a few tries, a file held
  // open by another program is usually free again): the run uses the other layers' values, counts
  // as a later start and saves no setting.
  bool SettingsUnreadable() const { return FSettingIniKept; }
  // Tells the user so once, through the owner; nothing without an owner or when the file was
  // read.
  void TellUnreadable();

  // A text straight from the chosen language's file, for use before the engine exists: key
  // strValue of section strSection in the ".lan" file of "Language" ("Language.Force" beats it)
  // in the languages folder "Path.Languages". The file is read on every call.
  std::wstring SlowGetLanguageString(const std::wstring& strSection, const std::wstring& strValue,
                                     const std::wstring& strDefault) const;

private:
  std::optional<std::wstring> FindSetting(const std::wstring& strName) const;
  void WriteSetting(const std::wstring& strSection, const std::wstring& strName,
                    const std::wstring& strValue);
  void WriteChanged();
  std::wstring UserFlagFileName() const;
  // Settles the flag file at creation; whether the store uses the per-machine folder.
  bool DecideAllUser();

  bool FAllUser = false;
  TCLMemIniFile FConstValueIni;
  TCLMemIniFile FOemValueIni;
  std::unique_ptr<TCLMemIniFile> FSettingIni;
  // The user settings file exists but could not be read whole: it is never written.
  bool FSettingIniKept = false;
  bool FUnreadableTold = false;
  std::wstring FConstDataPath;
  std::wstring FUserDataPath;
  std::wstring FUserDataPathCurrentUser;
  std::wstring FUserDataPathAllUsers;
  int32_t FRunTimes = 0;
  bool FUpdating = false;
  std::wstring FConfigPathWord;
  std::wstring FSettingFilename;
};

// The process-wide store, created on the first call (aSettingFile counts only then).
TCLSettings& GetCLSettings(const std::wstring& aSettingFile = L"");
// Destroys it; the next GetCLSettings creates a new one.
void FreeCLSettings();
