; The setup program: installs the filter per machine under Program Files, registers each DLL in
; the registry view of its own width, and writes one Add/Remove Programs entry. Runs silently
; with /S, and so does its uninstaller. An install that fails leaves the machine as it found it:
; the previous version, if any, stays installed, registered and listed.
;
; Built by scripts/package.sh, which defines:
;   VERSION       the build's version, "1.0.48"
;   FILE_VERSION  the same as four numbers, "1.0.48.0", for the setup's own version resource
;   PAYLOAD       a folder holding License.txt, 32-bit\ and 64-bit\ (each ResonantFilter.dll and
;                 ResonantFilter.chm)
;   OUTFILE       the setup program to write
; and, only for the setup tests on machines that cannot run 32-bit programs:
;   X64_ONLY      a setup that is itself a 64-bit program and installs, registers and removes
;                 only the 64-bit DLL; never shipped

Unicode true
!ifdef X64_ONLY
  Target amd64-unicode
  ; A 64-bit program always runs on 64-bit Windows: its checks for that leave labels unused.
  !pragma warning disable 6012
!endif
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
; How far the install got, for undoing it: "" nothing changed yet, "files" files written,
; "registry" registration begun, "done" committed.
Var Stage
; Copies of the product files this install replaces, so a failed one can put them back.
Var Backup
; Why the install failed, for the message; empty when the setup itself could not write a file.
Var Failure
; Set when a failed install could not put the previous version back completely.
Var RestoreFailed

; Applies MACRO to each file the setup installs, by its path under the install folder.
!macro ForEachProductFile MACRO
  !insertmacro ${MACRO} "License.txt"
  !insertmacro ${MACRO} "${UNINSTALLER}"
!ifndef X64_ONLY
  !insertmacro ${MACRO} "32-bit\ResonantFilter.dll"
  !insertmacro ${MACRO} "32-bit\ResonantFilter.chm"
!endif
  !insertmacro ${MACRO} "64-bit\ResonantFilter.dll"
  !insertmacro ${MACRO} "64-bit\ResonantFilter.chm"
!macroend

; Removes the product's files and folders under $INSTDIR, but neither the folder itself nor any
; registration. Shared by the uninstaller and by an upgrade that leaves an older folder behind.
!macro RemoveFilesFunction UN
Function ${UN}RemoveFiles
  ; A host still holding a DLL keeps it until the next restart.
  Delete /REBOOTOK "$INSTDIR\64-bit\ResonantFilter.dll"
  Delete "$INSTDIR\64-bit\ResonantFilter.chm"
  RMDir /REBOOTOK "$INSTDIR\64-bit"
  Delete /REBOOTOK "$INSTDIR\32-bit\ResonantFilter.dll"
  Delete "$INSTDIR\32-bit\ResonantFilter.chm"
  RMDir /REBOOTOK "$INSTDIR\32-bit"
  Delete "$INSTDIR\License.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
FunctionEnd
!macroend
!insertmacro RemoveFilesFunction ""
!insertmacro RemoveFilesFunction "un."

; Unregisters both DLLs under $INSTDIR.
!macro UnregisterProductFunction UN
Function ${UN}UnregisterProduct
  ${If} ${RunningX64}
    !insertmacro Unregister 64 "$INSTDIR\64-bit\ResonantFilter.dll"
  ${EndIf}
!ifndef X64_ONLY
  !insertmacro Unregister 32 "$INSTDIR\32-bit\ResonantFilter.dll"
!endif
FunctionEnd
!macroend
!insertmacro UnregisterProductFunction ""
!insertmacro UnregisterProductFunction "un."

; Copies FILE, if the install folder has it, aside before the install overwrites it. A file
; gone meanwhile, as an uninstaller's that has just ended, needs no copy.
!macro BackUpFile FILE
  ${If} ${FileExists} "$INSTDIR\${FILE}"
    ClearErrors
    CopyFiles /SILENT "$INSTDIR\${FILE}" "$Backup\${FILE}"
    ${If} ${Errors}
    ${OrIfNot} ${FileExists} "$Backup\${FILE}"
      ${If} ${FileExists} "$INSTDIR\${FILE}"
        StrCpy $Failure "$INSTDIR\${FILE} could not be copied aside."
        Abort "$Failure"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Puts FILE back as it was before the install: the copy made aside, or no file at all. A file
