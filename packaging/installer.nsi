; The Windows installer of one brand. It puts VentrelConf.exe into the brand's product folder under
; the programs folder (the 64-bit program on 64-bit Windows, the 32-bit one on 32-bit Windows),
; with the per-user step VentrelConfProvision.exe beside it and, in its Provisioning folder, the
; copy of the brand's catalogue and of the chosen model for every user. It registers the step with
; Active Setup, which runs it at each user's next logon, and runs it at once for the installing
; user: it lays out the catalogue where the user has none and writes the model through the
; program's own writer, never showing a box. It adds a Start-menu shortcut and the Add/Remove
; Programs entry. scripts/package.sh builds one per brand, defining BRAND, PRODUCT, SLUG, VERSION,
; EXE64, EXE32, STEP64, STEP32, CATALOGUE and OUTFILE, and SIGN (a command signing the file it is
; given) when the packages are signed.
;
;   setup.exe [/S] [/MODEL=200|300|301] [/EVERYLOGON[=0|1]]
;
; /MODEL chooses the board model for every user; without it a reinstall keeps the model chosen
; before. As with the MSI package, the same line serves every state of a PC: a new version or a
; new model raises Active Setup's Version, so that each user gets it at their next logon, and the
; same again changes nothing at all. /EVERYLOGON runs the step at every logon of every user
; (roaming profiles), until /EVERYLOGON=0. The installer's exit status is the step's for the
; installing user (0 written, nothing to do, or left to each user's logon when the installer runs
; as LocalSystem; 1 not, and the step runs again at that user's next logon). Any other code is
; refused before anything is installed, with status 2.

; Planted DLLs: an administrator runs setup.exe from Downloads or a share, where anyone may have put
; a DLL beside it. The stub of NSIS 3.04 and later restricts its DLL search to the system folder
; (SetDefaultDllDirectories) before it loads anything by name, and on Windows without that call
; loads from there first the DLLs Windows would otherwise look for beside it (uxtheme, userenv,
; setupapi, apphelp, propsys, dwmapi, cryptbase, oleacc, clbcatq, ntmarta). Older stubs took them
; from the installer's folder. What the stub imports itself (shell32, ole32, comctl32 and the
; KnownDLLs) is resolved before any of its code runs, and no script can change that.
!if ${NSIS_PACKEDVERSION} < 0x03004000
  !error "NSIS 3.04 or later is needed: earlier installers load DLLs from their own folder"
!endif

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include FileFunc.nsh
!include LogicLib.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VentrelConf ${SLUG}"
!define DISPLAY_NAME "VentrelConf (${BRAND} ${PRODUCT})"

Name "${DISPLAY_NAME}"
OutFile "${OUTFILE}"
; Set for the running system in .onInit: the program is only found in its brand's folder.
InstallDir "$PROGRAMFILES\${BRAND}\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "VentrelConf"
VIAddVersionKey "CompanyName" "${BRAND}"
VIAddVersionKey "FileDescription" "${DISPLAY_NAME} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${BRAND}"

!ifdef SIGN
  !finalize '${SIGN} "%1"'
  !uninstfinalize '${SIGN} "%1"'
!endif

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var Model
Var EveryLogon

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/MODEL=" $Model
  ${IfNot} ${Errors}
  ${AndIf} $Model != "200"
  ${AndIf} $Model != "300"
  ${AndIf} $Model != "301"
    MessageBox MB_OK|MB_ICONSTOP "Improper board model '$Model': use /MODEL=200, 300 or 301." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; "" keeps what was chosen before; the step takes "/everylogon=" so.
  StrCpy $EveryLogon ""
  ClearErrors
  ${GetOptions} $0 "/EVERYLOGON" $1
  ${IfNot} ${Errors}
    ${If} $1 == ""
    ${OrIf} $1 == "=1"
      StrCpy $EveryLogon "1"
    ${ElseIf} $1 == "=0"
      StrCpy $EveryLogon "0"
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "Improper /EVERYLOGON$1: use /EVERYLOGON, /EVERYLOGON=1 or /EVERYLOGON=0." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\${BRAND}\${PRODUCT}"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES\${BRAND}\${PRODUCT}"
  ${EndIf}
  ; A reinstall without /MODEL keeps the model chosen before; "none" when there is none.
  ${If} $Model == ""
    ReadRegStr $Model HKLM "Software\${BRAND}\VentrelConf" "Model"
  ${EndIf}
  ${If} $Model == ""
    StrCpy $Model "none"
  ${EndIf}
