; Writes that are read back before the (un)installation goes on. NSIS's error flag proves nothing
; here: DeleteRegValue sets it for a value that was not there, and what WriteUninstaller does with
; it is undocumented. A write that did not take ends the run with EXIT_WRITE_FAILED and a message
; that names it. Included by murmuro.nsi.

; HKEY_CURRENT_USER as a 64-bit handle: the System plug-in would not sign-extend 0x80000001.
!define HKCU_HANDLE -2147483647
!define RRF_RT_REG_BINARY 0x8
!define RRF_RT_ANY 0xffff
!define MOVEFILE_REPLACE_EXISTING_WRITE_THROUGH 9

Var ArgKey           ; the arguments of the checked writes below, under HKEY_CURRENT_USER
Var ArgName
Var ArgValue
Var What             ; what failed, for the message

!macro CHECKED_WRITES un
Function ${un}WriteFailed
  !if "${un}" == ""
    StrCpy $What "$What could not be written. Murmuro is not completely installed: run the setup again."
  !else
    StrCpy $What "$What could not be removed, so Murmuro was left as it was. Run the uninstaller again."
  !endif
  MessageBox MB_OK|MB_ICONSTOP "$What" /SD IDOK
  SetErrorLevel ${EXIT_WRITE_FAILED}
  Abort "$What"
FunctionEnd

; Whatever the value's type: ReadRegStr cannot tell a binary value from none.
Function ${un}DeleteValueChecked
  Push $0
  Push $1
  Push $2
  DeleteRegValue HKCU $ArgKey $ArgName
  StrCpy $0 $ArgKey
  StrCpy $1 $ArgName
  System::Call "advapi32::RegGetValueW(p ${HKCU_HANDLE}, w r0, w r1, i ${RRF_RT_ANY}, p 0, p 0, p 0) i .r2"
  ${If} $2 = 0
    StrCpy $What "The registry value HKEY_CURRENT_USER\$ArgKey\$ArgName"
    Call ${un}WriteFailed
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CHECKED_WRITES ""
!insertmacro CHECKED_WRITES "un."

!macro WriteString key name value
  StrCpy $ArgKey "${key}"
  StrCpy $ArgName "${name}"
  StrCpy $ArgValue `${value}`
  Call WriteStringChecked
!macroend
!macro DeleteValue un key name
  StrCpy $ArgKey "${key}"
  StrCpy $ArgName "${name}"
  Call ${un}DeleteValueChecked
!macroend

Function WriteStringChecked
  Push $0
  WriteRegStr HKCU $ArgKey $ArgName $ArgValue
  ClearErrors
  ReadRegStr $0 HKCU $ArgKey $ArgName
  ${If} ${Errors}
  ${OrIf} $0 S!= $ArgValue
    StrCpy $What "The registry value HKEY_CURRENT_USER\$ArgKey\$ArgName"
    Call WriteFailed
  ${EndIf}
  Pop $0
FunctionEnd

Function WriteDwordChecked
  Push $0
  WriteRegDWORD HKCU $ArgKey $ArgName $ArgValue
  ClearErrors
  ReadRegDWORD $0 HKCU $ArgKey $ArgName
  ${If} ${Errors}
  ${OrIf} $0 <> $ArgValue
    StrCpy $What "The registry value HKEY_CURRENT_USER\$ArgKey\$ArgName"
    Call WriteFailed
  ${EndIf}
  Pop $0
FunctionEnd
!macro WriteDword key name value
  StrCpy $ArgKey "${key}"
  StrCpy $ArgName "${name}"
  StrCpy $ArgValue `${value}`
  Call WriteDwordChecked
!macroend

; The size of the file named on the stack, -1 when it cannot be read (none, or a folder).
Function FileSize
  Exch $0
  Push $1
  ClearErrors
  FileOpen $1 $0 r
  ${If} ${Errors}
    StrCpy $0 -1
  ${Else}
    FileSeek $1 0 END $0
    FileClose $1
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; Puts $INSTDIR\<name>.new, whole, in the place of <name> (the name on the stack) in one step, and
; reads back that the whole file arrived: 1 when it did, 0 when <name> is as it was. NSIS's Rename
; does not replace a file, and two renames would leave a moment with no program.
Function SwapIn
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $1 "$INSTDIR\$0.new"
  StrCpy $2 "$INSTDIR\$0"
  Push $1
  Call FileSize
  Pop $3
  StrCpy $0 0
  ${If} $3 > 0
    System::Call "kernel32::MoveFileExW(w r1, w r2, i ${MOVEFILE_REPLACE_EXISTING_WRITE_THROUGH}) i .r1"
    ${If} $1 <> 0
      Push $2
      Call FileSize
      Pop $1
      ${If} $1 = $3
        StrCpy $0 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; 1 when Task Manager has Murmuro's start at sign-in disabled, else 0. Windows keeps that in a
; binary value of its own, undocumented: its first byte is even when enabled, odd when disabled.
Function StartDisabled
  Push $0
  Push $1
  Push $2
  Push $3
  System::Alloc 1024
  Pop $1
  StrCpy $0 "${APPROVED_KEY}"
  StrCpy $3 "${APP}"
  System::Call "advapi32::RegGetValueW(p ${HKCU_HANDLE}, w r0, w r3, i ${RRF_RT_REG_BINARY}, p 0, p r1, *i 1024 r3) i .r2"
  StrCpy $0 0
  ${If} $2 = 0
  ${AndIf} $3 > 0
    System::Call "*$1(&i1 .r2)"
    IntOp $0 $2 & 1
  ${EndIf}
  System::Free $1
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
