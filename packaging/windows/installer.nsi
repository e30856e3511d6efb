; The Windows installer of Zephyrlock Scanner, made by scripts/windows-build with Debian's
; makensis from the deployed folder. Defined on the command line:
;   VERSION  1.3.0        SOURCE  the deployed folder    OUTFILE  the setup.exe to write
;   ICON     our .ico     FILES / UNFILES  the generated lists of files to add and remove
; A 64-bit installer for 64-bit programs: it runs where they run, and writes the
; 64-bit registry and Program Files.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Zephyrlock Scanner"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZephyrlockScanner"
; Discovery replies come in unasked, which Windows Firewall drops by default: the first
; reason a scan on a Windows laptop finds nothing.
!define RULE_WINDOW "Zephyrlock Scanner"
!define RULE_COMMAND "Zephyrlock Scanner (command line)"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "Software\Zephyrlock\Scanner" "InstallDir"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "CompanyName" "Zephyrlock"
VIAddVersionKey "LegalCopyright" "Copyright (C) Zephyrlock"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\zephyrlock-scanner.exe"
!insertmacro MUI_PAGE_LICENSE "${SOURCE}\licenses\README.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Zephyrlock\Scanner" "InstallDir" "$INSTDIR"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\zephyrlock-scanner.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  ; Deleted first, so a reinstall into another folder leaves no rule for the old one.
  nsExec::ExecToLog 'netsh advfirewall firewall delete rule name="${RULE_WINDOW}"'
  Pop $0
  nsExec::ExecToLog 'netsh advfirewall firewall delete rule name="${RULE_COMMAND}"'
  Pop $0
  nsExec::ExecToLog 'netsh advfirewall firewall add rule name="${RULE_WINDOW}" dir=in action=allow program="$INSTDIR\zephyrlock-scanner.exe" enable=yes profile=any'
  Pop $0
  ${If} $0 != 0
    DetailPrint "The firewall rule for the window could not be added ($0): discovery replies may be blocked."
  ${EndIf}
  nsExec::ExecToLog 'netsh advfirewall firewall add rule name="${RULE_COMMAND}" dir=in action=allow program="$INSTDIR\zephyrlock-scan.exe" enable=yes profile=any'
  Pop $0
  ${If} $0 != 0
    DetailPrint "The firewall rule for the command could not be added ($0): discovery replies may be blocked."
  ${EndIf}

  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Zephyrlock"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\zephyrlock-scanner.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  nsExec::ExecToLog 'netsh advfirewall firewall delete rule name="${RULE_WINDOW}"'
  Pop $0
  nsExec::ExecToLog 'netsh advfirewall firewall delete rule name="${RULE_COMMAND}"'
  Pop $0
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  ; Only what was installed: a folder the user chose may hold other files.
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
  DeleteRegKey HKLM "Software\Zephyrlock\Scanner"
  DeleteRegKey /ifempty HKLM "Software\Zephyrlock"
SectionEnd
