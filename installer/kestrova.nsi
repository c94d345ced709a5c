; Kestrova's Windows installer. tools/make-dist stages the program folder and passes VERSION
; (App.Ver), COPYRIGHT, OUTFILE, FILES and UNFILES (the generated lists of the staged files to
; install and to remove) and ICON when the build rendered the application icon.
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrova"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_LINK_EN "Uninstall Kestrova"
!define UNINSTALL_LINK_DE "Kestrova deinstallieren"

Name "Kestrova"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kestrova"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Kestrova ${VERSION}"

!define MUI_ABORTWARNING
!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE $(LicenseFile)
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kestrova.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LicenseLangString LicenseFile ${LANG_ENGLISH} "License.txt"
LicenseLangString LicenseFile ${LANG_GERMAN} "Lizenz.txt"
LangString UninstallLink ${LANG_ENGLISH} "${UNINSTALL_LINK_EN}"
LangString UninstallLink ${LANG_GERMAN} "${UNINSTALL_LINK_DE}"
LangString RemoveUserData ${LANG_ENGLISH} "Also remove Kestrova's settings and registry backups?$\r$\n$\r$\nWithout the backups, earlier repairs can no longer be undone."
LangString RemoveUserData ${LANG_GERMAN} "Auch die Einstellungen und Registrierungssicherungen von Kestrova entfernen?$\r$\n$\r$\nOhne die Sicherungen lassen sich frühere Reparaturen nicht mehr rückgängig machen."

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Kestrova"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Kestrova Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"

; A running Kestrova is asked to close (its own switch s), so that its files can be replaced or
; removed; the wait for its window to go is bounded.
!macro CLOSE_KESTROVA prefix
Function ${prefix}CloseKestrova
  FindWindow $0 "TfrmMain"
  ${If} $0 == 0
  ${OrIfNot} ${FileExists} "$INSTDIR\Kestrova.exe"
    Return
  ${EndIf}
  ExecWait '"$INSTDIR\Kestrova.exe" runas /s'
  StrCpy $1 0
  ${Do}
    FindWindow $0 "TfrmMain"
    ${IfThen} $0 == 0 ${|} ${ExitDo} ${|}
    Sleep 100
    IntOp $1 $1 + 1
  ${LoopUntil} $1 >= 100
FunctionEnd
!macroend
!insertmacro CLOSE_KESTROVA ""
!insertmacro CLOSE_KESTROVA "un."

Section "Kestrova"
  SectionIn RO
  SetShellVarContext all
  Call CloseKestrova
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Kestrova"
  CreateShortcut "$SMPROGRAMS\Kestrova\Kestrova.lnk" "$INSTDIR\Kestrova.exe"
  CreateShortcut "$SMPROGRAMS\Kestrova\$(UninstallLink).lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kestrova"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Kestrova developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kestrova.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The user data folder's name as the program derives it: the path of Kestrova.exe with "\", ":"
; and "/" made "_". In $0, out $0.
Function un.DataFolderWord
  StrCpy $1 ""
  StrCpy $2 0
  ${Do}
    StrCpy $3 $0 1 $2
    ${IfThen} $3 == "" ${|} ${ExitDo} ${|}
    ${If} $3 == "\"
    ${OrIf} $3 == ":"
    ${OrIf} $3 == "/"
      StrCpy $3 "_"
    ${EndIf}
    StrCpy $1 "$1$3"
    IntOp $2 $2 + 1
  ${Loop}
  StrCpy $0 $1
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.CloseKestrova
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kestrova\Kestrova.lnk"
  Delete "$SMPROGRAMS\Kestrova\${UNINSTALL_LINK_EN}.lnk"
  Delete "$SMPROGRAMS\Kestrova\${UNINSTALL_LINK_DE}.lnk"
  RMDir "$SMPROGRAMS\Kestrova"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "Kestrova"

  ; The settings and backups are kept unless the user agrees (silent: kept, unless the command
  ; line says /REMOVEUSERDATA).
  StrCpy $0 "$INSTDIR\Kestrova.exe"
  Call un.DataFolderWord
  StrCpy $4 $0
  SetShellVarContext current
  StrCpy $5 "$APPDATA\$4"
  SetShellVarContext all
  StrCpy $6 "$APPDATA\$4"
  ${IfNot} ${FileExists} "$5\*.*"
  ${AndIfNot} ${FileExists} "$6\*.*"
    Return
  ${EndIf}
  ${GetParameters} $7
  ClearErrors
  ${GetOptions} $7 "/REMOVEUSERDATA" $8
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveUserData)" /SD IDNO IDYES remove
    Return
  ${EndIf}
  remove:
  RMDir /r "$5"
  RMDir /r "$6"
SectionEnd
