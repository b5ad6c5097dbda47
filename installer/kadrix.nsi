; Kadrix's Windows installer (NSIS 3, Unicode), built by scripts/build-installer.sh:
;   makensis -DVERSION_HEADER=build/x64/generated/kadrix_version.h
;            -DPAYLOAD=build/installer/payload -DOUTFILE=...
;            [-DSIGN=scripts/build-installer.sh] kadrix.nsi
;
; Per machine. On 64-bit Windows the x64 libraries and setup program go to the
; 64-bit Program Files (64-bit Explorer loads only those) and the x86 libraries
; to the 32-bit one (for 32-bit programs' file dialogs); on 32-bit Windows the
; x86 build alone. Each library is registered by the regsvr32 of its own
; bitness, which writes its class into its own registry view; then the setup
; program associates the video file types with both classes.
;
; Silent: setup.exe /S installs, uninstall.exe /S removes (it keeps the
; settings of the account that runs it unless /REMOVESETTINGS is given).
; Exit codes, for the installer and the uninstaller alike: 0 done, 2 a step
; failed or the run was refused, 3010 done but a file still in use goes only
; at the next reboot. A silent run never waits for a person: every program it
; starts is told it runs unattended and ends within STEP_LIMIT_S or is ended.

Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WinVer.nsh
!include nsDialogs.nsh

!ifndef VERSION_HEADER | PAYLOAD | OUTFILE
  !error "build with scripts/build-installer.sh (VERSION_HEADER, PAYLOAD and OUTFILE are needed)"
!endif
; The version, the names and the copyright line every binary carries, made
; by CMake from project(Kadrix VERSION ...).
!macro ReadProductFact NAME SYMBOL
  !searchparse /file "${VERSION_HEADER}" `#define ${NAME} "` ${SYMBOL} `"`
!macroend
!insertmacro ReadProductFact KADRIX_VERSION VERSION
!insertmacro ReadProductFact KADRIX_VERSION_QUAD VERSION_QUAD
!insertmacro ReadProductFact KADRIX_PRODUCT_NAME PRODUCT
!insertmacro ReadProductFact KADRIX_COMPANY_NAME PUBLISHER
!insertmacro ReadProductFact KADRIX_COPYRIGHT COPYRIGHT

; Signing: SIGN is the build script, whose --sign signs the file it is given
; in place (with KADRIX_SIGN_CMD). The installer is signed when it is
; written, and so is the uninstaller it carries, before it is packed.
!ifdef SIGN
  !finalize '"${SIGN}" --sign "%1"' = 0
  !uninstfinalize '"${SIGN}" --sign "%1"' = 0
!endif

!define FOLDER "Kadrix"
!define SHORTCUT "Kadrix Vuvu setup"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kadrix"
!define SETTINGS_KEY "Software\Vantrel\KadrixVuvu"
!define SETTINGS_PARENT "Software\Vantrel"
!define SHCNE_ASSOCCHANGED 0x08000000
!define SHCNF_IDLIST 0
; Exit code of a run where a step failed or that was refused.
!define FAILED 2
; Exit code of a run that is done once the machine restarts.
!define REBOOT_NEEDED 3010
; How long a silent run lets a program it started take (regsvr32 and the
; setup program each take about a second).
!define STEP_LIMIT_S 120
; Taken by the installer and the uninstaller alike: one of them at a time.
!define MUTEX "Global\Vantrel.Kadrix.Setup"
!define ERROR_ALREADY_EXISTS 183
!define WAIT_ABANDONED 0x80
!define WAIT_FOR_OTHER_MS 10000
!define SYNCHRONIZE 0x00100000

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; No default folder: a /D= given on the command line then shows as a folder
; and is refused (see .onInit), since the folders are fixed.
InstallDir ""
Icon "../setup/art/kadrix.ico"
UninstallIcon "../setup/art/kadrix.ico"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

Var Dir32          ; folder of the x86 libraries (the same as $INSTDIR on 32-bit Windows)
Var Regsvr32Native ; regsvr32 of the system's bitness
Var Regsvr32Wow    ; the 32-bit regsvr32 on 64-bit Windows
Var RemoveSettings ; uninstaller: 1 to delete the settings key of the account it runs as
Var SettingsBox
Var Account        ; uninstaller: that account's name
Var Failures       ; uninstaller: steps that failed

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartSetupAsUser
!define MUI_FINISHPAGE_RUN_TEXT "Open ${SHORTCUT}"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.SettingsPage un.SettingsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; Where everything goes, for the installer and the uninstaller alike.
!macro LocateFolders
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $Dir32 "$PROGRAMFILES32\${FOLDER}"
    StrCpy $Regsvr32Native "$WINDIR\System32\regsvr32.exe"
    StrCpy $Regsvr32Wow "$WINDIR\SysWOW64\regsvr32.exe"
  ${Else}
    StrCpy $Dir32 $INSTDIR
    StrCpy $Regsvr32Native "$SYSDIR\regsvr32.exe"
    StrCpy $Regsvr32Wow ""
  ${EndIf}
!macroend

; What the installer and the uninstaller share: the same functions, once
; each with the uninstaller's "un." prefix.
!macro SharedFunctions UN

; Writes the line on the standard output when the run has one (a prompt or
; a deployment tool that captures it), for silent runs above all.
Function ${UN}PrintLine
  Exch $R0
  Push $R1
  Push $R2
  System::Call 'kernel32::GetStdHandle(i -11) p .R1'
  ${If} $R1 P<> 0
  ${AndIf} $R1 P<> -1
    StrCpy $R0 "$R0$\r$\n"
    StrLen $R2 $R0
    System::Call 'kernel32::WriteFile(p R1, m R0, i R2, *i .R2, p 0)'
  ${EndIf}
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

; A step that failed: in the log, and on the standard output.
Function ${UN}Report
  Exch $0
  DetailPrint $0
  Push $0
  Call ${UN}PrintLine
  Pop $0
FunctionEnd

; Refuses the run before it changes anything: the message on the standard
; output and in a box (none when silent), exit code 2.
Function ${UN}Refuse
  Exch $0
  Push $0
  Call ${UN}PrintLine
  MessageBox MB_ICONSTOP|MB_OK $0 /SD IDOK
  SetErrorLevel ${FAILED}
  Quit
FunctionEnd

; What every run checks first: administrator rights (without UAC the
; request for them is not enforced, and a standard user would fail half-way
; in Program Files and HKLM), and no other run of ours at the same time (two
; would register and delete the same files in turn): one that is running is
; waited for a little, as a deployment tool may start the next right after,
; then this run is refused. A silent run tells the programs it starts that
; nobody will answer a box.
Function ${UN}CheckRun
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    Push "${PRODUCT}'s setup needs administrator rights."
    Call ${UN}Refuse
  ${EndIf}
  ; Owned until the run ends.
  System::Call 'kernel32::CreateMutexW(p 0, i 1, w "${MUTEX}") p .r0 ?e'
  Pop $1
  StrCpy $2 0
  ${If} $0 P= 0 ; another account's run: its mutex is not ours to open
    StrCpy $2 1
  ${ElseIf} $1 = ${ERROR_ALREADY_EXISTS}
    System::Call 'kernel32::WaitForSingleObject(p r0, i ${WAIT_FOR_OTHER_MS}) i .r1'
    ${If} $1 <> 0
    ${AndIf} $1 <> ${WAIT_ABANDONED}
      StrCpy $2 1
    ${EndIf}
  ${EndIf}
  ${If} $2 = 1
    Push "Another ${PRODUCT} setup or uninstall is running; run this one after it has ended."
    Call ${UN}Refuse
  ${EndIf}
  ${If} ${Silent}
    System::Call 'kernel32::SetEnvironmentVariableW(w "KADRIX_UNATTENDED", w "1")'
  ${EndIf}
FunctionEnd

; Runs a command line (on the stack) and leaves in $0 its exit code, "not
; started", or "no end within ... s": a silent run waits at most STEP_LIMIT_S
; and then ends the program; a run with a person waits for its end, as the
; program may be showing that person a box.
Function ${UN}RunBounded
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  ${If} ${Silent}
    IntOp $R5 ${STEP_LIMIT_S} * 1000
  ${Else}
    StrCpy $R5 -1 ; INFINITE
  ${EndIf}
  System::Call '*(&l4, p, p, p, i, i, i, i, i, i, i, i, &i2, &i2, p, p, p, p) p .R1' ; STARTUPINFOW
  System::Call '*(p, p, i, i) p .R2' ; PROCESS_INFORMATION
  System::Call 'kernel32::CreateProcessW(p 0, w R0, p 0, p 0, i 0, i 0, p 0, p 0, p R1, p R2) i .r0'
  ${If} $0 = 0
    StrCpy $0 "not started"
  ${Else}
    System::Call '*$R2(p .R3, p .R4)'
    System::Call 'kernel32::WaitForSingleObject(p R3, i R5) i .R5'
    ${If} $R5 = 0
      System::Call 'kernel32::GetExitCodeProcess(p R3, *i .r0)'
    ${Else}
      System::Call 'kernel32::TerminateProcess(p R3, i ${FAILED})'
      System::Call 'kernel32::WaitForSingleObject(p R3, i 10000)'
      StrCpy $0 "no end within ${STEP_LIMIT_S} s"
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p R3)'
    System::Call 'kernel32::CloseHandle(p R4)'
  ${EndIf}
  System::Free $R1
  System::Free $R2
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; Runs the regsvr32 of the library's bitness (NATIVE: 1 for the system's
; own, 0 for the 32-bit one on 64-bit Windows) and leaves its exit code in $0,
; or why it has none. Redirection is off while it starts, so System32 is the
; 64-bit folder; SysWOW64 and Program Files are never redirected.
!macro RunRegsvr32 UN NATIVE SWITCHES DLL
  ${If} ${NATIVE} = 1
    StrCpy $1 $Regsvr32Native
  ${Else}
    StrCpy $1 $Regsvr32Wow
  ${EndIf}
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
  ${EndIf}
  Push '"$1" ${SWITCHES} "${DLL}"'
  Call ${UN}RunBounded
  ${If} ${RunningX64}
    ${EnableX64FSRedirection}
  ${EndIf}
