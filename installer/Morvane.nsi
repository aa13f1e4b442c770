; The setup program. On 64-bit Windows it puts the 64-bit Morvane.dll and
; morvane-inspect.exe into the installation folder (%ProgramFiles%\Morvane
; unless chosen otherwise) and the 32-bit Morvane.dll into
; %ProgramFiles(x86)%\Morvane (or the folder's x86 subfolder when another
; folder was chosen); on 32-bit Windows the 32-bit ones into the installation
; folder. ARM64 Windows is 64-bit Windows whose Explorer loads ARM64 DLLs only:
; it gets the ARM64 DLL and morvane-inspect.exe in the 64-bit place, and the
; 32-bit DLL as on x64. x64 programs there share the 64-bit view with
; Explorer, so their file dialogs go without Morvane. Each DLL registers
; itself (DllRegisterServer) through the regsvr32 of its own bitness, so the
; saved default icon is handled by the DLL alone.
;
; scripts/package.sh builds it with these symbols:
;   VERSION  the version, three numbers (the file VERSION)
;   FILES32  the folder with the 32-bit Morvane.dll and morvane-inspect.exe
;   FILES64  the same for 64-bit
;   FILESARM64  the same for ARM64 (without it ARM64 Windows gets FILES64)
;   KB32     what 32-bit Windows gets, in KiB
;   KB64     what 64-bit Windows gets, in KiB
;   KBARM64  what ARM64 Windows gets, in KiB
;   ICON     the product's icon file
;   UNINSTALL_PROGRAM  the uninstaller that Uninstall.nsi made
;   OUTFILE  the setup program to write
;
; Every step goes into the setup log, %TEMP%\Morvane-setup.log; the exit
; codes are in Common.nsh.
!include "${__FILEDIR__}/Common.nsh"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "${COPYRIGHT}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"

Page directory
Page instfiles

Var Folder32      ; where the 32-bit DLL goes on 64-bit Windows
Var Previous      ; the folder of the installed version, empty if there is none
Var PreviousVersion
Var AsideDll      ; a replaced file moved aside, empty if there was none
Var AsideInspect
Var AsideDll32
Var Registered    ; the bitnesses registered so far by this run: "", "64", "64 32" or "32"

; A DLL that a program has loaded (Explorer keeps a shell extension) cannot
; be overwritten or deleted, but it can be renamed: an installed FILE moves
; aside to FILE.N.old, its name kept in VAR until setup knows whether it
; succeeded. An older leftover is deleted when it is no longer in use.
!macro SetAside FILE VAR
  StrCpy ${VAR} ""
  ${If} ${FileExists} "${FILE}"
    StrCpy $1 0
    ${Do}
      IntOp $1 $1 + 1
      Delete "${FILE}.$1.old"
    ${LoopWhile} ${FileExists} "${FILE}.$1.old"
    ClearErrors
    Rename "${FILE}" "${FILE}.$1.old"
    ${If} ${Errors}
      Push "${FILE}"
      Call CannotReplace
    ${EndIf}
    StrCpy ${VAR} "${FILE}.$1.old"
  ${EndIf}
!macroend

; After a failure: the new FILE goes and the one set aside comes back.
!macro PutBack FILE VAR
  Delete "${FILE}"
  ${If} ${VAR} != ""
    Rename "${VAR}" "${FILE}"
  ${EndIf}
!macroend

; After success: the file set aside goes now, or at the next restart while
; a program still has it loaded.
!macro Discard VAR
  ${If} ${VAR} != ""
    Delete /REBOOTOK "${VAR}"
  ${EndIf}
!macroend

; Adds the bytes of the files in FOLDER that match MASK to $0.
!macro AddSize FOLDER MASK
  ${GetSize} "${FOLDER}" "/M=${MASK} /S=0B /G=0" $1 $2 $3
  IntOp $0 $0 + $1
!macroend

; The files of the 64-bit place, for the processor of this Windows.
!macro Files64
  !ifdef FILESARM64
    ${If} ${IsNativeARM64}
      File "${FILESARM64}/${DLL}"
      File "${FILESARM64}/${INSPECT}"
    ${Else}
  !endif
      File "${FILES64}/${DLL}"
      File "${FILES64}/${INSPECT}"
  !ifdef FILESARM64
    ${EndIf}
  !endif
!macroend

!macro RegisterOrUndo BITS FILE
  !insertmacro Regsvr32 ${BITS} "" "${FILE}"
  ${If} $0 != 0
    Call Undo
    MessageBox MB_OK|MB_ICONSTOP "${FILE} could not be registered (the message before says why), so setup has put everything back as it was." /SD IDOK
    !insertmacro ExitCode ${EXIT_FAILED} "${FILE} could not be registered; everything is put back"
    Abort
  ${EndIf}
  StrCpy $Registered "$Registered ${BITS}"
!macroend

