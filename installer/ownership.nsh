; Whose things these are: the account the setup runs as, and, for the uninstaller, whether a
; start at sign-in, the shortcut and the entry name its own folder. Included by murmuro.nsi.

!define TOKEN_QUERY 8
!define TOKEN_USER 1
!define TOKEN_USER_SIZE 256
!define WIN_LOCAL_SYSTEM_SID 22
!define ERROR_ACCESS_DENIED 5
!define CLSID_SHELL_LINK "{00021401-0000-0000-C000-000000000046}"
!define IID_SHELL_LINK_W "{000214F9-0000-0000-C000-000000000046}"
!define IID_PERSIST_FILE "{0000010b-0000-0000-C000-000000000046}"
!define CLSCTX_INPROC_SERVER 1

Var RunOwn           ; 1 when the start at sign-in starts this folder's program, 0 another's, "" none
Var RunValue         ; its value, to put back
Var ApprovedOwn      ; 1 when Task Manager's record goes with it
Var ShortcutOwn      ; 1 when the Start-menu shortcut starts this folder's program, 0 another's, "" none
Var EntryOwn         ; 1 when the entry in the list of installed apps is this folder's
Var LeftAlone        ; what names another folder and stays, for the message

; Reads the account of the process whose handle is in $R1 into the buffer at $R2 (TOKEN_USER,
; its SID pointer first). $R0: 0, or the error that kept it from being read.
Function TokenAccount
  Push $0
  Push $1
  System::Call "advapi32::OpenProcessToken(p R1, i ${TOKEN_QUERY}, *p .r0) i .r1 ?e"
  Pop $R0
  ${If} $1 <> 0
    System::Call "advapi32::GetTokenInformation(p r0, i ${TOKEN_USER}, p R2, i ${TOKEN_USER_SIZE}, *i 0) i .r1 ?e"
    Pop $R0
    System::Call "kernel32::CloseHandle(p r0)"
  ${EndIf}
  ${If} $1 <> 0
    StrCpy $R0 0
  ${ElseIf} $R0 = 0
    StrCpy $R0 -1
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; 1 when the setup runs as another account than the user of the session it runs in: as SYSTEM
; (a deployment tool), or elevated with another account's name and password; it would install
; into that account's profile. The session's user is the one its shell (its desktop, or else its
; taskbar) runs as; a shell this account may not even look at is another user's. Without a shell,
; only SYSTEM is known to be wrong. 0 otherwise.
Function OtherAccount
  Push $R0
  Push $R1
  Push $R2
  Push $R3  ; the result
  Push $R4  ; this process's account
  Push $R5  ; the shell's
  StrCpy $R3 0
  System::Alloc ${TOKEN_USER_SIZE}
  Pop $R4
  System::Alloc ${TOKEN_USER_SIZE}
  Pop $R5
  System::Call "kernel32::GetCurrentProcess() p .R1"
  StrCpy $R2 $R4
  Call TokenAccount
  ${If} $R0 = 0
    System::Call "*$R4(p .R2)"
    System::Call "advapi32::IsWellKnownSid(p R2, i ${WIN_LOCAL_SYSTEM_SID}) i .R0"
    ${If} $R0 <> 0
      StrCpy $R3 1
    ${Else}
      System::Call "user32::GetShellWindow() p .R1"
      ${If} $R1 P= 0
        FindWindow $R1 "Shell_TrayWnd"
      ${EndIf}
      ${If} $R1 P<> 0
        System::Call "user32::GetWindowThreadProcessId(p R1, *i 0 R0)"
        System::Call "kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION}, i 0, i R0) p .R1 ?e"
        Pop $R0
        ${If} $R1 P<> 0
          StrCpy $R2 $R5
          Call TokenAccount
          System::Call "kernel32::CloseHandle(p R1)"
          ${If} $R0 = 0
            System::Call "*$R4(p .R1)"
            System::Call "*$R5(p .R2)"
            System::Call "advapi32::EqualSid(p R1, p R2) i .R0"
            ${If} $R0 = 0
              StrCpy $R3 1
            ${EndIf}
          ${ElseIf} $R0 = ${ERROR_ACCESS_DENIED}
            StrCpy $R3 1
          ${EndIf}
        ${ElseIf} $R0 = ${ERROR_ACCESS_DENIED}
          StrCpy $R3 1
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${EndIf}
  System::Free $R4
  System::Free $R5
  StrCpy $R0 $R3
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd

