#!/usr/bin/env bash
# The real installer under X: Escape on the options page ends it with 1602 and installs nothing;
# Enter presses Install, the rows appear, Enter again presses Finish and the exit code is 0.
# Leaves a screenshot of the finished page in build/e2e/finished-page.png.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/effects_lib.sh"
fresh_prefix interactive
folder="$(drive_c 'Program Files (x86)/Memotack')"
tools="$(dirname "$(readlink -f "$0")")/../../tools"

# start_setup: runs the installer in the background; its whole exit code goes to $status_file.
status_file="$BUILD_DIR/e2e/interactive.status"
start_setup() {
    rm -f "$status_file"
    wine "$BUILD_DIR/tests/e2e/exit_code.exe" "$(winepath -w "$SETUP_EXE" | tr -d '\r')" </dev/null 2>/dev/null |
        tr -d '\r' >"$status_file" &
    pid=$!
}

wait_exit() {  # wait_exit PID SECONDS: the installer's exit code, or 124 when it is still running
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
    if kill -0 "$1" 2>/dev/null; then
        kill "$1"
        echo 124
        return
    fi
    wait "$1" || true
    cat "$status_file"
}

# log_lines NAME: the lines of C:\NAME, a log of this run, without byte-order mark and CR.
log_lines() { tail -c +4 "$(drive_c "$1")" 2>/dev/null | tr -d '\r'; }

EXIT_CODE_MORE_ARGUMENTS='-log="C:\escape.log"' start_setup
check "the dialog opens" wait_for_window "Memotack Installer" 60
press Escape
check_eq "Escape on the options page: exit code" 1602 "$(wait_exit $pid 30)"
check "Escape installed nothing" test ! -e "$folder"
check "Escape: the log names the mode" grep -qx 'Mode: interactive' <<<"$(log_lines escape.log)"
check_eq "Escape: the log ends with the exit code" "exit code 1602" "$(log_lines escape.log | tail -n 1)"

EXIT_CODE_MORE_ARGUMENTS='-log="C:\install.log"' start_setup
wait_for_window "Memotack Installer" 60 || true
sleep 0.5
# Clear "Run &Memotack" and "Show &help file" by their mnemonics: the windows they would open
# would take the keyboard focus from the finished page.
press alt+m
press alt+h
press Return
check "the install reaches the finished page" wait_install_done
check "Memotack was not started" bash -c '! xdotool search --onlyvisible --name "^PelmoSoftwareMemotackMain$" >/dev/null 2>&1'
"$tools/screenshot.sh" "$BUILD_DIR/e2e/finished-page.png" "Memotack Installer" >/dev/null
check "still open on the finished page" kill -0 $pid
focus_installer
press Return
check_eq "Install then Finish: exit code" 0 "$(wait_exit $pid 30)"
check "memotack.exe installed" test -s "$folder/memotack.exe"
check "memotack.chm installed" test -s "$folder/memotack.chm"
check_eq "the log: the choices made in the dialog, one line per row, the exit code last" "$(printf '%s\n' \
    'Options: install for the current user, run Memotack no, show help file no' \
    'Folder: C:\Program Files (x86)\Memotack' 'Close Memotack: done' 'Create directory: done' \
    "Copy 'memotack.chm': done" "Copy 'memotack.exe': done" 'Create Startup shortcut: done' \
    'Create Add/Remove Programs entry: done' 'Create uninstaller: done' 'exit code 0')" \
    "$(log_lines install.log | sed -n '/^Options: /,$p')"
echo "screenshot: $BUILD_DIR/e2e/finished-page.png"
finish
