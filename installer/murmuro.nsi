; The per-user installer murmuro-<version>-setup.exe. Built by the CMake target "installer":
;   makensis -DVERSION=1.2.3 -DPROGRAM=murmuro.exe -DSETTINGS=kel.dat -DREADME=README.txt
;            -DICON=murmuro.ico -DOUTFILE=murmuro-1.2.3-setup.exe murmuro.nsi
; Options: /S silent; /AUTOSTART=0 or /AUTOSTART=1 start at sign-in off or on (default: on for a
; first install, unchanged on an upgrade). The uninstaller takes /S too.

!ifndef VERSION | PROGRAM | SETTINGS | README | ICON | OUTFILE
  !error "define VERSION, PROGRAM, SETTINGS, README, ICON and OUTFILE"
!endif

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written stops the install rather than leaving a mixed installation.
AllowSkipFiles off

!define APP "Murmuro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Murmuro"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Outlives an uninstall: a later install goes back to the folder where the settings were kept.
!define FOLDER_KEY "Software\Murmuro"
!define MAIN_WINDOW_CLASS "MurmuroMain"
!define SYNCHRONIZE 0x00100000
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
!define WAIT_OBJECT_0 0
!define FILE_SHARE_ALL 7
!define OPEN_EXISTING 3
!define INVALID_HANDLE_VALUE -1
!define BY_HANDLE_FILE_INFORMATION_SIZE 52
; Exit codes of a silent run that changed nothing.
!define EXIT_NEWER_INSTALLED 3
!define EXIT_BAD_OPTION 4
!define EXIT_STILL_RUNNING 5
!define EXIT_IN_USE 6

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${APP}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${APP}"
VIAddVersionKey /LANG=1033 "LegalCopyright" ""

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_COMPONENTSPAGE_TEXT_TOP "Murmuro is installed for you alone and needs no administrator rights. \
  An earlier version is replaced; your settings (kel.dat) are kept."
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ComponentsShow
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "Murmuro is installed into a folder of its own: a folder that already \
  holds other files gets a Murmuro folder inside it."
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipOnUpgrade
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE OwnFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartInstalledProgram
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Murmuro will be removed from the folder below. \
  Your settings (kel.dat) stay there for a later installation."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var Installed        ; DisplayVersion of the installation found, "" when there is none
Var WasRunning       ; 1 when a running copy was ended for this install
Var Started          ; 1 once this installer started the installed program
Var Target           ; the identity of the installed murmuro.exe, "" when there is none

!include "${__FILEDIR__}/running_copies.nsh"

Function ComponentsShow
  ; The folder page is skipped on an upgrade: this page's button starts the install.
  ${If} $Installed != ""
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^InstallBtn)"
  ${EndIf}
FunctionEnd

Function SkipOnUpgrade
  ${If} $Installed != ""
    Abort
  ${EndIf}
FunctionEnd

; Never a folder of the user's: one that holds other files gets a Murmuro folder inside it, so
; that no file there is overwritten now or deleted by the uninstaller. An empty or new folder, or
; one with Murmuro or its settings in it, is taken as it is.
Function OwnFolder
  ${DirState} "$INSTDIR" $0
  ${If} $0 = 1
  ${AndIfNot} ${FileExists} "$INSTDIR\murmuro.exe"
  ${AndIfNot} ${FileExists} "$INSTDIR\kel.dat"
    StrCpy $0 $INSTDIR 1 -1
    ${If} $0 == "\"
      StrCpy $INSTDIR $INSTDIR -1
    ${EndIf}
    StrCpy $INSTDIR "$INSTDIR\${APP}"
  ${EndIf}
FunctionEnd

Function StartInstalledProgram
  ${If} $Started = 0
    Exec '"$INSTDIR\murmuro.exe"'
    StrCpy $Started 1
  ${EndIf}
FunctionEnd

