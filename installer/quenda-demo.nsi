; Setup of the Quenda demo product: the launcher, the product's client, its
; icon and ProductConfig.xml in one folder, the product's URL protocol, the
; desktop shortcut the launcher keeps up to date, an uninstaller and its
; entry in Add/Remove Programs. Silent with /S (the uninstaller too).
;
; Built by installer/CMakeLists.txt:
;   makensis -INPUTCHARSET UTF8 -DLAUNCHER_EXE=... -DCLIENT_EXE=... -DICON_FILE=...
;            -DCONFIG_FILE=... -DOUTFILE=... [-DVERSION=1.2.3] quenda-demo.nsi
;
; The protocol, the client's file name and the shortcut names are read from
; ProductConfig.xml at build time, so the setup and the launcher can never
; disagree about them: each of those elements must sit on one line there, as
; plain text (no XML entities).

Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"

; ---- What the build hands in ------------------------------------------------
!ifndef LAUNCHER_EXE | CLIENT_EXE | ICON_FILE | CONFIG_FILE | OUTFILE
  !error "define LAUNCHER_EXE, CLIENT_EXE, ICON_FILE, CONFIG_FILE and OUTFILE (see the top of this file)"
!endif
!define /ifndef VERSION "1.0.0"

; ---- The product (a product team changes these, and ProductConfig.xml) ------
!define /ifndef PRODUCT_NAME "Quenda Demo"   ; folder under Program Files, Add/Remove Programs name
!define /ifndef PUBLISHER "Quenda"
!define /ifndef UNINSTALL_ID "QuendaDemo"    ; key name below ...\CurrentVersion\Uninstall
; The language the client and the launcher use when the user has none yet
; ("en-US" or "zh-CN"; the launcher falls back to Chinese without a value).
!define /ifndef DEFAULT_LANGUAGE "en-US"

; ---- From ProductConfig.xml -------------------------------------------------
!searchparse /file "${CONFIG_FILE}" "<Protocol>" PROTOCOL "</Protocol>"
!searchparse /file "${CONFIG_FILE}" "<ProgName>" CLIENT_EXE_NAME "</ProgName>"
; The launcher finds the client's icon and language under the name without ".exe".
!searchparse /ignorecase /file "${CONFIG_FILE}" "<ProgName>" CLIENT_STEM ".exe</ProgName>"
!searchparse /file "${CONFIG_FILE}" "<shortcut_en>" SHORTCUT_EN "</shortcut_en>"
!searchparse /file "${CONFIG_FILE}" "<shortcut_new_en>" SHORTCUT_NEW_EN "</shortcut_new_en>"
!searchparse /file "${CONFIG_FILE}" "<shortcut_cn>" SHORTCUT_CN "</shortcut_cn>"
!searchparse /file "${CONFIG_FILE}" "<shortcut_new_cn>" SHORTCUT_NEW_CN "</shortcut_new_cn>"

!define LAUNCHER "Quenda.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${UNINSTALL_ID}"
!define LANGUAGE_KEY "SOFTWARE\${CLIENT_STEM}\Language"
; Exactly what the launcher registers for itself on every start.
!define OPEN_COMMAND '"$INSTDIR\${LAUNCHER}" "%1"'

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT_NAME}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT_NAME} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; $R0: "1" when $INSTDIR holds something and is not an earlier installation of
; this product. The uninstaller removes its folder whole, so the setup never
; moves into a folder that holds anything else (such as Program Files itself).
Function IsForeignFolder
  StrCpy $R0 "0"
  IfFileExists "$INSTDIR\${UNINSTALLER}" done
  ClearErrors
  FindFirst $R1 $R2 "$INSTDIR\*"
  ${DoWhile} $R2 != ""
    ${If} $R2 != "."
    ${AndIf} $R2 != ".."
      StrCpy $R0 "1"
      ${Break}
    ${EndIf}
    FindNext $R1 $R2
  ${Loop}
  FindClose $R1
done:
FunctionEnd

