#!/usr/bin/env bash
# What an install leaves on the machine and how its uninstaller takes it away, in fresh 64-bit
# prefixes: "just me" (silent, on a system reporting 6.1: no Start Menu items) and "everyone"
# (interactive, on one reporting 6.2: with them, accepted as it opens over an earlier "just me"
# install, whose folder it offers). The uninstaller runs once under the 32-bit cmd with a TEMP
# folder holding a space, once under the 64-bit cmd as Programs and Features would, and once
# before them with a file in use.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"

uninstaller='C:\windows\uninstallmemotack.bat'

check_installed() {  # check_installed UNINSTALLER-LINES...
    check_eq "the uninstall entry holds the sixteen values" "$(expected_values "$uninstaller")" "$(uninstall_values)"
    check "the entry is in the 32-bit registry view" key_exists "$UNINSTALL_KEY" 32
    check "wine uninstaller --list lists Memotack 8.0a" listed_by_wine
    check "memotack.exe is installed" test -f "$(unix_path "$INSTALL_PATH\\memotack.exe")"
    check "memotack.chm is installed" test -f "$(unix_path "$INSTALL_PATH\\memotack.chm")"
    expected_uninstaller "$BUILD_DIR/e2e/expected.bat" "$@"
    check "the uninstaller's bytes (CR LF, no BOM)" cmp "$BUILD_DIR/e2e/expected.bat" "$(unix_path "$uninstaller")"
}

check_removed() {  # check_removed SHORTCUT...
    check "the uninstall entry is gone (32-bit view)" not key_exists "$UNINSTALL_KEY" 32
    check "the uninstall entry is gone (64-bit view)" not key_exists "$UNINSTALL_KEY" 64
    check "wine uninstaller --list no longer lists it" not listed_by_wine
    check "memotack.exe is deleted" test ! -e "$(unix_path "$INSTALL_PATH\\memotack.exe")"
    check "memotack.chm is deleted" test ! -e "$(unix_path "$INSTALL_PATH\\memotack.chm")"
    check "the uninstaller deleted itself" test ! -e "$(unix_path "$uninstaller")"
    local shortcut
    for shortcut in "$@"; do check "shortcut deleted: $shortcut" test ! -e "$(unix_path "$shortcut")"; done
}

# --- Just me: silent install, Windows 7 ---
fresh_prefix uninstall-just-me
startup='C:\users\'"$WINE_USER"'\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\StartUp\Memotack.lnk'
run_setup -silent
check_eq "silent install exit code" 0 "$SETUP_STATUS"
check_installed "\"$INSTALL_PATH\\memotack.exe\" -close" "del \"$INSTALL_PATH\\memotack.chm\"" \
    "del \"$INSTALL_PATH\\memotack.exe\"" "del \"$startup\""
check_shortcut "per-user Startup shortcut" "$startup"
check "no Start Menu folder on 6.1" test ! -e "$(unix_path 'C:\users\'"$WINE_USER"'\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Memotack')"
check "no common Startup shortcut" test ! -e "$(unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp\Memotack.lnk')"

# memotack.exe in use, held open without delete sharing as an antivirus may hold it: the uninstaller
# says why and ends with 1, and keeps the entry and itself. The run below, the file free again,
# removes everything.
coproc HOLDER { exec wine "$BUILD_DIR/tests/install/hold_file.exe" "$INSTALL_PATH\\memotack.exe" 600 2>/dev/null </dev/null; }
holder_pid=$HOLDER_PID
read -r -t 120 held <&"${HOLDER[0]}" || true
check_eq "memotack.exe is held open" held "${held%$'\r'}"
set +e
said=$(timeout 120 /usr/lib/wine/wine64 cmd /c "$uninstaller" 2>/dev/null </dev/null)
status=$?
set -e
check_eq "a file in use: the uninstaller's exit code" 1 "$status"
check "a file in use: the uninstaller says why" grep -qx \
    'Memotack could not be removed: a file is in use or administrator rights are missing' <<<"${said//$'\r'/}"
check "a file in use: the entry stays" key_exists "$UNINSTALL_KEY" 32
check "a file in use: the uninstaller stays" test -f "$(unix_path "$uninstaller")"
check "a file in use: memotack.exe stays" test -f "$(unix_path "$INSTALL_PATH\\memotack.exe")"
kill "$holder_pid" 2>/dev/null || true
wait "$holder_pid" 2>/dev/null || true

