; ZorvikTouchSetup.exe: installs the two touch services, the control panel, the click tool and
; the driver packages, starts the services at every logon, and registers an uninstaller. Over an
; installed version it first ends the running services so that their files can be replaced;
; the settings under Software\ZorvikTouchParam stay. It never starts a service itself: its
; helper starts them as the signed-in user, or they start at the next logon.
;
; makensis gets the file locations from installer/CMakeLists.txt: VERSION, OUTFILE, USBLINK,
; SERLINK, ORBISK, CLICKTOG, DRVSETUP, SETUPHELP, INFDIR.
;
; Command line: /S silent, /D=FOLDER the installation folder (last, unquoted). Uninstaller: /S
; silent (keeps the settings), /REMOVESETTINGS removes them without asking.
; Exit codes, silent or not: 0 done, 1 cancelled by the user, 2 stopped by another error,
; 3 a touch service did not end within its time-out, 4 a file could not be written.

Unicode true
Target amd64-unicode
ManifestSupportedOS all
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include StrFunc.nsh

!define PRODUCT "Zorvik Touch"
!define PUBLISHER "Zorvik Touch host software contributors"
!define PARAM_KEY "Software\ZorvikTouchParam"
!define PROGRAM_KEY "${PARAM_KEY}\Program"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZorvikTouch"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
!define PANEL_LINK "${MENU_FOLDER}\${PRODUCT} Control Panel.lnk"
!define STOP_TIMEOUT_MS 10000
!define EXIT_SERVICE_STILL_RUNNING 3
!define EXIT_FILE_NOT_WRITTEN 4

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; An upgrade goes where the previous version is.
InstallDirRegKey HKLM "${PROGRAM_KEY}" "TargetDir"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

${StrStr}

; setup.log in the installation folder: what the installer's log shows, kept for silent runs.
Var Log

; Functions exist once per program: "un." ones for the uninstaller. ${UN} picks the right ones.
!define UN ""

!macro Log text
  StrCpy $R9 "${text}"
  Call ${UN}LogLine
!macroend

; Run the helper at $R8 with `args`; its lines go into the log and into $R5, its exit code
; into $0 ("error" when it cannot be started). ExecWait and a file, not nsExec's capture: under
; Wine the captured lines of a short program went missing now and then.
!macro RUN_HELPER un args
  InitPluginsDir
  Delete "$PLUGINSDIR\setuphelp.txt"
  ClearErrors
  ExecWait '"$R8" --log "$PLUGINSDIR\setuphelp.txt" ${args}' $0
  ${If} ${Errors}
    StrCpy $0 "error"
  ${EndIf}
  StrCpy $R9 "$PLUGINSDIR\setuphelp.txt"
  Call ${un}LogFile
!macroend

!macro LOG_FUNCTIONS un
; Log one line ($R9) in the installer's log and in setup.log.
Function ${un}LogLine
  DetailPrint "$R9"
  ${If} $Log != ""
    FileWrite $Log "$R9$\r$\n"
  ${EndIf}
FunctionEnd

; $R9 without the blanks and line-break characters at either end. Uses $R2.
Function ${un}TrimLine
  ${Do}
    StrCpy $R2 $R9 1
    ${If} $R2 == " "
    ${OrIf} $R2 == "$\r"
    ${OrIf} $R2 == "$\n"
    ${OrIf} $R2 == "$\t"
      StrCpy $R9 $R9 "" 1
    ${Else}
      ${Break}
    ${EndIf}
  ${Loop}
  ${Do}
    StrCpy $R2 $R9 1 -1
    ${If} $R2 == " "
    ${OrIf} $R2 == "$\r"
    ${OrIf} $R2 == "$\n"
    ${OrIf} $R2 == "$\t"
      StrCpy $R9 $R9 -1
    ${Else}
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd

