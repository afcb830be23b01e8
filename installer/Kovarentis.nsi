; KovarentisSetup.exe: installs the consultant agent for the current user, no
; administrator rights needed. Built by installer/CMakeLists.txt:
;
;   makensis -INPUTCHARSET UTF8 -DKOV_TARGET=x86-unicode
;            -DKOV_AGENT_EXE=<Kovarentis.exe> -DKOV_PARAMS_INI=<Params.ini, Windows-1251>
;            -DKOV_OUTFILE=<KovarentisSetup.exe> [-DKOV_VERSION=1.2.0.0]
;            [-DKOV_SIGN=<command that signs the file named after it>] Kovarentis.nsi
;
; KOV_TARGET is x86-unicode for the product (the i686 agent) and
; amd64-unicode for the x86_64 agent that the tests run under 64-bit Wine.
;
; Over an existing installation the installer works as the update: it asks
; the running agent to close (the agent that downloaded it has ended by
; itself), replaces the executable in the installed folder, keeps Params.ini
; and the stored credentials, and starts the new agent without a question.
Unicode true

!ifndef KOV_TARGET | KOV_AGENT_EXE | KOV_PARAMS_INI | KOV_OUTFILE
  !error "KOV_TARGET, KOV_AGENT_EXE, KOV_PARAMS_INI and KOV_OUTFILE must be defined"
!endif
!ifndef KOV_VERSION
  !define KOV_VERSION 1.2.0.0
!endif

Target ${KOV_TARGET}

; Both the uninstaller, as it is packed into the installer, and the installer
; itself carry the publisher's signature: an agent starts only an installer
; signed like itself.
!ifdef KOV_SIGN
  !uninstfinalize '${KOV_SIGN} "%1"' = 0
  !finalize '${KOV_SIGN} "%1"' = 0
!endif

!include "agent_ids.nsh"
!include "texts_ru.nsh"

!define KOV_PRODUCT "Kovarentis"
!define KOV_AGENT_FILE "Kovarentis.exe"
!define KOV_UNINSTALLER_FILE "Uninstall.exe"
!define KOV_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovarentis"
!define KOV_RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define KOV_RUN_VALUE "Kovarentis"
; The agent's own per-user key (the name ends in a blank): the credentials.
!define KOV_PROFILE_KEY "Software\Kovarentis "
!define KOV_SHORTCUT "$SMPROGRAMS\Kovarentis.lnk"

Name "${KOV_PRODUCT}"
OutFile "${KOV_OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Kovarentis"
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails hide
ShowUninstDetails hide
BrandingText "${KOV_PRODUCT}"
SpaceTexts none

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"
!include "StrFunc.nsh"
${StrStr}

Var Upgrading

!define MUI_ICON "${__FILEDIR__}/../shell/res/online.ico"
!define MUI_UNICON "${__FILEDIR__}/../shell/res/online.ico"
!define MUI_ABORTWARNING

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipPageWhenUpgrading
!define MUI_WELCOMEPAGE_TEXT "$(KovWelcomeText)"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipPageWhenUpgrading
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE KeepFolderInsideProfile
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipPageWhenUpgrading
!define MUI_FINISHPAGE_RUN "$INSTDIR\${KOV_AGENT_FILE}"
!define MUI_FINISHPAGE_RUN_TEXT "$(KovRunAgent)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Russian"
!insertmacro KOV_RUSSIAN_TEXTS