!macroend

; Runs the setup program with one switch; its exit code in $0, or why it
; has none.
!macro RunSetup UN SWITCH
  Push '"$INSTDIR\Zelkon.exe" ${SWITCH}'
  Call ${UN}RunBounded
!macroend

; A file that a running program holds (a library Explorer loaded) can't be
; deleted, but it can be renamed: it is moved aside to a name of its own (*.tmp) in its folder, and that name is
; deleted at the next reboot. The real name is free at once, so a reinstall
; before the reboot writes its new file there, and the reboot leaves it.
!macro MoveAside DIR NAME
  ${If} ${FileExists} "${DIR}\${NAME}"
    ClearErrors
    Delete "${DIR}\${NAME}"
    ${If} ${Errors}
      GetTempFileName $0 "${DIR}"
      Delete $0
      Rename "${DIR}\${NAME}" $0
      Delete /REBOOTOK $0
    ${EndIf}
  ${EndIf}
!macroend

; Ends the install: the message in the log, on the standard output and in a
; box unless silent, exit code 2.
Function Fail
  Exch $0
  Push $0
  Call Report
  MessageBox MB_ICONSTOP|MB_OK $0 /SD IDOK
  SetErrorLevel ${FAILED}
  Abort
FunctionEnd

!macro Register NATIVE DLL
  DetailPrint "Registering ${DLL}"
  !insertmacro RunRegsvr32 "" ${NATIVE} /s "${DLL}"
  ${If} $0 != 0
    Push "Registering ${DLL} failed (regsvr32: $0)."
    Call Fail
  ${EndIf}
