; Quelvar-Setup.exe: installs Quelvar for the current user, without
; administrator rights (NSIS 3, Modern UI in Brazilian Portuguese).
; Built by scripts/build-windows.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DQUELVAR_EXE=$PWD/build-windows/quelvar.exe \
;            -DLEIAME=$PWD/build-windows/LEIA-ME.txt -DOUTFILE=$PWD/build-windows/Quelvar-Setup.exe installer/quelvar.nsi
; (makensis works from this folder: relative paths are taken from installer/.)
;
; What it does:
;  - copies quelvar.exe and LEIA-ME.txt into $LOCALAPPDATA\Programs\Quelvar
;    (or the folder chosen; /D=folder in a silent install), writes
;    Uninstall.exe there and a Start menu shortcut "Quelvar" (quelvar.exe
;    without arguments: the wizard);
;  - registers the uninstaller under HKCU\...\Uninstall\Quelvar;
;  - optional component: appends the install folder to the user's Path
;    (HKCU\Environment, REG_EXPAND_SZ) unless an entry already names it, and
;    remembers in the uninstall key (value PathEntry) that it did, so that
;    the uninstaller removes that entry and no other.
; Command line: /S silent; /D=folder (last, unquoted); /PATH=1 selects the
; Path component, /PATH=0 leaves it out (default: left out).
; Uninstaller: Uninstall.exe /S removes the files, the shortcut, the key and
; the Path entry it added.
; A Path value NSIS cannot hold whole (longer than NSIS_MAX_STRLEN, 1024
; characters in Debian's build) or of an unexpected type is never rewritten:
; the installer says so and leaves it as it was.

; A 64-bit installer, as quelvar.exe is (it also runs under a wine64 without
; 32-bit support, where the tests try it).
Target amd64-unicode

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

!ifndef VERSION
  !error "Pass the program's version: makensis -DVERSION=x.y.z"
!endif
!ifndef QUELVAR_EXE
  !define QUELVAR_EXE "../build-windows/quelvar.exe"
!endif
!ifndef LEIAME
  !define LEIAME "../build-windows/LEIA-ME.txt"
!endif
!ifndef OUTFILE
  !define OUTFILE "Quelvar-Setup.exe"
!endif

; Longest Path value NSIS's strings hold whole.
!define /math PATH_MAX ${NSIS_MAX_STRLEN} - 1
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelvar"
!define ENV_KEY "Environment"

Name "Quelvar"
Caption "Instalação do Quelvar ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Quelvar"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
BrandingText "Quelvar ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

; The program's icon, when the tree has one.
!if /FileExists "../app/win/quelvar.ico"
  !define MUI_ICON "../app/win/quelvar.ico"
  !define MUI_UNICON "../app/win/quelvar.ico"
!endif

!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\quelvar.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Abrir o Quelvar"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LEIA-ME.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Mostrar o LEIA-ME"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "PortugueseBR"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_PORTUGUESEBR} "ProductName" "Quelvar"
VIAddVersionKey /LANG=${LANG_PORTUGUESEBR} "CompanyName" "Quelvar"
VIAddVersionKey /LANG=${LANG_PORTUGUESEBR} "FileDescription" "Instalação do Quelvar"
VIAddVersionKey /LANG=${LANG_PORTUGUESEBR} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_PORTUGUESEBR} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_PORTUGUESEBR} "LegalCopyright" "Quelvar"

Var PathOld       ; the user's Path as read from HKCU\Environment
Var PathTarget    ; the folder looked for among its entries
Var PathStart     ; offset of the last entry naming PathTarget, -1 when none
Var PathEnd       ; offset just after that entry
Var PathEntry     ; the Path entry this installation added ("" when none)
Var Scan          ; scratch of the Path functions
Var ScanPos
Var ScanLen
Var ScanChar
Var ScanEntry

; Path functions, defined for the installer and (prefix "un.") the uninstaller.
!macro PATH_FUNCTIONS UN

