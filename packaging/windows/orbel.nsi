; Installer of the tool for 64-bit Windows. Built by scripts/package-windows, which defines:
;   VERSION  the tool's version          BIN   folder holding orbel.exe (and orbel-cli.exe)
;   ICON     the .ico of the tool        OUT   the installer to write
;   CLI      defined when orbel-cli.exe is to be installed too
;   GATEWAY  defined when orbel-gateway.exe is to be installed too (a console program)
; The Start-menu entry starts the tool in ОРБЕЛ in the user's documents: the tool keeps
; user.ini in its current folder, and Program Files is no place for it.

Unicode true
; A 64-bit installer: the tool is 64-bit, and so are its Program Files and registry view.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"

!define PRODUCT "ОРБЕЛ"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORBEL"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT}"
; The program's folder has a Latin name: a shortcut also records its target in the system's
; ANSI code page, and a Cyrillic path there breaks on systems whose code page lacks it.
InstallDir "$PROGRAMFILES64\ORBEL"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "${PRODUCT}"
    SetOutPath "$INSTDIR"
    File "${BIN}\orbel.exe"
!ifdef CLI
    File "${BIN}\orbel-cli.exe"
!endif
!ifdef GATEWAY
    File "${BIN}\orbel-gateway.exe"
!endif
    File "/oname=orbel.ico" "${ICON}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The working folder, where user.ini will live. CreateShortCut takes the current
    ; output path as the entry's working folder.
    SetShellVarContext current
    CreateDirectory "$DOCUMENTS\${PRODUCT}"
    SetOutPath "$DOCUMENTS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\orbel.exe" "" "$INSTDIR\orbel.ico" 0
    SetOutPath "$INSTDIR"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orbel.ico"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The working folder and its user.ini stay: they are the technician's settings.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\orbel.exe"
    Delete "$INSTDIR\orbel-cli.exe"
    Delete "$INSTDIR\orbel-gateway.exe"
    Delete "$INSTDIR\orbel.ico"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
