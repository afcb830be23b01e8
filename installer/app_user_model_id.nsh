; Gives a shortcut the agent's application identity (the one the agent sets on
; its process), so that the shell attributes the agent's notifications to it.
; NSIS's own COM helpers: the shortcut is loaded, its property store given the
; identity, and saved. Where Windows has no property store on shortcuts (before
; Windows 7), and under Wine 8, whose shell links accept the value but keep
; nothing, the shortcut stays as it is.
!include "LogicLib.nsh"
!include "Win\COM.nsh"
!include "Win\Propkey.nsh"

; $0: the shortcut's path. Changes $1..$6.
Function SetShortcutAppId
  !insertmacro ComHlpr_CreateInProcInstance ${CLSID_ShellLink} ${IID_IShellLink} r1 ""
  ${If} $1 P= 0
    Return
  ${EndIf}
  ${IUnknown::QueryInterface} $1 '("${IID_IPersistFile}",.r2)'
  ${IUnknown::QueryInterface} $1 '("${IID_IPropertyStore}",.r3)'
  ${If} $2 P<> 0
  ${AndIf} $3 P<> 0
    ${IPersistFile::Load} $2 '("$0",${STGM_READWRITE}).r4'
    ${If} $4 = 0
      System::Call '*${SYSSTRUCT_PROPERTYKEY}(${PKEY_AppUserModel_ID})p.r4'
      System::Call '*(&w64 "${KOV_APP_USER_MODEL_ID}")p.r5'
      System::Call '*(&i2 ${VT_LPWSTR}, &i6 0, p r5, &i4 0)p.r6'
      ${IPropertyStore::SetValue} $3 '($4,$6)'
      ${IPropertyStore::Commit} $3 ""
      ${IPersistFile::Save} $2 '("$0",1)'
      System::Free $4
      System::Free $5
      System::Free $6
    ${EndIf}
  ${EndIf}
  ${If} $3 P<> 0
    ${IUnknown::Release} $3 ""
  ${EndIf}
  ${If} $2 P<> 0
    ${IUnknown::Release} $2 ""
  ${EndIf}
  ${IUnknown::Release} $1 ""
FunctionEnd