# A TEMP folder with a space, as a user name with a space gives; the 32-bit cmd.
mkdir -p "$(unix_path 'C:\temp with space')"
printf '@set "TEMP=C:\\temp with space"\r\n@call %s\r\n' "$uninstaller" >"$(unix_path 'C:\run-uninstaller.bat')"
timeout 120 wine cmd /c 'C:\run-uninstaller.bat' >/dev/null 2>&1 </dev/null || true
check_removed "$startup"
check "the install folder is removed" test ! -e "$(unix_path "$INSTALL_PATH")"
check "the temporary registry script is deleted" test ! -e "$(unix_path 'C:\temp with space\delmtq.reg')"
wineserver -k >/dev/null 2>&1 || true

# --- Everyone: interactive install, Windows 8, over an earlier "just me" install ---
fresh_prefix uninstall-everyone
wine winecfg -v win8 >/dev/null 2>&1 </dev/null
user_menu='C:\users\'"$WINE_USER"'\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Memotack'
user_startup='C:\users\'"$WINE_USER"'\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\StartUp\Memotack.lnk'
EXIT_CODE_MORE_ARGUMENTS='-silent -path="C:\Earlier\Memotack"' run_setup
check_eq "the earlier install: exit code" 0 "$SETUP_STATUS"
INSTALL_PATH='C:\Earlier\Memotack'
menu_folder='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Memotack'
startup='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp\Memotack.lnk'
start_installer
check "the dialog offers the earlier install's folder" grep -qxF "folder=$INSTALL_PATH" \
    <<<"$(wine "$READ_ROWS" --options </dev/null 2>/dev/null | tr -d '\r')"
press alt+e     # Install for Everyone
press alt+m     # no Run Memotack
press alt+h     # no Show help file
press alt+i
check "the install ends with Finish" wait_install_done
check_eq "the progress rows" "$(printf '%s\n' 'button=&Finish' '0|Close Memotack|4|' '1|Create directory|4|' \
    "2|Copy 'memotack.chm'|4|" "3|Copy 'memotack.exe'|4|" '4|Create Start Menu items|4|' \
    '5|Create Startup shortcut|4|' '6|Create Add/Remove Programs entry|4|' '7|Create uninstaller|4|')" "$ROWS"
finish_installer
# Before the registry lines, what the earlier install made that this one does not replace: its Start
# Menu items and Startup shortcut for the user alone, and the folder above its own.
check_installed "\"$INSTALL_PATH\\memotack.exe\" -close" "del \"$INSTALL_PATH\\memotack.chm\"" \
    "del \"$INSTALL_PATH\\memotack.exe\"" "del \"$menu_folder\\Memotack.lnk\"" "rd \"$menu_folder\"" \
    "del \"$startup\"" "del \"$user_menu\\Memotack.lnk\"" "rd \"$user_menu\"" "del \"$user_startup\"" \
    "rd \"$INSTALL_PATH\"" 'rd "C:\Earlier"'
check_shortcut "Start Menu shortcut" "$menu_folder\\Memotack.lnk"
check_shortcut "common Startup shortcut" "$startup"
check "the earlier per-user Startup shortcut is left until the uninstall" test -e "$(unix_path "$user_startup")"

# A file of the user's in the install folder keeps it; the 64-bit cmd, as on 64-bit Windows.
echo "my own notes" >"$(unix_path "$INSTALL_PATH\\my notes.txt")"
timeout 120 /usr/lib/wine/wine64 cmd /c "$uninstaller" >/dev/null 2>&1 </dev/null || true
check_removed "$menu_folder\\Memotack.lnk" "$startup" "$user_menu\\Memotack.lnk" "$user_startup"
check "the Start Menu folders of both audiences are removed" test ! -e "$(unix_path "$menu_folder")" -a \
    ! -e "$(unix_path "$user_menu")"
check "the user's file stays" test -f "$(unix_path "$INSTALL_PATH\\my notes.txt")"
check_eq "the install folder stays with only the user's file" "my notes.txt" "$(ls "$(unix_path "$INSTALL_PATH")")"
finish