; that cannot be deleted is held open by a program, so the install could not have replaced it.
!macro RestoreFile FILE
  Delete "$INSTDIR\${FILE}"
  ${If} ${FileExists} "$Backup\${FILE}"
  ${AndIfNot} ${FileExists} "$INSTDIR\${FILE}"
    ClearErrors
    CopyFiles /SILENT "$Backup\${FILE}" "$INSTDIR\${FILE}"
    ${If} ${Errors}
    ${OrIfNot} ${FileExists} "$INSTDIR\${FILE}"
      DetailPrint "$INSTDIR\${FILE} could not be restored"
      StrCpy $RestoreFailed 1
    ${EndIf}
  ${EndIf}
!macroend

; Registers the DLL of WIDTH bits under $INSTDIR, or aborts the install, which .onInstFailed
; then undoes, so the setup exits with an error instead of claiming success.
!macro RegisterOrAbort WIDTH
  !insertmacro RunRegsvr32 ${WIDTH} "/s" "$INSTDIR\${WIDTH}-bit\ResonantFilter.dll"
  ${If} $0 != 0
    StrCpy $Failure "The ${WIDTH}-bit filter could not be registered (regsvr32 exited $0)."
    Abort "$Failure"
  ${EndIf}
!macroend

; Registers the previous version's DLL of WIDTH bits again, after a failed install replaced its
; registration.
!macro RegisterPrevious WIDTH
  ${If} ${FileExists} "$Previous\${WIDTH}-bit\ResonantFilter.dll"
    !insertmacro RunRegsvr32 ${WIDTH} "/s" "$Previous\${WIDTH}-bit\ResonantFilter.dll"
    ${If} $0 != 0
      DetailPrint "Registering the previous ${WIDTH}-bit filter again failed: regsvr32 exited $0"
      StrCpy $RestoreFailed 1
    ${EndIf}
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
  InitPluginsDir
  StrCpy $Backup "$PLUGINSDIR\previous"
!ifndef X64_ONLY
  CreateDirectory "$Backup\32-bit"
!endif
  CreateDirectory "$Backup\64-bit"
  !insertmacro ForEachProductFile BackUpFile

  StrCpy $Stage "files"
  ; The help file beside each DLL, where the page looks for it.
  SetOutPath "$INSTDIR"
  File "${PAYLOAD}\License.txt"
!ifndef X64_ONLY
  SetOutPath "$INSTDIR\32-bit"
  File "${PAYLOAD}\32-bit\ResonantFilter.dll"
  File "${PAYLOAD}\32-bit\ResonantFilter.chm"
!endif
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\64-bit"
    File "${PAYLOAD}\64-bit\ResonantFilter.dll"
    File "${PAYLOAD}\64-bit\ResonantFilter.chm"
  ${EndIf}
  SetOutPath "$INSTDIR"
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    StrCpy $Failure "$INSTDIR\${UNINSTALLER} could not be written."
    Abort "$Failure"
  ${EndIf}

  ; Registering again over an earlier version refreshes its keys.
  StrCpy $Stage "registry"
  ${If} ${RunningX64}
    !insertmacro RegisterOrAbort 64
  ${EndIf}
!ifndef X64_ONLY
  !insertmacro RegisterOrAbort 32
!endif
  StrCpy $Stage "done"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; One set of files: an earlier installation elsewhere goes once this one works. Its
  ; registration is this one's now, and so is the entry. Short names, so that another spelling
  ; of this same folder is not taken for another one.
  GetFullPathName /SHORT $1 $Previous
  GetFullPathName /SHORT $2 $INSTDIR
  ${If} $Previous != ""
  ${AndIf} $1 != $2
    Push $INSTDIR
    StrCpy $INSTDIR $Previous
    Call RemoveFiles
    RMDir /REBOOTOK "$INSTDIR"
    Pop $INSTDIR
  ${EndIf}
SectionEnd

; Undoes a failed install: its registration, then its files, then registers the previous
; version again. The previous version's entry was never touched.
Function .onInstFailed
  ; Out of the install folder, which Windows cannot remove while it is the working directory.
  SetOutPath "$TEMP"
  ${If} $Stage == "registry"
    Call UnregisterProduct
  ${EndIf}
  ${If} $Stage != ""
    !insertmacro ForEachProductFile RestoreFile
    RMDir "$INSTDIR\64-bit"
    RMDir "$INSTDIR\32-bit"
    ; Only an empty folder goes, so nothing a user put there is lost.
    RMDir "$INSTDIR"
  ${EndIf}
  ${If} $Stage == "registry"
  ${AndIf} $Previous != ""
    ${If} ${RunningX64}
      !insertmacro RegisterPrevious 64
    ${EndIf}
