; The installer a player's user runs: vlvis003.dll into the player's Plugins
; folder, the meter face to the one path the plug-in reads it from, and an
; uninstaller that takes away exactly that. Made by make-release.sh:
;   makensis -DVERSION=x.y.z -DDLL=file -DFACE=file -DLICENSE=file -DOUTFILE=file installer.nsi

!include LogicLib.nsh

!define PRODUCT "Velmora's Vis Lib"
; The plug-in opens this path as it stands, wherever the player lives; a
; 32-bit process sees the real Program Files here, not Program Files (x86).
!define FACE_FOLDER "C:\Program Files\Winamp"
!define UNINSTALLER "vlvis003-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\vlvis003"

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"

; The player's own uninstall entry names its folder (NSIS drops the quotes
; and the program's file name); without one, the usual place.
InstallDir "$PROGRAMFILES\Winamp"
InstallDirRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"

; The face's path on a line of its own: wrapped, it breaks at its hyphen.
DirText "vlvis003.dll goes into the Plugins folder of the player's folder below.$\r$\n\
The meter face goes to ${FACE_FOLDER}\vl-vu.bmp,$\r$\n\
the one place the plug-in reads it from." \
  "Player's folder"
; The Plugins folder is where the uninstaller sits; it takes away only what
; this setup put there.
UninstallText "This removes vlvis003.dll and this uninstaller from the folder below, and the meter face \
${FACE_FOLDER}\vl-vu.bmp. plugin.ini and other plug-ins stay." "Removing from:"
; What was written where, and what to do next, stay in view at the end.
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey CompanyName "The vlvis authors"
VIAddVersionKey LegalCopyright "Copyright (C) 2026 The vlvis authors, MIT licence"

; The licence comes first; it asks nothing to be accepted, as the MIT
; licence puts no condition on using the plug-in.
LicenseText "vlvis003.dll is free software under the MIT licence:" "Next >"
LicenseData "${LICENSE}"
LicenseForceSelection off
Page license
Page directory "" "" checkPlayerFolder
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Not finding the player is no reason to refuse: the user may install it later.
Function checkPlayerFolder
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION "There is no winamp.exe in$\r$\n$INSTDIR.$\r$\n$\r$\nInstall there anyway?" IDNO`
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

; Folders are removed on uninstall only if this setup made them; a value
; already recorded by an earlier install is kept.
!macro RecordCreatedFolder folder name
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${name}"
  ${IfNot} ${FileExists} "${folder}\*.*"
    StrCpy $0 1
  ${EndIf}
  ${If} $0 != 1
    StrCpy $0 0
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${name}" $0
!macroend

Section
  !insertmacro RecordCreatedFolder "$INSTDIR\Plugins" CreatedPluginsFolder
  !insertmacro RecordCreatedFolder "${FACE_FOLDER}" CreatedFaceFolder

  SetOutPath "$INSTDIR\Plugins"
  File "/oname=vlvis003.dll" "${DLL}"
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"

  SetOutPath "${FACE_FOLDER}"
  File "/oname=vl-vu.bmp" "${FACE}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (vlvis003.dll)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The vlvis authors"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  DetailPrint "Now choose $\"Analog VU meters - Velmora$\" or $\"Z Ovi Zavoz$\""
  DetailPrint "in the player's visualization settings."
SectionEnd

; The uninstaller sits in the Plugins folder, so there $INSTDIR is that folder.
; plugin.ini stays: other plug-ins in the folder keep their settings in it too.
Section "Uninstall"
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "CreatedPluginsFolder"
  ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "CreatedFaceFolder"

  Delete "$INSTDIR\vlvis003.dll"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "${FACE_FOLDER}\vl-vu.bmp"
  ; RMDir without /r removes a folder only when it is empty.
  ${If} $0 = 1
    RMDir "$INSTDIR"
  ${EndIf}
  ${If} $1 = 1
    RMDir "${FACE_FOLDER}"
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
