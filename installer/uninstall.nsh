; The uninstaller: removes Murmuro from its own folder, and what names that folder elsewhere.
; Nothing is deleted until every step that can fail has succeeded: the program and the shortcut
; are first only moved aside and the values it removes are kept, so that a failure puts all of it
; back (un.onUninstFailed) and Murmuro is as it was. Included by murmuro.nsi.

Var MovedProgram     ; 1 once murmuro.exe is murmuro.exe.old
Var MovedShortcut    ; 1 once the shortcut is Murmuro.lnk.old
Var RemovedRun       ; 1 once the Run value is gone
Var Approved         ; Task Manager's record as it was, once removed: its bytes, type and size
Var ApprovedType
Var ApprovedSize

Function un.onInit
  StrCpy $WasRunning 0
  StrCpy $MovedProgram 0
  StrCpy $MovedShortcut 0
  StrCpy $RemovedRun 0
  StrCpy $Approved ""
  ; Only a folder Murmuro was installed in: `_?=` may name any.
  ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR holds no uninstall.exe: Murmuro is not installed there. \
      Nothing was changed." /SD IDOK
    SetErrorLevel ${EXIT_NOT_MURMUROS}
    Quit
  ${EndIf}
FunctionEnd

; Moves the file $0 to $1 in place of any file there; $2 is 0 when it could not.
!macro MOVE_ASIDE
  System::Call "kernel32::MoveFileExW(w r0, w r1, i ${MOVEFILE_REPLACE_EXISTING_WRITE_THROUGH}) i .r2"
!macroend

; Everything as it was, and a Murmuro that was closed runs again.
Function un.onUninstFailed
  ${If} $Approved != ""
    StrCpy $0 "${APPROVED_KEY}"
    StrCpy $1 "${APP}"
    System::Call "advapi32::RegSetKeyValueW(p ${HKCU_HANDLE}, w r0, w r1, i $ApprovedType, p $Approved, \
      i $ApprovedSize) i"
  ${EndIf}
  ${If} $RemovedRun = 1
    WriteRegStr HKCU "${RUN_KEY}" "${APP}" $RunValue
  ${EndIf}
  ${If} $MovedShortcut = 1
    StrCpy $0 "$SMPROGRAMS\${APP}.lnk.old"
    StrCpy $1 "$SMPROGRAMS\${APP}.lnk"
    !insertmacro MOVE_ASIDE
  ${EndIf}
  ${If} $MovedProgram = 1
    StrCpy $0 "$INSTDIR\murmuro.exe.old"
    StrCpy $1 "$INSTDIR\murmuro.exe"
    !insertmacro MOVE_ASIDE
  ${EndIf}
  ${If} $WasRunning = 1
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\murmuro.exe"'
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.EndRunningCopies
  Call un.FindOwn
  ${If} ${FileExists} "$INSTDIR\murmuro.exe"
    StrCpy $0 "$INSTDIR\murmuro.exe"
    StrCpy $1 "$INSTDIR\murmuro.exe.old"
    !insertmacro MOVE_ASIDE
    ${If} $2 = 0
      MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\murmuro.exe cannot be deleted; it may be in use. \
        Murmuro was not removed." /SD IDOK
      Abort "Murmuro was not removed."
    ${EndIf}
    StrCpy $MovedProgram 1
  ${EndIf}
  ${If} $RunOwn = 1
    !insertmacro DeleteValue "un." "${RUN_KEY}" "${APP}"
    StrCpy $RemovedRun 1
  ${EndIf}
  ${If} $ApprovedOwn = 1
    System::Alloc 1024
    Pop $3
    StrCpy $0 "${APPROVED_KEY}"
    StrCpy $1 "${APP}"
    System::Call "advapi32::RegGetValueW(p ${HKCU_HANDLE}, w r0, w r1, i ${RRF_RT_ANY}, *i 0 r4, p r3, \
      *i 1024 r5) i .r2"
    ${If} $2 = 0
      !insertmacro DeleteValue "un." "${APPROVED_KEY}" "${APP}"
      StrCpy $ApprovedType $4
      StrCpy $ApprovedSize $5
      StrCpy $Approved $3
    ${Else}
      System::Free $3
    ${EndIf}
  ${EndIf}
  ${If} $ShortcutOwn = 1
    StrCpy $0 "$SMPROGRAMS\${APP}.lnk"
    StrCpy $1 "$SMPROGRAMS\${APP}.lnk.old"
    !insertmacro MOVE_ASIDE
    ${If} $2 = 0
      StrCpy $What "The Start-menu shortcut $SMPROGRAMS\${APP}.lnk"
      Call un.WriteFailed
    ${EndIf}
    StrCpy $MovedShortcut 1
  ${EndIf}
  ; The entry goes only with every other trace. It is checked by the value the list of installed
  ; apps runs.
  ${If} $EntryOwn = 1
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    !insertmacro DeleteValue "un." "${UNINSTALL_KEY}" "UninstallString"
  ${EndIf}

  ; Nothing can fail from here on. kel.dat stays: the user's acronyms and switches survive a
  ; reinstall.
  Delete "$INSTDIR\murmuro.exe.old"
  ${If} $MovedShortcut = 1
    Delete "$SMPROGRAMS\${APP}.lnk.old"
  ${EndIf}
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\murmuro.exe.new"
  Delete "$INSTDIR\README.txt.new"
  Delete "$INSTDIR\uninstall.exe.new"
  Delete "$INSTDIR\uninstall.exe"
  ; Removed only when empty, and never while it is the current folder.
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
  ${If} $LeftAlone != ""
    StrCpy $0 "Murmuro was removed from $INSTDIR. Murmuro is installed in another folder too: $LeftAlone \
      start that one and were left as they are."
    DetailPrint "$0"
    MessageBox MB_OK|MB_ICONINFORMATION "$0" /SD IDOK
  ${EndIf}
SectionEnd
