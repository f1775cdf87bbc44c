; Installer of the tool for 64-bit Windows. Built by scripts/package-windows, which defines:
;   VERSION  the tool's version          BIN   folder holding orbel.exe (and orbel-cli.exe)
;   ICON     the .ico of the tool        OUT   the installer to write
;   HOLDER   the copyright holder      COPYRIGHT  the years and the holder (packaging/copyright)
;   CLI      defined when orbel-cli.exe is to be installed too
;   GATEWAY  defined when orbel-gateway.exe is to be installed too (a console program)
; The Start-menu entry starts the tool in ОРБЕЛ in the user's documents: the tool keeps
; user.ini in its current folder, and Program Files is no place for it. With orbel-cli.exe, a
; second entry opens a console there with the program folder on that console's PATH alone.
; Neither the installer nor the uninstaller goes on while a program of the folder runs
; (running.nsh).

Unicode true
; A 64-bit installer: the tool is 64-bit, and so are its Program Files and registry view.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!addincludedir "${__FILEDIR__}"
!include "running.nsh"

!define PRODUCT "ОРБЕЛ"
!define CONSOLE_ENTRY "$SMPROGRAMS\${PRODUCT} — командная строка.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORBEL"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT}"
; The program's folder has a Latin name: a shortcut also records its target in the system's
; ANSI code page, and a Cyrillic path there breaks on systems whose code page lacks it.
InstallDir "$PROGRAMFILES64\ORBEL"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
; The chosen folder's programs are looked for before the files are copied.
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CloseRunningPrograms
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${HOLDER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© ${COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"

!insertmacro ORBEL_RUNNING_FUNCTIONS ""
!insertmacro ORBEL_RUNNING_FUNCTIONS "un."

Section "${PRODUCT}"
    ; Again here: a silent run has no pages, and a program may have started since.
    Call CloseRunningPrograms
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
!ifdef CLI
    ; The console makes the working folder again if it was removed and enters it; the PATH it
    ; sets is its own.
    SetOutPath "$DOCUMENTS"
    CreateShortCut "${CONSOLE_ENTRY}" "$SYSDIR\cmd.exe" \
        '/k md "$DOCUMENTS\${PRODUCT}" 2>nul & cd /d "$DOCUMENTS\${PRODUCT}" & set "PATH=$INSTDIR;%PATH%"' \
        "$INSTDIR\orbel.ico" 0
!endif
    SetOutPath "$INSTDIR"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orbel.ico"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${HOLDER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    ; Started in its folder (_?=), the uninstaller looks for running programs itself and so
    ; returns 2 when it refuses; see un.onInit.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A program cannot delete its own file, so the uninstaller removes the folder from a copy of
; itself in the temporary folder. Started without _?=, NSIS makes that copy before any of this
; script runs, and the caller gets 0 at once. Started in its folder with _?= (as the uninstall
; entry starts it), it looks for running programs first: a refusal gives the caller exit code 2
; with nothing changed; otherwise it hands over to its own copy and returns 0.
Var HandedOver

Function un.onInit
    ${If} $EXEDIR != $INSTDIR
        ${GetOptions} $CMDLINE "/handed-over" $0
        ${IfNot} ${Errors}
            StrCpy $HandedOver yes
        ${EndIf}
        Call un.CloseRunningPrograms
        Return
    ${EndIf}
    Call un.CloseRunningPrograms
    StrCpy $1 ""
    ${If} ${Silent}
        StrCpy $1 "/S "
    ${EndIf}
    ClearErrors
    GetTempFileName $0
    CopyFiles /SILENT /FILESONLY "$EXEPATH" "$0"
    ${IfNot} ${Errors}
        Exec '"$0" $1/handed-over _?=$INSTDIR'
    ${EndIf}
    ; Quit on its own would report an abort.
    ${If} ${Errors}
        SetErrorLevel 2
    ${Else}
        SetErrorLevel 0
    ${EndIf}
    Quit
FunctionEnd

; The working folder and its user.ini stay: they are the technician's settings.
Section "Uninstall"
    Call un.CloseRunningPrograms
    SetShellVarContext current
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "${CONSOLE_ENTRY}"
    Delete "$INSTDIR\orbel.exe"
    Delete "$INSTDIR\orbel-cli.exe"
    Delete "$INSTDIR\orbel-gateway.exe"
    Delete "$INSTDIR\orbel.ico"
    ; The uninstaller that handed over may take a moment to end: its file is free then.
    ${For} $0 1 50
        Delete "$INSTDIR\uninstall.exe"
        ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
            ${Break}
        ${EndIf}
        Sleep 100
    ${Next}
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${If} $HandedOver == yes
        Delete /REBOOTOK "$EXEPATH"
        SetRebootFlag false
    ${EndIf}
SectionEnd