VIProductVersion "${KOV_VERSION}"
VIFileVersion "${KOV_VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${KOV_PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${KOV_PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "${KOV_SETUP_DESCRIPTION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${KOV_VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${KOV_VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© ${KOV_PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "OriginalFilename" "KovarentisSetup.exe"

!include "close_agent.nsh"
!include "app_user_model_id.nsh"
!insertmacro KOV_CLOSE_AGENT_FUNCTIONS ""
!insertmacro KOV_CLOSE_AGENT_FUNCTIONS "un."

Section "$(KovAgentSection)" SecAgent
  SectionIn RO
  SetShellVarContext current
  ; Also /D and the folder of an earlier installation.
  Call IsFolderInsideProfile
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(KovFolderOutsideProfile)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  Call CloseRunningAgent

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=${KOV_AGENT_FILE}" "${KOV_AGENT_EXE}"
  ; The consultant's settings survive an upgrade.
  SetOverwrite off
  File "/oname=Params.ini" "${KOV_PARAMS_INI}"
  SetOverwrite on
  WriteUninstaller "$INSTDIR\${KOV_UNINSTALLER_FILE}"

  CreateShortcut "${KOV_SHORTCUT}" "$INSTDIR\${KOV_AGENT_FILE}" "" \
    "$INSTDIR\${KOV_AGENT_FILE}" 0 SW_SHOWNORMAL "" "$(KovShortcutComment)"
  StrCpy $0 "${KOV_SHORTCUT}"
  Call SetShortcutAppId
  WriteRegStr HKCU "${KOV_RUN_KEY}" "${KOV_RUN_VALUE}" '"$INSTDIR\${KOV_AGENT_FILE}"'
  Call WriteUninstallEntry

  ${If} $Upgrading = 1
    Exec '"$INSTDIR\${KOV_AGENT_FILE}"'
  ${EndIf}
SectionEnd

Function WriteUninstallEntry
  WriteRegStr HKCU "${KOV_UNINSTALL_KEY}" "DisplayName" "$(KovDisplayName)"
  WriteRegStr HKCU "${KOV_UNINSTALL_KEY}" "DisplayVersion" "${KOV_VERSION}"
  WriteRegStr HKCU "${KOV_UNINSTALL_KEY}" "Publisher" "${KOV_PRODUCT}"
  WriteRegStr HKCU "${KOV_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${KOV_AGENT_FILE},0"
  WriteRegStr HKCU "${KOV_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${KOV_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${KOV_UNINSTALLER_FILE}"'
  WriteRegStr HKCU "${KOV_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${KOV_UNINSTALLER_FILE}" /S'
  WriteRegDWORD HKCU "${KOV_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${KOV_UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SecAgent} $0
  WriteRegDWORD HKCU "${KOV_UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

; An existing installation is upgraded where it is, whatever /D says: one
; copy, one Run entry.
Function .onInit
  StrCpy $Upgrading 0
  ReadRegStr $0 HKCU "${KOV_UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${KOV_AGENT_FILE}"
    StrCpy $INSTDIR $0
    StrCpy $Upgrading 1
  ${EndIf}
FunctionEnd

; Whoever can write to the folder can replace the agent that the Run entry
; starts at every logon. Inside the user's profile only the user (and the
; administrators) can; elsewhere, as in C:\Kovarentis, any user may, and the
; installer does not change a folder's access. $0: 1 inside, else 0.
Function IsFolderInsideProfile
  StrCpy $0 0
  StrLen $1 "$PROFILE\"
  StrCpy $2 "$INSTDIR" $1
  ${StrStr} $3 "$INSTDIR" "\.."
  ${If} $2 == "$PROFILE\"
  ${AndIf} $3 == ""
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; The directory page stays until the folder lies inside the profile.
Function KeepFolderInsideProfile
  Call IsFolderInsideProfile
  ${If} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(KovFolderOutsideProfile)"
    Abort
  ${EndIf}
FunctionEnd

Function SkipPageWhenUpgrading
  ${If} $Upgrading = 1
    Abort
  ${EndIf}
FunctionEnd

Section "un.$(KovAgentSection)" UnSecAgent
  SectionIn RO
  SetShellVarContext current
  Call un.CloseRunningAgent

  Delete "$INSTDIR\${KOV_AGENT_FILE}"
  Delete "$INSTDIR\Params.ini"
  Delete "$INSTDIR\${KOV_UNINSTALLER_FILE}"
  ; Not /r: files the installer did not put there stay, and so does the folder.
  RMDir "$INSTDIR"

  Delete "${KOV_SHORTCUT}"
  DeleteRegValue HKCU "${KOV_RUN_KEY}" "${KOV_RUN_VALUE}"
  DeleteRegKey HKCU "${KOV_UNINSTALL_KEY}"
SectionEnd

; Unticked by default and in a silent uninstall: the consultant keeps the
; saved sign-in for a later installation unless asked (/REMOVECREDENTIALS).
Section /o "un.$(KovForgetCredentialsSection)" UnSecCredentials
  DeleteRegKey HKCU "${KOV_PROFILE_KEY}"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecAgent} "$(KovAgentSectionDescription)"
  !insertmacro MUI_DESCRIPTION_TEXT ${UnSecCredentials} "$(KovForgetCredentialsDescription)"
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVECREDENTIALS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecCredentials}
  ${EndIf}
FunctionEnd
