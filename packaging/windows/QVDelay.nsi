; The Windows installer: one program for 64- and 32-bit Windows.
; scripts/release.sh builds it with
;   makensis -DVERSION=x.y.z -DSTAGE=<folder> -DOUTFILE=<setup.exe> QVDelay.nsi
; where STAGE holds win64\QVDelay64.dll, win32\QVDelay.dll, guide\ and,
; when the build made it, vst3\QVDelay.vst3\ (then -DHAVE_VST3 is given too).
;
; Silent use: setup.exe /S [/VST2DIR64=folder] [/VST2DIR32=folder] [/D=folder]
;             uninstall.exe /S [/REMOVESETTINGS]
; /D names the folder of the uninstaller and the guide; it must come last.

Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE must be defined"
!endif

!define PRODUCT "Quorvel Brigade Delay"
!define VENDOR "Quorvel Music"
!define REGKEY "Software\${VENDOR}\${PRODUCT}"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QVDelay"
!define SETTINGS "qvdelay.ini"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${VENDOR}\${PRODUCT}"
BrandingText "${VENDOR}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${VENDOR}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Quorvel Music"

Var Vst2Dir64
Var Vst2Dir32

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_WELCOMEPAGE_TITLE "${PRODUCT} ${VERSION}"
!ifdef HAVE_VST3
  !define VST3_WELCOME "The VST 3 edition goes into the common VST 3 folder, where every VST 3 host looks. "
!else
  !define VST3_WELCOME ""
!endif
!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION} by ${VENDOR}: a stereo bucket-brigade delay effect for music programs (VST hosts).$\r$\n$\r$\n${VST3_WELCOME}The VST 2.4 plug-ins go into the VST 2 folders you choose next: one for 64-bit hosts, one for 32-bit hosts. The user guide is added to the Start menu.$\r$\n$\r$\nUpdating keeps your saved MIDI controller assignments."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS

!define MUI_PAGE_HEADER_TEXT "VST 2.4 folder for 64-bit hosts"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 64-bit music programs look for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "QVDelay64.dll, the VST 2.4 plug-in for 64-bit hosts, goes into this folder. Choose the folder your host scans for VST 2 plug-ins (see its plug-in settings)."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "VST 2 folder for 64-bit hosts"
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Dir64
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnless64
!insertmacro MUI_PAGE_DIRECTORY

!define MUI_PAGE_HEADER_TEXT "VST 2.4 folder for 32-bit hosts"
!define MUI_PAGE_HEADER_SUBTEXT "Where your 32-bit music programs look for VST 2 plug-ins."
!define MUI_DIRECTORYPAGE_TEXT_TOP "QVDelay.dll, the VST 2.4 plug-in for 32-bit hosts, goes into this folder. Keep it apart from the 64-bit folder: a host cannot load a plug-in of the other kind."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "VST 2 folder for 32-bit hosts"
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Dir32
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnless32
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Let your music program scan for new plug-ins; it appears as $\"${PRODUCT}$\" by ${VENDOR}."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Registry views and the program folder follow the system, not this 32-bit installer.
!macro UseSystemView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

Section "VST 2.4 plug-in, 64-bit" SecVst64
  SetOutPath "$Vst2Dir64"
  File "${STAGE}\win64\QVDelay64.dll"
  WriteRegStr HKLM "${REGKEY}" "VST2Folder64" "$Vst2Dir64"
SectionEnd

Section "VST 2.4 plug-in, 32-bit" SecVst32
  SetOutPath "$Vst2Dir32"
  File "${STAGE}\win32\QVDelay.dll"
  WriteRegStr HKLM "${REGKEY}" "VST2Folder32" "$Vst2Dir32"
SectionEnd

!ifdef HAVE_VST3
Section "VST 3 plug-in" SecVst3
  ; One bundle for both architectures, in the common VST 3 folder of the system.
  ${If} ${RunningX64}
    SetOutPath "$COMMONFILES64\VST3\QVDelay.vst3"
  ${Else}
    SetOutPath "$COMMONFILES32\VST3\QVDelay.vst3"
  ${EndIf}
  File /r "${STAGE}\vst3\QVDelay.vst3\*"
  WriteRegStr HKLM "${REGKEY}" "VST3Bundle" "$OUTDIR"
SectionEnd
!endif

Section "User guide" SecGuide
  SetOutPath "$INSTDIR\Guide"
  File /r "${STAGE}\guide\*"
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} User Guide.lnk" "$INSTDIR\Guide\QVDelay-${VERSION}-guide.pdf"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "-uninstaller"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${REGKEY}" "InstallFolder" "$INSTDIR"
  WriteRegStr HKLM "${REGKEY}" "Version" "${VERSION}"
  ; What the list of installed programs shows.
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  StrCpy $0 0
  ${If} ${SectionIsSelected} ${SecVst64}
    SectionGetSize ${SecVst64} $1
    IntOp $0 $0 + $1
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecVst32}
    SectionGetSize ${SecVst32} $1
    IntOp $0 $0 + $1
  ${EndIf}
!ifdef HAVE_VST3
  ${If} ${SectionIsSelected} ${SecVst3}
    SectionGetSize ${SecVst3} $1
    IntOp $0 $0 + $1
  ${EndIf}
