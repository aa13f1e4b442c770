; The uninstaller, uninstall.exe in the installation folder, which the setup
; program packs. It removes what setup installed from the folder it sits in
; and returns only when that is done, also with /S; only the uninstaller
; itself and its empty folder stay until the next restart. The arguments of
; NSIS's own uninstallers (_?=) are accepted and change nothing.
;
; scripts/package.sh builds it with these symbols:
;   VERSION  the version, three numbers (the file VERSION)
;   ICON     the product's icon file
;   OUTFILE  the program to write
!include "${__FILEDIR__}/Common.nsh"

Name "${PRODUCT} ${VERSION}"
Caption "${PRODUCT} ${VERSION} Uninstall"
OutFile "${OUTFILE}"
Icon "${ICON}"
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "${COPYRIGHT}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Uninstall"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
SubCaption 3 ": Removing"
SubCaption 4 ": Completed"

Page instfiles

Var Folder32      ; where the 32-bit DLL is on 64-bit Windows
Var Unregistered  ; "no" once a DLL's unregistration failed

!macro Unregister BITS FILE
  !insertmacro Regsvr32 ${BITS} /u "${FILE}"
  ${If} $0 != 0
    StrCpy $Unregistered "no"
  ${EndIf}
!macroend

Function .onInit
  !insertmacro StartLog "uninstall"
  !insertmacro AdministratorsOnly "Removing"
  StrCpy $INSTDIR $EXEDIR
  MessageBox MB_YESNO|MB_ICONQUESTION "Remove ${PRODUCT} from $INSTDIR?" /SD IDYES IDYES confirmed
  !insertmacro ExitCode ${EXIT_CANCELLED} "cancelled"
  Quit
  confirmed:
FunctionEnd

Function .onUserAbort
  !insertmacro ExitCode ${EXIT_CANCELLED} "cancelled"
FunctionEnd

Section
  ; A folder that is the current directory cannot be removed.
  SetOutPath "$TEMP"
  StrCpy $Unregistered "yes"
  ; Unregistering puts the jar file type's former default icon back.
  ${If} ${RunningX64}
    !insertmacro ChooseFolder32
    !insertmacro Unregister 32 "$Folder32\${DLL}"
    !insertmacro Unregister 64 "$INSTDIR\${DLL}"
    Delete /REBOOTOK "$Folder32\${DLL}"
    Delete /REBOOTOK "$Folder32\*.old"
    !insertmacro RemoveFolder "$Folder32"
  ${Else}
    !insertmacro Unregister 32 "$INSTDIR\${DLL}"
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\${DLL}"
  Delete /REBOOTOK "$INSTDIR\*.old"
  Delete /REBOOTOK "$INSTDIR\${INSPECT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; A program made by NSIS keeps its own file open while it runs, so the
  ; uninstaller can neither delete nor move itself: it and its folder, empty
  ; otherwise, go at the next restart. Nothing of Morvane is left working
  ; meanwhile, so no restart is asked for.
  System::Call `kernel32::MoveFileExW(w "$EXEPATH", p 0, i 4)` ; MOVEFILE_DELAY_UNTIL_REBOOT
  System::Call `kernel32::MoveFileExW(w "$INSTDIR", p 0, i 4)`
  ${Log} "${UNINSTALLER} and $INSTDIR go at the next restart"
  ${If} $Unregistered == "no"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is removed, but a DLL could not be unregistered (the message before says why): its registry entries are left." /SD IDOK
    !insertmacro ExitCode ${EXIT_FAILED} "removed, but a DLL could not be unregistered"
  ${ElseIf} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} is removed. A program still has it loaded: its file goes at the next restart." /SD IDOK
    !insertmacro ExitCode ${EXIT_RESTART_NEEDED} "removed; a file in use goes at the next restart"
  ${Else}
    !insertmacro ExitCode 0 "removed"
  ${EndIf}
SectionEnd
