; The station's installer: per user, so that the program's folder takes the
; day's backup beside the executable as it does everywhere, without the rights
; of an administrator.
; 64-bit, as the program: Wine and Windows run it without their 32-bit parts.
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

Name "gaugemon ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\gaugemon"
InstallDirRegKey HKCU "Software\gaugemon" "InstallDir"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\gaugemon"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "gaugemon"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  CreateDirectory "$INSTDIR\Dat\Res"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\gaugemon" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "gaugemon ${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  CreateDirectory "$SMPROGRAMS\gaugemon"
  CreateShortcut "$SMPROGRAMS\gaugemon\gaugemon.lnk" "$INSTDIR\gaugemon.exe"
  ; The simulated instrument inside the program: the station measures at once.
  CreateShortcut "$SMPROGRAMS\gaugemon\gaugemon demo.lnk" "$INSTDIR\gaugemon.exe" "--demo"
  CreateShortcut "$SMPROGRAMS\gaugemon\Uninstall gaugemon.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

; The operator's files (backups, the logo) stay; the program goes.
Section "Uninstall"
  Delete "$SMPROGRAMS\gaugemon\gaugemon.lnk"
  Delete "$SMPROGRAMS\gaugemon\gaugemon demo.lnk"
  Delete "$SMPROGRAMS\gaugemon\Uninstall gaugemon.lnk"
  RMDir "$SMPROGRAMS\gaugemon"
  Delete "$INSTDIR\gaugemon.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\platforms\qwindows.dll"
  RMDir "$INSTDIR\platforms"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\Dat\Res"
  RMDir "$INSTDIR\Dat"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\gaugemon"
SectionEnd
