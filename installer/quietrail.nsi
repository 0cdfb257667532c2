; Setup program of Quietrail 2003: installs, upgrades and uninstalls the programs for the current
; user, without administrator rights, into a folder the user can write (the programs write their
; own files there, and the update checker replaces programs there).
;
; The build passes (makensis -D...):
;   QR_VERSION      version text, e.g. 1.14        QR_VERSION4  the same in four parts
;   PROGRAM_DIR     the laid-out program folder    FRESH_DIR    a fresh installation's files
;   PROGRAMS_NSH    the list of programs found in the program folder (installer/programs.cmake)
;   ENDPROGRAMS     the helper that ends programs running from the installation folder
;   FOLDERRIGHTS    the helper that makes the installation folder private, or judges it
;   ICON            the program icon               OUTFILE      where the setup program goes
;   SIDE_PICTURE    the finish page's side picture (tools/installerart.cpp)
;   NSIS_TARGET     amd64-unicode for the 64-bit set, x86-unicode for the 32-bit one

Unicode true
Target ${NSIS_TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Quietrail 2003"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "${PRODUCT}"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
!define LAUNCH_TOKEN "K4T9B3"
; The installation's own record: its marker (section Installation, Product) and the files Setup
; put into the folder or that the programs keep there (section Files, one key per file). The
; uninstaller deletes exactly the files it names.
!define RECORD "installed.ini"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${PROGRAMS_NSH}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
; Where an earlier installation lies, an upgrade goes; otherwise into the user's own programs.
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${QR_VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow
; A file that cannot be written stops the installation; skipping it would leave a mixed set.
AllowSkipFiles off

VIProductVersion "${QR_VERSION4}"
VIFileVersion "${QR_VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "Quietrail"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${QR_VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${QR_VERSION}"
VIAddVersionKey /LANG=1033 "InternalName" "setup"
VIAddVersionKey /LANG=1033 "OriginalFilename" "Quietrail2003Setup.exe"
VIAddVersionKey /LANG=1033 "LegalCopyright" ""

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${SIDE_PICTURE}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!if /FileExists "${PROGRAM_DIR}/panel.exe"
  ; Opening the control panel rather than the launcher: a launcher run would clear the user's
  ; traces before the user has chosen what to clear.
  !define MUI_FINISHPAGE_RUN "$INSTDIR\panel.exe"
  !define MUI_FINISHPAGE_RUN_TEXT "Open the ${PRODUCT} control panel"
!endif
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; What is done to each program of the set (QR_FOR_EACH_PROGRAM, from PROGRAMS_NSH).
!macro QR_INSTALL_PROGRAM name
  File "${PROGRAM_DIR}/${name}"
!macroend
!macro QR_RECORD_PROGRAM name
  WriteINIStr "$INSTDIR\${RECORD}" "Files" "${name}" "1"
!macroend
; The names the update checker gives a program's download and its checked copy on their way in.
!macro QR_RECORD_UPDATE_NAMES name
  WriteINIStr "$INSTDIR\${RECORD}" "Files" "${name}.download" "1"
  WriteINIStr "$INSTDIR\${RECORD}" "Files" "${name}.new" "1"
!macroend
; Appends the name to the arguments of endprograms.exe in $R9.
!macro QR_PROGRAM_ARGUMENT name
  StrCpy $R9 '$R9 "${name}"'
!macroend
; Sets $4 to 1 when a program file that is there cannot be opened for writing (in use, read-only).
!macro QR_CHECK_PROGRAM name
  ${If} ${FileExists} "$INSTDIR\${name}"
    ClearErrors
    FileOpen $0 "$INSTDIR\${name}" a
    ${If} ${Errors}
      StrCpy $4 1
    ${Else}
      FileClose $0
    ${EndIf}
  ${EndIf}
!macroend

; Ends the programs of the set running from the installation folder (the tray icon above all),
; so that no program file is replaced or deleted while in use. Stops with a message when one will
; not end.
!macro EndRunningPrograms un
  ${If} ${FileExists} "$INSTDIR\*.*"
    InitPluginsDir
    File "/oname=$PLUGINSDIR\endprograms.exe" "${ENDPROGRAMS}"
    StrCpy $R9 ""
    !insertmacro QR_FOR_EACH_PROGRAM QR_PROGRAM_ARGUMENT
    ; "\." keeps a trailing backslash (a drive's root) from escaping the closing quote.
    ExecWait '"$PLUGINSDIR\endprograms.exe" "$INSTDIR\."$R9' $0
    Delete "$PLUGINSDIR\endprograms.exe"
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} is still running from $INSTDIR and could not be closed.$\r$\n$\r$\nClose it and run ${un}again. Nothing has been changed." /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
  ${EndIf}
!macroend

; A folder named with /D= that Setup cannot use would silently be replaced by the default one:
; Setup drops it before this runs. The command line as given still names it, and a folder other
; than the one asked for is no place to install.
Function .onInit
  System::Call 'kernel32::GetCommandLineW() t .r1'
  StrLen $2 $1
  StrCpy $3 0
  ${DoWhile} $3 < $2
    StrCpy $4 $1 4 $3
    ${If} $4 S== " /D="
      IntOp $3 $3 + 4
      StrCpy $5 $1 "" $3
      ; The folder as Setup keeps it: without a trailing backslash.
      ${DoWhile} $5 != ""
        StrCpy $6 $5 1 -1
        ${IfThen} $6 != "\" ${|} ${ExitDo} ${|}
        StrCpy $5 $5 -1
      ${Loop}
      ${If} $5 != $INSTDIR
        MessageBox MB_OK|MB_ICONSTOP "Setup cannot install into the folder$\r$\n$5$\r$\n$\r$\nChoose a folder of your own, such as one in your user profile, and run Setup again. Nothing has been installed." /SD IDOK
        SetErrorLevel 2
        Quit
      ${EndIf}
      ${ExitDo}
    ${EndIf}
    IntOp $3 $3 + 1
  ${Loop}
FunctionEnd

; $0 = 1 when the installation folder holds anything, 0 when it is empty or not there.
Function FolderHoldsSomething
  StrCpy $0 0
  ClearErrors
  FindFirst $1 $2 "$INSTDIR\*.*"
  ${DoUntil} ${Errors}
    ${If} $2 != "."
    ${AndIf} $2 != ".."
    ${AndIf} $2 != ""
      StrCpy $0 1
      ${ExitDo}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
FunctionEnd

; $0 = 1 when the installation folder is an earlier installation of this product: its record
; says so, or (installed before Setup kept one) the installed-programs entry names the folder and
; the uninstaller it wrote is there.
Function FolderIsOurs
  StrCpy $0 0
  ReadINIStr $1 "$INSTDIR\${RECORD}" "Installation" "Product"
  ${If} $1 == "${PRODUCT}"
    StrCpy $0 1
    Return
  ${EndIf}
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == $INSTDIR
  ${AndIf} ${FileExists} "$INSTDIR\uninstall.exe"
    StrCpy $0 1
  ${EndIf}
FunctionEnd

; `result` = 1 when the one character `char` is one of the characters of `set` (letter case
; counts), else 0. Uses $R1 to $R3.
!macro QR_CHAR_IN char set result
  StrCpy ${result} 0
  StrLen $R1 "${set}"
  StrCpy $R2 0
  ${DoWhile} $R2 < $R1
    StrCpy $R3 "${set}" 1 $R2
    ${If} $R3 S== ${char}
      StrCpy ${result} 1
      ${ExitDo}
    ${EndIf}
    IntOp $R2 $R2 + 1
  ${Loop}
!macroend

; $5 stays when it is a serial the update checker records (1 to 18 digits), else becomes "".
Function SerialOrNothing
  StrLen $6 $5
  ${If} $6 > 18
    StrCpy $5 ""
    Return
  ${EndIf}
  StrCpy $7 0
  ${DoWhile} $7 < $6
    StrCpy $8 $5 1 $7
    !insertmacro QR_CHAR_IN $8 "0123456789" $9
    ${If} $9 == 0
      StrCpy $5 ""
      Return
    ${EndIf}
    IntOp $7 $7 + 1
  ${Loop}
FunctionEnd

Section "Install"
  SetShellVarContext current

  ; A folder that holds files of its own is no place for the programs: Setup would end and
  ; overwrite whatever of its names it found there, and the uninstaller would delete them. Only an
  ; empty folder, or an earlier installation of this product, is used.
  Call FolderHoldsSomething
  StrCpy $7 $0
  ${If} $0 == 1
    Call FolderIsOurs
    ${If} $0 != 1
      MessageBox MB_OK|MB_ICONSTOP "Setup cannot install into the folder$\r$\n$INSTDIR$\r$\n$\r$\nIt already holds files that are not an installation of ${PRODUCT}. Choose an empty folder, or a new one, and run Setup again. Nothing has been installed." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}

  ; The folder must take files before anything is touched: a clear message and nothing half
  ; installed otherwise. A folder made here for nothing is taken away again.
  StrCpy $1 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $1 1
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  ; The folder is the user's alone before anything goes into it: the Run entry starts launch.exe
  ; from it at every sign-in, so another account that could write there could run its own
  ; program as the user. A new or empty folder is made private; an earlier installation must
  ; already be out of other accounts' reach.
  ${IfNot} ${Errors}
    InitPluginsDir
    File "/oname=$PLUGINSDIR\folderrights.exe" "${FOLDERRIGHTS}"
    ${If} $7 == 1
      ExecWait '"$PLUGINSDIR\folderrights.exe" check "$INSTDIR\."' $0
    ${Else}
      ExecWait '"$PLUGINSDIR\folderrights.exe" private "$INSTDIR\."' $0
    ${EndIf}
    Delete "$PLUGINSDIR\folderrights.exe"
    ${If} $0 != 0
      ${If} $1 == 1
        RMDir "$INSTDIR"
      ${EndIf}
      ${If} $0 == 3
        MessageBox MB_OK|MB_ICONSTOP "Setup cannot install into the folder$\r$\n$INSTDIR$\r$\n$\r$\nIt belongs to another account. Choose a folder of your own, such as one in your user profile, and run Setup again. Nothing has been installed." /SD IDOK
      ${ElseIf} $0 == 4
        MessageBox MB_OK|MB_ICONSTOP "Setup cannot upgrade the installation in$\r$\n$INSTDIR$\r$\n$\r$\nOther accounts of this computer can change the files in it. Make the folder your own, or uninstall and install again, and run Setup again. Nothing has been installed." /SD IDOK
      ${Else}
        MessageBox MB_OK|MB_ICONSTOP "Setup cannot make this folder your own:$\r$\n$INSTDIR$\r$\n$\r$\nChoose a folder of your own, such as one in your user profile, and run Setup again. Nothing has been installed." /SD IDOK
      ${EndIf}
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  ClearErrors
  FileOpen $0 "$INSTDIR\setup.probe" w
  ${If} ${Errors}
    ${If} $1 == 1
      RMDir "$INSTDIR"
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "Setup cannot write to the folder$\r$\n$INSTDIR$\r$\n$\r$\nChoose a folder of your own, such as one in your user profile, and run Setup again. Nothing has been installed." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  FileClose $0
  Delete "$INSTDIR\setup.probe"

  !insertmacro EndRunningPrograms "Setup "

  ; Every program file already there must be replaceable before the first one is replaced.
  StrCpy $4 0
  !insertmacro QR_FOR_EACH_PROGRAM QR_CHECK_PROGRAM
  ${If} $4 == 1
    MessageBox MB_OK|MB_ICONSTOP "Setup cannot replace the program files in$\r$\n$INSTDIR$\r$\n$\r$\nThey may be in use or read-only. Close every program of ${PRODUCT} and run Setup again. Nothing has been changed." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  !insertmacro QR_FOR_EACH_PROGRAM QR_INSTALL_PROGRAM
  ; The installed versions, for the update checker: those of the programs just installed. The
  ; serial of the last update installed stays, so that no version list older than it is taken
  ; after an upgrade either.
  StrCpy $5 ""
  ReadINIStr $5 "$INSTDIR\library.ini" "WIN" "Serial"
  Call SerialOrNothing
  File "${FRESH_DIR}/library.ini"
  ${If} $5 != ""
    WriteINIStr "$INSTDIR\library.ini" "WIN" "Serial" "$5"
    FlushINI "$INSTDIR\library.ini"
  ${EndIf}
  ; The user's own files are laid down only where they are missing: an upgrade keeps them.
  SetOverwrite off
  File "${FRESH_DIR}/panel.dll"
  File "${FRESH_DIR}/quietrail.ini"
  File "${FRESH_DIR}/exclude.ini"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The record: what this installation put here, added to what earlier ones recorded (a program
  ; that has left the set is still removed by the uninstaller), and the files the programs keep
  ; here: the update checker's list and the copies an interrupted write leaves.
  WriteINIStr "$INSTDIR\${RECORD}" "Installation" "Product" "${PRODUCT}"
  WriteINIStr "$INSTDIR\${RECORD}" "Installation" "Version" "${QR_VERSION}"
  !insertmacro QR_FOR_EACH_PROGRAM QR_RECORD_PROGRAM
  !insertmacro QR_RECORD_PROGRAM "library.ini"
  !insertmacro QR_RECORD_PROGRAM "panel.dll"
  !insertmacro QR_RECORD_PROGRAM "quietrail.ini"
  !insertmacro QR_RECORD_PROGRAM "exclude.ini"
  !insertmacro QR_RECORD_PROGRAM "uninstall.exe"
  !insertmacro QR_RECORD_PROGRAM "available.ini"
  !insertmacro QR_RECORD_PROGRAM "quietrail.ini.new"
  !insertmacro QR_RECORD_PROGRAM "quietrail.ini.room"
  !insertmacro QR_RECORD_PROGRAM "exclude.ini.new"
  !insertmacro QR_RECORD_PROGRAM "library.ini.new"
  !insertmacro QR_RECORD_PROGRAM "library.ini.room"
  !insertmacro QR_RECORD_PROGRAM "exclude.ini.room"
  !insertmacro QR_RECORD_PROGRAM "available.ini.new"
  !insertmacro QR_RECORD_PROGRAM "available.ini.download"
  !insertmacro QR_RECORD_PROGRAM "available.sig.download"
  !insertmacro QR_FOR_EACH_PROGRAM QR_RECORD_UPDATE_NAMES
  ; Written out now, not left in the profile cache of this process.
  FlushINI "$INSTDIR\${RECORD}"

!if /FileExists "${PROGRAM_DIR}/accesskeep.ocx"
  ; The control registers itself for this user alone (its per-user entry point), the machine's
  ; classes only on a platform that reads no per-user ones. The panel also finds it
  ; unregistered, beside itself, so a failure here is no reason to stop.
  StrCpy $0 ""
  System::Call '"$INSTDIR\accesskeep.ocx"::DllInstall(i 1, w "user") i .r0 ? u'
  ${If} $0 != 0
    DetailPrint "The login control could not be registered; the control panel loads it from $INSTDIR."
  ${EndIf}
!endif

!if /FileExists "${PROGRAM_DIR}/launch.exe"
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\launch.exe"'
!endif

  ; Shortcuts start in the program folder, as the programs start one another.
  CreateDirectory "${MENU_FOLDER}"
!if /FileExists "${PROGRAM_DIR}/panel.exe"
  CreateShortcut "${MENU_FOLDER}\${PRODUCT} Control Panel.lnk" "$INSTDIR\panel.exe" "" "$INSTDIR\panel.exe" 0
!endif
!if /FileExists "${PROGRAM_DIR}/clear.exe"
  CreateShortcut "${MENU_FOLDER}\Clear Now.lnk" "$INSTDIR\clear.exe" "${LAUNCH_TOKEN}" "$INSTDIR\clear.exe" 0
!endif
!if /FileExists "${PROGRAM_DIR}/update.exe"
  CreateShortcut "${MENU_FOLDER}\Check for Updates.lnk" "$INSTDIR\update.exe" "" "$INSTDIR\update.exe" 0
!endif
  CreateShortcut "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe" "" "$INSTDIR\uninstall.exe" 0

  ; The entry of the user's installed-programs list.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${QR_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Comments" "Privacy cleaner: clears browsing and recent-document traces"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $2 $3
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; $1 without its line end.
Function un.LineText
  ${Do}
    StrCpy $2 $1 1 -1
    ${If} $2 == "$\r"
    ${OrIf} $2 == "$\n"
      StrCpy $1 $1 -1
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
FunctionEnd

; $1, a line "name=1" of the record's files, becomes the name; "" for any other line and for a
; name that is not a plain file name of the folder (a path, a drive, a climb, a pattern, a
; control character).
Function un.RecordedName
  StrCpy $2 $1 2 -2
  ${If} $2 != "=1"
    StrCpy $1 ""
    Return
  ${EndIf}
  StrCpy $1 $1 -2
  ${If} $1 == "."
  ${OrIf} $1 == ".."
    StrCpy $1 ""
    Return
  ${EndIf}
  StrLen $4 $1
  StrCpy $5 0
  ${DoWhile} $5 < $4
    StrCpy $2 $1 1 $5
    ${If} $2 == "\"
    ${OrIf} $2 == "/"
    ${OrIf} $2 == ":"
    ${OrIf} $2 == "*"
    ${OrIf} $2 == "?"
    ; The platform's file search takes these for patterns too.
    ${OrIf} $2 == "<"
    ${OrIf} $2 == ">"
    ${OrIf} $2 == '"'
    ${OrIf} $2 == "|"
      StrCpy $1 ""
      Return
    ${EndIf}
    ; Control characters name no file anyone meant.
    System::Call "*(&w1 r2, &i2 0) p .r6"
    System::Call "*$6(&i2 .r7)"
    System::Free $6
    ${If} $7 < 32
    ${OrIf} $7 == 127
      StrCpy $1 ""
      Return
    ${EndIf}
    IntOp $5 $5 + 1
  ${Loop}
FunctionEnd

; Earlier update checkers downloaded into temporary files the system named "upd" and one to four
; hexadecimal digits, ".tmp"; one a crash left behind goes too. Other names stay ("updates.tmp").
Function un.RemoveOldDownloads
  ClearErrors
  FindFirst $0 $1 "$INSTDIR\upd*.tmp"
  ${DoUntil} ${Errors}
    StrLen $2 $1
    IntOp $2 $2 - 7
    ${If} $2 >= 1
    ${AndIf} $2 <= 4
      StrCpy $3 $1 $2 3
      StrCpy $4 0
      ${DoWhile} $4 < $2
        StrCpy $5 $3 1 $4
        !insertmacro QR_CHAR_IN $5 "0123456789ABCDEFabcdef" $7
        ${IfThen} $7 == 0 ${|} ${ExitDo} ${|}
        IntOp $4 $4 + 1
      ${Loop}
      ${If} $4 == $2
        Delete "$INSTDIR\$1"
      ${EndIf}
    ${EndIf}
    ClearErrors
    FindNext $0 $1
  ${Loop}
  FindClose $0
FunctionEnd

Section "Uninstall"
  SetShellVarContext current

  !insertmacro EndRunningPrograms "the uninstaller "

  ; The control removes its own entries, wherever registration put them.
  ReadINIStr $0 "$INSTDIR\${RECORD}" "Files" "accesskeep.ocx"
  ${If} $0 == 1
  ${AndIf} ${FileExists} "$INSTDIR\accesskeep.ocx"
    UnRegDLL "$INSTDIR\accesskeep.ocx"
  ${EndIf}

  ; Exactly the files the record names, and the record itself: files the user put there stay,
  ; whatever their names. Without a record, no file of the folder is taken.
  ClearErrors
  FileOpen $0 "$INSTDIR\${RECORD}" r
  ${IfNot} ${Errors}
    StrCpy $3 ""
    ${Do}
      ClearErrors
      FileRead $0 $1
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      Call un.LineText
      StrCpy $2 $1 1
      ${If} $2 == "["
        StrCpy $3 $1
      ${ElseIf} $3 == "[Files]"
        Call un.RecordedName
        ${If} $1 != ""
          Delete "$INSTDIR\$1"
        ${EndIf}
      ${EndIf}
    ${Loop}
    FileClose $0
    Delete "$INSTDIR\${RECORD}"
    Call un.RemoveOldDownloads
  ${EndIf}
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"
  ; The user's own programs folder, made for this installation where the system had none yet,
  ; goes too when nothing else lies there; the system makes it again when it is wanted.
  ${If} $INSTDIR == "$LOCALAPPDATA\Programs\${PRODUCT}"
    RMDir "$LOCALAPPDATA\Programs"
  ${EndIf}

  Delete "${MENU_FOLDER}\${PRODUCT} Control Panel.lnk"
  Delete "${MENU_FOLDER}\Clear Now.lnk"
  Delete "${MENU_FOLDER}\Check for Updates.lnk"
  Delete "${MENU_FOLDER}\Uninstall ${PRODUCT}.lnk"
  RMDir "${MENU_FOLDER}"

  ; The start-up entry is ours only while it starts this installation's launcher.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\launch.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Likewise the list of the user's installed programs, when ours was its only entry.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
SectionEnd
