; Finding and closing the copies of Murmuro that run the installed program, for the installer and
; the uninstaller alike. Included by murmuro.nsi.

; Ends every copy of Murmuro that runs the installed murmuro.exe, politely: Murmuro's own request
; to its hidden window makes it save its settings and exit, as WM_CLOSE does, but only until the
; deadline the request carries. A copy that reads it later (it was busy) ignores it: the run has
; given up by then and changed nothing, and Murmuro stays running. A copy counts by the file it runs, whatever path it
; was started from. Before closing any, it checks that every copy has that window: one that shows
; "already running" or a failed start has none and would keep the file, so the (un)installation
; then stops unchanged. It waits for the process, not the window: the process may still hold its
; one-copy lock for a moment after the window is gone. It never kills a copy; one that does not
; end in time is left to the user, and the (un)installation stops. Sets $WasRunning to 1 when it
; ended one.
!define CLOSE_REQUEST "MurmuroCloseRequest"
!define CLOSE_REQUEST_MS 20000
; A copy that took the request just before its deadline has this long again to save and end.
!define CLOSE_WAIT_MS 25000
!macro END_RUNNING_COPIES un
; The identity of the file at the path on the stack: its volume serial and file index, the same
; for every path to it (another drive letter, a link, a short name); "" when it cannot be opened.
Function ${un}FileIdentity
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  ; Asking for no access opens a running program too.
  System::Call "kernel32::CreateFileW(w r0, i 0, i ${FILE_SHARE_ALL}, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .r1"
  StrCpy $0 ""
  ${If} $1 P<> ${INVALID_HANDLE_VALUE}
    System::Alloc ${BY_HANDLE_FILE_INFORMATION_SIZE}
    Pop $2
    System::Call "kernel32::GetFileInformationByHandle(p r1, p r2) i .r3"
    ${If} $3 <> 0
      ; dwVolumeSerialNumber, nFileIndexHigh and nFileIndexLow; $1 keeps the handle to close.
      System::Call "*$2(i, i, i, i, i, i, i, i .r0, i, i, i, i .r3, i .r4)"
      StrCpy $0 "$0:$3:$4"
    ${EndIf}
    System::Free $2
    System::Call "kernel32::CloseHandle(p r1)"
  ${EndIf}
  Pop $4
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
  Push $5
  System::Call "user32::RegisterWindowMessageW(w '${CLOSE_REQUEST}') i .r5"
  Push "$INSTDIR\murmuro.exe"
  Call ${un}FileIdentity
  Pop $Target
  ${If} $Target == ""
    Goto done
  ${EndIf}
  ; A copy has no window yet while it makes its voice at start-up, and none for a moment as it
  ; exits: only one that stays without it for 5 s is taken as showing a message.
  look_again:
    StrCpy $4 0
  check:
    Call ${un}CountCopiesWithoutWindow
    Pop $0
    ${If} $0 > 0
      ${If} $4 < 20
        IntOp $4 $4 + 1
        Sleep 250
        Goto check
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONSTOP \
        "Murmuro is in use by a copy that cannot be asked to close, for example one that shows a message. \
        Close that message, then choose Retry." \
        /SD IDCANCEL IDRETRY look_again
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
    ; The deadline is a GetTickCount value; Murmuro compares it with the wrap-around in mind.
    System::Call "kernel32::GetTickCount() i .r3"
    IntOp $3 $3 + ${CLOSE_REQUEST_MS}
    ${If} $5 = 0
      System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)"
    ${Else}
      System::Call "user32::PostMessageW(p r0, i r5, p r3, p 0)"
    ${EndIf}
    wait:
      System::Call "kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS}) i .r4"
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
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_COPIES ""
!insertmacro END_RUNNING_COPIES "un."
