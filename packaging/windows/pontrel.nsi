; SPDX-License-Identifier: GPL-3.0-or-later
; Pontrel's Windows installer, built by scripts/package-windows.sh with makensis:
;   makensis -DVERSION=<versión> -DSTAGE=<carpeta preparada> -DOUTFILE=<setup.exe> pontrel.nsi
; STAGE holds what goes into the program's folder, and files.nsh (the uninstaller's list of those
; files, written by the same script). The installation is per user and needs no administrator: the
; program's folder must stay writable by the user, because Velmora.ini is written beside pontrel.exe.
; Silent: setup.exe /S [/D=C:\otra\carpeta] and Desinstalar.exe /S.

Target amd64-unicode ; Debian's wine64 cannot run the default 32-bit installer
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pontrel"

Name "Pontrel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Pontrel"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Pontrel ${VERSION}"

!define MUI_ABORTWARNING
!define MUI_LICENSEPAGE_TEXT_TOP "Pontrel es software libre bajo la GPL, versión 3 o posterior."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}/program/COPYING.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "Pontrel"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Instalación de Pontrel"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "GPL-3.0-or-later"

Section "Pontrel"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/program/*.*"
  WriteUninstaller "$INSTDIR\Desinstalar.exe"

!if /FileExists "${STAGE}/program/pontrel.exe"
  CreateShortcut "$SMPROGRAMS\Pontrel.lnk" "$INSTDIR\pontrel.exe" "" "$INSTDIR\pontrel.exe" 0
!else
  ; A build without the window: the entry opens the program's folder (pontrel-cli.exe is a console program).
  CreateShortcut "$SMPROGRAMS\Pontrel.lnk" "$INSTDIR"
!endif

  ; The user's "Programs and Features".
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Pontrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Pontrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Desinstalar.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Desinstalar.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only what the installer put there, and the result file that Pontrel writes beside itself; the
  ; folder goes only when nothing else is left in it. Velmora's working folder is never touched.
  !include "${STAGE}/files.nsh"
  Delete "$INSTDIR\Velmora.ini"
  Delete "$INSTDIR\Desinstalar.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Pontrel.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