; The path on the stack without the quotes around it, if it has them (a Run value's or an
; UninstallString's program); anything after the closing quote goes too.
Function un.Unquoted
  Exch $0
  Push $1
  Push $2
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${If} $1 == '"'
      ${OrIf} $1 == ""
        ${ExitDo}
      ${EndIf}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; 1 when the two paths on the stack name the same file: the same text, or the same file by
; another path (another drive letter, a link); else 0.
Function un.SameFile
  Exch $0
  Exch
  Exch $1
  Push $2
  ${If} $0 == $1
    StrCpy $0 1
  ${Else}
    Push $0
    Call un.FileIdentity
    Pop $0
    Push $1
    Call un.FileIdentity
    Pop $2
    ${If} $0 != ""
    ${AndIf} $0 == $2
      StrCpy $0 1
    ${Else}
      StrCpy $0 0
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The program the shortcut on the stack starts; "" when the shortcut cannot be read.
Function un.ShortcutTarget
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $4 ""
  System::Call "ole32::CoCreateInstance(g '${CLSID_SHELL_LINK}', p 0, i ${CLSCTX_INPROC_SERVER}, \
    g '${IID_SHELL_LINK_W}', *p .r1) i .r2"
  ${If} $2 = 0
    ; IUnknown::QueryInterface, IPersistFile::Load, IShellLinkW::GetPath, IUnknown::Release.
    System::Call "$1->0(g '${IID_PERSIST_FILE}', *p .r2) i .r3"
    ${If} $3 = 0
      System::Call "$2->5(w r0, i 0) i .r3"
      ${If} $3 = 0
        System::Call "$1->3(w .r0, i ${NSIS_MAX_STRLEN}, p 0, i 0) i .r3"
        ${If} $3 = 0
          StrCpy $4 $0
        ${EndIf}
      ${EndIf}
      System::Call "$2->2()"
    ${EndIf}
    System::Call "$1->2()"
  ${EndIf}
  StrCpy $0 $4
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; What of Murmuro's names this uninstaller's folder, and so goes with it: sets $RunOwn,
; $ApprovedOwn, $ShortcutOwn and $EntryOwn to 1 or 0 ("" for a Run value or shortcut that is not
; there), $RunValue, and in $LeftAlone what names another folder and stays.
Function un.FindOwn
  Push $0
  Push $1
  StrCpy $LeftAlone ""
  ; The entry, by the uninstaller the list of apps runs, else by its folder; one that names
  ; no folder is a remnant, and this folder's to remove.
  StrCpy $EntryOwn 1
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "UninstallString"
  ${If} $0 != ""
    Push $0
    Call un.Unquoted
    Push "$INSTDIR\uninstall.exe"
    Call un.SameFile
    Pop $EntryOwn
  ${Else}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      Push "$0\uninstall.exe"
      Push "$INSTDIR\uninstall.exe"
      Call un.SameFile
      Pop $EntryOwn
    ${EndIf}
  ${EndIf}
  ${If} $EntryOwn = 0
    StrCpy $LeftAlone "the entry in the list of installed apps"
  ${EndIf}

  StrCpy $RunOwn ""
  ClearErrors
  ReadRegStr $RunValue HKCU "${RUN_KEY}" "${APP}"
  ${IfNot} ${Errors}
    Push $RunValue
    Call un.Unquoted
    Push "$INSTDIR\murmuro.exe"
    Call un.SameFile
    Pop $RunOwn
    ${If} $RunOwn = 0
      StrCpy $LeftAlone "$LeftAlone, the start at sign-in"
    ${EndIf}
  ${EndIf}
  ; Task Manager's record belongs to the Run value; without one, to the entry.
  StrCpy $ApprovedOwn $RunOwn
  ${If} $RunOwn == ""
    StrCpy $ApprovedOwn $EntryOwn
  ${EndIf}

  StrCpy $ShortcutOwn ""
  ${If} ${FileExists} "$SMPROGRAMS\${APP}.lnk"
    Push "$SMPROGRAMS\${APP}.lnk"
    Call un.ShortcutTarget
    Pop $0
    ; One that cannot be read goes with the entry.
    StrCpy $ShortcutOwn $EntryOwn
    ${If} $0 != ""
      Push $0
      Push "$INSTDIR\murmuro.exe"
      Call un.SameFile
      Pop $ShortcutOwn
    ${EndIf}
    ${If} $ShortcutOwn = 0
      StrCpy $LeftAlone "$LeftAlone, the Start-menu shortcut"
    ${EndIf}
  ${EndIf}
  StrCpy $1 $LeftAlone 2
  ${If} $1 == ", "
    StrCpy $LeftAlone $LeftAlone "" 2
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
