; What the setup program (Morvane.nsi) and the uninstaller (Uninstall.nsi)
; share: the names, the exit codes, the setup log, the administrator check,
; the 32-bit DLL's folder and regsvr32.
;
; The uninstaller is a program of its own rather than NSIS's built-in one,
; which copies itself to the temporary folder and returns at once: run by a
; deployment tool, this one returns when everything is removed, so its exit
; code says how that went. Being a program of its own, it is also signed
; before setup packs it.
;
; Symbols that scripts/package.sh gives both:
;   PLUGINS  (optional) a folder with signed copies of NSIS's plugins, which
;            then take the place of the unsigned ones
Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestSupportedOS all

!ifdef PLUGINS
  !addplugindir /x86-unicode "${PLUGINS}/x86-unicode"
!endif

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define PRODUCT Morvane
!define DLL Morvane.dll
!define INSPECT morvane-inspect.exe
!define UNINSTALLER uninstall.exe
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The publisher and the copyright notice are the DLL's.
!searchparse /file "${__FILEDIR__}/../res/Morvane.rc" `VALUE "CompanyName", "` PUBLISHER `"`
!searchparse /file "${__FILEDIR__}/../res/Morvane.rc" `VALUE "LegalCopyright", "` COPYRIGHT `"`

; Exit codes, as deployment tools read them (Windows Installer's where one fits).
!define EXIT_REFUSED 2                  ; a newer version is installed: nothing changed
!define EXIT_ELEVATION_REQUIRED 740     ; not an administrator: nothing changed
!define EXIT_CANCELLED 1602             ; the person cancelled: nothing changed
!define EXIT_FAILED 1603                ; failed; what was done is taken back
!define EXIT_OTHER_FOLDER 1638          ; installed in another folder: nothing changed
!define EXIT_RESTART_NEEDED 3010        ; done; a file in use goes at the next restart

; The environment variable by which the DLL, started by regsvr32, finds the
; log: set only when nobody is at the screen, the DLL then writes its failure
; there instead of showing its box.
!define SETUP_LOG_VARIABLE MORVANE_SETUP_LOG

Var LogFile

; Appends one line, the local time and TEXT, to %TEMP%\Morvane-setup.log.
; The registers are kept, the error flag is not: check it before logging.
!macro Log TEXT
  Push `${TEXT}`
  Call WriteLog
!macroend
!define Log "!insertmacro Log"

Function WriteLog
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $R0
  ${GetTime} "" "L" $1 $2 $3 $4 $5 $6 $7
  FileOpen $R0 $LogFile a
  ${If} $R0 != ""
    FileSeek $R0 0 END
    FileWrite $R0 "$3-$2-$1 $5:$6:$7 $0$\r$\n"
    FileClose $R0
  ${EndIf}
  Pop $R0
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Exit code CODE, logged with the reason WHY.
!macro ExitCode CODE WHY
  ${Log} "exit code ${CODE}: ${WHY}"
  SetErrorLevel ${CODE}
!macroend

; First thing in .onInit. A process whose window station no screen shows (a
; service, in session 0, as deployment tools run setup) runs silently: a
; window there would wait for ever for a click. Whenever it is silent, the
; DLLs log their failures instead of showing their box.
!macro StartLog WHAT
  StrCpy $LogFile "$TEMP\${PRODUCT}-setup.log"
  ${Log} "${PRODUCT} ${VERSION} ${WHAT}: $CMDLINE"
  System::Call "user32::GetProcessWindowStation()p.r1"
  System::Call "*(i 0, i 0, i 0)p.r2"
  System::Call "user32::GetUserObjectInformationW(p r1, i 1, p r2, i 12, *i)i.r3"
  System::Call "*$2(i, i, i.r4)"
  System::Free $2
  IntOp $4 $4 & 1 ; WSF_VISIBLE
  ${If} $3 != 0
  ${AndIf} $4 == 0
    SetSilent silent
    ${Log} "no screen shows this window station: silent"
  ${EndIf}
  ${If} ${Silent}
    System::Call `kernel32::SetEnvironmentVariableW(w "${SETUP_LOG_VARIABLE}", w "$LogFile")`
  ${EndIf}
!macroend

; Both programs write HKLM and Program Files: without administrator rights
; nothing is changed.
!macro AdministratorsOnly ACTION
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "${ACTION} ${PRODUCT} needs administrator rights.$\nStart it again as an administrator." /SD IDOK
    !insertmacro ExitCode ${EXIT_ELEVATION_REQUIRED} "not an administrator"
    Quit
  ${EndIf}
  SetShellVarContext all
  ; The "Apps & features" entry belongs in the system's own registry view.
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

; Both DLLs are called Morvane.dll: the 32-bit one gets a folder of its own.
!macro ChooseFolder32
  ${If} $INSTDIR == "$PROGRAMFILES64\${PRODUCT}"
    StrCpy $Folder32 "$PROGRAMFILES32\${PRODUCT}"
  ${Else}
    StrCpy $Folder32 "$INSTDIR\x86"
  ${EndIf}
!macroend

; regsvr32 of the given bitness on FILE, options in OPTIONS; its exit code in
; $0. A 32-bit program's System32 is SysWOW64 unless redirection is off. A
; failed registration is reported by the DLL: its box, or a line in the log.
!macro Regsvr32 BITS OPTIONS FILE
  StrCpy $0 "not started"
  !if ${BITS} == 64
    ${DisableX64FSRedirection}
  !endif
  ExecWait `"$SYSDIR\regsvr32.exe" /s ${OPTIONS} "${FILE}"` $0
  !if ${BITS} == 64
    ${EnableX64FSRedirection}
  !endif
  DetailPrint "regsvr32 ${OPTIONS} ${FILE} (${BITS}-bit): exit code $0"
  ${Log} "regsvr32 ${OPTIONS} ${FILE} (${BITS}-bit): exit code $0"
!macroend

; A folder that still holds a file deleted at the next restart goes after it.
!macro RemoveFolder FOLDER
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "${FOLDER}"
  ${Else}
    RMDir "${FOLDER}"
  ${EndIf}
!macroend