; Reads the user's Path into $PathOld ("" when there is none). Sets the error
; flag when the value exists but cannot be rewritten safely: not a text, or
; too long for NSIS's strings (reading it would cut it).
Function ${UN}ReadUserPath
  ClearErrors
  ReadRegStr $PathOld HKCU "${ENV_KEY}" "Path"
  ${If} ${Errors}
    ; Missing, or present but unreadable: tell the two apart.
    StrCpy $ScanPos 0
    ${Do}
      ClearErrors
      EnumRegValue $Scan HKCU "${ENV_KEY}" $ScanPos
      ${If} ${Errors}
      ${OrIf} $Scan == ""
        StrCpy $PathOld ""
        ClearErrors
        Return
      ${EndIf}
      ${If} $Scan == "Path"
        StrCpy $PathOld ""
        SetErrors
        Return
      ${EndIf}
      IntOp $ScanPos $ScanPos + 1
    ${Loop}
  ${EndIf}
  StrLen $ScanLen $PathOld
  ${If} $ScanLen >= ${PATH_MAX}
    SetErrors
  ${EndIf}
FunctionEnd

; Pushed: an entry of Path. Returns (on the stack) the same folder written
; one way: quotes around it and trailing backslashes dropped.
Function ${UN}NormalizeEntry
  Exch $0
  Push $1
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
  ${EndIf}
  ${Do}
    StrCpy $1 $0 1 -1
    ${If} $1 == '"'
    ${OrIf} $1 == "\"
      StrCpy $0 $0 -1
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
  Pop $1
  Exch $0
FunctionEnd

; Looks for $PathTarget among the ;-separated entries of $PathOld (compared
; without case, quotes and trailing backslashes, like Windows does; with
; environment variables expanded when $0 is 1). Sets $PathStart and $PathEnd
; to the last such entry's offsets, $PathStart -1 when there is none.
Function ${UN}FindPathEntry
  Push $1
  Push $0
  Push $PathTarget
  Call ${UN}NormalizeEntry
  Pop $PathTarget
  Pop $0
  StrCpy $PathStart -1
  StrCpy $PathEnd -1
  StrLen $ScanLen $PathOld
  StrCpy $ScanPos 0   ; start of the current entry
  StrCpy $Scan 0      ; the character looked at
  ${Do}
    ${If} $Scan < $ScanLen
      StrCpy $ScanChar $PathOld 1 $Scan
    ${Else}
      StrCpy $ScanChar ";"
    ${EndIf}
    ${If} $ScanChar == ";"
      IntOp $1 $Scan - $ScanPos
      ${If} $1 > 0
        StrCpy $ScanEntry $PathOld $1 $ScanPos
        ${If} $0 == 1
          ExpandEnvStrings $ScanEntry $ScanEntry
        ${EndIf}
        Push $ScanEntry
        Call ${UN}NormalizeEntry
        Pop $ScanEntry
        ${If} $ScanEntry == $PathTarget
          StrCpy $PathStart $ScanPos
          StrCpy $PathEnd $Scan
        ${EndIf}
      ${EndIf}
      IntOp $ScanPos $Scan + 1
    ${EndIf}
    IntOp $Scan $Scan + 1
  ${LoopWhile} $Scan <= $ScanLen
  Pop $1
FunctionEnd

; Tells the running programs (Explorer first) that the environment changed.
Function ${UN}BroadcastEnvironment
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
FunctionEnd

!macroend
!insertmacro PATH_FUNCTIONS ""
!insertmacro PATH_FUNCTIONS "un."

Section "Quelvar (obrigatório)" SecMain
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=quelvar.exe" "${QUELVAR_EXE}"
  File "/oname=LEIA-ME.txt" "${LEIAME}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; A Path entry added for an installation in another folder stays with that
  ; folder's files: this installation's uninstaller does not remove it.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != $INSTDIR
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "PathEntry"
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\Quelvar.lnk" "$INSTDIR\quelvar.exe" "" "$INSTDIR\quelvar.exe" 0 SW_SHOWNORMAL "" "Unifica arquivos da EFD-Contribuições"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quelvar"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quelvar"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quelvar.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Appends the install folder to the user's Path, unless an entry names it
; already. A Path that cannot be rewritten safely is left as it was, with a
; message (the installation itself goes on).
Section /o "Adicionar o quelvar ao PATH do usuário" SecPath
  Call ReadUserPath
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION "O PATH do usuário (HKCU\Environment) é longo demais ou não é um texto: o instalador não o alterou. Adicione $INSTDIR ao PATH manualmente." /SD IDOK
    DetailPrint "PATH do usuário não alterado: longo demais ou não é um texto."
    Return
  ${EndIf}
  StrCpy $PathTarget $INSTDIR
  StrCpy $0 1
  Call FindPathEntry
  ${If} $PathStart >= 0
    DetailPrint "O PATH do usuário já contém $INSTDIR."
    Return
  ${EndIf}
  ${If} $PathOld == ""
    StrCpy $0 $INSTDIR
  ${Else}
    StrCpy $1 $PathOld 1 -1
    ${If} $1 == ";"
      StrCpy $0 "$PathOld$INSTDIR"
    ${Else}
      StrCpy $0 "$PathOld;$INSTDIR"
    ${EndIf}
  ${EndIf}
  StrLen $1 $0
  ${If} $1 >= ${PATH_MAX}
    MessageBox MB_ICONEXCLAMATION "O PATH do usuário ficaria longo demais: o instalador não o alterou. Adicione $INSTDIR ao PATH manualmente." /SD IDOK
    DetailPrint "PATH do usuário não alterado: ficaria longo demais."
    Return
  ${EndIf}
  WriteRegExpandStr HKCU "${ENV_KEY}" "Path" $0
  WriteRegStr HKCU "${UNINSTALL_KEY}" "PathEntry" "$INSTDIR"
  Call BroadcastEnvironment
  DetailPrint "$INSTDIR adicionado ao PATH do usuário."