; $R0: "1" when the text in $R1 contains $R2, case ignored, the way the
; launcher reads the language value.
Function Contains
  StrCpy $R0 "0"
  StrLen $R3 $R2
  StrLen $R4 $R1
  StrCpy $R5 0
  ${DoWhile} $R5 < $R4
    StrCpy $R6 $R1 $R3 $R5
    ${If} $R6 == $R2   ; == in LogicLib compares without regard to case
      StrCpy $R0 "1"
      ${Break}
    ${EndIf}
    IntOp $R5 $R5 + 1
  ${Loop}
FunctionEnd

Section "Install"
  Call IsForeignFolder
  ${If} $R0 == "1"
    MessageBox MB_ICONSTOP "$INSTDIR already holds other files. Choose an empty folder." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=${LAUNCHER}" "${LAUNCHER_EXE}"
  File "/oname=${CLIENT_EXE_NAME}" "${CLIENT_EXE}"
  File "/oname=${CLIENT_STEM}.ico" "${ICON_FILE}"
  File "/oname=ProductConfig.xml" "${CONFIG_FILE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The URL protocol. The launcher rewrites only the open command, on every
  ; start, to point at itself; the protocol's name and marker are the setup's.
  WriteRegStr HKCR "${PROTOCOL}" "" "URL:${PROTOCOL}"
  WriteRegStr HKCR "${PROTOCOL}" "URL Protocol" ""
  WriteRegStr HKCR "${PROTOCOL}\shell\open\command" "" '${OPEN_COMMAND}'

  ; The user's language is the user's: set only when there is none yet, and
  ; remembered so that the uninstaller removes only a value the setup made.
  ; (A reinstall finds the value and keeps the note of the first install.)
  ClearErrors
  ReadRegStr $R1 HKCU "${LANGUAGE_KEY}" ""
  ${If} ${Errors}
    WriteRegStr HKCU "${LANGUAGE_KEY}" "" "${DEFAULT_LANGUAGE}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "LanguageSetBySetup" 1
    StrCpy $R1 "${DEFAULT_LANGUAGE}"
  ${EndIf}

  ; The all-users desktop shortcut, under the old name of the user's
  ; language: the launcher renames it to the new name on its first start
  ; (old and new names as in ProductConfig.xml; Chinese unless "en-US", as
  ; the launcher decides).
  StrCpy $R2 "zh-CN"
  Call Contains
  StrCpy $R7 "${SHORTCUT_CN}"
  ${If} $R0 == "0"
    StrCpy $R2 "en-US"
    Call Contains
    ${If} $R0 == "1"
      StrCpy $R7 "${SHORTCUT_EN}"
    ${EndIf}
  ${EndIf}
  SetShellVarContext all
  CreateShortcut "$DESKTOP\$R7.lnk" "$INSTDIR\${LAUNCHER}" "" "$INSTDIR\${CLIENT_STEM}.ico" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${CLIENT_STEM}.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; The desktop shortcut under any of its names: the launcher renames it, and
  ; the language decides which pair is used.
  SetShellVarContext all
  Delete "$DESKTOP\${SHORTCUT_EN}.lnk"
  Delete "$DESKTOP\${SHORTCUT_NEW_EN}.lnk"
  Delete "$DESKTOP\${SHORTCUT_CN}.lnk"
  Delete "$DESKTOP\${SHORTCUT_NEW_CN}.lnk"

  ; The protocol, unless another installation of the product has taken it
  ; over since (the launcher points the open command at itself when it runs).
  ClearErrors
  ReadRegStr $R1 HKCR "${PROTOCOL}\shell\open\command" ""
  ${If} ${Errors}
  ${OrIf} $R1 == '${OPEN_COMMAND}'
    DeleteRegKey HKCR "${PROTOCOL}"
  ${EndIf}

  ReadRegDWORD $R1 HKLM "${UNINSTALL_KEY}" "LanguageSetBySetup"
  ${If} $R1 == 1
    DeleteRegValue HKCU "${LANGUAGE_KEY}" ""
    DeleteRegKey /ifempty HKCU "${LANGUAGE_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\${CLIENT_STEM}"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The folder whole: besides what the setup put there, the product adds
  ; what its updates bring (temp\, the archive's folders) and its own files.
  SetOutPath "$TEMP"
  RMDir /r "$INSTDIR"
SectionEnd
