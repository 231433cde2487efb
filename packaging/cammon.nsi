; Per-user installer of the program. scripts/package passes VERSION, STAGE
; (the folder holding the files to ship) and OUTFILE.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh

!define PRODUCT "多路摄像头监控系统"
!define PUBLISHER "cammon 开发者"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\cammon"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The program writes its settings and recordings beside itself, so it lives
; in a folder of the user's own; a reinstallation goes where the last one went.
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\cammon.exe"
!define MUI_FINISHPAGE_RUN_TEXT "启动${PRODUCT}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\使用说明.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "查看使用说明"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "版权所有 © 2026 ${PUBLISHER}"

; A running program keeps its executable open: replacing or removing it then
; would leave half an installation. The user is asked to close it; a silent
; run ends with exit code 3 before anything is written.
!macro ENSURE_NOT_RUNNING UN
Function ${UN}EnsureNotRunning
  retry:
  IfFileExists "$INSTDIR\cammon.exe" 0 done
  ClearErrors
  FileOpen $0 "$INSTDIR\cammon.exe" a
  IfErrors running
  FileClose $0
  Goto done
  running:
  IfSilent 0 ask
  SetErrorLevel 3
  Quit
  ask:
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT}正在运行。$\r$\n请先退出程序（包括通知区域中的图标），然后点“重试”。" IDRETRY retry
  SetErrorLevel 3
  Quit
  done:
FunctionEnd
!macroend
!insertmacro ENSURE_NOT_RUNNING ""
!insertmacro ENSURE_NOT_RUNNING "un."

Section "主程序（必需）" SecProgram
  SectionIn RO
  Call EnsureNotRunning
  SetOutPath "$INSTDIR"
  File "${STAGE}\cammon.exe"
  File "${STAGE}\使用说明.txt"
  File "${STAGE}\第三方软件许可.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT}.lnk" "$INSTDIR\cammon.exe"
  CreateShortcut "${MENU_FOLDER}\使用说明.lnk" "$INSTDIR\使用说明.txt"
  CreateShortcut "${MENU_FOLDER}\卸载${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\cammon.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/M=*.exe /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "桌面快捷方式" SecDesktop
  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\cammon.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "程序本身、使用说明和开始菜单中的快捷方式。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "在桌面上放一个启动${PRODUCT}的图标。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Removes the program and its settings. Recordings and screenshots are the
; user's: they go only when the user says so (a silent run keeps them).
Section "Uninstall"
  Call un.EnsureNotRunning
  ReadINIStr $1 "$INSTDIR\cammon.ini" "comm" "path"
  StrCmp $1 "" 0 +2
  StrCpy $1 "$INSTDIR"
  StrCpy $2 $1 1 -1
  StrCmp $2 "\" 0 +2
  StrCpy $1 $1 -1
  IfFileExists "$1\录像\*.*" 0 media_done
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "是否同时删除录像和截屏？$\r$\n$1\录像$\r$\n$1\截屏$\r$\n选“否”则保留这些文件。" /SD IDNO IDNO media_done
  RMDir /r "$1\录像"
  RMDir /r "$1\截屏"
  media_done:

  Delete "$INSTDIR\cammon.exe"
  Delete "$INSTDIR\cammon.ini"
  Delete "$INSTDIR\使用说明.txt"
  Delete "$INSTDIR\第三方软件许可.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "${MENU_FOLDER}\${PRODUCT}.lnk"
  Delete "${MENU_FOLDER}\使用说明.lnk"
  Delete "${MENU_FOLDER}\卸载${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
