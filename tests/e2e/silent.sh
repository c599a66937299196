#!/usr/bin/env bash
# -silent in a fresh 64-bit prefix: installs both payload files into the default folder, byte for
# byte as packed, shows nothing and returns 0. With -extract on the same command line the silent
# install wins and nothing is extracted. One install runs at a time: a second one meanwhile ends
# with 1618 and changes nothing.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"
fresh_prefix silent
payload_dir="$BUILD_DIR/res/payload"
folder="$(drive_c 'Program Files (x86)/Memotack')"

run_setup -silent
check_eq "-silent exit code" 0 "$SETUP_STATUS"
check "memotack.exe installed as packed" cmp -s "$folder/memotack.exe" <(unzip -p "$payload_dir/memotack_exe.zip")
check "memotack.chm installed as packed" cmp -s "$folder/memotack.chm" <(unzip -p "$payload_dir/memotack_chm.zip")
check "nothing else in the install folder" test "$(ls -A "$folder" | sort | tr '\n' ' ')" == "memotack.chm memotack.exe "
check "no installer window left behind" \
    bash -c '! xdotool search --name "^Memotack Installer$" >/dev/null 2>&1'

cwd="$BUILD_DIR/e2e/silent-cwd"
rm -rf "$cwd" && mkdir -p "$cwd"
pushd "$cwd" >/dev/null
run_setup -extract -silent
popd >/dev/null
check_eq "-extract -silent exit code" 0 "$SETUP_STATUS"
check_eq "-extract -silent extracts nothing" "" "$(ls -A "$cwd")"

# A copy of Memotack that never closes holds an install in its "Close Memotack" step (which then
# fails) for some 9 seconds. A second install, started the moment the first asks it to close,
# changes nothing and ends with 1618.
coproc STUBBORN { exec wine "$BUILD_DIR/tests/install/hold_file.exe" -window 600 2>/dev/null </dev/null; }
stubborn_pid=$STUBBORN_PID
read -r -t 120 line <&"${STUBBORN[0]}" || true
check_eq "a Memotack that never closes is running" held "${line%$'\r'}"
(
    export EXIT_CODE_WAIT_FOR=MemotackTestCloseAsked EXIT_CODE_MORE_ARGUMENTS='-path="C:\Second\Memotack" -log="C:\second.log"'
    run_setup -silent
    echo "$SETUP_STATUS" >"$BUILD_DIR/e2e/silent-second"
) &
second=$!
EXIT_CODE_MORE_ARGUMENTS='-log="C:\first.log"' run_setup -silent
wait $second
log_lines() { tail -c +4 "$(drive_c "$1")" 2>/dev/null | tr -d '\r'; }
check_eq "a second install meanwhile: exit code" 1618 "$(cat "$BUILD_DIR/e2e/silent-second")"
check_eq "a second install meanwhile: the log says why" "$(printf '%s\n' \
    'Another installation of Memotack is in progress. Wait until it has finished, then try again.' 'exit code 1618')" \
    "$(log_lines second.log | tail -n 2)"
check "a second install meanwhile: no folder made" test ! -e "$(drive_c Second)"
check_eq "the first install: exit code" 1603 "$SETUP_STATUS"
check_eq "the first install: only Close Memotack failed" "Close Memotack" "$(log_lines first.log | grep ': failed' | cut -d: -f1)"
kill "$stubborn_pid" 2>/dev/null || true
wait "$stubborn_pid" 2>/dev/null || true

# Four started together: each installs or finds another install running, and what stays is one
# install, its entry and uninstaller naming the same folder, that its uninstaller removes.
for run in 1 2 3 4; do
    (
        EXIT_CODE_MORE_ARGUMENTS="-path=\"C:\\Four\\$run\\Memotack\"" run_setup -silent
        echo "$SETUP_STATUS" >"$BUILD_DIR/e2e/silent-four-$run"
    ) &
done
wait
statuses=$(cat "$BUILD_DIR"/e2e/silent-four-? | sort | uniq -c | awk '{ print $2 "x" $1 }' | tr '\n' ' ')
echo "four together: exit codes $statuses"
check "four together: each ends 0 or 1618, one at least 0" grep -Eq '^0x[1-4] (1618x[1-3] )?$' <<<"$statuses"
INSTALL_PATH=$(uninstall_values | sed -n 's/^InstallLocation REG_SZ //p')
uninstaller='C:\windows\uninstallmemotack.bat'
check "four together: the entry names one of their folders" grep -Eq '^C:\\Four\\[1-4]\\Memotack$' <<<"$INSTALL_PATH"
check_eq "four together: the entry is whole" "$(expected_values "$uninstaller")" "$(uninstall_values)"
check "four together: the uninstaller removes that folder" grep -qxF "rd \"$INSTALL_PATH\"" \
    <<<"$(tr -d '\r' <"$(unix_path "$uninstaller")")"
timeout 120 /usr/lib/wine/wine64 cmd /c "$uninstaller" >/dev/null 2>&1 </dev/null || true
check "four together: uninstalled, the folder is gone" test ! -e "$(unix_path "$INSTALL_PATH")"
check "four together: uninstalled, the entry is gone" not key_exists "$UNINSTALL_KEY" 32
finish
