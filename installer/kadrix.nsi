; Kadrix's Windows installer (NSIS 3, Unicode), built by scripts/build-installer.sh:
;   makensis -DVERSION=1.0 -DX86_DIR=build/x86 -DX64_DIR=build/x64 -DOUTFILE=... kadrix.nsi
;
; Per machine. On 64-bit Windows the x64 libraries and setup program go to the
; 64-bit Program Files (64-bit Explorer loads only those) and the x86 libraries
; to the 32-bit one (for 32-bit programs' file dialogs); on 32-bit Windows the
; x86 build alone. Each library is registered by the regsvr32 of its own
; bitness, which writes its class into its own registry view; then the setup
; program associates the video file types with both classes.
;
; Silent: setup.exe /S installs, uninstall.exe /S removes (it keeps the user's
; settings unless /REMOVESETTINGS is given). Exit code 0 on success, 2 when a
; step failed.

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

!ifndef VERSION | X86_DIR | X64_DIR | OUTFILE
  !error "build with scripts/build-installer.sh (VERSION, X86_DIR, X64_DIR and OUTFILE are needed)"
!endif
!ifndef VERSION_QUAD
  !define VERSION_QUAD "${VERSION}.0.0"
!endif

!define PRODUCT "Kadrix"
!define PUBLISHER "Vantrel"
!define FOLDER "Kadrix"
!define SHORTCUT "Kadrix Vuvu setup"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kadrix"
!define SETTINGS_KEY "Software\Vantrel\KadrixVuvu"
!define SETTINGS_PARENT "Software\Vantrel"
!define SHCNE_ASSOCCHANGED 0x08000000
!define SHCNF_IDLIST 0
; Exit code of a run where a step failed.
!define FAILED 2

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The folders are fixed (see .onInit): the two bitnesses' folders must match
; what the uninstaller and a later upgrade look for.
InstallDir "$PROGRAMFILES\${FOLDER}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright ${PUBLISHER}"

Var Dir32          ; folder of the x86 libraries (the same as $INSTDIR on 32-bit Windows)
Var Regsvr32Native ; regsvr32 of the system's bitness
Var Regsvr32Wow    ; the 32-bit regsvr32 on 64-bit Windows
Var RemoveSettings ; uninstaller: 1 to delete the user's settings key
Var SettingsBox
Var Failures       ; uninstaller: steps that failed

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Zelkon.exe"
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

; Runs the regsvr32 of the library's bitness (NATIVE: 1 for the system's
; own, 0 for the 32-bit one on 64-bit Windows) and leaves its exit code in $0,
; or "not started". Redirection is off while it starts, so System32 is the
; 64-bit folder; SysWOW64 and Program Files are never redirected.
!macro RunRegsvr32 NATIVE SWITCHES DLL
  ${If} ${NATIVE} = 1
    StrCpy $1 $Regsvr32Native
  ${Else}
    StrCpy $1 $Regsvr32Wow
  ${EndIf}
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
  ${EndIf}
  ClearErrors
  ExecWait '"$1" ${SWITCHES} "${DLL}"' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
  ${If} ${RunningX64}
    ${EnableX64FSRedirection}
  ${EndIf}
!macroend

; Ends the install: the message in the log (and in a box unless silent), a
; non-zero exit code.
Function Fail
  Exch $0
  DetailPrint $0
  MessageBox MB_ICONSTOP|MB_OK $0 /SD IDOK
  SetErrorLevel ${FAILED}
  Abort
FunctionEnd

!macro Register NATIVE DLL
  DetailPrint "Registering ${DLL}"
  !insertmacro RunRegsvr32 ${NATIVE} /s "${DLL}"
  ${If} $0 != 0
    Push "Registering ${DLL} failed (regsvr32: $0)."
    Call Fail
  ${EndIf}
!macroend

; A library that a running Explorer holds can't be overwritten, but it can be
; renamed: an upgrade moves it aside, to be deleted at the next reboot, and
; writes the new one in its place.
!macro PutFile SOURCE DIR NAME
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
  ClearErrors
  File "/oname=${DIR}\${NAME}" "${SOURCE}"
  ${If} ${Errors}
    Push "Can't write ${DIR}\${NAME}."
    Call Fail
  ${EndIf}
!macroend

; Runs the setup program with one switch; its exit code in $0 (or "not
; started").
!macro RunSetup SWITCH
  ClearErrors
  ExecWait '"$INSTDIR\Zelkon.exe" ${SWITCH}' $0
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
!macroend

; Adds to $0 the size of our files in DIR, in KB; libraries an upgrade moved
; aside (*.tmp, gone at the next reboot) don't count.
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
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} needs Windows 7 or later." /SD IDOK
    SetErrorLevel ${FAILED}
    Quit
  ${EndIf}
  ; Without UAC the admin request is not enforced: a standard user would fail
  ; half-way, writing Program Files and HKLM.
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Installing ${PRODUCT} needs administrator rights." /SD IDOK
    SetErrorLevel ${FAILED}
    Quit
  ${EndIf}
  ${If} ${RunningX64}
    StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER}"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES32\${FOLDER}"
  ${EndIf}
  !insertmacro LocateFolders
FunctionEnd