; Log each non-empty line of the file named by $R9 (a helper's output) and delete the file;
; $R5 gets the lines, for a message. Uses $R2, $R5 to $R7.
Function ${un}LogFile
  StrCpy $R7 $R9
  StrCpy $R5 ""
  ; The helper has ended, but Wine may take a moment to close its handles.
  StrCpy $R2 0
  ${Do}
    ClearErrors
    FileOpen $R6 $R7 r
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    ${IfNot} ${FileExists} $R7
      ${Break}
    ${EndIf}
    Sleep 100
    IntOp $R2 $R2 + 1
  ${LoopUntil} $R2 >= 20
  ${IfNot} ${Errors}
    ${Do}
      FileRead $R6 $R9
      ${If} ${Errors}
        ${Break}
      ${EndIf}
      Call ${un}TrimLine
      ${If} $R9 != ""
        Call ${un}LogLine
        StrCpy $R5 "$R5$R9$\r$\n"
      ${EndIf}
    ${Loop}
    FileClose $R6
  ${EndIf}
  Delete $R7
FunctionEnd

; End both services with the helper at $R8: it sets their exit events and waits for the
; processes. One that does not end keeps its files locked; the user may end it and retry, a
; silent run stops with exit code 3.
Function ${un}StopServices
  retry:
  !insertmacro RUN_HELPER "${un}" "stop-services ${STOP_TIMEOUT_MS}"
  ${If} $0 == 0
    Return
  ${EndIf}
  StrCpy $1 $R5
  ${If} $0 == "error"
    StrCpy $1 "$R8 could not be started."
  ${EndIf}
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "A touch service did not end, so its files cannot \
      be replaced or removed:$\r$\n$\r$\n$1$\r$\nEnd Usblink.exe and Serlink.exe (Task Manager) \
      and choose Retry, or choose Cancel to stop." /SD IDCANCEL IDRETRY retry
  StrCpy $R9 "Stopped: a touch service is still running (exit code ${EXIT_SERVICE_STILL_RUNNING})."
  Call ${un}LogLine
  ${If} $Log != ""
    FileClose $Log
    StrCpy $Log ""
  ${EndIf}
  SetErrorLevel ${EXIT_SERVICE_STILL_RUNNING}
  Abort
FunctionEnd
!macroend

!insertmacro LOG_FUNCTIONS ""
!insertmacro LOG_FUNCTIONS "un."

Section "Install"
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  FileOpen $Log "$INSTDIR\setup.log" w
  !insertmacro Log "${PRODUCT} ${VERSION}: installing into $INSTDIR"

  ; The helper of this setup ends the services, not an installed one: a first installation has
  ; none, and an older one may know less.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\setuphelp.exe" "${SETUPHELP}"
  StrCpy $R8 "$PLUGINSDIR\setuphelp.exe"
  Call StopServices

  ; A folder chosen with /D= outside Program Files would keep its parent's rights (often
  ; "Authenticated Users: Modify"), and the elevated panel starts programs from it.
  !insertmacro RUN_HELPER "" 'secure-folder "$INSTDIR"'
  ${If} $0 != 0
    !insertmacro Log "Stopped: the installation folder's rights could not be set (exit code 2)."
    FileClose $Log
    StrCpy $Log ""
    SetErrorLevel 2
    Abort
  ${EndIf}

  ClearErrors
  File "${USBLINK}"
  File "${SERLINK}"
  File "${ORBISK}"
  File "${CLICKTOG}"
  File "${DRVSETUP}"
  File "${SETUPHELP}"
  File "${INFDIR}\MeridaxMouse.inf"
  File "${INFDIR}\tpusbdrv.inf"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; A silent run skips a file it cannot write (the control panel or the click tool still open,
  ; say); an installation of mixed versions is not one to go on with.
  ${If} ${Errors}
    !insertmacro Log "Stopped: a file could not be written; close Orbisk.exe and Clicktog.exe \
        and run the setup again (exit code ${EXIT_FILE_NOT_WRITTEN})."
    FileClose $Log
    StrCpy $Log ""
    SetErrorLevel ${EXIT_FILE_NOT_WRITTEN}
    Abort
  ${EndIf}

  ; The control panel starts the click tool and the popup program from this folder.
  WriteRegStr HKLM "${PROGRAM_KEY}" "TargetDir" "$INSTDIR"

  ; The services (the device lists) and Clicktog (General) write the settings as whoever is
  ; signed in; their logs and captures go to the common data folder.
  StrCpy $R8 "$INSTDIR\setuphelp.exe"
  !insertmacro RUN_HELPER "" "grant-settings"
  ${If} $0 != 0
    !insertmacro Log "Warning: the settings key stays writable by administrators only; the \
        device lists stay empty and Clicktog needs an administrator."
  ${EndIf}
  !insertmacro RUN_HELPER "" "prepare-data-folder"
  ${If} $0 != 0
    !insertmacro Log "Warning: the services' data folder could not be prepared; their logs and \
        captures may not be written."
  ${EndIf}

  WriteRegStr HKLM "${RUN_KEY}" "Usblink" '"$INSTDIR\Usblink.exe"'
  WriteRegStr HKLM "${RUN_KEY}" "Serlink" '"$INSTDIR\Serlink.exe"'
  !insertmacro Log "Usblink.exe and Serlink.exe start at every logon."

  ; The helper runs drvsetup in the installation folder, where it looks for the INF files.
  !insertmacro Log "Driver packages (drvsetup.exe):"
  !insertmacro RUN_HELPER "" "run-drvsetup"
  ${StrStr} $2 $R5 "not installed"
  ${If} $0 != 0
  ${OrIf} $2 != ""
    !insertmacro Log "Warning: a driver package was not installed; the touch screen works once \
        it is (run drvsetup.exe in $INSTDIR as an administrator)."
  ${EndIf}

  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${PANEL_LINK}" "$INSTDIR\Orbisk.exe" "" "$INSTDIR\Orbisk.exe" 0
  !insertmacro Log "Start menu: ${PANEL_LINK}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Orbisk.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; Not from this elevated process: they would keep its rights until the next logoff.
  !insertmacro RUN_HELPER "" 'start-services "$INSTDIR"'
  ${If} $0 != 0
    !insertmacro Log "Warning: a touch service could not be started; it starts at the next logon."
  ${EndIf}
  !insertmacro Log "Done."
  FileClose $Log
  StrCpy $Log ""
