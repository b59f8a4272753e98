; Kestrel's setup for 64-bit Windows. Per-user by default: into
; %LOCALAPPDATA%\Programs\Kestrel, with no administrator rights asked for. With /AllUsers:
; into Program Files for every user of the machine, which needs an elevated setup. /S runs
; it silently, /D=folder (last, unquoted) picks the folder.
;
; Built by cmake/WindowsPackage.cmake, which passes:
;   VERSION  the project's version (1.2.3)
;   STAGE    the folder holding the stripped kestrel.exe, README.txt and LICENSE.txt
;   OUTFILE  the setup to write
;   ICON     kestrel.exe's icon, which the setup and the uninstaller show too
;
; The uninstaller removes exactly what this wrote: three files, itself, the Start-menu
; shortcut and the Add/Remove Programs entry, then the folder if nothing else is left in
; it. The captures (under the base directory) and the settings key
; (HKCU\Software\VB and VBA Program Settings\Kestrel) are the user's and stay.
;
; Neither the setup nor the uninstaller changes anything while Kestrel runs (see
; REFUSE_WHILE_RUNNING). The uninstaller, started as it is, hands over to a copy of itself
; in %TEMP% and ends at once with 0, as every NSIS uninstaller does: a caller that wants
; its outcome starts it with _?=<its folder>, which runs it in place and waits.

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT Kestrel
!define PUBLISHER Ardmoor
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define ERROR_ELEVATION_REQUIRED 740
; Held by every running kestrel.exe (src/app/WindowsMain.cpp); any user may wait on it.
!define RUNNING_MUTEX "Global\Ardmoor.Kestrel.Running"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 ProductName "${PRODUCT}"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=1033 LegalCopyright "Copyright (c) 2026 the Kestrel developers, MIT License"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\kestrel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; A machine-wide install or uninstall writes Program Files and HKLM, which only an
; elevated process may. The setup asks for no elevation up front (the per-user install
; needs none), so it is asked for here: shown, the program starts again through the
; consent prompt with the same arguments; silent, there is nobody to ask, and it ends
; with ERROR_ELEVATION_REQUIRED.
!macro REQUIRE_ADMIN ARGUMENTS
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    ${If} ${Silent}
      SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    ${Else}
      ExecShell "runas" "$EXEPATH" "${ARGUMENTS}"
    ${EndIf}
    Quit
  ${EndIf}
!macroend

; A running Kestrel, of this install or any other, holds its kestrel.exe, which can then be
; neither replaced nor removed: a run that went on would leave it behind and still report
; success. So nothing is changed while one runs. Shown, the user is asked to close it, and
; Cancel ends the run; silent, there is nobody to ask, and the run ends at once. Either way
; with exit code 2, having changed nothing.
!macro REFUSE_WHILE_RUNNING
  ${Do}
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${RUNNING_MUTEX}") p .r0 ?e'
    Pop $1
    ${If} $0 P<> 0
      System::Call 'kernel32::CloseHandle(p r0)'
    ${ElseIf} $1 <> ${ERROR_ACCESS_DENIED}
      ${ExitDo}
    ${EndIf}
    ${If} ${Silent}
    ${OrIf} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kestrel is running. Please close it, then click Retry; Cancel stops here and changes nothing." IDCANCEL`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
!macroend

Function .onInit
  ; $INSTDIR is empty here unless /D= named the folder.
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AllUsers" $2
  ${If} ${Errors}
    SetShellVarContext current
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${Else}
    !insertmacro REQUIRE_ADMIN "$1"
    SetShellVarContext all
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${EndIf}
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${STAGE}\kestrel.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; $SMPROGRAMS and SHCTX follow the shell context: the user's or all users'.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\kestrel.exe" "" "$INSTDIR\kestrel.exe" 0

  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayIcon "$\"$INSTDIR\kestrel.exe$\",0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" UninstallString "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr SHCTX "${UNINSTALL_KEY}" QuietUninstallString "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoRepair 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

Function un.onInit
  ; The install this uninstaller belongs to is the machine's when HKLM's entry names its
  ; folder, the user's otherwise.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $1 == $INSTDIR
    !insertmacro REQUIRE_ADMIN "_?=$INSTDIR"
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Section Uninstall
  Delete "$INSTDIR\kestrel.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: anything the user put there stays, with its folder.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