!macroend

; An upgrade while Explorer holds a library moves the old one aside.
!macro PutFile SOURCE DIR NAME
  !insertmacro MoveAside "${DIR}" "${NAME}"
  ClearErrors
  File "/oname=${DIR}\${NAME}" "${SOURCE}"
  ${If} ${Errors}
    Push "Can't write ${DIR}\${NAME}."
    Call Fail
  ${EndIf}
!macroend

; Adds to $0 the size of our files in DIR, in KB; files moved aside (*.tmp,
; gone at the next reboot) don't count.
!macro AddInstalledSize DIR
  ${GetSize} "${DIR}" "/M=*.dll /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
  ${GetSize} "${DIR}" "/M=*.exe /S=0K /G=0" $1 $2 $3
  IntOp $0 $0 + $1
!macroend

!macro NotifyAssociationsChanged
  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i ${SHCNF_IDLIST}, p 0, p 0)'
!macroend

Function .onInit
  ${IfNot} ${AtLeastWin7}
    Push "${PRODUCT} needs Windows 7 or later."
    Call Refuse
  ${EndIf}
  ; ARM64 Windows runs the installer as x86 and says it is 64-bit, but its
  ; Explorer loads neither the x64 nor the x86 libraries.
  ${If} ${IsNativeARM64}
    Push "${PRODUCT} runs on x86 and x64 Windows; ARM64 Windows' Explorer can't load its thumbnail handler."
    Call Refuse
  ${EndIf}
  Call CheckRun
  ${If} ${RunningX64}
    StrCpy $0 "$PROGRAMFILES64\${FOLDER}"
  ${Else}
    StrCpy $0 "$PROGRAMFILES32\${FOLDER}"
  ${EndIf}
  ; The folders must be where the uninstaller, a later upgrade and the other
  ; bitness's registration look for them: a /D= naming any other is refused
  ; rather than ignored.
  ${If} $INSTDIR != ""
  ${AndIf} $INSTDIR != $0
    ${If} ${RunningX64}
      Push "The folders are fixed: $0 and $PROGRAMFILES32\${FOLDER}; /D=$INSTDIR can't move them."
    ${Else}
      Push "The folder is fixed: $0; /D=$INSTDIR can't move it."
    ${EndIf}
    Call Refuse
  ${EndIf}
  StrCpy $INSTDIR $0
  !insertmacro LocateFolders