SectionEnd

!undef UN
!define UN "un."

; Removes a value only while it still names this installation (a later one may have moved).
!macro DeleteIfEquals key name expected
  ReadRegStr $0 HKLM "${key}" "${name}"
  StrCpy $1 `${expected}`
  ${If} $0 == $1
    DeleteRegValue HKLM "${key}" "${name}"
  ${EndIf}
!macroend

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  StrCpy $Log ""
  StrCpy $R8 "$INSTDIR\setuphelp.exe"
  Call un.StopServices

  !insertmacro DeleteIfEquals "${RUN_KEY}" "Usblink" '"$INSTDIR\Usblink.exe"'
  !insertmacro DeleteIfEquals "${RUN_KEY}" "Serlink" '"$INSTDIR\Serlink.exe"'
  Delete "${PANEL_LINK}"
  RMDir "${MENU_FOLDER}"

  ; Only the files this setup put there: the folder may have been chosen with /D= and hold more.
  Delete "$INSTDIR\Usblink.exe"
  Delete "$INSTDIR\Serlink.exe"
  Delete "$INSTDIR\Orbisk.exe"
  Delete "$INSTDIR\Clicktog.exe"
  Delete "$INSTDIR\drvsetup.exe"
  Delete "$INSTDIR\setuphelp.exe"
  Delete "$INSTDIR\MeridaxMouse.inf"
  Delete "$INSTDIR\tpusbdrv.inf"
  Delete "$INSTDIR\setup.log"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  !insertmacro DeleteIfEquals "${PROGRAM_KEY}" "TargetDir" "$INSTDIR"
  DeleteRegKey /ifempty HKLM "${PROGRAM_KEY}"

  ; The calibration and the other settings stay unless asked otherwise: a reinstallation (or a
  ; replaced PC image) then needs no new calibration.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Remove the touch screen's calibration and \
        the other touch settings as well?$\r$\n$\r$\nChoose No to keep them for a later \
        installation." /SD IDNO IDYES remove
    DetailPrint "Settings kept under HKLM\${PARAM_KEY}."
    Goto settings_done
  ${EndIf}
  remove:
  DeleteRegKey HKLM "${PARAM_KEY}"
  RMDir /r "$APPDATA\${PRODUCT}"
  DetailPrint "Settings, service logs and captures removed."
  settings_done:

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
