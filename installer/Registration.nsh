; Registering and unregistering the DLLs, each in the registry view of its own width, through
; the system's regsvr32 of that width. The DLL writes its class keys, the filter mapper's entry,
; the DMO's entry and the transform's entry itself; the setup only asks it to.

!include LogicLib.nsh
!include x64.nsh

; The classes the DLL serves, as its API header names them, and the DMO category it joins.
!define CLSID_FILTER "{239C0069-D9CB-43D6-B381-B5A6C044C48C}"
!define CLSID_PAGE "{1B05CB7A-9FE8-4D03-A35C-49941B053A82}"
!define CLSID_DMO "{2B01ABCB-A57A-45DB-88DD-97C6DF384707}"
!define DMO_KEY "2B01ABCB-A57A-45DB-88DD-97C6DF384707"
!define DMO_AUDIO_EFFECT "F3602B3F-0592-48DF-A4CD-674721E7EBEB"
!define MFT_AUDIO_EFFECT "11064C48-3648-4ED0-932E-05CE8AC811B7"
!define LEGACY_FILTER_CATEGORY "{083863F1-70DE-11D0-BD40-00A0C911CE86}"

; Runs regsvr32 ARGS on DLL for a DLL of WIDTH (32 or 64) bits; $0 gets its exit code, 0 for
; success, and "error" when regsvr32 could not be started at all.
; The setup is a 32-bit program: on 64-bit Windows its System32 is the 32-bit folder, so the
; 64-bit regsvr32 is reached only with the redirection off.
!macro RunRegsvr32 WIDTH ARGS DLL
  ClearErrors
  ${If} ${WIDTH} == 64
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" ${ARGS} "${DLL}"' $0
    ${EnableX64FSRedirection}
  ${Else}
    ExecWait '"$WINDIR\System32\regsvr32.exe" ${ARGS} "${DLL}"' $0
  ${EndIf}
  ${If} ${Errors}
    StrCpy $0 "error"
  ${EndIf}
!macroend

; Selects the registry view of a WIDTH-bit DLL: its class keys live there.
!macro SelectView WIDTH
  ${If} ${WIDTH} == 64
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

; The native view: 64-bit on 64-bit Windows.
!macro SelectNativeView
  ${If} ${RunningX64}
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

; Removes the DLL's registration from the view of WIDTH: through the DLL when it is there, then
; by deleting its keys, so a DLL that is missing or will not load leaves no class behind that
; names it. Ends in the native view, where the setup keeps its own key.
!macro Unregister WIDTH DLL
  ${If} ${FileExists} "${DLL}"
    !insertmacro RunRegsvr32 ${WIDTH} "/u /s" "${DLL}"
    ${If} $0 != 0
      DetailPrint "regsvr32 /u of ${DLL} exited $0; removing its keys directly"
    ${EndIf}
  ${EndIf}
  !insertmacro SelectView ${WIDTH}
  DeleteRegKey HKLM "Software\Classes\DirectShow\MediaObjects\Categories\${DMO_AUDIO_EFFECT}\${DMO_KEY}"
  DeleteRegKey HKLM "Software\Classes\DirectShow\MediaObjects\${DMO_KEY}"
  DeleteRegKey HKLM "Software\Classes\MediaFoundation\Transforms\Categories\${MFT_AUDIO_EFFECT}\${DMO_KEY}"
  DeleteRegKey HKLM "Software\Classes\MediaFoundation\Transforms\${DMO_KEY}"
  DeleteRegKey HKLM "Software\Classes\CLSID\${LEGACY_FILTER_CATEGORY}\Instance\${CLSID_FILTER}"
  DeleteRegKey HKLM "Software\Classes\CLSID\${CLSID_FILTER}"
  DeleteRegKey HKLM "Software\Classes\CLSID\${CLSID_PAGE}"
  DeleteRegKey HKLM "Software\Classes\CLSID\${CLSID_DMO}"
  !insertmacro SelectNativeView
!macroend