FunctionEnd

; The settings the setup program edits are the user's own (HKCU), so it
; must not run as the elevated installer, whose account may be another
; (an administrator's, over the user's shoulder) and whose rights it would
; inherit. The desktop's shell starts it: the program is then Explorer's,
; in the account of the user at the desktop.
!define CLSID_SHELL_WINDOWS "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}"
!define IID_SHELL_WINDOWS "{85CB6900-4D95-11CF-960C-0080C7F4EE85}"
!define IID_SERVICE_PROVIDER "{6D5140C1-7436-11CE-8034-00AA006009FA}"
!define SID_TOP_LEVEL_BROWSER "{4C96BE40-915C-11CF-99D3-00AA004AE837}"
!define IID_SHELL_BROWSER "{000214E2-0000-0000-C000-000000000046}"
!define IID_DISPATCH "{00020400-0000-0000-C000-000000000046}"
!define IID_SHELL_FOLDER_VIEW_DUAL "{E7A1AF80-4D96-11CF-960C-0080C7F4EE85}"
!define IID_SHELL_DISPATCH2 "{A4C6892C-3BA9-11D2-9DEA-00C04FB16162}"
!define SWC_DESKTOP 8
!define SWFO_NEEDDISPATCH 1

; Calls METHOD (an index in the object's table) of the interface in $OBJECT
; when it is set, leaving the HRESULT in $0 and the interface it gives in
; $RESULT (0 when the call failed).
!macro ShellCall OBJECT METHOD ARGUMENTS RESULT
  StrCpy ${RESULT} 0
  ${If} ${OBJECT} P<> 0
    System::Call '${OBJECT}->${METHOD}(${ARGUMENTS}) i .r0'
    ${If} $0 <> 0
      StrCpy ${RESULT} 0
    ${EndIf}
  ${EndIf}
!macroend

!macro ShellRelease OBJECT
  ${If} ${OBJECT} P<> 0
    System::Call '${OBJECT}->2()'
  ${EndIf}
!macroend

Function StartSetupAsUser
  System::Alloc 24 ; VARIANT, VT_I4 0: the desktop
  Pop $R1
  System::Call '*$R1(&i2 3)'
  System::Alloc 24 ; VARIANT, empty
  Pop $R2
  System::Call 'ole32::CoCreateInstance(g "${CLSID_SHELL_WINDOWS}", p 0, i 0x17, g "${IID_SHELL_WINDOWS}", *p .R3) i .r0'
  ${If} $0 <> 0
    StrCpy $R3 0
  ${EndIf}
  !insertmacro ShellCall $R3 15 'p R1, p R2, i ${SWC_DESKTOP}, *i .r1, i ${SWFO_NEEDDISPATCH}, *p .R4' $R4
  !insertmacro ShellCall $R4 0 'g "${IID_SERVICE_PROVIDER}", *p .R5' $R5
  !insertmacro ShellCall $R5 3 'g "${SID_TOP_LEVEL_BROWSER}", g "${IID_SHELL_BROWSER}", *p .R6' $R6
  !insertmacro ShellCall $R6 15 '*p .R7' $R7 ; IShellBrowser::QueryActiveShellView
  !insertmacro ShellCall $R7 15 'i 0, g "${IID_DISPATCH}", *p .R8' $R8 ; IShellView::GetItemObject
  !insertmacro ShellCall $R8 0 'g "${IID_SHELL_FOLDER_VIEW_DUAL}", *p .R9' $R9
  !insertmacro ShellCall $R9 7 '*p .r8' $8 ; IShellFolderViewDual::get_Application
  !insertmacro ShellCall $8 0 'g "${IID_SHELL_DISPATCH2}", *p .r9' $9
  StrCpy $0 1
  ${If} $9 P<> 0
    System::Call 'oleaut32::SysAllocString(w "$INSTDIR\Zelkon.exe") p .r7'
    ; IShellDispatch2::ShellExecute(file, arguments, folder, verb, show):
    ; four empty VARIANTs, by value (on x64 a copy's address).
    !if ${NSIS_PTR_SIZE} > 4
      System::Call '$9->31(p r7, p R2, p R2, p R2, p R2) i .r0'
    !else
      System::Call '$9->31(p r7, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0) i .r0'
    !endif
    System::Call 'oleaut32::SysFreeString(p r7)'
  ${EndIf}
  !insertmacro ShellRelease $9
  !insertmacro ShellRelease $8
  !insertmacro ShellRelease $R9
  !insertmacro ShellRelease $R8
  !insertmacro ShellRelease $R7
  !insertmacro ShellRelease $R6
  !insertmacro ShellRelease $R5
  !insertmacro ShellRelease $R4
  !insertmacro ShellRelease $R3
  System::Free $R1
  System::Free $R2
  ; No desktop shell to ask (another shell, or none running): not started
  ; here as the installer's account either.
  ${If} $0 <> 0
    MessageBox MB_ICONINFORMATION|MB_OK "Open ${SHORTCUT} from the Start menu."
  ${EndIf}
FunctionEnd

Section "Kadrix"
  SetOverwrite try
  CreateDirectory $INSTDIR
  ${If} ${RunningX64}
    CreateDirectory $Dir32
    !insertmacro PutFile "${PAYLOAD}/x64/Glimvex.dll" $INSTDIR Glimvex.dll
    !insertmacro PutFile "${PAYLOAD}/x64/Tabliq.dll" $INSTDIR Tabliq.dll
    !insertmacro PutFile "${PAYLOAD}/x64/Zelkon.exe" $INSTDIR Zelkon.exe
    !insertmacro PutFile "${PAYLOAD}/x86/Glimvex.dll" $Dir32 Glimvex.dll
    !insertmacro PutFile "${PAYLOAD}/x86/Tabliq.dll" $Dir32 Tabliq.dll
  ${Else}
    !insertmacro PutFile "${PAYLOAD}/x86/Glimvex.dll" $INSTDIR Glimvex.dll
    !insertmacro PutFile "${PAYLOAD}/x86/Tabliq.dll" $INSTDIR Tabliq.dll
    !insertmacro PutFile "${PAYLOAD}/x86/Zelkon.exe" $INSTDIR Zelkon.exe
  ${EndIf}

  ; The uninstaller and its entry come before registration, so an install
  ; that fails later can still be removed.
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${SHORTCUT}.lnk" "$INSTDIR\Zelkon.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Zelkon.exe",0'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; In place ("_?=", which comes last) the uninstaller waits and gives its
  ; exit code, which a deployment tool needs; it then removes itself at the
  ; next reboot. (Without it, it would return at once and finish from a copy
  ; of itself in the temp folder.)
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  StrCpy $0 0
  !insertmacro AddInstalledSize $INSTDIR
  ${If} $Dir32 != $INSTDIR
    !insertmacro AddInstalledSize $Dir32
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; An upgrade registers again over the same paths: the keys are rewritten,
  ; and the setup program keeps the handlers it saved the first time.
  !insertmacro Register 1 "$INSTDIR\Glimvex.dll"
  !insertmacro Register 1 "$INSTDIR\Tabliq.dll"
  ${If} ${RunningX64}
    !insertmacro Register 0 "$Dir32\Glimvex.dll"
    !insertmacro Register 0 "$Dir32\Tabliq.dll"
  ${EndIf}

  DetailPrint "Associating the video file types"
  !insertmacro RunSetup "" -register
  ${If} $0 != 0
    Push "Associating the video file types failed (Zelkon.exe -register: $0)."
    Call Fail
  ${EndIf}
  ; Explorer would go on showing the thumbnails it cached before. It holds
  ; its cache files open while it runs, and the setup program's -cleancache
  ; reports each file it can't delete in a box of its own: the installer
  ; deletes those it can itself, quietly. A cache that could not be cleaned
  ; costs no more than old tiles.
  DetailPrint "Cleaning Explorer's thumbnail cache"
  ReadEnvStr $1 LOCALAPPDATA
  ${If} $1 != ""
    Delete "$1\Microsoft\Windows\Explorer\thumbcache*.*"
  ${EndIf}
  !insertmacro NotifyAssociationsChanged
SectionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${REBOOT_NEEDED}
  ${EndIf}
FunctionEnd

; --- Uninstaller --------------------------------------------------------------

; The copy an uninstaller run in place leaves behind (see the end of the
; uninstall): once that run's process has ended, it deletes the uninstaller
; and the folder, unless an install has begun meanwhile (it then holds the
; mutex, and the uninstaller is its own). The copy, a temp file, goes at the
; next reboot.
Function un.RemoveUninstaller
  Exch $0 ; the process
  System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r0) p .r1'
  ${If} $1 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r1, i ${WAIT_FOR_OTHER_MS})'
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  System::Call 'kernel32::CreateMutexW(p 0, i 1, w "${MUTEX}") p .r1 ?e'
  Pop $2
  ClearErrors
  ReadRegStr $3 HKLM "${UNINSTALL_KEY}" "UninstallString"
  ${If} $1 P<> 0
  ${AndIf} $2 <> ${ERROR_ALREADY_EXISTS}
  ${AndIf} ${Errors}
    Delete "$INSTDIR\uninstall.exe"
    RMDir $INSTDIR
  ${EndIf}
  Delete /REBOOTOK $EXEPATH
  Pop $0
