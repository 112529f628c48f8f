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

; Ends every copy of Murmuro that runs the installed murmuro.exe, politely: WM_CLOSE to its hidden
; window makes it save its settings and exit. A copy counts by the file it runs, whatever path it
; was started from. Before closing any, it checks that every copy has that window: one that shows
; "already running" or a failed start has none and would keep the file, so the (un)installation
; then stops unchanged. It waits for the process, not the window: the process may still hold its
; one-copy lock for a moment after the window is gone. It never kills a copy; one that does not
; end in time is left to the user, and the (un)installation stops. Sets $WasRunning to 1 when it
; ended one.
!macro END_RUNNING_COPIES un
; The identity of the file at the path on the stack: its volume serial and file index, the same
; for every path to it (another drive letter, a link, a short name); "" when it cannot be opened.
Function ${un}FileIdentity
  Exch $0
  Push $1
  Push $2
  Push $3
  ; Asking for no access opens a running program too.
  System::Call "kernel32::CreateFileW(w r0, i 0, i ${FILE_SHARE_ALL}, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .r1"
  StrCpy $0 ""
  ${If} $1 P<> ${INVALID_HANDLE_VALUE}
    System::Alloc ${BY_HANDLE_FILE_INFORMATION_SIZE}
    Pop $2
    System::Call "kernel32::GetFileInformationByHandle(p r1, p r2) i .r3"
    ${If} $3 <> 0
      ; dwVolumeSerialNumber, nFileIndexHigh and nFileIndexLow
      System::Call "*$2(i, i, i, i, i, i, i, i .r0, i, i, i, i .r3, i .r1)"
      StrCpy $0 "$0:$3:$1"
    ${EndIf}
    System::Free $2
    System::Call "kernel32::CloseHandle(p r1)"
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The identity of the program file of the process whose id is on the stack; "" when unknown.
Function ${un}ProcessIdentity
  Exch $0
  Push $1
  Push $2
  System::Call "kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION}, i 0, i r0) p .r1"
  StrCpy $0 ""
  ${If} $1 P<> 0
    System::Call "kernel32::QueryFullProcessImageNameW(p r1, i 0, w .r0, *i ${NSIS_MAX_STRLEN}) i .r2"
    System::Call "kernel32::CloseHandle(p r1)"
    ${If} $2 <> 0
      Push $0
      Call ${un}FileIdentity
      Pop $0
    ${Else}
      StrCpy $0 ""
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The number of processes that run the installed program ($Target) and have no hidden window.
Function ${un}CountCopiesWithoutWindow
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $5 0
  StrCpy $1 16384
  ${Do}
    System::Alloc $1
    Pop $0
    System::Call "kernel32::K32EnumProcesses(p r0, i r1, *i 0 r2) i .r3"
    ${If} $3 = 0
      StrCpy $2 0
    ${EndIf}
    ; A full buffer may have cut the list short.
    ${If} $2 < $1
      ${Break}
    ${EndIf}
    System::Free $0
    IntOp $1 $1 * 2
  ${Loop}
  StrCpy $1 0
  ${DoWhile} $1 < $2
    IntPtrOp $3 $0 + $1
    System::Call "*$3(i .r3)"
    Push $3
    Call ${un}ProcessIdentity
    Pop $4
    ${If} $4 == $Target
      StrCpy $4 0
      ${Do}
        FindWindow $4 "${MAIN_WINDOW_CLASS}" "" 0 $4
        ${If} $4 = 0
          IntOp $5 $5 + 1
          ${Break}
        ${EndIf}
        System::Call "user32::GetWindowThreadProcessId(p r4, *i 0 r6) i"
      ${LoopUntil} $6 = $3
    ${EndIf}
    IntOp $1 $1 + 4
  ${Loop}
  System::Free $0
  StrCpy $0 $5
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
Function ${un}EndRunningCopies
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push "$INSTDIR\murmuro.exe"
  Call ${un}FileIdentity
  Pop $Target
  ${If} $Target == ""
    Goto done
  ${EndIf}
  check:
    Call ${un}CountCopiesWithoutWindow
    Pop $0
    ${If} $0 > 0
      MessageBox MB_RETRYCANCEL|MB_ICONSTOP \
        "Murmuro is in use by a copy that cannot be asked to close, for example one that shows a message. \
        Close that message, then choose Retry." \
        /SD IDCANCEL IDRETRY check
      SetErrorLevel ${EXIT_IN_USE}
      Abort "Murmuro is in use; nothing was changed."
    ${EndIf}
  StrCpy $0 0
  next_window:
    FindWindow $0 "${MAIN_WINDOW_CLASS}" "" 0 $0
    ${If} $0 = 0
      Goto done
    ${EndIf}
    System::Call "user32::GetWindowThreadProcessId(p r0, *i 0 r1)"
    Push $1
    Call ${un}ProcessIdentity
    Pop $3
    ; A copy of another file (the zip's) holds none of ours: leave it running.
    ${If} $3 != $Target
      Goto next_window
    ${EndIf}
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
    ${If} $2 P= 0
      Goto next_window
    ${EndIf}
    DetailPrint "Closing the running Murmuro"
    System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)"
    wait:
      System::Call "kernel32::WaitForSingleObject(p r2, i 20000) i .r4"
      ${If} $4 <> ${WAIT_OBJECT_0}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
          "Murmuro is still running. End it from its tray icon (Exit), then choose Retry." \
          /SD IDCANCEL IDRETRY wait
        System::Call "kernel32::CloseHandle(p r2)"
        SetErrorLevel ${EXIT_STILL_RUNNING}
        Abort "Murmuro is still running; nothing was changed."
      ${EndIf}
    System::Call "kernel32::CloseHandle(p r2)"
    StrCpy $WasRunning 1
    ; The window is gone: search the remaining ones from the start.
    StrCpy $0 0
    Goto next_window
  done:
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_COPIES ""
!insertmacro END_RUNNING_COPIES "un."

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