!endif
  ${If} ${SectionIsSelected} ${SecGuide}
    SectionGetSize ${SecGuide} $1
    IntOp $0 $0 + $1
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst64} "QVDelay64.dll for 64-bit VST 2 hosts, into the folder you choose."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst32} "QVDelay.dll for 32-bit VST 2 hosts, into the folder you choose."
!ifdef HAVE_VST3
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst3} "QVDelay.vst3 for VST 3 hosts, 64- and 32-bit, into the common VST 3 folder."
!endif
  !insertmacro MUI_DESCRIPTION_TEXT ${SecGuide} "The user guide (PDF and HTML), with a Start menu entry."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The default VST 2 folder of one kind of host: what the host registry names
; (HKLM\Software\VST, VSTPluginsPath, in that host's registry view), else
; VSTPlugins under that kind's Program Files.
!macro DefaultVst2Folder VIEW FALLBACK RESULT
  SetRegView ${VIEW}
  ReadRegStr ${RESULT} HKLM "Software\VST" "VSTPluginsPath"
  ${If} ${RESULT} == ""
    StrCpy ${RESULT} "${FALLBACK}"
  ${EndIf}
!macroend

Function .onInit
  !insertmacro UseSystemView
  ; A folder chosen at an earlier installation wins over the defaults.
  ReadRegStr $Vst2Dir64 HKLM "${REGKEY}" "VST2Folder64"
  ReadRegStr $Vst2Dir32 HKLM "${REGKEY}" "VST2Folder32"
  ReadRegStr $0 HKLM "${REGKEY}" "InstallFolder"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ${If} $Vst2Dir64 == ""
    !insertmacro DefaultVst2Folder 64 "$PROGRAMFILES64\VSTPlugins" $Vst2Dir64
  ${EndIf}
  ${If} $Vst2Dir32 == ""
    !insertmacro DefaultVst2Folder 32 "$PROGRAMFILES32\VSTPlugins" $Vst2Dir32
  ${EndIf}
  !insertmacro UseSystemView
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/VST2DIR64=" $R1
  ${IfNot} ${Errors}
    StrCpy $Vst2Dir64 $R1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/VST2DIR32=" $R1
  ${IfNot} ${Errors}
    StrCpy $Vst2Dir32 $R1
  ${EndIf}
  ; 32-bit Windows runs no 64-bit plug-in: not offered there.
  ${IfNot} ${RunningX64}
    !insertmacro UnselectSection ${SecVst64}
    SectionSetText ${SecVst64} ""
    !insertmacro SetSectionFlag ${SecVst64} ${SF_RO}
    StrCpy $INSTDIR "$PROGRAMFILES32\${VENDOR}\${PRODUCT}"
    ReadRegStr $0 HKLM "${REGKEY}" "InstallFolder"
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function SkipUnless64
  ${IfNot} ${SectionIsSelected} ${SecVst64}
    Abort
  ${EndIf}
FunctionEnd

Function SkipUnless32
  ${IfNot} ${SectionIsSelected} ${SecVst32}
    Abort
  ${EndIf}
FunctionEnd

; --- uninstaller -------------------------------------------------------------

Var RemoveSettings

; Removes a plug-in file and, if asked, the settings saved beside it; the
; folder goes only when nothing else is left in it.
!macro RemovePlugin FOLDER FILE
  Delete "${FOLDER}\${FILE}"
  ${If} $RemoveSettings == 1
    Delete "${FOLDER}\${SETTINGS}"
  ${EndIf}
  RMDir "${FOLDER}"
!macroend

Function un.onInit
  !insertmacro UseSystemView
  StrCpy $RemoveSettings 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro UseSystemView
  ${If} $RemoveSettings == 0
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Also remove your saved MIDI controller assignments (${SETTINGS})?$\r$\n$\r$\nKeep them if you will install ${PRODUCT} again." /SD IDNO IDNO keep
    StrCpy $RemoveSettings 1
  keep:
  ${EndIf}

  ReadRegStr $0 HKLM "${REGKEY}" "VST2Folder64"
  ${If} $0 != ""
    !insertmacro RemovePlugin "$0" "QVDelay64.dll"
  ${EndIf}
  ReadRegStr $0 HKLM "${REGKEY}" "VST2Folder32"
  ${If} $0 != ""
    !insertmacro RemovePlugin "$0" "QVDelay.dll"
  ${EndIf}
  ReadRegStr $0 HKLM "${REGKEY}" "VST3Bundle"
  ${If} $0 != ""
    !insertmacro RemovePlugin "$0\Contents\x86_64-win" "QVDelay.vst3"
    !insertmacro RemovePlugin "$0\Contents\x86-win" "QVDelay.vst3"
    ${If} $RemoveSettings == 1
      RMDir /r "$0"
    ${Else}
      RMDir /r "$0\Contents\Resources"
      Delete "$0\desktop.ini"
      Delete "$0\PlugIn.ico"
      RMDir "$0\Contents"
      RMDir "$0"
    ${EndIf}
  ${EndIf}
  ${If} $RemoveSettings == 1
    ; Saved for this user when the plug-in folders were not writable.
    SetShellVarContext current
    Delete "$APPDATA\${VENDOR}\${PRODUCT}\${SETTINGS}"
    RMDir "$APPDATA\${VENDOR}\${PRODUCT}"
    RMDir "$APPDATA\${VENDOR}"
  ${EndIf}

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} User Guide.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  RMDir /r "$INSTDIR\Guide"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."

  DeleteRegKey HKLM "${UNINSTKEY}"
  DeleteRegKey HKLM "${REGKEY}"
  DeleteRegKey /ifempty HKLM "Software\${VENDOR}"
SectionEnd
