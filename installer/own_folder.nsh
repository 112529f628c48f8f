; Choosing the folder: Murmuro gets one of its own and never writes over, or later removes, files
; of the user's. Included by murmuro.nsi.

; $INSTDIR without a trailing backslash, but for a drive's root.
Function TrimFolder
  Push $0
  Push $1
  StrCpy $0 $INSTDIR 1 -1
  StrLen $1 $INSTDIR
  ${If} $0 == "\"
  ${AndIf} $1 > 3
    StrCpy $INSTDIR $INSTDIR -1
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; 1 when $INSTDIR holds nothing but the settings (kel.dat, kel.dat.bak) and what a setup or an
; uninstall that stopped part-way leaves (the .new files, murmuro.exe.old), else 0. With 1 on the
; stack, the installed files count too: murmuro.exe, README.txt, uninstall.exe.
Function OnlyMurmuros
  Exch $3
  Push $0
  Push $1
  Push $2
  StrCpy $2 1
  FindFirst $0 $1 "$INSTDIR\*.*"
  ${DoWhile} $1 != ""
    ${Select} $1
      ${Case5} "." ".." "kel.dat" "kel.dat.bak" "murmuro.exe.old"
      ${Case3} "murmuro.exe.new" "README.txt.new" "uninstall.exe.new"
      ${Case3} "murmuro.exe" "README.txt" "uninstall.exe"
        ${If} $3 <> 1
          StrCpy $2 0
        ${EndIf}
      ${CaseElse}
        StrCpy $2 0
    ${EndSelect}
    FindNext $0 $1
  ${Loop}
  FindClose $0
  StrCpy $3 $2
  Pop $2
  Pop $1
  Pop $0
  Exch $3
FunctionEnd

; 1 when $INSTDIR may be taken as it is: it is empty or new, holds murmuro.exe, holds nothing but
; what OnlyMurmuros allows, or is the recorded folder and holds nothing but Murmuro's files. A
; kel.dat alone proves nothing: users keep copies of it. The record outlives an uninstall, so the
; recorded folder is looked into too.
Function TakenAsItIs
  Push $0
  ${DirState} "$INSTDIR" $0
  ${If} $0 = 1
  ${AndIfNot} ${FileExists} "$INSTDIR\murmuro.exe"
    ReadRegStr $0 HKCU "${FOLDER_KEY}" "InstallFolder"
    ${If} $0 == $INSTDIR
      Push 1
    ${Else}
      Push 0
    ${EndIf}
    Call OnlyMurmuros
    Pop $0
  ${Else}
    StrCpy $0 1
  ${EndIf}
  Exch $0
FunctionEnd

; Never a folder of the user's: one that holds other files gets a Murmuro folder inside it, so
; that no file there is overwritten now or deleted by the uninstaller. 1 on the stack when
; $INSTDIR is then a folder Murmuro may use; 0 when that Murmuro folder holds other files too.
; $Typed keeps the folder as it was given.
Function OwnFolder
  Push $0
  Call TrimFolder
  StrCpy $Typed $INSTDIR
  Call TakenAsItIs
  Pop $0
  ${If} $0 = 0
    StrCpy $0 $INSTDIR 1 -1
    ${If} $0 == "\"
      StrCpy $INSTDIR "$INSTDIR${APP}"
    ${Else}
      StrCpy $INSTDIR "$INSTDIR\${APP}"
    ${EndIf}
    Call TakenAsItIs
    Pop $0
  ${EndIf}
  Exch $0
FunctionEnd

; The folder page's check: a Murmuro folder of the user's sends the user back to the page.
Function FolderPageLeave
  Call OwnFolder
  Pop $0
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR holds files that are not Murmuro's. Choose another folder."
    StrCpy $INSTDIR $Typed
    Abort
  ${EndIf}
FunctionEnd

; The folder given with /D=, "" without. NSIS cuts " /D=<folder>" off $CMDLINE, which is otherwise
; the command line as Windows has it: the rest of that is the folder, exactly, whatever quotes or
; apostrophes come before it.
Function GivenFolder
  Push $0
  Push $1
  System::Call "kernel32::GetCommandLineW() w .r0"
  StrLen $1 $CMDLINE
  StrCpy $0 $0 "" $1
  StrCpy $1 $0 4
  ${If} $1 S== " /D="
    StrCpy $0 $0 "" 4
  ${Else}
    StrCpy $0 ""
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd
