; Zentrik's installer: installs for the current user, without administrator
; rights, under %LOCALAPPDATA%\Programs\Zentrik. scripts/package runs it as
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.2.3.4 -DSTAGE=<folder> -DOUTFILE=<exe>
;            [-DAMD64] [-DNO_PLUGIN] installer/zentrik.nsi
; STAGE holds the files to install: ZentrikWin.exe, LISEZMOI.txt and, unless
; NO_PLUGIN, plugins\vorn_KovReport.dll and the example vorn_KovReport.ini.
;
; The program keeps its profile (Zentrik.cnf) and the plug-in its settings
; (vorn_KovReport.ini) in the current folder, so the shortcuts start it in a
; folder of the user's, Documents\Zentrik, which the installer makes and the
; uninstaller leaves in place with everything in it.
;
; Silent install: setup.exe /S [/AUTOSTART] [/D=folder]. /AUTOSTART starts
; Zentrik with Windows; without it an install keeps the choice of the one
; before (off on a first install). Silent uninstall: Uninstall.exe /S.

!ifdef VERSION & STAGE & OUTFILE
!else
    !error "define VERSION, STAGE and OUTFILE (scripts/package does)"
!endif

Unicode true
!ifdef AMD64
    Target amd64-unicode
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentrik"
!define PROFILE_DIR "$DOCUMENTS\Zentrik"
!define MENU_SHORTCUT "$SMPROGRAMS\Zentrik.lnk"
!define STARTUP_SHORTCUT "$SMSTARTUP\Zentrik.lnk"
; The class of ZentrikWin's hidden main window: while it exists, the program
; runs and its files cannot be replaced.
!define MAIN_WINDOW_CLASS "ZentrikMainFrame"

Name "Zentrik"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Zentrik"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "Zentrik ${VERSION}"

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Lancer Zentrik"
!define MUI_FINISHPAGE_RUN_FUNCTION StartZentrik
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LISEZMOI.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Afficher le fichier LISEZMOI"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductName" "Zentrik"
VIAddVersionKey /LANG=${LANG_FRENCH} "CompanyName" "Zentrik"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileDescription" "Installation de Zentrik"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "LegalCopyright" "© 2026 Zentrik"

; Waits until no copy of Zentrik runs: asks the user to quit it, or gives up
; (at once when silent) with the error level 2.
!macro WAIT_FOR_ZENTRIK_TO_QUIT
    ${Do}
        FindWindow $0 "${MAIN_WINDOW_CLASS}"
        ${If} $0 == 0
            ${Break}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "Zentrik est en cours d'exécution. Quittez-le (menu « Sortie ») puis cliquez sur Réessayer." \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
        retry:
    ${Loop}
!macroend

Section "Zentrik" SectionProgram
    SectionIn RO
    !insertmacro WAIT_FOR_ZENTRIK_TO_QUIT

    SetOutPath "$INSTDIR"
    File "${STAGE}\ZentrikWin.exe"
    File "${STAGE}\LISEZMOI.txt"
    !ifndef NO_PLUGIN
        File "${STAGE}\vorn_KovReport.ini"
        SetOutPath "$INSTDIR\plugins"
        File "${STAGE}\plugins\vorn_KovReport.dll"
    !endif
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The user's folder. The example settings go there only when it has none:
    ; settings already there are the user's.
    CreateDirectory "${PROFILE_DIR}"
    !ifndef NO_PLUGIN
        ${IfNot} ${FileExists} "${PROFILE_DIR}\vorn_KovReport.ini"
            CopyFiles /SILENT "$INSTDIR\vorn_KovReport.ini" "${PROFILE_DIR}"
        ${EndIf}
    !endif

    ; A shortcut's working folder is the output path at the time it is made.
    SetOutPath "${PROFILE_DIR}"
    CreateShortCut "${MENU_SHORTCUT}" "$INSTDIR\ZentrikWin.exe" "" "$INSTDIR\ZentrikWin.exe" 0 \
        SW_SHOWNORMAL "" "Suivi du temps passé par tâche"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Zentrik"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Zentrik"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ZentrikWin.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Without the autostart component, an autostart shortcut that an earlier
; install made goes: the user unticked it.
Section /o "Démarrer Zentrik avec Windows" SectionAutostart
    SetOutPath "${PROFILE_DIR}"
    CreateShortCut "${STARTUP_SHORTCUT}" "$INSTDIR\ZentrikWin.exe" "" "$INSTDIR\ZentrikWin.exe" 0 \
        SW_SHOWNORMAL "" "Suivi du temps passé par tâche"
SectionEnd

Section "-RemoveAutostart"
    ${IfNot} ${SectionIsSelected} ${SectionAutostart}
        Delete "${STARTUP_SHORTCUT}"
    ${EndIf}
SectionEnd

Function .onInit
    ${If} ${FileExists} "${STARTUP_SHORTCUT}"
        !insertmacro SelectSection ${SectionAutostart}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/AUTOSTART" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SectionAutostart}
    ${EndIf}
FunctionEnd

; Starts Zentrik as the Start-menu shortcut does, in the profile folder.
Function StartZentrik
    SetOutPath "${PROFILE_DIR}"
    Exec '"$INSTDIR\ZentrikWin.exe"'
FunctionEnd

; Removes what the installer put in place, and nothing of the user's: the
; profile folder and everything in it stay.
Section "Uninstall"
    !insertmacro WAIT_FOR_ZENTRIK_TO_QUIT
    Delete "${MENU_SHORTCUT}"
    Delete "${STARTUP_SHORTCUT}"
    Delete "$INSTDIR\ZentrikWin.exe"
    Delete "$INSTDIR\LISEZMOI.txt"
    Delete "$INSTDIR\vorn_KovReport.ini"
    Delete "$INSTDIR\plugins\vorn_KovReport.dll"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only when empty: anything the user put there stays.
    RMDir "$INSTDIR\plugins"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DetailPrint "Votre profil et vos réglages restent dans ${PROFILE_DIR}."
SectionEnd