!ifndef X64_ONLY
    !insertmacro RegisterPrevious 32
!endif
  ${EndIf}

  ${If} $Failure == ""
    StrCpy $Failure "The setup could not write its files; an editor may be using the filter."
  ${EndIf}
  ${If} $RestoreFailed == 1
    MessageBox MB_OK|MB_ICONSTOP "$Failure The previous version could not be restored completely: run its setup again." /SD IDOK
  ${ElseIf} $Previous != ""
    MessageBox MB_OK|MB_ICONSTOP "$Failure The previous version is still installed." /SD IDOK
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "$Failure Nothing was installed." /SD IDOK
  ${EndIf}
FunctionEnd

; Set when the uninstaller leaves its own removal to a cleanup copy of itself.
Var CleanupStarted

Function un.onInit
  SetShellVarContext all
  !insertmacro SelectNativeView
  ; The cleanup copy (see un.RemoveSelf): waits for the uninstaller, then removes it and its folder.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CLEANUP=" $1
  ${IfNot} ${Errors}
    SetOutPath "$TEMP"
    ; SYNCHRONIZE. When the uninstaller has ended already, there is nothing to wait for.
    System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i $1) p.r2"
    ; EVENT_MODIFY_STATE: tells the uninstaller it may end now.
    System::Call "kernel32::OpenEventW(i 0x0002, i 0, w 'ResonantFilterCleanup$1') p.r3"
    ${If} $3 != 0
      System::Call "kernel32::SetEvent(p r3)"
      System::Call "kernel32::CloseHandle(p r3)"
    ${EndIf}
    ${If} $2 != 0
      System::Call "kernel32::WaitForSingleObject(p r2, i 60000)"
      System::Call "kernel32::CloseHandle(p r2)"
    ${EndIf}
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir /REBOOTOK "$INSTDIR"
    ; Like the copy the uninstaller makes of itself when run without _?=, this one goes from the
    ; temporary folder at the next restart.
    Delete /REBOOTOK "$EXEPATH"
    Quit
  ${EndIf}

  ; Only the installation the entry names: another one's registration is not this one's to
  ; remove, and where nothing is installed there is nothing to do.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  GetFullPathName /SHORT $1 $0
  GetFullPathName /SHORT $2 $INSTDIR
  ${If} $0 != ""
  ${AndIf} $1 != $2
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is installed in $0, not in $INSTDIR." /SD IDOK
    Abort
  ${EndIf}
  ${If} $0 == ""
  ${AndIfNot} ${FileExists} "$INSTDIR\32-bit\ResonantFilter.dll"
  ${AndIfNot} ${FileExists} "$INSTDIR\64-bit\ResonantFilter.dll"
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is not installed in $INSTDIR." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

; The uninstaller is still there when it runs in place (_?=), as the quiet uninstall runs it so
; that its caller waits for it: a running program cannot be deleted, nor moved while the
; uninstaller holds itself open. A copy in the temporary folder waits for it to end, then removes
; it and the folder.
Function un.RemoveSelf
  ${IfNot} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    Return
  ${EndIf}
  GetTempFileName $0
  Delete $0
  StrCpy $0 "$0.exe"
  ClearErrors
  CopyFiles /SILENT "$EXEPATH" "$0"
  ${IfNot} ${Errors}
    System::Call "kernel32::GetCurrentProcessId() i.r1"
    System::Call "kernel32::CreateEventW(p 0, i 1, i 0, w 'ResonantFilterCleanup$1') p.r2"
    Exec '"$0" /CLEANUP=$1 _?=$INSTDIR'
    ${IfNot} ${Errors}
      StrCpy $CleanupStarted 1
      ; Ends only once the copy waits for it, so that the folder goes right after.
      System::Call "kernel32::WaitForSingleObject(p r2, i 30000)"
    ${EndIf}
    System::Call "kernel32::CloseHandle(p r2)"
    ${If} $CleanupStarted == 1
      Return
    ${EndIf}
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"
FunctionEnd

Section "Uninstall"
  ; Out of the install folder, which Windows cannot remove while it is the working directory.
  SetOutPath "$TEMP"
  Call un.UnregisterProduct
  Call un.RemoveFiles
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Call un.RemoveSelf
  ; Last: only an empty folder goes, so nothing a user put there is lost.
  ${If} $CleanupStarted != 1
    RMDir /REBOOTOK "$INSTDIR"
  ${EndIf}
SectionEnd
