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
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Elemtrix"
!define UNINSTALLER "avinstallera.exe"
; Driver data files: Elemtrix's own type, their icon and how the shell opens them.
!define SPK_KEY "Software\Classes\.spk"
!define PROGID "Elemtrix.spk"
!define PROGID_KEY "Software\Classes\${PROGID}"
; Set in the uninstall entry where this installer made .spk Elemtrix's, so that the uninstaller
; gives back only what it took.
!define SPK_TAKEN "ElemtrixTookSpk"
; Tells Explorer that file types changed (SHCNE_ASSOCCHANGED), so icons show at once.
!define ASSOCIATIONS_CHANGED "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"
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

  ; .spk opens in Elemtrix where no other program has taken it; where one has, Elemtrix only
  ; joins the file type's "Öppna med" list.
  WriteRegStr HKLM "${PROGID_KEY}" "" "Elemtrix elementdata"
  WriteRegStr HKLM "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\elemtrix.exe,0"
  WriteRegStr HKLM "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\elemtrix.exe" "%1"'
  ReadRegStr $0 HKLM "${SPK_KEY}" ""
  ${If} $0 == ""
    WriteRegStr HKLM "${SPK_KEY}" "" "${PROGID}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${SPK_TAKEN}" 1
  ${EndIf}
  WriteRegStr HKLM "${SPK_KEY}\OpenWithProgids" "${PROGID}" ""
  System::Call '${ASSOCIATIONS_CHANGED}'
SectionEnd

; Removes exactly what the installer put there. Folders go only when empty, so .spk files that
; the user saved among the examples stay.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Elemtrix.lnk"
  ; .spk is given back only where it is still Elemtrix's; keys go only when nothing else is in
  ; them.
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${SPK_TAKEN}"
  ReadRegStr $1 HKLM "${SPK_KEY}" ""
  ${If} $0 == 1
  ${AndIf} $1 == "${PROGID}"
    DeleteRegValue HKLM "${SPK_KEY}" ""
  ${EndIf}
  DeleteRegValue HKLM "${SPK_KEY}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${SPK_KEY}\OpenWithProgids"
  DeleteRegKey /ifnosubkeys /ifnovalues HKLM "${SPK_KEY}"
  DeleteRegKey HKLM "${PROGID_KEY}"
  System::Call '${ASSOCIATIONS_CHANGED}'
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\elemtrix.exe"
  Delete "$INSTDIR\elemtrix-calc.exe"
  Delete "$INSTDIR\Lasmig.txt"
  Delete "$INSTDIR\examples\worked.spk"
  RMDir "$INSTDIR\examples"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
