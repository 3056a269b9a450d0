; The Windows setup program, made on Linux with makensis by
; scripts/windows/build-glanceway.sh, which passes:
;   VERSION      1.0.3
;   STAGE        the deployed program folder (Glanceway.exe, Qt's DLLs, plug-ins)
;   FILES        an include file of File commands for every file in STAGE
;   UNFILES      an include file of Delete and RMDir commands for the same files
;   OUTFILE      dist/Glanceway-<version>-setup.exe
;
; Installs for the current user by default, without administrator rights, into
; %LOCALAPPDATA%\Programs\Glanceway with its registry entries under HKCU; for
; all users (Program Files, HKLM) when chosen on the first page or with
; /AllUsers, which asks Windows for elevation then. /S installs and uninstalls
; silently. The user's settings (HKCU\Software\Quillmark\Glanceway), thumbnail
; cache and sidecars are never touched, so an upgrade or an uninstall keeps them.

Unicode true
Target amd64-unicode
ManifestDPIAware true
ManifestSupportedOS Win10
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT      "Quillmark Glanceway"
!define PUBLISHER    "Quillmark"
!define EXE          "Glanceway.exe"
!define APPKEY       "Quillmark.Glanceway"
!define PROGID       "Quillmark.Glanceway.Photo"
!define UNINSTKEY    "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APPKEY}"
!define APPPATHKEY   "Software\Microsoft\Windows\CurrentVersion\App Paths\${EXE}"
!define CLASSES      "Software\Classes"
!define WEBSITE      "https://www.quillmark.net"
; Windows' error for a task that needs elevation.
!define ERROR_ELEVATION_REQUIRED 740

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Var AllUsers        ; 1: Program Files and HKLM; 0: the user's own folders and HKCU
Var ModeGiven       ; 1 when /AllUsers or /CurrentUser chose the mode
Var DirGiven        ; 1 when /D= chose the folder
Var ModeForMe
Var ModeForAll

!define MUI_ICON   "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "$(RunText)"

Page custom ModePage ModePageLeave
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString ModeTitle    ${LANG_ENGLISH} "Choose Users"
LangString ModeTitle    ${LANG_GERMAN}  "Benutzer wählen"
LangString ModeSubtitle ${LANG_ENGLISH} "Choose for whom to install $(^NameDA)."
LangString ModeSubtitle ${LANG_GERMAN}  "Wählen Sie, für wen $(^NameDA) installiert wird."
LangString ModeForMe    ${LANG_ENGLISH} "Only for me (no administrator rights needed)"
LangString ModeForMe    ${LANG_GERMAN}  "Nur für mich (ohne Administratorrechte)"
LangString ModeForAll   ${LANG_ENGLISH} "For all users of this computer (needs administrator rights)"
LangString ModeForAll   ${LANG_GERMAN}  "Für alle Benutzer dieses Computers (braucht Administratorrechte)"
LangString CullFolder   ${LANG_ENGLISH} "Cull with Glanceway"
LangString CullFolder   ${LANG_GERMAN}  "Mit Glanceway sichten"
LangString PhotoType    ${LANG_ENGLISH} "Photo"
LangString PhotoType    ${LANG_GERMAN}  "Foto"
LangString RunText      ${LANG_ENGLISH} "Start Glanceway"
LangString RunText      ${LANG_GERMAN}  "Glanceway starten"
LangString NeedsAdmin   ${LANG_ENGLISH} "Installing for all users needs administrator rights."
LangString NeedsAdmin   ${LANG_GERMAN}  "Die Installation für alle Benutzer braucht Administratorrechte."
LangString UnNeedsAdmin ${LANG_ENGLISH} "$(^NameDA) was installed for all users; removing it needs administrator rights."
LangString UnNeedsAdmin ${LANG_GERMAN}  "$(^NameDA) wurde für alle Benutzer installiert; zum Entfernen braucht es Administratorrechte."

; The file types offered in Explorer's "Open with", each as ".ext": the JPEGs
; and every camera RAW format the program reads (core/rawformats.cpp; the
; install test compares the two).
!macro ForEachType MACRO
    !insertmacro ${MACRO} ".jpg"
    !insertmacro ${MACRO} ".jpeg"
    !insertmacro ${MACRO} ".3fr"
    !insertmacro ${MACRO} ".arw"
    !insertmacro ${MACRO} ".cap"
    !insertmacro ${MACRO} ".cr2"
    !insertmacro ${MACRO} ".cr3"
    !insertmacro ${MACRO} ".crw"
    !insertmacro ${MACRO} ".dcr"
    !insertmacro ${MACRO} ".dcs"
    !insertmacro ${MACRO} ".dng"
    !insertmacro ${MACRO} ".erf"
    !insertmacro ${MACRO} ".fff"
    !insertmacro ${MACRO} ".iiq"
    !insertmacro ${MACRO} ".k25"
    !insertmacro ${MACRO} ".kdc"
    !insertmacro ${MACRO} ".mdc"
    !insertmacro ${MACRO} ".mef"
    !insertmacro ${MACRO} ".mos"
    !insertmacro ${MACRO} ".mrw"
    !insertmacro ${MACRO} ".nef"
    !insertmacro ${MACRO} ".nrw"
    !insertmacro ${MACRO} ".orf"
    !insertmacro ${MACRO} ".ori"
    !insertmacro ${MACRO} ".pef"
    !insertmacro ${MACRO} ".ptx"
    !insertmacro ${MACRO} ".raf"
    !insertmacro ${MACRO} ".raw"
    !insertmacro ${MACRO} ".rw2"
    !insertmacro ${MACRO} ".rwl"
    !insertmacro ${MACRO} ".sr2"
    !insertmacro ${MACRO} ".srf"
    !insertmacro ${MACRO} ".srw"
!macroend

; Offered, never made the default: the type's own default program stays.
!macro RegisterType EXT
    WriteRegStr SHCTX "${CLASSES}\Applications\${EXE}\SupportedTypes" "${EXT}" ""
    WriteRegNone SHCTX "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
!macroend

!macro UnregisterType EXT
    DeleteRegValue SHCTX "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty SHCTX "${CLASSES}\${EXT}\OpenWithProgids"
    DeleteRegKey /ifempty SHCTX "${CLASSES}\${EXT}"
!macroend

!macro IsAdmin RESULT
    UserInfo::GetAccountType
    Pop ${RESULT}
    ${If} ${RESULT} == "Admin"
        StrCpy ${RESULT} 1
    ${Else}
        StrCpy ${RESULT} 0
    ${EndIf}
!macroend

; An installation's mode decides the folder, the Start menu and the registry
; root (SHCTX) for everything that follows.
!macro SetMode UN
Function ${UN}SetMode
    ${If} $AllUsers == 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd
!macroend
!insertmacro SetMode ""
!insertmacro SetMode "un."

Function DefaultDirectory
    ${If} $DirGiven == 1
        Return
    ${EndIf}
    ; An upgrade goes where the earlier version is.
    ReadRegStr $0 SHCTX "${UNINSTKEY}" "InstallLocation"
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${ElseIf} $AllUsers == 1
        StrCpy $INSTDIR "$PROGRAMFILES64\Glanceway"
    ${Else}
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Glanceway"
    ${EndIf}
FunctionEnd

Function .onInit
    StrCpy $DirGiven 0
    ${If} $INSTDIR != ""
        StrCpy $DirGiven 1
    ${EndIf}
    StrCpy $AllUsers 0
    StrCpy $ModeGiven 0
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AllUsers" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        StrCpy $ModeGiven 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CurrentUser" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 0
        StrCpy $ModeGiven 1
    ${EndIf}
    ; Without a choice, an upgrade keeps the earlier installation's mode.
    ${If} $ModeGiven == 0
        ReadRegStr $0 HKCU "${UNINSTKEY}" "InstallLocation"
        ReadRegStr $1 HKLM "${UNINSTKEY}" "InstallLocation"
        ${If} $0 == ""
        ${AndIf} $1 != ""
            StrCpy $AllUsers 1
        ${EndIf}
    ${EndIf}
    Call SetMode
    Call DefaultDirectory
    ${If} ${Silent}
    ${AndIf} $AllUsers == 1
        !insertmacro IsAdmin $0
        ${If} $0 == 0
            SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

Function ModePage
    ${If} $ModeGiven == 1
        Abort
    ${EndIf}
    !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeSubtitle)"
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateRadioButton} 0 20u 100% 12u "$(ModeForMe)"
    Pop $ModeForMe
    ${NSD_CreateRadioButton} 0 40u 100% 12u "$(ModeForAll)"
    Pop $ModeForAll
    ${If} $AllUsers == 1
        ${NSD_Check} $ModeForAll
    ${Else}
        ${NSD_Check} $ModeForMe
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ModePageLeave
    ${NSD_GetState} $ModeForAll $0
    ${If} $0 == ${BST_CHECKED}
        !insertmacro IsAdmin $1
        ${If} $1 == 0
            ; Started again with elevation, as Windows asks for it.
            ExecShell "runas" "$EXEPATH" "/AllUsers"
            ${If} ${Errors}
                MessageBox MB_ICONEXCLAMATION "$(NeedsAdmin)"
                Abort
            ${EndIf}
            Quit
        ${EndIf}
        StrCpy $AllUsers 1
    ${Else}
        StrCpy $AllUsers 0
    ${EndIf}
    Call SetMode
    Call DefaultDirectory
