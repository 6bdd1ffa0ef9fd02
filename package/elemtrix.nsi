; The Elemtrix installer, in Swedish. makensis is given VERSION (the project version), STAGE (the
; folder stage.py laid out) and OUTFILE. /S installs silently and /D= sets the folder, as in
; every NSIS installer. With AMD64 defined it is the same installer for 64-bit Windows, which
; the tests use where 32-bit programs cannot run.
Unicode true
!ifdef AMD64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Elemtrix"
!define UNINSTALLER "avinstallera.exe"
; The installer's own version resource gives the four numbers that elemtrix.exe carries.
!getdllversion "${STAGE}/elemtrix.exe" EXE_VERSION_

Name "Elemtrix ${VERSION}"
OutFile "${OUTFILE}"
!ifdef AMD64
  InstallDir "$PROGRAMFILES64\Elemtrix"
!else
  InstallDir "$PROGRAMFILES\Elemtrix"
!endif
; Installing again, for instance a newer version, goes to the folder chosen the first time.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Elemtrix ${VERSION}"

; No copyright holder is named anywhere in the project, so the installer names none either.
!pragma warning disable 9100
VIProductVersion "${EXE_VERSION_1}.${EXE_VERSION_2}.${EXE_VERSION_3}.${EXE_VERSION_4}"
VIFileVersion "${EXE_VERSION_1}.${EXE_VERSION_2}.${EXE_VERSION_3}.${EXE_VERSION_4}"
VIAddVersionKey /LANG=1053 "ProductName" "Elemtrix"
VIAddVersionKey /LANG=1053 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1053 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1053 "FileDescription" "Installationsprogram för Elemtrix ${VERSION}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Swedish"

Section "Elemtrix"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}/elemtrix.exe"
  File "${STAGE}/elemtrix-calc.exe"
  File "${STAGE}/Lasmig.txt"
  SetOutPath "$INSTDIR\examples"
  File "${STAGE}/examples/worked.spk"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\Elemtrix.lnk" "$INSTDIR\elemtrix.exe" "" "" 0 SW_SHOWNORMAL "" \
    "Beräknar TS-parametrar ur uppmätt element"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Elemtrix"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\elemtrix.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes exactly what the installer put there. Folders go only when empty, so .spk files that
; the user saved among the examples stay.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Elemtrix.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\elemtrix.exe"
  Delete "$INSTDIR\elemtrix-calc.exe"
  Delete "$INSTDIR\Lasmig.txt"
  Delete "$INSTDIR\examples\worked.spk"
  RMDir "$INSTDIR\examples"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
