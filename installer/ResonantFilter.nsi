; The setup program: installs the filter per machine under Program Files, registers each DLL in
; the registry view of its own width, and writes one Add/Remove Programs entry. Runs silently
; with /S, and so does its uninstaller.
;
; Built by scripts/package.sh, which defines:
;   VERSION       the build's version, "1.0.48"
;   FILE_VERSION  the same as four numbers, "1.0.48.0", for the setup's own version resource
;   PAYLOAD       a folder holding License.txt, 32-bit\ and 64-bit\ (each ResonantFilter.dll and
;                 ResonantFilter.chm)
;   OUTFILE       the setup program to write

Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestSupportedOS all

!define PRODUCT "Veltrin Resonant Filter"
!define PUBLISHER "Aldermoor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define UNINSTALLER "Uninstall.exe"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
; A DLL in use cannot be replaced: fail then, rather than leave the old one registered.
AllowSkipFiles off

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}. All rights reserved."

!include MUI2.nsh
!include FileFunc.nsh
!include Registration.nsh

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${PAYLOAD}\License.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Your editor lists it among its audio effects as $\"${PRODUCT}$\" (or $\"${PRODUCT} DMO$\")."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Where an earlier installation lives, read from its Add/Remove Programs entry; empty if none.
Var Previous

; Unregisters both DLLs under $INSTDIR, then removes every file, folder and key the setup
; made. Shared by the uninstaller and by an install that has to undo itself.
!macro RemoveProductFunction UN
Function ${UN}RemoveProduct
  ${If} ${RunningX64}
    !insertmacro Unregister 64 "$INSTDIR\64-bit\ResonantFilter.dll"
  ${EndIf}
  !insertmacro Unregister 32 "$INSTDIR\32-bit\ResonantFilter.dll"
  ; A host still holding a DLL keeps it until the next restart.
  Delete /REBOOTOK "$INSTDIR\64-bit\ResonantFilter.dll"
  Delete "$INSTDIR\64-bit\ResonantFilter.chm"
  RMDir /REBOOTOK "$INSTDIR\64-bit"
  Delete /REBOOTOK "$INSTDIR\32-bit\ResonantFilter.dll"
  Delete "$INSTDIR\32-bit\ResonantFilter.chm"
  RMDir /REBOOTOK "$INSTDIR\32-bit"
  Delete "$INSTDIR\License.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Last: only an empty folder goes, so nothing a user put there is lost.
  RMDir /REBOOTOK "$INSTDIR"
FunctionEnd
!macroend
!insertmacro RemoveProductFunction ""
!insertmacro RemoveProductFunction "un."

; Registers the DLL of WIDTH bits under $INSTDIR; on failure undoes the whole install and
; aborts it, so the setup exits with an error instead of claiming success.
!macro RegisterOrAbort WIDTH
  !insertmacro RunRegsvr32 ${WIDTH} "/s" "$INSTDIR\${WIDTH}-bit\ResonantFilter.dll"
  ${If} $0 != 0
    StrCpy $1 $0
    DetailPrint "Registering the ${WIDTH}-bit filter failed: regsvr32 exited $1"
    Call RemoveProduct
    MessageBox MB_OK|MB_ICONSTOP "The ${WIDTH}-bit filter could not be registered (regsvr32 exited $1). Nothing was installed." /SD IDOK
    Abort "Registering the ${WIDTH}-bit filter failed."
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext all
  !insertmacro SelectNativeView
  ReadRegStr $Previous HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ; Upgrades go where the earlier version is, unless /D= named another folder.
  ${If} $Previous != ""
  ${AndIf} $INSTDIR == "$PROGRAMFILES64\${PRODUCT}"
    StrCpy $INSTDIR $Previous
  ${EndIf}
FunctionEnd

Section "Install"
  ; One set of files: an earlier installation elsewhere is removed before this one is made.
  ${If} $Previous != ""
  ${AndIf} $Previous != $INSTDIR
    Push $INSTDIR
    StrCpy $INSTDIR $Previous
    Call RemoveProduct
    Pop $INSTDIR
  ${EndIf}

  ; The help file beside each DLL, where the page looks for it.
  SetOutPath "$INSTDIR"
  File "${PAYLOAD}\License.txt"
  SetOutPath "$INSTDIR\32-bit"
  File "${PAYLOAD}\32-bit\ResonantFilter.dll"
  File "${PAYLOAD}\32-bit\ResonantFilter.chm"
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\64-bit"
    File "${PAYLOAD}\64-bit\ResonantFilter.dll"
    File "${PAYLOAD}\64-bit\ResonantFilter.chm"
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; Registering again over an earlier version refreshes its keys.
  ${If} ${RunningX64}
    !insertmacro RegisterOrAbort 64
  ${EndIf}
  !insertmacro RegisterOrAbort 32

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext all
  !insertmacro SelectNativeView
FunctionEnd

Section "Uninstall"
  Call un.RemoveProduct
SectionEnd
