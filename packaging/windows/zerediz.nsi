; The Windows installer, in Simplified Chinese. scripts/windows/package.sh makes it:
;   makensis -DVERSION=1.0 -DFILE_VERSION=1.0.0.0 -DSTAGE=<folder of the programs> -DFILES=<uninstall list> -DOUTFILE=<setup.exe>
; "/S" on the command line installs (and uninstall.exe /S removes) without asking anything.
Unicode true
; A 64-bit installer, like the programs: its registry entries land in the view where the shell
; looks for a 64-bit program's, and Wine without its 32-bit half runs it.
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PROGRAM "zerediz.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zerediz"
; The program's entry among the 打开方式 of web pages.
!define PROGID "Zerediz.WebPage"
; The verb on folders in Explorer: the window compresses every page of the folder.
!define FOLDER_VERB "Software\Classes\Directory\shell\Zerediz"

Name "Zerediz"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Zerediz"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=2052 "ProductName" "Zerediz"
VIAddVersionKey /LANG=2052 "FileDescription" "Zerediz 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "Zerediz developers"

!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

!macro OpenWith extension
    WriteRegStr HKLM "Software\Classes\${extension}\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKLM "Software\Classes\Applications\${PROGRAM}\SupportedTypes" "${extension}" ""
!macroend

; For every user of the machine: the Start menu entry goes to the shared Start menu.
Function .onInit
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Zerediz.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0 \
        SW_SHOWNORMAL "" "网页压缩：去掉网页文件每行首尾的空格"

    WriteRegStr HKLM "Software\Classes\${PROGID}" "" "网页文件"
    WriteRegStr HKLM "Software\Classes\${PROGID}" "FriendlyTypeName" "网页文件"
    WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${PROGRAM}" "%1"'
    WriteRegStr HKLM "Software\Classes\Applications\${PROGRAM}" "FriendlyAppName" "Zerediz"
    WriteRegStr HKLM "Software\Classes\Applications\${PROGRAM}\shell\open\command" "" '"$INSTDIR\${PROGRAM}" "%1"'
    ; Offered for web pages, never made their default program.
    !insertmacro OpenWith ".htm"
    !insertmacro OpenWith ".html"
    WriteRegStr HKLM "${FOLDER_VERB}" "" "用 Zerediz 压缩网页"
    WriteRegStr HKLM "${FOLDER_VERB}" "Icon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKLM "${FOLDER_VERB}\command" "" '"$INSTDIR\${PROGRAM}" "%1"'

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Zerediz ${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Zerediz developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    ; Tells Explorer that file associations changed (SHCNE_ASSOCCHANGED).
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\Zerediz.lnk"
    DeleteRegValue HKLM "Software\Classes\.htm\OpenWithProgids" "${PROGID}"
    DeleteRegValue HKLM "Software\Classes\.html\OpenWithProgids" "${PROGID}"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    DeleteRegKey HKLM "Software\Classes\Applications\${PROGRAM}"
    DeleteRegKey HKLM "${FOLDER_VERB}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Only the files the installer put there: the folder may hold other things of the user's.
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
