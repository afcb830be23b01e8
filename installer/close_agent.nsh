; Closing a running agent before its executable is replaced or removed.
; Instantiated once for the installer ("") and once for the uninstaller ("un.").

; Steps of 250 ms: an agent gets 15 s to end.
!define KOV_CLOSE_WAIT_STEPS 60
; The exit status of an agent that a silent run had to end by force.
!define KOV_FORCED_EXIT_CODE 0x4B0F
!define KOV_PROCESS_TERMINATE_AND_SYNCHRONIZE 0x100001

!macro KOV_CLOSE_AGENT_FUNCTIONS UN

; $R0 <- 1 while an agent's window exists or the installed executable is
; still held by an ending process, else 0.
Function ${UN}KovAgentBusy
  StrCpy $R0 0
  FindWindow $R1 "${KOV_DIALOG_CLASS}" "${KOV_SITE_CAPTION}"
  ${If} $R1 <> 0
    StrCpy $R0 1
    Return
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\${KOV_AGENT_FILE}"
    Return
  ${EndIf}
  ; Opening for appending writes nothing, and fails while the image is in use.
  ClearErrors
  FileOpen $R1 "$INSTDIR\${KOV_AGENT_FILE}" a
  ${If} ${Errors}
    StrCpy $R0 1
  ${Else}
    FileClose $R1
  ${EndIf}
FunctionEnd

; $R0 <- 0 once the agent has ended, 1 if it is still there after the wait.
Function ${UN}KovWaitForAgentEnd
  ${For} $R2 1 ${KOV_CLOSE_WAIT_STEPS}
    Call ${UN}KovAgentBusy
    ${IfThen} $R0 = 0 ${|} ${Break} ${|}
    Sleep 250
  ${Next}
FunctionEnd

; Ends the process that owns the agent's window. Only a silent run does
; this: nobody is there to close, say, a sign-in dialog that holds the agent
; open. The agent keeps nothing in memory that it has not already stored.
Function ${UN}KovEndAgentProcess
  FindWindow $R1 "${KOV_DIALOG_CLASS}" "${KOV_SITE_CAPTION}"
  ${IfThen} $R1 = 0 ${|} Return ${|}
  System::Call "user32::GetWindowThreadProcessId(p R1, *i .R3)"
  System::Call "kernel32::OpenProcess(i ${KOV_PROCESS_TERMINATE_AND_SYNCHRONIZE}, i 0, i R3) p.R4"
  ${IfThen} $R4 P= 0 ${|} Return ${|}
  System::Call "kernel32::TerminateProcess(p R4, i ${KOV_FORCED_EXIT_CODE})"
  System::Call "kernel32::WaitForSingleObject(p R4, i 5000)"
  System::Call "kernel32::CloseHandle(p R4)"
FunctionEnd

; Asks a running agent to close, as its tray menu's Close does, and waits
; until it has ended. The agent that started this installer after an update
; ends by itself; then there is only the wait.
Function ${UN}CloseRunningAgent
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  ask:
  FindWindow $R1 "${KOV_DIALOG_CLASS}" "${KOV_SITE_CAPTION}"
  ${If} $R1 <> 0
    SendMessage $R1 ${WM_COMMAND} ${KOV_ID_CLOSE} 0 /TIMEOUT=5000
  ${EndIf}
  Call ${UN}KovWaitForAgentEnd
  ${If} $R0 = 1
  ${AndIf} ${Silent}
    Call ${UN}KovEndAgentProcess
    Call ${UN}KovWaitForAgentEnd
  ${EndIf}
  ${If} $R0 = 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(KovAgentStillRunning)" /SD IDCANCEL IDRETRY ask
    Abort "$(KovAgentKeptRunning)"
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd

!macroend