Section "Murmuro" SecProgram
  SectionIn RO
  Call EndRunningCopies

  SetOutPath "$INSTDIR"
  File "/oname=murmuro.exe" "${PROGRAM}"
  File "/oname=README.txt" "${README}"
  ; The user's settings: the default only where there are none yet.
  SetOverwrite off
  File "/oname=kel.dat" "${SETTINGS}"
  SetOverwrite on
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${FOLDER_KEY}" "InstallFolder" "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\murmuro.exe" "" "$INSTDIR\murmuro.exe" 0

  ; Written last: the entry names a version only once its files are in place.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\murmuro.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start Murmuro when I sign in" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "${APP}" '"$INSTDIR\murmuro.exe"'
SectionEnd

Section "-Autostart off"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
  ${EndIf}
SectionEnd

Function .onInit
  StrCpy $WasRunning 0
  StrCpy $Started 0
  ReadRegStr $Installed HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
  ${AndIf} $Installed == ""
    StrCpy $Installed "0"
  ${EndIf}

  ${If} $Installed != ""
    ${VersionCompare} "$Installed" "${VERSION}" $1
    ${If} $1 = 1
      MessageBox MB_OK|MB_ICONSTOP \
        "Murmuro $Installed is installed, which is newer than this setup (${VERSION}). Nothing was changed." \
        /SD IDOK
      SetErrorLevel ${EXIT_NEWER_INSTALLED}
      Quit
    ${EndIf}
    ; Upgrade or repair in place: one installation only.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${EndIf}
  ${Else}
    ; Without /D=, the folder of the last installation, where its settings stayed. The command
    ; line as Windows has it: NSIS cuts /D= off $CMDLINE.
    System::Call "kernel32::GetCommandLineW() w .r0"
    ${GetOptionsS} $0 "/D=" $1
    ${If} ${Errors}
      ReadRegStr $0 HKCU "${FOLDER_KEY}" "InstallFolder"
      ${If} $0 != ""
        StrCpy $INSTDIR $0
      ${EndIf}
    ${EndIf}
    Call OwnFolder
  ${EndIf}

  ; Start at sign-in: on for a first install; an upgrade keeps what the Run value says.
  StrCpy $2 1
  ${If} $Installed != ""
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    ${If} ${Errors}
      StrCpy $2 0
    ${EndIf}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "0"
    ${OrIf} $1 == "1"
      StrCpy $2 $1
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "/AUTOSTART= takes 0 (off) or 1 (on), not $\"$1$\"." /SD IDOK
      SetErrorLevel ${EXIT_BAD_OPTION}
      Quit
    ${EndIf}
  ${EndIf}
  ${If} $2 == "1"
    SectionSetFlags ${SecAutostart} ${SF_SELECTED}
  ${Else}
    SectionSetFlags ${SecAutostart} 0
  ${EndIf}
FunctionEnd

; A copy that was running before the upgrade runs again afterwards. Interactively the finish
; page's "Run Murmuro" (checked) does it, and the user may untick it.
Function .onInstSuccess
  ${If} $WasRunning = 1
  ${AndIf} ${Silent}
    SetOutPath "$INSTDIR"
    Call StartInstalledProgram
  ${EndIf}
FunctionEnd

; Nor does a failed install or uninstall leave it closed.
Function .onInstFailed
  ${If} $WasRunning = 1
    SetOutPath "$INSTDIR"
    Call StartInstalledProgram
  ${EndIf}
FunctionEnd

Function un.onUninstFailed
  ${If} $WasRunning = 1
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\murmuro.exe"'
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.EndRunningCopies
  ; Still there, it would start at sign-in with no entry left to remove it.
  ClearErrors
  Delete "$INSTDIR\murmuro.exe"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\murmuro.exe cannot be deleted; it may be in use. \
      Murmuro was not removed." /SD IDOK
    Abort "Murmuro was not removed."
  ${EndIf}
  Delete "$INSTDIR\README.txt"
  ; kel.dat stays: the user's acronyms and switches survive a reinstall.
  Delete "$SMPROGRAMS\${APP}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${APP}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  ; Removed only when empty, and never while it is the current folder.
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
SectionEnd
