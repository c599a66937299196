#!/usr/bin/env bash
# The deployment switches in one fresh 64-bit prefix, each command line given exactly as an
# administrator or a package manager writes it: refused folders, a machine-wide install into a
# folder of its own with a log and its removal, a log in a folder still to be made, log names that
# are links to other files, a failing step, and every switch line of the generated winget manifest.
# Then, in a second prefix, reinstalls over an earlier install, each way a silent run can go.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"
root="$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)"

user_startup='C:\users\'"$WINE_USER"'\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\StartUp\Memotack.lnk'
common_startup='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\StartUp\Memotack.lnk'
uninstaller='C:\windows\uninstallmemotack.bat'

# run_line ARGUMENTS: the installer with this argument text, quotes and all (see ExitCode.cpp).
run_line() { EXIT_CODE_MORE_ARGUMENTS="$1" run_setup; }

# log_text WINDOWS-PATH: the log's lines after its byte-order mark, without their CR LF.
log_text() {
    local file
    file=$(unix_path "$1")
    [ -f "$file" ] && tail -c +4 "$file" | tr -d '\r'
    return 0
}

# log_form WINDOWS-PATH: "ok" when the log starts with the UTF-8 byte-order mark and ends every
# line, the last one too, in CR LF.
log_form() {
    local file
    file=$(unix_path "$1")
    if [ "$(head -c 3 "$file" | od -An -tx1 | tr -d ' ')" == efbbbf ] &&
        [ "$(grep -c $'\r$' "$file")" == "$(wc -l <"$file")" ] &&
        [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" == 0d0a ]; then
        echo ok
    fi
}

# installed_nothing: no file, entry or uninstaller of an install anywhere.
installed_nothing() {
    test ! -e "$(unix_path "$INSTALL_PATH")" && test ! -e "$(unix_path "$uninstaller")" &&
        ! key_exists "$UNINSTALL_KEY" 32 && test -z "$(ls -A "$cwd")"
}

fresh_prefix deploy
mkdir -p "$(drive_c logs)"
cwd="$BUILD_DIR/e2e/deploy-cwd"
rm -rf "$cwd" && mkdir -p "$cwd"
cd "$cwd"

# --- Refused folders: nothing installed, exit code 1639, the log says why. C:\ is given unquoted:
# a backslash before a closing quote would escape it.
for path in 'relative\dir' '' '"C:\a|b"' '"C:\Apps\CON"' 'C:\' '"C:\Apps\Memo."' '"\\.\C:\Apps"'; do
    run_line "-silent -path=$path -log=\"C:\\logs\\refused.log\""
    check_eq "-path=$path: exit code" 1639 "$SETUP_STATUS"
    check "-path=$path: nothing installed" installed_nothing
    check "-path=$path: no folder made" test ! -e "$(drive_c Apps)"
    log=$(log_text 'C:\logs\refused.log')
    check "-path=$path: the log says why" grep -q '^Refused: The folder given with -path= ' <<<"$log"
    check_eq "-path=$path: the log ends with the exit code" "exit code 1639" "$(tail -n 1 <<<"$log")"
done

# --- For everyone, into a folder of its own, with a log; then the uninstaller takes it all away.
line='-silent -everyone -path="C:\Deploy\Memotack" -log="C:\logs\memotack.log"'
run_line "$line"
check_eq "everyone: exit code" 0 "$SETUP_STATUS"
INSTALL_PATH='C:\Deploy\Memotack'
check "everyone: memotack.exe in C:\\Deploy\\Memotack" test -f "$(unix_path 'C:\Deploy\Memotack\memotack.exe')"
check "everyone: memotack.chm in C:\\Deploy\\Memotack" test -f "$(unix_path 'C:\Deploy\Memotack\memotack.chm')"
check_shortcut "everyone: common Startup shortcut" "$common_startup"
check "everyone: no per-user Startup shortcut" test ! -e "$(unix_path "$user_startup")"
check_eq "everyone: the uninstall entry" "$(expected_values "$uninstaller")" "$(uninstall_values)"
bat=$(tr -d '\r' <"$(unix_path "$uninstaller")")
for expected in '"C:\Deploy\Memotack\memotack.exe" -close' 'del "C:\Deploy\Memotack\memotack.exe"' \
    'del "C:\Deploy\Memotack\memotack.chm"' "del \"$common_startup\"" 'rd "C:\Deploy\Memotack"'; do
    check "everyone: the uninstaller has: $expected" grep -qxF "$expected" <<<"$bat"
done
log=$(log_text 'C:\logs\memotack.log')
check_eq "everyone: the log is UTF-8 with a BOM and CR LF" ok "$(log_form 'C:\logs\memotack.log')"
header=$(sed -n '1,10p' <<<"$log")
for pattern in '^Memotack Setup log$' '^Installer: .*\\memotack_setup\.exe, version [0-9.]*, installs Memotack 8\.0a$' \
    '^Started: [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} local time' "^Command line: ${line//\\/\\\\}$" \
    '^Log: C:\\logs\\memotack\.log$' '^Mode: silent install$' '^Windows: 6\.1 build [0-9]+, platform 2.*, 64-bit$' \
    '^Elevated: (yes|no)$' '^Options: install for everyone, run Memotack no, show help file no$' '^Folder: C:\\Deploy\\Memotack$'; do
    check "everyone: the log's header has /$pattern/" grep -Eq "$pattern" <<<"$header"
done
check_eq "everyone: one log line per row, the exit code last" "$(printf '%s\n' 'Close Memotack: done' \
    'Create directory: done' "Copy 'memotack.chm': done" "Copy 'memotack.exe': done" 'Create Startup shortcut: done' \
    'Create Add/Remove Programs entry: done' 'Create uninstaller: done' 'exit code 0')" "$(sed -n '11,$p' <<<"$log")"

# The folders it made outside Program Files have the protected list, which Wine keeps only as Unix
# permission bits: with it, others get none.
for folder in Deploy Deploy/Memotack; do
    check_eq "everyone: $folder is closed to others" drwxr-x--- "$(stat -c %A "$(drive_c "$folder")")"
done

timeout 120 /usr/lib/wine/wine64 cmd /c "$uninstaller" >/dev/null 2>&1 </dev/null || true
check "uninstalled: the install folder is gone" test ! -e "$(unix_path 'C:\Deploy\Memotack')"
check "uninstalled: the common Startup shortcut is gone" test ! -e "$(unix_path "$common_startup")"
check "uninstalled: the entry is gone (32-bit view)" not key_exists "$UNINSTALL_KEY" 32
check "uninstalled: the entry is gone (64-bit view)" not key_exists "$UNINSTALL_KEY" 64
check "uninstalled: the uninstaller deleted itself" test ! -e "$(unix_path "$uninstaller")"

# --- A log folder that does not exist yet is made, every level of it; the log names its full path.
run_line '-silent -log="C:\new logs\skipped\..\deeper\memotack.log"'
check_eq "new log folder: exit code" 0 "$SETUP_STATUS"
INSTALL_PATH='C:\Program Files (x86)\Memotack'
check "new log folder: installed into the default folder" test -f "$(unix_path "$INSTALL_PATH\\memotack.exe")"
check_eq "new log folder: the default folder keeps what Program Files gives it" drwxr-xr-x \
    "$(stat -c %A "$(unix_path "$INSTALL_PATH")")"
check_eq "new log folder: the log names its full path" 'Log: C:\new logs\deeper\memotack.log' \
    "$(log_text 'C:\new logs\deeper\memotack.log' | grep '^Log: ')"
check "new log folder: no folder but those of the full path" test ! -e "$(drive_c 'new logs/skipped')"

# --- A log name that is a second hard link to another file, or a symbolic link to one, is refused:
# the install goes on as without -log=, and that file keeps its content.
echo precious >"$(drive_c precious.txt)"
ln "$(drive_c precious.txt)" "$(drive_c logs/hard.log)"
ln -s "$(drive_c precious.txt)" "$(drive_c logs/symbolic.log)"
for link in hard symbolic; do
    run_line "-silent -log=\"C:\\logs\\$link.log\""
    check_eq "$link link as the log: exit code" 0 "$SETUP_STATUS"
    check_eq "$link link as the log: the file it reaches is untouched" precious "$(cat "$(drive_c precious.txt)")"
done

# --- A failing step: the folder's parent is a file. Status and text come in either order. (Its entry
# names that folder: from here on, each run names its own.)
echo "in the way" >"$(drive_c blocker)"
run_line '-silent -path="C:\blocker\Memotack" -log="C:\logs\failed.log"'
check_eq "failing step: exit code" 1603 "$SETUP_STATUS"
log=$(log_text 'C:\logs\failed.log')
for pattern in '^Create directory: failed: .+' "^Copy 'memotack.chm': failed: .+" "^Copy 'memotack.exe': failed: .+" \
    '^Create uninstaller: done$'; do
    check "failing step: the log has /$pattern/" grep -Eq "$pattern" <<<"$log"
done
check_eq "failing step: the log ends with the exit code" "exit code 1603" "$(tail -n 1 <<<"$log")"

# --- An install folder that a user made first, open to everyone: the install closes it to others,
# and says so. On a share, whose file system does not say whether it keeps access-control lists,
# the folder's permissions stay as they are, and the log says that.
mkdir -p "$(drive_c Open/Memotack)"
chmod 777 "$(drive_c Open/Memotack)"
share="$BUILD_DIR/e2e/deploy-share"
rm -rf "$share" && mkdir -p "$share" "$WINEPREFIX/dosdevices/unc/fileserver"
ln -sfn "$share" "$WINEPREFIX/dosdevices/unc/fileserver/notes"
for case in 'C:\Open\Memotack|replaced: C:\\Open\\Memotack let others' '\\fileserver\notes\Memotack|left as they are: '; do
    folder=${case%%|*}
    run_line "-silent -path=\"$folder\" -log=\"C:\\logs\\open.log\""
    check_eq "$folder: exit code" 0 "$SETUP_STATUS"
    check "$folder: the log says what became of its permissions" \
        grep -Eq "^Permissions of the install folder ${case#*|}" <<<"$(log_text 'C:\logs\open.log')"
done
check "C:\\Open\\Memotack: others may no longer write" test "$(stat -c %A "$(drive_c Open/Memotack)" | cut -c9)" != w
check "\\\\fileserver\\notes\\Memotack: installed" test -f "$share/Memotack/memotack.exe"

# --- Every switch line of the winget manifest, placeholders filled, as winget puts them together.
manifest_dir="$BUILD_DIR/e2e/deploy-winget"
python3 "$root/packaging/winget/make_manifest.py" --installer "$SETUP_EXE" --out "$manifest_dir" >/dev/null
manifest="$manifest_dir/PelmoSoftware.Memotack.installer.yaml"
switch_lines=$(python3 -c '
import sys, yaml
m = yaml.safe_load(open(sys.argv[1]))
for i in m["Installers"]:
    s = i["InstallerSwitches"]
    for mode in ("Silent", "SilentWithProgress"):
        print(i["Scope"], mode, " ".join(v for v in (s[mode], s.get("Custom"), s["Log"], s["InstallLocation"]) if v))
' "$manifest")
check_eq "the manifest has one machine-wide installer, in both silent modes" "machine machine" \
    "$(cut -d' ' -f1 <<<"$switch_lines" | tr '\n' ' ' | sed 's/ $//')"
arp=$(python3 -c '
import sys, yaml
e = yaml.safe_load(open(sys.argv[1]))["AppsAndFeaturesEntries"][0]
print(e["ProductCode"], e["DisplayName"], e["Publisher"], e["DisplayVersion"], sep="|")' "$manifest")
while read -r scope mode switches; do
    INSTALL_PATH="C:\\Win Get\\$scope $mode\\Memotack"
    winget_log="C:\\logs\\winget $scope $mode.log"
    switches=${switches//<INSTALLPATH>/$INSTALL_PATH}
    switches=${switches//<LOGPATH>/$winget_log}
    rm -f "$(unix_path "$user_startup")" "$(unix_path "$common_startup")"
    run_line "$switches"
    check_eq "winget $scope $mode ($switches): exit code" 0 "$SETUP_STATUS"
    check "winget $scope $mode: installed into the location" test -f "$(unix_path "$INSTALL_PATH\\memotack.exe")"
    check_eq "winget $scope $mode: the log ends well" "exit code 0" "$(log_text "$winget_log" | tail -n 1)"
    # A machine-wide install: the shortcut is everyone's.
    check_shortcut "winget $scope $mode: common Startup shortcut" "$common_startup"
    check "winget $scope $mode: no Startup shortcut of the administrator's own" test ! -e "$(unix_path "$user_startup")"
    values=$(uninstall_values)
    check_eq "winget $scope $mode: AppsAndFeaturesEntries match the entry" "$arp" "${UNINSTALL_KEY##*\\}|$(
        for name in DisplayName Publisher DisplayVersion; do sed -n "s/^$name REG_SZ //p" <<<"$values"; done | paste -sd'|')"
done <<<"$switch_lines"

# --- Upgrade in place, in a prefix of its own that reports Windows 10: the version query that
# decides the Start Menu items answers 6.2 there (the installer declares no supported systems), so
# each install makes them, while the log gives Windows' own version. Each later run finds the
# entry of the one before; the last uninstaller leaves the prefix as it was before the first.
fresh_prefix deploy-upgrade
wine winecfg -v win10 >/dev/null 2>&1 </dev/null
before="$BUILD_DIR/e2e/deploy-upgrade-before.txt"
snapshot "$before"
mkdir -p "$(drive_c logs)"
run_line '-silent -everyone -path="C:\Apps\Memotack" -log="C:\logs\first.log"'
check_eq "first install, for everyone into C:\\Apps\\Memotack: exit code" 0 "$SETUP_STATUS"
log=$(log_text 'C:\logs\first.log')
check "Windows 10: the log's header gives Windows' own version and the query's" grep -Eqx \
    'Windows: 10\.0 build [0-9]+, platform 2, 64-bit \(6\.2 to the version query that decides the Start Menu items\)' \
    <<<"$log"
check "Windows 10: the Start Menu items are made, as on 6.2" grep -qx 'Create Start Menu items: done' <<<"$log"

# A plain -silent goes where the earlier install went, not into Program Files.
run_line '-silent -log="C:\logs\second.log"'
check_eq "plain -silent over it: exit code" 0 "$SETUP_STATUS"
INSTALL_PATH='C:\Apps\Memotack'
check "plain -silent over it: memotack.exe in C:\\Apps\\Memotack" test -f "$(unix_path "$INSTALL_PATH\\memotack.exe")"
check "plain -silent over it: nothing in Program Files" test ! -e "$(drive_c 'Program Files (x86)/Memotack')"
check_eq "plain -silent over it: the entry, its sixteen values in C:\\Apps\\Memotack" \
    "$(expected_values "$uninstaller")" "$(uninstall_values)"
log=$(log_text 'C:\logs\second.log')
for line in 'Folder: C:\Apps\Memotack' 'Earlier install: in the same folder, installed over'; do
    check "plain -silent over it: the log says: $line" grep -qxF "$line" <<<"$log"
done

# -path= still wins: the earlier files stay where they are, and the log names them.
run_line '-silent -path="C:\Other & 100%\Memotack" -log="C:\logs\third.log"'
check_eq "-path= elsewhere: exit code" 0 "$SETUP_STATUS"
check "-path= elsewhere: installed there" test -f "$(unix_path 'C:\Other & 100%\Memotack\memotack.exe')"
check "-path= elsewhere: the earlier files are left alone" test -f "$(unix_path 'C:\Apps\Memotack\memotack.exe')"
check_eq "-path= elsewhere: the entry names the new folder" 'C:\Other & 100%\Memotack' \
    "$(reg_value "$UNINSTALL_KEY" InstallLocation | sed 's/^REG_SZ //')"
check "-path= elsewhere: the log names the earlier folder" grep -qxF \
    'Earlier install: C:\Apps\Memotack, left as it is; the uninstaller of this install removes it too' \
    <<<"$(log_text 'C:\logs\third.log')"

# An entry whose folder -path= would refuse gives no default: the install goes to Program Files.
wine reg add "$UNINSTALL_KEY" /v InstallLocation /d 'relative\dir' /f /reg:32 >/dev/null 2>&1 </dev/null
run_line '-silent -log="C:\logs\fourth.log"'
check_eq "a refused earlier folder: exit code" 0 "$SETUP_STATUS"
check "a refused earlier folder: installed into the default folder" \
    test -f "$(drive_c 'Program Files (x86)/Memotack/memotack.exe')"
check "a refused earlier folder: the log says why" grep -qxF \
    'Earlier install: its folder is not the default, as -path= would refuse it: The folder given with -path= is not a full path such as C:\Apps\Memotack: relative\dir' \
    <<<"$(log_text 'C:\logs\fourth.log')"

# The last uninstaller takes away every install of the chain: their files and folders, the Start
# Menu items and Startup shortcuts of both audiences, the entry.
rm -rf "$(drive_c logs)"
timeout 120 /usr/lib/wine/wine64 cmd /c "$uninstaller" >/dev/null 2>&1 </dev/null || true
snapshot "$BUILD_DIR/e2e/deploy-upgrade-after.txt"
check_eq "the last uninstaller leaves the prefix as before the first install" "" \
    "$(diff "$before" "$BUILD_DIR/e2e/deploy-upgrade-after.txt" | sed -n 's/^[<>] //p')"
finish