SectionEnd

; /PATH=1 or /PATH=0 selects or leaves out the Path component (silent
; installs included); any other value stops with a message.
Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PATH=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "1"
      !insertmacro SelectSection ${SecPath}
    ${ElseIf} $1 == "0"
      !insertmacro UnselectSection ${SecPath}
    ${Else}
      MessageBox MB_ICONSTOP "Opção inválida: /PATH=$1 (use /PATH=1 para adicionar o quelvar ao PATH do usuário ou /PATH=0 para não adicionar)." /SD IDOK
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

LangString DESC_SecMain ${LANG_PORTUGUESEBR} "O programa (quelvar.exe), o LEIA-ME, o atalho no menu Iniciar e o desinstalador."
LangString DESC_SecPath ${LANG_PORTUGUESEBR} "Permite digitar quelvar no cmd e no PowerShell em qualquer pasta (vale para as janelas abertas depois da instalação)."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} $(DESC_SecMain)
  !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} $(DESC_SecPath)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Removes what the installer wrote: the Path entry it added (that one entry,
; the others kept byte for byte), the shortcut, the files, the folder when it
; is empty, and the uninstall key. Files the user put in the folder stay. The
; shortcut, the key and the Path entry belong to the installation the key
; names: the uninstaller of an older copy in another folder leaves them.
Section "Uninstall"
  SetShellVarContext current
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == ""
  ${OrIf} $1 == $INSTDIR
    Call un.RemovePathEntry
    Delete "$SMPROGRAMS\Quelvar.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${EndIf}
  Delete "$INSTDIR\quelvar.exe"
  Delete "$INSTDIR\LEIA-ME.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd

; Removes from the user's Path the entry the installer added (the uninstall
; key's PathEntry), the last entry naming it; nothing when there is none. A
; Path it cannot rewrite safely is left as it was, with a line in the details.
Function un.RemovePathEntry
  ReadRegStr $PathEntry HKCU "${UNINSTALL_KEY}" "PathEntry"
  ${If} $PathEntry == ""
    Return
  ${EndIf}
  Call un.ReadUserPath
  ${If} ${Errors}
    DetailPrint "PATH do usuário não alterado (longo demais ou não é um texto): remova $PathEntry manualmente."
    Return
  ${EndIf}
  StrCpy $PathTarget $PathEntry
  StrCpy $0 0
  Call un.FindPathEntry
  ${If} $PathStart < 0
    Return
  ${EndIf}
  ; Drop the entry with the separator before it (after it, when first).
  ${If} $PathStart > 0
    IntOp $1 $PathStart - 1
    StrCpy $2 $PathOld $1
    StrCpy $3 $PathOld "" $PathEnd
    StrCpy $0 "$2$3"
  ${Else}
    IntOp $1 $PathEnd + 1
    StrCpy $0 $PathOld "" $1
  ${EndIf}
  ${If} $0 == ""
    DeleteRegValue HKCU "${ENV_KEY}" "Path"
  ${Else}
    WriteRegExpandStr HKCU "${ENV_KEY}" "Path" $0
  ${EndIf}
  Call un.BroadcastEnvironment
  DetailPrint "$PathEntry removido do PATH do usuário."
FunctionEnd
