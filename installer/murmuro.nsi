; The per-user installer murmuro-<version>-setup.exe. Built by the CMake target "installer":
;   makensis -DVERSION=1.2.3 -DPROGRAM=murmuro.exe -DSETTINGS=kel.dat -DREADME=README.txt
;            -DICON=murmuro.ico -DOUTFILE=murmuro-1.2.3-setup.exe [-DSIGN=<command>] murmuro.nsi
; Options: /S silent; /AUTOSTART=0 or /AUTOSTART=1 start at sign-in off or on (default: on for a
; first install, unchanged on an upgrade); /D=<folder>, last. The uninstaller takes /S too.

!ifndef VERSION | PROGRAM | SETTINGS | README | ICON | OUTFILE
  !error "define VERSION, PROGRAM, SETTINGS, README, ICON and OUTFILE"
!endif

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written stops the install; the program's files are swapped in only whole.
AllowSkipFiles off

!define APP "Murmuro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Murmuro"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Task Manager's enabled or disabled for each Run value.
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
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
!define EXIT_OTHER_FOLDER 8
; A folder that is not Murmuro's: <folder>\Murmuro holding other files, or, for the uninstaller,
; a folder without uninstall.exe.
!define EXIT_NOT_MURMUROS 9
!define EXIT_OTHER_ACCOUNT 10
; A write that did not take; the message names it.
!define EXIT_WRITE_FAILED 7
; What the uninstaller adds beside the section's files, in KiB, for the free-space check.
!define UNINSTALLER_KIB 512

Name "${APP}"
OutFile "${OUTFILE}"
!ifdef SIGN
  ; The build's signing command; %1 is the finished setup, then the uninstaller it carries.
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif
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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderPageLeave
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
Var InPlace          ; 1 when that installation's murmuro.exe is there: it is replaced where it is
Var WasRunning       ; 1 when a running copy was ended for this install
Var Started          ; 1 once this installer started the installed program
Var Target           ; the identity of the installed murmuro.exe, "" when there is none
Var AutostartOption  ; the value of /AUTOSTART=, "" without it
Var Typed            ; the folder as given, before a Murmuro folder was put inside it

!include "${__FILEDIR__}/running_copies.nsh"
!include "${__FILEDIR__}/checked_writes.nsh"
!include "${__FILEDIR__}/own_folder.nsh"
!include "${__FILEDIR__}/ownership.nsh"

Function ComponentsShow
  ; The folder page is skipped on an upgrade: this page's button starts the install.
  ${If} $InPlace = 1
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^InstallBtn)"
  ${EndIf}
FunctionEnd

Function SkipOnUpgrade
  ${If} $InPlace = 1
    Abort
  ${EndIf}
FunctionEnd

Function StartInstalledProgram
  ${If} $Started = 0
    Exec '"$INSTDIR\murmuro.exe"'
    StrCpy $Started 1
  ${EndIf}
FunctionEnd

!macro SWAP_IN name code
  Push "${name}"
  Call SwapIn
  Pop $0
  ${If} $0 = 0
    StrCpy $What "$INSTDIR\${name}"
    !if ${code} = ${EXIT_WRITE_FAILED}
      Call WriteFailed
    !else
      MessageBox MB_OK|MB_ICONSTOP "$What could not be replaced; it may be in use. The installed \
        version stays." /SD IDOK
      Abort "$What could not be replaced."
    !endif
  ${EndIf}
!macroend

