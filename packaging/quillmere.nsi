; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer, built by tools/build-installer.sh:
;   makensis -DVERSION=1.2.3 -DSTAGE=<folder as in the zip> -DPRESETS=<presets.nsh> -DOUTFILE=<setup.exe> \
;     packaging/quillmere.nsi
; It installs the VST 3 bundle into Common Files\VST3, the CLAP plug-in into Common Files\CLAP, the VST 2 DLL into
; the folder chosen on the folder page (or given as /D=), the licence, the README and the uninstaller into
; Program Files\Quillmere, and registers the uninstaller under Add/Remove Programs. /S runs it without pages.
; The factory presets: the VST 3 ones into ProgramData\VST3 Presets\Quillmere\Quillmere, where VST 3 hosts look
; for every user; the VST 2 program files (.fxp) into Program Files\Quillmere\Presets\VST2, beside the README
; that names them (VST 2 has no preset folder of its own: a host loads them through its "load preset" dialog).
; PRESETS names the preset files of the stage, one macro call each, so that the uninstaller deletes exactly
; those and leaves a user's own presets alone; tools/build-installer.sh writes it.
; A 64-bit installer: the plug-ins are 64-bit, and the 64-bit folders and registry are the ones it sees.
Target amd64-unicode
SetCompressor /SOLID lzma
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere"
!define PROGRAM_DIR "$PROGRAMFILES64\Quillmere"
!define VST3_DIR "$COMMONFILES64\VST3"
!define CLAP_DIR "$COMMONFILES64\CLAP"
; $APPDATA after SetShellVarContext all: the ProgramData folder.
!define VST3_PRESETS_ROOT "$APPDATA\VST3 Presets"
!define VST3_PRESET_DIR "${VST3_PRESETS_ROOT}\Quillmere\Quillmere"
!define VST2_PRESET_DIR "${PROGRAM_DIR}\Presets\VST2"
!include "${PRESETS}"

!macro INSTALL_VST3_PRESET FILE
  File "${STAGE}/Presets/VST3/${FILE}"
!macroend
!macro INSTALL_VST2_PRESET FILE
  File "${STAGE}/Presets/VST2/${FILE}"
!macroend
!macro DELETE_VST3_PRESET FILE
  Delete "${VST3_PRESET_DIR}\${FILE}"
!macroend
!macro DELETE_VST2_PRESET FILE
  Delete "${VST2_PRESET_DIR}\${FILE}"
!macroend

Name "Quillmere ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
; The VST 2 folder: the one of an earlier installation, else the usual one.
InstallDir "$PROGRAMFILES64\VSTPlugins"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "Vst2Folder"
LicenseData "${STAGE}/LICENSE.txt"
DirText "The VST 3 and CLAP plug-ins go into the folders every host searches ($COMMONFILES64\VST3 and \
$COMMONFILES64\CLAP). Choose the folder your host scans for VST 2 plug-ins:" "VST 2 plug-in folder"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Quillmere"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Quillmere ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "Quillmere developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Quillmere developers. GNU General Public License, version 3 or later."

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Quillmere"
  SetShellVarContext all
  SetOutPath "${VST3_DIR}\Quillmere.vst3\Contents\x86_64-win"
  File "${STAGE}/Quillmere.vst3/Contents/x86_64-win/Quillmere.vst3"
  SetOutPath "${CLAP_DIR}"
  File "${STAGE}/Quillmere.clap"
  SetOutPath "$INSTDIR"
  File "${STAGE}/Quillmere.dll"
  SetOutPath "${PROGRAM_DIR}"
  File "${STAGE}/README.txt"
  File "${STAGE}/LICENSE.txt"
  SetOutPath "${VST2_PRESET_DIR}"
  !insertmacro VST2_PRESETS INSTALL_VST2_PRESET
  SetOutPath "${VST3_PRESET_DIR}"
  !insertmacro VST3_PRESETS INSTALL_VST3_PRESET
  SetOutPath "${PROGRAM_DIR}"
  WriteUninstaller "${PROGRAM_DIR}\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillmere ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quillmere developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "${PROGRAM_DIR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${PROGRAM_DIR}\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${PROGRAM_DIR}\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Vst2Folder" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put in place; a folder goes only when nothing else is left in it.
Section "Uninstall"
  SetShellVarContext all
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "Vst2Folder"
  Delete "${VST3_DIR}\Quillmere.vst3\Contents\x86_64-win\Quillmere.vst3"
  RMDir "${VST3_DIR}\Quillmere.vst3\Contents\x86_64-win"
  RMDir "${VST3_DIR}\Quillmere.vst3\Contents"
  RMDir "${VST3_DIR}\Quillmere.vst3"
  RMDir "${VST3_DIR}"
  Delete "${CLAP_DIR}\Quillmere.clap"
  RMDir "${CLAP_DIR}"
  ${If} $0 != ""
    Delete "$0\Quillmere.dll"
    RMDir "$0"
  ${EndIf}
  !insertmacro VST3_PRESETS DELETE_VST3_PRESET
  RMDir "${VST3_PRESET_DIR}"
  RMDir "${VST3_PRESETS_ROOT}\Quillmere"
  RMDir "${VST3_PRESETS_ROOT}"
  !insertmacro VST2_PRESETS DELETE_VST2_PRESET
  RMDir "${VST2_PRESET_DIR}"
  RMDir "${PROGRAM_DIR}\Presets"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
