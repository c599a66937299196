# Sourced after lib.sh by the tests of what an install leaves behind: driving the interactive
# installer, reading its progress rows, the uninstall entry and the uninstaller.
READ_ROWS="$BUILD_DIR/tests/e2e/read_rows.exe"
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PelmoMemotack'
# The 32-bit installer's default folder in a 64-bit prefix.
INSTALL_PATH='C:\Program Files (x86)\Memotack'
# Wine names the profile folder after the Unix user.
WINE_USER=$(id -un)

not() { ! "$@"; }

unix_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }

# start_installer: the interactive installer, on its options page.
start_installer() {
    wine "$SETUP_EXE" >/dev/null 2>&1 </dev/null &
    SETUP_PID=$!
    wait_for_window "Memotack Installer" 60
    sleep 0.5
}

# focus_installer: gives the installer the keyboard focus back (a program it started may have it).
focus_installer() {
    local window
    window=$(xdotool search --onlyvisible --name '^Memotack Installer$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && xdotool windowfocus "$window" 2>/dev/null
    sleep 0.3
}

press() {  # press KEY...: keys to the focused window (the installer has the focus)
    xdotool key "$@"
    sleep 0.3
}

# dialog_rows: what read_rows prints, without CR.
dialog_rows() { wine "$READ_ROWS" </dev/null 2>/dev/null | tr -d '\r'; }

# wait_install_done: waits until the Install button has become Finish; the rows are then in ROWS.
wait_install_done() {
    local deadline=$((SECONDS + 90))
    while [ $SECONDS -lt $deadline ]; do
        ROWS=$(dialog_rows || true)
        if grep -qx 'button=&Finish' <<<"$ROWS"; then return 0; fi
        sleep 0.5
    done
    return 1
}

# finish_installer: presses Finish and waits for the process to end.
finish_installer() {
    focus_installer
    press alt+f
    local deadline=$((SECONDS + 30))
    while kill -0 "$SETUP_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    check "the installer ends on Finish" bash -c "! kill -0 $SETUP_PID 2>/dev/null"
    kill "$SETUP_PID" 2>/dev/null || true
    wait "$SETUP_PID" 2>/dev/null || true
}

# uninstall_values: the uninstall entry's values as "name type data", one a line, sorted; the
# installer is 32-bit, so its entry lives in the 32-bit view.
uninstall_values() {
    wine reg query "$UNINSTALL_KEY" /reg:32 2>/dev/null </dev/null | tr -d '\r' |
        awk 'NF >= 2 && $2 ~ /^REG_/ { name = $1; type = $2; $1 = ""; $2 = ""; sub(/^ +/, ""); print name, type, $0 }' |
        sort
}

key_exists() {  # key_exists KEY 32|64
    wine reg query "$1" "/reg:$2" >/dev/null 2>&1 </dev/null
}

listed_by_wine() { wine uninstaller --list 2>/dev/null </dev/null | tr -d '\r' | grep -qx 'PelmoMemotack|||Memotack 8.0a'; }

# check_shortcut DESCRIPTION WINDOWS-PATH: the link exists and points at the installed executable,
# with the install folder as working folder.
check_shortcut() {
    local file info
    file=$(unix_path "$2")
    check "$1 exists" test -f "$file"
    info=$(lnkinfo "$file" 2>/dev/null || true)
    check_eq "$1 target" "$INSTALL_PATH\\memotack.exe" "$(sed -n 's/^\tLocal path\t*: //p' <<<"$info")"
    check_eq "$1 working folder" "$INSTALL_PATH" "$(sed -n 's/^\tWorking directory\t*: //p' <<<"$info")"
}

# expected_uninstaller FILE LINE...: writes the uninstaller as it must be for the given lines
# between its first one and its closing ones (8-bit, CR LF, no byte-order mark).
expected_uninstaller() {
    local file="$1" key='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\PelmoMemotack'
    local stop='(echo Memotack could not be removed: a file is in use or administrator rights are missing& exit /b 1)'
    shift
    {
        printf '%s\r\n' 'setlocal DisableDelayedExpansion' "$@"
        printf '%s\r\n' \
            "if exist \"$INSTALL_PATH\\memotack.chm\" $stop else if exist \"$INSTALL_PATH\\memotack.exe\" $stop" \
            '>"%TEMP%\delmtq.reg" echo REGEDIT4' \
            '>>"%TEMP%\delmtq.reg" echo.' \
            ">>\"%TEMP%\\delmtq.reg\" echo [-$key]" \
            ">>\"%TEMP%\\delmtq.reg\" echo [-${key/Software\\/Software\\Wow6432Node\\}]" \
            'regedit /s "%TEMP%\delmtq.reg"' \
            'del "%TEMP%\delmtq.reg"' \
            "rd \"$INSTALL_PATH\"" \
            'del %0'
    } >"$file"
}

# expected_values UNINSTALLER: the sixteen values of the entry, as uninstall_values prints them;
# the size is that of the files in INSTALL_PATH, the date today's.
expected_values() {
    local web='https://www.pelmo-software.example/memotack' bytes
    bytes=$(($(stat -c %s "$(unix_path "$INSTALL_PATH\\memotack.exe")") + $(stat -c %s "$(unix_path "$INSTALL_PATH\\memotack.chm")")))
    sort <<EOF2
DisplayName REG_SZ Memotack 8.0a
UninstallString REG_SZ $1
HelpLink REG_SZ $web
Contact REG_SZ Dax Quillon
Publisher REG_SZ Pelmo Software
URLInfoAbout REG_SZ $web
Readme REG_SZ $INSTALL_PATH\\memotack.chm
Comments REG_SZ Pelmo Software Memotack
InstallLocation REG_SZ $INSTALL_PATH
DisplayIcon REG_SZ $INSTALL_PATH\\memotack.exe
NoRepair REG_DWORD 0x1
NoModify REG_DWORD 0x1
DisplayVersion REG_SZ 8.0a
QuietUninstallString REG_SZ "$1"
EstimatedSize REG_DWORD $(printf '0x%x' $(((bytes + 1023) / 1024)))
InstallDate REG_SZ $(date +%Y%m%d)
EOF2
}

# Keys that Wine itself writes while the installer and cmd run, named one by one: the mouse
# settings that the first program with a window reads, and the host's network cards (numbered, in
# both views), which Wine lists once a program first asks for them.
WINE_OWN_KEYS='^\[HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters\\Control Panel\\Mouse\]$'
WINE_OWN_KEYS+='|^\[HKEY_LOCAL_MACHINE\\Software\\(Wow6432Node\\)?Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\[0-9]+\]$'
export WINE_OWN_KEYS

snapshot() {  # snapshot FILE: the prefix's files and Software keys as text, without Wine's own keys
    local reg="$BUILD_DIR/e2e/snapshot.reg" key
    (cd "$WINEPREFIX/drive_c" && find . -printf '%y %p\n' | LC_ALL=C sort) >"$1"
    for key in 'HKLM\Software' 'HKCU\Software'; do
        rm -f "$reg"
        wine reg export "$key" "$(winepath -w "$reg" 2>/dev/null | tr -d '\r')" /reg:64 /y >/dev/null 2>&1 </dev/null
        iconv -f UTF-16 -t UTF-8 "$reg" | tr -d '\r' | awk '/^\[/ { own = $0 ~ ENVIRON["WINE_OWN_KEYS"] } !own' >>"$1"
    done
}