Section "Kadrix"
  SetOverwrite try
  CreateDirectory $INSTDIR
  ${If} ${RunningX64}
    CreateDirectory $Dir32
    !insertmacro PutFile "${X64_DIR}/thumbnail_handler/Glimvex.dll" $INSTDIR Glimvex.dll
    !insertmacro PutFile "${X64_DIR}/property_sheet/Tabliq.dll" $INSTDIR Tabliq.dll
    !insertmacro PutFile "${X64_DIR}/setup/Zelkon.exe" $INSTDIR Zelkon.exe
    !insertmacro PutFile "${X86_DIR}/thumbnail_handler/Glimvex.dll" $Dir32 Glimvex.dll
    !insertmacro PutFile "${X86_DIR}/property_sheet/Tabliq.dll" $Dir32 Tabliq.dll
  ${Else}
    !insertmacro PutFile "${X86_DIR}/thumbnail_handler/Glimvex.dll" $INSTDIR Glimvex.dll
    !insertmacro PutFile "${X86_DIR}/property_sheet/Tabliq.dll" $INSTDIR Tabliq.dll
    !insertmacro PutFile "${X86_DIR}/setup/Zelkon.exe" $INSTDIR Zelkon.exe
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
  ; Started this way the uninstaller runs from a copy of itself in the temp
  ; folder and returns at once, but it removes everything, itself included
  ; (with "_?=" it would wait, and leave itself and the folder behind).
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
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
  !insertmacro RunSetup -register
  ${If} $0 != 0
    Push "Associating the video file types failed (Zelkon.exe -register: $0)."
    Call Fail
  ${EndIf}
  ; Explorer would go on showing the thumbnails it cached before; a cache
  ; that could not be cleaned costs no more than that.
  DetailPrint "Cleaning Explorer's thumbnail cache"
  ${If} ${Silent}
    ; The setup program reports every cache file it can't delete in a box
    ; of its own, and Explorer holds its cache open while it runs: nobody
    ; answers those boxes in an unattended install, which would never end.
    ; The same files, deleted where they can be, and quietly.
    ReadEnvStr $1 LOCALAPPDATA
    ${If} $1 != ""
      Delete "$1\Microsoft\Windows\Explorer\thumbcache*.*"
    ${EndIf}
  ${Else}
    !insertmacro RunSetup -cleancache
    ${If} $0 != 0
      DetailPrint "Cleaning the thumbnail cache failed (Zelkon.exe -cleancache: $0)."
    ${EndIf}
  ${EndIf}
  !insertmacro NotifyAssociationsChanged
SectionEnd

; --- Uninstaller --------------------------------------------------------------

Function un.onInit
  !insertmacro LocateFolders
  StrCpy $RemoveSettings ${BST_UNCHECKED}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings ${BST_CHECKED}
  ${EndIf}
FunctionEnd

Function un.SettingsPage
  !insertmacro MUI_HEADER_TEXT "Your settings" "Keep or remove your ${PRODUCT} settings."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 36u "Your thumbnail settings (where in a clip the thumbnail is taken and how the tiles look) stay, so a later install of ${PRODUCT} finds them again."
  Pop $0
  ${NSD_CreateCheckbox} 0 44u 100% 12u "&Remove my ${PRODUCT} settings too"
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
    !insertmacro RunRegsvr32 ${NATIVE} "/u /s" "${DLL}"
    ${If} $0 != 0
      DetailPrint "Unregistering ${DLL} failed (regsvr32: $0)."
      IntOp $Failures $Failures + 1
    ${EndIf}
  ${EndIf}
!macroend

; An uninstall goes on past a step that failed, so as much as can be removed
; is removed; the exit code then says it failed.
Section "Uninstall"
  StrCpy $Failures 0
  ${If} ${FileExists} "$INSTDIR\Zelkon.exe"
    DetailPrint "Releasing the video file types"
    !insertmacro RunSetup -unregister
    ${If} $0 != 0
      DetailPrint "Releasing the video file types failed (Zelkon.exe -unregister: $0)."
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

  ; Explorer may still hold a library: it goes at the next reboot. So do
  ; those an upgrade moved aside while they were loaded (see PutFile):
  ; nothing else in our folders is named *.tmp.
  Delete /REBOOTOK "$INSTDIR\Glimvex.dll"
  Delete /REBOOTOK "$INSTDIR\Tabliq.dll"
  Delete /REBOOTOK "$INSTDIR\Zelkon.exe"
  Delete /REBOOTOK "$INSTDIR\*.tmp"
  ${If} $Dir32 != $INSTDIR
    Delete /REBOOTOK "$Dir32\Glimvex.dll"
    Delete /REBOOTOK "$Dir32\Tabliq.dll"
    Delete /REBOOTOK "$Dir32\*.tmp"
  ${EndIf}
  ; Fails harmlessly when the uninstaller runs in place ("_?=").
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${SHORTCUT}.lnk"
  ; Only empty folders go; one that still holds a file until the reboot goes
  ; with it.
  ${If} ${RebootFlag}
    RMDir /REBOOTOK $Dir32
    RMDir /REBOOTOK $INSTDIR
  ${Else}
    RMDir $Dir32
    RMDir $INSTDIR
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} $RemoveSettings = ${BST_CHECKED}
    DetailPrint "Removing your settings"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "${SETTINGS_PARENT}"
  ${EndIf}

  ${If} $Failures <> 0
    SetErrorLevel ${FAILED}
  ${EndIf}
SectionEnd