FunctionEnd

Function SkipDirectoryOnUpgrade
    ReadRegStr $0 SHCTX "${UNINSTKEY}" "InstallLocation"
    ${If} $0 != ""
        Abort
    ${EndIf}
FunctionEnd

Section "Install"
    ; An earlier version is removed first with its own uninstaller, which
    ; knows its own files; the settings stay, as they do on every uninstall.
    ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
        ExecWait '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
    ${EndIf}

    SetOutPath "$INSTDIR"
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\Glanceway.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
        SW_SHOWNORMAL "" "${PRODUCT}"

    ; Apps & features.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegStr   SHCTX "${UNINSTKEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr   SHCTX "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr   SHCTX "${UNINSTKEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr   SHCTX "${UNINSTKEY}" "DisplayIcon" '"$INSTDIR\${EXE}",0'
    WriteRegDWORD SHCTX "${UNINSTKEY}" "EstimatedSize" $0
    WriteRegStr   SHCTX "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr   SHCTX "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr   SHCTX "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegStr   SHCTX "${UNINSTKEY}" "URLInfoAbout" "${WEBSITE}"
    WriteRegDWORD SHCTX "${UNINSTKEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTKEY}" "NoRepair" 1

    ; "Glanceway" in the Run box.
    WriteRegStr SHCTX "${APPPATHKEY}" "" "$INSTDIR\${EXE}"

    ; Open with: the program and the file types it reads, opened through the
    ; command line the program takes (a photo or a folder as its argument).
    WriteRegStr SHCTX "${CLASSES}\Applications\${EXE}" "FriendlyAppName" "Glanceway"
    WriteRegStr SHCTX "${CLASSES}\Applications\${EXE}\DefaultIcon" "" '"$INSTDIR\${EXE}",0'
    WriteRegStr SHCTX "${CLASSES}\Applications\${EXE}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
    WriteRegStr SHCTX "${CLASSES}\${PROGID}" "" "$(PhotoType)"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\${EXE}",0'
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell\open" "FriendlyAppName" "Glanceway"
    WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
    !insertmacro ForEachType RegisterType

    ; A folder's context menu, on the folder and inside it.
    WriteRegStr SHCTX "${CLASSES}\Directory\shell\${APPKEY}" "" "$(CullFolder)"
    WriteRegStr SHCTX "${CLASSES}\Directory\shell\${APPKEY}" "Icon" '"$INSTDIR\${EXE}",0'
    WriteRegStr SHCTX "${CLASSES}\Directory\shell\${APPKEY}\command" "" '"$INSTDIR\${EXE}" "%1"'
    WriteRegStr SHCTX "${CLASSES}\Directory\Background\shell\${APPKEY}" "" "$(CullFolder)"
    WriteRegStr SHCTX "${CLASSES}\Directory\Background\shell\${APPKEY}" "Icon" '"$INSTDIR\${EXE}",0'
    WriteRegStr SHCTX "${CLASSES}\Directory\Background\shell\${APPKEY}\command" "" '"$INSTDIR\${EXE}" "%V"'

    ; SHCNE_ASSOCCHANGED: Explorer reads the associations again.
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Function un.onInit
    ; The mode of the installation this uninstaller belongs to.
    StrCpy $AllUsers 0
    ReadRegStr $0 HKLM "${UNINSTKEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        StrCpy $AllUsers 1
        !insertmacro IsAdmin $1
        ${If} $1 == 0
            ${IfNot} ${Silent}
                MessageBox MB_ICONEXCLAMATION "$(UnNeedsAdmin)"
            ${EndIf}
            SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
            Quit
        ${EndIf}
    ${EndIf}
    Call un.SetMode
FunctionEnd

Section "Uninstall"
    ; Exactly the files the setup put there: anything else in the folder
    ; is the user's and stays, and with it the folder.
    !include "${UNFILES}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Glanceway.lnk"

    DeleteRegKey SHCTX "${UNINSTKEY}"
    DeleteRegKey SHCTX "${APPPATHKEY}"
    DeleteRegKey SHCTX "${CLASSES}\Applications\${EXE}"
    DeleteRegKey SHCTX "${CLASSES}\${PROGID}"
    !insertmacro ForEachType UnregisterType
    DeleteRegKey SHCTX "${CLASSES}\Directory\shell\${APPKEY}"
    DeleteRegKey SHCTX "${CLASSES}\Directory\Background\shell\${APPKEY}"

    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