FunctionEnd

Function un.onInit
  !insertmacro LocateFolders
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AFTER=" $1
  ${IfNot} ${Errors}
    Push $1
    Call un.RemoveUninstaller
    Quit
  ${EndIf}
  Call un.CheckRun
  StrCpy $RemoveSettings ${BST_UNCHECKED}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings ${BST_CHECKED}
  ${EndIf}
  ; The settings are per user, and an uninstaller removes only those of the
  ; account it runs as: the page names it (an administrator's, or SYSTEM's
  ; under a deployment tool, are not the user's).
  StrCpy $Account ""
  System::Call 'advapi32::GetUserNameW(w .r0, *i ${NSIS_MAX_STRLEN}) i .r1'
  ${If} $1 <> 0
    StrCpy $Account $0
  ${EndIf}
FunctionEnd

Function un.SettingsPage
  !insertmacro MUI_HEADER_TEXT "Settings" "Keep or remove the ${PRODUCT} settings of $Account."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 48u "The thumbnail settings of $Account (where in a clip the thumbnail is taken and how the tiles look) stay, so a later install of ${PRODUCT} finds them again. Each account has settings of its own: those of other users of this computer stay, whatever you choose here."
  Pop $0
  ${NSD_CreateCheckbox} 0 56u 100% 12u "&Remove the ${PRODUCT} settings of $Account too"
  Pop $SettingsBox
  ${NSD_SetState} $SettingsBox $RemoveSettings
  nsDialogs::Show
FunctionEnd

Function un.SettingsPageLeave
  ${NSD_GetState} $SettingsBox $RemoveSettings
FunctionEnd

!macro Unregister NATIVE DLL
  ${If} ${FileExists} "${DLL}"
    DetailPrint "Unregistering ${DLL}"
    !insertmacro RunRegsvr32 "un." ${NATIVE} "/u /s" "${DLL}"
    ${If} $0 != 0
      Push "Unregistering ${DLL} failed (regsvr32: $0)."
      Call un.Report
      IntOp $Failures $Failures + 1
    ${EndIf}
  ${EndIf}
!macroend

!macro RemoveFolder DIR
  ClearErrors
  RMDir "${DIR}"
  ${If} ${Errors}
  ${AndIf} ${RebootFlag}
    RMDir /REBOOTOK "${DIR}"
  ${EndIf}
!macroend

; An uninstall goes on past a step that failed, so as much as can be removed
; is removed; the exit code then says it failed.
Section "Uninstall"
  StrCpy $Failures 0
  ${If} ${FileExists} "$INSTDIR\Zelkon.exe"
    DetailPrint "Releasing the video file types"
    !insertmacro RunSetup "un." -unregister
    ${If} $0 != 0
      Push "Releasing the video file types failed (Zelkon.exe -unregister: $0)."
      Call un.Report
      IntOp $Failures $Failures + 1
    ${EndIf}
  ${EndIf}
  !insertmacro Unregister 1 "$INSTDIR\Glimvex.dll"
  !insertmacro Unregister 1 "$INSTDIR\Tabliq.dll"
  ${If} ${RunningX64}
    !insertmacro Unregister 0 "$Dir32\Glimvex.dll"
    !insertmacro Unregister 0 "$Dir32\Tabliq.dll"
  ${EndIf}
  !insertmacro NotifyAssociationsChanged

  ; Explorer may still hold a library: it is moved aside and goes at the next
  ; reboot, as do those an upgrade moved aside (nothing else in our folders
  ; is named *.tmp). No real name is left to the reboot, which would delete
  ; what an install made before it wrote there.
  !insertmacro MoveAside $INSTDIR Glimvex.dll
  !insertmacro MoveAside $INSTDIR Tabliq.dll
  !insertmacro MoveAside $INSTDIR Zelkon.exe
  Delete /REBOOTOK "$INSTDIR\*.tmp"
  ${If} $Dir32 != $INSTDIR
    !insertmacro MoveAside $Dir32 Glimvex.dll
    !insertmacro MoveAside $Dir32 Tabliq.dll
    Delete /REBOOTOK "$Dir32\*.tmp"
  ${EndIf}
  ; Run in place ("_?="), as the quiet form runs it, the uninstaller can't
  ; delete itself, nor move itself aside (it holds its own file open); left to
  ; the reboot by its real name, it would take a reinstall's uninstaller with
  ; it. A copy of it in the temp folder removes it once this run has ended.
  ClearErrors
  Delete "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    GetTempFileName $1
    CopyFiles /SILENT "$EXEPATH" $1
    System::Call 'kernel32::GetCurrentProcessId() i .r2'
    Exec '"$1" /S /AFTER=$2 _?=$INSTDIR'
  ${EndIf}
  Delete "$SMPROGRAMS\${SHORTCUT}.lnk"
  ; Only empty folders go; one that still holds a file until the reboot goes
  ; with it.
  !insertmacro RemoveFolder $Dir32
  !insertmacro RemoveFolder $INSTDIR

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} $RemoveSettings = ${BST_CHECKED}
    DetailPrint "Removing the settings of $Account"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "${SETTINGS_PARENT}"
  ${EndIf}

  ${If} $Failures <> 0
    SetErrorLevel ${FAILED}
  ${ElseIf} ${RebootFlag}
    SetErrorLevel ${REBOOT_NEEDED}
  ${EndIf}
SectionEnd