Section "Murmuro" SecProgram
  SectionIn RO
  Call CheckFreeSpace
  Call EndRunningCopies

  ; Written beside the installed files, and swapped in only once whole: a failure, a full disk
  ; say, leaves the installed version as it was.
  SetOutPath "$INSTDIR"
  File "/oname=murmuro.exe.new" "${PROGRAM}"
  File "/oname=README.txt.new" "${README}"
  ; The user's settings: the default only where there are none yet. What is there must be a file
  ; Murmuro can read, or it would not start.
  SetOverwrite off
  File "/oname=kel.dat" "${SETTINGS}"
  SetOverwrite on
  Push "$INSTDIR\kel.dat"
  Call FileSize
  Pop $0
  ${If} $0 < 1
    StrCpy $What "$INSTDIR\kel.dat is not a settings file Murmuro can read: it is empty, a folder, or cannot \
      be opened. Delete it or rename it, then run the setup again, which puts the default settings in its \
      place. The installed version stays as it was."
    MessageBox MB_OK|MB_ICONSTOP "$What" /SD IDOK
    SetErrorLevel ${EXIT_WRITE_FAILED}
    Abort "$What"
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe.new"
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe.new"
  ${If} ${Errors}
    StrCpy $What "$INSTDIR\uninstall.exe"
    Call WriteFailed
  ${EndIf}
  ; The program first: a folder it is in is Murmuro's, so a setup that stops after it finishes
  ; the job there when run again.
  !insertmacro SWAP_IN murmuro.exe 2
  !insertmacro SWAP_IN README.txt ${EXIT_WRITE_FAILED}
  !insertmacro SWAP_IN uninstall.exe ${EXIT_WRITE_FAILED}

  !insertmacro WriteString "${FOLDER_KEY}" "InstallFolder" "$INSTDIR"
  ClearErrors
  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\murmuro.exe" "" "$INSTDIR\murmuro.exe" 0
  ${If} ${Errors}
  ${OrIfNot} ${FileExists} "$SMPROGRAMS\${APP}.lnk"
    StrCpy $What "The Start-menu shortcut $SMPROGRAMS\${APP}.lnk"
    Call WriteFailed
  ${EndIf}

  ; Written last: the entry names a version only once its files are in place.
  !insertmacro WriteString "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  !insertmacro WriteString "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  !insertmacro WriteString "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\murmuro.exe,0"
  !insertmacro WriteString "${UNINSTALL_KEY}" "Publisher" "${APP}"
  !insertmacro WriteString "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  !insertmacro WriteString "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  !insertmacro WriteString "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  !insertmacro WriteDword "${UNINSTALL_KEY}" "NoModify" 1
  !insertmacro WriteDword "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  !insertmacro WriteDword "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start Murmuro when I sign in" SecAutostart
SectionEnd

Section "-Start at sign-in"
  ${If} ${Silent}
  ${AndIf} $Installed != ""
  ${AndIf} $AutostartOption == ""
    ; An upgrade without /AUTOSTART= leaves the choice, and Task Manager's, alone; a start at
    ; sign-in follows the program only when it moved to another folder.
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    ${IfNot} ${Errors}
    ${AndIf} $InPlace = 0
      !insertmacro WriteString "${RUN_KEY}" "${APP}" '"$INSTDIR\murmuro.exe"'
    ${EndIf}
  ${ElseIf} ${SectionIsSelected} ${SecAutostart}
    !insertmacro WriteString "${RUN_KEY}" "${APP}" '"$INSTDIR\murmuro.exe"'
    ; The user's explicit choice overrides a "disabled" in Task Manager.
    !insertmacro DeleteValue "" "${APPROVED_KEY}" "${APP}"
  ${Else}
    !insertmacro DeleteValue "" "${RUN_KEY}" "${APP}"
  ${EndIf}
SectionEnd

