; The Windows installer: the program and our IO.DLL, a Start-menu shortcut
; and an entry under "Add or remove programs".
;
;   makensis -DFILES=folder-with-Ventrolik.exe-IO.DLL-README.txt-LICENSE.txt -DOUT=setup.exe
;            -DVERSION=$(tools/version) -DVERSION_NUMBERS=<VENTROLIK_VERSION_DOTTED of build/mingw-i686/resources/program.h> ventrolik.nsi

Unicode true
Name "Ventrolik"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\Ventrolik"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ventrolik"

VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=1033 "ProductName" "Ventrolik"
VIAddVersionKey /LANG=1033 "CompanyName" "Kestrova"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Ventrolik ${VERSION} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 the Ventrolik developers, MIT licence"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Ventrolik"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${FILES}\Ventrolik.exe"
  File "${FILES}\README.txt"
  File "${FILES}\LICENSE.txt"
  ; A port library already in the system folder stays in charge: ours would
  ; be found first, beside the program.
  IfFileExists "$SYSDIR\IO.DLL" +3
    File "${FILES}\IO.DLL"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "InstalledIoDll" 1
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Ventrolik.lnk" "$INSTDIR\Ventrolik.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Ventrolik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kestrova"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Ventrolik.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Ventrolik.lnk"
  Delete "$INSTDIR\Ventrolik.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "InstalledIoDll"
  StrCmp $0 1 0 +2
    Delete "$INSTDIR\IO.DLL"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
