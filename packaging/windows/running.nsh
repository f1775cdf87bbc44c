; Finding the tool's programs running from the installed folder, for the installer and the
; uninstaller: a running orbel.exe cannot be replaced or removed, and a silent run that went on
; regardless would report success and leave the old program behind.
;
; The processes come from a tool-help snapshot; for each one named like one of the programs, the
; system is asked for its image's full path, which must lie in $INSTDIR (compared without regard
; to case, as Windows compares paths). The same name started from another folder does not count.

!include "LogicLib.nsh"

; The full path of the running program found, or "".
Var RunningProgram

!macro ORBEL_RUNNING_FUNCTIONS un
Function ${un}FindRunningProgram
    System::Store "s"
    StrCpy $RunningProgram ""
    ; The folder as the system writes it in an image path: long names.
    StrCpy $9 $INSTDIR
    System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .r8, i ${NSIS_MAX_STRLEN}) i .r7'
    ${If} $7 > 0
    ${AndIf} $7 < ${NSIS_MAX_STRLEN}
        StrCpy $9 $8
    ${EndIf}
    ; TH32CS_SNAPPROCESS
    System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r0'
    ${If} $0 P<> -1
        ; PROCESSENTRY32W as laid out on 64-bit Windows (568 bytes, padding spelled out).
        System::Call '*(&l4, i, i, i, p, i, i, i, i, i, &w260, i) p .r1'
        System::Call 'kernel32::Process32FirstW(p r0, p r1) i .r2'
        ${DoWhile} $2 <> 0
            System::Call '*$1(i, i, i .r3, i, p, i, i, i, i, i, &w260 .r4)'
            ${If} $4 == "orbel.exe"
            ${OrIf} $4 == "orbel-cli.exe"
            ${OrIf} $4 == "orbel-gateway.exe"
                ; PROCESS_QUERY_LIMITED_INFORMATION
                System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r3) p .r5'
                ${If} $5 P<> 0
                    System::Call 'kernel32::QueryFullProcessImageNameW(p r5, i 0, w .r6, *i ${NSIS_MAX_STRLEN}) i .r7'
                    System::Call 'kernel32::CloseHandle(p r5)'
                    ${If} $7 <> 0
                    ${AndIf} $6 == "$9\$4"
                        StrCpy $RunningProgram $6
                        ${Break}
                    ${EndIf}
                ${EndIf}
            ${EndIf}
            System::Call 'kernel32::Process32NextW(p r0, p r1) i .r2'
        ${Loop}
        System::Free $1
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    System::Store "l"
FunctionEnd

; Returns when none of the programs runs. The wizard asks to close the one found (retry or
; cancel); a silent run, or a cancel, ends with exit code 2 and nothing changed.
Function ${un}CloseRunningPrograms
    retry:
    Call ${un}FindRunningProgram
    StrCmp $RunningProgram "" 0 +2
    Return
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Запущена программа из папки установки:$\r$\n$RunningProgram$\r$\n$\r$\nЗакройте её и нажмите «Повтор»." \
        /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
FunctionEnd
!macroend