FunctionEnd

Section "Program"
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "/oname=VentrelConf.exe" "${EXE64}"
    File "/oname=VentrelConfProvision.exe" "${STEP64}"
  ${Else}
    File "/oname=VentrelConf.exe" "${EXE32}"
    File "/oname=VentrelConfProvision.exe" "${STEP32}"
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"
SectionEnd

; The copy for every user, inside the programs folder, where only administrators may change it.
; No user's folder is written here: the step does that, as the user (an installer run by a
; deployment tool as LocalSystem would otherwise lay the catalogue out in LocalSystem's profile).
Section "Catalogue for every user"
  SetOutPath "$INSTDIR\Provisioning"
  File "/oname=VentrelConf.ini" "${CATALOGUE}"
  SetOutPath "$INSTDIR"
SectionEnd

Section "Start menu"
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${BRAND}"
  CreateShortcut "$SMPROGRAMS\${BRAND}\VentrelConf.lnk" "$INSTDIR\VentrelConf.exe"
SectionEnd

Section "Add/Remove Programs entry"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${BRAND}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VentrelConf.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The model for every user and the Active Setup entry (the step tells whether anything changes),
; then the step for the installing user, when the machine's Version is not yet theirs. Neither
; shows a window: a silent install never waits.
Section "Board model for every user"
  ClearErrors
  ExecWait '"$INSTDIR\VentrelConfProvision.exe" /register $Model /everylogon=$EveryLogon' $0
  ${If} ${Errors}
    StrCpy $0 1
  ${EndIf}
  DetailPrint "VentrelConfProvision.exe /register $Model /everylogon=$EveryLogon ended with status $0"
  ${If} $0 == 0
    ClearErrors
    ExecWait '"$INSTDIR\VentrelConfProvision.exe" /installing' $0
    ${If} ${Errors}
      StrCpy $0 1
    ${EndIf}
    DetailPrint "VentrelConfProvision.exe, for the installing user, ended with status $0"
  ${EndIf}
  SetErrorLevel $0
SectionEnd

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

; $R0 = 1 when files $R1 and $R2 hold the same bytes, 0 otherwise (or when either is unreadable).
Function un.SameBytes
  StrCpy $R0 0
  ClearErrors
  FileOpen $R3 "$R1" r
  IfErrors done
  FileOpen $R4 "$R2" r
  IfErrors close_first
  loop:
    ClearErrors
    FileReadByte $R3 $R5
    IfErrors first_ended
    FileReadByte $R4 $R6
    IfErrors close_both
    StrCmp $R5 $R6 loop close_both
  first_ended:
    ClearErrors
    FileReadByte $R4 $R6
    IfErrors 0 close_both
    StrCpy $R0 1
  close_both:
    FileClose $R4
  close_first:
    FileClose $R3
  done:
FunctionEnd

Section "Uninstall"
  ; The Active Setup entry and the model for every user; no user's board file.
  ExecWait '"$INSTDIR\VentrelConfProvision.exe" /unregister'
  DeleteRegKey /ifempty HKLM "Software\${BRAND}\VentrelConf"
  DeleteRegKey /ifempty HKLM "Software\${BRAND}"
  Delete "$INSTDIR\Provisioning\VentrelConf.ini"
  Delete "$INSTDIR\Provisioning\Provisioning.ini"
  RMDir "$INSTDIR\Provisioning"
  Delete "$INSTDIR\VentrelConfProvision.exe"
  Delete "$INSTDIR\VentrelConf.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $0
  RMDir "$0"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${BRAND}\VentrelConf.lnk"
  RMDir "$SMPROGRAMS\${BRAND}"

  ; The uninstalling user's catalogue goes only while it is the one the step laid out, unchanged.
  ; Its folders go only when empty: the board file, the driver's, keeps them. Other users' files
  ; are theirs.
  SetShellVarContext current
  StrCpy $R1 "$APPDATA\${BRAND}\${PRODUCT}\VentrelConf.ini"
  ${If} ${FileExists} $R1
    InitPluginsDir
    File "/oname=$PLUGINSDIR\catalogue.ini" "${CATALOGUE}"
    StrCpy $R2 "$PLUGINSDIR\catalogue.ini"
    Call un.SameBytes
    ${If} $R0 == 1
      Delete "$R1"
      ${GetParent} "$R1" $0
      RMDir "$0"
      ${GetParent} "$0" $0
      RMDir "$0"
    ${Else}
      DetailPrint "Kept $R1: it was changed after the installation"
    ${EndIf}
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