; Before anything is closed: advisory only, the swap is what keeps the installed program whole.
Function CheckFreeSpace
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $0 $INSTDIR
  ${DoUntil} ${FileExists} "$0\*.*"
    ${GetParent} $0 $1
    ${If} $1 == ""
      ${Break}
    ${EndIf}
    StrCpy $0 $1
  ${Loop}
  StrCpy $3 0
  ${If} ${FileExists} "$0\*.*"
    System::Call "kernel32::GetDiskFreeSpaceExW(w r0, *l .r2, p 0, p 0) i .r3"
  ${EndIf}
  ${If} $3 <> 0
    SectionGetSize ${SecProgram} $1
    IntOp $1 $1 + ${UNINSTALLER_KIB}
    System::Int64Op $2 / 1024
    Pop $2
    System::Int64Op $2 < $1
    Pop $3
    ${If} $3 = 1
      StrCpy $0 "There is not enough free space for Murmuro in $0: it needs $1 KB, $2 KB are free. \
        Nothing was changed."
      MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
      Abort "$0"
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function .onInit
  StrCpy $WasRunning 0
  StrCpy $Started 0
  StrCpy $InPlace 0
  Call OtherAccount
  Pop $0
  ${If} $0 = 1
    MessageBox MB_OK|MB_ICONSTOP "This setup runs as another account than the user signed in here (for \
      example as SYSTEM, or with an administrator's name and password). Murmuro is installed for one \
      user alone: run the setup as that user, without administrator rights. Nothing was changed." /SD IDOK
    SetErrorLevel ${EXIT_OTHER_ACCOUNT}
    Quit
  ${EndIf}
  Call GivenFolder
  Pop $R0
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
    ; Upgrade or repair in place: one installation only. One whose program is gone (a moved
    ; profile, a changed drive letter) is installed anew, by the folder page or /D=.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\murmuro.exe"
      StrCpy $InPlace 1
      ${If} $R0 != ""
        StrCpy $INSTDIR $R0
        Call OwnFolder
        Pop $1
        ${If} $INSTDIR != $0
          MessageBox MB_OK|MB_ICONSTOP "Murmuro is installed in $0, and an upgrade replaces it there. \
            Leave out /D=, or uninstall Murmuro first to install it in $R0. Nothing was changed." /SD IDOK
          SetErrorLevel ${EXIT_OTHER_FOLDER}
          Quit
        ${EndIf}
      ${EndIf}
      StrCpy $INSTDIR $0
    ${EndIf}
  ${EndIf}
  ${If} $InPlace = 0
    ; Without /D=, the folder of the last installation, where its settings stayed, if it is there.
    ${If} $R0 == ""
      ReadRegStr $0 HKCU "${FOLDER_KEY}" "InstallFolder"
      ${If} $0 != ""
      ${AndIf} ${FileExists} "$0\*.*"
        StrCpy $INSTDIR $0
      ${EndIf}
    ${Else}
      StrCpy $INSTDIR $R0
    ${EndIf}
    Call OwnFolder
    Pop $0
    ${If} $0 = 0
      ; The folder page asks again; a silent run stops here.
      ${If} ${Silent}
        MessageBox MB_OK|MB_ICONSTOP "$INSTDIR holds files that are not Murmuro's. Give another folder with \
          /D=. Nothing was changed." /SD IDOK
        SetErrorLevel ${EXIT_NOT_MURMUROS}
        Quit
      ${EndIf}
      StrCpy $INSTDIR $Typed
    ${EndIf}
  ${EndIf}

  ; Start at sign-in: on for a first install; an upgrade keeps what the Run value says; either
  ; shows off while Task Manager has Murmuro disabled.
  StrCpy $2 1
  ${If} $Installed != ""
    ClearErrors
    ReadRegStr $0 HKCU "${RUN_KEY}" "${APP}"
    ${If} ${Errors}
      StrCpy $2 0
    ${EndIf}
  ${EndIf}
  Call StartDisabled
  Pop $0
  ${If} $0 = 1
    StrCpy $2 0
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART=" $1
  StrCpy $AutostartOption ""
  ${IfNot} ${Errors}
    ${If} $1 == "0"
    ${OrIf} $1 == "1"
      StrCpy $2 $1
      StrCpy $AutostartOption $1
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

; Nor does a failed install or uninstall leave it closed: the program it starts is whole.
Function .onInstFailed
  Delete "$INSTDIR\murmuro.exe.new"
  Delete "$INSTDIR\README.txt.new"
  Delete "$INSTDIR\uninstall.exe.new"
  ${If} $WasRunning = 1
    SetOutPath "$INSTDIR"
    Call StartInstalledProgram
  ${EndIf}
FunctionEnd

!include "${__FILEDIR__}/uninstall.nsh"