Function .onInit
  !insertmacro StartLog "setup"
  !insertmacro AdministratorsOnly "Installing"
  ; The space the folder page asks for: the files of this system's bitness.
  ${If} ${RunningX64}
    SectionSetSize 0 ${KB64}
    !ifdef FILESARM64
      ${If} ${IsNativeARM64}
        SectionSetSize 0 ${KBARM64}
      ${EndIf}
    !endif
  ${Else}
    SectionSetSize 0 ${KB32}
  ${EndIf}
  ReadRegStr $Previous HKLM "${UNINSTALL_KEY}" InstallLocation
  ReadRegStr $PreviousVersion HKLM "${UNINSTALL_KEY}" DisplayVersion
  ; An older version never replaces a newer one; the same one repairs.
  ${If} $PreviousVersion != ""
    ${VersionCompare} $PreviousVersion ${VERSION} $0
    ${If} $0 == 1
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} $PreviousVersion is installed, which is newer than ${VERSION}.$\nTo install ${VERSION}, uninstall $PreviousVersion first." /SD IDOK
      !insertmacro ExitCode ${EXIT_REFUSED} "$PreviousVersion is installed, newer than ${VERSION}; nothing changed"
      Quit
    ${EndIf}
    ${Log} "installed: $PreviousVersion in $Previous"
  ${EndIf}
  ; /D= has set the folder already; an upgrade goes where the installed
  ; version is.
  ${If} $INSTDIR == ""
    ${If} $Previous != ""
      StrCpy $INSTDIR $Previous
    ${ElseIf} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onUserAbort
  !insertmacro ExitCode ${EXIT_CANCELLED} "cancelled"
FunctionEnd

Function CannotReplace
  Exch $0
  MessageBox MB_OK|MB_ICONSTOP "$0 cannot be replaced. Nothing has been changed." /SD IDOK
  Call Undo
  !insertmacro ExitCode ${EXIT_FAILED} "$0 cannot be replaced; nothing changed"
  Abort
FunctionEnd

; Takes back what this run did: unregisters the DLLs it registered, removes
; its files and puts the files of the installed version back, registered.
Function Undo
  ; A folder that is the current directory cannot be removed.
  SetOutPath "$TEMP"
  ${If} $Registered == " 64 32"
    !insertmacro Regsvr32 32 /u "$Folder32\${DLL}"
  ${EndIf}
  ${If} ${RunningX64}
    ${If} $Registered != ""
      !insertmacro Regsvr32 64 /u "$INSTDIR\${DLL}"
    ${EndIf}
    !insertmacro PutBack "$Folder32\${DLL}" $AsideDll32
    RMDir "$Folder32"
  ${ElseIf} $Registered != ""
    !insertmacro Regsvr32 32 /u "$INSTDIR\${DLL}"
  ${EndIf}
  !insertmacro PutBack "$INSTDIR\${DLL}" $AsideDll
  !insertmacro PutBack "$INSTDIR\${INSPECT}" $AsideInspect
  RMDir "$INSTDIR"
  ${If} $AsideDll == ""
    Return
  ${EndIf}
  ${If} ${RunningX64}
    !insertmacro Regsvr32 64 "" "$INSTDIR\${DLL}"
    !insertmacro Regsvr32 32 "" "$Folder32\${DLL}"
  ${Else}
    !insertmacro Regsvr32 32 "" "$INSTDIR\${DLL}"
  ${EndIf}
FunctionEnd

Section
  ${If} $Previous != ""
  ${AndIf} $Previous != $INSTDIR
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed in $Previous.$\nInstall this version there, or uninstall the other one first." /SD IDOK
    !insertmacro ExitCode ${EXIT_OTHER_FOLDER} "installed in $Previous, not $INSTDIR; nothing changed"
    Abort
  ${EndIf}
  StrCpy $Registered ""
  !insertmacro ChooseFolder32
  ${Log} "installing into $INSTDIR"
  !insertmacro SetAside "$INSTDIR\${DLL}" $AsideDll
  !insertmacro SetAside "$INSTDIR\${INSPECT}" $AsideInspect
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    !insertmacro SetAside "$Folder32\${DLL}" $AsideDll32
    !insertmacro Files64
    SetOutPath "$Folder32"
    File "${FILES32}/${DLL}"
    !insertmacro RegisterOrUndo 64 "$INSTDIR\${DLL}"
    !insertmacro RegisterOrUndo 32 "$Folder32\${DLL}"
    !insertmacro Discard $AsideDll32
  ${Else}
    File "${FILES32}/${DLL}"
    File "${FILES32}/${INSPECT}"
    !insertmacro RegisterOrUndo 32 "$INSTDIR\${DLL}"
  ${EndIf}
  !insertmacro Discard $AsideDll
  !insertmacro Discard $AsideInspect

  SetOutPath "$INSTDIR"
  File "${UNINSTALL_PROGRAM}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\${DLL},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString `"$INSTDIR\${UNINSTALLER}"`
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString `"$INSTDIR\${UNINSTALLER}" /S`
  ; The size of what is installed, in KiB, without the files set aside.
  StrCpy $0 0
  !insertmacro AddSize "$INSTDIR" *.dll
  !insertmacro AddSize "$INSTDIR" *.exe
  ${If} ${RunningX64}
    !insertmacro AddSize "$Folder32" *.dll
  ${EndIf}
  IntOp $0 $0 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1

  ; Programs that had the former version loaded keep it until they end.
  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} ${VERSION} is installed.$\nExplorer still has the former version loaded: the new version takes effect once Explorer restarts (sign out and in again, or restart Windows)." /SD IDOK
    !insertmacro ExitCode ${EXIT_RESTART_NEEDED} "installed; the former version goes at the next restart"
  ${Else}
    !insertmacro ExitCode 0 "installed"
  ${EndIf}
SectionEnd
